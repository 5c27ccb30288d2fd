// A lock file held while the object lives: an exclusive lock on the file that the
// system releases when the process ends, however it ends, so a crashed or killed
// holder never blocks a later one. Advisory: it keeps out only those who ask for
// the same lock.
#pragma once

#include <string>

namespace platform {

class LockFile {
 public:
  enum class Result {
    kTaken,          // this object holds the lock now
    kHeldByAnother,  // another open of the file (in any process) holds it
    kCannotOpen,     // the file can neither be opened nor created
  };

  LockFile() = default;  // holds nothing
  ~LockFile();           // releases what it holds
  LockFile(LockFile&& other) noexcept;
  LockFile& operator=(LockFile&& other) noexcept;
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Opens the file (creating it, readable and writable by its owner only) and takes
  // its lock without waiting; a lock held before is released first. Path is the
  // file system's own name (UTF-8, "/" only), as ToOsPath gives it.
  Result TryTake(const std::string& path);
  bool Held() const { return fd_ >= 0; }
  // Releases the lock now; the file stays.
  void Release();

 private:
  int fd_ = -1;
};

}  // namespace platform
