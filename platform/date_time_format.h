// Texts of date-time values in the user's conventions: the toolkit's
// FormatDateTime and the "system format" DateTimeToStr, with the pictures and
// separators of the settings in force (locale.h; tests pin them there).
#pragma once

#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/locale.h"

namespace platform {

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
// The value in "system format": FormatDateTime("c", Value), the short date and,
// unless the time is midnight, a blank and the long time.
std::string DateTimeToStr(DateTime value);
// The short date of Value.
std::string DateToStr(DateTime value);
// The long time of Value.
std::string TimeToStr(DateTime value);

}  // namespace platform
