// Two pseudo-terminals joined like a null-modem cable: a thread copies what one
// master side receives to the other.
#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

#include "platform/tests/pty_pair.h"

namespace serial_test {

class NullModem {
 public:
  NullModem(platform_test::ComPorts& ports, int a, int b)
      : a_(ports.Add(a)), b_(ports.Add(b)), stop_(::eventfd(0, EFD_CLOEXEC)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~NullModem() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
  }

 private:
  void Run() {
    for (;;) {
      pollfd fds[3] = {{a_.master(), POLLIN, 0}, {b_.master(), POLLIN, 0}, {stop_, POLLIN, 0}};
      if (::poll(fds, 3, -1) < 0) continue;
      if (fds[2].revents) return;
      Copy(fds[0], a_, b_);
      Copy(fds[1], b_, a_);
    }
  }
  static void Copy(const pollfd& p, platform_test::Pty& from, platform_test::Pty& to) {
    if (!(p.revents & POLLIN)) return;
    char buf[4096];
    const ssize_t n = ::read(from.master(), buf, sizeof buf);
    if (n > 0) to.Write(std::string(buf, static_cast<size_t>(n)));
  }

  platform_test::Pty& a_;
  platform_test::Pty& b_;
  int stop_;
  std::thread thread_;
};

}  // namespace serial_test
