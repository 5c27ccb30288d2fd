#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

#include "platform/exception.h"

namespace platform {
namespace {

struct DayCase {
  int year, month, day;
  double value;
};

// Day numbers worked out by hand from known anchors (1970-01-01 is day 25569,
// 2000-01-01 day 36526), including the leap-year rules at century years.
const DayCase kDays[] = {
    {1899, 12, 30, 0},    {1899, 12, 31, 1},       {1899, 12, 29, -1},  {1900, 1, 1, 2},
    {1900, 2, 28, 60},    {1900, 3, 1, 61},        {1970, 1, 1, 25569}, {2000, 1, 1, 36526},
    {2000, 2, 29, 36585}, {2000, 3, 1, 36586},     {2024, 1, 1, 45292}, {2024, 2, 29, 45351},
    {1, 1, 1, -693593},   {9999, 12, 31, 2958465},
};

TEST(DateTimeTest, EncodeDateGivesTheDayNumber) {
  for (const DayCase& c : kDays) {
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.value)
        << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(DateTimeTest, DecodeDateGivesTheParts) {
  for (const DayCase& c : kDays) {
    const DateParts parts = DecodeDate(c.value);
    EXPECT_EQ(parts.year, c.year) << c.value;
    EXPECT_EQ(parts.month, c.month) << c.value;
    EXPECT_EQ(parts.day, c.day) << c.value;
  }
}

// Every day of the range: decoding and encoding agree, and consecutive values are
// consecutive calendar days.
TEST(DateTimeTest, EveryDayRoundTrips) {
  DateParts previous = DecodeDate(kMinDateTime);
  for (int64_t day = static_cast<int64_t>(kMinDateTime) + 1; day <= 2958465; ++day) {
    const DateParts parts = DecodeDate(static_cast<double>(day));
    DateTime encoded = 0;
    ASSERT_TRUE(TryEncodeDate(parts.year, parts.month, parts.day, encoded)) << day;
    ASSERT_EQ(encoded, static_cast<double>(day));
    const bool next_day_in_month = parts.year == previous.year && parts.month == previous.month &&
                                   parts.day == previous.day + 1;
    const bool first_of_next_month =
        parts.day == 1 && previous.day == DaysInMonth(previous.year, previous.month) &&
        (parts.month == previous.month + 1 ||
         (parts.month == 1 && previous.month == 12 && parts.year == previous.year + 1));
    ASSERT_TRUE(next_day_in_month || first_of_next_month) << day;
    previous = parts;
  }
  EXPECT_EQ(previous.year, 9999);
}

TEST(DateTimeTest, InvalidDatesAreRejected) {
  const DateParts invalid[] = {
      {0, 1, 1},     {10000, 1, 1}, {-1, 1, 1},    {2024, 0, 1},  {2024, 13, 1}, {2024, 1, 0},
      {2024, 1, 32}, {2024, 4, 31}, {2023, 2, 29}, {1900, 2, 29}, {2100, 2, 29},
  };
  for (const DateParts& d : invalid) {
    DateTime result = 123.5;
    EXPECT_FALSE(TryEncodeDate(d.year, d.month, d.day, result))
        << d.year << "-" << d.month << "-" << d.day;
    EXPECT_EQ(result, 123.5) << "the result must stay untouched";
    try {
      EncodeDate(d.year, d.month, d.day);
      ADD_FAILURE() << "no exception for " << d.year << "-" << d.month << "-" << d.day;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
  }
  DateTime result = 0;
  EXPECT_TRUE(TryEncodeDate(1600, 2, 29, result));
}

TEST(DateTimeTest, EncodeTime) {
  EXPECT_EQ(EncodeTime(0, 0, 0, 0), 0.0);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(23, 59, 59, 999), 86399999.0 / 86400000.0);
  EXPECT_DOUBLE_EQ(EncodeTime(1, 2, 3, 4), 3723004.0 / 86400000.0);
}

TEST(DateTimeTest, InvalidTimesAreRejected) {
  const TimeParts invalid[] = {
      {24, 0, 0, 0}, {-1, 0, 0, 0}, {0, 60, 0, 0},   {0, -1, 0, 0},
      {0, 0, 60, 0}, {0, 0, -1, 0}, {0, 0, 0, 1000}, {0, 0, 0, -1},
  };
  for (const TimeParts& t : invalid) {
    DateTime result = 0.75;
    EXPECT_FALSE(TryEncodeTime(t.hour, t.minute, t.second, t.millisecond, result))
        << t.hour << ":" << t.minute << ":" << t.second << "." << t.millisecond;
    EXPECT_EQ(result, 0.75);
    try {
      EncodeTime(t.hour, t.minute, t.second, t.millisecond);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
  }
}

TEST(DateTimeTest, DecodeRoundsToTheMillisecondFirst) {
  struct Case {
    const char* name;
    double value;
    DateParts date;
    TimeParts time;
  };
  const double ms = 1.0 / kMSecsPerDay;
  const Case cases[] = {
      {"day 0", 0, {1899, 12, 30}, {0, 0, 0, 0}},
      {"noon", 36526.5, {2000, 1, 1}, {12, 0, 0, 0}},
      {"negative fraction stays on day 0", -0.25, {1899, 12, 30}, {6, 0, 0, 0}},
      {"negative day with time", -1.25, {1899, 12, 29}, {6, 0, 0, 0}},
      {"negative day with ms", -2 - 3723004 * ms, {1899, 12, 28}, {1, 2, 3, 4}},
      {"hair below a day", 1 - 1e-10, {1899, 12, 31}, {0, 0, 0, 0}},
      {"hair below a negative day", -1 + 1e-10, {1899, 12, 29}, {0, 0, 0, 0}},
      {"0.4 ms before midnight", 36527 - 0.4 * ms, {2000, 1, 2}, {0, 0, 0, 0}},
      {"0.6 ms before midnight", 36527 - 0.6 * ms, {2000, 1, 1}, {23, 59, 59, 999}},
      {"1.6 ms", 36526 + 1.6 * ms, {2000, 1, 1}, {0, 0, 0, 2}},
      {"1.4 ms", 36526 + 1.4 * ms, {2000, 1, 1}, {0, 0, 0, 1}},
      {"fields", 45351 + 50406789 * ms, {2024, 2, 29}, {14, 0, 6, 789}},
      {"last valid value", kMaxDateTime, {9999, 12, 31}, {23, 59, 59, 999}},
      {"first valid value", kMinDateTime, {1, 1, 1}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const DateParts date = DecodeDate(c.value);
    const TimeParts time = DecodeTime(c.value);
    EXPECT_EQ(date.year, c.date.year) << c.name;
    EXPECT_EQ(date.month, c.date.month) << c.name;
    EXPECT_EQ(date.day, c.date.day) << c.name;
    EXPECT_EQ(time.hour, c.time.hour) << c.name;
    EXPECT_EQ(time.minute, c.time.minute) << c.name;
    EXPECT_EQ(time.second, c.time.second) << c.name;
    EXPECT_EQ(time.millisecond, c.time.millisecond) << c.name;
  }
}

TEST(DateTimeTest, ValidityAndDecodingOfInvalidValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(IsValidDateTime(0));
  EXPECT_TRUE(IsValidDateTime(kMinDateTime));
  EXPECT_TRUE(IsValidDateTime(kMaxDateTime));
  // The nearest values outside the range are invalid already.
  for (double value :
       {nan, inf, -inf, std::nextafter(kMinDateTime, -inf), std::nextafter(kMaxDateTime, inf),
        kMinDateTime - 1e-6, kMaxDateTime + 1e-6, 1e300}) {
    EXPECT_FALSE(IsValidDateTime(value)) << value;
    const DateParts date = DecodeDate(value);
    const TimeParts time = DecodeTime(value);
    EXPECT_EQ(date.year, 1) << value;
    EXPECT_EQ(date.month, 1) << value;
    EXPECT_EQ(date.day, 1) << value;
    EXPECT_EQ(time.hour + time.minute + time.second + time.millisecond, 0) << value;
  }
}

TEST(DateTimeTest, LeapYearsAndMonthLengths) {
  for (int year : {4, 1600, 2000, 2024})
    EXPECT_TRUE(IsLeapYear(year)) << year;
  for (int year : {1, 1700, 1900, 2023, 2100})
    EXPECT_FALSE(IsLeapYear(year)) << year;

  const int days_2023[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(DaysInMonth(2023, month), days_2023[month - 1]) << month;
  }
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2024, 0), 0);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST(DateTimeTest, NowIsLocalTimeToTheMillisecond) {
  const std::time_t before = std::time(nullptr);
  const DateTime now = Now();
  const std::time_t after = std::time(nullptr);

  const auto local_value = [](std::time_t t) {
    std::tm parts{};
    localtime_r(&t, &parts);
    return EncodeDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday) +
           EncodeTime(parts.tm_hour, parts.tm_min, std::min(parts.tm_sec, 59), 0);
  };
  const double second = 1.0 / 86400;
  EXPECT_GE(now, local_value(before) - 1e-9);
  EXPECT_LT(now, local_value(after) + second);

  const double ms = now * kMSecsPerDay;
  EXPECT_NEAR(ms, std::round(ms), 1e-2) << "Now() carries no fraction of a millisecond";
}

}  // namespace
}  // namespace platform
