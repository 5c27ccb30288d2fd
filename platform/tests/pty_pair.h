// Pseudo-terminals for tests of serial ports.
//
// ComPorts points QOR_COMPORTS at a fresh folder for one test and links COMn there
// to the slave side of a pseudo-terminal; the test talks to the port through the
// master side. The helper keeps a descriptor of the slave open, so that the master
// never sees a hang-up while the port under test is closed and opened again. The
// ports' lock files go to a folder of the test's own (QOR_LOCK_DIR), sticky and
// writable by all as the system's is.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/tests/temp_folder.h"

namespace platform_test {

class Pty {
 public:
  Pty() {
    char name[256];
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B9600);
    ::cfsetospeed(&raw, B9600);
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    slave_path_ = name;
  }
  ~Pty() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  // The helper's own descriptor of the slave side (its line settings are the
  // port's).
  int slave() const { return slave_; }
  const std::string& slave_path() const { return slave_path_; }

  // Writes all bytes to the master side.
  void Write(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 1000);
        continue;
      }
      done += static_cast<size_t>(n);
    }
  }
  // Reads from the master side until Count bytes came or Timeout passed (a guard
  // against a hang, not a measure).
  std::string Read(size_t count, int timeout_ms = 10000) const {
    std::string out;
    while (out.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, timeout_ms) <= 0) break;
      char buf[4096];
      ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }
  // Sets the line as `stty sane` leaves a terminal: canonical input with echo and
  // signals, CR read as NL, NL written as CR NL.
  void Cook() const {
    termios t;
    if (::tcgetattr(slave_, &t) != 0) throw std::runtime_error("tcgetattr failed");
    t.c_iflag = BRKINT | ICRNL | IXON | IMAXBEL;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD | HUPCL;
    t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL | ECHOKE;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B38400);
    ::cfsetospeed(&t, B38400);
    if (::tcsetattr(slave_, TCSANOW, &t) != 0) throw std::runtime_error("tcsetattr failed");
  }
  // The line's settings as `stty -g` shows them: the four mode words, then the
  // control characters, in hexadecimal.
  std::string Settings() const {
    termios t;
    if (::tcgetattr(slave_, &t) != 0) return "tcgetattr failed";
    char text[16];
    std::string out;
    for (tcflag_t mode : {t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag}) {
      std::snprintf(text, sizeof text, "%x:", static_cast<unsigned>(mode));
      out += text;
    }
    for (cc_t c : t.c_cc) {
      std::snprintf(text, sizeof text, "%x:", static_cast<unsigned>(c));
      out += text;
    }
    return out;
  }
  // Closes the master: the slave side hangs up, as when a USB adapter is pulled out.
  void HangUp() {
    ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

// A com-port folder for one test: QOR_COMPORTS points at it while it lives.
class ComPorts {
 public:
  ComPorts() {
    if (const char* old = std::getenv("QOR_COMPORTS")) old_ = old, had_old_ = true;
    if (const char* old = std::getenv("QOR_LOCK_DIR")) old_locks_ = old, had_old_locks_ = true;
    ::setenv("QOR_COMPORTS", folder_.path().c_str(), 1);
    std::filesystem::create_directory(lock_folder());
    std::filesystem::permissions(lock_folder(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    ::setenv("QOR_LOCK_DIR", lock_folder().c_str(), 1);
  }
  ~ComPorts() {
    if (had_old_) {
      ::setenv("QOR_COMPORTS", old_.c_str(), 1);
    } else {
      ::unsetenv("QOR_COMPORTS");
    }
    if (had_old_locks_) {
      ::setenv("QOR_LOCK_DIR", old_locks_.c_str(), 1);
    } else {
      ::unsetenv("QOR_LOCK_DIR");
    }
  }
  // A new pseudo-terminal whose slave side is COMn.
  Pty& Add(int n) {
    ptys_.push_back(std::make_unique<Pty>());
    Link(n, ptys_.back()->slave_path());
    return *ptys_.back();
  }
  // A new pseudo-terminal behind COMn in place of the one there (a device that
  // comes back after a hang-up gets a new name).
  Pty& Replace(int n) {
    Unlink(n);
    return Add(n);
  }
  // Takes COMn's link away, as udev takes a USB adapter's when it is pulled out.
  void Unlink(int n) { std::filesystem::remove(folder_.path() + "/COM" + std::to_string(n)); }
  // Keeps /dev/ttyS<n-1>, where COMn goes without a link, out of reach: a lock file
  // there that names no process refuses it before it is opened, so a test that goes
  // there by mistake fails instead of reconfiguring the machine's own serial port
  // (often its console).
  void KeepOutFallback(int n) {
    std::ofstream(lock_folder() + "/LCK..ttyS" + std::to_string(n - 1));
  }
  // COMn as a link to any path.
  void Link(int n, const std::string& target) {
    std::filesystem::create_symlink(target, folder_.path() + "/COM" + std::to_string(n));
  }
  const std::string& path() const { return folder_.path(); }
  std::string lock_folder() const { return folder_.path() + "/lock"; }

 private:
  TempFolder folder_{"qor_comports"};
  std::string old_;
  bool had_old_ = false;
  std::string old_locks_;
  bool had_old_locks_ = false;
  std::vector<std::unique_ptr<Pty>> ptys_;
};

}  // namespace platform_test
