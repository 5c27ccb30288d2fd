#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/exception.h"
#include "platform/paths.h"
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

std::optional<std::string> FindNoCase(const std::string& folder, const std::string& name) {
  // One entry of the folder, never a path that leads elsewhere.
  const std::string wanted = FoldName(name);
  if (wanted.empty() || name.find_first_of("/\\") != std::string::npos) return std::nullopt;
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  if (EntryExists(prefix + name)) return prefix + name;

  for (const std::string& entry_name : ListFolder(folder)) {
    if (FoldName(entry_name) == wanted) return prefix + entry_name;
  }
  return std::nullopt;
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  const std::string os_folder = folder.empty() ? "." : ToOsPath(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(os_folder.c_str()), ::closedir);
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string name = Utf8ToWin1252(entry->d_name);
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
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

void WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  const std::string os_path = ToOsPath(path);
  const auto fail = [&path](int error) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + ErrorText(error));
  };

  // The temporary file lies in the target's folder, so that the rename cannot cross
  // file systems and is atomic.
  const std::string folder = FolderOf(os_path);
  std::string temp = folder + "/.~" + os_path.substr(os_path.rfind('/') + 1) + ".XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) fail(errno);
  bool renamed = false;
  struct TempGuard {
    const std::string& name;
    const bool& renamed;
    ~TempGuard() {
      if (!renamed) ::unlink(name.c_str());
    }
  } guard{temp, renamed};

  // mkstemp creates the file for its owner only; give it the mode the replaced
  // file had, or the one a new file would get, so that other programs reading the
  // folder keep their access.
  mode_t mode;
  struct stat st;
  if (::stat(os_path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd.get(), mode) != 0) fail(errno);

  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd.get(), bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    done += static_cast<size_t>(n);
  }
  // The bytes must be on the disk before the name points at them, or a crash could
  // leave an empty file in place of the previous one.
  if (::fsync(fd.get()) != 0) fail(errno);
  if (!fd.Close()) fail(errno);
  if (::rename(temp.c_str(), os_path.c_str()) != 0) fail(errno);
  renamed = true;

  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace platform
