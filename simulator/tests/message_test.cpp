#include "simulator/Unit1Message.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "simulator/tests/initial_form.h"

namespace {

using Lines = std::vector<std::string>;

using simulator_test::InitialForm;

// 2024-03-05 07:08:09 local time.
platform::DateTime SampleTime() {
  return platform::EncodeDate(2024, 3, 5) + platform::EncodeTime(7, 8, 9, 0);
}

const char kHeader[] = "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000";

TEST(ZeroPad2, KeepsTheLastTwoDigitsOfZeroAndTheNumber) {
  struct Case {
    int number;
    const char* text;
  };
  for (const Case& c : {Case{0, "00"}, Case{5, "05"}, Case{9, "09"}, Case{10, "10"}, Case{59, "59"},
                        Case{123, "23"}, Case{2024, "24"}}) {
    EXPECT_EQ(ZeroPad2(c.number), c.text) << c.number;
  }
}

TEST(BuildMessage, KsSpecialOnEndsWithTheCodeRecordAndFourL) {
  TMessageForm form = InitialForm();
  form.ks_special = true;
  EXPECT_EQ(BuildMessage(kHeader, form, 7, SampleTime()),
            (Lines{
                "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000",
                "2P|1||1||Demo^Patient|||M||||||21^years||185^cm|81^kg||||||||755",
                "3O|1||Sample #^7||||202403050708||||||||Blood^Arterial",
                "4R|1|^^^FIO2^D|21|%||||F||3000:321|20240305070809",
                "5R|2|^^^Ca++^M|1.24|mmol/L||||F",
                "6R|3|^^^Cl-^M|97|mmol/L||||F",
                "7R|4|^^^K+^M|3.9|mmol/L||||F",
                "0R|5|^^^Na+^M|143|mmol/L||||F",
                "1R|6|^^^pH^M|7.62|||||F",
                "2R|7|^^^pO2^M|41.2|mmHg||||F",
                "3R|8|^^^Typ av prov^||34343434||||F",
                "4L|1|N",
            }));
}

TEST(BuildMessage, KsSpecialOffEndsWithThreeL) {
  TMessageForm form = InitialForm();
  form.patient_id = "191212-1212";
  form.fio2 = "30.5";
  form.ph = "";
  EXPECT_EQ(BuildMessage("1H|edited header", form, 1, SampleTime()),
            (Lines{
                "1H|edited header",
                "2P|1||191212-1212||Demo^Patient|||M||||||21^years||185^cm|81^kg||||||||755",
                "3O|1||Sample #^1||||202403050708||||||||Blood^Arterial",
                "4R|1|^^^FIO2^D|30.5|%||||F||3000:321|20240305070809",
                "5R|2|^^^Ca++^M|1.24|mmol/L||||F",
                "6R|3|^^^Cl-^M|97|mmol/L||||F",
                "7R|4|^^^K+^M|3.9|mmol/L||||F",
                "0R|5|^^^Na+^M|143|mmol/L||||F",
                "1R|6|^^^pH^M||||||F",
                "2R|7|^^^pO2^M|41.2|mmHg||||F",
                "3L|1|N",
            }));
}

TEST(BuildMessage, SpecimenTypeAndSourceGiveTheOrderFieldAndTheCode) {
  struct Case {
    TSpecimenType type;
    TSpecimenSource source;
    const char* order;
    const char* code;
  };
  const Case cases[] = {
      {TSpecimenType::kNone, TSpecimenSource::kArterial, "3O|1||Sample #^3||||202403050708||||||||",
       "3R|8|^^^Typ av prov^||||||F"},
      {TSpecimenType::kBlood, TSpecimenSource::kNone,
       "3O|1||Sample #^3||||202403050708||||||||Blood^", "3R|8|^^^Typ av prov^||Blood^||||F"},
      {TSpecimenType::kBlood, TSpecimenSource::kArterial,
       "3O|1||Sample #^3||||202403050708||||||||Blood^Arterial",
       "3R|8|^^^Typ av prov^||34343434||||F"},
      {TSpecimenType::kBlood, TSpecimenSource::kVenous,
       "3O|1||Sample #^3||||202403050708||||||||Blood^Venous",
       "3R|8|^^^Typ av prov^||45454545||||F"},
      {TSpecimenType::kBlood, TSpecimenSource::kCapillary,
       "3O|1||Sample #^3||||202403050708||||||||Blood^Capillary",
       "3R|8|^^^Typ av prov^||98989898||||F"},
      {TSpecimenType::kBlood, TSpecimenSource::kMixedVenous,
       "3O|1||Sample #^3||||202403050708||||||||Blood^Mixed-Venous",
       "3R|8|^^^Typ av prov^||67676767||||F"},
      {TSpecimenType::kBlood, TSpecimenSource::kNotSpecified,
       "3O|1||Sample #^3||||202403050708||||||||Blood^Not specified",
       "3R|8|^^^Typ av prov^||78787878||||F"},
      {TSpecimenType::kGas, TSpecimenSource::kVenous, "3O|1||Sample #^3||||202403050708||||||||Gas",
       "3R|8|^^^Typ av prov^||Gas||||F"},
      {TSpecimenType::kUrine, TSpecimenSource::kCapillary,
       "3O|1||Sample #^3||||202403050708||||||||Urine", "3R|8|^^^Typ av prov^||Urine||||F"},
      // No item chosen in the radio group.
      {static_cast<TSpecimenType>(-1), TSpecimenSource::kArterial,
       "3O|1||Sample #^3||||202403050708||||||||", "3R|8|^^^Typ av prov^||||||F"},
      {TSpecimenType::kBlood, static_cast<TSpecimenSource>(-1),
       "3O|1||Sample #^3||||202403050708||||||||Blood^", "3R|8|^^^Typ av prov^||Blood^||||F"},
  };
  for (const Case& c : cases) {
    TMessageForm form = InitialForm();
    form.specimen_type = c.type;
    form.specimen_source = c.source;
    form.ks_special = true;
    const Lines with_code = BuildMessage(kHeader, form, 3, SampleTime());
    ASSERT_EQ(with_code.size(), 12u);
    EXPECT_EQ(with_code[2], c.order);
    EXPECT_EQ(with_code[10], c.code);
    EXPECT_EQ(with_code[11], "4L|1|N");

    form.ks_special = false;
    const Lines without = BuildMessage(kHeader, form, 3, SampleTime());
    ASSERT_EQ(without.size(), 11u);
    EXPECT_EQ(without[2], c.order);
    EXPECT_EQ(without[10], "3L|1|N");
  }
}

TEST(BuildMessage, TimesArePaddedAndSecondsRoundedWithTheWholeTime) {
  TMessageForm form = InitialForm();
  // The last millisecond of 1999 stays in 1999; a value a fraction of a millisecond
  // below midnight is rounded to the next day as a whole, never to second 60.
  const platform::DateTime late =
      platform::EncodeDate(1999, 12, 31) + platform::EncodeTime(23, 59, 59, 999);
  Lines lines = BuildMessage(kHeader, form, 12, late);
  EXPECT_EQ(lines[2], "3O|1||Sample #^12||||199912312359||||||||Blood^Arterial");
  EXPECT_EQ(lines[3], "4R|1|^^^FIO2^D|21|%||||F||3000:321|19991231235959");

  lines = BuildMessage(kHeader, form, 12, platform::EncodeDate(2000, 1, 1) - 1e-9);
  EXPECT_EQ(lines[2], "3O|1||Sample #^12||||200001010000||||||||Blood^Arterial");
  EXPECT_EQ(lines[3], "4R|1|^^^FIO2^D|21|%||||F||3000:321|20000101000000");
}

TEST(CannedMessage, IsTheFortyFourLinesOfTheAnalyzersFullMessage) {
  const Lines expected{
      "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010122181814",
      "2P|1||1||^|||U||||||0^years||0^cm|0^kg||||||||",
      "3O|1||Sample #^9288||||||||||||Blood^Not specified",
      "4R|1|^^^FIO2^D|21.0|%||||F|||20010122181700",
      "5R|2|^^^RQ^D|0.86|||||F",
      "6R|3|^^^T^D|37.0|Cel||||F",
      "7R|4|^^^Qt^I|.....|L/min||||X",
      "0R|5|^^^VO2^I|.....|mL/min||||X",
      "1R|6|^^^ABE^C|8.0|mmol/L||||F",
      "2R|7|^^^Anion gap(K+)^C|10.7|mmol/L||||F",
      "3R|8|^^^Anion gap^C|6.9|mmol/L||||F",
      "4R|9|^^^B^M|770|mmHg||||F",
      "5R|10|^^^Ca++^M|1.20|mmol/L||||F",
      "6R|11|^^^Ca(7.4)^C|1.21|mmol/L||||F",
      "7R|12|^^^Cl-^M|97|mmol/L||||F",
      "0R|13|^^^COHb^M|1.5|%||||F",
      "1R|14|^^^Glu^M|6.2|mmol/L||||F",
      "2R|15|^^^HCO3-^C|33.4|mmol/L||||F",
      "3R|16|^^^Hct^C|35.9|%||||F",
      "4R|17|^^^K+^M|3.9|mmol/L||||F",
      "5R|18|^^^Lac^M|0.7|mmol/L||||F",
      "6R|19|^^^MetHb^M|0.3|%||||F",
      "7R|20|^^^Na+^M|137|mmol/L||||F",
      "0R|21|^^^O2CAP^C|15.9|Vol %||||F",
      "1R|22|^^^O2Hb^M|94.8|%||||F",
      "2R|23|^^^pCO2^M|6.93|kPa||||F",
      "3R|24|^^^pCO2(T)^M|6.93|kPa||||F",
      "4R|25|^^^pH^M|7.424|||||F",
      "5R|26|^^^pH(st)^C|7.508|||||F",
      "6R|27|^^^pH(T)^M|7.424|||||F",
      "7R|28|^^^pO2^M|12.02|kPa||||F",
      "0R|29|^^^pO2(T)^M|12.02|kPa||||F",
      "1R|30|^^^p50(act)^C|3.647|kPa||||F",
      "2R|31|^^^p50(act),T^C|3.647|kPa||||F",
      "3R|32|^^^p50(st)^C|3.762|kPa||||F",
      "4R|33|^^^RHb^M|3.3|%||||F",
      "5R|34|^^^SBC^C|31.8|mmol/L||||F",
      "6R|35|^^^SBE^C|8.7|mmol/L||||F",
      "7R|36|^^^sO2^M|96.6|%||||F",
      "0R|37|^^^tCO2(B)^C|67.7|Vol %||||F",
      "1R|38|^^^tCO2(P)^C|78.4|Vol %||||F",
      "2R|39|^^^tHb^M|116|g/L||||F",
      "3R|40|^^^tO2^C|15.6|Vol %||||F",
      "4L|1|N",
  };
  const Lines canned = CannedMessage();
  ASSERT_EQ(canned.size(), 44u);
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(canned[i], expected[i]) << "line " << i + 1;
}

TEST(Checksum, IsTheByteSumAsTwoUpperCaseHexDigits) {
  struct Case {
    std::string text;
    bool add_one;
    const char* checksum;
  };
  const Case cases[] = {
      // 4 L | 1 | N CR ETX: 52+76+124+49+124+78+13+3 = 519 = 2*256 + 0x07.
      {"4L|1|N\r\x03", false, "07"},
      {"4L|1|N\r\x03", true, "08"},
      // The same with ETB: 539 = 2*256 + 0x1B.
      {"4L|1|N\r\x17", false, "1B"},
      {"4L|1|N\r\x17", true, "1C"},
      {"", false, "00"},
      {"", true, "01"},
      {"\xAB", false, "AB"},
      {"\xFE", true, "FF"},
      {"\xFF", false, "FF"},
      // "Single CS Error" on a sum of 255 wraps to 00.
      {"\xFF", true, "00"},
      {"\x80\x80", false, "00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Checksum(c.text, c.add_one), c.checksum) << c.text << " " << c.add_one;
  }
}

TEST(FrameBytes, FramesTheLineWithEndMarkChecksumCrLf) {
  EXPECT_EQ(FrameBytes("4L|1|N", true),
            "\x02"
            "4L|1|N\r"
            "\x03"
            "07\r\n");
  EXPECT_EQ(FrameBytes("4L|1|N", false),
            "\x02"
            "4L|1|N\r"
            "\x17"
            "1B\r\n");
  EXPECT_EQ(FrameBytes("4L|1|N", true, true),
            "\x02"
            "4L|1|N\r"
            "\x03"
            "08\r\n");
  // An empty record: CR ETX sum 16.
  EXPECT_EQ(FrameBytes("", true),
            "\x02\r\x03"
            "10\r\n");
}

// An analyzer's own frames, one record each and each ending ETX, carry the
// checksums that FrameBytes writes.
TEST(FrameBytes, ReproducesTheFramesOfAnAnalyzerCapture) {
  std::ifstream file(QOR_ANALYZER_CAPTURES_DIR "/02_abl80basic_capture_frames.astm",
                     std::ios::binary);
  ASSERT_TRUE(file) << "missing capture";
  std::stringstream content;
  content << file.rdbuf();
  const std::string capture = content.str();

  size_t frames = 0;
  size_t start = 0;
  while (start < capture.size()) {
    const size_t end = capture.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string frame = capture.substr(start, end + 2 - start);
    // STX, line, CR, ETX, two checksum characters, CR, LF.
    ASSERT_GE(frame.size(), 7u);
    const std::string line = frame.substr(1, frame.size() - 7);
    EXPECT_EQ(FrameBytes(line, true), frame) << line;
    ++frames;
    start = end + 2;
  }
  EXPECT_EQ(frames, 37u);
}

TEST(FeedSends, SendsSohEachLineWithoutItsDigitThenEot) {
  EXPECT_EQ(FeedSends({"1H|\\^&", "2P|1||1", "3L|1|N", "x", ""}),
            (Lines{"\x01", "H|\\^&\r", "P|1||1\r", "L|1|N\r", "\r", "\r", "\x04"}));
  EXPECT_EQ(FeedSends({}), (Lines{"\x01", "\x04"}));
}

}  // namespace
