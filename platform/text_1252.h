// Conversions between the system's 8-bit texts (Windows-1252) and Unicode.
//
// Windows-1252 leaves five bytes undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D); like
// Windows they map to the C1 control characters of the same value, so that every
// byte survives a round trip. A character that Windows-1252 cannot hold becomes "?".
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string Win1252ToUtf16(std::string_view text);
// One byte per UTF-16 code unit, as the system's ANSI conversion gives it: each
// half of a surrogate pair becomes a "?" of its own, so the text keeps the length
// in code units that its UTF-16 form had.
std::string Utf16ToWin1252(std::u16string_view text);

// UTF-16 as UTF-8, surrogate pairs joined; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

std::string Win1252ToUtf8(std::string_view text);
// Invalid UTF-8 becomes "?" as well: one per maximal ill-formed subsequence (a lead
// byte with the continuation bytes that still fitted it, or a stray byte), so that
// overlong forms, encoded surrogates and truncated sequences never hide valid text.
std::string Utf8ToWin1252(std::string_view text);

// The text with its letters in upper case, as Windows compares names without case:
// ASCII and the Windows-1252 letters alike (a-grave .. thorn except the division
// sign, s-caron, o-e ligature, z-caron, y-diaeresis).
std::string UpperCase1252(std::string_view text);

// Whether A and B are equal without regard to case (by UpperCase1252).
bool SameText1252(std::string_view a, std::string_view b);

// A line of a text file as the ini and settings files take it: without leading
// blanks and tabs, and without trailing blanks, tabs and carriage returns.
std::string_view TrimLine(std::string_view line);

}  // namespace platform
