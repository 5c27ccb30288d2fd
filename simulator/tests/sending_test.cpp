#include "simulator/Unit1Sending.h"

#include <climits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "simulator/Unit1Message.h"

namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;

const std::string kEnq = "\x05";
const std::string kEot = "\x04";
const std::string kAck = "\x06";
const std::string kNak = "\x15";

class FakeClock : public platform::MonotonicClock {
 public:
  int64_t Now() const override { return now_; }
  void Advance(milliseconds step) { now_ += step.count(); }

 private:
  int64_t now_ = 1000 * 3600 * int64_t{1000};  // 1,000 hours
};

// The window as the machine sees it: a line choice, two lists, the check box, what
// went out, and Timer1.
class FakeHost : public TSenderHost {
 public:
  TSendLine CurrentLine() override { return line; }
  Lines RebuildMessage(int sample_no) override {
    ++rebuilds;
    built_for_sample = sample_no;
    return built;
  }
  Lines CannedLines() override { return canned; }
  bool TakeChecksumError() override {
    const bool checked = checksum_error;
    checksum_error = false;
    return checked;
  }
  void SendSerial(std::string_view bytes) override { serial += bytes; }
  void SendNetwork(std::string_view bytes) override { network.emplace_back(bytes); }
  void StartTimer(int interval_ms) override {
    timer_ms = interval_ms;
    timer_on = true;
  }
  void StopTimer() override { timer_on = false; }

  // Takes what was sent on the serial line since the last call.
  std::string TakeSerial() { return std::exchange(serial, {}); }

  TSendLine line = TSendLine::kSerial;
  Lines built{"1H", "2L"};
  Lines canned{"1C", "2A", "3N"};
  int rebuilds = 0;
  int built_for_sample = 0;
  bool checksum_error = false;
  std::string serial;
  Lines network;
  int timer_ms = 0;
  bool timer_on = false;
};

class SenderTest : public ::testing::Test {
 protected:
  // Runs one whole serial message of Count frames after its ENQ.
  void AckThrough(size_t count) {
    for (size_t i = 0; i <= count; ++i)
      sender.Receive(kAck);
  }

  FakeClock clock;
  FakeHost host;
  TMessageSender sender{host, clock};
};

// The frames of the built list {"1H", "2L"}, written out by hand:
// 1 H CR ETB = 49+72+13+23 = 157 = 0x9D; 2 L CR ETX = 50+76+13+3 = 142 = 0x8E.
const std::string kFrame1H =
    "\x02"
    "1H\r\x17"
    "9D\r\n";
const std::string kFrame1HCorrupt =
    "\x02"
    "1H\r\x17"
    "9E\r\n";
const std::string kFrame2L =
    "\x02"
    "2L\r\x03"
    "8E\r\n";

TEST_F(SenderTest, SerialMessageGoesFrameByFrameAfterEachAck) {
  ASSERT_TRUE(sender.Start(60));
  EXPECT_TRUE(host.timer_on);
  EXPECT_EQ(host.timer_ms, 60000);
  EXPECT_EQ(host.TakeSerial(), "");

  sender.Tick();
  EXPECT_EQ(host.TakeSerial(), kEnq);
  EXPECT_EQ(host.built_for_sample, 1);
  EXPECT_TRUE(sender.busy());
  EXPECT_TRUE(sender.in_flight());
  EXPECT_EQ(sender.frame_index(), -1);

  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame1H);
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame2L);
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEot);
  EXPECT_FALSE(sender.busy());
  EXPECT_FALSE(sender.in_flight());
  EXPECT_EQ(sender.sample_no(), 2);
  EXPECT_TRUE(host.timer_on);

  // The next tick starts the next sample at once.
  sender.Tick();
  EXPECT_EQ(host.TakeSerial(), kEnq);
  EXPECT_EQ(host.built_for_sample, 2);
}

TEST_F(SenderTest, AcksArrivingTogetherAreAnsweredInOrder) {
  sender.Start(60);
  sender.Tick();
  host.TakeSerial();
  sender.Receive(std::string("x\x00", 2) + kAck + kAck + kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame1H + kFrame2L + kEot);
  EXPECT_EQ(sender.sample_no(), 2);
}

TEST_F(SenderTest, NakRepeatsTheFrameAndNothingAfterEnq) {
  sender.Start(60);
  sender.Tick();
  host.TakeSerial();
  sender.Receive(kNak);  // the ENQ refused: the stall rule starts over
  EXPECT_EQ(host.TakeSerial(), "");
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame1H);
  sender.Receive(kNak + kNak);
  EXPECT_EQ(host.TakeSerial(), kFrame1H + kFrame1H);
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame2L);
  sender.Receive(kNak);
  EXPECT_EQ(host.TakeSerial(), kFrame2L);
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEot);
  EXPECT_EQ(sender.sample_no(), 2);
}

TEST_F(SenderTest, SingleChecksumErrorCorruptsOneFrameOnce) {
  sender.Start(60);
  host.checksum_error = true;
  sender.Tick();
  EXPECT_EQ(host.TakeSerial(), kEnq);
  EXPECT_TRUE(host.checksum_error);  // the ENQ has no checksum

  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame1HCorrupt);
  EXPECT_FALSE(host.checksum_error);  // the box is unchecked
  sender.Receive(kNak);
  EXPECT_EQ(host.TakeSerial(), kFrame1H);
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame2L);
}

TEST_F(SenderTest, RepliesWhileNothingIsInFlightAreIgnored) {
  // Before the first Start or Send.
  sender.Receive(kAck + kNak + kAck);
  EXPECT_EQ(host.TakeSerial(), "");
  EXPECT_EQ(sender.sample_no(), 1);

  // After a message's EOT.
  sender.Start(60);
  sender.Tick();
  AckThrough(2);
  host.TakeSerial();
  sender.Receive(kAck + kNak);
  EXPECT_EQ(host.TakeSerial(), "");
  EXPECT_EQ(sender.sample_no(), 2);

  // After a stalled message was abandoned, before the next ENQ.
  sender.Tick();
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEnq + kFrame1H);
  host.line = TSendLine::kNone;  // the tick that abandons it starts no other
  clock.Advance(milliseconds(15001));
  sender.Tick();
  EXPECT_FALSE(sender.in_flight());
  sender.Receive(kAck + kAck + kAck);
  EXPECT_EQ(host.TakeSerial(), "");
  EXPECT_EQ(sender.sample_no(), 2);
}

TEST_F(SenderTest, StallRuleStartsOverAfterMoreThanFifteenSecondsWithoutASend) {
  sender.Start(1);
  sender.Tick();
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEnq + kFrame1H);

  clock.Advance(milliseconds(15000));
  sender.Tick();  // exactly 15 s: still waiting
  EXPECT_EQ(host.TakeSerial(), "");
  EXPECT_TRUE(sender.in_flight());

  clock.Advance(milliseconds(1));
  sender.Tick();  // more than 15 s: abandoned, and a rebuilt message starts
  EXPECT_EQ(host.TakeSerial(), kEnq);
  EXPECT_EQ(host.rebuilds, 2);
  EXPECT_EQ(sender.frame_index(), -1);
  EXPECT_EQ(sender.sample_no(), 1);  // the abandoned sample is not counted

  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame1H);
}

TEST_F(SenderTest, EverySendRestartsTheStallTime) {
  sender.Start(1);
  sender.Tick();
  clock.Advance(milliseconds(10000));
  sender.Receive(kAck);  // a frame at 10 s
  clock.Advance(milliseconds(10000));
  sender.Tick();  // 10 s after that frame
  EXPECT_TRUE(sender.in_flight());
  clock.Advance(milliseconds(5001));
  sender.Tick();
  EXPECT_EQ(host.rebuilds, 2);
}

TEST_F(SenderTest, SendDuringABuiltMessageTakesEffectWhenItEnds) {
  sender.Start(60);
  sender.Tick();
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEnq + kFrame1H);

  sender.Send();
  EXPECT_TRUE(sender.press_pending());
  EXPECT_EQ(sender.current_list(), TMessageList::kBuilt);
  EXPECT_EQ(host.timer_ms, 60000);
  sender.Tick();  // the press does not cut the message short
  EXPECT_EQ(host.TakeSerial(), "");

  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kFrame2L);  // the built message's own last line
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEot);
  EXPECT_FALSE(sender.press_pending());
  EXPECT_EQ(sender.current_list(), TMessageList::kCanned);
  EXPECT_EQ(host.timer_ms, 1000);
  EXPECT_TRUE(sender.busy());

  // The canned message follows at the next tick, and the timer stops after it.
  sender.Tick();
  EXPECT_EQ(host.TakeSerial(), kEnq);
  AckThrough(3);
  EXPECT_EQ(host.TakeSerial(),
            FrameBytes("1C", false) + FrameBytes("2A", false) + FrameBytes("3N", true) + kEot);
  EXPECT_FALSE(host.timer_on);
  EXPECT_EQ(sender.sample_no(), 3);
}

TEST_F(SenderTest, StartDuringTheCannedMessageTakesEffectWhenItEnds) {
  sender.Send();
  sender.Tick();
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEnq + FrameBytes("1C", false));

  sender.Start(5);
  EXPECT_EQ(sender.current_list(), TMessageList::kCanned);
  EXPECT_EQ(host.timer_ms, 1000);
  sender.Receive(kAck + kAck + kAck);
  EXPECT_EQ(host.TakeSerial(), FrameBytes("2A", false) + FrameBytes("3N", true) + kEot);
  // The canned message stopped the timer, then the press started it again.
  EXPECT_TRUE(host.timer_on);
  EXPECT_EQ(host.timer_ms, 5000);
  EXPECT_EQ(sender.current_list(), TMessageList::kBuilt);

  sender.Tick();
  AckThrough(2);
  EXPECT_EQ(host.TakeSerial(), kEnq + kFrame1H + kFrame2L + kEot);
}

TEST_F(SenderTest, PressesDuringAMessageAddUpInOrder) {
  sender.Start(60);
  sender.Tick();
  sender.Send();
  sender.Start(7);  // the last list and interval count; Send's restart stays
  AckThrough(2);
  EXPECT_EQ(sender.current_list(), TMessageList::kBuilt);
  EXPECT_EQ(host.timer_ms, 7000);
  EXPECT_TRUE(sender.busy());
  host.TakeSerial();
  sender.Tick();
  EXPECT_EQ(host.TakeSerial(), kEnq);
}

TEST_F(SenderTest, APressWaitingForAStalledMessageTakesEffectWhenItIsAbandoned) {
  sender.Start(60);
  sender.Tick();
  sender.Send();
  clock.Advance(milliseconds(15001));
  sender.Tick();  // abandoned; the Send then holds the tick back once
  EXPECT_FALSE(sender.in_flight());
  EXPECT_EQ(sender.current_list(), TMessageList::kCanned);
  EXPECT_EQ(host.TakeSerial(), kEnq);
  sender.Tick();
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEnq + FrameBytes("1C", false));
}

TEST_F(SenderTest, SendOverTheSerialLineSendsTheCannedListOnceAndStopsTheTimer) {
  sender.Send();
  EXPECT_TRUE(host.timer_on);
  EXPECT_EQ(host.timer_ms, 1000);
  sender.Tick();
  AckThrough(3);
  EXPECT_EQ(host.TakeSerial(), kEnq + FrameBytes("1C", false) + FrameBytes("2A", false) +
                                   FrameBytes("3N", true) + kEot);
  EXPECT_FALSE(host.timer_on);
  EXPECT_FALSE(sender.busy());
}

TEST_F(SenderTest, SendsTheListAsItStoodAtEnq) {
  sender.Send();
  sender.Tick();
  sender.Receive(kAck);
  host.canned = {"9Z"};
  AckThrough(3);
  EXPECT_EQ(host.TakeSerial(), kEnq + FrameBytes("1C", false) + FrameBytes("2A", false) +
                                   FrameBytes("3N", true) + kEot);
}

TEST_F(SenderTest, AnEmptyListIsEnqThenEot) {
  host.canned.clear();
  sender.Send();
  sender.Tick();
  sender.Receive(kAck);
  EXPECT_EQ(host.TakeSerial(), kEnq + kEot);
  EXPECT_EQ(sender.sample_no(), 2);
}

TEST_F(SenderTest, StartWithoutALineStartsNothing) {
  host.line = TSendLine::kNone;
  EXPECT_FALSE(sender.Start(60));
  EXPECT_FALSE(host.timer_on);
  sender.Tick();
  EXPECT_EQ(host.rebuilds, 0);
  EXPECT_EQ(host.TakeSerial(), "");
  EXPECT_TRUE(host.network.empty());
}

TEST_F(SenderTest, NetworkTickSendsTheBuiltMessageInTheFeedsFraming) {
  host.line = TSendLine::kNetwork;
  host.built = {"1H|\\^&", "2P|1||1", "3L|1|N"};
  ASSERT_TRUE(sender.Start(60));
  sender.Tick();
  EXPECT_EQ(host.network, (Lines{"\x01", "H|\\^&\r", "P|1||1\r", "L|1|N\r", "\x04"}));
  EXPECT_EQ(host.TakeSerial(), "");
  EXPECT_TRUE(sender.busy());
  EXPECT_FALSE(sender.in_flight());
  EXPECT_EQ(sender.sample_no(), 1);
}

// With an interval of 4 s a message goes at the first tick more than 15 s after
// the one before: every 16 s.
TEST_F(SenderTest, NetworkSendsEverySixteenSecondsAtAFourSecondInterval) {
  host.line = TSendLine::kNetwork;
  sender.Start(4);
  EXPECT_EQ(host.timer_ms, 4000);
  std::vector<int> sent_at;
  for (int second = 4; second <= 52; second += 4) {
    clock.Advance(milliseconds(4000));
    const size_t before = host.network.size();
    sender.Tick();
    if (host.network.size() != before) sent_at.push_back(second);
  }
  EXPECT_EQ(sent_at, (std::vector<int>{4, 20, 36, 52}));
  EXPECT_EQ(host.built_for_sample, 1);
}

TEST_F(SenderTest, SendWithNetworkSendsTheBuiltMessageAtOnceAndKeepsTicking) {
  host.line = TSendLine::kNetwork;
  sender.Start(4);
  clock.Advance(milliseconds(4000));
  sender.Tick();
  host.network.clear();
  clock.Advance(milliseconds(1000));
  sender.Send();
  sender.Tick();
  ASSERT_EQ(host.network.size(), 4u);  // SOH, the two built lines, EOT
  EXPECT_EQ(host.network[1], "H\r");
  EXPECT_TRUE(host.timer_on);
  EXPECT_EQ(host.timer_ms, 1000);
}

TEST(IntervalMs, IsBoundedToOneSecondAndWhatAMillisecondTimerHolds) {
  struct Case {
    int seconds;
    int ms;
  };
  for (const Case& c : {Case{INT_MIN, 1000}, Case{-5, 1000}, Case{0, 1000}, Case{1, 1000},
                        Case{4, 4000}, Case{60, 60000}, Case{2147483, 2147483000},
                        Case{2147484, 2147483000}, Case{INT_MAX, 2147483000}}) {
    EXPECT_EQ(IntervalMs(c.seconds), c.ms) << c.seconds;
  }
}

}  // namespace
