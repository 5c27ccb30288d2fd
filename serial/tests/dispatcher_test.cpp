// The dispatcher's buffers, triggers, line settings and flow control over a scripted
// device, without threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "serial/SerDispBuffer.h"
#include "serial/SerExcept.h"
#include "serial/SerLock.h"
#include "serial/SerTriggers.h"
#include "serial/SerUser.h"
#include "serial/tests/fake_dispatcher.h"

namespace {

using serial_test::DirectWindow;
using serial_test::FakeDispatcher;

struct Message {
  uint16_t msg;
  uint32_t first;
  uint32_t second;
};

// A dispatcher opened on the fake device with one window handler installed as the
// port component installs its own; the handler reads Take bytes of each message.
class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(d.Open(), 0);
    d.SetTriggerLength(1);
    d.RegisterWindowHandler(&window);
    d.UpdateHandlerFlags(1);
    window.handler = [this](uint16_t msg, uint32_t first, uint32_t second) {
      messages.push_back({msg, first, second});
      for (int i = 0; i < take && msg == kMsgTriggerAvail; ++i) {
        uint8_t c;
        if (d.TakeChar(c) != 0) break;
        taken.push_back(static_cast<char>(c));
      }
    };
  }
  void TearDown() override { d.DeregisterWindowHandler(&window); }

  FakeDispatcher d;
  DirectWindow window;
  std::vector<Message> messages;
  std::string taken;
  int take = 1 << 20;
};

TEST_F(DispatcherTest, AvailCountsEveryUnreadByteAndFiresOncePerArrival) {
  take = 3;
  d.input = "0123456789";
  d.Round();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].msg, kMsgTriggerAvail);
  EXPECT_EQ(messages[0].first, 10u);
  EXPECT_EQ(messages[0].second, static_cast<uint32_t>(d.PortHandle()) << 16);
  EXPECT_EQ(taken, "012");
  EXPECT_EQ(d.BufferTail(), 3);
  EXPECT_EQ(d.InBuffUsed(), 7);
  // Nothing new: no new message.
  d.Round();
  EXPECT_EQ(messages.size(), 1u);
  // New bytes: Count covers the 7 old ones too.
  take = 100;
  d.input = "ab";
  d.Round();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].first, 9u);
  EXPECT_EQ(taken, "0123456789ab");
  EXPECT_EQ(d.InBuffUsed(), 0);
}

TEST_F(DispatcherTest, EveryHandlerSeesTheSameBytesAndTheTailMovesPastTheMost) {
  DirectWindow second;
  std::string seen;
  second.handler = [&](uint16_t, uint32_t, uint32_t) {
    uint8_t c;
    while (d.TakeChar(c) == 0 && seen.size() < 2)
      seen.push_back(static_cast<char>(c));
  };
  d.RegisterWindowHandler(&second);
  take = 1;
  d.input = "xyz";
  d.Round();
  EXPECT_EQ(taken, "x");
  EXPECT_EQ(seen, "xy");
  EXPECT_EQ(d.BufferTail(), 3);  // the second handler's third read was counted too
  d.DeregisterWindowHandler(&second);
}

TEST_F(DispatcherTest, BufferFillsAt8192AndOneTakeFreesIt) {
  take = 0;
  d.input = std::string(9000, 'q');
  d.Round();
  EXPECT_TRUE(d.BufferFull());
  EXPECT_EQ(d.BufferHead(), d.BufferTail());
  EXPECT_EQ(d.InBuffUsed(), 8192);
  EXPECT_EQ(d.input.size(), 808u);
  d.Round();  // a full buffer takes nothing more
  EXPECT_EQ(d.input.size(), 808u);
  uint8_t c;
  ASSERT_EQ(d.TakeChar(c), 0);
  EXPECT_FALSE(d.BufferFull());
  EXPECT_EQ(d.InBuffUsed(), 8191);
}

TEST_F(DispatcherTest, ReadingWrapsAroundTheBufferEnd) {
  take = 1 << 20;
  d.input = std::string(8000, 'a');
  d.Round();
  EXPECT_EQ(d.BufferTail(), 8000);
  std::string wrapped;
  for (int i = 0; i < 300; ++i)
    wrapped.push_back(static_cast<char>('A' + i % 26));
  taken.clear();
  d.input = wrapped;
  d.Round();
  EXPECT_EQ(taken, wrapped);
  EXPECT_EQ(d.BufferHead(), 8300 - 8192);
}

TEST_F(DispatcherTest, PeekBeyondTheUnreadCountFailsAndChangesNothing) {
  take = 0;
  d.input = "ab";
  d.Round();
  uint8_t c = 0;
  EXPECT_EQ(d.PeekChar(c, 3), ecBufferIsEmpty);
  EXPECT_EQ(d.PeekChar(c, 2), 0);
  EXPECT_EQ(c, 'b');
  EXPECT_EQ(d.InBuffUsed(), 2);
  EXPECT_EQ(d.BufferTail(), 0);
}

TEST_F(DispatcherTest, TakeOnAnEmptyBufferIsBufferEmpty) {
  uint8_t c;
  EXPECT_EQ(d.TakeChar(c), ecBufferIsEmpty);
}

TEST_F(DispatcherTest, NoMessageWithoutPortHandlerButTriggersAreStillChecked) {
  d.UpdateHandlerFlags(2);
  d.input = "abc";
  EXPECT_FALSE(d.CheckDataTriggers());  // nothing read yet: nothing delivered
  d.Round();
  EXPECT_TRUE(messages.empty());
  // The bytes wait; once a handler is installed they are announced at once.
  d.UpdateHandlerFlags(1);
  d.Round();
  EXPECT_TRUE(messages.empty());
  d.AnnouncePending();
  d.Round();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, 3u);
}

TEST_F(DispatcherTest, WithdrawnDeliveryIsAnnouncedAgainWithoutLosingBytes) {
  window.deliver = false;
  d.input = "hello";
  d.Round();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(d.InBuffUsed(), 5);
  window.deliver = true;
  d.Round();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, 5u);
  EXPECT_EQ(taken, "hello");
  d.Round();
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(DispatcherTest, CheckDataTriggersIsFalseWhenNothingIsDelivered) {
  EXPECT_FALSE(d.CheckDataTriggers());
  d.SetTriggerLength(0);
  d.input = "x";
  d.ReadFromDevice();
  EXPECT_FALSE(d.CheckDataTriggers());
  EXPECT_TRUE(messages.empty());
}

TEST_F(DispatcherTest, CloseFromInsideAHandlerSkipsTheRestAndDeliversNoMore) {
  DirectWindow second;
  int second_calls = 0;
  second.handler = [&](uint16_t, uint32_t, uint32_t) { ++second_calls; };
  d.RegisterWindowHandler(&second);
  window.handler = [&](uint16_t msg, uint32_t first, uint32_t second_value) {
    messages.push_back({msg, first, second_value});
    d.DonePort();  // from inside the delivery: only requested
  };
  d.input = "abc";
  d.Round();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(second_calls, 0);
  EXPECT_TRUE(d.CloseRequested());
  d.DeregisterWindowHandler(&second);
  d.FinishClose();
  d.Round();
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(DispatcherTest, DataTriggersFireAfterTheAvailOfTheBytesBeforeThem) {
  TSavedTriggers saved;
  saved.trigger_length = 1;
  TDataTrigger etx;
  etx.handle = 7;
  etx.length = 1;
  etx.text[0] = '\x03';
  TDataTrigger eot;
  eot.handle = 9;
  eot.length = 2;
  eot.text[0] = 'E';
  eot.text[1] = 'O';
  eot.ignore_case = true;
  saved.data = {etx, eot};
  d.RestoreTriggers(saved);
  take = 0;
  d.input = "AB\x03xyeo";
  d.Round();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].msg, kMsgTriggerAvail);
  EXPECT_EQ(messages[0].first, 2u);  // the two bytes before the matched string
  EXPECT_EQ(messages[1].msg, kMsgTriggerData);
  EXPECT_EQ(messages[1].first, 7u);
  EXPECT_EQ(messages[1].second & 0xFFFF, 1u);
  d.Round();
  bool eo = false;
  for (const Message& m : messages)
    eo |= m.msg == kMsgTriggerData && m.first == 9;
  EXPECT_TRUE(eo);
  TSavedTriggers back;
  d.SaveTriggers(back);
  EXPECT_EQ(back.data.size(), 2u);
  EXPECT_EQ(back.trigger_length, 1);
}

// A data trigger's string is at most kMaxTriggerString bytes long; one claiming a
// longer string never matches.
TEST(TriggerListsTest, AStringOfTheLongestLengthMatchesAndALongerOneNever) {
  const std::string text = "ABCDEFGHIJKLMNOPQRSTUV";
  ASSERT_EQ(text.size(), static_cast<size_t>(kMaxTriggerString));
  const struct {
    int32_t length;
    int32_t matched;  // by the last byte of Text
  } cases[] = {{kMaxTriggerString, kMaxTriggerString}, {kMaxTriggerString + 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    TDataTrigger trigger;
    trigger.handle = 1;
    trigger.length = c.length;
    std::copy(text.begin(), text.end(), trigger.text.begin());
    TSavedTriggers saved;
    saved.data = {trigger};
    TSerTriggerLists lists;
    lists.Restore(saved);
    std::vector<int32_t> results;
    for (char byte : text + "W")
      results.push_back(lists.MatchByte(static_cast<uint8_t>(byte)));
    std::vector<int32_t> expected(text.size() + 1, 0);
    expected[text.size() - 1] = c.matched;
    EXPECT_EQ(results, expected);
  }
}

TEST_F(DispatcherTest, FlushInsideADeliveryCountsEverythingAsTaken) {
  take = 0;
  window.handler = [&](uint16_t, uint32_t, uint32_t) { d.FlushInBuffer(); };
  d.input = "abcdef";
  d.Round();
  EXPECT_EQ(d.InBuffUsed(), 0);
  EXPECT_EQ(d.BufferTail(), d.BufferHead());
}

// Reads outside any handler while an avail delivery is under way, interleaved with
// the delivery's steps as the user-interface thread (the handler, a timer) and the
// dispatch thread may take them. Steps: h the handler reads, o a read outside, e the
// handler's end, b the next handler's start. Every byte outside a handler is handed
// out once, and the delivery's end moves the tail past all that was handed out.
TEST(DispatchBufferTest, AReadOutsideAHandlerCountsInTheDeliverysEnd) {
  struct Case {
    const char* steps;
    const char* handed_out;
    char next;  // what the first read after the delivery gives
  };
  const Case cases[] = {
      {"ohe", "ab", 'c'},       // before the handler reads: at the tail
      {"hoe", "ab", 'c'},       // while the handler runs (a dialog of its own)
      {"heo", "ab", 'c'},       // after the handler ended, before the delivery ends
      {"heoo", "abc", 'd'},     // twice there
      {"hhebho", "abac", 'd'},  // a second handler reads from the start again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    TSerDispatchBuffer buffer;
    TSerMutexLock lock(buffer.mutex());
    buffer.Allocate();
    const std::string bytes = "abcdef";
    buffer.Fill(6, [&](uint8_t* at, int room) {
      const int n = std::min(room, 6);
      std::copy(bytes.begin(), bytes.begin() + n, at);
      return n;
    });
    buffer.BeginDelivery(true);
    buffer.BeginHandler();
    std::string handed_out;
    for (const char* step = c.steps; *step; ++step) {
      uint8_t byte = 0;
      if (*step == 'h' || *step == 'o') {
        ASSERT_EQ(*step == 'h' ? buffer.Take(byte) : buffer.TakeOutside(byte), 0);
        handed_out.push_back(static_cast<char>(byte));
      } else if (*step == 'e') {
        buffer.EndHandler();
      } else {
        buffer.BeginHandler();
      }
    }
    buffer.EndDelivery(true);
    EXPECT_EQ(handed_out, c.handed_out);
    uint8_t next = 0;
    ASSERT_EQ(buffer.Take(next), 0);
    EXPECT_EQ(static_cast<char>(next), c.next);
  }
}

// The dispatch thread's routine, run here on the test's thread: an exception in a
// delivery ends it, the delivery ended with what its handler read taken, and the
// port left answering as a hung-up one.
TEST(DispatcherThreadTest, AnExceptionInADeliveryEndsTheDispatchThreadAndTheDelivery) {
  struct Device : FakeDispatcher {
    using FakeDispatcher::DispThreadMain;
  } d;
  ASSERT_EQ(d.Open(), 0);
  d.SetTriggerLength(1);
  DirectWindow window;
  d.RegisterWindowHandler(&window);
  d.UpdateHandlerFlags(1);
  window.handler = [&](uint16_t, uint32_t, uint32_t) {
    uint8_t c;
    d.TakeChar(c);
    d.TakeChar(c);
    throw Exception("handler failed");
  };
  std::vector<std::string> failures;
  d.SetThreadFailureHandler([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      failures.push_back(e.what());
    }
  });
  d.input = "abcde";
  d.DispThreadMain();  // returns once the exception has ended it
  EXPECT_EQ(failures, std::vector<std::string>{"handler failed"});
  EXPECT_TRUE(d.ThreadFailed());
  EXPECT_TRUE(d.LineLost());
  EXPECT_FALSE(d.Dispatching());
  EXPECT_EQ(d.BufferTail(), 2);  // the two bytes the handler took are gone
  EXPECT_EQ(d.InBuffUsed(), 3);
  const std::string x = "x";
  EXPECT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(x.data()), 1), ecPutBlockFail);
  d.DeregisterWindowHandler(&window);
}

TEST(DispatcherOutputTest, PutBlockFillsTheRingExactlyOrQueuesNothing) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(4096, 16), 0);
  const std::string ten = "0123456789";
  EXPECT_EQ(d.PutBlock(nullptr, 0), 0);
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(ten.data()), 10), 0);
  EXPECT_EQ(d.OutBuffUsed(), 10);
  const std::string seven = "ABCDEFG";
  EXPECT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(seven.data()), 7), ecOutputBufferTooSmall);
  EXPECT_EQ(d.OutBuffUsed(), 10);
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(seven.data()), 6), 0);
  EXPECT_EQ(d.OutBuffUsed(), 16);
  EXPECT_EQ(d.OutBuffFree(), 0);
  d.Drain();
  EXPECT_EQ(d.written, "0123456789ABCDEF");
  EXPECT_EQ(d.OutBuffUsed(), 0);
  // A block that wraps around the ring's end goes out in order in one write.
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(ten.data()), 10), 0);
  d.Drain();
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(ten.data()), 10), 0);
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(seven.data()), 6), 0);
  EXPECT_EQ(d.OutBuffUsed(), 16);
  d.written.clear();
  d.Drain();
  EXPECT_EQ(d.written, "0123456789ABCDEF");
}

TEST(DispatcherOutputTest, FailedWriteDropsTheBlockAndPurgeEmptiesTheRing) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(4096, 64), 0);
  const std::string block = "abc";
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 3), 0);
  d.write_error = platform::kErrorDeviceNotConnected;
  d.Drain();
  EXPECT_EQ(d.OutBuffUsed(), 0);
  d.write_error = 0;
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(block.data()), 3), 0);
  d.FlushOutBuffer();
  EXPECT_EQ(d.OutBuffUsed(), 0);
  d.Drain();
  EXPECT_EQ(d.written, "");
}

TEST(DispatcherOutputTest, PutBlockAddsLineErrorsInsteadOfReplacingThem) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.errors = 0x04;  // parity
  d.Round();
  d.errors = 0x10;  // break, seen by the status refresh inside PutBlock
  const std::string x = "x";
  ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(x.data()), 1), 0);
  EXPECT_EQ(d.PendingLineErrors(), 0x14u);
  EXPECT_EQ(d.TakeLineError(), 3);
  EXPECT_EQ(d.TakeLineError(), 9);  // the break stays until TakeBreak
  EXPECT_TRUE(d.TakeBreak());
  EXPECT_FALSE(d.TakeBreak());
  EXPECT_EQ(d.TakeLineError(), 0);
}

TEST(DispatcherLineTest, LineErrorsComeOutInTheirOrder) {
  struct Case {
    uint32_t bits;
    int first;
  };
  for (Case c : {Case{0x01, 1}, Case{0x02, 2}, Case{0x06, 2}, Case{0x0C, 3}, Case{0x08, 4},
                 Case{0x10, 9}, Case{0x00, 0}}) {
    FakeDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    d.errors = c.bits;
    d.ReadFromDevice();
    d.input = "";
    d.OutBuffUsed();  // refreshes the status
    EXPECT_EQ(d.TakeLineError(), c.first) << c.bits;
  }
}

TEST(DispatcherLineTest, ModemStatusKeepsChangeBitsAndDsrClearsItsOwn) {
  FakeDispatcher d;
  d.modem_lines = 0x30;  // CTS and DSR
  ASSERT_EQ(d.Open(), 0);
  EXPECT_TRUE(d.DSRState());
  d.modem_lines = 0x10;  // DSR dropped
  d.RefreshModemDeltas();
  EXPECT_EQ(d.ReadModemStatus(0xFF), 0x12);  // CTS on, DSR changed
  d.modem_lines = 0x90;                      // DCD rose
  d.RefreshModemDeltas();
  EXPECT_EQ(d.ReadModemStatus(0xFF) & 0x0F, 0x0A);  // DSR and DCD changed
  EXPECT_FALSE(d.DSRState());
  EXPECT_EQ(d.ReadModemStatus(0xFF) & 0x0F, 0x08);  // DSR-changed cleared by DSRState
}

TEST(DispatcherLineTest, UnchangedSettingsWriteNothingAndWaitNot) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  const int writes = d.dcb_writes;
  d.delays.clear();
  EXPECT_EQ(d.SetLine(9600, 0, 8, 1), 0);
  EXPECT_EQ(d.SetLine(0, 5, 9, 3), 0);
  EXPECT_EQ(d.dcb_writes, writes);
  EXPECT_TRUE(d.delays.empty());
}

TEST(DispatcherLineTest, AChangeWaitsEighteenCharacterTimesAfterTheOutputDrained) {
  FakeDispatcher d;
  d.dcb.baud_rate = 2400;  // the open writes 9600, which becomes the last baud
  ASSERT_EQ(d.Open(), 0);
  d.delays.clear();
  ASSERT_EQ(d.SetLine(19200, 5, 9, 3), 0);
  EXPECT_EQ(d.delays, std::vector<int>{19});
  EXPECT_EQ(d.dcb.baud_rate, 19200u);
  int32_t baud;
  int parity, bits, stop;
  d.GetLine(baud, parity, bits, stop);
  EXPECT_EQ(baud, 19200);
  EXPECT_EQ(parity, 0);
  EXPECT_EQ(bits, 8);
  EXPECT_EQ(stop, 1);
}

// Before new line settings are written the output drains, in rounds of
// kDrainRoundMs, at most kDrainRounds of them: output still queued then does not
// keep the settings from being written.
TEST(DispatcherLineTest, TheDrainWaitsAtMostItsRoundsAndThenWritesTheSettings) {
  class DrainingDevice : public FakeDispatcher {
   public:
    int drains_at = 0;  // the Delay call that finds the output gone
   protected:
    void Delay(int ms) override {
      FakeDispatcher::Delay(ms);
      if (static_cast<int>(delays.size()) == drains_at) EmptyRing();
    }
  };
  for (const int drains_at : {1, 5000, 5001}) {
    SCOPED_TRACE(drains_at);
    DrainingDevice d;
    d.dcb.baud_rate = 2400;
    ASSERT_EQ(d.Open(), 0);  // the last baud is 9600 now: the wait after is 19 ms
    d.delays.clear();
    d.drains_at = drains_at;
    const std::string queued = "queued";
    ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(queued.data()), 6), 0);
    ASSERT_EQ(d.SetLine(19200, 5, 9, 3), 0);
    std::vector<int> expected(static_cast<size_t>(std::min(drains_at, 5000)), 2);
    expected.push_back(19);
    EXPECT_EQ(d.delays, expected);
    EXPECT_EQ(d.dcb.baud_rate, 19200u);
  }
  EXPECT_EQ(kDrainRounds, 5000);
  EXPECT_EQ(kDrainRoundMs, 2);
}

TEST(DispatcherLineTest, OpeningWaitsFromTheLastBaudOf115200) {
  FakeDispatcher d;
  d.dcb.baud_rate = 19200;
  ASSERT_EQ(d.Open(), 0);
  EXPECT_EQ(d.delays, std::vector<int>{2});
  EXPECT_EQ(d.dcb.baud_rate, 9600u);
}

TEST(DispatcherLineTest, WaitFormulaAndBaudTable) {
  platform::CommState s;
  EXPECT_EQ(LineSettingWaitMs(s, 9600), 19);
  EXPECT_EQ(LineSettingWaitMs(s, 115200), 2);
  s.parity = 2;
  s.stop_bits = 2;
  EXPECT_EQ(LineSettingWaitMs(s, 9600), 23);    // 12 bits
  EXPECT_EQ(LineSettingWaitMs(s, 4000000), 1);  // below 1 ms: doubled, rounded up
  EXPECT_EQ(ActualBaud(0xFF16), 9600u);
  EXPECT_EQ(ActualBaud(0xFF19), 0xFF19u);
  EXPECT_EQ(ActualBaud(0xFEFF), 115200u);
  EXPECT_EQ(ActualBaud(0xFF27), 256000u);
  EXPECT_EQ(ActualBaud(2400), 2400u);
}

TEST(DispatcherLineTest, StopBitsFollowTheDataSize) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  ASSERT_EQ(d.SetLine(0, 5, 5, 1), 0);
  EXPECT_EQ(d.dcb.stop_bits, platform::CommState::kOne5StopBits);
  ASSERT_EQ(d.SetLine(0, 5, 7, 2), 0);
  EXPECT_EQ(d.dcb.stop_bits, platform::CommState::kTwoStopBits);
  ASSERT_EQ(d.SetLine(0, 5, 8, 0), 0);  // 0 means one
  EXPECT_EQ(d.dcb.stop_bits, platform::CommState::kOneStopBit);
  ASSERT_EQ(d.SetLine(0, 5, 8, 7), 0);  // above 2: two
  EXPECT_EQ(d.dcb.stop_bits, platform::CommState::kTwoStopBits);
}

TEST(DispatcherLineTest, ControlLinesFollowTheirStateUnlessUnderHandshake) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.escapes.clear();
  EXPECT_EQ(d.SetDTR(false), 0);
  EXPECT_EQ(d.SetRTS(true), 0);
  EXPECT_EQ(d.escapes, (std::vector<int>{platform::kClrDtr, platform::kSetRts}));
  ASSERT_EQ(d.SetHWFlowOptions(3072, 1024, 1), 0);  // DTR handshake
  EXPECT_EQ(d.SetDTR(true), 1);
  EXPECT_EQ(d.dcb.dtr_control, platform::CommState::kDtrHandshake);
}

TEST(DispatcherFlowTest, HardwareFlowLimitsAndOptions) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(4096, 4096), 0);
  ASSERT_EQ(d.SetHWFlowOptions(3072, 1024, 2 | 8), 0);
  EXPECT_EQ(d.dcb.xoff_lim, 1024);
  EXPECT_EQ(d.dcb.xon_lim, 1024);
  EXPECT_EQ(d.dcb.rts_control, platform::CommState::kRtsHandshake);
  EXPECT_TRUE(d.dcb.outx_cts_flow);
  EXPECT_FALSE(d.dcb.outx_dsr_flow);
  uint32_t hw, sw;
  char xon, xoff;
  d.GetFlowOptions(hw, sw, xon, xoff);
  EXPECT_EQ(hw, 2u | 8u);
  EXPECT_EQ(sw, 0u);
  EXPECT_EQ(d.SetHWFlowOptions(1000, 2000, 0), ecBadArgument);  // full below resume
  EXPECT_EQ(d.SetHWFlowOptions(5000, 100, 0), ecBadArgument);   // full above the input size
  ASSERT_EQ(d.SetHWFlowOptions(3072, 1024, 0), 0);
  d.GetFlowOptions(hw, sw, xon, xoff);
  EXPECT_EQ(hw, 0u);
}

TEST(DispatcherFlowTest, SoftwareFlowSidesAndCharacters) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(4096, 4096), 0);
  ASSERT_EQ(d.SetFlowChars('a', 'b'), 0);
  ASSERT_EQ(d.SetSWFlowOptions(3072, 1024, 2), 0);
  EXPECT_TRUE(d.dcb.in_x);
  EXPECT_FALSE(d.dcb.out_x);
  EXPECT_EQ(d.dcb.xon_char, 17);
  EXPECT_EQ(d.dcb.xoff_char, 19);
  EXPECT_EQ(d.dcb.xoff_lim, 1024);
  ASSERT_EQ(d.SetSWFlowOptions(3072, 1024, 1), 0);
  uint32_t hw, sw;
  char xon, xoff;
  d.GetFlowOptions(hw, sw, xon, xoff);
  EXPECT_EQ(sw, 3u);
  ASSERT_EQ(d.SWFlowDisable(), 0);
  d.GetFlowOptions(hw, sw, xon, xoff);
  EXPECT_EQ(sw, 0u);
  EXPECT_EQ(d.SetSWFlowOptions(100, 200, 3), ecBadArgument);
}

TEST(DispatcherStatusTest, StatusTriggersFireOnceUntilReset) {
  FakeDispatcher d;
  ASSERT_EQ(d.Open(4096, 100), 0);
  DirectWindow window;
  std::vector<Message> messages;
  window.handler = [&](uint16_t msg, uint32_t first, uint32_t second) {
    messages.push_back({msg, first, second});
  };
  d.RegisterWindowHandler(&window);
  d.UpdateHandlerFlags(1);
  TSavedTriggers saved;
  TStatusTrigger free_trigger;
  free_trigger.handle = 0x0B;  // low three bits 3: output buffer free
  free_trigger.kind = kStatusOutFree;
  free_trigger.value = 50;
  free_trigger.armed = true;
  TStatusTrigger line;
  line.handle = 0x12;
  line.kind = kStatusLine;
  line.value = 0x08;
  line.armed = true;
  saved.status = {free_trigger, line};
  d.RestoreTriggers(saved);
  d.errors = 0x08;
  d.ReadFromDevice();
  EXPECT_TRUE(d.CheckStatusTriggers());
  EXPECT_TRUE(d.CheckStatusTriggers());
  EXPECT_FALSE(d.CheckStatusTriggers());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].msg, kMsgTriggerStatus);
  EXPECT_EQ(messages[0].first, 0x0Bu);
  EXPECT_EQ(messages[0].second & 0xFFFF, 100u);  // free bytes
  EXPECT_EQ(messages[1].first, 0x12u);
  EXPECT_EQ(messages[1].second & 0xFFFF, 0x08u);
  // The reset clears the fired marks only: a fired trigger stays disarmed.
  TSavedTriggers fired;
  d.SaveTriggers(fired);
  ASSERT_EQ(fired.status.size(), 2u);
  for (const TStatusTrigger& t : fired.status) {
    EXPECT_TRUE(t.fired);
    EXPECT_FALSE(t.armed);
  }
  d.ResetStatusTriggers();
  TSavedTriggers reset;
  d.SaveTriggers(reset);
  for (const TStatusTrigger& t : reset.status) {
    EXPECT_FALSE(t.fired);
    EXPECT_FALSE(t.armed);
  }
  d.errors = 0x08;
  d.ReadFromDevice();
  EXPECT_FALSE(d.CheckStatusTriggers());
  // Armed again (as a reopen restores them), each fires once more.
  d.RestoreTriggers(saved);
  EXPECT_TRUE(d.CheckStatusTriggers());
  EXPECT_TRUE(d.CheckStatusTriggers());
  EXPECT_FALSE(d.CheckStatusTriggers());
  EXPECT_EQ(messages.size(), 4u);
  d.DeregisterWindowHandler(&window);
}

TEST(DispatcherTimerTest, TimerRuleAllowsForAWrappedClock) {
  EXPECT_TRUE(TimerExpiredAt({100, 150}, 151));
  EXPECT_FALSE(TimerExpiredAt({100, 150}, 150));
  EXPECT_FALSE(TimerExpiredAt({100, 150}, 120));
  // The clock wrapped since the start.
  EXPECT_TRUE(TimerExpiredAt({4000000000u, 10}, 5));
  EXPECT_FALSE(TimerExpiredAt({4000000000u, 4000000100u}, 5));
  EXPECT_EQ(FlagIsSet(0x12, 0x02), 0xFFFFFFFFu);
  EXPECT_EQ(FlagIsSet(0x12, 0x04), 0u);
}

TEST(DispatcherOpenTest, OpenFailureGivesMinusTheSystemError) {
  FakeDispatcher d;
  d.open_error = 2;
  EXPECT_EQ(d.Open(), -2);
  FakeDispatcher e;
  e.open_error = 5;
  EXPECT_EQ(e.Open(), -5);
}

TEST(DispatcherOpenTest, PortListGivesTheFirstFreeSlotAndChecksTheGeneration) {
  auto a = std::make_unique<FakeDispatcher>();
  auto b = std::make_unique<FakeDispatcher>();
  const int32_t slot_a = a->PortHandle();
  EXPECT_EQ(b->PortHandle(), slot_a + 1);
  EXPECT_EQ(FindPortListEntry(slot_a, a->Generation()), a.get());
  const uint64_t old_generation = a->Generation();
  a.reset();
  EXPECT_EQ(FindPortListEntry(slot_a, 0), nullptr);
  auto c = std::make_unique<FakeDispatcher>();
  EXPECT_EQ(c->PortHandle(), slot_a);                             // the slot is reused...
  EXPECT_EQ(FindPortListEntry(slot_a, old_generation), nullptr);  // ...by a newer dispatcher
  EXPECT_EQ(FindPortListEntry(slot_a, c->Generation()), c.get());
}

}  // namespace
