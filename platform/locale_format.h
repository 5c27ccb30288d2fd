// The user's conventions for numbers and dates ("system format"), and the texts of
// date-time values built from them.
//
// The settings come from the user's locale, read once; the C and POSIX locales,
// which have no conventions of their own, give ISO dates ("yyyy-mm-dd") and 24-hour
// times. Tests pin the settings with ScopedFormatSettings, so that no text depends
// on the machine. The C library's own numeric locale is never changed.
#pragma once

#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace platform {

struct FormatSettings {
  char decimal_separator = '.';
  char thousand_separator = ',';
  char date_separator = '-';
  char time_separator = ':';
  // Patterns of FormatDateTime; "/" stands for the date separator and ":" for the
  // time separator.
  std::string short_date_format = "yyyy/mm/dd";
  std::string long_time_format = "hh:nn:ss";
  std::string short_time_format = "hh:nn";
  // Two-digit years are read within this many years before the current year (and
  // the years after it up to a century); 0: in the current century.
  int two_digit_year_century_window = 0;
};

// The settings in force.
const FormatSettings& CurrentFormatSettings();

// Changes the window of two-digit years in the settings in force.
void SetTwoDigitYearCenturyWindow(int years);

// The four-digit year that a two-digit Year (0..99) stands for in CurrentYear, by
// the window in force: with a window W > 0 the year lies in CurrentYear - W ..
// CurrentYear - W + 99; without one, in the current century.
int ExpandTwoDigitYear(int year, int current_year);

// Puts Settings in force for the lifetime of this object.
class ScopedFormatSettings {
 public:
  explicit ScopedFormatSettings(const FormatSettings& settings);
  ~ScopedFormatSettings();
  ScopedFormatSettings(const ScopedFormatSettings&) = delete;
  ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

 private:
  FormatSettings previous_;
};

// The date-time value as Pattern describes it, with the conventions in force:
//   c      short date, then a blank and the long time unless the time is midnight
//   d dd   day (dd: two digits)     ddddd  short date   t  short time  tt  long time
//   m mm   month, or minutes right after an hour   mmm mmmm  English month names
//   yy yyyy  year                   h hh  hour          n nn  minutes
//   s ss   seconds                  z zzz  milliseconds
//   am/pm a/p ampm  12-hour clock with "am"/"pm", "a"/"p" or "AM"/"PM"
//   /      date separator           :  time separator
//   "..." '...'  literal text; every other character stands for itself.
// Values outside 0001-01-01 .. 9999-12-31 (and NaN) give the texts of 0001-01-01
// 00:00.
std::string FormatDateTime(std::string_view pattern, DateTime value);
// FormatDateTime("c", Value).
std::string DateTimeToStr(DateTime value);
// The short date of Value.
std::string DateToStr(DateTime value);
// The long time of Value.
std::string TimeToStr(DateTime value);

}  // namespace platform
