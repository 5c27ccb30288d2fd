// The texts of TFloatEdit, the edit field in which Gasmimic's user types the
// measured values: the typing filter that keeps an unsigned decimal number with "."
// as its decimal point, and the field's Value read from and written as its text.
// The widget runs these; they need no widget.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The field's published About text.
inline constexpr std::string_view kFloatEditAbout = "v1.0, 990523";

// The text after the typing filter, walked from its first character: "," becomes
// "." and counts as one; the first "." is kept and every later one deleted; digits
// are kept; everything else (signs and blanks included) is deleted. The result
// holds only digits and at most one ".".
std::string FilterFloatText(std::string_view text);

// Value read: the text converted with the system's conversion
// (platform::TryTextToFloat, the user's decimal separator); when that fails and the
// text holds a ".", its first "." is replaced by "," and converted again. Raises EConvertError
// "'<text>' is not a valid floating point value" (the text last tried) when no conversion succeeds;
// an empty text so raises.
double FloatTextToValue(std::string_view text);

// Value written: the number in fixed notation with "." (15 significant digits, no
// exponent, no trailing zeros), so that the typing filter keeps it. Nothing for a
// value the field cannot show, negative or not finite: the text then stays.
std::optional<std::string> FloatValueToText(double value);
