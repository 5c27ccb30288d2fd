#include "simulator/CarouselText.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/exception.h"
#include "platform/locale.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string FilterFloatText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  bool has_point = false;
  for (char c : text) {
    if (c == ',') c = '.';
    if (c == '.') {
      if (has_point) continue;
      has_point = true;
      result += c;
    } else if (IsDigit(c)) {
      result += c;
    }
  }
  return result;
}

double FloatTextToValue(std::string_view text) {
  double value = 0;
  if (platform::TryTextToFloat(text, value)) return value;
  const size_t point = text.find('.');
  if (point == std::string_view::npos)
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
  std::string comma(text);
  comma[point] = ',';
  if (platform::TryTextToFloat(comma, value)) return value;
  throw EConvertError("'" + comma + "' is not a valid floating point value");
}

std::optional<std::string> FloatValueToText(double value) {
  if (!std::isfinite(value) || value < 0) return std::nullopt;
  if (value == 0) return "0";

  // 15 significant digits, as the system's conversion writes a double, taken from
  // the scientific form "d.dddddddddddddde±x" and laid out without the exponent.
  // Near the largest double the rounding can go beyond it, and the text would not
  // read back; 17 digits always do.
  char buffer[40];
  std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  if (written.ec != std::errc()) return std::nullopt;
  double back = 0;
  if (std::from_chars(buffer, written.ptr, back).ec != std::errc()) {
    written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16);
    if (written.ec != std::errc()) return std::nullopt;
  }
  const char* const ptr = written.ptr;
  const std::string_view scientific(buffer, ptr - buffer);
  const size_t e = scientific.find('e');
  std::string digits;
  digits += scientific[0];
  digits += scientific.substr(2, e - 2);
  int exponent = 0;
  std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'), ptr, exponent);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  std::string text;
  if (exponent < 0) {
    text = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const auto whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      text = digits + std::string(whole - digits.size(), '0');
    } else {
      text = digits.substr(0, whole) + "." + digits.substr(whole);
    }
  }
  return text;
}
