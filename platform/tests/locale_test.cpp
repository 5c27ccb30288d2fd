#include "platform/locale.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(LocaleTest, TextToFloatUsesTheSystemsSeparatorOnly) {
  struct Case {
    char separator;
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {'.', "7.62", true, 7.62}, {'.', " -7.62 ", true, -7.62}, {'.', "+1e3", true, 1000},
      {'.', "7,62", false, 0},   {',', "7,62", true, 7.62},     {',', "7.62", false, 0},
      {'.', ".....", false, 0},  {'.', "", false, 0},           {'.', "1.2.3", false, 0},
      {'.', "inf", false, 0},    {'.', "nan", false, 0},        {'.', "0x10", false, 0},
      {'.', "1e", false, 0},     {'.', ".5", true, 0.5},        {'.', "5.", true, 5},
      {'.', "1e400", false, 0},
  };
  for (const Case& c : cases) {
    ScopedLocaleSettings pinned(LocaleSettings{.decimal_separator = c.separator});
    double value = -99;
    EXPECT_EQ(TryTextToFloat(c.text, value), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(value, c.ok ? c.value : -99) << c.text;
  }
}

TEST(LocaleTest, TextToFloatWithAGivenSeparator) {
  ScopedLocaleSettings pinned(LocaleSettings{.decimal_separator = '.'});
  double value = -99;
  EXPECT_TRUE(TryTextToFloat("7,62", value, ','));
  EXPECT_DOUBLE_EQ(value, 7.62);
  EXPECT_FALSE(TryTextToFloat("7.62", value, ','));
  EXPECT_DOUBLE_EQ(value, 7.62);  // left alone
}

TEST(LocaleTest, PinnedSettingsComeBackWhole) {
  const LocaleSettings before = CurrentLocale();
  {
    ScopedLocaleSettings pinned(LocaleSettings{.decimal_separator = ',', .default_lcid = 1053});
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(DefaultLocaleId(), 1053u);
    {
      ScopedLocaleSettings inner(LocaleSettings{});
      EXPECT_EQ(DecimalSeparator(), '.');
    }
    EXPECT_EQ(DecimalSeparator(), ',');
    // A change made while pinned goes with the pinned settings.
    SetTwoDigitYearCenturyWindow(30);
    EXPECT_EQ(CurrentLocale().two_digit_year_century_window, 30);
  }
  EXPECT_EQ(DecimalSeparator(), before.decimal_separator);
  EXPECT_EQ(CurrentLocale().two_digit_year_century_window, before.two_digit_year_century_window);
  EXPECT_EQ(CurrentLocale().short_date_format, before.short_date_format);
}

TEST(LocaleTest, SettingsFromALocalesConventions) {
  struct Case {
    const char* name;
    LocaleConventions conventions;
    char decimal, thousand, date_separator, time_separator;
    const char* short_date;
    const char* long_time;
    const char* short_time;
    LCID lcid;
  };
  const Case cases[] = {
      {"C", LocaleConventions{}, '.', ',', '-', ':', "yyyy/mm/dd", "hh:nn:ss", "hh:nn", 1033},
      {"sv_SE",
       {",", "\xE2\x80\xAF", "%Y-%m-%d", "%H:%M:%S", "sv_SE.UTF-8"},
       ',',
       '.',
       '-',
       ':',
       "yyyy/mm/dd",
       "hh:nn:ss",
       "hh:nn",
       1053},
      {"en_US",
       {".", ",", "%m/%d/%Y", "%r", "en_US.UTF-8"},
       '.',
       ',',
       '/',
       ':',
       "mm/dd/yyyy",
       "hh:nn:ss AMPM",
       "hh:nn AMPM",
       1033},
      {"de_DE",
       {",", ".", "%d.%m.%Y", "%T", "de_DE@euro"},
       ',',
       '.',
       '.',
       ':',
       "dd/mm/yyyy",
       "hh:nn:ss",
       "hh:nn",
       1031},
      {"en_GB",
       {".", ",", "%d/%m/%y", "%T", "en_GB"},
       '.',
       ',',
       '/',
       ':',
       "dd/mm/yy",
       "hh:nn:ss",
       "hh:nn",
       2057},
      // Neither a date nor a clock in the formats: the defaults stay.
      {"odd",
       {"", "", "%A", "%Z", ""},
       '.',
       ',',
       '-',
       ':',
       "yyyy/mm/dd",
       "hh:nn:ss",
       "hh:nn",
       1033},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LocaleSettings settings = SettingsFromConventions(c.conventions);
    EXPECT_EQ(settings.decimal_separator, c.decimal);
    EXPECT_EQ(settings.thousand_separator, c.thousand);
    EXPECT_EQ(settings.date_separator, c.date_separator);
    EXPECT_EQ(settings.time_separator, c.time_separator);
    EXPECT_EQ(settings.short_date_format, c.short_date);
    EXPECT_EQ(settings.long_time_format, c.long_time);
    EXPECT_EQ(settings.short_time_format, c.short_time);
    EXPECT_EQ(settings.default_lcid, c.lcid);
    EXPECT_EQ(settings.two_digit_year_century_window, 0);
  }
}

TEST(LocaleTest, TwoDigitYearsWithinTheWindow) {
  ScopedLocaleSettings pinned(LocaleSettings{});
  EXPECT_EQ(ExpandTwoDigitYear(74, 2025), 2074);  // no window: this century
  SetTwoDigitYearCenturyWindow(50);
  EXPECT_EQ(CurrentLocale().two_digit_year_century_window, 50);
  EXPECT_EQ(ExpandTwoDigitYear(74, 2025), 2074);
  EXPECT_EQ(ExpandTwoDigitYear(75, 2025), 1975);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2025), 1999);
  EXPECT_EQ(ExpandTwoDigitYear(0, 2025), 2000);
}

TEST(LocaleTest, AbbreviationsOfTheLanguages) {
  const std::pair<LCID, const char*> cases[] = {{1033, "ENU"}, {2057, "ENG"}, {1053, "SVE"},
                                                {1031, "DEU"}, {1030, "DAN"}, {1044, "NOR"},
                                                {1035, "FIN"}, {1036, "FRA"}, {12345, ""}};
  for (const auto& [lcid, abbreviation] : cases)
    EXPECT_EQ(LocaleAbbreviation(lcid), abbreviation) << lcid;
}

TEST(LocaleTest, DefaultLocaleFromThePosixName) {
  const std::pair<const char*, LCID> cases[] = {{"sv_SE.UTF-8", 1053},
                                                {"sv_FI", 2077},
                                                {"en_GB.utf8", 2057},
                                                {"en_US", 1033},
                                                {"en", 1033},
                                                {"de_DE@euro", 1031},
                                                {"nb_NO.UTF-8", 1044},
                                                {"da_DK", 1030},
                                                {"fi_FI", 1035},
                                                {"fr_FR.UTF-8", 1036},
                                                {"C", 1033},
                                                {"POSIX", 1033},
                                                {"", 1033},
                                                {"xx_YY", 1033},
                                                {"de_LU", 1031}};
  for (const auto& [name, lcid] : cases)
    EXPECT_EQ(LocaleIdFromPosixName(name), lcid) << name;
  ScopedLocaleSettings pinned(LocaleSettings{.default_lcid = 1053});
  EXPECT_EQ(DefaultLocaleId(), 1053u);
}

}  // namespace
}  // namespace platform
