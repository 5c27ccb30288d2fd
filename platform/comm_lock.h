// The lock files by which Linux serial programs keep out of each other's way: before
// a program opens a serial device it creates "LCK..<name>" in the system's lock
// folder, holding its process id in the HDB layout (ten characters, right-aligned,
// and a newline), and removes it when it closes the device. A lock whose process is
// gone is stale and may be taken over.
//
// The name is the device's path after "/dev/" with each '/' as '_' ("ttyUSB0",
// "pts_3"); a device elsewhere gives its base name. The folder is $QOR_LOCK_DIR when
// set, else /run/lock when it exists, else /var/lock. A missing folder, or one this
// user cannot write, leaves the device unlocked (the locks that are there are still
// honoured).
#pragma once

#include <memory>
#include <string>

namespace platform {

std::string CommLockFolder();
// The lock file's name for a device path (resolved, not a COMn link).
std::string CommLockName(const std::string& device);

class CommLock {
 public:
  // Takes the lock of Device. Nothing, *error set to a Windows error number
  // (kErrorAccessDenied when another live program holds it) and *detail set when
  // the lock cannot be taken for a reason the user must act on (the file that
  // blocks the port and why), on failure.
  static std::unique_ptr<CommLock> Acquire(const std::string& device, int* error,
                                           std::string* detail);
  // Removes the file while it still names this process.
  ~CommLock();
  CommLock(const CommLock&) = delete;
  CommLock& operator=(const CommLock&) = delete;

  // The lock file held; empty when the device is used without one.
  const std::string& path() const { return path_; }

 private:
  explicit CommLock(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

}  // namespace platform
