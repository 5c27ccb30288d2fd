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
// Reading is lenient: a byte-order mark (a UTF-16 file with one is read too), blank
// lines, and lines ending in "\" continued on the next line are taken as the
// registry editor writes them; ";" comments, deletions ("[-...]", "=-") and lines
// it cannot read are never fatal. Such lines are kept as read, in their place under
// their key, and so is every value the program has not changed: rewriting the file
// after a change loses no line a person or another program put there. Key paths
// compare without case; a path keeps the spelling it was first written with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// kLine: no value but a line of the file kept as it was (a comment, a deletion, a
// line that cannot be read), which no lookup finds.
enum class RegValueKind : uint8_t { kString, kDword, kOther, kLine };

struct RegValue {
  std::string name;  // "" is the key's default value, written "@"
  RegValueKind kind = RegValueKind::kString;
  std::string text;    // kString: the text; kOther: the data as written after "="
  uint32_t dword = 0;  // kDword
  // The line (or continued lines) as read from the file, written back as it was so
  // that an unchanged value keeps its form; "" for a value the program set.
  std::string line;
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegKey {
  // The full path from the root key, e.g. "HKEY_CURRENT_USER\Software\X"; "" for
  // a part of the file that is no key: the lines before the first key, or those
  // under a header that cannot be read (a deletion "[-...]", no closing "]", a
  // name the system's texts cannot hold), which Header keeps. No lookup finds it.
  std::string path;
  std::string header;
  std::vector<RegValue> values;  // and the kept lines (kLine), in file order

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

// Why a file of that text must not be rewritten, though it can be read: it is not
// the UTF-8 text the store is made of, and rewriting it would change the form the
// program that wrote it reads. "" when it may be rewritten; else the line and what
// is wrong with it, e.g. "line 1 begins with a UTF-16 byte-order mark".
std::string NotRewritable(std::string_view file_text);

}  // namespace platform
