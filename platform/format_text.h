// Texts built from a format and values, as the runtime's Format builds them: the
// user-visible texts of the system are formats (resource strings, replaceable by a
// language module), so the format is read at run time, not by the compiler.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

// One value for Format: an integer, a floating-point number or a text.
class FormatArg {
 public:
  enum class Kind { kInteger, kFloat, kString };

  FormatArg(int value) : kind_(Kind::kInteger), integer_(value) {}
  FormatArg(long value) : kind_(Kind::kInteger), integer_(value) {}
  FormatArg(long long value) : kind_(Kind::kInteger), integer_(value) {}
  FormatArg(unsigned value) : kind_(Kind::kInteger), integer_(value) {}
  FormatArg(double value) : kind_(Kind::kFloat), float_(value) {}
  FormatArg(std::string_view value) : kind_(Kind::kString), string_(value) {}
  FormatArg(const std::string& value) : kind_(Kind::kString), string_(value) {}
  FormatArg(const char* value) : kind_(Kind::kString), string_(value) {}

  Kind kind() const { return kind_; }
  int64_t integer() const { return integer_; }
  double floating() const { return float_; }
  std::string_view string() const { return string_; }

 private:
  Kind kind_;
  int64_t integer_ = 0;
  double float_ = 0;
  std::string_view string_;
};

// Format, with each specifier "%" [index ":"] ["-"] [width] ["." precision] type:
//   d  integer; precision: least number of digits (zero-padded)
//   u  integer as unsigned 32 bits       x  integer in hexadecimal (upper case)
//   e  scientific "-d.ddd...E+ddd", precision significant digits (default 15)
//   f  fixed, precision decimals (default 2)
//   n  as f, with thousand separators
//   g  general: the shorter of fixed and scientific, precision significant digits
//      (default 15), trailing zeros removed
//   s  text; precision: most characters
// Types are upper or lower case; "%%" is a "%". Index (from 0) chooses the value,
// and values without an index follow on from the last one used; "*" as width or
// precision takes the next value. Width pads with blanks on the left ("-": right).
// Decimal and thousand separators are those in force (locale.h). Numbers
// round half away from zero. A specifier that does not fit its value, or that
// runs out of values, raises EConvertError
// "Format '<format>' invalid or incompatible with argument".
std::string Format(std::string_view format, std::initializer_list<FormatArg> args);

// The general format of Value with Precision significant digits: fixed when the
// value has at most Precision digits before the point and is at least 0.00001,
// else scientific ("1.5E20", "1E-7", at least ExponentDigits exponent digits);
// trailing zeros and a bare point removed; "NAN", "INF", "-INF" for the others.
std::string FloatToStrGeneral(double value, int precision = 15, int exponent_digits = 0);
// Text without the blanks and control characters (bytes up to 0x20) at either end.
std::string Trim(std::string_view text);

// The value as a general number: FloatToStrGeneral(Value, 15, 0).
inline std::string FloatToStr(double value) {
  return FloatToStrGeneral(value);
}

}  // namespace platform
