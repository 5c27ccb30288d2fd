#include "collector/RecordParsing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "platform/date_time.h"

namespace {

TEST(GetPieceTest, PiecesOfALine) {
  struct Case {
    int n;
    const char* line;
    char delimiter;
    const char* piece;
  };
  const Case cases[] = {
      {1, "4R|1|^^^pH^M|7.40", '|', "4R"},
      {3, "4R|1|^^^pH^M|7.40", '|', "^^^pH^M"},
      {4, "4R|1|^^^pH^M|7.40", '|', "7.40"},  // the last piece runs to the end
      {5, "4R|1|^^^pH^M|7.40", '|', ""},      // beyond the last
      {4, "^^^pH^M", '^', "pH"},
      {2, "a||b", '|', ""},
      {3, "a||b", '|', "b"},
      {1, "", '|', ""},
      {0, "a|b", '|', ""},
      {-1, "a|b", '|', ""},
      {1, "1H|\\^&", '\0', "1H|\\^&"},  // no header yet: the whole line is piece 1
      {2, "1H|\\^&", '\0', ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetPiece(c.n, c.line, c.delimiter), c.piece) << c.n << " of " << c.line;
}

TEST(StrToValueTest, NumbersInEitherSeparator) {
  struct Case {
    const char* text;
    char separator;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"7.62", '.', 7.62},
      {"7,62", '.', 7.62},
      {"7.62", ',', 7.62},
      {"7,62", ',', 7.62},
      {"132", '.', 132.0},
      {"-2.1", '.', -2.1},  // signed numbers are numbers
      {"+2.1", '.', 2.1},
      {" 3.60 ", '.', 3.6},
      {".5", '.', 0.5},
      {"5.", '.', 5.0},
      {"1.5e2", '.', 150.0},
      {"1E-1", ',', 0.1},
      {"", '.', 0.0},                // empty stays 0, as a specimen-code record sends it
      {".....", '.', std::nullopt},  // not measured
      {"?7.2", '.', std::nullopt},   // flagged as doubtful
      {"7.2?", '.', std::nullopt},
      {"1,234.5", '.', std::nullopt},
      {"1.2.3", '.', std::nullopt},
      {" ", '.', std::nullopt},
      {"-", '.', std::nullopt},
      {".", '.', std::nullopt},
      {"1e", '.', std::nullopt},
      {"1e999", '.', std::nullopt},  // beyond a double
      {"nan", '.', std::nullopt},
      {"inf", '.', std::nullopt},
      {"0x10", '.', std::nullopt},
      {"7 .2", '.', std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<double> value = StrToValue(c.text, c.separator);
    ASSERT_EQ(value.has_value(), c.value.has_value()) << '"' << c.text << "\" " << c.separator;
    if (value) {
      EXPECT_DOUBLE_EQ(*value, *c.value) << c.text;
    }
  }
}

TEST(RecordParsingTest, TrimBlanks) {
  EXPECT_EQ(TrimBlanks("  Gas pO2 \t"), "Gas pO2");
  EXPECT_EQ(TrimBlanks("\x01x\x1F"), "x");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks("a b"), "a b");
}

TEST(RecordParsingTest, HeaderDelimitersAndSender) {
  const std::string header = "1H|\\^&|||ABL80 BASIC^319053||||||||1|20231213144712";
  const THeaderDelimiters d = ReadHeaderDelimiters(header);
  EXPECT_EQ(d.field, '|');
  EXPECT_EQ(d.repeat, '\\');
  EXPECT_EQ(d.component, '^');
  EXPECT_EQ(d.escape, '&');
  EXPECT_EQ(SenderIdentification(header, d.field, d.component), "ABL80 BASIC - 319053");
  EXPECT_EQ(SenderIdentification("1H|\\^&|||ABL800|", '|', '^'), "ABL800");
  EXPECT_EQ(SenderIdentification("1H|\\^&|||ABL800^|", '|', '^'), "ABL800");

  const THeaderDelimiters short_header = ReadHeaderDelimiters("1H|");
  EXPECT_EQ(short_header.field, '|');
  EXPECT_EQ(short_header.repeat, '\0');
  EXPECT_EQ(short_header.component, '\0');
  EXPECT_EQ(ReadHeaderDelimiters("1").field, '\0');
}

double At(int y, int mo, int d, int h, int mi, int s) {
  return platform::EncodeDate(y, mo, d) + platform::EncodeTime(h, mi, s, 0);
}

TEST(RecordParsingTest, OrderAndResultTimes) {
  struct Case {
    const char* field;
    std::optional<double> order;
    std::optional<double> result;
  };
  const Case cases[] = {
      {"20010119150012", At(2001, 1, 19, 15, 0, 0), At(2001, 1, 19, 15, 0, 12)},
      {"200101191500", At(2001, 1, 19, 15, 0, 0), std::nullopt},  // no seconds
      {"20010119155", At(2001, 1, 19, 15, 5, 0), std::nullopt},   // as much as there is
      {"2001011915", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"20010230120000", std::nullopt, std::nullopt},  // 30 February
      {"20010119246000", std::nullopt, std::nullopt},  // 24:60
      {"20010119235960", At(2001, 1, 19, 23, 59, 0), std::nullopt},
      {"2001-1-19 1500", std::nullopt, std::nullopt},
      {"2001+1191500", std::nullopt, std::nullopt},
      {"000001011200", std::nullopt, std::nullopt},  // year 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseOrderTime(c.field), c.order) << c.field;
    EXPECT_EQ(ParseResultTime(c.field), c.result) << c.field;
  }
}

TEST(SampleTimeRuleTest, FirstResultAfterHeaderSetsTheTime) {
  const double now = At(2024, 5, 1, 9, 0, 0);
  TSampleTimeRule rule;
  rule.OnHeader();
  rule.OnOrder("200101191500", now);  // valid: does not stop the result's time
  EXPECT_EQ(rule.SampleTime(), At(2001, 1, 19, 15, 0, 0));
  EXPECT_EQ(rule.OnResult("20010119155012", now), At(2001, 1, 19, 15, 50, 12));
  // Every later result of the message keeps that time.
  EXPECT_EQ(rule.OnResult("20010119160000", now), At(2001, 1, 19, 15, 50, 12));
  EXPECT_EQ(rule.OnResult("", now), At(2001, 1, 19, 15, 50, 12));
}

TEST(SampleTimeRuleTest, TimelessOrderOrResultUsesNow) {
  const double now = At(2024, 5, 1, 9, 0, 0);
  TSampleTimeRule rule;
  rule.OnOrder("", now);  // no header in this message: the timeless order still lets
  EXPECT_EQ(rule.SampleTime(), now);
  EXPECT_TRUE(rule.TimeFromResult());
  EXPECT_EQ(rule.OnResult("20240501083000", now + 1), At(2024, 5, 1, 8, 30, 0));

  rule.OnHeader();
  EXPECT_EQ(rule.OnResult("garbage", now + 2), now + 2);
  // Without a header or a timeless order, the last time stands.
  rule.OnOrder("202405010700", now);
  EXPECT_EQ(rule.OnResult("20240501083000", now), At(2024, 5, 1, 7, 0, 0));
}

TEST(RecordParsingTest, SpecimenSources) {
  const TSpecimenTranslations translations{"Vein", "Mixed", "Unknown", "Artery", "Capillary"};
  const TSpecimenTranslations none{};
  struct Case {
    const char* field;
    const TSpecimenTranslations* translations;
    TSpecimen specimen;
  };
  const Case cases[] = {
      {"Blood^Arterial", &translations, {"Blood", "Artery"}},
      {"BLOOD^arterial", &translations, {"BLOOD", "Artery"}},
      {"blood^Mixed-Venous", &translations, {"blood", "Mixed"}},
      {"Blood^Not specified", &translations, {"Blood", "Unknown"}},
      {"Blood^Venous", &translations, {"Blood", "Vein"}},
      {"Blood^Capillary", &translations, {"Blood", "Capillary"}},
      {"Blood^Cord", &translations, {"Blood", "Cord"}},
      {"Blood^", &translations, {"Blood", ""}},
      // No settings: the sources keep their own names and stay apart.
      {"Blood^Arterial", &none, {"Blood", "Arterial"}},
      {"Blood^venous", &none, {"Blood", "venous"}},
      {"Gas^", &translations, {"Gas", " Gas"}},
      {"Urine^X", &translations, {"Urine", "X Urine"}},
      {"NOT SPECIFIED^X", &translations, {"NOT SPECIFIED", "X"}},
      {"Not Specified^X", &translations, {"Not Specified", "X"}},
      {"Arterial^", &translations, {"Arterial", " Arterial"}},  // the ABL80's field
      {"", &translations, {"", " "}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadSpecimen(c.field, '^', *c.translations), c.specimen) << c.field;
}

TEST(RecordParsingTest, ResultParameters) {
  EXPECT_EQ(ResultParameter("^^^pO2^M", '^', "Artery", false), "Artery pO2");
  EXPECT_EQ(ResultParameter("^^^pO2^M", '^', "Artery", true), "pO2");
  EXPECT_EQ(ResultParameter("^^^pO2", '^', " Gas", false), "Gas pO2");
  EXPECT_EQ(ResultParameter("^^^pH^M", '^', " Arterial", false), "Arterial pH");
  EXPECT_EQ(ResultParameter("^^^ pH ^M", '^', "", true), "pH");
  EXPECT_EQ(ResultParameter("", '^', "", false), "");
}

}  // namespace
