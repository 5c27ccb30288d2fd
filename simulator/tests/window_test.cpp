// Gasmimic's window driven as a user drives it: Start and Send over a
// pseudo-terminal to Gasbridge's receiver, and over TCP to a local server standing
// in for Gasbridge's analyzer server; the port list, the host input box, the
// reconnection, the captions and the error line.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/exception.h"
#include "platform/qt/event_loop.h"
#include "simulator/Unit1Connection.h"
#include "simulator/Unit1Message.h"
#include "simulator/tests/window_fixture.h"

namespace simulator_test {
namespace {

using Lines = std::vector<std::string>;
using platform::ScriptedDialogs;

// The message the window builds from its first values at StartTime() + Seconds,
// written out by hand.
Lines FirstBuiltMessage(int sample, const std::string& second_stamp,
                        const std::string& minute_stamp = "202403050708") {
  return {
      "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000",
      "2P|1||1||Demo^Patient|||M||||||21^years||185^cm|81^kg||||||||755",
      "3O|1||Sample #^" + std::to_string(sample) + "||||" + minute_stamp + "||||||||Blood^Arterial",
      "4R|1|^^^FIO2^D|21|%||||F||3000:321|" + second_stamp,
      "5R|2|^^^Ca++^M|1.24|mmol/L||||F",
      "6R|3|^^^Cl-^M|97|mmol/L||||F",
      "7R|4|^^^K+^M|3.9|mmol/L||||F",
      "0R|5|^^^Na+^M|143|mmol/L||||F",
      "1R|6|^^^pH^M|7.62|||||F",
      "2R|7|^^^pO2^M|41.2|mmHg||||F",
      "3L|1|N",
  };
}

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
  EXPECT_EQ(form->ComPort->ComNumber(), 0);
  EXPECT_FALSE(form->ComPort->Open());
  EXPECT_EQ(form->lblError->Caption(), "");
  EXPECT_TRUE(dialogs->questions().empty());
}

TEST_F(WindowTest, PickingAPortOpensItAndDisabledClosesIt) {
  ports.Add(2);
  PickEntry(2);
  EXPECT_EQ(form->ComSel->ItemIndex(), 2);
  EXPECT_EQ(form->ComPort->ComNumber(), 2);
  EXPECT_TRUE(form->ComPort->Open());
  ports.Add(4);
  PickEntry(4);
  EXPECT_EQ(form->ComPort->ComNumber(), 4);
  EXPECT_TRUE(form->ComPort->Open());
  PickEntry(0);
  EXPECT_EQ(form->ComSel->ItemIndex(), 0);
  EXPECT_EQ(form->ComPort->ComNumber(), 0);
  EXPECT_FALSE(form->ComPort->Open());
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
  EXPECT_EQ(collector.messages[0], simulator::CannedMessage());
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

// ---- over TCP ----

// Gasbridge's analyzer server, as far as Gasmimic can tell: it accepts connections
// and keeps what they send.
class CollectorServer {
 public:
  CollectorServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        ++accepted;
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
          const QByteArray bytes = socket->readAll();
          received.append(bytes.constData(), static_cast<size_t>(bytes.size()));
        });
        last = socket;
      }
    });
  }
  int port() const { return server_.serverPort(); }
  size_t Count(char c) const {
    return static_cast<size_t>(std::count(received.begin(), received.end(), c));
  }

  int accepted = 0;
  std::string received;
  QTcpSocket* last = nullptr;

 private:
  QTcpServer server_;
};

// The feed's bytes of a message, written out by hand: SOH, each line without its
// frame digit and with CR, EOT.
std::string FeedBytes(const Lines& lines) {
  std::string bytes = "\x01";
  for (const std::string& line : lines)
    bytes += line.substr(1) + "\r";
  return bytes + "\x04";
}

class NetworkTest : public WindowTest {
 protected:
  // Picks "Network", answering the input box with the server's address.
  void ConnectToServer() {
    form->SetCollectorPort(server.port());
    dialogs->AnswerInput("127.0.0.1");
    PickEntry(simulator::kNetworkEntry);
    ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
  }

  CollectorServer server;
};

TEST_F(NetworkTest, TheHostIsAskedForAndTheCaptionShowsTheConnection) {
  ConnectToServer();
  ASSERT_EQ(dialogs->questions().size(), 1u);
  const ScriptedDialogs::Question& question = dialogs->questions()[0];
  EXPECT_EQ(question.kind, ScriptedDialogs::Kind::kInputQuery);
  EXPECT_EQ(question.caption, "IP address or Host name");
  EXPECT_EQ(question.text, "Enter IP address or Host name");
  EXPECT_EQ(question.initial, "");
  EXPECT_EQ(form->CollectorHost(), "127.0.0.1");
  EXPECT_EQ(form->ClientSocket1->Address(), "127.0.0.1");
  const std::string caption = form->Caption();
  EXPECT_EQ(caption.rfind("Connected to ", 0), 0u) << caption;
  EXPECT_TRUE(caption.ends_with(" (127.0.0.1)")) << caption;
  EXPECT_EQ(form->lblError->Caption(), "");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClBtnFace);
  EXPECT_FALSE(form->ComPort->Open());
  EXPECT_EQ(form->ComPort->ComNumber(), 0);

  // Asked again, the box offers the host given before; a name is no address.
  dialogs->AnswerInput("localhost");
  PickEntry(simulator::kNetworkEntry);
  EXPECT_EQ(dialogs->questions()[1].initial, "127.0.0.1");
  EXPECT_EQ(form->ClientSocket1->Host(), "localhost");
  ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
}

TEST_F(NetworkTest, AtAFourSecondIntervalAMessageGoesEverySixteenSeconds) {
  ConnectToServer();
  form->SpinEdit1->SetValue(4);
  form->Button1->Click();
  EXPECT_EQ(form->Timer1->Interval(), 4000u);

  timers->Advance(4000);  // the first tick sends at once
  ASSERT_TRUE(RunUntil([&] { return server.Count('\x04') == 1; }));
  EXPECT_EQ(server.received, FeedBytes(FirstBuiltMessage(1, "20240305070813")));

  // Ticks at 8, 12 and 16 s come within 15 s of the send; the one at 20 s sends.
  // Had any of them sent, its message would arrive first and carry its own time.
  timers->Advance(16000);
  ASSERT_TRUE(RunUntil([&] { return server.Count('\x04') == 2; }));
  EXPECT_EQ(server.received, FeedBytes(FirstBuiltMessage(1, "20240305070813")) +
                                 FeedBytes(FirstBuiltMessage(1, "20240305070829")));
  EXPECT_EQ(form->Sender().sample_no(), 1);  // only a serial message counts
}

TEST_F(NetworkTest, ALostConnectionIsTriedAgainEveryThreeSeconds) {
  ConnectToServer();
  ASSERT_NE(server.last, nullptr);
  server.last->close();
  ASSERT_TRUE(RunUntil([&] { return !form->Connected(); }));
  EXPECT_EQ(form->Caption(), "Disconnected");

  timers->Advance(3000);
  ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
  EXPECT_EQ(server.accepted, 2);
  EXPECT_EQ(dialogs->questions().size(), 1u);  // not asked again

  // Picking another entry disconnects, and nothing reconnects.
  PickEntry(0);
  EXPECT_FALSE(form->Connected());
  EXPECT_EQ(form->Caption(), "Disconnected");
  timers->Advance(3000);
  EXPECT_FALSE(form->ClientSocket1->Active());
}

TEST_F(NetworkTest, ACancelledInputBoxConnectsNothing) {
  dialogs->CancelInput();
  PickEntry(simulator::kNetworkEntry);
  EXPECT_EQ(form->ComSel->ItemIndex(), simulator::kNetworkEntry);
  EXPECT_FALSE(form->ClientSocket1->Active());
  timers->Advance(9000);  // no host to try again either
  EXPECT_FALSE(form->ClientSocket1->Active());
  EXPECT_EQ(form->lblError->Caption(), "");
}

TEST_F(NetworkTest, SendingWithoutAConnectionShowsASocketError) {
  dialogs->CancelInput();
  PickEntry(simulator::kNetworkEntry);
  form->SpinEdit1->SetValue(1);
  form->Button1->Click();
  EXPECT_TRUE(dialogs->questions().size() == 1u);  // a line is chosen: no message box
  timers->Advance(1000);
  EXPECT_EQ(form->lblError->Caption(),
            "Socket error: Socket is not connected (10057), on API 'send'");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClRed);
}

TEST_F(NetworkTest, ARefusedConnectionShowsInRedAndAConnectionClearsIt) {
  int closed_port = 0;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    closed_port = probe.serverPort();
  }
  form->SetCollectorPort(closed_port);
  dialogs->AnswerInput("127.0.0.1");
  PickEntry(simulator::kNetworkEntry);
  ASSERT_TRUE(RunUntil([&] { return !form->lblError->Caption().empty(); }));
  EXPECT_EQ(form->lblError->Caption().rfind("Socket error: ", 0), 0u) << form->lblError->Caption();
  EXPECT_EQ(form->lblError->GetColor(), platform::kClRed);
  EXPECT_FALSE(form->Connected());

  // The server comes up on the port; the next try connects and clears the line.
  form->SetCollectorPort(server.port());
  timers->Advance(3000);
  ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
  EXPECT_EQ(form->lblError->Caption(), "");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClBtnFace);
}

}  // namespace
}  // namespace simulator_test
