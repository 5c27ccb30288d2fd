#include "platform/ini_file.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/exception.h"
#include "platform/files.h"
#include "platform/text_1252.h"

namespace platform {
namespace {

// The file's text; nothing when it does not exist or cannot be read.
std::optional<std::string> ReadIni(const std::string& file_name) {
  std::string path = file_name;
  if (!FileExists(path)) {
    const size_t slash = file_name.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "" : file_name.substr(0, slash);
    const std::string name = slash == std::string::npos ? file_name : file_name.substr(slash + 1);
    std::optional<std::string> found = FindNoCase(folder, name);
    if (!found || !FileExists(*found)) return std::nullopt;
    path = *found;
  }
  std::string text;
  try {
    text = ReadFileToString(path);
  } catch (const Exception&) {
    return std::nullopt;
  }
  return text;
}

// Walks the lines of Text, calling Visit(section, key, value) for each key line
// (key and value trimmed) and Visit(section, nothing, nothing) at each section
// header, until Visit returns true.
template <typename Visit>
void Walk(std::string_view text, Visit visit) {
  std::string_view section;
  bool in_section = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = TrimLine(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      section =
          TrimLine(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      in_section = true;
      if (visit(section, std::optional<std::string_view>(), std::string_view())) return;
      continue;
    }
    const size_t equals = line.find('=');
    if (!in_section || equals == std::string_view::npos) continue;
    if (visit(section, std::optional(TrimLine(line.substr(0, equals))),
              TrimLine(line.substr(equals + 1))))
      return;
  }
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& default_value) const {
  std::string_view fallback = default_value;
  while (!fallback.empty() && fallback.back() == ' ')
    fallback.remove_suffix(1);
  std::optional<std::string> text = ReadIni(file_name_);
  if (!text) return std::string(fallback);
  // Only the first section of the name counts, as Windows reads it.
  bool seen_section = false;
  bool in_wanted = false;
  std::optional<std::string> result;
  Walk(*text,
       [&](std::string_view name, std::optional<std::string_view> key, std::string_view value) {
         if (!key) {
           if (in_wanted) return true;  // the wanted section ended without the key
           in_wanted = !seen_section && SameText1252(name, section);
           seen_section = seen_section || in_wanted;
           return false;
         }
         if (in_wanted && SameText1252(*key, ident)) {
           result = std::string(Unquote(value));
           return true;
         }
         return false;
       });
  return result ? *result : std::string(fallback);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& ident,
                              int32_t default_value) const {
  const std::string text = ReadString(section, ident, "");
  std::string_view digits = TrimLine(text);
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.starts_with('$')) {
    base = 16;
    digits.remove_prefix(1);
  } else if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  }
  int64_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    return default_value;
  }
  if (negative) value = -value;
  // Hexadecimal texts name the 32 bits themselves, as "$FFFFFFFF" is -1.
  if (base == 16 && value >= 0 && value <= 0xFFFFFFFFll) return static_cast<int32_t>(value);
  if (value < INT32_MIN || value > INT32_MAX) return default_value;
  return static_cast<int32_t>(value);
}

bool TIniFile::SectionExists(const std::string& section) const {
  std::optional<std::string> text = ReadIni(file_name_);
  if (!text) return false;
  bool found = false;
  Walk(*text, [&](std::string_view name, std::optional<std::string_view> key, std::string_view) {
    found = !key && SameText1252(name, section);
    return found;
  });
  return found;
}

}  // namespace platform
