#include "simulator/CarouselText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "platform/exception.h"

namespace simulator {

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

bool TryDecimalTextToFloat(std::string_view text, char decimal_separator, double& value) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && text[begin] == ' ')
    ++begin;
  while (end > begin && text[end - 1] == ' ')
    --end;

  // Rewritten in the form from_chars reads: "." as the point, no "+".
  std::string normal;
  size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  int digits = 0;
  bool point = false;
  for (; i < end; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      normal += c;
      ++digits;
    } else if (c == decimal_separator && !point) {
      normal += '.';
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < end && (text[i] == 'E' || text[i] == 'e')) {
    normal += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    const size_t exponent_start = i;
    while (i < end && IsDigit(text[i]))
      normal += text[i++];
    if (i == exponent_start) return false;
  }
  if (i != end) return false;

  double result = 0;
  const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), result);
  if (ec != std::errc() || ptr != normal.data() + normal.size()) {
    // from_chars reports underflow as out of range too; a tiny value is zero.
    if (ec != std::errc::result_out_of_range) return false;
    const double approx = std::strtod(normal.c_str(), nullptr);
    if (std::isinf(approx)) return false;
    result = approx;
  }
  value = result;
  return true;
}

double FloatTextToValue(std::string_view text, char decimal_separator) {
  double value = 0;
  if (TryDecimalTextToFloat(text, decimal_separator, value)) return value;
  const size_t point = text.find('.');
  if (point == std::string_view::npos)
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
  std::string comma(text);
  comma[point] = ',';
  if (TryDecimalTextToFloat(comma, decimal_separator, value)) return value;
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

}  // namespace simulator
