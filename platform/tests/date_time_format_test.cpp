#include <gtest/gtest.h>

#include "platform/date_time.h"
#include "platform/date_time_format.h"

namespace {

platform::LocaleSettings Swedish() {
  platform::LocaleSettings settings;
  settings.decimal_separator = ',';
  settings.date_separator = '-';
  settings.time_separator = ':';
  settings.short_date_format = "yyyy/mm/dd";
  settings.long_time_format = "hh:nn:ss";
  return settings;
}

platform::LocaleSettings American() {
  platform::LocaleSettings settings;
  settings.date_separator = '/';
  settings.time_separator = '.';
  settings.short_date_format = "m/d/yyyy";
  settings.long_time_format = "h:nn:ss AMPM";
  settings.short_time_format = "h:nn AMPM";
  return settings;
}

TEST(DateTimeFormatTest, DateTimeTextsFollowTheSettingsInForce) {
  const double value = platform::EncodeDate(2024, 3, 7) + platform::EncodeTime(14, 5, 9, 45);
  const double midnight = platform::EncodeDate(2024, 3, 7);
  {
    platform::ScopedLocaleSettings pinned(Swedish());
    EXPECT_EQ(platform::DateTimeToStr(value), "2024-03-07 14:05:09");
    EXPECT_EQ(platform::DateTimeToStr(midnight), "2024-03-07");
    EXPECT_EQ(platform::DateToStr(value), "2024-03-07");
    EXPECT_EQ(platform::TimeToStr(value), "14:05:09");
  }
  {
    platform::ScopedLocaleSettings pinned(American());
    EXPECT_EQ(platform::DateTimeToStr(value), "3/7/2024 2.05.09 PM");
    EXPECT_EQ(platform::FormatDateTime("t", value), "2.05 PM");
  }
}

TEST(DateTimeFormatTest, Patterns) {
  platform::ScopedLocaleSettings pinned(Swedish());
  const double value = platform::EncodeDate(2024, 3, 7) + platform::EncodeTime(9, 5, 3, 7);
  struct Case {
    const char* pattern;
    const char* text;
  };
  const Case cases[] = {
      {"hh:mm", "09:05"},  // minutes right after an hour
      {"hh:mm:ss", "09:05:03"},
      {"h:n:s", "9:5:3"},
      {"dd/mm/yy", "07-03-24"},
      {"d mmm yyyy", "7 Mar 2024"},
      {"mmmm", "March"},
      {"dddd", "Thursday"},
      {"zzz", "007"},
      {"'day' d", "day 7"},
      {"hh am/pm", "09 am"},
      {"ddddd", "2024-03-07"},
      {"c", "2024-03-07 09:05:03"},
      {"tt|t", "09:05:03|09:05"},
      {"yy z", "24 7"},
      {"h a/p AMPM", "9 a AM"},
      {"a", "a"},
      {"dddddd d", "2024-03-07 7"},
      {"hh m", "09 5"},
      {"\"to the end", "to the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(platform::FormatDateTime(c.pattern, value), c.text);
  }
  EXPECT_EQ(platform::FormatDateTime("yyyy-mm-dd hh:nn", 1e300), "0001-01-01 00:00");
}

}  // namespace
