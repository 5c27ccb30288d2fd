// Files and folders.
//
// Paths are texts of the system (Windows-1252) in which "\" and "/" both separate
// folders; they are converted to the file system's UTF-8 names with "/" here and
// nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"

namespace platform {

// The path as the operating system takes it: "\" becomes "/", the text UTF-8, and a
// drive path ("C:\ZQT\") lies in the drive's per-user folder (paths.h).
std::string ToOsPath(std::string_view path);

// Whether a file (not a folder) of that name exists.
bool FileExists(const std::string& path);
// Whether a folder of that name exists.
bool DirectoryExists(const std::string& path);
// Whether any directory entry of that name exists, file or folder.
bool EntryExists(const std::string& path);
// Creates one folder whose parent exists; false when it cannot be created.
bool CreateDir(const std::string& path);

// Finds the entry of Folder whose name equals Name without regard to case and to a
// trailing dot, as Windows matches file names ("PATIENT." finds "Patient"). An
// exact match wins; returns the entry's path (Folder, a separator, the entry's own
// name) or nothing. A look-up that may come to nothing (an ini file, a language
// module): a folder that cannot be listed counts as holding no match.
std::optional<std::string> FindNoCase(const std::string& folder, const std::string& name);

// FindNoCase for a look-up whose "nothing" leads to a file being written (the
// patient file, created when it is missing): Name and then Written, the spelling
// the system gives the file it writes ("Patient" for "PATIENT."), are looked up
// directly before the folder is listed, so that a folder that may be entered but not
// listed still finds them; and a look-up that fails is never taken for a missing
// entry. A folder that does not exist holds no entries; one that cannot be listed
// raises EFOpenError "Cannot list folder "<folder>". <reason>", a name that cannot
// be looked up EFOpenError "Cannot open file "<path>". <reason>".
std::optional<std::string> FindNoCaseOrRaise(const std::string& folder, const std::string& name,
                                             std::string_view written = {});

// The names of the folder's entries (files and folders, without "." and ".."), in
// the order the file system gives them; empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

// Reads the whole file. Allocate is called once with the file's size and returns
// where the bytes go. Raises EFOpenError "Cannot open file "<name>". <reason>".
void ReadWholeFile(const std::string& path, const std::function<uint8_t*(int64_t)>& allocate);
// The whole file as one string of bytes; raises as ReadWholeFile.
std::string ReadFileToString(const std::string& path);

// Replaces (or creates) the file with Size bytes: they are written to a temporary
// file in the same folder, flushed to the disk, and renamed over the file, so the
// previous file survives any failure whole. A replaced file keeps its owner, group
// and permissions. The temporary file is ".~NAME.PID.XXXXXX", locked while it
// lives; the temporary files of the same name that saves killed midway left behind
// (their process gone, none holding their lock) are removed first, as are unlocked
// ones that have not changed for a minute.
//
// A new file can keep the owner and group only where the system lets the process
// give them (root; the owner, for a group it is in). Where it cannot, the file is
// never handed to the saving user: the bytes are written into the file itself, in
// place, under its writers' lock (see OpenedFile), as far as the file lets this
// process write it. That write is not atomic: a crash in the middle of it leaves
// the file part old, part new. Raises EFCreateError "Cannot create file "<name>".
// <reason>" (the reason the text of the system's error, or the lock's text when
// another writer holds the file in the in-place case).
void WriteFileAtomically(const std::string& path, const void* data, size_t size);

// Creates the file with Size bytes, whole or not at all, and never in place of an
// entry that exists: the bytes are written to a temporary file in the same folder
// and flushed to the disk, and only then does the file get its name, in one step
// that fails when the name has been taken meanwhile (by another process, say).
// Leftover temporary files are removed as WriteFileAtomically removes them.
// Returns false, creating nothing, when an entry of that name exists. Raises
// EFCreateError "Cannot create file "<name>". <reason>" on any other failure.
bool CreateFileExclusively(const std::string& path, const void* data, size_t size);

// What tells one state of a file from another: which file it is (device and inode,
// so a file replaced under the same name differs), its size, and its modification
// and change times to the nanosecond. Two stamps are equal only when nothing of this
// changed; a write that keeps size and modification time still moves the change
// time, which no program can set back.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;  // since 1970-01-01 UTC
  int64_t changed_ns = 0;

  bool SameFile(const FileStamp& other) const {
    return device == other.device && inode == other.inode;
  }
  bool operator==(const FileStamp& other) const = default;
};

// The stamp of the file Path names, or none when it cannot be read.
std::optional<FileStamp> GetFileStamp(const std::string& path);
// The modification time of the stamp as a local date-time value.
DateTime FileDateOf(const FileStamp& stamp);

// A file opened for one job and closed when the object goes. Reading shares the
// file with everyone; writing takes the file's writer lock, so that other writers
// that ask for it are kept out while others may still read, as a file opened for
// writing with sharing that denies writing is on Windows.
class OpenedFile {
 public:
  enum class Mode {
    kRead,
    // An existing file, for writing and reading; never creates one. Fails when
    // another writer holds the lock.
    kWriteLocked,
  };
  // Raises EFOpenError "Cannot open file "<name>". <reason>".
  OpenedFile(const std::string& path, Mode mode);
  ~OpenedFile();
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  const std::string& Path() const { return path_; }
  // The open file's stamp (not the path's: the path may name another file by now).
  FileStamp Stamp() const;
  // Whether the path still names this file, rather than a file that took its name
  // or nothing.
  bool PathStillNamesIt() const;

  // Reads Count bytes at Offset; EReadError when the file holds fewer.
  void ReadAt(int64_t offset, void* buffer, int64_t count) const;
  // Reads the whole file as Stamp().size gives it; Allocate is called once with the
  // size and returns where the bytes go.
  void ReadWhole(const std::function<uint8_t*(int64_t)>& allocate) const;
  // Writes Count bytes at Offset. Raises EWriteError "Cannot write file "<name>".
  // <reason>" when not all of them could be written; some may have been.
  void WriteAt(int64_t offset, const void* data, int64_t count);
  // Cuts the file to Size bytes. Raises EWriteError.
  void Truncate(int64_t size);
  // Replaces the file the path names with Size bytes, as WriteFileAtomically does;
  // where that writes in place and this is that file, the bytes go through this
  // object and the writers' lock it holds (a second lock taken on the same file
  // would be refused). Raises EFCreateError as WriteFileAtomically.
  void Replace(const void* data, size_t size) const;
  // Closes the file now; raises EWriteError when the close reports a late write
  // error. The destructor closes silently.
  void Close();

 private:
  std::string path_;
  int fd_ = -1;
  bool writer_ = false;  // opened kWriteLocked: holds the writers' lock
};

}  // namespace platform
