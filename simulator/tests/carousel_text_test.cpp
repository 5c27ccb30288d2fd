#include "simulator/CarouselText.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "platform/locale.h"

namespace {

TEST(FilterFloatText, KeepsAnUnsignedDecimalNumberWithAPoint) {
  struct Case {
    const char* typed;
    const char* kept;
  };
  const Case cases[] = {
      {"1,5", "1.5"},
      {"1.2.3", "1.23"},
      {"-7a", "7"},
      {"", ""},
      {"7.62", "7.62"},
      {",5", ".5"},
      {"1,2,3", "1.23"},
      {"1.5,2", "1.52"},
      {"...", "."},
      {"+3.9", "3.9"},
      {" 1 4 3 ", "143"},
      {"1E-6", "16"},
      {"\xBD\xB2"
       "5",
       "5"},
      {"12\t34", "1234"},
      {"0.", "0."},
      {"abc", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilterFloatText(c.typed), c.kept) << c.typed;
  }
}

// The user's decimal separator in force for one test.
platform::ScopedLocaleSettings DecimalSeparatorIs(char separator) {
  platform::LocaleSettings settings;
  settings.decimal_separator = separator;
  return platform::ScopedLocaleSettings(settings);
}

TEST(FloatTextToValue, ConvertsUnderEitherDecimalSeparator) {
  for (char separator : {'.', ','}) {
    const platform::ScopedLocaleSettings locale = DecimalSeparatorIs(separator);
    EXPECT_EQ(FloatTextToValue("3.9"), 3.9) << separator;
    EXPECT_EQ(FloatTextToValue("143"), 143.0) << separator;
    EXPECT_EQ(FloatTextToValue(".5"), 0.5) << separator;
    EXPECT_EQ(FloatTextToValue("7."), 7.0) << separator;
    EXPECT_EQ(FloatTextToValue("0"), 0.0) << separator;
  }
}

TEST(FloatTextToValue, TextThatDoesNotConvertRaises) {
  struct Case {
    const char* text;
    char separator;
    const char* message;
  };
  const Case cases[] = {
      {"", '.', "'' is not a valid floating point value"},
      {"", ',', "'' is not a valid floating point value"},
      {".", '.', "',' is not a valid floating point value"},
      {".", ',', "',' is not a valid floating point value"},
      {"1.2.3", '.', "'1,2.3' is not a valid floating point value"},
      {"abc", '.', "'abc' is not a valid floating point value"},
  };
  for (const Case& c : cases) {
    const platform::ScopedLocaleSettings locale = DecimalSeparatorIs(c.separator);
    try {
      FloatTextToValue(c.text);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

TEST(FloatValueToText, WritesFixedNotationWithAPoint) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {3.9, "3.9"},
      {21, "21"},
      {1.24, "1.24"},
      {0, "0"},
      {-0.0, "0"},
      {1e-6, "0.000001"},
      {0.1 + 0.2, "0.3"},
      {1e20, "100000000000000000000"},
      {123456789012345678.0, "123456789012346000"},
      {7.62, "7.62"},
      {0.5, "0.5"},
      {100, "100"},
      {1.5e-10, "0.00000000015"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> text = FloatValueToText(c.value);
    ASSERT_TRUE(text) << c.value;
    EXPECT_EQ(*text, c.text);
    // The typing filter leaves it as it is.
    EXPECT_EQ(FilterFloatText(*text), *text);
  }
}

TEST(FloatValueToText, ValuesTheFieldCannotShowGiveNothing) {
  EXPECT_FALSE(FloatValueToText(-1));
  EXPECT_FALSE(FloatValueToText(-1e-300));
  EXPECT_FALSE(FloatValueToText(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(FloatValueToText(-std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(FloatValueToText(std::numeric_limits<double>::quiet_NaN()));
}

TEST(FloatValueToText, ExtremesRoundTrip) {
  for (double value : {std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                       std::numeric_limits<double>::denorm_min(), 3.9}) {
    const std::optional<std::string> text = FloatValueToText(value);
    ASSERT_TRUE(text);
    EXPECT_EQ(FilterFloatText(*text), *text);
    const double back = FloatTextToValue(*text);
    EXPECT_NEAR(back, value, std::abs(value) * 1e-14);
  }
}

}  // namespace
