#include "platform/registry_file.h"

#include <algorithm>
#include <cstdio>

#include "platform/text_1252.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

// One logical line of the file and the physical lines it was read from.
struct FileLine {
  std::string text;  // continued lines joined, the continuation marks gone
  std::string raw;   // the physical lines as they were, without their line ends
};

// The logical lines of the file: physical lines, with those ending in "\" joined to
// the next one (whose leading blanks go), as long hex data is written.
std::vector<FileLine> LogicalLines(std::string_view text) {
  std::vector<FileLine> lines;
  FileLine pending;
  bool continuing = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    std::string_view physical = line;
    while (!physical.empty() && physical.back() == '\r')
      physical.remove_suffix(1);
    if (continuing) pending.raw += '\n';
    pending.raw += physical;
    // Only hex data ends a line in "\": texts end in a quote, keys in "]".
    pending.text += continuing ? TrimLine(line) : line;
    while (!pending.text.empty() && (pending.text.back() == '\r' || pending.text.back() == ' '))
      pending.text.pop_back();
    continuing = !pending.text.empty() && pending.text.back() == '\\';
    if (continuing) {
      pending.text.pop_back();
      continue;
    }
    lines.push_back(std::move(pending));
    pending = FileLine{};
  }
  if (continuing) {
    // The file ends in a continuation mark: written back before another line, it
    // would join that line to this one.
    while (!pending.raw.empty() && pending.raw.back() != '\\')
      pending.raw.pop_back();
    if (!pending.raw.empty()) pending.raw.pop_back();
    lines.push_back(std::move(pending));
  }
  return lines;
}

// UTF-16 bytes (after their byte-order mark) as UTF-8; an odd last byte is dropped.
std::string Utf16BytesToUtf8(std::string_view bytes, bool little_endian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(little_endian ? second << 8 | first : first << 8 | second);
  }
  return Utf16ToUtf8(units);
}

bool StartsWithUtf16Mark(std::string_view text) {
  return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
}

// Whether the system's 8-bit texts hold that UTF-8 text without loss.
bool Holds1252(std::string_view utf8) {
  return Win1252ToUtf8(Utf8ToWin1252(utf8)) == utf8;
}

// Reads a "..."-quoted text with \\ and \" escapes from the start of S; on success
// S is left after the closing quote.
bool ReadQuoted(std::string_view& s, std::string& out) {
  if (s.empty() || s.front() != '"') return false;
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      out += s[++i];
    } else if (c == '"') {
      s.remove_prefix(i + 1);
      return true;
    } else {
      out += c;
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseDword(std::string_view s, uint32_t& value) {
  s = TrimLine(s);
  if (s.empty() || s.size() > 8) return false;
  value = 0;
  for (char c : s) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return true;
}

// "hex(1):" data: comma-separated bytes of a UTF-16LE text, ending in a NUL.
bool ParseHexText(std::string_view s, std::string& text) {
  std::u16string utf16;
  std::string bytes;
  while (true) {
    s = TrimLine(s);
    if (s.empty()) break;
    const size_t comma = s.find(',');
    const std::string_view byte = TrimLine(s.substr(0, comma));
    if (byte.size() != 2 || HexDigit(byte[0]) < 0 || HexDigit(byte[1]) < 0) return false;
    bytes += static_cast<char>(HexDigit(byte[0]) << 4 | HexDigit(byte[1]));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  if (bytes.size() % 2 != 0) return false;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    utf16 += unit;
  }
  text = Utf16ToWin1252(utf16);
  return true;
}

bool NeedsHex(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return Win1252ToUtf8(out);
}

std::string HexText(std::string_view text) {
  std::u16string utf16 = Win1252ToUtf16(text);
  utf16 += u'\0';
  std::string out = "hex(1):";
  char byte[8];
  bool first = true;
  for (char16_t unit : utf16) {
    for (unsigned part : {unsigned(unit & 0xFFu), unsigned(unit >> 8)}) {
      std::snprintf(byte, sizeof byte, first ? "%02x" : ",%02x", part);
      out += byte;
      first = false;
    }
  }
  return out;
}

// Parses one value line; false when it is not one (or is a deletion).
bool ParseValueLine(std::string_view line, RegValue& value) {
  if (line.front() == '@') {
    value.name.clear();
    line.remove_prefix(1);
  } else {
    std::string name;
    // A name the system's texts cannot hold would be found, and rewritten, as
    // another.
    if (!ReadQuoted(line, name) || !Holds1252(name)) return false;
    value.name = Utf8ToWin1252(name);
  }
  line = TrimLine(line);
  if (line.empty() || line.front() != '=') return false;
  line = TrimLine(line.substr(1));
  if (line == "-") return false;
  if (line.starts_with('"')) {
    std::string text;
    if (!ReadQuoted(line, text) || !TrimLine(line).empty()) return false;
    value.kind = RegValueKind::kString;
    value.text = Utf8ToWin1252(text);
    return true;
  }
  if (line.starts_with("dword:")) {
    value.kind = RegValueKind::kDword;
    return ParseDword(line.substr(6), value.dword);
  }
  if (line.starts_with("hex(1):")) {
    value.kind = RegValueKind::kString;
    return ParseHexText(line.substr(7), value.text);
  }
  value.kind = RegValueKind::kOther;
  value.text = std::string(line);
  return true;
}

}  // namespace

std::string NormalizeKeyPath(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!out.empty() && out.back() != '\\') out += '\\';
    } else {
      out += c;
    }
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

RegValue* RegKey::FindValue(std::string_view name) {
  for (RegValue& value : values) {
    if (value.kind != RegValueKind::kLine && SameText1252(value.name, name)) return &value;
  }
  return nullptr;
}

const RegValue* RegKey::FindValue(std::string_view name) const {
  return const_cast<RegKey*>(this)->FindValue(name);
}

void RegKey::SetValue(RegValue value) {
  if (RegValue* existing = FindValue(value.name)) {
    // The name keeps its first spelling, as the registry keeps it.
    value.name = existing->name;
    *existing = std::move(value);
  } else {
    values.push_back(std::move(value));
  }
}

bool RegKey::DeleteValue(std::string_view name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (it->kind != RegValueKind::kLine && SameText1252(it->name, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

RegKey* RegDocument::FindKey(std::string_view path) {
  const std::string wanted = NormalizeKeyPath(path);
  if (wanted.empty()) return nullptr;
  for (RegKey& key : keys) {
    if (SameText1252(key.path, wanted)) return &key;
  }
  return nullptr;
}

const RegKey* RegDocument::FindKey(std::string_view path) const {
  return const_cast<RegDocument*>(this)->FindKey(path);
}

RegKey& RegDocument::AddKey(std::string_view path) {
  const std::string wanted = NormalizeKeyPath(path);
  if (RegKey* key = FindKey(wanted)) return *key;
  // Parents first, below the root key, which is never written on its own.
  const size_t last = wanted.rfind('\\');
  if (last != std::string::npos && wanted.find('\\') != last) AddKey(wanted.substr(0, last));
  keys.push_back(RegKey{wanted, "", {}});
  return keys.back();
}

RegDocument ParseRegExport(std::string_view file_text) {
  std::string decoded;
  if (StartsWithUtf16Mark(file_text)) {
    decoded = Utf16BytesToUtf8(file_text.substr(2), file_text.front() == '\xFF');
    file_text = decoded;
  }
  if (file_text.starts_with("\xEF\xBB\xBF")) file_text.remove_prefix(3);
  RegDocument document;
  RegKey* current = nullptr;  // the part of the file the lines belong to
  bool header_seen = false;
  bool keys_seen = false;
  for (FileLine& read : LogicalLines(file_text)) {
    const std::string_view line = TrimLine(read.text);
    if (line.empty()) continue;
    if (!keys_seen && !header_seen && (line == kHeader || line == kOldHeader)) {
      header_seen = true;
      continue;
    }
    if (line.front() == '[') {
      keys_seen = true;
      std::string path;
      if (line.back() == ']' && !line.starts_with("[-")) {
        const std::string_view name = line.substr(1, line.size() - 2);
        if (Holds1252(name)) path = NormalizeKeyPath(Utf8ToWin1252(name));
      }
      if (path.empty()) {
        current = &document.keys.emplace_back(RegKey{"", std::move(read.raw), {}});
      } else {
        current = &document.AddKey(path);
      }
      continue;
    }
    if (!current) current = &document.keys.emplace_back();  // the lines before the first key
    RegValue value;
    if (!current->path.empty() && ParseValueLine(line, value)) {
      value.line = std::move(read.raw);
      current->SetValue(std::move(value));
    } else {
      current->values.push_back(RegValue{"", RegValueKind::kLine, "", 0, std::move(read.raw)});
    }
  }
  return document;
}

std::string WriteRegExport(const RegDocument& document) {
  std::string out(kHeader);
  out += "\n\n";
  for (const RegKey& key : document.keys) {
    if (!key.path.empty()) {
      out += '[';
      out += Win1252ToUtf8(key.path);
      out += "]\n";
    } else if (!key.header.empty()) {
      out += key.header;
      out += '\n';
    } else if (key.values.empty()) {
      continue;
    }
    for (const RegValue& value : key.values) {
      if (!value.line.empty()) {
        out += value.line;
        out += '\n';
        continue;
      }
      if (value.kind == RegValueKind::kLine) continue;
      out += value.name.empty() ? std::string("@") : Quote(value.name);
      out += '=';
      switch (value.kind) {
        case RegValueKind::kString:
          out += NeedsHex(value.text) ? HexText(value.text) : Quote(value.text);
          break;
        case RegValueKind::kDword: {
          char hex[16];
          std::snprintf(hex, sizeof hex, "dword:%08x", value.dword);
          out += hex;
          break;
        }
        case RegValueKind::kOther:
          out += value.text;
          break;
        case RegValueKind::kLine:
          break;
      }
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

std::string NotRewritable(std::string_view file_text) {
  if (StartsWithUtf16Mark(file_text)) return "line 1 begins with a UTF-16 byte-order mark";
  const size_t nul = file_text.find('\0');
  if (nul == std::string_view::npos) return "";
  const size_t line =
      1 + static_cast<size_t>(std::count(file_text.begin(), file_text.begin() + nul, '\n'));
  return "line " + std::to_string(line) + " holds a NUL byte";
}

}  // namespace platform
