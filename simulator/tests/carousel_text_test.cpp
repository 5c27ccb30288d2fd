#include "simulator/CarouselText.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/exception.h"

namespace simulator {
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

TEST(FloatTextToValue, ConvertsWithEitherDecimalSeparator) {
  EXPECT_EQ(FloatTextToValue("3.9", '.'), 3.9);
  EXPECT_EQ(FloatTextToValue("3.9", ','), 3.9);
  EXPECT_EQ(FloatTextToValue("143", ','), 143.0);
  EXPECT_EQ(FloatTextToValue(".5", '.'), 0.5);
  EXPECT_EQ(FloatTextToValue(".5", ','), 0.5);
  EXPECT_EQ(FloatTextToValue("7.", '.'), 7.0);
  EXPECT_EQ(FloatTextToValue("0", '.'), 0.0);
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
    try {
      FloatTextToValue(c.text, c.separator);
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

TEST(TryDecimalTextToFloat, ReadsTheSystemsNumberForms) {
  struct Case {
    const char* text;
    char separator;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {" -1.5 ", '.', true, -1.5}, {"+2", '.', true, 2},     {"1e3", '.', true, 1000},
      {"2,5E-1", ',', true, 0.25}, {"1e-400", '.', true, 0}, {"1e400", '.', false, 0},
      {"1,5", '.', false, 0},      {"1.5", ',', false, 0},   {"1e", '.', false, 0},
      {"e5", '.', false, 0},       {"-", '.', false, 0},     {"0x10", '.', false, 0},
      {"inf", '.', false, 0},      {"nan", '.', false, 0},   {"1 2", '.', false, 0},
  };
  for (const Case& c : cases) {
    double value = -99;
    EXPECT_EQ(TryDecimalTextToFloat(c.text, c.separator, value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : -99) << c.text;
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
    const double back = FloatTextToValue(*text, '.');
    EXPECT_NEAR(back, value, std::abs(value) * 1e-14);
  }
}

}  // namespace
}  // namespace simulator
