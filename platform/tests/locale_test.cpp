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
    ScopedLocaleSettings pinned(LocaleSettings{c.separator, "%Y", "%H", 1033});
    double value = -99;
    EXPECT_EQ(TryTextToFloat(c.text, value), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(value, c.ok ? c.value : -99) << c.text;
  }
}

TEST(LocaleTest, SystemFormatIsTheDateThenTheTime) {
  ScopedLocaleSettings pinned(LocaleSettings{',', "%Y-%m-%d", "%H:%M:%S", 1053});
  EXPECT_EQ(DecimalSeparator(), ',');
  // 2001-01-19 15:50:12
  EXPECT_EQ(DateTimeToSystemText(36910 + (15 * 3600 + 50 * 60 + 12) / 86400.0),
            "2001-01-19 15:50:12");
  ScopedLocaleSettings us(LocaleSettings{'.', "%m/%d/%y", "%I:%M:%S %p", 1033});
  EXPECT_EQ(DateTimeToSystemText(36910.5), "01/19/01 12:00:00 PM");
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
  ScopedLocaleSettings pinned(LocaleSettings{'.', "%Y", "%H", 1053});
  EXPECT_EQ(DefaultLocaleId(), 1053u);
}

}  // namespace
}  // namespace platform
