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
// name) or nothing.
std::optional<std::string> FindNoCase(const std::string& folder, const std::string& name);

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
// previous file survives any failure whole. A replaced file keeps its permissions.
// Raises EFCreateError "Cannot create file "<name>". <reason>".
void WriteFileAtomically(const std::string& path, const void* data, size_t size);

}  // namespace platform
