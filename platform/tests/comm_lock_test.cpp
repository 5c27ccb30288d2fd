// Serial ports and their lock files, with other programs and an unprivileged user:
// child processes stand in for the other programs.
#include "platform/comm_lock.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/comm.h"
#include "platform/tests/pty_pair.h"

namespace platform {
namespace {

using platform_test::ComPorts;
using platform_test::Pty;

constexpr uid_t kNobody = 65534;

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// The HDB layout, written out by hand: ten characters, right-aligned, a newline.
std::string Hdb(pid_t pid) {
  const std::string digits = std::to_string(pid);
  return std::string(10 - digits.size(), ' ') + digits + "\n";
}

// A process id that no process has: a child that has ended and been reaped.
pid_t EndedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// Another program that lives until killed.
struct LiveProcess {
  LiveProcess() : pid(::fork()) {
    if (pid == 0) {
      for (;;)
        ::pause();
    }
  }
  ~LiveProcess() {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  pid_t pid;
};

bool BecomeNobody() {
  return ::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
         ::setresuid(kNobody, kNobody, kNobody) == 0;
}

// A child process as the unprivileged user: Fn's text, then it waits to be killed
// when Stay is set. The parent reads the text as soon as it is written.
class NobodyProcess {
 public:
  NobodyProcess(const std::function<std::string()>& fn, bool stay) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::string text = BecomeNobody() ? fn() + "\n" : "cannot become nobody\n";
      [[maybe_unused]] ssize_t n = ::write(fds[1], text.data(), text.size());
      if (stay) {
        for (;;)
          ::pause();
      }
      ::_exit(0);
    }
    ::close(fds[1]);
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
      text_ += c;
    ::close(fds[0]);
  }
  ~NobodyProcess() { Kill(); }
  const std::string& text() const { return text_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string text_;
};

// Opens Path and tells how it went: "open", or the error and the detail.
std::string TryOpen(const std::string& path) {
  int error = 0;
  std::string detail;
  auto device = CommDevice::Open(path, &error, &detail);
  if (device) {
    device.release();  // the process keeps it until it ends
    return "open";
  }
  return "error " + std::to_string(error) + (detail.empty() ? "" : ": " + detail);
}

bool Cooked(const Pty& pty) {
  termios tio;
  return ::tcgetattr(pty.slave(), &tio) == 0 && (tio.c_lflag & ICANON);
}

void MakeCooked(const Pty& pty) {
  termios tio;
  ::tcgetattr(pty.slave(), &tio);
  tio.c_lflag |= ICANON | ECHO;
  ::tcsetattr(pty.slave(), TCSANOW, &tio);
}

TEST(CommLockTest, TheNameIsTheDevicePathUnderDev) {
  struct Case {
    const char* device;
    const char* name;
  };
  for (Case c : {Case{"/dev/ttyUSB0", "LCK..ttyUSB0"}, Case{"/dev/ttyS0", "LCK..ttyS0"},
                 Case{"/dev/pts/3", "LCK..pts_3"}, Case{"/tmp/x/ttyV1", "LCK..ttyV1"}}) {
    EXPECT_EQ(CommLockName(c.device), c.name) << c.device;
  }
}

TEST(CommLockTest, TheFolderIsTheEnvironmentsElseTheSystems) {
  ComPorts ports;
  EXPECT_EQ(CommLockFolder(), ports.lock_folder());
  ::unsetenv("QOR_LOCK_DIR");
  EXPECT_EQ(CommLockFolder(),
            std::filesystem::is_directory("/run/lock") ? "/run/lock" : "/var/lock");
}

TEST(CommLockTest, AnOpenPortHoldsItsLockInHdbLayoutUntilClosed) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  const std::string lock = ports.lock_folder() + "/" + CommLockName(pty.slave_path());
  int error = 0;
  auto device = CommDevice::Open(ResolveComPort("COM1"), &error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_EQ(Slurp(lock), Hdb(::getpid()));
  EXPECT_EQ(Slurp(lock).size(), 11u);
  struct stat st;
  ASSERT_EQ(::stat(lock.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  device->Close();
  EXPECT_FALSE(std::filesystem::exists(lock));
}

TEST(CommLockTest, APortLockedByALiveProgramIsInUseAndItsLineUntouched) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  MakeCooked(pty);
  LiveProcess other;
  const std::string lock = ports.lock_folder() + "/" + CommLockName(pty.slave_path());
  WriteFile(lock, Hdb(other.pid));
  int error = 0;
  std::string detail = "x";
  EXPECT_EQ(CommDevice::Open(ResolveComPort("COM1"), &error, &detail), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  EXPECT_EQ(detail, "");
  EXPECT_TRUE(Cooked(pty)) << "the other program's line was switched to raw";
  EXPECT_EQ(Slurp(lock), Hdb(other.pid));
}

TEST(CommLockTest, StaleLocksAreTakenOverInEitherLayout) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  const std::string lock = ports.lock_folder() + "/" + CommLockName(pty.slave_path());
  const pid_t ended = EndedProcess();
  int32_t binary = ended;
  for (const std::string& stale :
       {Hdb(ended), std::to_string(ended), std::string(reinterpret_cast<char*>(&binary), 4)}) {
    WriteFile(lock, stale);
    int error = 0;
    auto device = CommDevice::Open(ResolveComPort("COM1"), &error);
    ASSERT_NE(device, nullptr) << error;
    EXPECT_EQ(Slurp(lock), Hdb(::getpid()));
  }
}

TEST(CommLockTest, ALockWithoutAProcessIdBlocksThePortAndIsNamed) {
  ComPorts ports;
  Pty& pty = ports.Add(1);
  const std::string lock = ports.lock_folder() + "/" + CommLockName(pty.slave_path());
  WriteFile(lock, "");  // another program between creating and writing it
  int error = 0;
  std::string detail;
  EXPECT_EQ(CommDevice::Open(ResolveComPort("COM1"), &error, &detail), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  EXPECT_EQ(detail, "lock file " + lock + " holds no process id");
}

TEST(CommLockTest, WithoutALockFolderThePortOpensUnlocked) {
  ComPorts ports;
  ports.Add(1);
  ::setenv("QOR_LOCK_DIR", (ports.path() + "/missing").c_str(), 1);
  int error = 0;
  EXPECT_NE(CommDevice::Open(ResolveComPort("COM1"), &error), nullptr) << error;
  EXPECT_FALSE(std::filesystem::exists(ports.path() + "/missing"));
}

// The unprivileged user's cases: root passes the checks that matter here.
class CommLockNobodyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) {
      GTEST_SKIP() << "needs root to hand a pseudo-terminal to user 65534 and switch to it";
    }
    pty_ = &ports_.Add(1);
    // The user's own device and a path to the lock folder (mkdtemp's is private).
    ASSERT_EQ(::chown(pty_->slave_path().c_str(), kNobody, kNobody), 0);
    std::filesystem::permissions(ports_.path(), std::filesystem::perms::owner_all |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::group_exec |
                                                    std::filesystem::perms::others_read |
                                                    std::filesystem::perms::others_exec);
    lock_ = ports_.lock_folder() + "/" + CommLockName(pty_->slave_path());
  }

  ComPorts ports_;
  Pty* pty_ = nullptr;
  std::string lock_;
};

TEST_F(CommLockNobodyTest, APortWhoseHolderWasKilledOpensAgainForTheSameUser) {
  const std::string path = pty_->slave_path();
  NobodyProcess holder([&] { return TryOpen(path); }, true);
  ASSERT_EQ(holder.text(), "open");
  holder.Kill();  // SIGKILL: nothing of the holder's own closing runs
  EXPECT_TRUE(std::filesystem::exists(lock_));
  NobodyProcess again([&] { return TryOpen(path); }, false);
  EXPECT_EQ(again.text(), "open");
}

TEST_F(CommLockNobodyTest, AStaleLockOfAnotherUserThatCannotGoNamesTheFile) {
  const pid_t ended = EndedProcess();
  WriteFile(lock_, Hdb(ended));  // root's, in the sticky folder
  const std::string path = pty_->slave_path();
  NobodyProcess opener([&] { return TryOpen(path); }, false);
  EXPECT_EQ(opener.text(), "error 5: stale lock file " + lock_ + " of ended process " +
                               std::to_string(ended) +
                               " cannot be removed: Operation not permitted");
  EXPECT_EQ(Slurp(lock_), Hdb(ended));
}

}  // namespace
}  // namespace platform
