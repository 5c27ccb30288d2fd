#include "platform/registry_file.h"

#include <cstdio>

#include "platform/text_1252.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

// The logical lines of the file: physical lines, with those ending in "\" joined to
// the next one (whose leading blanks go), as long hex data is written.
std::vector<std::string> LogicalLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string pending;
  bool continuing = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    // Only hex data ends a line in "\": texts end in a quote, keys in "]".
    pending += continuing ? TrimLine(line) : line;
    while (!pending.empty() && (pending.back() == '\r' || pending.back() == ' '))
      pending.pop_back();
    continuing = !pending.empty() && pending.back() == '\\';
    if (continuing) {
      pending.pop_back();
      continue;
    }
    lines.push_back(std::move(pending));
    pending.clear();
  }
  if (!pending.empty()) lines.push_back(std::move(pending));
  return lines;
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
  } else if (!ReadQuoted(line, value.name)) {
    return false;
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
    if (SameText1252(value.name, name)) return &value;
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
    if (SameText1252(it->name, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

RegKey* RegDocument::FindKey(std::string_view path) {
  const std::string wanted = NormalizeKeyPath(path);
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
  keys.push_back(RegKey{wanted, {}});
  return keys.back();
}

RegDocument ParseRegExport(std::string_view file_text) {
  if (file_text.starts_with("\xEF\xBB\xBF")) file_text.remove_prefix(3);
  RegDocument document;
  RegKey* current = nullptr;
  for (const std::string& raw : LogicalLines(file_text)) {
    const std::string_view line = TrimLine(raw);
    if (line.empty() || line.front() == ';' || line == kHeader || line == kOldHeader) continue;
    if (line.front() == '[') {
      current = nullptr;
      if (line.back() != ']' || line.starts_with("[-")) continue;
      const std::string path = NormalizeKeyPath(Utf8ToWin1252(line.substr(1, line.size() - 2)));
      if (!path.empty()) current = &document.AddKey(path);
      continue;
    }
    RegValue value;
    if (current && ParseValueLine(line, value)) current->SetValue(std::move(value));
  }
  return document;
}

std::string WriteRegExport(const RegDocument& document) {
  std::string out(kHeader);
  out += "\n\n";
  for (const RegKey& key : document.keys) {
    out += '[';
    out += Win1252ToUtf8(key.path);
    out += "]\n";
    for (const RegValue& value : key.values) {
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
      }
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

}  // namespace platform
