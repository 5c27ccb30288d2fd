#include "platform/comm.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "platform/comm_lock.h"
#include "platform/tests/pty_pair.h"

namespace platform {
namespace {

using platform_test::ComPorts;
using platform_test::Pty;

constexpr uid_t kNobody = 65534;

// What Fn returns in a child process that runs as user 65534 ("" when it cannot
// become that user).
std::string AsNobody(const std::function<std::string()>& fn) {
  int fds[2];
  if (::pipe(fds) != 0) return "";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    const bool nobody = ::setgroups(0, nullptr) == 0 &&
                        ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                        ::setresuid(kNobody, kNobody, kNobody) == 0;
    const std::string text = nobody ? fn() : "";
    [[maybe_unused]] ssize_t n = ::write(fds[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
    text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  ::waitpid(child, nullptr, 0);
  return text;
}

TEST(CommTest, ErrnoBecomesWindowsError) {
  struct Case {
    int err;
    int windows;
  };
  for (Case c : {Case{0, 0}, Case{ENOENT, 2}, Case{ENXIO, 2}, Case{ENOTDIR, 3}, Case{EACCES, 5},
                 Case{EBUSY, 5}, Case{EWOULDBLOCK, 5}, Case{EBADF, 6}, Case{ENOMEM, 8},
                 Case{EINVAL, 87}, Case{EIO, 1117}, Case{ENOSPC, 112}, Case{EXDEV, 31}}) {
    EXPECT_EQ(WindowsErrorFromErrno(c.err), c.windows) << c.err;
  }
}

TEST(CommTest, SystemMessagesEndLikeTheSystemsAndUnknownIsEmpty) {
  EXPECT_EQ(SystemErrorMessage(2), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemErrorMessage(5), "Access is denied.\r\n");
  EXPECT_EQ(SystemErrorMessage(87), "The parameter is incorrect.\r\n");
  EXPECT_EQ(SystemErrorMessage(3002), "");
}

TEST(CommTest, ComNamesResolveThroughTheFolderElseTtyS) {
  ComPorts ports;
  ports.Link(3, "/dev/null");
  EXPECT_EQ(ComPortFolder(), ports.path());
  EXPECT_EQ(ResolveComPort("\\\\.\\COM3"), ports.path() + "/COM3");
  EXPECT_EQ(ResolveComPort("com3"), ports.path() + "/COM3");
  EXPECT_EQ(ResolveComPort("\\\\.\\COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolveComPort("COM12"), "/dev/ttyS11");
  EXPECT_EQ(ResolveComPort("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveComPort("COMX"), "COMX");
}

TEST(CommTest, MissingDeviceAndNonTerminalAreNotFound) {
  ComPorts ports;
  ports.Link(4, ports.path() + "/nowhere");
  int error = 0;
  EXPECT_EQ(CommDevice::Open(ResolveComPort("COM4"), &error), nullptr);
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(CommDevice::Open("/dev/null", &error), nullptr);
  EXPECT_EQ(error, kErrorFileNotFound);
}

TEST(CommTest, AProbeFindsADeviceAndLeavesItsLineAsItWas) {
  ComPorts ports;
  Pty& free_line = ports.Add(1);
  Pty& held_line = ports.Add(2);
  ports.Link(3, ports.path() + "/nowhere");
  // COM1's holder takes no lock file and keeps its line cooked.
  free_line.Cook();
  const std::string line = free_line.Settings();
  int error = 0;
  auto holder = CommDevice::Open(ResolveComPort("COM2"), &error);
  ASSERT_NE(holder, nullptr) << error;
  struct Case {
    const char* name;
    int error;
  };
  for (Case c : {Case{"COM1", 0}, Case{"COM2", kErrorAccessDenied},
                 Case{"COM3", kErrorFileNotFound}, Case{"/dev/null", kErrorFileNotFound}}) {
    EXPECT_EQ(CommDevice::Probe(ResolveComPort(c.name)), c.error) << c.name;
  }
  EXPECT_EQ(free_line.Settings(), line);
  // The probe's lock went with it; the holder's stays.
  const std::string locks = ports.lock_folder() + "/";
  EXPECT_FALSE(std::filesystem::exists(locks + CommLockName(free_line.slave_path())));
  EXPECT_TRUE(std::filesystem::exists(locks + CommLockName(held_line.slave_path())));
}

TEST(CommTest, AProbeAsAnUnprivilegedUserChangesNoLineAndLeavesNoLock) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to hand a pseudo-terminal to user 65534 and switch to it";
  }
  ComPorts ports;
  Pty& own = ports.Add(1);    // the user's own device
  Pty& other = ports.Add(2);  // root's: the user may not open it
  ASSERT_EQ(::chown(own.slave_path().c_str(), kNobody, kNobody), 0);
  // mkdtemp's folder is private: the user needs a way to the links and the locks.
  namespace fs = std::filesystem;
  fs::permissions(ports.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
  own.Cook();
  other.Cook();
  const std::string own_line = own.Settings();
  const std::string other_line = other.Settings();
  const std::string own_path = ResolveComPort("COM1");
  const std::string other_path = ResolveComPort("COM2");
  const std::string found = AsNobody([&] {
    return std::to_string(CommDevice::Probe(own_path)) + " " +
           std::to_string(CommDevice::Probe(other_path));
  });
  EXPECT_EQ(found, "0 " + std::to_string(kErrorAccessDenied));
  EXPECT_EQ(own.Settings(), own_line);
  EXPECT_EQ(other.Settings(), other_line);
  for (const Pty* pty : {&own, &other}) {
    EXPECT_FALSE(fs::exists(ports.lock_folder() + "/" + CommLockName(pty->slave_path())));
  }
}

TEST(CommTest, SecondOpenIsDeniedUntilTheFirstCloses) {
  ComPorts ports;
  ports.Add(1);
  int error = 0;
  auto first = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(first, nullptr) << error;
  EXPECT_EQ(CommDevice::Open(ResolveComPort("COM1"), &error), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  EXPECT_EQ(first->Close(), 0);
  EXPECT_EQ(first->Close(), kErrorInvalidHandle);
  auto again = CommDevice::Open(ResolveComPort("COM1"), &error);
  EXPECT_NE(again, nullptr) << error;
}

TEST(CommTest, LineSettingsRoundTripAndBadValuesAreRefused) {
  ComPorts ports;
  ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  CommState state;
  ASSERT_EQ(dev->GetState(&state), 0);
  EXPECT_EQ(state.byte_size, 8);
  EXPECT_EQ(state.parity, CommState::kNoParity);
  EXPECT_EQ(state.stop_bits, CommState::kOneStopBit);
  state.baud_rate = 9600;
  state.byte_size = 7;
  state.parity = CommState::kMarkParity;
  state.stop_bits = CommState::kTwoStopBits;
  state.out_x = true;
  state.xon_char = 0x11;
  state.xoff_char = 0x13;
  state.xoff_lim = 1024;
  ASSERT_EQ(dev->SetState(state), 0);
  CommState back;
  ASSERT_EQ(dev->GetState(&back), 0);
  EXPECT_EQ(back.baud_rate, 9600u);
  EXPECT_EQ(back.byte_size, 7);
  EXPECT_EQ(back.parity, CommState::kMarkParity);
  EXPECT_EQ(back.stop_bits, CommState::kTwoStopBits);
  EXPECT_TRUE(back.out_x);
  EXPECT_FALSE(back.in_x);
  EXPECT_EQ(back.xoff_lim, 1024);
  state.byte_size = 5;
  state.stop_bits = CommState::kOne5StopBits;
  ASSERT_EQ(dev->SetState(state), 0);
  ASSERT_EQ(dev->GetState(&back), 0);
  EXPECT_EQ(back.stop_bits, CommState::kOne5StopBits);
  EXPECT_EQ(back.byte_size, 5);

  using Change = void (*)(CommState&);
  for (Change bad :
       {Change([](CommState& s) { s.baud_rate = 14400; }),
        Change([](CommState& s) { s.byte_size = 9; }), Change([](CommState& s) { s.parity = 5; }),
        Change([](CommState& s) { s.stop_bits = 3; }),
        Change([](CommState& s) { s.stop_bits = CommState::kTwoStopBits; }),
        Change([](CommState& s) { s.byte_size = 8; })}) {
    CommState s = state;
    bad(s);
    EXPECT_EQ(dev->SetState(s), kErrorInvalidParameter);
  }
}

TEST(CommTest, PseudoTerminalLooksLikeANullModemCable) {
  ComPorts ports;
  ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->ModemStatus(), kMsCtsOn | kMsDsrOn | kMsRlsdOn);
  EXPECT_TRUE(dev->Escape(kSetDtr));
  EXPECT_FALSE(dev->Escape(10));
  uint32_t errors = 99;
  CommStatus status;
  EXPECT_TRUE(dev->ClearError(&errors, &status));
  EXPECT_EQ(errors, 0u);
}

TEST(CommTest, BytesTravelBothWaysAndReadsNeverBlock) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  char buf[16];
  EXPECT_EQ(dev->Read(buf, sizeof buf), 0);

  dev->SetEventMask(kEvRxChar);
  pty.Write("\x05");
  uint32_t events = 0;
  ASSERT_EQ(dev->WaitEvent(&events), 0);
  EXPECT_EQ(events, kEvRxChar);
  uint32_t errors;
  CommStatus status;
  ASSERT_TRUE(dev->ClearError(&errors, &status));
  EXPECT_EQ(status.in_queue, 1u);
  ASSERT_EQ(dev->Read(buf, sizeof buf), 1);
  EXPECT_EQ(buf[0], '\x05');

  EXPECT_EQ(dev->Write("\x06\r\n\x00x", 5, nullptr, &error), 5);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(pty.Read(5), std::string("\x06\r\n\x00x", 5));
}

TEST(CommTest, UnreadInputIsReportedOnceAndNewInputAgain) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  dev->SetEventMask(kEvRxChar);
  pty.Write("ab");
  uint32_t events = 0;
  ASSERT_EQ(dev->WaitEvent(&events), 0);
  EXPECT_EQ(events, kEvRxChar);
  // The two bytes stay unread: the next wait ends only through new input.
  std::thread writer([&] { pty.Write("c"); });
  ASSERT_EQ(dev->WaitEvent(&events), 0);
  EXPECT_EQ(events, kEvRxChar);
  writer.join();
  char buf[8];
  EXPECT_EQ(dev->Read(buf, sizeof buf), 3);
}

TEST(CommTest, ChangingTheMaskEndsAWaitWithNoEvent) {
  ComPorts ports;
  ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  dev->SetEventMask(kEvRxChar);
  uint32_t events = 99;
  int result = -1;
  std::thread waiter([&] { result = dev->WaitEvent(&events); });
  dev->SetEventMask(0);
  waiter.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(events, 0u);
}

TEST(CommTest, HangUpEndsTheWaitWithAnError) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  dev->SetEventMask(kEvRxChar | kEvCts | kEvDsr);
  pty.HangUp();
  uint32_t events = 0;
  EXPECT_EQ(dev->WaitEvent(&events), kErrorDeviceNotConnected);
  char buf[4];
  EXPECT_EQ(dev->Read(buf, 4), 0);
  CommStatus status;
  uint32_t errors;
  EXPECT_FALSE(dev->ClearError(&errors, &status));
  EXPECT_EQ(dev->Close(), 0);
}

TEST(CommTest, AfterAHangUpTheLinesAreOffAndWritesFail) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  EXPECT_FALSE(dev->HungUp());
  EXPECT_EQ(dev->ModemStatus(), kMsCtsOn | kMsDsrOn | kMsRlsdOn);
  pty.HangUp();
  EXPECT_TRUE(dev->HungUp());
  EXPECT_EQ(dev->ModemStatus(), 0u);
  EXPECT_EQ(dev->Write("lost", 4, nullptr, &error), 0);
  EXPECT_EQ(error, kErrorDeviceNotConnected);
}

TEST(CommTest, StopEndsAWriteThatWaitsForRoom) {
  ComPorts ports;
  ports.Add(1);
  int error = 0;
  auto dev = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(dev, nullptr);
  // Nobody reads the master: the pseudo-terminal fills and the write waits.
  std::string block(1 << 20, 'x');
  CommEvent stop;
  int written = -1;
  std::thread writer(
      [&] { written = dev->Write(block.data(), static_cast<int>(block.size()), &stop, &error); });
  stop.Set();
  writer.join();
  EXPECT_EQ(error, kErrorOperationAborted);
  EXPECT_LT(written, static_cast<int>(block.size()));
  EXPECT_EQ(dev->Purge(kPurgeTxAbort | kPurgeTxClear | kPurgeRxClear), 0);
}

TEST(CommTest, EventsResetAutomaticallyOrByHand) {
  CommEvent autoreset;
  EXPECT_FALSE(autoreset.Wait(0));
  autoreset.Set();
  EXPECT_TRUE(autoreset.Wait(0));
  EXPECT_FALSE(autoreset.Wait(0));
  CommEvent manual(true);
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));
  CommEvent a, b;
  b.Set();
  EXPECT_EQ(CommEvent::WaitAny({&a, &b}, -1), 1);
  EXPECT_EQ(CommEvent::WaitAny({&a, &b}, 0), -1);
}

}  // namespace
}  // namespace platform
