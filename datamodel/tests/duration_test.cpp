#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "datamodel/Duration.h"
#include "platform/locale.h"

namespace {

constexpr double kSecond = 1.0 / 86400;

class DurationTest : public ::testing::Test {
 protected:
  DurationTest() : pinned_(platform::LocaleSettings{}) {}
  platform::ScopedLocaleSettings pinned_;
};

TEST_F(DurationTest, TheFourModes) {
  struct Case {
    uint8_t mode;
    double seconds;
    bool omit_zero_seconds;
    const char* text;
    int64_t days, hours, minutes, secs;
  };
  const double day = 86400;
  const Case cases[] = {
      {0, 62.4, false, "62s", 0, 0, 0, 62},
      {1, 62.4, false, "01m02s", 0, 0, 1, 2},
      {2, 26 * 3600 + 5 * 60, false, "26:05:00", 0, 26, 5, 0},
      {3, -(day + 2 * 3600 + 3 * 60 + 4), false, "-1  02:03:04", 1, 2, 3, 4},
      {0, 5, false, "05s", 0, 0, 0, 5},
      {2, 59.6, false, "00:01:00", 0, 0, 1, 0},   // rounds to the second
      {2, -0.2, false, "-00:00:00", 0, 0, 0, 0},  // the sign is the span's
      {3, 2 * day + 3 * 3600 + 4 * 60, true, "2  03:04", 2, 3, 4, 0},
      {3, 2 * day + 3 * 3600 + 4 * 60 + 1, true, "2  03:04:01", 2, 3, 4, 1},
      {2, 3600, true, "01:00", 0, 1, 0, 0},
      {1, 3 * 3600, false, "180m00s", 0, 0, 180, 0},
      // Beyond 16 bits of days, and beyond 32 bits of seconds.
      {3, 70000 * day, false, "70000  00:00:00", 70000, 0, 0, 0},
      {0, 30000 * day, false, "2592000000s", 0, 0, 0, 2592000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TDuration duration;
    FormatDuration(c.mode, c.seconds * kSecond, c.omit_zero_seconds, duration);
    EXPECT_EQ(duration.text, c.text);
    EXPECT_EQ(duration.days, c.days);
    EXPECT_EQ(duration.hours, c.hours);
    EXPECT_EQ(duration.minutes, c.minutes);
    EXPECT_EQ(duration.seconds, c.secs);
  }
}

TEST_F(DurationTest, AnUnknownModeLeavesEverything) {
  TDuration duration{1, 2, 3, 4, "kept"};
  FormatDuration(4, 1.5, false, duration);
  EXPECT_EQ(duration.text, "kept");
  EXPECT_EQ(duration.days, 1);
  EXPECT_EQ(DurationText(9, 1.0), "");
}

TEST_F(DurationTest, TheUsersTimeSeparatorAndOddSpans) {
  platform::LocaleSettings settings;
  settings.time_separator = '.';
  platform::ScopedLocaleSettings dotted(settings);
  EXPECT_EQ(DurationText(2, 90 * kSecond), "00.01.30");
  EXPECT_EQ(DurationText(3, std::numeric_limits<double>::quiet_NaN()), "0  00.00.00");
  EXPECT_EQ(DurationText(3, 1e300), "100000000000000  00.00.00");
}

// Below the longest span the days are counted; from it on they stay at it.
TEST_F(DurationTest, SpansAreCountedUpToTheLongestAndKeptThereBeyond) {
  const struct {
    double span;
    int64_t days;
    const char* text;  // of a span kept at the longest
  } cases[] = {
      {kMaxDurationDays - 1, 99999999999999, nullptr},
      {kMaxDurationDays, 100000000000000, "100000000000000  00:00:00"},
      {kMaxDurationDays + 1, 100000000000000, "100000000000000  00:00:00"},
      {-(kMaxDurationDays + 1), 100000000000000, "-100000000000000  00:00:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.span);
    TDuration duration;
    FormatDuration(3, c.span, false, duration);
    EXPECT_EQ(duration.days, c.days);
    if (c.text) {
      EXPECT_EQ(duration.text, c.text);
    }
  }
}

TEST_F(DurationTest, TheUnitsStartSetsTheCenturyWindow) {
  InitDurationUnit();
  EXPECT_EQ(platform::CurrentLocale().two_digit_year_century_window, 50);
}

}  // namespace
