#include "platform/file_ends.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace platform {

namespace {

// Closes the descriptor however the read ends.
class Descriptor {
 public:
  explicit Descriptor(const std::string& path)
      : fd_(::open(ToOsPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<std::string> ReadFileHead(const std::string& path, size_t count) {
  const Descriptor file(path);
  if (file.fd() < 0) return std::nullopt;
  std::string bytes(count, '\0');
  size_t done = 0;
  // read, not pread: a pipe or character device of that name gives what it has.
  while (done < bytes.size()) {
    const ssize_t n = ::read(file.fd(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

std::optional<FileTail> ReadFileTail(const std::string& path, size_t count) {
  const Descriptor file(path);
  if (file.fd() < 0) return std::nullopt;
  struct stat st;
  if (::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const int64_t size = st.st_size;
  FileTail tail;
  tail.offset = size > static_cast<int64_t>(count) ? size - static_cast<int64_t>(count) : 0;
  tail.bytes.resize(static_cast<size_t>(size - tail.offset));
  size_t done = 0;
  while (done < tail.bytes.size()) {
    const ssize_t n = ::pread(file.fd(), tail.bytes.data() + done, tail.bytes.size() - done,
                              static_cast<off_t>(tail.offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the file shrank meanwhile: keep what was read
    done += static_cast<size_t>(n);
  }
  tail.bytes.resize(done);
  return tail;
}

}  // namespace platform
