// The attributes of a file or folder that the system tests before offering to
// change it, as GetFileAttributesA answers them.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct FileAttributes {
  bool directory = false;
  // Nobody may write it: no write permission for its owner, group or others. This
  // is a property of the entry, like the read-only attribute, not a test of
  // whether this process could write it.
  bool read_only = false;
};

// The attributes of the entry Path names, or none when there is no such entry.
std::optional<FileAttributes> GetFileAttributes(const std::string& path);

}  // namespace platform
