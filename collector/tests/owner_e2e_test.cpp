// The real gasbridge program filing into a patient's monitor-data file that belongs
// to another user (the main application's): a message with a new series (a
// definition, which rewrites the file) and an existing one leaves the file, the
// transfer log and the settings store with their owners, and the file's owner goes
// on appending to it and loading it. Run as root, and as a user that cannot give
// the file its owner. These tests listen on the analyzer port 14000, so they hold
// the fixed ports' locks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "collector/PatientIds.h"
#include "collector/tests/gasbridge_process.h"
#include "collector/tests/program_support.h"
#include "collector/tests/read_back.h"
#include "collector/tests/records.h"
#include "datafile/QORClassIdentity.h"
#include "datamodel/DataModel.h"
#include "datamodel/SaveITNew.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/as_user.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::Feed;
using collector_test::Rec;
using collector_test::TGasbridgeProcess;
using collector_test::WaitFor;
using platform_test::kNobody;
using platform_test::kNogroup;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kAnalyzerPort = 14000;
constexpr uid_t kOther = 1001;  // another user, in the group 65534

// Patient 123456-7890 (Doe): an existing series (pO2) and a new one (pCO2).
const std::string kMessage =
    "\x01" + Rec({"H", "\\^&", "", "", "ABL SYSTEM 625^"}) + "\r" +
    Rec({"P", "1", "", "1234567890", "", "Doe^John"}) + "\r" +
    Rec({"O", "1", "", "Sample #^1", "", "", "", "200101191500", "", "", "", "", "", "", "",
         "Blood^Arterial"}) +
    "\r" + Rec({"R", "1", "^^^pO2^M", "12.02", "kPa", "", "", "", "F", "", "", "20010119155012"}) +
    "\r" + Rec({"R", "2", "^^^pCO2^M", "6.93", "kPa", "", "", "", "F"}) + "\r" +
    Rec({"L", "1", "N"}) + "\r\x04";

// "uid:gid mode", the mode in octal.
std::string OwnerOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "gone";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(st.st_mode & 07777));
  return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + mode;
}

void Give(const std::string& path, uid_t uid, gid_t gid, mode_t mode) {
  ASSERT_EQ(::chown(path.c_str(), uid, gid), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

class FileOwnerEndToEndTest : public ::testing::Test {
 protected:
  FileOwnerEndToEndTest() {
    platform_test::App();
    RegisterDataModel();
    ::chmod(folder_.path().c_str(), 0755);
  }

  // The patient's folder, its patient file, and its monitor-data file with the
  // series "Arterial pO2" and one point, as the main application left them.
  void MakePatient() {
    std::filesystem::create_directories(patient_);
    const std::vector<uint8_t> patient = BuildPatientFile("123456-7890", "John", "Doe");
    ASSERT_TRUE(WritePatientFile(patient_, patient));
    TSaveItNew save(nullptr);
    save.FileName = file_;
    save.OpenMonitorFile("Radiometer ABLxxx", "", "123456-7890", "Doe");
    TParameterSerie definition;
    definition.ParameterInfo().SetParameterName("Arterial pO2");
    definition.Unit = "kPa";
    save.AddParameterSerie(definition);
    ASSERT_TRUE(save.AppendDataPoint(0, 36900, 11));
  }

  // Starts the collector, feeds the message and waits until it is filed and the
  // transfer log saved; then ends the collector.
  void FileTheMessage() {
    ASSERT_TRUE(WaitFor([] { return !collector_test::Listening(kAnalyzerPort); }))
        << "port 14000 is taken by another program";
    ASSERT_TRUE(collector_.Start("ABL"));
    // The collector itself must hold the port, not a stranger that took it meanwhile.
    WaitFor([&] {
      return collector_test::ListensOn(collector_.Pid(), kAnalyzerPort) || !collector_.Running();
    });
    ASSERT_TRUE(collector_test::ListensOn(collector_.Pid(), kAnalyzerPort))
        << TGasbridgeProcess::Read(collector_.TransferLog());
    ASSERT_TRUE(Feed(kMessage));
    ASSERT_TRUE(WaitFor([&] { return collector_.AutomationCalls("TransferDone()") == 1; }))
        << TGasbridgeProcess::Read(collector_.TransferLog());
    EXPECT_TRUE(WaitFor([&] {
      return TGasbridgeProcess::Read(collector_.TransferLog())
                 .find(" Transferring Doe (123456-7890) to Wardvorta") != std::string::npos;
    }));
    collector_.Stop();
  }

  // What the file holds: its series, each with the number of its points.
  static std::string Series(const std::string& path) {
    std::string text;
    for (const collector_test::TReadSerie& serie : collector_test::ReadBack(path).series)
      text += serie.name + " " + std::to_string(serie.points.size()) + "; ";
    return text;
  }

  platform_test::TempFolder folder_{"gasbridge_owner"};
  collector_test::TFixedPortsLock lock_;
  TGasbridgeProcess collector_{folder_.path() + "/collector"};
  const std::string patient_ = collector_.DataDir() + "12345678.$90/";
  const std::string file_ = patient_ + "ABL.vor";
};

TEST_F(FileOwnerEndToEndTest, RunAsRootItLeavesEveryFileToItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the files to another user";
  MakePatient();
  Give(file_, kNobody, kNogroup, 0660);
  std::ofstream(collector_.TransferLog()) << "2024-03-01 10:00:00: New logfile\r\n";
  Give(collector_.TransferLog(), kNobody, kNogroup, 0660);
  const std::string store = folder_.path() + "/collector/registry.reg";
  Give(store, kNobody, kNogroup, 0600);

  FileTheMessage();
  EXPECT_EQ(OwnerOf(file_), "65534:65534 660");
  EXPECT_EQ(OwnerOf(collector_.TransferLog()), "65534:65534 660");
  EXPECT_EQ(OwnerOf(store), "65534:65534 600");
  EXPECT_EQ(Series(file_), "Arterial pO2 2; Arterial pCO2 1; ");

  // Its owner appends to it and loads it.
  ::chmod((folder_.path() + "/collector").c_str(), 0755);
  EXPECT_EQ(platform_test::RunAs(kNobody, kNogroup,
                                 [&] {
                                   TSaveItNew save(nullptr);
                                   save.FileName = file_;
                                   if (!save.AppendDataPoint(1, 36950, 7)) return std::string("?");
                                   return Series(file_);
                                 }),
            "Arterial pO2 2; Arterial pCO2 2; ");
}

TEST_F(FileOwnerEndToEndTest, RunAsAUserWhoCannotGiveTheFileItsOwnerItWritesItInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the collector as another user";
  MakePatient();
  // The collector's own folder is user 65534's; the patient's folder and files
  // belong to another user of its group.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.path()))
    ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNogroup), 0);
  Give(patient_, kOther, kNogroup, 0770);
  Give(patient_ + "Patient", kOther, kNogroup, 0640);
  Give(file_, kOther, kNogroup, 0660);
  struct stat before;
  ASSERT_EQ(::stat(file_.c_str(), &before), 0);

  collector_.RunAs(kNobody, kNogroup);
  FileTheMessage();
  EXPECT_EQ(OwnerOf(file_), "1001:65534 660");
  struct stat after;
  ASSERT_EQ(::stat(file_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Series(file_), "Arterial pO2 2; Arterial pCO2 1; ");
  const std::string log = TGasbridgeProcess::Read(collector_.TransferLog());
  EXPECT_THAT(log, Not(HasSubstr("Results not")));
  EXPECT_THAT(log, Not(HasSubstr("Message not")));
  EXPECT_THAT(log, Not(HasSubstr("Cannot")));
}

}  // namespace
