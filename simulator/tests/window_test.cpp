// Gasmimic's window driven as a user drives it: the built message from its
// controls, Start and Send over a pseudo-terminal to Gasbridge's receiver, the port
// list, the interval's bounds and the error line.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/exception.h"
#include "platform/qt/event_loop.h"
#include "simulator/Unit1Message.h"
#include "simulator/tests/first_built_message.h"
#include "simulator/tests/window_fixture.h"

namespace simulator_test {
namespace {

using Lines = std::vector<std::string>;
using platform::ScriptedDialogs;

TEST_F(WindowTest, TheBuiltMessageReadsTheWindowsControls) {
  form->BuildMessage();
  EXPECT_EQ(form->Memo1->Lines(), FirstBuiltMessage(1, "20240305070809"));

  // Other values, another patient, a gas sample with "KS Special".
  form->feK->SetText("4,25");  // typed with a comma, sent with a point
  form->EditPatientID->SetText("0101011234");
  form->rgSpecimenType->SetItemIndex(2);
  form->cboxKSSpecial->SetChecked(true);
  form->BuildMessage();
  const Lines lines = form->Memo1->Lines();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[1], "2P|1||0101011234||Demo^Patient|||M||||||21^years||185^cm|81^kg||||||||755");
  EXPECT_EQ(lines[2], "3O|1||Sample #^1||||202403050708||||||||Gas");
  EXPECT_EQ(lines[6], "7R|4|^^^K+^M|4.25|mmol/L||||F");
  EXPECT_EQ(lines[10], "3R|8|^^^Typ av prov^||Gas||||F");
  EXPECT_EQ(lines[11], "4L|1|N");

  // Blood from a capillary.
  form->rgSpecimenType->SetItemIndex(1);
  form->rgSpecimenSource->SetItemIndex(3);
  form->BuildMessage();
  EXPECT_EQ(form->Memo1->Lines()[2], "3O|1||Sample #^1||||202403050708||||||||Blood^Capillary");
  EXPECT_EQ(form->Memo1->Lines()[10], "3R|8|^^^Typ av prov^||98989898||||F");
}

TEST_F(WindowTest, TheHeaderIsWhateverMemo1StartsWith) {
  auto* edit = static_cast<QPlainTextEdit*>(form->Memo1->Widget());
  edit->setPlainText("1H|\\^&|||ABL SYSTEM 700^||||||||1|20240101000000\nold line");
  form->BuildMessage();
  EXPECT_EQ(form->Memo1->Lines().front(), "1H|\\^&|||ABL SYSTEM 700^||||||||1|20240101000000");
  EXPECT_EQ(form->Memo1->Count(), 11);
  // A list the user emptied gets the resource's header back.
  edit->clear();
  form->BuildMessage();
  EXPECT_EQ(form->Memo1->Lines(), FirstBuiltMessage(1, "20240305070809"));
}

TEST_F(WindowTest, StartWithoutALineAsksForAComNumber) {
  form->Button1->Click();
  ASSERT_EQ(dialogs->questions().size(), 1u);
  EXPECT_EQ(dialogs->questions()[0].kind, ScriptedDialogs::Kind::kShowMessage);
  EXPECT_EQ(dialogs->questions()[0].text, "Please set Com Number first");
  EXPECT_FALSE(form->Timer1->Enabled());
}

TEST_F(WindowTest, APortThatCannotBeOpenedFallsBackToDisabledSilently) {
  ports.Link(5, ports.path() + "/absent");
  PickEntry(5);
  EXPECT_EQ(form->ComSel->ItemIndex(), 0);
  EXPECT_EQ(form->ComPort->Port().ComNumber(), 0);
  EXPECT_FALSE(form->ComPort->Port().Open());
  EXPECT_EQ(form->lblError->Caption(), "");
  EXPECT_TRUE(dialogs->questions().empty());
}

TEST_F(WindowTest, PickingAPortOpensItAndDisabledClosesIt) {
  ports.Add(2);
  PickEntry(2);
  EXPECT_EQ(form->ComSel->ItemIndex(), 2);
  EXPECT_EQ(form->ComPort->Port().ComNumber(), 2);
  EXPECT_TRUE(form->ComPort->Port().Open());
  ports.Add(4);
  PickEntry(4);
  EXPECT_EQ(form->ComPort->Port().ComNumber(), 4);
  EXPECT_TRUE(form->ComPort->Port().Open());
  PickEntry(0);
  EXPECT_EQ(form->ComSel->ItemIndex(), 0);
  EXPECT_EQ(form->ComPort->Port().ComNumber(), 0);
  EXPECT_FALSE(form->ComPort->Port().Open());
}

TEST_F(WindowTest, SendTransmitsTheCannedMessageOnceOverTheSerialLine) {
  platform_test::Pty& pty = ports.Add(2);
  CollectorEnd collector(pty);
  PickEntry(2);
  form->Send->Click();
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_EQ(form->Timer1->Interval(), 1000u);

  timers->Advance(1000);
  ASSERT_TRUE(RunUntil([&] {
    collector.Pump();
    return !collector.messages.empty();
  }));
  ASSERT_TRUE(RunUntil([&] { return !form->Sender().in_flight(); }));
  ASSERT_EQ(collector.messages.size(), 1u);
  EXPECT_EQ(collector.messages[0], CannedMessage());
  EXPECT_EQ(collector.messages[0].size(), 44u);
  EXPECT_EQ(collector.naks, 0);
  EXPECT_TRUE(collector.notices.empty());
  EXPECT_FALSE(form->Timer1->Enabled());
  EXPECT_EQ(form->Sender().sample_no(), 2);

  // The timer is off: nothing more goes out.
  timers->Advance(20000);
  EXPECT_EQ(form->Sender().sample_no(), 2);
  EXPECT_FALSE(form->Sender().busy());
}

TEST_F(WindowTest, EditsOfTheCannedMessageAreSent) {
  platform_test::Pty& pty = ports.Add(3);
  CollectorEnd collector(pty);
  auto* edit = static_cast<QPlainTextEdit*>(form->Memo2->Widget());
  edit->setPlainText("1H|\\^&|||ABL SYSTEM 625^||||||||1|20010122181814\n4L|1|N");
  PickEntry(3);
  form->Send->Click();
  timers->Advance(1000);
  ASSERT_TRUE(RunUntil([&] {
    collector.Pump();
    return !collector.messages.empty();
  }));
  EXPECT_EQ(collector.messages[0],
            (Lines{"1H|\\^&|||ABL SYSTEM 625^||||||||1|20010122181814", "4L|1|N"}));
}

TEST_F(WindowTest, SingleChecksumErrorDrawsOneNakAndOneGoodRepeat) {
  platform_test::Pty& pty = ports.Add(1);
  CollectorEnd collector(pty);
  PickEntry(1);
  form->cbCheckSumError->SetChecked(true);
  form->SpinEdit1->SetValue(30);
  form->Button1->Click();
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_EQ(form->Timer1->Interval(), 30000u);

  timers->Advance(30000);
  ASSERT_TRUE(RunUntil([&] {
    collector.Pump();
    return !collector.messages.empty();
  }));
  EXPECT_EQ(collector.naks, 1);
  EXPECT_FALSE(form->cbCheckSumError->Checked());
  ASSERT_EQ(collector.messages.size(), 1u);
  EXPECT_EQ(collector.messages[0], FirstBuiltMessage(1, "20240305070839"));

  // The header frame went twice: first one higher, then right. "1H|...|20010119155000"
  // CR ETB sums to 0xA2 modulo 256; the corrupted frame carries "A3".
  const std::string header = "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000\r\x17";
  const std::string bad = "\x02" + header + "A3\r\n";
  const std::string good = "\x02" + header + "A2\r\n";
  const size_t first = collector.received.find(bad);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(collector.received.find(good), first + bad.size());

  // The next sample at the next tick, with a good checksum and sample number 2.
  ASSERT_TRUE(RunUntil([&] { return !form->Sender().in_flight(); }));
  timers->Advance(30000);
  ASSERT_TRUE(RunUntil([&] {
    collector.Pump();
    return collector.messages.size() == 2;
  }));
  EXPECT_EQ(collector.messages[1], FirstBuiltMessage(2, "20240305070909", "202403050709"));
  EXPECT_EQ(collector.naks, 1);
}

TEST_F(WindowTest, TheIntervalIsBoundedToOneSecondAndUp) {
  EXPECT_EQ(form->SpinEdit1->Value(), 60);
  form->SpinEdit1->SetValue(0);
  EXPECT_EQ(form->SpinEdit1->Value(), 1);
  form->SpinEdit1->SetValue(-5);
  EXPECT_EQ(form->SpinEdit1->Value(), 1);
  form->SpinEdit1->SetValue(2147484);  // beyond what a millisecond timer holds
  EXPECT_EQ(form->SpinEdit1->Value(), 2147483);
  ports.Add(2);
  PickEntry(2);
  form->Button1->Click();
  EXPECT_EQ(form->Timer1->Interval(), 2147483000u);
  form->SpinEdit1->SetValue(1);
  form->Button1->Click();
  EXPECT_EQ(form->Timer1->Interval(), 1000u);
}

TEST_F(WindowTest, ExceptionsShowInTheErrorLineInRed) {
  platform::ReportException(Exception("Something failed"));
  EXPECT_EQ(form->lblError->Caption(), "Something failed");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClRed);
}

}  // namespace
}  // namespace simulator_test
