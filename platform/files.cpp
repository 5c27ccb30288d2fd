#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/exception.h"
#include "platform/paths.h"
#include "platform/system_info.h"
#include "platform/text_1252.h"

namespace platform {
namespace {

// A file descriptor that is closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (a late write error shows
  // up here on some file systems).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string ErrorText(int error) {
  return Utf8ToWin1252(std::strerror(error));
}

std::string FolderOf(const std::string& os_path) {
  const size_t slash = os_path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return os_path.substr(0, slash);
}

bool StatOf(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(ToOsPath(path).c_str(), &st) == 0;
}

// Name compared as Windows compares file names: without case and without
// trailing dots.
std::string FoldName(std::string_view name) {
  while (!name.empty() && name.back() == '.')
    name.remove_suffix(1);
  return UpperCase1252(name);
}

}  // namespace

std::string ToOsPath(std::string_view path) {
  std::string prefix;
  if (const std::optional<char> letter = DriveLetterOf(path)) {
    // "C:\ZQT" and the drive-relative "C:ZQT" both lie in the drive's folder.
    prefix = DriveFolder(*letter) + "/";
    path.remove_prefix(2);
    while (!path.empty() && (path.front() == '\\' || path.front() == '/'))
      path.remove_prefix(1);
  }
  std::string os = prefix + Win1252ToUtf8(path);
  for (char& c : os) {
    if (c == '\\') c = '/';
  }
  return os;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return StatOf(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return StatOf(path, st) && S_ISDIR(st.st_mode);
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return StatOf(path, st);
}

bool CreateDir(const std::string& path) {
  return !path.empty() && ::mkdir(ToOsPath(path).c_str(), 0777) == 0;
}

namespace {

// The folder's entry names, or the error that kept it from being listed to its end;
// a folder that does not exist (or is no folder) has none, without error.
int ListEntries(const std::string& folder, std::vector<std::string>& names) {
  const std::string os_folder = folder.empty() ? "." : ToOsPath(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(os_folder.c_str()), ::closedir);
  if (!dir) return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  for (;;) {
    // readdir tells its end from its failure only by errno.
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) return errno;
    std::string name = Utf8ToWin1252(entry->d_name);
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
}

std::optional<std::string> Find(const std::string& folder, const std::string& name,
                                std::string_view written, bool raise) {
  // One entry of the folder, never a path that leads elsewhere.
  const std::string wanted = FoldName(name);
  if (wanted.empty() || name.find_first_of("/\\") != std::string::npos) return std::nullopt;
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';

  // The names looked up directly need no listing, only the right to enter the
  // folder.
  std::string direct[2] = {name, std::string(written)};
  for (const std::string& candidate : direct) {
    if (candidate.empty() || FoldName(candidate) != wanted) continue;
    const std::string path = prefix + candidate;
    struct stat st;
    if (::stat(ToOsPath(path).c_str(), &st) == 0) return path;
    if (raise && errno != ENOENT && errno != ENOTDIR) {
      throw EFOpenError("Cannot open file \"" + path + "\". " + ErrorText(errno));
    }
  }

  std::vector<std::string> names;
  if (const int error = ListEntries(folder, names); error != 0 && raise) {
    throw EFOpenError("Cannot list folder \"" + folder + "\". " + ErrorText(error));
  }
  for (const std::string& entry_name : names) {
    if (FoldName(entry_name) == wanted) return prefix + entry_name;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindNoCase(const std::string& folder, const std::string& name) {
  return Find(folder, name, {}, false);
}

std::optional<std::string> FindNoCaseOrRaise(const std::string& folder, const std::string& name,
                                             std::string_view written) {
  return Find(folder, name, written, true);
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  ListEntries(folder, names);
  return names;
}

void ReadWholeFile(const std::string& path, const std::function<uint8_t*(int64_t)>& allocate) {
  const auto fail = [&path](int error) {
    throw EFOpenError("Cannot open file \"" + path + "\". " + ErrorText(error));
  };
  Fd fd(::open(ToOsPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) fail(errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) fail(errno);
  if (S_ISDIR(st.st_mode)) fail(EISDIR);
  const int64_t size = st.st_size;
  uint8_t* out = allocate(size);
  int64_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd.get(), out + done, static_cast<size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    // The file shrank while being read: what was there is all there is, but the
    // buffer was sized for more; report it rather than hand out zero bytes.
    if (n == 0) fail(EIO);
    done += n;
  }
}

std::string ReadFileToString(const std::string& path) {
  std::string text;
  ReadWholeFile(path, [&text](int64_t size) {
    text.resize(static_cast<size_t>(size));
    return reinterpret_cast<uint8_t*>(text.data());
  });
  return text;
}

namespace {

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.size = st.st_size;
  stamp.modified_ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changed_ns = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
  return stamp;
}

// Writes all of Size bytes to Fd at its position or raises through Fail.
template <typename F>
void WriteAll(int fd, const void* data, size_t size, F&& fail) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    done += static_cast<size_t>(n);
  }
}

// What the user reads when another writer holds a file's lock.
constexpr const char* kLockedText =
    "The process cannot access the file because it is being used by another process";

}  // namespace

namespace {

// A save's temporary file is ".~NAME.PID.XXXXXX": the target's name, the saving
// process, and mkstemp's six letters and digits. While the save lives it holds the
// file's lock, so no other process takes it for a leftover.
std::string TempPrefix(const std::string& name) {
  return ".~" + name + ".";
}

// A temporary file is a leftover of a save that ended without cleaning up (a crash)
// when nobody holds its lock and its process is gone, or, for one that names no
// process (written before they did) or one that may name a reused process, when it
// has not changed for this long: a save in progress writes to it right after it
// is made, and holds its lock until it is flushed.
constexpr time_t kLeftoverAge = 60;

bool IsTempLetters(std::string_view text) {
  if (text.size() != 6) return false;
  for (const char c : text) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// The process a temporary file's rest (what follows its prefix) names: its pid,
// 0 for a file of the form without one, -1 when the rest is no temporary file's.
long TempOwner(std::string_view rest) {
  if (IsTempLetters(rest)) return 0;
  const size_t dot = rest.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot > 9 || !IsTempLetters(rest.substr(dot + 1)))
    return -1;
  long pid = 0;
  for (const char c : rest.substr(0, dot)) {
    if (c < '0' || c > '9') return -1;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 ? pid : -1;
}

// Removes the leftover temporary files of saves of Name in Folder (both of the
// file system). Nothing here may fail the save: a file that cannot be examined or
// removed stays.
void RemoveLeftovers(const std::string& folder, const std::string& name) {
  const std::string prefix = TempPrefix(name);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return;
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view entry_name(entry->d_name);
    if (entry_name.substr(0, prefix.size()) == prefix) candidates.emplace_back(entry_name);
  }
  const pid_t own = ::getpid();
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  for (const std::string& candidate : candidates) {
    const long owner = TempOwner(std::string_view(candidate).substr(prefix.size()));
    if (owner < 0) continue;
    const std::string path = folder + "/" + candidate;
    Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;  // a save in progress
    const bool gone = owner > 0 && owner != own && ProcessIsGone(owner);
    const bool old = now.tv_sec - st.st_mtim.tv_sec > kLeftoverAge;
    if (gone || old) ::unlink(path.c_str());
  }
}

// Writes the bytes into the existing file Path names, from its start, and cuts it to
// their length: for a file that a new file could not replace with its owner and
// group. Named is the status of that file; Held a descriptor this process opened a
// file with for writing and holds its writers' lock through, or -1. When Held is
// that file the bytes go through it; otherwise the file is opened and locked here.
// Room for a longer file is taken before anything is overwritten, so that a full
// disk leaves the file as it was.
void WriteInPlace(const std::string& path, const struct stat& named, int held, const void* data,
                  size_t size) {
  const auto fail = [&path](const std::string& reason) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + reason);
  };
  struct stat st;
  const bool through_held = held >= 0 && ::fstat(held, &st) == 0 && st.st_dev == named.st_dev &&
                            st.st_ino == named.st_ino;
  std::optional<Fd> own;
  int fd = held;
  if (!through_held) {
    own.emplace(::open(ToOsPath(path).c_str(), O_RDWR | O_CLOEXEC));
    fd = own->get();
    if (fd < 0) fail(ErrorText(errno));
    if (::fstat(fd, &st) != 0) fail(ErrorText(errno));
    if (!S_ISREG(st.st_mode)) fail(ErrorText(EISDIR));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
      fail(errno == EWOULDBLOCK ? kLockedText : ErrorText(errno));
  }
  const off_t length = static_cast<off_t>(size);
  if (length > st.st_size) {
    if (const int error = ::posix_fallocate(fd, st.st_size, length - st.st_size); error != 0) {
      // What was taken before the failure goes again; the bytes stay as they were.
      while (::ftruncate(fd, st.st_size) != 0 && errno == EINTR) {
      }
      fail(ErrorText(error));
    }
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(ErrorText(n < 0 ? errno : ENOSPC));
    done += static_cast<size_t>(n);
  }
  while (::ftruncate(fd, length) != 0) {
    if (errno != EINTR) fail(ErrorText(errno));
  }
  if (::fsync(fd) != 0) fail(ErrorText(errno));
  if (own && !own->Close()) fail(ErrorText(errno));
}

// Writes the bytes to a temporary file in the target's folder, flushes them to the
// disk, and only then gives the file its name: in place of the file that has it
// (Replace), or only while no entry has it, else returns false and leaves nothing.
// Either way a crash leaves no file or a whole one under the name, never a part.
// A replaced file whose owner or group the new file cannot take is written in place
// instead (WriteInPlace; Held as there), which a crash can leave part old, part new.
bool WriteThenName(const std::string& path, const void* data, size_t size, bool replace,
                   int held = -1) {
  const std::string os_path = ToOsPath(path);
  const auto fail = [&path](int error) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + ErrorText(error));
  };

  // The temporary file lies in the target's folder, so that naming it cannot cross
  // file systems and is atomic.
  const std::string folder = FolderOf(os_path);
  const std::string name = os_path.substr(os_path.rfind('/') + 1);
  RemoveLeftovers(folder, name);
  std::string temp =
      folder + "/" + TempPrefix(name) + std::to_string(static_cast<long>(::getpid())) + ".XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) fail(errno);
  // Until the bytes are flushed, the lock tells every other save that this file
  // is no leftover.
  if (::flock(fd.get(), LOCK_EX) != 0) fail(errno);
  bool keep_temp = false;
  struct TempGuard {
    const std::string& name;
    const bool& keep;
    ~TempGuard() {
      if (!keep) ::unlink(name.c_str());
    }
  } guard{temp, keep_temp};

  // mkstemp creates the file for its owner only; give it the owner, group and mode
  // the replaced file had, or the mode a new file would get, so that the other
  // programs that share the file keep their access to it. The owner before the mode:
  // a change of owner clears the set-user and set-group bits.
  mode_t mode;
  struct stat st;
  if (replace && ::stat(os_path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    struct stat made;
    if (::fstat(fd.get(), &made) != 0) fail(errno);
    if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
        ::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
      if (errno != EPERM) fail(errno);
      // Renamed over the file, this one would hand it to the saving user, and its
      // owner could lose the access it had.
      fd.Close();
      ::unlink(temp.c_str());
      keep_temp = true;
      WriteInPlace(path, st, held, data, size);
      return true;
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd.get(), mode) != 0) fail(errno);

  WriteAll(fd.get(), data, size, fail);
  // The bytes must be on the disk before the name points at them, or a crash could
  // leave an empty file in place of the previous one.
  if (::fsync(fd.get()) != 0) fail(errno);
  if (!fd.Close()) fail(errno);
  if (replace) {
    if (::rename(temp.c_str(), os_path.c_str()) != 0) fail(errno);
    keep_temp = true;  // it is the file now
  } else if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, os_path.c_str(), RENAME_NOREPLACE) ==
             0) {
    keep_temp = true;
  } else if (errno == EEXIST) {
    return false;
  } else if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    // The file system cannot rename that way: a hard link takes the name just as
    // exclusively, and the temporary name goes.
    if (::link(temp.c_str(), os_path.c_str()) != 0) {
      if (errno == EEXIST) return false;
      fail(errno);
    }
  } else {
    fail(errno);
  }

  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

}  // namespace

void WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  WriteThenName(path, data, size, true);
}

bool CreateFileExclusively(const std::string& path, const void* data, size_t size) {
  return WriteThenName(path, data, size, false);
}

std::optional<FileStamp> GetFileStamp(const std::string& path) {
  struct stat st;
  if (!StatOf(path, st)) return std::nullopt;
  return StampOf(st);
}

DateTime FileDateOf(const FileStamp& stamp) {
  constexpr int64_t kNsPerSecond = 1000000000;
  int64_t seconds = stamp.modified_ns / kNsPerSecond;
  int64_t nanoseconds = stamp.modified_ns % kNsPerSecond;
  if (nanoseconds < 0) {  // before 1970: the second below, and a positive rest
    seconds -= 1;
    nanoseconds += kNsPerSecond;
  }
  const time_t whole = static_cast<time_t>(seconds);
  tm local{};
  DateTime date;
  if (!localtime_r(&whole, &local) ||
      !TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date))
    return 0;
  // A leap second (tm_sec 60) has no value of its own; it stays in the minute.
  return date + EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                           static_cast<int>(nanoseconds / 1000000));
}

OpenedFile::OpenedFile(const std::string& path, Mode mode) : path_(path) {
  const auto fail = [&path](const std::string& reason) {
    throw EFOpenError("Cannot open file \"" + path + "\". " + reason);
  };
  // A writer reads too: what the file holds decides where it writes.
  const int flags = (mode == Mode::kRead ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  fd_ = ::open(ToOsPath(path).c_str(), flags);
  if (fd_ < 0) fail(ErrorText(errno));
  struct stat st;
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    fail(ErrorText(error));
  }
  if (mode == Mode::kWriteLocked && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    fail(error == EWOULDBLOCK ? kLockedText : ErrorText(error));
  }
  writer_ = mode == Mode::kWriteLocked;
}

OpenedFile::~OpenedFile() {
  if (fd_ >= 0) ::close(fd_);
}

FileStamp OpenedFile::Stamp() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    throw EReadError("Cannot read file \"" + path_ + "\". " + ErrorText(errno));
  }
  return StampOf(st);
}

bool OpenedFile::PathStillNamesIt() const {
  const std::optional<FileStamp> named = GetFileStamp(path_);
  return named && named->SameFile(Stamp());
}

void OpenedFile::ReadAt(int64_t offset, void* buffer, int64_t count) const {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t n = ::pread(fd_, out, static_cast<size_t>(count), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Cannot read file \"" + path_ + "\". " + ErrorText(errno));
    if (n == 0) throw EReadError();
    out += n;
    offset += n;
    count -= n;
  }
}

void OpenedFile::ReadWhole(const std::function<uint8_t*(int64_t)>& allocate) const {
  const int64_t size = Stamp().size;
  uint8_t* out = allocate(size);
  // A file that shrank while being read: what the buffer was sized for is not
  // there, which is reported rather than handed out as zero bytes.
  ReadAt(0, out, size);
}

void OpenedFile::WriteAt(int64_t offset, const void* data, int64_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (count > 0) {
    const ssize_t n = ::pwrite(fd_, bytes, static_cast<size_t>(count), offset);
    if (n < 0 && errno == EINTR) continue;
    // A write that takes nothing (a full disk says so on the next call) ends here
    // rather than looping.
    const int error = n < 0 ? errno : ENOSPC;
    if (n <= 0) throw EWriteError("Cannot write file \"" + path_ + "\". " + ErrorText(error));
    bytes += n;
    offset += n;
    count -= n;
  }
}

void OpenedFile::Truncate(int64_t size) {
  while (::ftruncate(fd_, size) != 0) {
    if (errno != EINTR)
      throw EWriteError("Cannot write file \"" + path_ + "\". " + ErrorText(errno));
  }
}

void OpenedFile::Replace(const void* data, size_t size) const {
  WriteThenName(path_, data, size, true, writer_ ? fd_ : -1);
}

void OpenedFile::Close() {
  const int fd = fd_;
  fd_ = -1;
  if (fd >= 0 && ::close(fd) != 0)
    throw EWriteError("Cannot write file \"" + path_ + "\". " + ErrorText(errno));
}

}  // namespace platform
