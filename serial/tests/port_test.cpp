// The port component on pseudo-terminals, with the Qt event loop.
#include "serial/SerPort.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/comm_lock.h"
#include "platform/exception.h"
#include "platform/io_error.h"
#include "platform/qt/event_loop.h"
#include "platform/tests/pty_pair.h"
#include "serial/SerExcept.h"
#include "serial/SerTraceRings.h"
#include "serial/SerWin32.h"
#include "serial/tests/fake_dispatcher.h"
#include "serial/tests/null_modem.h"
#include "serial/tests/qt_app.h"

namespace {

using platform_test::ComPorts;
using platform_test::Pty;
using serial_test::SpinUntil;

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serial_test::App();
    platform::SetExceptionHook([this](const std::exception& e) { reported += e.what(); });
  }
  void TearDown() override { platform::SetExceptionHook(nullptr); }

  // A port as both programs' forms set it up.
  static void Configure(TSerComPort& port, uint16_t number) {
    port.SetBaud(9600);
    port.SetPromptForPort(false);
    port.SetBufferFull(3072);
    port.SetBufferResume(1024);
    port.SetTraceName("SER.TRC");
    port.SetLogName("SER.LOG");
    port.SetTapiMode(tmOff);
    port.SetComNumber(number);
  }

  // The avail handler reads every byte it is told of into Received.
  static void ReadInto(TSerComPort& port, std::string& received) {
    port.OnTriggerAvail = [&received](TSerCustomComPort& cp, uint16_t count) {
      for (int i = 0; i < count; ++i)
        received.push_back(cp.GetChar());
    };
  }

  ComPorts ports;
  std::string reported;
};

template <typename E>
int CodeOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const E& e) {
    return e.ErrorCode();
  }
  return 0;
}

TEST_F(PortTest, DefaultsAreTheComponentsOwn) {
  TSerComPort port(nullptr);
  EXPECT_EQ(port.Version(), "v4.00");
  EXPECT_EQ(port.Baud(), 19200);
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_TRUE(port.PromptForPort());
  EXPECT_EQ(port.InSize(), 4096);
  EXPECT_TRUE(port.AutoOpen());
  EXPECT_TRUE(port.DTR());
  EXPECT_EQ(port.TraceName(), "SERLIB.TRC");
  EXPECT_EQ(port.LogName(), "SERLIB.LOG");
  EXPECT_EQ(port.TapiMode(), tmAuto);
  EXPECT_EQ(port.XOnChar(), 17);
  EXPECT_EQ(port.TriggerLength(), 1);
  port.SetTraceSize(5000000);
  EXPECT_EQ(port.TraceSize(), 4000000u);
  port.SetLogSize(20000000);
  EXPECT_EQ(port.LogSize(), 16000000u);
  port.SetUseMSRShadow(false);
  EXPECT_TRUE(port.UseMSRShadow());
}

// The component cuts a ring size asked for to the ring's limit.
TEST_F(PortTest, RingSizesAreKeptUpToTheirLimitsAndCutBeyond) {
  TSerComPort port(nullptr);
  const struct {
    const char* ring;
    void (TSerCustomComPort::*set)(uint32_t);
    uint32_t (TSerCustomComPort::*get)() const;
    uint32_t size, kept;
  } cases[] = {
      {"trace", &TSerCustomComPort::SetTraceSize, &TSerCustomComPort::TraceSize, kMaxTraceSize,
       kMaxTraceSize},
      {"trace", &TSerCustomComPort::SetTraceSize, &TSerCustomComPort::TraceSize, kMaxTraceSize + 1,
       kMaxTraceSize},
      {"log", &TSerCustomComPort::SetLogSize, &TSerCustomComPort::LogSize, kMaxLogSize,
       kMaxLogSize},
      {"log", &TSerCustomComPort::SetLogSize, &TSerCustomComPort::LogSize, kMaxLogSize + 1,
       kMaxLogSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ring) + " " + std::to_string(c.size));
    (port.*c.set)(c.size);
    EXPECT_EQ((port.*c.get)(), c.kept);
  }
}

TEST_F(PortTest, TraceAndLogNamesAreKeptUpToTheLongestLengthAndCutBeyond) {
  TSerComPort port(nullptr);
  for (const size_t length : {size_t{255}, size_t{256}}) {
    SCOPED_TRACE(length);
    const std::string name(length, 'n');
    port.SetTraceName(name);
    port.SetLogName(name);
    EXPECT_EQ(port.TraceName(), std::string(255, 'n'));
    EXPECT_EQ(port.LogName(), std::string(255, 'n'));
  }
  EXPECT_EQ(kMaxTraceLogName, 255u);
}

TEST_F(PortTest, MissingPortIsBadIdAndLeavesThePortClosed) {
  ports.Link(7, ports.path() + "/absent");
  TSerComPort port(nullptr);
  Configure(port, 7);
  try {
    port.SetOpen(true);
    FAIL() << "no exception";
  } catch (const EBadId& e) {
    EXPECT_EQ(e.ErrorCode(), -2001);
    EXPECT_STREQ(e.what(), "ie_BadId - Specified comport doesn't exist");
  }
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
}

TEST_F(PortTest, PortAlreadyOpenIsAlreadyOpen) {
  ports.Add(1);
  TSerComPort first(nullptr), second(nullptr);
  Configure(first, 1);
  Configure(second, 1);
  first.SetOpen(true);
  EXPECT_EQ(CodeOf<EAlreadyOpen>([&] { second.SetOpen(true); }), -2008);
  EXPECT_FALSE(second.Open());
  first.SetOpen(false);
  second.SetOpen(true);
  EXPECT_TRUE(second.Open());
}

TEST_F(PortTest, NoPortNumberOrClosedPortRaise) {
  TSerComPort port(nullptr);
  port.SetPromptForPort(false);
  EXPECT_EQ(CodeOf<ENoPortSelected>([&] { port.SetOpen(true); }), -2011);
  EXPECT_EQ(CodeOf<ENoPortSelected>([&] { port.GetChar(); }), -2011);  // AutoOpen opens first
  port.SetAutoOpen(false);
  EXPECT_EQ(CodeOf<ECommNotOpen>([&] { port.GetChar(); }), -2007);
  EXPECT_EQ(CodeOf<ECommNotOpen>([&] { port.PutString("x"); }), -2007);
  EXPECT_FALSE(port.GetDSR());
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
  // The selection form, when installed and not confirmed, gives the same error.
  port.SetPromptForPort(true);
  SetPortSelector([] { return std::optional<int>(); });
  EXPECT_EQ(CodeOf<ENoPortSelected>([&] { port.SetOpen(true); }), -2011);
  SetPortSelector(nullptr);
}

TEST_F(PortTest, ReceivedBytesReachTheAvailHandlerAndSendingReachesTheLine) {
  Pty& pty = ports.Add(2);
  TSerComPort port(nullptr);
  Configure(port, 2);
  std::string received;
  std::vector<int> counts;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    counts.push_back(count);
    for (int i = 0; i < count; ++i)
      received.push_back(cp.GetChar());
  };
  port.SetOpen(true);
  EXPECT_TRUE(port.GetDSR());  // a pseudo-terminal is wired like a null-modem cable
  pty.Write(
      std::string("\x05\x02"
                  "1H|\x00\r",
                  6));
  ASSERT_TRUE(SpinUntil([&] { return received.size() == 6; }));
  EXPECT_EQ(received, std::string("\x05\x02"
                                  "1H|\x00\r",
                                  6));
  int total = 0;
  for (int c : counts)
    total += c;
  EXPECT_EQ(total, 6);
  port.PutString("\x06");
  EXPECT_EQ(pty.Read(1), "\x06");
  EXPECT_EQ(CodeOf<EBufferIsEmpty>([&] { port.GetChar(); }), -3007);
}

TEST_F(PortTest, BytesBeforeTheHandlerIsAssignedAreAnnouncedWhenItIs) {
  Pty& pty = ports.Add(2);
  TSerComPort port(nullptr);
  Configure(port, 2);
  port.SetOpen(true);
  pty.Write("early");
  ASSERT_TRUE(SpinUntil([&] { return port.GetDispatcher()->InBuffUsed() == 5; }));
  std::string received;
  ReadInto(port, received);
  port.UpdateHandlerState();
  ASSERT_TRUE(SpinUntil([&] { return received == "early"; }));
}

TEST_F(PortTest, OutputLongerThanTheFreeRoomQueuesNothing) {
  Pty& pty = ports.Add(2);
  TSerComPort port(nullptr);
  Configure(port, 2);
  port.SetOutSize(16);
  port.SetOpen(true);
  EXPECT_EQ(CodeOf<EOutputBufferTooSmall>([&] { port.PutString(std::string(17, 'x')); }), -3006);
  EXPECT_EQ(port.GetDispatcher()->OutBuffUsed(), 0);
  EXPECT_EQ(pty.Read(1, 200), "");
  port.PutString("");
  port.PutString(std::string(16, 'y'));  // exactly the room
  EXPECT_EQ(pty.Read(17, 500), std::string(16, 'y'));
}

TEST_F(PortTest, TwoPortsExchangeEnqAckFrameAndEot) {
  serial_test::NullModem cable(ports, 3, 4);
  TSerComPort analyzer(nullptr), collector(nullptr);
  Configure(analyzer, 3);
  Configure(collector, 4);
  const std::string frame =
      "\x02"
      "1H|\\^&|||ABL\r\x03"
      "A7\r\n";
  std::string collected;
  std::string answers;
  collector.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i) {
      const char c = cp.GetChar();
      collected.push_back(c);
      if (c == '\x05' || c == '\n') cp.PutString("\x06");
    }
  };
  analyzer.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i) {
      const char c = cp.GetChar();
      answers.push_back(c);
      if (answers.size() == 1) cp.PutString(frame);
      if (answers.size() == 2) cp.PutString("\x04");
    }
  };
  analyzer.SetOpen(true);
  collector.SetOpen(true);
  analyzer.PutString("\x05");
  ASSERT_TRUE(SpinUntil([&] { return collected.size() == 2 + frame.size(); }));
  EXPECT_EQ(collected, "\x05" + frame + "\x04");
  EXPECT_EQ(answers, "\x06\x06");
}

TEST_F(PortTest, BurstsWhileAHandlerRunsAreAnnouncedAfterItWithEveryUnreadByte) {
  Pty& pty = ports.Add(5);
  TSerComPort port(nullptr);
  Configure(port, 5);
  std::string received;
  int calls = 0;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    ++calls;
    if (calls == 1) {
      // The first handler reads one byte, then a second burst comes while it runs.
      received.push_back(cp.GetChar());
      pty.Write("burst-two");
      return;
    }
    EXPECT_EQ(count, cp.GetDispatcher()->InBuffUsed());
    for (int i = 0; i < count; ++i)
      received.push_back(cp.GetChar());
  };
  port.SetOpen(true);
  pty.Write("one");
  ASSERT_TRUE(SpinUntil([&] { return received.size() == 12; }));
  EXPECT_EQ(received, "oneburst-two");
  EXPECT_GE(calls, 2);
}

TEST_F(PortTest, ClosingInsideAHandlerFinishesLaterAndThePortOpensAgain) {
  Pty& pty = ports.Add(6);
  TSerComPort port(nullptr);
  Configure(port, 6);
  int calls = 0;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t) {
    ++calls;
    cp.SetOpen(false);
    EXPECT_EQ(cp.PortState(), TSerCustomComPort::State::kShuttingDown);
    EXPECT_EQ(cp.GetChar(), '\0');  // silently nothing while shutting down
    cp.PutString("ignored");
  };
  port.SetOpen(true);
  pty.Write("x");
  ASSERT_TRUE(SpinUntil([&] { return port.PortState() == TSerCustomComPort::State::kClosed; }));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(port.Open());
  pty.Write("more");
  port.SetOpen(true);
  ASSERT_TRUE(SpinUntil([&] { return calls == 2; }));
  ASSERT_TRUE(SpinUntil([&] { return port.PortState() == TSerCustomComPort::State::kClosed; }));
}

TEST_F(PortTest, OpenWhileADeferredCloseIsPendingOpensAfterIt) {
  Pty& pty = ports.Add(6);
  TSerComPort port(nullptr);
  Configure(port, 6);
  int calls = 0;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    ++calls;
    for (int i = 0; i < count; ++i)
      cp.GetChar();
    if (calls == 1) {
      cp.SetOpen(false);
      cp.SetOpen(true);  // pending until the close has completed
    }
  };
  port.SetOpen(true);
  pty.Write("a");
  ASSERT_TRUE(
      SpinUntil([&] { return calls == 1 && port.PortState() == TSerCustomComPort::State::kOpen; }));
  pty.Write("b");
  ASSERT_TRUE(SpinUntil([&] { return calls == 2; }));
}

TEST_F(PortTest, StoppingDuringAPendingWriteDoesNotHang) {
  ports.Add(8);  // nobody reads the far end: the pseudo-terminal fills
  TSerComPort port(nullptr);
  Configure(port, 8);
  port.SetOutSize(65000);
  port.SetOpen(true);
  for (int i = 0; i < 4; ++i)
    port.PutString(std::string(16000, 'w'));
  port.SetOpen(false);
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
}

TEST_F(PortTest, HungUpDeviceCanBeClosedAndTheNumberReused) {
  Pty& pty = ports.Add(9);
  TSerComPort port(nullptr);
  Configure(port, 9);
  std::string received;
  ReadInto(port, received);
  port.SetOpen(true);
  pty.Write("before");
  ASSERT_TRUE(SpinUntil([&] { return received == "before"; }));
  pty.HangUp();  // the adapter is pulled out
  EXPECT_TRUE(SpinUntil([&] { return !port.GetDSR(); })) << "the lines still read on";
  EXPECT_TRUE(port.Open());  // until the program closes it
  EXPECT_EQ(CodeOf<EPutBlockFail>([&] { port.PutString("lost"); }), -3004);
  EXPECT_EQ(CodeOf<EGetBlockFail>([&] { port.GetChar(); }), -3005);
  port.SetOpen(false);
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
  // The device comes back under the same name.
  Pty& back = ports.Replace(9);
  port.SetOpen(true);
  EXPECT_TRUE(port.GetDSR());
  back.Write("after");
  ASSERT_TRUE(SpinUntil([&] { return received == "beforeafter"; }));
  port.PutString("\x06");
  EXPECT_EQ(back.Read(1), "\x06");
}

TEST_F(PortTest, TheOpenAfterAHangUpGoesThroughTheLinkOfTheOpenThatHungUp) {
  // A scripted device: it opens whatever it is given and says which device that is.
  std::vector<std::string> reached;
  serial_test::FakeDispatcher* device = nullptr;
  TSerComPort port(nullptr);
  Configure(port, 1);
  port.SetDispatcherFactory([&](TSerCustomComPort&) {
    auto fake = std::make_unique<serial_test::FakeDispatcher>();
    fake->reached = &reached;
    device = fake.get();
    return fake;
  });
  const auto hang_up_and_close = [&] {
    device->hung_up = true;
    EXPECT_TRUE(port.HungUp());
    port.SetOpen(false);
  };
  const std::string link = ports.path() + "/COM1";
  ports.Link(1, "/dev/null");
  port.SetOpen(true);
  hang_up_and_close();
  ports.Unlink(1);  // the link goes with the device
  port.SetOpen(true);
  // A close without a hang-up: the next open is a first one, and without the link
  // it goes to the fallback.
  port.SetOpen(false);
  port.SetOpen(true);
  // So is an open after the number was set anew.
  ports.Link(1, "/dev/null");
  hang_up_and_close();
  port.SetComNumber(0);
  port.SetComNumber(1);
  port.SetOpen(true);
  EXPECT_EQ(reached, (std::vector<std::string>{link, link, "/dev/ttyS0", link}));
}

TEST_F(PortTest, AHungUpPortWhoseLinkWentIsMissingUntilTheLinkIsBack) {
  Pty& pty = ports.Add(1);
  ports.KeepOutFallback(1);
  TSerComPort port(nullptr);
  Configure(port, 1);
  std::string received;
  ReadInto(port, received);
  port.SetOpen(true);
  pty.HangUp();
  ASSERT_TRUE(SpinUntil([&] { return port.HungUp(); }));
  port.SetOpen(false);
  ports.Unlink(1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(CodeOf<ESerException>([&] { port.SetOpen(true); }), -2001);
    EXPECT_FALSE(port.Open());
  }
  // A new device behind the same link.
  Pty& back = ports.Add(1);
  port.SetOpen(true);
  back.Write("back");
  ASSERT_TRUE(SpinUntil([&] { return received == "back"; }));
}

TEST_F(PortTest, APortLockedByAnotherProgramIsAlreadyOpenAndKeepsItsLine) {
  Pty& pty = ports.Add(15);
  termios cooked;
  ASSERT_EQ(::tcgetattr(pty.slave(), &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO;
  ASSERT_EQ(::tcsetattr(pty.slave(), TCSANOW, &cooked), 0);
  // The other program: alive, its process id in the lock file.
  const pid_t other = ::fork();
  if (other == 0) {
    for (;;)
      ::pause();
  }
  const std::string lock = ports.lock_folder() + "/" + platform::CommLockName(pty.slave_path());
  const std::string id = std::to_string(other);
  std::ofstream(lock) << std::string(10 - id.size(), ' ') << id << "\n";
  TSerComPort port(nullptr);
  Configure(port, 15);
  EXPECT_EQ(CodeOf<EAlreadyOpen>([&] { port.SetOpen(true); }), -2008);
  const std::vector<int> present = ProbeComPorts();
  EXPECT_NE(std::find(present.begin(), present.end(), 15), present.end());
  termios now;
  ASSERT_EQ(::tcgetattr(pty.slave(), &now), 0);
  EXPECT_TRUE(now.c_lflag & ICANON) << "the other program's line was switched to raw";
  ::kill(other, SIGKILL);
  ::waitpid(other, nullptr, 0);
  // A lock that names no process will not go by itself: the message says which.
  std::ofstream(lock, std::ios::trunc) << "";
  try {
    port.SetOpen(true);
    FAIL() << "opened over a lock";
  } catch (const EAlreadyOpen& e) {
    EXPECT_EQ(e.ErrorCode(), -2008);
    EXPECT_EQ(std::string(e.what()),
              "ie_Open - device already open: lock file " + lock + " holds no process id");
  }
  std::filesystem::remove(lock);
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
}

TEST_F(PortTest, RenumberingAnOpenPortReopensOnTheNewNumber) {
  Pty& first = ports.Add(10);
  Pty& second = ports.Add(11);
  TSerComPort port(nullptr);
  Configure(port, 10);
  std::string received;
  ReadInto(port, received);
  port.SetTraceName(ports.path() + "/SER.TRC");  // the close writes the trace
  port.SetOpen(true);
  port.SetTracing(tlOn);
  port.SetComNumber(10);  // the same number: nothing
  port.SetComNumber(11);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.Tracing(), tlOn);
  second.Write("2");
  ASSERT_TRUE(SpinUntil([&] { return received == "2"; }));
  (void)first;
  ports.Link(12, ports.path() + "/absent");
  EXPECT_EQ(CodeOf<EBadId>([&] { port.SetComNumber(12); }), -2001);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ComNumber(), 12);
  port.SetComNumber(0);
  EXPECT_EQ(port.ComNumber(), 0);
}

TEST_F(PortTest, OpenFailureWhileLoadingGoesToTheHookAndTheFormStillLoads) {
  ports.Link(13, ports.path() + "/absent");
  TSerComPort port(nullptr);
  port.BeginLoading();
  port.SetPromptForPort(false);
  port.SetComNumber(13);
  port.SetOpen(true);
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
  EXPECT_EQ(port.CheckException(-2001), -2001);  // raises nothing while loading
  port.Loaded();
  EXPECT_EQ(reported, "ie_BadId - Specified comport doesn't exist");
  EXPECT_FALSE(port.Open());
}

TEST_F(PortTest, DestroyingAnOpenPortWithTrafficEndsCleanly) {
  Pty& pty = ports.Add(14);
  auto port = std::make_unique<TSerComPort>(nullptr);
  Configure(*port, 14);
  int calls = 0;
  port->OnTriggerAvail = [&](TSerCustomComPort&, uint16_t) { ++calls; };
  port->SetOpen(true);
  pty.Write("abc");
  ASSERT_TRUE(SpinUntil([&] { return calls > 0; }));
  pty.Write("def");
  port.reset();  // a delivery may be waiting for this thread
  SpinUntil([] { return false; }, std::chrono::seconds(0));
  EXPECT_EQ(reported, "");
  // Nothing of the old port is left holding the device: a new one opens it and hears.
  TSerComPort again(nullptr);
  Configure(again, 14);
  std::string received;
  again.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i)
      received.push_back(cp.GetChar());
  };
  again.SetOpen(true);
  pty.Write("ghi");
  ASSERT_TRUE(SpinUntil([&] { return received.find("ghi") != std::string::npos; }));
}

TEST_F(PortTest, AFailedDumpAtCloseStillClosesThePortAndIsRaised) {
  Pty& pty = ports.Add(15);
  TSerComPort port(nullptr);
  Configure(port, 15);
  port.SetTraceName(ports.path() + "/missing-folder/SER.TRC");
  port.SetLogName(ports.path() + "/SER.LOG");
  port.SetOpen(true);
  port.SetTracing(tlOn);
  port.SetLogging(tlOn);
  port.PutString("x");
  EXPECT_THROW(port.SetOpen(false), EInOutError);
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
  EXPECT_FALSE(port.Open());
  EXPECT_TRUE(std::filesystem::exists(ports.path() + "/SER.LOG"));  // the other dump still ran
  // The device was let go: the port opens again.
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  (void)pty;
}

TEST_F(PortTest, OpenFalseTrueFalseInsideAHandlerLeavesThePortClosed) {
  Pty& pty = ports.Add(16);
  TSerComPort port(nullptr);
  Configure(port, 16);
  int calls = 0;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t) {
    ++calls;
    cp.SetOpen(false);
    cp.SetOpen(true);
    cp.SetOpen(false);  // the last value wins
  };
  port.SetOpen(true);
  pty.Write("a");
  ASSERT_TRUE(SpinUntil(
      [&] { return calls == 1 && port.PortState() == TSerCustomComPort::State::kClosed; }));
  SpinUntil([] { return false; }, std::chrono::seconds(1));
  EXPECT_EQ(port.PortState(), TSerCustomComPort::State::kClosed);
  EXPECT_FALSE(port.Open());
  pty.Write("b");
  SpinUntil([] { return false; }, std::chrono::seconds(1));
  EXPECT_EQ(calls, 1);
}

TEST_F(PortTest, ReadsOutsideAHandlerWhileADeliveryWaitsTakeEachByteOnce) {
  Pty& pty = ports.Add(17);
  TSerComPort port(nullptr);
  Configure(port, 17);
  std::string received;
  ReadInto(port, received);
  port.SetOpen(true);
  TSerBaseDispatcher* d = port.GetDispatcher();
  for (const std::string chunk : {"abc", "defgh", "ij"}) {
    pty.Write(chunk);
    // The delivery now waits for this thread, which reads before it runs the handler
    // (a timer of the program's, say).
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!d->Dispatching() && std::chrono::steady_clock::now() < give_up)
      std::this_thread::yield();
    ASSERT_TRUE(d->Dispatching());
    received.push_back(port.GetChar());
    const size_t want = received.size() + chunk.size() - 1;
    ASSERT_TRUE(SpinUntil([&] { return received.size() >= want && !d->Dispatching(); }));
  }
  SpinUntil([] { return false; }, std::chrono::seconds(0));
  EXPECT_EQ(received, "abcdefghij");
  EXPECT_EQ(reported, "");
  EXPECT_EQ(d->InBuffUsed(), 0);
}

TEST_F(PortTest, AHandlerLongerThanTheTimeOutDoesNotStopTheReading) {
  Pty& pty = ports.Add(18);
  TSerComPort port(nullptr);
  Configure(port, 18);
  // A byte pattern without repeats over short runs, to see a lost or doubled byte.
  std::string sent;
  for (int i = 0; i < 6000; ++i)
    sent.push_back(static_cast<char>('!' + i % 89));
  const std::string early = sent.substr(0, 1000), late = sent.substr(1000);
  std::string received;
  std::atomic<bool> slow_handler_started{false};
  int used_after_the_wait = -1;
  int calls = 0;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    ++calls;
    for (int i = 0; i < count; ++i)
      received.push_back(cp.GetChar());
    if (calls == 1) {
      // A handler that keeps the user-interface thread for 4 s (a message box, a
      // slow disk); the far end sends the rest meanwhile, after the 3000 ms.
      slow_handler_started = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(4000));
      used_after_the_wait = cp.GetDispatcher()->InBuffUsed();
    }
  };
  port.SetOpen(true);
  std::thread far_end([&] {
    pty.Write(early);
    while (!slow_handler_started)
      std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(3300));
    pty.Write(late);
  });
  const bool all = SpinUntil([&] { return received.size() >= sent.size(); });
  far_end.join();
  ASSERT_TRUE(all) << received.size();
  SpinUntil([] { return false; }, std::chrono::seconds(0));
  // The dispatch thread read while the handler still ran.
  EXPECT_GT(used_after_the_wait, 0);
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent);
  EXPECT_EQ(reported, "");
}

// The trace and log state machine of an open port, step by step: what each written
// state does with the dispatcher's recording and the file.
TEST_F(PortTest, TraceAndLogStatesFollowTheirTable) {
  Pty& pty = ports.Add(19);
  struct Step {
    TTraceLogState write;
    const char* send;  // sent before the write, recorded when recording is on
    TTraceLogState state;
    bool recording;
    int file;  // 0 absent, 1 written, 2 grown since the last step
  };
  const Step steps[] = {
      {tlDump, "", tlOff, false, 0},   // nothing recorded: no file
      {tlPause, "", tlOff, false, 0},  // pausing what is off: nothing
      {tlOn, "", tlOn, true, 0},        {tlPause, "a", tlPause, false, 0},
      {tlClear, "", tlPause, false, 0},  // cleared, still paused
      {tlOn, "", tlOn, true, 0},         // resumed
      {tlDump, "b", tlOff, false, 1},   {tlOn, "", tlOn, true, 1},
      {tlAppend, "c", tlOff, false, 2}, {tlOff, "", tlOff, false, 1},
  };
  for (const bool log : {false, true}) {
    SCOPED_TRACE(log ? "log" : "trace");
    TSerComPort port(nullptr);
    Configure(port, 19);
    const std::string file = ports.path() + (log ? "/states.log" : "/states.trc");
    log ? port.SetLogName(file) : port.SetTraceName(file);
    port.SetOpen(true);
    TSerBaseDispatcher* d = port.GetDispatcher();
    uintmax_t size = 0;
    for (const Step& step : steps) {
      SCOPED_TRACE(static_cast<int>(step.write));
      if (*step.send) port.PutString(step.send);
      log ? port.SetLogging(step.write) : port.SetTracing(step.write);
      EXPECT_EQ(log ? port.Logging() : port.Tracing(), step.state);
      EXPECT_EQ(log ? d->Logging() : d->Tracing(), step.recording);
      const bool exists = std::filesystem::exists(file);
      EXPECT_EQ(exists, step.file != 0);
      if (exists) {
        const uintmax_t now = std::filesystem::file_size(file);
        if (step.file == 2) {
          EXPECT_GT(now, size);
        }
        size = now;
      }
    }
    port.SetOpen(false);
    // On a closed port only on and off are kept.
    for (const auto& [write, kept] : {std::pair{tlPause, tlOff}, {tlOn, tlOn}, {tlDump, tlOff}}) {
      log ? port.SetLogging(write) : port.SetTracing(write);
      EXPECT_EQ(log ? port.Logging() : port.Tracing(), kept);
    }
    std::filesystem::remove(file);
  }
  (void)pty;
}

TEST_F(PortTest, ASecondStartOfTheThreadsIsRefused) {
  Pty& pty = ports.Add(20);
  TSerComPort port(nullptr);
  Configure(port, 20);
  std::string received;
  ReadInto(port, received);
  port.SetOpen(true);
  TSerBaseDispatcher* d = port.GetDispatcher();
  ASSERT_EQ(d->LiveThreads(), 3);
  try {
    d->StartThreads();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Dispatcher already started");
  }
  // The running threads are untouched.
  EXPECT_EQ(d->LiveThreads(), 3);
  pty.Write("ok");
  ASSERT_TRUE(SpinUntil([&] { return received == "ok"; }));
}

// Each of the ten trigger events, assigned to an open port, tells its dispatcher
// that the port's handler is installed (without which it delivers nothing), and
// cleared again that it is not.
TEST_F(PortTest, EachTriggerEventAssignedOrClearedOnAnOpenPortTellsTheDispatcher) {
  struct Recorder : serial_test::FakeDispatcher {
    std::vector<int> kinds;
    void UpdateHandlerFlags(int kind) override {
      kinds.push_back(kind);
      FakeDispatcher::UpdateHandlerFlags(kind);
    }
  };
  const auto set = [](auto& event, bool on) {
    if (on) {
      event = [](auto&&...) {};
    } else {
      event = nullptr;
    }
  };
  const std::vector<std::pair<const char*, std::function<void(TSerComPort&, bool)>>> events = {
      {"OnTrigger", [&](TSerComPort& p, bool on) { set(p.OnTrigger, on); }},
      {"OnTriggerAvail", [&](TSerComPort& p, bool on) { set(p.OnTriggerAvail, on); }},
      {"OnTriggerData", [&](TSerComPort& p, bool on) { set(p.OnTriggerData, on); }},
      {"OnTriggerStatus", [&](TSerComPort& p, bool on) { set(p.OnTriggerStatus, on); }},
      {"OnTriggerTimer", [&](TSerComPort& p, bool on) { set(p.OnTriggerTimer, on); }},
      {"OnTriggerLineError", [&](TSerComPort& p, bool on) { set(p.OnTriggerLineError, on); }},
      {"OnTriggerModemStatus", [&](TSerComPort& p, bool on) { set(p.OnTriggerModemStatus, on); }},
      {"OnTriggerOutbuffFree", [&](TSerComPort& p, bool on) { set(p.OnTriggerOutbuffFree, on); }},
      {"OnTriggerOutbuffUsed", [&](TSerComPort& p, bool on) { set(p.OnTriggerOutbuffUsed, on); }},
      {"OnTriggerOutSent", [&](TSerComPort& p, bool on) { set(p.OnTriggerOutSent, on); }},
  };
  for (const auto& [name, assign] : events) {
    SCOPED_TRACE(name);
    TSerComPort port(nullptr);
    Configure(port, 21);
    Recorder* recorder = nullptr;
    port.SetDispatcherFactory([&](TSerCustomComPort&) {
      auto made = std::make_unique<Recorder>();
      recorder = made.get();
      return made;
    });
    port.SetOpen(true);
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(recorder->kinds, std::vector<int>{2});  // none assigned at the open
    recorder->kinds.clear();
    assign(port, true);
    EXPECT_EQ(recorder->kinds, std::vector<int>{1});
    assign(port, false);
    EXPECT_EQ(recorder->kinds, std::vector<int>({1, 2}));
  }
}

TEST_F(PortTest, AnAvailHandlerAssignedToAnOpenPortHearsEveryByte) {
  Pty& pty = ports.Add(22);
  TSerComPort port(nullptr);
  Configure(port, 22);
  port.SetOpen(true);
  // More than the dispatch buffer holds: the rest waits in the pseudo-terminal.
  std::string sent;
  for (int i = 0; i < 10000; ++i)
    sent.push_back(static_cast<char>('!' + i % 89));
  pty.Write(sent);
  ASSERT_TRUE(SpinUntil([&] { return port.GetDispatcher()->InBuffUsed() > 0; }));
  std::string received;
  ReadInto(port, received);
  ASSERT_TRUE(SpinUntil([&] { return received.size() >= sent.size(); })) << received.size();
  EXPECT_TRUE(received == sent);
}

// A read outside any handler (a program's timer) while a delivery is under way, the
// handler leaving most of what it was told of unread: the far end's bytes each come
// out once, in order, whichever reader takes them.
TEST_F(PortTest, ReadsOutsideHandlersAmidDeliveriesThatLeaveBytesUnreadTakeEachByteOnce) {
  Pty& pty = ports.Add(23);
  TSerComPort port(nullptr);
  Configure(port, 23);
  std::string sent;
  for (int i = 0; i < 200000; ++i)
    sent.push_back(static_cast<char>('!' + i % 89));
  std::string received;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t) { received.push_back(cp.GetChar()); };
  port.SetOpen(true);
  TSerBaseDispatcher* d = port.GetDispatcher();
  QTimer timer;
  timer.setInterval(0);
  std::atomic<bool> written{false};
  int deliveries_read_in = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // A few bytes a tick, so that many deliveries come. Once the far end is done no
    // delivery need come for what is left: then the timer reads it all.
    const bool rest = written;
    bool read = false;
    try {
      for (int i = 0; rest || (d->Dispatching() && i < 64); ++i) {
        received.push_back(port.GetChar());
        read = true;
      }
    } catch (const EBufferIsEmpty&) {
    }
    if (read && !rest) ++deliveries_read_in;
  });
  timer.start();
  std::thread far_end([&] {
    pty.Write(sent);
    written = true;
  });
  const bool all = SpinUntil([&] { return received.size() >= sent.size(); });
  timer.stop();
  // Whatever is still on its way (bytes doubled end the reading early) is read off,
  // so that the far end's write ends.
  std::string rest;
  ReadInto(port, rest);
  SpinUntil([&] { return written.load(); });
  far_end.join();
  ASSERT_TRUE(all) << received.size();
  EXPECT_GT(deliveries_read_in, 0);
  const auto differ = std::mismatch(sent.begin(), sent.end(), received.begin());
  EXPECT_EQ(differ.first, sent.end()) << "first difference at " << differ.first - sent.begin();
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_EQ(reported, "");
}

// The serial library's device layer with a fault to inject: once armed, the
// operation named raises on the worker thread that calls it.
class EInjectedFault : public Exception {
 public:
  EInjectedFault() : Exception("injected fault") {}
};

enum class Fault { kNone, kRead, kWait, kWrite };

class FaultyDispatcher : public TSerWin32Dispatcher {
 public:
  FaultyDispatcher(TSerCustomComPort* owner, const std::atomic<Fault>& armed)
      : TSerWin32Dispatcher(owner), armed_(armed) {}
  // The threads call the operations below: they end before these go.
  ~FaultyDispatcher() override { StopThreads(); }

  int ReadDevice(uint8_t* buffer, int count) override {
    RaiseWhenArmed(Fault::kRead);
    return TSerWin32Dispatcher::ReadDevice(buffer, count);
  }
  int WaitDeviceEvent(uint32_t& mask) override {
    RaiseWhenArmed(Fault::kWait);
    return TSerWin32Dispatcher::WaitDeviceEvent(mask);
  }

 protected:
  int WriteBlock(const uint8_t* buffer, int count, int* error) override {
    RaiseWhenArmed(Fault::kWrite);
    return TSerWin32Dispatcher::WriteBlock(buffer, count, error);
  }
  // Every byte goes through the output thread.
  int WriteWithoutWaiting(const uint8_t*, int, int*) override { return -1; }

 private:
  void RaiseWhenArmed(Fault fault) const {
    if (armed_ == fault) throw EInjectedFault();
  }
  const std::atomic<Fault>& armed_;
};

// An exception that ends a worker thread (the dispatch, the comm or the output
// thread) reaches the program's exception hook on the user-interface thread, and the
// port then answers as a hung-up one, so that the program closes and reopens it.
TEST_F(PortTest, AWorkerThreadEndedByAnExceptionIsReportedAndThePortAnswersAsHungUp) {
  const struct {
    const char* thread;
    Fault fault;
    const char* buffered;  // what GetChar gives before -3005
    uint16_t number;
  } cases[] = {
      {"dispatch", Fault::kRead, "hello", 24},    // the later bytes are never read
      {"comm", Fault::kWait, "hello world", 25},  // the dispatch thread reads on
      {"output", Fault::kWrite, "hello", 26},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.thread);
    Pty& pty = ports.Add(c.number);
    TSerComPort port(nullptr);
    Configure(port, c.number);
    std::atomic<Fault> armed{Fault::kNone};
    port.SetDispatcherFactory([&](TSerCustomComPort& owner) {
      return std::make_unique<FaultyDispatcher>(&owner, armed);
    });
    std::vector<std::thread::id> hooked_on;
    std::vector<bool> as_raised;
    platform::SetExceptionHook([&](const std::exception& e) {
      reported += e.what();
      hooked_on.push_back(std::this_thread::get_id());
      as_raised.push_back(dynamic_cast<const EInjectedFault*>(&e) != nullptr);
    });
    port.SetOpen(true);
    pty.Write("hello");
    ASSERT_TRUE(SpinUntil([&] { return port.GetDispatcher()->InBuffUsed() == 5; }));
    armed = c.fault;
    if (c.fault == Fault::kWrite) {
      port.PutString("x");
    } else {
      pty.Write(" world");
    }
    ASSERT_TRUE(SpinUntil([&] { return !hooked_on.empty(); }));
    EXPECT_EQ(reported, "injected fault");
    EXPECT_EQ(hooked_on, std::vector<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(as_raised, std::vector<bool>{true});
    EXPECT_TRUE(port.HungUp());
    EXPECT_TRUE(port.Open());  // until the program closes it
    const std::string buffered = c.buffered;
    ASSERT_TRUE(SpinUntil(
        [&] { return port.GetDispatcher()->InBuffUsed() == static_cast<int>(buffered.size()); }));
    std::string got;
    for (size_t i = 0; i < buffered.size(); ++i)
      got.push_back(port.GetChar());
    EXPECT_EQ(got, buffered);
    EXPECT_EQ(CodeOf<EGetBlockFail>([&] { port.GetChar(); }), -3005);
    EXPECT_EQ(CodeOf<EPutBlockFail>([&] { port.PutString("lost"); }), -3004);
    // Closed and opened again, the port works.
    armed = Fault::kNone;
    port.SetOpen(false);
    port.SetOpen(true);
    EXPECT_FALSE(port.HungUp());
    port.PutString("ok");
    EXPECT_EQ(pty.Read(2), "ok");
    port.SetOpen(false);
    platform::SetExceptionHook(nullptr);
    reported.clear();
  }
}

// A close whose dump fails while the port is renumbered closes the port all the
// same; the renumber then goes on, and the dump's error is raised once the port is
// open on its new number.
TEST_F(PortTest, ARenumberWhoseCloseFailsToDumpOpensOnTheNewNumberAndThenRaises) {
  ports.Add(27);
  Pty& second = ports.Add(28);
  TSerComPort port(nullptr);
  Configure(port, 27);
  std::string received;
  ReadInto(port, received);
  port.SetTraceName(ports.path() + "/missing-folder/SER.TRC");
  port.SetOpen(true);
  port.SetTracing(tlOn);
  port.PutString("x");  // something for the trace to write
  EXPECT_THROW(port.SetComNumber(28), EInOutError);
  EXPECT_EQ(port.ComNumber(), 28);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.Tracing(), tlOn);
  second.Write("2");
  ASSERT_TRUE(SpinUntil([&] { return received == "2"; }));
  port.SetTracing(tlOff);  // nothing left to dump at the end
}

}  // namespace
