#include "platform/file_attributes.h"

#include <sys/stat.h>

#include "platform/files.h"

namespace platform {

std::optional<FileAttributes> GetFileAttributes(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat info;
  if (stat(ToOsPath(path).c_str(), &info) != 0) return std::nullopt;
  FileAttributes attributes;
  attributes.directory = S_ISDIR(info.st_mode);
  attributes.read_only = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  return attributes;
}

}  // namespace platform
