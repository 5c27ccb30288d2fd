// The settings store's file: keys and values in the registry-export text format,
// so that a person can read and edit it:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\QOR Fluvantronics AB\Wardvorta\2.0\General]
//   @="the default value"
//   "Language"=dword:0000041d
//
// Texts are "..." with \\ and \" escaped; a text holding control characters (a
// line break would end the entry) is written as hex(1): with its UTF-16LE bytes,
// as the export format writes such texts. Values of other kinds (hex:, hex(2):, ...)
// are kept as written, so that editing one value never loses another. The file is
// UTF-8; texts in memory are Windows-1252 like every text of the system.
//
// Reading is lenient: a byte-order mark, blank lines, ";" comments, lines ending in
// "\" continued on the next line, deletions ("[-...]", "=-") and lines it cannot
// read are skipped, never fatal. Key paths compare without case; a path keeps the
// spelling it was first written with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegValueKind : uint8_t { kString, kDword, kOther };

struct RegValue {
  std::string name;  // "" is the key's default value, written "@"
  RegValueKind kind = RegValueKind::kString;
  std::string text;    // kString: the text; kOther: the data as written after "="
  uint32_t dword = 0;  // kDword
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegKey {
  std::string path;  // full path from the root key, e.g. "HKEY_CURRENT_USER\Software\X"
  std::vector<RegValue> values;

  RegValue* FindValue(std::string_view name);
  const RegValue* FindValue(std::string_view name) const;
  // Replaces the value of that name (without case) or appends it.
  void SetValue(RegValue value);
  bool DeleteValue(std::string_view name);
  friend bool operator==(const RegKey&, const RegKey&) = default;
};

struct RegDocument {
  std::vector<RegKey> keys;  // in file order

  RegKey* FindKey(std::string_view path);
  const RegKey* FindKey(std::string_view path) const;
  // The key of that path; created (after its missing parents, as the registry
  // creates them) when missing.
  RegKey& AddKey(std::string_view path);
};

// The path with runs of "\" (or "/") made one "\" and no leading or trailing one.
std::string NormalizeKeyPath(std::string_view path);

RegDocument ParseRegExport(std::string_view file_text);
std::string WriteRegExport(const RegDocument& document);

}  // namespace platform
