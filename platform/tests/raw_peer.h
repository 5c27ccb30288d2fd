// A TCP client on a raw, non-blocking socket to a loopback port, from a loopback
// address of its own: for tests that need many connections, or a peer the toolkit
// does not see, without any event loop.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace platform_test {

class RawPeer {
 public:
  // Starts connecting to Port on 127.0.0.1 from the address From.
  explicit RawPeer(int port, const std::string& from = "127.0.0.1")
      : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
  }
  ~RawPeer() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawPeer(RawPeer&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  RawPeer& operator=(RawPeer&&) = delete;

  int fd() const { return fd_; }

  // Waits until the system has made the connection (the server need not have
  // accepted it), at most until Deadline (a safety net, never a measure).
  bool WaitConnected(std::chrono::steady_clock::time_point deadline) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd_, POLLOUT, 0};
    return ::poll(&ready, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) == 1 &&
           !(ready.revents & (POLLERR | POLLHUP));
  }
  bool WaitConnected() const {
    return WaitConnected(std::chrono::steady_clock::now() + std::chrono::seconds(10));
  }

  bool Send(const std::string& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
      pollfd ready{fd_, POLLOUT, 0};
      if (::poll(&ready, 1, 10000) != 1) return false;
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN) return false;
      if (n > 0) sent += static_cast<size_t>(n);
    }
    return true;
  }
  // Everything received so far, added to Into; false once the peer has closed the
  // connection.
  bool Receive(std::string& into) const {
    char bytes[4096];
    ssize_t n;
    while ((n = ::recv(fd_, bytes, sizeof bytes, MSG_DONTWAIT)) > 0)
      into.append(bytes, static_cast<size_t>(n));
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
  // Whether the server has closed it (what it would read is its end).
  bool Closed() const {
    char byte;
    const ssize_t got = ::recv(fd_, &byte, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
  }

 private:
  int fd_;
};

}  // namespace platform_test
