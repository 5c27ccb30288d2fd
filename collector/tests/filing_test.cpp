// Filing into real monitor-data files through the save component, read back with
// another save component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "platform/lock_file.h"
#include "platform/tests/as_user.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::ReadBack;
using collector_test::Rec;
using collector_test::TReadFile;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

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

  // Walks Lines in a child process that has left root for the unprivileged user
  // 65534, for whom a read-only file is read-only; the automation calls it made
  // come back through a pipe, one a line.
  std::vector<std::string> WalkUnprivileged(const std::vector<std::string>& lines) {
    const std::string text =
        platform_test::RunAs(platform_test::kNobody, platform_test::kNogroup, [&] {
          core_.QueueMessage(lines);
          core_.ProcessNextMessage();
          std::string calls;
          for (const std::string& call : auto_object_.calls)
            calls += call + "\n";
          return calls;
        });
    // Calls end their lines; anything else is the child's report of what failed.
    EXPECT_TRUE(text.empty() || text.back() == '\n') << text;
    std::vector<std::string> calls;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      calls.push_back(text.substr(at, end - at));
    return calls;
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

TEST_F(FilingTest, AFileThatCannotBeWrittenLosesOnlyItsOwnResults) {
  // Bob is known too; Doe's file has the series Arterial pO2 from a message before.
  const std::string bob = paths_.data_dir + "22222222.$22/";
  std::filesystem::create_directories(bob);
  const std::vector<uint8_t> bytes = BuildPatientFile("222222-2222", "Bob", "Roe");
  std::ofstream(bob + "Patient", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), 271);
  const std::string doe_file = folder_ + "ABL.vor";
  const auto result = [](const char* parameter, const char* value) {
    return Rec({"4R", "1", std::string("^^^") + parameter + "^M", value, "kPa", "", "", "", "F", "",
                "", "20010119155012"});
  };
  const std::string order = Rec({"3O", "1", "", "S^1", "", "", "", "200101191500", "", "", "", "",
                                 "", "", "", "Blood^Arterial"});
  const std::vector<std::string> message = {"1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000",
                                            Rec({"2P", "1", "", "1234567890", "", "Doe^John"}),
                                            order,
                                            result("pCO2", "6.93"),
                                            result("pO2", "2.5"),
                                            Rec({"2P", "2", "", "2222222222", "", "Roe^Bob"}),
                                            order,
                                            result("pO2", "7"),
                                            result("pCO2", "5"),
                                            "5L|1|N"};
  const std::string at = " kPa at 2001-01-19 15:50:12";
  for (const bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read-only for an unprivileged user" : "locked by another writer");
    std::filesystem::remove(doe_file);
    std::filesystem::remove(bob + "ABL.vor");
    Walk(Message("Blood^Arterial", {{"pO2", "12"}}));
    auto_object_.calls.clear();
    std::vector<std::string> calls;
    std::string reason;
    if (read_only) {
      ::chmod(doe_file.c_str(), 0444);
      if (::geteuid() == 0) {
        for (const std::string& folder : {root_.path() + "/", paths_.data_dir, folder_, bob})
          ::chmod(folder.c_str(), 0777);
        // The transfer log is the collector's own, its user's file: a save never
        // takes a file from its owner.
        ASSERT_EQ(::chown(paths_.log_file.c_str(), 65534, 65534), 0);
        calls = WalkUnprivileged(message);
      } else {
        Walk(message);
        calls = auto_object_.calls;
      }
      reason = "Permission denied";
    } else {
      // Another program holds the writers' lock on Doe's file, as the save
      // component takes it, for as long as the message is filed.
      platform::LockFile other;
      ASSERT_EQ(other.TryTake(doe_file), platform::LockFile::Result::kTaken);
      Walk(message);
      calls = auto_object_.calls;
      reason = "being used by another process";
    }
    // Doe's file is as it was; his results are lost alone, and named.
    const TReadFile doe = ReadBack(doe_file);
    ASSERT_EQ(doe.series.size(), 1u);
    EXPECT_EQ(doe.series[0].points, (std::vector<std::pair<double, double>>{{kTime, 12}}));
    // Bob gets his file and his results, at his order's time (only the message's
    // first result gives its own).
    const double order_time = 36910.625;
    const TReadFile roe = ReadBack(bob + "ABL.vor");
    EXPECT_EQ(roe.patient_id, "222222-2222");
    ASSERT_EQ(roe.series.size(), 2u);
    EXPECT_EQ(roe.series[0].name, "Arterial pO2");
    EXPECT_EQ(roe.series[0].points, (std::vector<std::pair<double, double>>{{order_time, 7}}));
    EXPECT_EQ(roe.series[1].name, "Arterial pCO2");
    EXPECT_EQ(roe.series[1].points, (std::vector<std::pair<double, double>>{{order_time, 5}}));
    // Every value is handed over, and each patient's batch ends.
    EXPECT_THAT(
        calls,
        ElementsAre("AddValue(123456-7890,Arterial pCO2,kPa,36910.65986,6.93)",
                    "AddValue(123456-7890,Arterial pO2,kPa,36910.65986,2.5)", "TransferDone()",
                    "AddValue(222222-2222,Arterial pO2,kPa,36910.625,7)",
                    "AddValue(222222-2222,Arterial pCO2,kPa,36910.625,5)", "TransferDone()"));
    TTransferLog log(paths_.log_file);
    ASSERT_TRUE(log.Load());
    EXPECT_THAT(log.Lines(),
                Contains(AllOf(HasSubstr("A series definition was not written to " + doe_file +
                                         " (Arterial pCO2): Cannot open file \"" + doe_file + "\""),
                               HasSubstr(reason))));
    EXPECT_THAT(log.Lines(), Contains(HasSubstr("Results not written to " + doe_file +
                                                " (Doe (123456-7890)): " + "Arterial pCO2 6.93" +
                                                at + "; Arterial pO2 2.5" + at)));
    EXPECT_THAT(log.Lines(), Not(Contains(HasSubstr("Message not completely filed"))));
    EXPECT_THAT(log.Lines(), Contains(HasSubstr(" Transferring Roe (222222-2222) to Wardvorta")));
  }
}

}  // namespace
