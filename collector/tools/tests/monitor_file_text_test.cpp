// The monitor-data file printer: the text of a file written with the save
// component, the time and value texts, and the program's reports on files it cannot
// show.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "collector/tools/MonitorFileText.h"
#include "datamodel/DataModel.h"
#include "platform/tests/temp_folder.h"

namespace collector_tools {
namespace {

using ::testing::HasSubstr;

// 2001-01-22 18:17:00 and a minute later.
const platform::DateTime kSampleTime =
    platform::EncodeDate(2001, 1, 22) + platform::EncodeTime(18, 17, 0, 0);
const platform::DateTime kLaterTime =
    platform::EncodeDate(2001, 1, 22) + platform::EncodeTime(18, 18, 0, 0);

class MonitorFileTextTest : public ::testing::Test {
 protected:
  MonitorFileTextTest() { RegisterDataModel(); }

  // A monitor-data file of two series, written as the collector writes one.
  std::string WriteFile() {
    const std::string path = folder_.path() + "/ABL.vor";
    TSaveItNew save(nullptr);
    save.FileName = path;
    save.OpenMonitorFile("Radiometer ABLxxx", "", "123456-7890", "Demo");
    const struct {
      const char* name;
      const char* unit;
    } series[] = {{"Arterial pO2", "kPa"}, {"Arterial pH", ""}};
    for (int16_t i = 0; i < 2; ++i) {
      TParameterSerie definition;
      definition.Index = i;
      definition.Unit = series[i].unit;
      definition.ParameterInfo().SetParameterName(series[i].name);
      save.AddParameterSerie(definition);
    }
    // The later message's pO2 first, so that the order shown is the times'.
    EXPECT_TRUE(save.AppendDataPoint(0, kLaterTime, 11.5));
    EXPECT_TRUE(save.AppendDataPoint(0, kSampleTime, 12.02));
    EXPECT_TRUE(save.AppendDataPoint(1, kSampleTime, 7.424));
    return path;
  }

  platform_test::TempFolder folder_{"monitor_file_text"};
};

TEST_F(MonitorFileTextTest, ShowsThePatientAndEveryPointByTime) {
  const TMonitorFile file = ReadMonitorFile(WriteFile());
  EXPECT_EQ(MonitorFileText(file),
            "  monitor \"Radiometer ABLxxx\", patient 123456-7890 \"Demo\"\n"
            "  2001-01-22 18:17:00  Arterial pO2  12.02 kPa\n"
            "  2001-01-22 18:17:00  Arterial pH   7.424\n"
            "  2001-01-22 18:18:00  Arterial pO2  11.5 kPa\n"
            "  3 points in 2 series\n");
}

TEST_F(MonitorFileTextTest, AFileWithoutPointsSaysSo) {
  const std::string path = folder_.path() + "/ABL.vor";
  TSaveItNew save(nullptr);
  save.FileName = path;
  save.OpenMonitorFile("Radiometer ABLxxx", "", "123456-7890", "Demo");
  TParameterSerie definition;
  definition.ParameterInfo().SetParameterName("Arterial pO2");
  save.AddParameterSerie(definition);
  EXPECT_EQ(MonitorFileText(ReadMonitorFile(path), ""),
            "monitor \"Radiometer ABLxxx\", patient 123456-7890 \"Demo\"\n"
            "0 points in 1 series (1 without points)\n");
}

TEST(DateTimeText, IsTheDateAndTimeToTheSecondOrMillisecond) {
  const struct {
    platform::DateTime value;
    const char* text;
  } cases[] = {
      {kSampleTime, "2001-01-22 18:17:00"},
      {kSampleTime + platform::EncodeTime(0, 0, 1, 250), "2001-01-22 18:17:01.250"},
      {0, "1899-12-30 00:00:00"},
      {-1.25, "1899-12-29 06:00:00"},
      // A whisker below midnight is the next day, never 24:00.
      {36913.0 - 1e-10, "2001-01-22 00:00:00"},
      {std::numeric_limits<double>::quiet_NaN(), "(invalid)"},
      {1e10, "(invalid)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DateTimeText(c.value), c.text);
  }
}

TEST(ValueText, IsTheShortestTextThatReadsBackTheSame) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {3.9, "3.9"},
      {770, "770"},
      {7.424, "7.424"},
      {0, "0"},
      {-2.5, "-2.5"},
      {1e-6, "1e-06"},
      {0.1 + 0.2, "0.30000000000000004"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ValueText(c.value), c.text);
  }
}

TEST_F(MonitorFileTextTest, TheProgramPrintsEachFileAndReportsTheOnesItCannotShow) {
  const std::string good = WriteFile();
  const std::string missing = folder_.path() + "/absent.vor";
  const std::string junk = folder_.path() + "/junk.vor";
  std::ofstream(junk) << "not a data file";
  std::ostringstream out, err;
  EXPECT_EQ(PrintMonitorFiles({missing, good, junk}, out, err), 1);
  EXPECT_EQ(out.str(), good + "\n" + MonitorFileText(ReadMonitorFile(good)));
  EXPECT_THAT(err.str(), HasSubstr("print_monitor_file: " + missing + ": no such file\n"));
  EXPECT_THAT(err.str(), HasSubstr("print_monitor_file: " + junk + ": "));

  std::ostringstream out2, err2;
  EXPECT_EQ(PrintMonitorFiles({good, good}, out2, err2), 0);
  EXPECT_EQ(err2.str(), "");
  EXPECT_EQ(out2.str(), out.str() + "\n" + out.str());
  EXPECT_EQ(PrintMonitorFiles({}, out2, err2), 2);
  EXPECT_THAT(err2.str(), HasSubstr("usage: print_monitor_file FILE..."));
}

TEST_F(MonitorFileTextTest, WhatTheLoadLeftOutIsNoted) {
  const std::string path = WriteFile();
  // A data-point record cut short after 5 of its 18 bytes, as a crash leaves it.
  std::ofstream(path, std::ios::binary | std::ios::app)
      .write("\xDC\x00\x00\x00\x12\x00\x00\x00\x01\x00\x00\x00\x00", 13);
  const std::string text = MonitorFileText(ReadMonitorFile(path));
  EXPECT_THAT(text, HasSubstr("  3 points in 2 series\n"));
  EXPECT_THAT(text, HasSubstr("  note: " + path +
                              " ends in an incomplete record of 13 bytes; it "
                              "was left out.\n"));
}

}  // namespace
}  // namespace collector_tools
