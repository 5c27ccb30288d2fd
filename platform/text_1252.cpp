#include "platform/text_1252.h"

#include <array>
#include <cstdint>

namespace platform {
namespace {

// The code points of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char kReplacement = '?';

char32_t ByteToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

// The byte for a code point, or the replacement when the code page lacks it.
char CodePointToByte(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return kReplacement;
}

void AppendUtf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the sequence at Pos and advances Pos past it. An ill-formed sequence gives
// kInvalid, with Pos past the longest prefix that could have begun a valid sequence
// (at least one byte): each broken sequence costs one replacement, and a valid
// character after it is never swallowed.

char32_t DecodeUtf8(std::string_view text, size_t& pos) {
  const auto byte_at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte_at(pos++);
  if (lead < 0x80) return lead;

  int length = 0;
  char32_t code_point = 0;
  // The range of the second byte excludes overlong forms, surrogates and values
  // above U+10FFFF at the earliest byte where they show.
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  } else {
    return kInvalid;
  }

  for (int i = 1; i < length; ++i) {
    if (pos >= text.size()) return kInvalid;
    const unsigned char byte = byte_at(pos);
    const bool fits = i == 1 ? byte >= second_min && byte <= second_max : IsContinuation(byte);
    if (!fits) return kInvalid;
    code_point = (code_point << 6) | (byte & 0x3F);
    ++pos;
  }
  return code_point;
}

}  // namespace

std::u16string Win1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text)
    out += static_cast<char16_t>(ByteToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf16ToWin1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  // Unit by unit: a surrogate, paired or not, is outside the code page and becomes
  // "?" on its own.
  for (const char16_t unit : text)
    out += CodePointToByte(unit);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code_point = text[i];
    if (code_point >= 0xD800 && code_point < 0xDC00 && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      code_point = 0x10000 + ((code_point - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (code_point >= 0xD800 && code_point < 0xE000) code_point = 0xFFFD;
    AppendUtf8(code_point, out);
  }
  return out;
}

std::string Win1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    AppendUtf8(ByteToCodePoint(static_cast<unsigned char>(c)), out);
  return out;
}

std::string Utf8ToWin1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char32_t code_point = DecodeUtf8(text, pos);
    out += code_point == kInvalid ? kReplacement : CodePointToByte(code_point);
  }
  return out;
}

namespace {

unsigned char UpperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  // a-grave .. thorn (except the division sign) fold onto their capitals 0x20
  // lower; s-caron, o-e ligature and z-caron 0x10 lower; y-diaeresis to 0x9F.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 0x10);
  if (c == 0xFF) return 0x9F;
  return c;
}

}  // namespace

std::string UpperCase1252(std::string_view text) {
  std::string upper;
  upper.reserve(text.size());
  for (unsigned char c : text)
    upper.push_back(static_cast<char>(UpperByte(c)));
  return upper;
}

bool SameText1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperByte(static_cast<unsigned char>(a[i])) != UpperByte(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view TrimLine(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
    line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  return line;
}

}  // namespace platform
