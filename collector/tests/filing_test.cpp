// Filing into real monitor-data files through the save component, read back with
// another save component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collector/Unit1Core.h"
#include "collector/tests/core_fakes.h"
#include "collector/tests/read_back.h"
#include "collector/tests/records.h"
#include "datamodel/DataModel.h"
#include "platform/locale.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::ReadBack;
using collector_test::Rec;
using collector_test::TReadFile;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<std::string> Message(
    const std::string& specimen,
    std::initializer_list<std::pair<const char*, const char*>> results) {
  std::vector<std::string> lines = {"1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000",
                                    Rec({"2P", "1", "", "1234567890", "", "Doe^John"}),
                                    Rec({"3O", "1", "", "S^1", "", "", "", "200101191500", "", "",
                                         "", "", "", "", "", specimen})};
  for (const auto& [parameter, value] : results) {
    lines.push_back(Rec({"4R", "1", std::string("^^^") + parameter + "^M", value, "kPa", "", "", "",
                         "F", "", "", "20010119155012"}));
  }
  lines.push_back("5L|1|N");
  return lines;
}

class FilingTest : public ::testing::Test {
 protected:
  FilingTest()
      : locale_(platform::LocaleSettings{}),
        paths_(TCollectorPaths::FromRoot(root_.path() + "/")),
        save_(MakeSaveItNewFile()),
        core_(view_, paths_, *save_) {
    RegisterDataModel();
    folder_ = paths_.data_dir + "12345678.$90/";
    std::filesystem::create_directories(folder_);
    const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "John", "Doe");
    std::ofstream(folder_ + "Patient", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 271);
    core_.Automation().SetAutoObject(&auto_object_);
    core_.LoadTransferLog();
  }
  ~FilingTest() override { core_.Automation().SetAutoObject(nullptr); }

  void Walk(const std::vector<std::string>& lines) {
    core_.QueueMessage(lines);
    ASSERT_TRUE(core_.ProcessNextMessage());
  }

  platform_test::TempFolder root_{"gasbridge_filing"};
  platform::ScopedLocaleSettings locale_;
  TCollectorPaths paths_;
  TRecordingView view_;
  TRecordingAutoObject auto_object_;
  std::unique_ptr<TSaveFileAccess> save_;
  TCollectorCore core_;
  std::string folder_;
};

const double kTime = 36910.0 + (15 * 3600 + 50 * 60 + 12) / 86400.0;

TEST_F(FilingTest, AMessageIsFiledIntoTheMonitorDataFile) {
  Walk(Message("Blood^Arterial", {{"pO2", "12.02"}, {"pCO2", "6.93"}, {"pO2", "11.5"}}));
  const std::string path = folder_ + "ABL.vor";
  const TReadFile file = ReadBack(path);
  EXPECT_EQ(file.monitor_name, "Radiometer ABLxxx");
  EXPECT_EQ(file.monitor_detail, "");
  EXPECT_EQ(file.patient_id, "123456-7890");
  EXPECT_EQ(file.patient_name, "Doe");
  ASSERT_EQ(file.series.size(), 2u);
  EXPECT_EQ(file.series[0].index, 0);
  EXPECT_EQ(file.series[0].name, "Arterial pO2");
  EXPECT_EQ(file.series[0].place, "");
  EXPECT_EQ(file.series[0].unit, "kPa");
  EXPECT_EQ(file.series[0].points,
            (std::vector<std::pair<double, double>>{{kTime, 12.02}, {kTime, 11.5}}));
  EXPECT_EQ(file.series[1].name, "Arterial pCO2");
  EXPECT_EQ(file.series[1].points, (std::vector<std::pair<double, double>>{{kTime, 6.93}}));
  // A new file is 154 bytes, the reserved block's 500 and the four texts (17 + 0 +
  // 11 + 3); definitions go into the block without growing the file; each point
  // adds 26 bytes.
  EXPECT_EQ(std::filesystem::file_size(path), 154u + 500 + 31 + 3 * 26);
  EXPECT_THAT(view_.errors, IsEmpty());
}

TEST_F(FilingTest, ATrimmedPlaceFindsItsSeriesAgainInTheFile) {
  core_.Options().grouping = true;
  Walk(Message("Gas^", {{"pO2", "12"}}));
  Walk(Message("Gas^", {{"pO2", "13"}}));
  const TReadFile file = ReadBack(folder_ + "ABL.vor");
  ASSERT_EQ(file.series.size(), 1u);
  EXPECT_EQ(file.series[0].place, "Gas");
  EXPECT_EQ(file.series[0].points.size(), 2u);
}

TEST_F(FilingTest, ATornTailIsReportedAndLaterPointsStayWhole) {
  Walk(Message("Blood^Arterial", {{"pO2", "12"}}));
  const std::string path = folder_ + "ABL.vor";
  std::ofstream(path, std::ios::binary | std::ios::app) << std::string("\xDC\0\0\0\x12\0\0", 7);
  // Torn long ago (a power cut), not by a program still writing the file.
  std::filesystem::last_write_time(
      path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  Walk(Message("Blood^Arterial", {{"pO2", "13"}}));
  ASSERT_FALSE(view_.errors.empty());
  EXPECT_THAT(view_.errors[0], HasSubstr("incomplete record of 7 bytes"));
  EXPECT_THAT(core_.Log().Lines(), testing::Contains(HasSubstr("incomplete record of 7 bytes")));
  const TReadFile file = ReadBack(path);
  ASSERT_EQ(file.series.size(), 1u);
  EXPECT_EQ(file.series[0].points.size(), 2u);
}

TEST_F(FilingTest, AFileOfAnotherPatientSendsTheResultsToABL1) {
  Walk(Message("Blood^Arterial", {{"pO2", "12"}}));
  // The patient was renamed in the main application: the file no longer matches.
  const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "John", "Doe-Smith");
  std::ofstream(folder_ + "Patient", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), 271);
  Walk(Message("Blood^Arterial", {{"pO2", "13"}}));
  EXPECT_EQ(ReadBack(folder_ + "ABL.vor").series[0].points.size(), 1u);
  const TReadFile renamed = ReadBack(folder_ + "ABL1.vor");
  EXPECT_EQ(renamed.patient_name, "Doe-Smith");
  ASSERT_EQ(renamed.series.size(), 1u);
  EXPECT_EQ(renamed.series[0].points.size(), 1u);
}

}  // namespace
