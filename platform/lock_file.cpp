#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>

namespace platform {

LockFile::~LockFile() {
  Release();
}

LockFile::LockFile(LockFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

LockFile::Result LockFile::TryTake(const std::string& path) {
  Release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::kCannotOpen;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return Result::kHeldByAnother;
  }
  fd_ = fd;
  return Result::kTaken;
}

void LockFile::Release() {
  // Closing the only descriptor of the open file releases its lock.
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

}  // namespace platform
