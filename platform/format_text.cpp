#include "platform/format_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/exception.h"
#include "platform/locale.h"

namespace platform {
namespace {

// A finite, non-negative value as decimal digits: value = 0.Digits x 10^Exponent,
// Digits without trailing zeros; zero has no digits.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal ToDecimal(double magnitude) {
  // Seventeen significant digits tell every double apart.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.16e", magnitude);
  Decimal d;
  const char* p = buffer;
  for (; *p && *p != 'e'; ++p) {
    if (std::isdigit(static_cast<unsigned char>(*p))) d.digits += *p;
  }
  d.exponent = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
  while (!d.digits.empty() && d.digits.back() == '0')
    d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
  return d;
}

// Keeps Count significant digits, rounding half away from zero.
void RoundToDigits(Decimal& d, int count) {
  if (d.digits.empty() || count >= static_cast<int>(d.digits.size())) return;
  if (count < 0) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  const bool up = d.digits[static_cast<size_t>(count)] >= '5';
  d.digits.resize(static_cast<size_t>(count));
  if (up) {
    int i = count - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') {
      d.digits[static_cast<size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0')
    d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

char DigitAt(const Decimal& d, int index) {
  return index >= 0 && index < static_cast<int>(d.digits.size())
             ? d.digits[static_cast<size_t>(index)]
             : '0';
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

std::string Fixed(double value, int decimals, bool thousands) {
  if (!std::isfinite(value)) return NonFinite(value);
  Decimal d = ToDecimal(std::fabs(value));
  RoundToDigits(d, d.exponent + decimals);
  const LocaleSettings& settings = CurrentLocale();
  std::string whole;
  if (d.exponent > 0) {
    for (int i = 0; i < d.exponent; ++i)
      whole += DigitAt(d, i);
  } else {
    whole = "0";
  }
  if (thousands) {
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
      whole.insert(static_cast<size_t>(i), 1, settings.thousand_separator);
  }
  std::string text = (value < 0 && !d.digits.empty()) ? "-" + whole : whole;
  if (decimals > 0) {
    text += settings.decimal_separator;
    for (int i = 0; i < decimals; ++i)
      text += DigitAt(d, d.exponent + i);
  }
  return text;
}

std::string ExponentText(int exponent, bool plus, int min_digits) {
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < min_digits)
    digits.insert(0, static_cast<size_t>(min_digits) - digits.size(), '0');
  if (exponent < 0) return "-" + digits;
  return plus ? "+" + digits : digits;
}

std::string Scientific(double value, int precision) {
  if (!std::isfinite(value)) return NonFinite(value);
  precision = std::clamp(precision, 1, 18);
  Decimal d = ToDecimal(std::fabs(value));
  RoundToDigits(d, precision);
  std::string text = value < 0 ? "-" : "";
  text += DigitAt(d, 0);
  if (precision > 1) {
    text += DecimalSeparator();
    for (int i = 1; i < precision; ++i)
      text += DigitAt(d, i);
  }
  return text + "E" + ExponentText(d.digits.empty() ? 0 : d.exponent - 1, true, 3);
}

std::string Hex(int64_t value, int min_digits) {
  char buffer[24];
  if (value >= INT32_MIN && value <= INT32_MAX) {
    std::snprintf(buffer, sizeof buffer, "%X", static_cast<uint32_t>(value));
  } else {
    std::snprintf(buffer, sizeof buffer, "%llX",
                  static_cast<unsigned long long>(static_cast<uint64_t>(value)));
  }
  std::string text = buffer;
  if (static_cast<int>(text.size()) < min_digits)
    text.insert(0, static_cast<size_t>(min_digits) - text.size(), '0');
  return text;
}

std::string Integer(int64_t value, int min_digits) {
  std::string digits =
      std::to_string(value < 0 ? -static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
  if (static_cast<int>(digits.size()) < min_digits)
    digits.insert(0, static_cast<size_t>(min_digits) - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string Trim(std::string_view text) {
  const auto is_space = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && is_space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && is_space(text.back()))
    text.remove_suffix(1);
  return std::string(text);
}

std::string FloatToStrGeneral(double value, int precision, int exponent_digits) {
  if (!std::isfinite(value)) return NonFinite(value);
  precision = std::clamp(precision, 1, 18);
  Decimal d = ToDecimal(std::fabs(value));
  RoundToDigits(d, precision);
  if (d.digits.empty()) return "0";
  const char separator = DecimalSeparator();
  std::string text = value < 0 ? "-" : "";
  const int exponent10 = d.exponent - 1;
  if (d.exponent > precision || exponent10 < -5) {
    text += d.digits[0];
    if (d.digits.size() > 1) {
      text += separator;
      text.append(d.digits, 1);
    }
    return text + "E" + ExponentText(exponent10, false, exponent_digits);
  }
  if (d.exponent > 0) {
    for (int i = 0; i < d.exponent; ++i)
      text += DigitAt(d, i);
    if (static_cast<int>(d.digits.size()) > d.exponent) {
      text += separator;
      text.append(d.digits, static_cast<size_t>(d.exponent));
    }
  } else {
    text += '0';
    text += separator;
    text.append(static_cast<size_t>(-d.exponent), '0');
    text += d.digits;
  }
  return text;
}

namespace {

// One Format call: the pattern read so far and the next value to take. Every
// fault of the pattern or of its values throws the same EConvertError.
class Formatter {
 public:
  Formatter(std::string_view format, std::initializer_list<FormatArg> args)
      : format_(format), values_(args) {}

  std::string Run() {
    std::string out;
    while (i_ < format_.size()) {
      const char c = format_[i_++];
      if (c != '%') {
        out += c;
      } else if (Peek() == '%') {
        out += '%';
        ++i_;
      } else {
        out += Specifier();
      }
    }
    return out;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + std::string(format_) +
                        "' invalid or incompatible with argument");
  }

  const FormatArg& Take() {
    if (next_ >= values_.size()) Fail();
    return values_[next_++];
  }

  char Peek() const { return i_ < format_.size() ? format_[i_] : '\0'; }

  // A number of the specifier, or "*" for the next value; false when none stands there.
  bool ReadNumber(int& number) {
    if (Peek() == '*') {
      ++i_;
      const FormatArg& arg = Take();
      if (arg.kind() != FormatArg::Kind::kInteger) Fail();
      number = static_cast<int>(std::clamp<int64_t>(arg.integer(), -1000000, 1000000));
      return true;
    }
    if (!std::isdigit(static_cast<unsigned char>(Peek()))) return false;
    int64_t n = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) {
      n = std::min<int64_t>(n * 10 + (format_[i_] - '0'), 1000000);
      ++i_;
    }
    number = static_cast<int>(n);
    return true;
  }

  // The text of the specifier after a '%': its index, flag, width and precision,
  // then its type letter and value, padded to the width.
  std::string Specifier() {
    int number = 0;
    bool have_number = ReadNumber(number);
    if (have_number && Peek() == ':') {
      if (number < 0) Fail();
      next_ = static_cast<size_t>(number);
      ++i_;
      have_number = false;
    }
    bool left = false;
    if (!have_number && Peek() == '-') {
      left = true;
      ++i_;
    }
    int width = -1;
    if (have_number) {
      width = number;
    } else if (ReadNumber(number)) {
      width = number;
    }
    if (width < -1) {
      left = true;
      width = -width;
    }
    int precision = -1;
    if (Peek() == '.') {
      ++i_;
      if (!ReadNumber(precision)) precision = 0;
    }
    if (i_ >= format_.size()) Fail();
    const char type = static_cast<char>(std::tolower(static_cast<unsigned char>(format_[i_++])));
    std::string text = Converted(type, Take(), precision);
    Pad(text, width, left);
    return text;
  }

  std::string Converted(char type, const FormatArg& arg, int precision) const {
    switch (type) {
      case 'd':
      case 'u':
      case 'x':
        if (arg.kind() != FormatArg::Kind::kInteger) Fail();
        if (type == 'd') return Integer(arg.integer(), precision);
        if (type == 'u') return Integer(static_cast<uint32_t>(arg.integer()), precision);
        return Hex(arg.integer(), precision);
      case 'e':
      case 'f':
      case 'g':
      case 'n':
        if (arg.kind() != FormatArg::Kind::kFloat) Fail();
        if (type == 'e') return Scientific(arg.floating(), precision < 0 ? 15 : precision);
        if (type == 'f') return Fixed(arg.floating(), precision < 0 ? 2 : precision, false);
        if (type == 'n') return Fixed(arg.floating(), precision < 0 ? 2 : precision, true);
        return FloatToStrGeneral(arg.floating(), precision < 0 ? 15 : precision);
      case 's': {
        if (arg.kind() != FormatArg::Kind::kString) Fail();
        std::string text(arg.string());
        if (precision >= 0 && static_cast<size_t>(precision) < text.size())
          text.resize(static_cast<size_t>(precision));
        return text;
      }
      default:
        Fail();
    }
  }

  static void Pad(std::string& text, int width, bool left) {
    if (width <= static_cast<int>(text.size())) return;
    const size_t pad = static_cast<size_t>(width) - text.size();
    if (left) {
      text.append(pad, ' ');
    } else {
      text.insert(0, pad, ' ');
    }
  }

  std::string_view format_;
  std::vector<FormatArg> values_;
  size_t next_ = 0;  // the value the next specifier takes
  size_t i_ = 0;     // the next character of the pattern
};

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  return Formatter(format, args).Run();
}

}  // namespace platform
