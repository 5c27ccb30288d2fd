// The main window's core: message queue and walk, patients, filing, automation
// calls and the transfer log, with an in-memory save component and a recording
// window.
#include "collector/Unit1Core.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "collector/tests/core_fakes.h"
#include "collector/tests/fake_save_file.h"
#include "collector/tests/records.h"
#include "platform/date_time.h"
#include "platform/locale.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::Rec;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kHeader = "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000";

std::string PatientRec(const std::string& id, const std::string& name = "Doe^John") {
  return Rec({"2P", "1", "", id, "", name});
}

// An order with the time (field 8) and the specimen (field 16).
std::string OrderRec(const std::string& time, const std::string& specimen) {
  return Rec({"3O", "1", "", "Sample #^1", "", "", "", time, "", "", "", "", "", "", "", specimen});
}

// A result with the parameter, value, unit and time (field 12).
std::string ResultRec(const std::string& parameter, const std::string& value,
                      const std::string& unit, const std::string& time = "") {
  return Rec({"4R", "1", "^^^" + parameter + "^M", value, unit, "", "", "", "F", "", "", time});
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CollectorCoreTest : public ::testing::Test {
 protected:
  CollectorCoreTest()
      : locale_(platform::LocaleSettings{}),
        paths_(TCollectorPaths::FromRoot(root_.path() + "/")),
        core_(view_, paths_, save_) {
    std::filesystem::create_directories(paths_.data_dir);
    core_.SetClock([this] { return now_; });
    core_.Automation().SetAutoObject(&auto_object_);
    core_.LoadTransferLog();
  }
  ~CollectorCoreTest() override { core_.Automation().SetAutoObject(nullptr); }

  // A registered patient's folder with its patient file.
  std::string MakePatient(const std::string& folder_name, const std::string& last_name,
                          const std::string& shown_id) {
    const std::string folder = paths_.data_dir + folder_name + "/";
    std::filesystem::create_directories(folder);
    const std::vector<uint8_t> bytes = BuildPatientFile(shown_id, "John", last_name);
    std::ofstream(folder + "Patient", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return folder;
  }

  const TFakeFile& File(const std::string& folder_name, const std::string& save_name = "ABL") {
    return save_.files.at(paths_.data_dir + folder_name + "/" + save_name + ".vor");
  }

  void Walk(const std::vector<std::string>& lines) {
    core_.QueueMessage(lines);
    ASSERT_TRUE(core_.ProcessNextMessage());
  }

  std::vector<std::string> LogLines() const { return core_.Log().Lines(); }

  platform_test::TempFolder root_{"gasbridge_core"};
  platform::ScopedLocaleSettings locale_;
  TCollectorPaths paths_;
  TRecordingView view_;
  TFakeSaveFile save_;
  TRecordingAutoObject auto_object_;
  TCollectorCore core_;
  platform::DateTime now_ = platform::EncodeDate(2024, 3, 1) + platform::EncodeTime(10, 0, 0, 0);
};

const platform::DateTime k1550 =
    platform::EncodeDate(2001, 1, 19) + platform::EncodeTime(15, 50, 12, 0);

TEST_F(CollectorCoreTest, AKnownPatientsResultsAreFiledHandedOverLoggedAndRelayed) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  const std::vector<std::string> message = {
      kHeader,
      PatientRec("1234567890"),
      OrderRec("200101191500", "Blood^Arterial"),
      ResultRec("pO2", "12.02", "kPa", "20010119155012"),
      ResultRec("pCO2", "6,93", "kPa"),
      ResultRec("pO2", "11.5", "kPa"),
      "5L|1|N",
  };
  Walk(message);

  const TFakeFile& file = File("12345678.$90");
  EXPECT_EQ(file.monitor_name, "Radiometer ABLxxx");
  EXPECT_EQ(file.monitor_detail, "");
  EXPECT_EQ(file.patient_id, "123456-7890");
  EXPECT_EQ(file.patient_name, "Doe");
  // Without the settings key the translations are empty: "Arterial" stays.
  EXPECT_EQ(file.definitions,
            (std::vector<TSerieDefinition>{{0, "Arterial pO2", "", "", "", "kPa"},
                                           {1, "Arterial pCO2", "", "", "", "kPa"}}));
  // The first result's time serves every result of the message.
  EXPECT_EQ(file.points,
            (std::vector<TFakePoint>{{0, k1550, 12.02}, {1, k1550, 6.93}, {0, k1550, 11.5}}));
  EXPECT_THAT(
      auto_object_.calls,
      ElementsAre("AddValue(123456-7890,Arterial pO2,kPa,36910.65986,12.02)",
                  "AddValue(123456-7890,Arterial pCO2,kPa,36910.65986,6.93)",
                  "AddValue(123456-7890,Arterial pO2,kPa,36910.65986,11.5)", "TransferDone()"));
  // The log entry carries the order's time; the banner shows it too.
  const std::string entry = "2001-01-19 15:00:00 Transferring Doe (123456-7890) to Wardvorta";
  EXPECT_EQ(LogLines().back(), entry);
  EXPECT_THAT(view_.transfers, ElementsAre(entry));
  EXPECT_THAT(view_.senders, ElementsAre("ABL SYSTEM 625"));
  ASSERT_EQ(view_.relayed.size(), message.size() + 1);
  for (size_t i = 0; i < message.size(); ++i)
    EXPECT_EQ(view_.relayed[i], "F:" + message[i]);
  EXPECT_EQ(view_.relayed.back(), "B:\x04");
  EXPECT_THAT(view_.errors, IsEmpty());
  // The log file holds the same lines, CR LF ended.
  EXPECT_EQ(ReadFile(paths_.log_file), "2024-03-01 10:00:00: New logfile\r\n" + entry + "\r\n");
}

TEST_F(CollectorCoreTest, WithGroupingTheSourceIsThePlaceAndGoesApartToTheAutomationObject) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  core_.Options().grouping = true;
  core_.Options().translations.arterial = "Artery";
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12.02", "kPa", "20010119155012")});
  EXPECT_EQ(File("12345678.$90").definitions,
            (std::vector<TSerieDefinition>{{0, "pO2", "Artery", "", "", "kPa"}}));
  EXPECT_THAT(auto_object_.calls,
              ElementsAre("AddValueWithSource(123456-7890,pO2,Artery,kPa,36910.65986,12.02)",
                          "TransferDone()"));
}

TEST_F(CollectorCoreTest, ASeriesIsFoundAgainByItsTrimmedNames) {
  // " Gas" (kind Gas, no source) is kept trimmed by the definition's identity.
  MakePatient("12345678.$90", "Doe", "123456-7890");
  core_.Options().grouping = true;
  for (int i = 0; i < 2; ++i) {
    Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Gas^"),
          ResultRec("pO2", "12", "kPa"), ResultRec("pO2", "13", "mmHg")});
  }
  const TFakeFile& file = File("12345678.$90");
  EXPECT_EQ(file.definitions, (std::vector<TSerieDefinition>{{0, "pO2", "Gas", "", "", "kPa"},
                                                             {1, "pO2", "Gas", "", "", "mmHg"}}));
  ASSERT_EQ(file.points.size(), 4u);
  EXPECT_EQ(file.points[2].index, 0);
  EXPECT_EQ(file.points[3].index, 1);
}

TEST_F(CollectorCoreTest, AnUnknownPatientWithoutAutomaticCreationGetsNothingButTheRelay) {
  const std::vector<std::string> message = {kHeader, PatientRec("99"),
                                            OrderRec("200101191500", "Blood^Arterial"),
                                            ResultRec("pO2", "12.02", "kPa")};
  Walk(message);
  EXPECT_TRUE(save_.files.empty());
  EXPECT_THAT(auto_object_.calls, IsEmpty());
  ASSERT_EQ(view_.relayed.size(), message.size() + 1);
  EXPECT_EQ(view_.relayed.back(), "B:\x04");
  EXPECT_FALSE(std::filesystem::exists(paths_.data_dir + "99.$"));
  EXPECT_EQ(LogLines().size(), 1u);  // the "New logfile" line only
}

TEST_F(CollectorCoreTest, AutomaticCreationWritesThePatientFileAndFilesTheResults) {
  core_.Options().auto_create = true;
  Walk({kHeader, PatientRec("ABCDEFGHIJK", "Svensson^Anna"),
        OrderRec("200101191500", "Blood^Venous"), ResultRec("K+", "3.9", "mmol/L")});
  const std::string folder = paths_.data_dir + "BCDEFGHI.$JK/";
  EXPECT_THAT(view_.new_patients, ElementsAre("Created: BCDEFG-HIJK (Anna Svensson) - " + folder));
  const std::string bytes = ReadFile(folder + "Patient");
  ASSERT_EQ(bytes.size(), 271u);
  EXPECT_EQ(bytes.substr(0, 2), "\xF1\x03");
  EXPECT_EQ(bytes.substr(2, 21), std::string("Svensson") + std::string(13, '\0'));
  EXPECT_EQ(bytes.substr(23, 21), std::string("Anna") + std::string(17, '\0'));
  EXPECT_EQ(bytes.substr(44, 12), std::string("BCDEFG-HIJK") + std::string(1, '\0'));
  EXPECT_EQ(File("BCDEFGHI.$JK").points.size(), 1u);
  EXPECT_EQ(File("BCDEFGHI.$JK").patient_name, "Svensson");
}

TEST_F(CollectorCoreTest, AFailedCreationIsReportedNotAnnounced) {
  core_.Options().auto_create = true;
  // A file where the data folder's patient folder would go.
  std::ofstream(paths_.data_dir + "12.$") << "in the way";
  Walk({kHeader, PatientRec("12", "Doe^John"), OrderRec("200101191500", "Blood^Venous"),
        ResultRec("K+", "3.9", "mmol/L")});
  EXPECT_THAT(view_.new_patients, IsEmpty());
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_THAT(view_.errors[0], StartsWith("Patient not created: 12- (John Doe) - "));
  EXPECT_THAT(LogLines().back(), HasSubstr("Patient not created: 12- (John Doe)"));
  EXPECT_TRUE(save_.files.empty());
  EXPECT_THAT(auto_object_.calls, IsEmpty());
}

TEST_F(CollectorCoreTest, ValuesThatAreNotNumbersAreLoggedNotFiled) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pH", ".....", ""), ResultRec("pO2", "?7.2", "kPa"),
        ResultRec("BE", "-2.1", "mmol/L"), ResultRec("Code", "", "KS")});
  const TFakeFile& file = File("12345678.$90");
  // A signed number is a number; an empty value is filed as 0, as it always was.
  ASSERT_EQ(file.points.size(), 2u);
  EXPECT_EQ(file.points[0].value, -2.1);
  EXPECT_EQ(file.points[1].value, 0.0);
  EXPECT_EQ(auto_object_.calls.size(), 3u);
  EXPECT_EQ(LogLines().back(),
            "2024-03-01 10:00:00: Not a number, not filed for Doe (123456-7890): "
            "Arterial pH \".....\"; Arterial pO2 \"?7.2\"");
  EXPECT_THAT(view_.errors, IsEmpty());
}

TEST_F(CollectorCoreTest, AMessageWithoutAPatientRecordFilesNothing) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12", "kPa")});
  auto_object_.calls.clear();
  // The next message names no patient: the one before must not get its results.
  Walk({kHeader, OrderRec("200101191500", "Blood^Arterial"), ResultRec("pO2", "99", "kPa"),
        ResultRec("pCO2", "99", "kPa")});
  EXPECT_EQ(File("12345678.$90").points.size(), 1u);
  EXPECT_THAT(auto_object_.calls, IsEmpty());
  EXPECT_THAT(view_.errors, ElementsAre("Results not filed: the message names no patient"));
}

TEST_F(CollectorCoreTest, ARejectedIdIsReportedAndFilesNothing) {
  core_.Options().auto_create = true;
  Walk({kHeader, PatientRec("../etc"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12", "kPa")});
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_THAT(view_.errors[0], HasSubstr("Patient id rejected"));
  EXPECT_THAT(LogLines().back(), HasSubstr("Patient id rejected"));
  EXPECT_TRUE(save_.files.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(paths_.data_dir), {}), 1);  // the log
}

TEST_F(CollectorCoreTest, EachPatientRecordsResultsGoToThatPatientAlone) {
  // Ann and Bob exist (Bob registered as 2); Cid does not.
  std::ofstream(paths_.ini_file) << "[Registered]\r\n2=22222222.$22\\PATIENT.\r\n";
  MakePatient("11111111.$11", "Ann", "111111-1111");
  MakePatient("22222222.$22", "Bob", "222222-2222");
  const std::string order = OrderRec("200101191500", "Blood^Arterial");
  const auto result = [](const char* value) {
    return ResultRec("pO2", value, "kPa", "20010119150000");
  };
  // Every result at 2001-01-19 15:00, the orders' time too.
  const platform::DateTime time =
      platform::EncodeDate(2001, 1, 19) + platform::EncodeTime(15, 0, 0, 0);
  const auto added = [](const char* id, const char* value) {
    return std::string("AddValue(") + id + ",Arterial pO2,kPa,36910.625," + value + ")";
  };
  const std::string done = "TransferDone()";
  struct Case {
    const char* name;
    bool auto_create;
    std::vector<std::string> lines;
    // Values filed, per folder; automation calls; patients whose transfer is logged.
    std::map<std::string, std::vector<double>> files;
    std::vector<std::string> calls;
    std::vector<std::string> transfers;
  };
  const Case cases[] = {
      {"two P, each with its O",
       false,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("2222222222"), order,
        result("2"), "5L|1|N"},
       {{"11111111.$11", {1}}, {"22222222.$22", {2}}},
       {added("111111-1111", "1"), done, added("222222-2222", "2"), done},
       {"Ann", "Bob"}},
      {"the second P without an O",
       false,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("2222222222"),
        result("2"), result("3")},
       {{"11111111.$11", {1}}, {"22222222.$22", {2, 3}}},
       {added("111111-1111", "1"), done, added("222222-2222", "2"), added("222222-2222", "3"),
        done},
       {"Ann", "Bob"}},
      {"a registered patient without an O",
       false,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("2"), result("2")},
       {{"11111111.$11", {1}}, {"22222222.$22", {2}}},
       {added("111111-1111", "1"), done, added("222222-2222", "2"), done},
       {"Ann", "Bob"}},
      {"a new patient created without an O",
       true,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("3333333333", "Cid^C"),
        result("2")},
       {{"11111111.$11", {1}}, {"33333333.$33", {2}}},
       {added("111111-1111", "1"), done, added("333333-3333", "2"), done},
       {"Ann", "Cid"}},
      {"a new patient not created",
       false,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("3333333333", "Cid^C"),
        result("2")},
       {{"11111111.$11", {1}}},
       {added("111111-1111", "1"), done},
       {"Ann"}},
      {"three P, a rejected id in the middle",
       true,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("../x"), order,
        result("2"), PatientRec("2222222222"), result("3")},
       {{"11111111.$11", {1}}, {"22222222.$22", {3}}},
       {added("111111-1111", "1"), done, added("222222-2222", "3"), done},
       {"Ann", "Bob"}},
      {"three P, each with its O",
       true,
       {kHeader, PatientRec("1111111111"), order, result("1"), PatientRec("2222222222"), order,
        result("2"), PatientRec("3333333333", "Cid^C"), order, result("3")},
       {{"11111111.$11", {1}}, {"22222222.$22", {2}}, {"33333333.$33", {3}}},
       {added("111111-1111", "1"), done, added("222222-2222", "2"), done, added("333333-3333", "3"),
        done},
       {"Ann", "Bob", "Cid"}},
      {"an unknown patient first, then one without an O",
       false,
       {kHeader, PatientRec("3333333333"), order, result("1"), PatientRec("1111111111"),
        result("2")},
       {{"11111111.$11", {2}}},
       {added("111111-1111", "2"), done},
       {"Ann"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    save_.files.clear();
    auto_object_.calls.clear();
    std::filesystem::remove_all(paths_.data_dir + "33333333.$33");
    core_.Options().auto_create = c.auto_create;
    const size_t log_start = LogLines().size();
    Walk(c.lines);

    std::map<std::string, std::vector<double>> files;
    for (const auto& [name, file] : save_.files) {
      const std::string folder = std::filesystem::path(name).parent_path().filename().string();
      // Each file belongs to the patient whose folder holds it.
      EXPECT_EQ(file.patient_id,
                folder.substr(0, 6) + "-" + folder.substr(6, 2) + folder.substr(10, 2));
      for (const TFakePoint& point : file.points) {
        files[folder].push_back(point.value);
        EXPECT_EQ(point.time, time);
      }
    }
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(auto_object_.calls, c.calls);
    std::vector<std::string> transfers;
    const std::vector<std::string> lines = LogLines();
    for (size_t i = std::min(log_start, lines.size() - 1); i < lines.size(); ++i) {
      const size_t at = lines[i].find(" Transferring ");
      if (at != std::string::npos) transfers.push_back(lines[i].substr(at + 14, 3));
    }
    EXPECT_EQ(transfers, c.transfers);
    for (const std::string& error : view_.errors)
      EXPECT_THAT(error, HasSubstr("Patient id rejected"));
    view_.errors.clear();
  }
}

TEST_F(CollectorCoreTest, RegisteredPatientsComeFromTheIniFile) {
  std::ofstream(paths_.ini_file) << "[Registered]\r\n2=12345678.$90\\PATIENT.\r\n3=NoMark\\x\r\n";
  MakePatient("12345678.$90", "Reg", "123456-7890");
  Walk({kHeader, PatientRec("2"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12", "kPa")});
  EXPECT_EQ(File("12345678.$90").points.size(), 1u);
  EXPECT_EQ(File("12345678.$90").patient_id, "123456-7890");
  // An entry without ".$" counts as not registered, and says so.
  Walk({kHeader, PatientRec("3")});
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_THAT(view_.errors[0], HasSubstr("Registered patient 3 ignored"));
}

TEST_F(CollectorCoreTest, FailedDefinitionsAreReportedAndTheMessageFinishedAndNotRepeated) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  save_.fail_definitions = true;
  const std::vector<std::string> message = {kHeader,
                                            PatientRec("1234567890"),
                                            OrderRec("200101191500", "Blood^Arterial"),
                                            ResultRec("pO2", "12", "kPa"),
                                            ResultRec("pCO2", "6", "kPa"),
                                            "5L|1|N"};
  Walk(message);
  // Each result is tried, reported with the reason, and named with its value.
  const std::string file = paths_.data_dir + "12345678.$90/ABL.vor";
  const std::string reason = ": Cannot create file \"" + file + "\". Disk full";
  const std::vector<std::string> expected = {
      "2024-03-01 10:00:00: A series definition was not written to " + file + " (Arterial pO2)" +
          reason,
      "2024-03-01 10:00:00: A series definition was not written to " + file + " (Arterial pCO2)" +
          reason,
      "2024-03-01 10:00:00: Results not written to " + file +
          " (Doe (123456-7890)): Arterial pO2 12 kPa at 2024-03-01 10:00:00; Arterial pCO2 6 kPa "
          "at 2024-03-01 10:00:00"};
  const std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), expected);
  EXPECT_THAT(view_.errors, ElementsAre(expected.back().substr(21)));
  // Every line and the EOT still reach the data clients, once.
  ASSERT_EQ(view_.relayed.size(), message.size() + 1);
  EXPECT_EQ(view_.relayed[5], "F:5L|1|N");
  EXPECT_EQ(view_.relayed.back(), "B:\x04");
  // The automation object got both values and the end of the message.
  EXPECT_THAT(auto_object_.calls,
              ElementsAre(StartsWith("AddValue(123456-7890,Arterial pO2,kPa,"),
                          StartsWith("AddValue(123456-7890,Arterial pCO2,kPa,"), "TransferDone()"));
  // The next message is walked alone.
  save_.fail_definitions = false;
  view_.relayed.clear();
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("Na+", "140", "mmol/L")});
  EXPECT_EQ(view_.relayed.size(), 5u);
  const std::vector<TFakePoint>& points = File("12345678.$90").points;
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0], (TFakePoint{0, points[0].time, 140}));
}

TEST_F(CollectorCoreTest, AFailingFileLosesOnlyTheResultsItHits) {
  // Ann's file fails as the row says; Bob's never does.
  MakePatient("11111111.$11", "Ann", "111111-1111");
  MakePatient("22222222.$22", "Bob", "222222-2222");
  const std::string ann = paths_.data_dir + "11111111.$11/";
  const std::string order = OrderRec("200101191500", "Blood^Arterial");
  const auto result = [](const char* parameter, const char* value) {
    return ResultRec(parameter, value, "kPa", "20010119150000");
  };
  // Ann's file has the series Arterial pO2 from the message before; pCO2 is new to
  // it. Every result is at 2001-01-19 15:00.
  const std::vector<std::string> before = {kHeader, PatientRec("1111111111"), order,
                                           result("pO2", "12")};
  const std::vector<std::string> message = {kHeader,
                                            PatientRec("1111111111"),
                                            order,
                                            result("pCO2", "6.93"),
                                            result("pO2", "2.5"),
                                            PatientRec("2222222222"),
                                            order,
                                            result("pO2", "7"),
                                            result("pCO2", "5"),
                                            "5L|1|N"};
  const std::string at = " kPa at 2001-01-19 15:00:00";
  const std::string not_written = "Results not written to " + ann + "ABL.vor (Ann (111111-1111)): ";
  struct Case {
    const char* name;
    bool TFakeSaveFile::*failure;
    size_t ann_definitions;
    std::vector<double> ann_values;
    std::vector<std::string> logged;  // entries other than "Transferring", without their time
    std::vector<std::string> transfers;
  };
  const Case cases[] = {
      {"a definition failing",
       &TFakeSaveFile::fail_definitions,
       1,
       {12, 2.5},
       {"A series definition was not written to " + ann +
            "ABL.vor (Arterial pCO2): Cannot create file \"" + ann + "ABL.vor\". Disk full",
        not_written + "Arterial pCO2 6.93" + at},
       {"Ann", "Bob"}},
      {"an append failing",
       &TFakeSaveFile::fail_points,
       2,
       {12},
       {not_written + "Arterial pCO2 6.93" + at + "; Arterial pO2 2.5" + at},
       {"Ann", "Bob"}},
      {"an open failing",
       &TFakeSaveFile::fail_open,
       1,
       {12},
       {"Results not filed, no save file opens for Ann (111111-1111): Cannot open file \"" + ann +
        "ABL.vor\". Permission denied"},
       {"Bob"}},
  };
  const auto added = [](const char* id, const char* parameter, const char* value) {
    return std::string("AddValue(") + id + ",Arterial " + parameter + ",kPa,36910.625," + value +
           ")";
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    save_.files.clear();
    Walk(before);
    auto_object_.calls.clear();
    const size_t log_start = LogLines().size();
    save_.failing_prefix = ann;
    save_.*c.failure = true;
    Walk(message);
    save_.*c.failure = false;

    EXPECT_EQ(File("11111111.$11").definitions.size(), c.ann_definitions);
    std::vector<double> values;
    for (const TFakePoint& point : File("11111111.$11").points)
      values.push_back(point.value);
    EXPECT_EQ(values, c.ann_values);
    const auto bob = save_.files.find(paths_.data_dir + "22222222.$22/ABL.vor");
    // Not an ASSERT: the next rows still run.
    EXPECT_NE(bob, save_.files.end());
    if (bob != save_.files.end()) {
      EXPECT_EQ(bob->second.points,
                (std::vector<TFakePoint>{{0, 36910.625, 7}, {1, 36910.625, 5}}));
    }
    // Every result goes to the automation object, the lost ones too, and each
    // patient's batch ends.
    EXPECT_THAT(
        auto_object_.calls,
        ElementsAre(added("111111-1111", "pCO2", "6.93"), added("111111-1111", "pO2", "2.5"),
                    "TransferDone()", added("222222-2222", "pO2", "7"),
                    added("222222-2222", "pCO2", "5"), "TransferDone()"));
    // Ann's losses are logged before Bob's transfer.
    std::vector<std::string> logged;
    std::vector<std::string> transfers;
    const std::vector<std::string> lines = LogLines();
    ASSERT_LE(log_start, lines.size());
    for (size_t i = log_start; i < lines.size(); ++i) {
      const size_t transferring = lines[i].find(" Transferring ");
      if (transferring != std::string::npos) {
        transfers.push_back(lines[i].substr(transferring + 14, 3));
        if (transfers.back() == "Bob") {
          EXPECT_EQ(logged.size(), c.logged.size());
        }
      } else {
        ASSERT_THAT(lines[i], StartsWith("2024-03-01 10:00:00: "));
        logged.push_back(lines[i].substr(21));
      }
    }
    EXPECT_EQ(logged, c.logged);
    EXPECT_EQ(transfers, c.transfers);
  }
}

TEST_F(CollectorCoreTest, PointsThatCannotBeWrittenAreReported) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  save_.fail_points = true;
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12,5", "kPa", "20010119155012"), ResultRec("pCO2", "6", "kPa"),
        ResultRec("Code", "1", "")});
  const std::string file = paths_.data_dir + "12345678.$90/ABL.vor";
  EXPECT_THAT(view_.errors, ElementsAre("Results not written to " + file +
                                        " (Doe (123456-7890)): Arterial pO2 12.5 kPa at "
                                        "2001-01-19 15:50:12; Arterial pCO2 6 kPa at 2001-01-19 "
                                        "15:50:12; Arterial Code 1 at 2001-01-19 15:50:12"));
  // The automation object still gets the values.
  EXPECT_EQ(auto_object_.calls.size(), 4u);
}

TEST_F(CollectorCoreTest, ResultsNotWrittenAreNamedInAtMost20Entries) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  save_.fail_points = true;
  // Results named at equal length (values from 1000 on), K of them to an entry
  // after its head; ReportFailure keeps an entry 21 bytes (the time) and 24 (a
  // count of repeats) short of the bound.
  const std::string head =
      "Results not written to " + paths_.data_dir + "12345678.$90/ABL.vor (Doe (123456-7890)): ";
  const size_t item = std::string("Arterial pO2 1000 kPa at 2001-01-19 15:50:12").size();
  const size_t bytes = TTransferLog::kMaxEntryBytes - 24 - 21;
  ASSERT_LT(head.size() + item, bytes);
  const size_t k = 1 + (bytes - head.size() - item) / (item + 2);
  constexpr size_t kEntries = TCollectorCore::kMaxNotWrittenEntries;
  static_assert(kEntries == 20);
  for (const size_t count : {kEntries * k, kEntries * k + 1}) {
    SCOPED_TRACE(count);
    std::vector<std::string> message = {kHeader, PatientRec("1234567890"),
                                        OrderRec("200101191500", "Blood^Arterial")};
    for (size_t i = 0; i < count; ++i)
      message.push_back(ResultRec("pO2", std::to_string(1000 + i), "kPa", "20010119155012"));
    const size_t log_start = LogLines().size();
    Walk(message);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), log_start + 1 + kEntries);  // "Transferring" and the entries
    // Each value named is the next one, in entries within the bound.
    size_t named = 0;
    for (size_t i = log_start + 1; i < lines.size(); ++i) {
      const std::string& entry = lines[i];
      EXPECT_LE(entry.size(), TTransferLog::kMaxEntryBytes);
      ASSERT_THAT(entry, StartsWith("2024-03-01 10:00:00: " + head));
      for (size_t at = entry.find(" pO2 "); at != std::string::npos;
           at = entry.find(" pO2 ", at + 1)) {
        EXPECT_EQ(entry.substr(at + 5, 4), std::to_string(1000 + named));
        ++named;
      }
    }
    if (count == kEntries * k) {
      // At the bound every result is named.
      EXPECT_EQ(named, count);
      EXPECT_THAT(lines.back(), Not(HasSubstr(" more (")));
    } else {
      // One past it: the last entry counts those it has no room for.
      EXPECT_LT(named, count);
      EXPECT_THAT(lines.back(), testing::EndsWith(" and " + std::to_string(count - named) +
                                                  " more (" + std::to_string(count) + " in all)"));
    }
  }
}

TEST_F(CollectorCoreTest, AnotherIdentitysSaveFileSendsTheResultsToTheNextName) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  save_.files[paths_.data_dir + "12345678.$90/ABL.vor"] =
      TFakeFile{"Radiometer ABLxxx", "", "123456-7890", "Someone else", {}, {}};
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12", "kPa")});
  EXPECT_EQ(core_.Filing().SaveName(), "ABL1");
  EXPECT_EQ(File("12345678.$90", "ABL1").points.size(), 1u);
  EXPECT_THAT(view_.errors, IsEmpty());
}

TEST_F(CollectorCoreTest, AForeignOrInconsistentSaveFileIsNotUsed) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  const std::string folder = paths_.data_dir + "12345678.$90/";
  save_.files[folder + "ABL.vor"] = TFakeFile{"Other monitor", "", "123456-7890", "Doe", {}, {}};
  save_.files[folder + "ABL1.vor"] =
      TFakeFile{"Radiometer ABLxxx", "", "123456-7890", "Doe", {{1, "x", "", "", "", ""}}, {}};
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12", "kPa")});
  EXPECT_EQ(core_.Filing().SaveName(), "ABL2");
  EXPECT_EQ(File("12345678.$90", "ABL2").points.size(), 1u);
}

TEST_F(CollectorCoreTest, NoSaveFileThatOpensIsReportedInsteadOfATransfer) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  save_.fail_open = true;
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
        ResultRec("pO2", "12", "kPa")});
  EXPECT_EQ(core_.Filing().SaveName(), "ABL99");
  EXPECT_FALSE(core_.Filing().SaveFileOpen());
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_THAT(view_.errors[0], StartsWith("Results not filed, no save file opens for Doe "
                                          "(123456-7890): Cannot open file"));
  EXPECT_THAT(view_.transfers, IsEmpty());
  EXPECT_THAT(LogLines().back(), Not(HasSubstr("Transferring")));
  // The value still goes to the automation object, as it always has.
  EXPECT_EQ(auto_object_.calls.size(), 2u);
}

TEST_F(CollectorCoreTest, TheSaveComponentsNoticesGoToTheErrorLine) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  save_.notice = "ABL.vor has a checksum error.";
  Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial")});
  EXPECT_THAT(view_.errors, ElementsAre("ABL.vor has a checksum error."));
  EXPECT_THAT(LogLines().back(), HasSubstr("ABL.vor has a checksum error."));
}

TEST_F(CollectorCoreTest, AfterAFailedAutomationCallNoneIsMadeButFilingGoesOn) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  for (const bool throws : {false, true}) {
    SCOPED_TRACE(throws);
    TRecordingAutoObject object;
    object.fail_at = 1;
    object.throw_instead = throws;
    core_.Automation().SetAutoObject(&object);
    Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
          ResultRec("pO2", "12", "kPa"), ResultRec("pCO2", "6", "kPa")});
    EXPECT_EQ(object.calls.size(), 1u);
    EXPECT_FALSE(core_.Automation().AutomationOK());
    core_.Automation().SetAutoObject(nullptr);
  }
  EXPECT_EQ(File("12345678.$90").points.size(), 4u);
  // Reported once, for the run.
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_THAT(view_.errors[0], StartsWith("Wardvorta's automation object failed; no more values "
                                          "go to it: AddValue: "));
}

TEST_F(CollectorCoreTest, TheSampleTime) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    platform::DateTime time;
  };
  const platform::DateTime order_time =
      platform::EncodeDate(2001, 1, 19) + platform::EncodeTime(15, 0, 0, 0);
  const Case cases[] = {
      {"first R after H",
       {kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^A"),
        ResultRec("a", "1", "", "20010119155012")},
       k1550},
      {"invalid R time is now",
       {kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^A"),
        ResultRec("a", "1", "", "20011319155012")},
       now_},
      {"no H: the order's time",
       {PatientRec("1234567890"), OrderRec("200101191500", "Blood^A"),
        ResultRec("a", "1", "", "20010119155012")},
       order_time},
      {"timeless O: the R's",
       {PatientRec("1234567890"), OrderRec("", "Blood^A"),
        ResultRec("a", "1", "", "20010119155012")},
       k1550},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    save_.files.clear();
    Walk(c.lines);
    ASSERT_EQ(File("12345678.$90").points.size(), 1u);
    EXPECT_EQ(File("12345678.$90").points[0].time, c.time);
  }
}

TEST_F(CollectorCoreTest, MessagesAreWalkedInTheOrderTheyCame) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  for (const char* value : {"1", "2", "3"}) {
    core_.QueueMessage({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^A"),
                        ResultRec("a", value, "")});
  }
  core_.QueueMessage({});  // an empty message is nothing to walk
  EXPECT_EQ(view_.posts, 3);
  EXPECT_EQ(core_.QueuedMessages(), 3u);
  while (core_.ProcessNextMessage()) {
  }
  const std::vector<TFakePoint>& points = File("12345678.$90").points;
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].value, 1);
  EXPECT_EQ(points[2].value, 3);
  EXPECT_FALSE(core_.ProcessNextMessage());
}

TEST_F(CollectorCoreTest, TheQueueIsBounded) {
  const std::vector<std::string> big(TCollectorCore::kMaxQueuedLines / 2, "1C|x");
  core_.QueueMessage(big);
  core_.QueueMessage(big);
  core_.QueueMessage({"1C|one more"});
  EXPECT_EQ(core_.QueuedMessages(), 2u);
  EXPECT_THAT(view_.errors, ElementsAre("Message dropped: too many record lines wait to be filed"));
}

TEST_F(CollectorCoreTest, SerialBytesBecomeAcknowledgedQueuedMessages) {
  const auto frame = [](const std::string& record, char end) {
    const std::string body = record + "\r" + end;
    return "\x02" + body + Checksum(body) + "\r\n";
  };
  core_.ReceiveFromAnalyzer("\x05" + frame("1H|\\^&", '\x17') + frame("2L|1", '\x03') + "\x04");
  EXPECT_EQ(view_.sent, "\x06\x06\x06");
  ASSERT_EQ(core_.QueuedMessages(), 1u);
  // A half message dropped on a change of data source is reported.
  core_.ReceiveFromAnalyzer("\x05" + frame("1H|\\^&", '\x17'));
  core_.DataSourceChanging();
  EXPECT_THAT(view_.errors, ElementsAre("Message dropped: the data source changed before its end"));
  EXPECT_THAT(LogLines().back(), HasSubstr("the data source changed"));
}

TEST_F(CollectorCoreTest, TheTransferLogKeepsAtMost201Lines) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  for (int i = 0; i < 205; ++i)
    core_.AddLogEntry("entry " + std::to_string(i));
  ASSERT_EQ(LogLines().size(), 201u);
  EXPECT_EQ(LogLines().front(), "entry 4");
  EXPECT_EQ(LogLines().back(), "entry 204");
  // The file is rewritten whole each time.
  std::ifstream in(paths_.log_file, std::ios::binary);
  int lines = 0;
  for (std::string line; std::getline(in, line);)
    ++lines;
  EXPECT_EQ(lines, 201);
  // Loaded again: the same lines.
  TTransferLog again(paths_.log_file);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Lines(), LogLines());
}

TEST_F(CollectorCoreTest, TheLogFileHoldsAtMost201LinesOfBoundedEntries) {
  const auto file_lines = [this] {
    std::vector<std::string> lines;
    const std::string text = ReadFile(paths_.log_file);
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  };
  // "New logfile" and 200 entries: at the bound, nothing goes.
  for (int i = 1; i <= 200; ++i)
    core_.AddLogEntry("entry " + std::to_string(i));
  ASSERT_EQ(file_lines().size(), 201u);
  EXPECT_EQ(file_lines().front(), "2024-03-01 10:00:00: New logfile");
  // One past it: the oldest goes.
  core_.AddLogEntry("entry 201");
  const std::vector<std::string> lines = file_lines();
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines.front(), "entry 1");
  EXPECT_EQ(lines.back(), "entry 201");

  // An entry at its bound stays whole; one byte past it is cut, and shows it.
  const std::string at_bound(TTransferLog::kMaxEntryBytes, 'a');
  core_.AddLogEntry(at_bound);
  EXPECT_EQ(file_lines().back(), at_bound);
  core_.AddLogEntry(at_bound + "b");
  EXPECT_EQ(file_lines().back(), std::string(TTransferLog::kMaxEntryBytes - 6, 'a') + " [cut]");
  // So 201 lines bound the file, whatever the entries.
  for (int i = 0; i < 300; ++i)
    core_.AddLogEntry(std::string(100000, 'x'));
  EXPECT_LE(ReadFile(paths_.log_file).size(), 201 * (TTransferLog::kMaxEntryBytes + 2));
  EXPECT_EQ(file_lines().size(), 201u);
}

TEST_F(CollectorCoreTest, LongTextsThatAreNotNumbersAreCutInTheLog) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  std::vector<std::string> message = {kHeader, PatientRec("1234567890"),
                                      OrderRec("200101191500", "Blood^Arterial")};
  for (int i = 0; i < 100; ++i)
    message.push_back(ResultRec("Code", std::string(60000, 'x'), ""));
  Walk(message);
  // The entry's 68 bytes before the texts, then 11 of 80 bytes each with "; "
  // between them, and the count: 993 bytes; a twelfth would take it past 1,024.
  const std::string item = "Arterial Code \"" + std::string(58, 'x') + " [cut]\"";
  std::string expected =
      "2024-03-01 10:00:00: Not a number, not filed for Doe (123456-7890): " + item;
  for (int i = 1; i < 11; ++i)
    expected += "; " + item;
  expected += " and 89 more (100 in all)";
  EXPECT_EQ(LogLines().back(), expected);
  EXPECT_EQ(expected.size(), 993u);
  EXPECT_LE(ReadFile(paths_.log_file).size(), 4096u);
}

TEST_F(CollectorCoreTest, TextsThatAreNotNumbersAreQuotedUpTo64Bytes) {
  MakePatient("12345678.$90", "Doe", "123456-7890");
  // The parameter as quoted is the specimen's source, a blank and the name.
  const std::string source = "Arterial ";
  const struct {
    std::string name;
    std::string value;
    std::string quoted;
  } cases[] = {
      {"Code", std::string(64, 'x'), "Arterial Code \"" + std::string(64, 'x') + "\""},
      {"Code", std::string(65, 'x'), "Arterial Code \"" + std::string(58, 'x') + " [cut]\""},
      {std::string(64 - source.size(), 'C'), "x", source + std::string(55, 'C') + " \"x\""},
      {std::string(65 - source.size(), 'C'), "x", source + std::string(49, 'C') + " [cut] \"x\""},
  };
  for (const auto& c : cases) {
    Walk({kHeader, PatientRec("1234567890"), OrderRec("200101191500", "Blood^Arterial"),
          ResultRec(c.name, c.value, "")});
    EXPECT_EQ(LogLines().back(),
              "2024-03-01 10:00:00: Not a number, not filed for Doe (123456-7890): " + c.quoted)
        << c.name.size() << ", " << c.value.size();
  }
}

TEST_F(CollectorCoreTest, TheNoticesOfOneReadAreOneEntryWithACountAndOneSave) {
  const int changes = view_.log_changes;
  {
    const TCollectorCore::TLogBatch batch(core_);
    for (int i = 0; i < 20000; ++i)
      core_.ReportFailure("Message dropped: restarted (127.0.0.1)");
    core_.ReportFailure("Record line dropped (127.0.0.1)");
    core_.ReportFailure("Message dropped: restarted (127.0.0.1)");
    // Nothing is saved or shown before the read is over.
    EXPECT_EQ(view_.log_changes, changes);
    EXPECT_THAT(view_.errors, IsEmpty());
  }
  EXPECT_EQ(view_.log_changes, changes + 1);
  EXPECT_THAT(view_.errors, ElementsAre("Message dropped: restarted (127.0.0.1)"));
  const std::vector<std::string> expected = {
      "2024-03-01 10:00:00: New logfile",
      "2024-03-01 10:00:00: Message dropped: restarted (127.0.0.1) (20000 times)",
      "2024-03-01 10:00:00: Record line dropped (127.0.0.1)",
      "2024-03-01 10:00:00: Message dropped: restarted (127.0.0.1)"};
  EXPECT_EQ(LogLines(), expected);
  TTransferLog saved(paths_.log_file);
  ASSERT_TRUE(saved.Load());
  EXPECT_EQ(saved.Lines(), expected);
  // Outside a read every failure is an entry of its own, at once.
  core_.ReportFailure("Record line dropped (127.0.0.1)");
  core_.ReportFailure("Record line dropped (127.0.0.1)");
  EXPECT_EQ(LogLines().size(), expected.size() + 2);
  EXPECT_EQ(view_.log_changes, changes + 3);
}

TEST_F(CollectorCoreTest, SerialNoiseCostsOneLogSavePerRead) {
  // ENQ, a record frame, ENQ again: each restart drops a half message.
  const std::string body = "1H|\\^&\r\x17";
  const std::string restart = "\x05\x02" + body + Checksum(body) + "\r\n";
  std::string noise;
  for (int i = 0; i < 1000; ++i)
    noise += restart;
  const int changes = view_.log_changes;
  core_.ReceiveFromAnalyzer(noise);
  EXPECT_EQ(view_.log_changes, changes + 1);
  ASSERT_EQ(LogLines().size(), 2u);
  EXPECT_THAT(
      LogLines().back(),
      HasSubstr("Message dropped: the analyzer started it again before its end (999 times)"));
}

TEST_F(CollectorCoreTest, TheLogStartsNewWhenItsFileCannotBeRead) {
  std::filesystem::remove(paths_.log_file);
  core_.LoadTransferLog();
  EXPECT_THAT(LogLines(), ElementsAre("2024-03-01 10:00:00: New logfile"));
  std::string error;
  EXPECT_TRUE(core_.NewTransferLog(&error));
  EXPECT_EQ(ReadFile(paths_.log_file), "2024-03-01 10:00:00: New logfile\r\n");
}

TEST_F(CollectorCoreTest, ALogThatCannotBeSavedIsShownInTheErrorLine) {
  std::filesystem::remove_all(paths_.data_dir);
  std::ofstream(root_.path() + "/DATA") << "a file where the data folder should be";
  core_.AddLogEntry("entry");
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_THAT(view_.errors[0], StartsWith("The transfer log could not be saved: "));
  EXPECT_EQ(LogLines().back(), "entry");
}

TEST(PatientNameTest, TheLastNameFieldIsReadToItsEndAndNoFurther) {
  using namespace std::string_literals;
  // Bytes 0-1, the last-name field (2-21) full, then bytes no name holds.
  const std::string head = "\xF1\x00"s + "ABCDEFGHIJKLMNOPQRST" + "UVW";
  ASSERT_EQ(head.size(), kPatientNameReadBytes);
  const struct {
    std::string bytes;
    std::string name;
  } cases[] = {
      {head + std::string(246, 'Z'), "ABCDEFGHIJKLMNOPQRST"},  // a whole file's size
      {head, "ABCDEFGHIJKLMNOPQRST"},                          // just what is read
      {head.substr(0, 22), "ABCDEFGHIJKLMNOPQRST"},            // up to the field's end
      {head.substr(0, 21), "ABCDEFGHIJKLMNOPQRS"},             // one byte short of it
  };
  platform_test::TempFolder folder;
  for (const auto& c : cases) {
    std::ofstream(folder.path() + "/PATIENT", std::ios::binary | std::ios::trunc) << c.bytes;
    EXPECT_EQ(TCollectorCore::ReadPatientName(folder.path() + "/"), c.name) << c.bytes.size();
  }
}

TEST(TransferLogTest, ReadingKeepsTheNewestLinesOfAnyLineEnds) {
  platform_test::TempFolder folder;
  const std::string path = folder.path() + "/log.txt";
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "line " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  text += "last\rno end";
  std::ofstream(path, std::ios::binary) << text;
  TTransferLog log(path);
  ASSERT_TRUE(log.Load());
  ASSERT_EQ(log.Lines().size(), 201u);
  EXPECT_EQ(log.Lines()[199], "last");
  EXPECT_EQ(log.Lines()[200], "no end");
  EXPECT_EQ(log.Lines()[0], "line 101");
}

TEST(TransferLogTest, OnlyTheTailOfAHugeFileIsRead) {
  platform_test::TempFolder folder;
  const std::string path = folder.path() + "/log.txt";
  {
    std::ofstream out(path, std::ios::binary);
    const std::string filler(1000, 'x');
    for (int i = 0; i < 3000; ++i)
      out << filler << "\r\n";
    out << "the end\r\n";
  }
  TTransferLog log(path);
  ASSERT_TRUE(log.Load());
  ASSERT_EQ(log.Lines().size(), 201u);
  EXPECT_EQ(log.Lines().back(), "the end");
  EXPECT_EQ(log.Lines().front(), std::string(1000, 'x'));
}

TEST(TransferLogTest, LoadingAtTheLineBoundsAndOnePast) {
  const auto numbered = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
      text += "line " + std::to_string(i) + "\r\n";
    return text;
  };
  const std::string at_bound(TTransferLog::kMaxEntryBytes, 'a');
  const struct {
    std::string text;
    size_t lines;
    std::string first;
    std::string last;
  } cases[] = {
      // 201 lines are kept; of 202 the oldest goes.
      {numbered(201), 201, "line 0", "line 200"},
      {numbered(202), 201, "line 1", "line 201"},
      // A line of 1,024 bytes is taken whole; one byte longer, it is cut.
      {"a\r\n" + at_bound + "\r\n", 2, "a", at_bound},
      {"a\r\n" + at_bound + "b\r\n", 2, "a", std::string(1018, 'a') + " [cut]"},
  };
  platform_test::TempFolder folder;
  const std::string path = folder.path() + "/log.txt";
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
    TTransferLog log(path);
    ASSERT_TRUE(log.Load());
    ASSERT_EQ(log.Lines().size(), c.lines) << c.first;
    EXPECT_EQ(log.Lines().front(), c.first);
    EXPECT_EQ(log.Lines().back(), c.last);
  }
}

TEST(TransferLogTest, TheTailReadAtItsBoundAndOneBytePast) {
  // A file of Size bytes: Start, the line "first", lines of 10,000 bytes, and a
  // last line that makes up the size; all ended CR LF.
  const auto log_file = [](const std::string& start, size_t size) {
    std::string text = start + "first\r\n";
    for (int i = 1; size - text.size() > 20000; ++i) {
      std::string line = "line " + std::to_string(i);
      line.resize(10000, 'x');
      text += line + "\r\n";
    }
    std::string last = "last";
    last.resize(size - text.size() - 2, 'x');
    return text + last + "\r\n";
  };
  constexpr size_t kTail = TTransferLog::kMaxReadBytes;
  static_assert(kTail == 1048576);
  const struct {
    const char* name;
    std::string text;
    std::string first;  // the start of the first line loaded
  } cases[] = {
      // At the bound the whole file is read.
      {"whole", log_file("", kTail), "first"},
      // One byte more: the tail starts inside the first line, which is dropped whole
      // (its CR LF too: no empty line).
      {"inside a line", log_file("X", kTail + 1), "line 1"},
      // The tail starts where a line starts: that line is whole, and kept.
      {"at a line's start", log_file("\n", kTail + 1), "first"},
      {"after a CR LF", log_file("\r\n", kTail + 2), "first"},
      // Between a CR and its LF: the line after them comes first.
      {"inside a CR LF", log_file("a\r\n", kTail + 2), "first"},
  };
  platform_test::TempFolder folder;
  const std::string path = folder.path() + "/log.txt";
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
    TTransferLog log(path);
    ASSERT_TRUE(log.Load()) << c.name;
    const std::vector<std::string>& lines = log.Lines();
    ASSERT_FALSE(lines.empty()) << c.name;
    EXPECT_EQ(lines.front().substr(0, c.first.size()), c.first) << c.name;
    EXPECT_EQ(lines.back().substr(0, 4), "last") << c.name;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 0) << c.name;
  }
}

TEST(TransferLogTest, ItemsAreListedInEntriesUpToTheirBoundAndCountedPastIt) {
  const auto items = [](int count) {
    std::vector<std::string> list;
    for (int i = 1; i <= count; ++i) {
      char text[16];
      std::snprintf(text, sizeof text, "a%03d", i);
      list.emplace_back(text);
    }
    return list;
  };
  // "H: " and six items with "; " between them: 37 bytes, the entries' bound.
  const std::string six = "H: a001; a002; a003; a004; a005; a006";
  const std::string next_six = "H: a007; a008; a009; a010; a011; a012";
  const struct {
    int items;
    size_t bytes;
    size_t max_entries;
    std::vector<std::string> entries;
  } cases[] = {
      {1, 37, 1, {"H: a001"}},
      // Six fill an entry at its bound; one byte less, or a seventh item, and the
      // count takes the place of what does not fit.
      {6, 37, 1, {six}},
      {6, 36, 1, {"H: a001; a002 and 4 more (6 in all)"}},
      {7, 37, 1, {"H: a001; a002 and 5 more (7 in all)"}},
      {7, 37, 2, {six, "H: a007"}},
      // At the bound of entries every item is listed; one more, and the last counts.
      {12, 37, 2, {six, next_six}},
      {13, 37, 2, {six, "H: a007; a008 and 5 more (13 in all)"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListInEntries("H: ", items(c.items), c.bytes, c.max_entries), c.entries)
        << c.items << " in " << c.max_entries << " of " << c.bytes;
  }
  // An item longer than an entry still gets one.
  const std::string long_item(50, 'b');
  EXPECT_EQ(ListInEntries("H: ", {long_item, "a001"}, 37, 5),
            (std::vector<std::string>{"H: " + long_item, "H: a001"}));
  // A head of half the entry is kept whole; one byte longer, it is cut to that.
  EXPECT_EQ(ListInEntries(std::string(18, 'h'), {"a001"}, 37, 1),
            (std::vector<std::string>{std::string(18, 'h') + "a001"}));
  EXPECT_EQ(ListInEntries(std::string(19, 'h'), {"a001"}, 37, 1),
            (std::vector<std::string>{std::string(12, 'h') + " [cut]a001"}));
  EXPECT_THAT(ListInEntries("H: ", {}, 37, 1), IsEmpty());
}

TEST(TransferLogTest, EntriesAreOneLineEach) {
  platform_test::TempFolder folder;
  TTransferLog log(folder.path() + "/log.txt");
  ASSERT_TRUE(
      log.Add("a\r\nb\x01"
              "c"));
  EXPECT_THAT(log.Lines(), ElementsAre("a??b?c"));
}

}  // namespace
