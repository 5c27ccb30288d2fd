// A file's first or last bytes, for readers that want only a known part of a file
// that may be large or not theirs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// At most Count bytes from the start of the file (fewer when it holds fewer, none
// when it is a folder or has nothing to give at once); nothing when it cannot be
// opened. The open never waits, so a pipe or device of that name cannot stall the
// caller.
std::optional<std::string> ReadFileHead(const std::string& path, size_t count);

struct FileTail {
  std::string bytes;
  int64_t offset = 0;  // where the bytes start in the file; 0: the whole file
};

// The last Count bytes of a regular file (the whole file when it holds fewer); a
// file that shrinks meanwhile gives what could still be read. Nothing when it
// cannot be opened or is not a regular file.
std::optional<FileTail> ReadFileTail(const std::string& path, size_t count);

}  // namespace platform
