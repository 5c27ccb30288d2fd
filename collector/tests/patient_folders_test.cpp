// Patients in folders the collector may not list, or looked for without a file
// descriptor to spare: a patient that is there is found and its results filed; one
// that cannot be looked for is reported, never created over the main application's
// file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "collector/Unit1Core.h"
#include "collector/tests/core_fakes.h"
#include "collector/tests/fake_save_file.h"
#include "collector/tests/records.h"
#include "platform/locale.h"
#include "platform/tests/as_user.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::Rec;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::vector<std::string> kMessage = {
    "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000",
    Rec({"2P", "1", "", "1234567890", "", "Doe^John"}),
    Rec({"3O", "1", "", "Sample #^1", "", "", "", "200101191500", "", "", "", "", "", "", "",
         "Blood^Arterial"}),
    Rec({"4R", "1", "^^^pO2^M", "12.02", "kPa", "", "", "", "F", "", "", "20010119155012"}),
};
const char kFolderName[] = "12345678.$90";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The patient file as the main application keeps it: the template with the
// patient's names, and its own data after it.
std::string MainApplicationsFile() {
  const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "John", "Doe");
  return std::string(bytes.begin(), bytes.end()) + "the main application's own data";
}

class PatientFoldersTest : public ::testing::Test {
 protected:
  PatientFoldersTest()
      : locale_(platform::LocaleSettings{}),
        paths_(TCollectorPaths::FromRoot(root_.path() + "/")),
        core_(view_, paths_, save_),
        folder_(paths_.data_dir + kFolderName + "/") {
    std::filesystem::create_directories(folder_);
    core_.Automation().SetAutoObject(&auto_object_);
    core_.LoadTransferLog();
    core_.Options().auto_create = true;
    // User 65534 may walk to the data folder and save the transfer log there.
    ::chmod(root_.path().c_str(), 0755);
    ::chmod(paths_.data_dir.c_str(), 0777);
  }
  ~PatientFoldersTest() override { core_.Automation().SetAutoObject(nullptr); }

  // The patient folder with one entry of that name and those bytes, and that mode.
  void MakeFolder(const std::string& entry, const std::string& bytes, mode_t mode) {
    std::ofstream(folder_ + entry, std::ios::binary) << bytes;
    ::chmod(folder_.c_str(), mode);
  }

  // Walks the message (as user 65534, or with no descriptor to spare) and tells
  // what the collector showed and filed: the errors, the notices of new patients,
  // the points filed, one line each.
  std::string WalkAs(bool nobody, bool no_descriptors = false) {
    const auto walk = [&] {
      {
        std::optional<platform_test::TNoDescriptorsLeft> none;
        if (no_descriptors && !none.emplace().Exhausted()) return std::string("?");
        core_.QueueMessage(kMessage);
        core_.ProcessNextMessage();
      }
      std::string seen;
      for (const std::string& error : view_.errors)
        seen += "error: " + error + "\n";
      for (const std::string& created : view_.new_patients)
        seen += "notice: " + created + "\n";
      for (const auto& [name, file] : save_.files)
        seen += "filed: " + std::to_string(file.points.size()) + "\n";
      return seen;
    };
    if (!nobody) return platform_test::RunInChild(walk);
    return platform_test::RunAs(platform_test::kNobody, platform_test::kNogroup, walk);
  }

  platform_test::TempFolder root_{"patient_folders"};
  platform::ScopedLocaleSettings locale_;
  TCollectorPaths paths_;
  TRecordingView view_;
  TFakeSaveFile save_;
  TRecordingAutoObject auto_object_;
  TCollectorCore core_;
  const std::string folder_;
};

TEST_F(PatientFoldersTest, APatientInAFolderThatCannotBeListedIsFoundAndItsResultFiled) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to walk as another user";
  MakeFolder("Patient", MainApplicationsFile(), 0333);
  EXPECT_EQ(WalkAs(true), "filed: 1\n");
  EXPECT_EQ(ReadFile(folder_ + "Patient"), MainApplicationsFile());
}

TEST_F(PatientFoldersTest, AFolderThatCannotBeListedIsReportedNotTakenForAMissingPatient) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to walk as another user";
  // The main application's own spelling of the file's name, which only a listing
  // finds.
  MakeFolder("PATIENT", MainApplicationsFile(), 0333);
  EXPECT_EQ(WalkAs(true),
            "error: Message not completely filed ( (123456-7890)): Cannot list "
            "folder \"" +
                folder_ + "\". Permission denied\n");
  EXPECT_THAT(ReadFile(paths_.log_file), HasSubstr("Cannot list folder"));
  ::chmod(folder_.c_str(), 0755);
  EXPECT_FALSE(std::filesystem::exists(folder_ + "Patient"));
  EXPECT_EQ(ReadFile(folder_ + "PATIENT"), MainApplicationsFile());
}

TEST_F(PatientFoldersTest, APatientLookedForWithoutDescriptorsLeftIsNotCreatedAgain) {
  MakeFolder("Patient", MainApplicationsFile(), 0755);
  const std::string seen = WalkAs(false, true);
  EXPECT_THAT(seen, Not(HasSubstr("Patient not created")));
  EXPECT_THAT(seen, Not(HasSubstr("notice: ")));
  EXPECT_EQ(ReadFile(folder_ + "Patient"), MainApplicationsFile());
}

TEST_F(PatientFoldersTest, CreatingAPatientNeverReplacesWhatIsThere) {
  // A patient file that another program made meanwhile stays, unannounced.
  MakeFolder("Patient", MainApplicationsFile(), 0755);
  EXPECT_TRUE(core_.CreatePatient("123456-7890", "Jane", "Roe", folder_));
  EXPECT_EQ(ReadFile(folder_ + "Patient"), MainApplicationsFile());
  EXPECT_THAT(view_.new_patients, IsEmpty());
  EXPECT_THAT(view_.errors, IsEmpty());

  // A folder of that name: reported.
  const std::string other = paths_.data_dir + "23456789.$01/";
  std::filesystem::create_directories(other + "Patient");
  EXPECT_FALSE(core_.CreatePatient("234567-8901", "Jane", "Roe", other));
  EXPECT_THAT(view_.errors,
              ::testing::ElementsAre("Patient not created: 234567-8901 (Jane Roe) - " + other +
                                     ": Cannot create file \"" + other + "Patient\". File exists"));
}

}  // namespace
