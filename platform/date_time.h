// Date-time values: days since 1899-12-30 as a double, in local time; the whole
// part counts days, the fraction is the time of day. For negative values the whole
// part is the (negative) day and the fraction's absolute value the time of that day,
// so -1.25 is 1899-12-29 06:00.
//
// Decoding rounds the whole value to the millisecond first, so a value a fraction
// of a millisecond below midnight decodes as 00:00 of the next day, never as 24:00.
#pragma once

#include <cstdint>

namespace platform {

using DateTime = double;

struct DateParts {
  int year = 0;   // 1..9999
  int month = 0;  // 1..12
  int day = 0;    // 1..31
};

struct TimeParts {
  int hour = 0;         // 0..23
  int minute = 0;       // 0..59
  int second = 0;       // 0..59
  int millisecond = 0;  // 0..999
};

constexpr double kMSecsPerDay = 86400000.0;
// 0001-01-01 and 9999-12-31 23:59:59.999, the range of valid values.
constexpr DateTime kMinDateTime = -693593.0;
constexpr DateTime kMaxDateTime = 2958465.99999999;

// False, leaving Result alone, when the parts do not name a date of 1..9999.
bool TryEncodeDate(int year, int month, int day, DateTime& result);
// Raises EConvertError "Invalid argument to date encode".
DateTime EncodeDate(int year, int month, int day);
// False when the parts are out of range (hour 0..23, minute and second 0..59,
// millisecond 0..999).
bool TryEncodeTime(int hour, int minute, int second, int millisecond, DateTime& result);
// Raises EConvertError "Invalid argument to time encode".
DateTime EncodeTime(int hour, int minute, int second, int millisecond);

// The value must be valid (IsValidDateTime); others decode as 0001-01-01 / 00:00.
DateParts DecodeDate(DateTime value);
TimeParts DecodeTime(DateTime value);

// Finite and within kMinDateTime..kMaxDateTime.
bool IsValidDateTime(DateTime value);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// The current local date and time, to the millisecond.
DateTime Now();

}  // namespace platform
