#include "platform/date_time.h"

#include <time.h>

#include <cmath>
#include <cstdlib>

#include "platform/exception.h"

namespace platform {
namespace {

constexpr int64_t kMSecsPerDayInt = 86400000;

// Day 0 of the system, 1899-12-30, counted from 1970-01-01.
constexpr int64_t kEpochOffset = -25569;

// Days since 1970-01-01 in the proleptic Gregorian calendar. Shifting the year to
// start in March puts the leap day at the end, so that each 400-year era is regular.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

DateParts CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t march_month = (5 * day_of_year + 2) / 153;
  DateParts parts;
  parts.day = static_cast<int>(day_of_year - (153 * march_month + 2) / 5 + 1);
  parts.month = static_cast<int>(march_month < 10 ? march_month + 3 : march_month - 9);
  parts.year = static_cast<int>(year_of_era + era * 400 + (parts.month <= 2 ? 1 : 0));
  return parts;
}

// The value in whole milliseconds; rounding before splitting keeps a value just
// short of midnight from decoding as 24:00.
int64_t ToMilliseconds(DateTime value) {
  return std::llround(value * kMSecsPerDay);
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, DateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  result = static_cast<DateTime>(DaysFromCivil(year, month, day) - kEpochOffset);
  return true;
}

DateTime EncodeDate(int year, int month, int day) {
  DateTime result = 0;
  if (!TryEncodeDate(year, month, day, result)) {
    throw EConvertError("Invalid argument to date encode");
  }
  return result;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, DateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  result = static_cast<DateTime>(ms) / kMSecsPerDay;
  return true;
}

DateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  DateTime result = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, result)) {
    throw EConvertError("Invalid argument to time encode");
  }
  return result;
}

DateParts DecodeDate(DateTime value) {
  if (!IsValidDateTime(value)) return DateParts{1, 1, 1};
  return CivilFromDays(ToMilliseconds(value) / kMSecsPerDayInt + kEpochOffset);
}

TimeParts DecodeTime(DateTime value) {
  if (!IsValidDateTime(value)) return TimeParts{};
  int64_t ms = std::llabs(ToMilliseconds(value)) % kMSecsPerDayInt;
  TimeParts parts;
  parts.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  parts.second = static_cast<int>(ms % 60);
  ms /= 60;
  parts.minute = static_cast<int>(ms % 60);
  parts.hour = static_cast<int>(ms / 60);
  return parts;
}

bool IsValidDateTime(DateTime value) {
  return std::isfinite(value) && value >= kMinDateTime && value <= kMaxDateTime;
}

DateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         // A leap second (tm_sec 60) has no value of its own; it stays in the minute.
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                    static_cast<int>(now.tv_nsec / 1000000));
}

}  // namespace platform
