#include "platform/comm_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/comm.h"
#include "platform/system_info.h"

namespace platform {

namespace {

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What a lock file says: its process id, or that it vanished, or that it holds no
// id (a program may be between creating it and writing it).
struct LockOwner {
  enum Kind { kVanished, kNoPid, kPid } kind;
  pid_t pid = 0;
};

LockOwner ReadLockOwner(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return {errno == ENOENT ? LockOwner::kVanished : LockOwner::kNoPid};
  char text[64];
  ssize_t n;
  do {
    n = ::read(fd, text, sizeof text - 1);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0) return {LockOwner::kNoPid};
  // The older binary layout: the id as a 4-byte integer.
  if (n == 4 && (text[3] < '0' || text[3] > '9') && text[3] != ' ' && text[3] != '\n') {
    int32_t pid;
    std::memcpy(&pid, text, sizeof pid);
    return pid > 0 ? LockOwner{LockOwner::kPid, pid} : LockOwner{LockOwner::kNoPid};
  }
  text[n] = '\0';
  char* end = nullptr;
  const long pid = std::strtol(text, &end, 10);
  if (end == text || pid <= 0 || pid > 0x7FFFFFFF) return {LockOwner::kNoPid};
  while (*end == ' ' || *end == '\n' || *end == '\r')
    ++end;
  if (*end != '\0') return {LockOwner::kNoPid};
  return {LockOwner::kPid, static_cast<pid_t>(pid)};
}

// Creates the file with this process's id; 0, or errno.
int CreateLockFile(const std::string& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return errno;
  // Readable by all, whatever the umask: other programs decide by its content.
  ::fchmod(fd, 0644);
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
  ssize_t n;
  do {
    n = ::write(fd, text, static_cast<size_t>(length));
  } while (n < 0 && errno == EINTR);
  const int err = n == length ? 0 : (n < 0 ? errno : EIO);
  ::close(fd);
  if (err != 0) ::unlink(file.c_str());
  return err;
}

}  // namespace

std::string CommLockFolder() {
  if (const char* folder = std::getenv("QOR_LOCK_DIR"); folder && *folder) return folder;
  if (IsFolder("/run/lock")) return "/run/lock";
  return "/var/lock";
}

std::string CommLockName(const std::string& device) {
  std::string name = device;
  if (name.rfind("/dev/", 0) == 0) {
    name.erase(0, 5);
  } else if (const size_t slash = name.rfind('/'); slash != std::string::npos) {
    name.erase(0, slash + 1);
  }
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return "LCK.." + name;
}

std::unique_ptr<CommLock> CommLock::Acquire(const std::string& device, int* error,
                                            std::string* detail) {
  *error = 0;
  if (detail) detail->clear();
  const std::string folder = CommLockFolder();
  if (!IsFolder(folder)) return std::unique_ptr<CommLock>(new CommLock(""));
  const std::string file = folder + "/" + CommLockName(device);
  // A few rounds: a stale lock removed here may be taken by another program first,
  // and a lock may vanish between finding it and reading it.
  for (int round = 0; round < 4; ++round) {
    const int created = CreateLockFile(file);
    if (created == 0) return std::unique_ptr<CommLock>(new CommLock(file));
    if (created != EEXIST) {
      struct stat st;
      if (::lstat(file.c_str(), &st) != 0) {
        // The folder cannot be written here: go on without a lock of our own.
        return std::unique_ptr<CommLock>(new CommLock(""));
      }
    }
    const LockOwner owner = ReadLockOwner(file);
    if (owner.kind == LockOwner::kVanished) continue;
    if (owner.kind == LockOwner::kNoPid) {
      *error = kErrorAccessDenied;
      if (detail) *detail = "lock file " + file + " holds no process id";
      return nullptr;
    }
    if (!ProcessIsGone(owner.pid)) {
      *error = kErrorAccessDenied;
      return nullptr;
    }
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
      // A sticky folder keeps another user's file.
      const int why = errno;
      *error = kErrorAccessDenied;
      if (detail) {
        *detail = "stale lock file " + file + " of ended process " + std::to_string(owner.pid) +
                  " cannot be removed: " + std::strerror(why);
      }
      return nullptr;
    }
  }
  *error = kErrorAccessDenied;
  return nullptr;
}

CommLock::~CommLock() {
  if (path_.empty()) return;
  const LockOwner owner = ReadLockOwner(path_);
  if (owner.kind == LockOwner::kPid && owner.pid == ::getpid()) ::unlink(path_.c_str());
}

}  // namespace platform
