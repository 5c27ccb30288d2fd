// Initialization files, read by the rules of GetPrivateProfileString:
// - sections ("[name]") and keys ("key=value") match without case, blanks around
//   names and values ignored; the first matching section and, in it, the first
//   matching key count;
// - a value wholly enclosed in a pair of double or single quotes loses them;
// - lines starting with ";" are comments; anything after a value is part of it;
// - a missing file, section or key gives the default (with its trailing blanks
//   removed, as Windows removes them).
// The file's own name matches without case too (ZQTDATA.INI finds zqtdata.ini).
// Every read reads the file afresh, so that edits by others are seen at once.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class TIniFile {
 public:
  explicit TIniFile(std::string file_name) : file_name_(std::move(file_name)) {}

  const std::string& FileName() const { return file_name_; }

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& default_value) const;
  // The value as a decimal (or "$"/"0x" hexadecimal) integer; the default when it
  // is missing or not a number.
  int32_t ReadInteger(const std::string& section, const std::string& ident,
                      int32_t default_value) const;
  bool SectionExists(const std::string& section) const;

 private:
  std::string file_name_;
};

}  // namespace platform
