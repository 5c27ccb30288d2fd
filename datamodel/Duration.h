// Time spans (date-time differences in days) as days, hours, minutes and seconds
// and as a short text, in four modes:
//   0  all in seconds            "62s"
//   1  minutes and seconds       "01m02s"
//   2  hours, minutes, seconds   "26:05:00"
//   3  days and a time           "1  02:03:04" (two blanks)
// The span is rounded to the nearest second; the sign comes from the span itself,
// so a span just below zero shows as "-00:00:00". Parts are 64-bit, so no span
// wraps round: spans of kMaxDurationDays or more (and NaN) count as that many (as 0).
#pragma once

#include <cstdint>
#include <string>

// The longest span shown, in days: its seconds still fit an int64 with room to spare.
inline constexpr double kMaxDurationDays = 1e14;

struct TDuration {
  int64_t days = 0;
  int64_t hours = 0;
  int64_t minutes = 0;
  int64_t seconds = 0;
  std::string text;
};

// Fills Result for Mode 0-3; another mode leaves it untouched. The time separator
// is the user's; with OmitZeroSeconds a time without seconds ends at the minutes.
void FormatDuration(uint8_t mode, double span, bool omit_zero_seconds, TDuration& result);
// The text alone (empty for an unknown mode).
std::string DurationText(uint8_t mode, double span, bool omit_zero_seconds = false);

// The duration unit's start: two-digit years are taken within 50 years of the
// current year. RegisterDataModel runs it once; each call sets the window again.
void InitDurationUnit();
