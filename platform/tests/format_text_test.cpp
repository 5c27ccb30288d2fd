#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/exception.h"
#include "platform/format_text.h"
#include "platform/locale.h"

namespace {

using platform::Format;

platform::LocaleSettings Pinned(char decimal = '.', char thousand = ',') {
  platform::LocaleSettings settings;
  settings.decimal_separator = decimal;
  settings.thousand_separator = thousand;
  return settings;
}

TEST(FormatTextTest, GeneralNumbers) {
  platform::ScopedLocaleSettings pinned(Pinned());
  struct Case {
    double value;
    int precision;
    const char* text;
  };
  const Case cases[] = {
      {0, 15, "0"},
      {7.4, 15, "7.4"},
      {-7.4, 15, "-7.4"},
      {100, 15, "100"},
      {0.1, 15, "0.1"},
      {1.0 / 3, 15, "0.333333333333333"},
      {2.0 / 3, 4, "0.6667"},
      {0.00001, 15, "0.00001"},
      {0.000001, 15, "1E-6"},
      {1.5e20, 15, "1.5E20"},
      {123456789012345.0, 15, "123456789012345"},
      {1234567890123456.0, 15, "1.23456789012346E15"},
      {12345.0, 4, "1.235E4"},
      {9999.5, 4, "1E4"},
      {0.125, 2, "0.13"},  // halves away from zero
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(platform::FloatToStrGeneral(c.value, c.precision), c.text);
  }
  EXPECT_EQ(platform::FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(platform::FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(platform::FloatToStrGeneral(1e-7, 15, 2), "1E-07");
}

TEST(FormatTextTest, SpecifiersAndArguments) {
  platform::ScopedLocaleSettings pinned(Pinned());
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {Format("%d days", {3}), "3 days"},
      {Format("%.2d:%.2d", {5, -7}), "05:-07"},
      {Format("%5d|%-5d|", {42, 42}), "   42|42   |"},
      {Format("%s and %s", {"a", std::string("b")}), "a and b"},
      {Format("%.3s", {"abcdef"}), "abc"},
      {Format("%1:s %0:s %s", {"x", "y"}), "y x y"},
      {Format("%g", {7.4}), "7.4"},
      {Format("%4.4g|", {2.0}), "   2|"},
      {Format("Y = %0:4.4g +- %3:4.4g (SEM)", {7.3999, "t", 0.1, 0.05}),
       "Y =  7.4 +- 0.05 (SEM)"},  // width 4
      {Format("%3.0f%s", {99.5, "%"}), "100%"},
      {Format("%4.2f/%4.2f", {1.005, 2.0}), "1.00/2.00"},
      {Format("%f", {-0.5}), "-0.50"},
      {Format("%n", {1234567.891}), "1,234,567.89"},
      {Format("%e", {1234.5}), "1.23450000000000E+003"},
      {Format("%.3e", {-0.00012345}), "-1.23E-004"},
      {Format("%x %.4x", {255, 10}), "FF 000A"},
      {Format("%u", {-1}), "4294967295"},
      {Format("%*d|%-*d|", {3, 1, 3, 2}), "  1|2  |"},
      {Format("100%% sure", {}), "100% sure"},
      {Format("%*d|%.d", {-3, 1, 2}), "1  |2"},  // a negative width: to the left
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, c.expected);
}

TEST(FormatTextTest, DecimalAndThousandSeparatorsOfTheUser) {
  platform::ScopedLocaleSettings pinned(Pinned(',', '.'));
  EXPECT_EQ(Format("%g %4.2f %n", {7.25, 1.5, 1234.5}), "7,25 1,50 1.234,50");
  EXPECT_EQ(platform::FloatToStr(0.5), "0,5");
}

TEST(FormatTextTest, MismatchesRaise) {
  const std::string message = "Format '%d' invalid or incompatible with argument";
  try {
    Format("%d", {1.5});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), message);
  }
  for (const char* format : {"%s", "%g", "%d %d", "%q", "%", "%*d", "%*:d", "%5.2"}) {
    SCOPED_TRACE(format);
    EXPECT_THROW(Format(format, {1}), EConvertError);
  }
}

}  // namespace
