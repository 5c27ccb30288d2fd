#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/tests/temp_folder.h"

namespace {

class FilesTest : public ::testing::Test {
 protected:
  platform_test::TempFolder folder_{"files_test"};
  const std::string& dir_ = folder_.path();
  void Touch(const std::string& name) { std::ofstream(dir_ + "/" + name) << "x"; }
};

TEST_F(FilesTest, ExistenceOfFilesAndFolders) {
  Touch("file");
  EXPECT_TRUE(platform::FileExists(dir_ + "/file"));
  EXPECT_FALSE(platform::DirectoryExists(dir_ + "/file"));
  EXPECT_TRUE(platform::DirectoryExists(dir_));
  EXPECT_FALSE(platform::FileExists(dir_));
  EXPECT_TRUE(platform::EntryExists(dir_));
  EXPECT_FALSE(platform::EntryExists(dir_ + "/none"));
  EXPECT_FALSE(platform::EntryExists(""));
}

TEST_F(FilesTest, BackslashesSeparateFolders) {
  ASSERT_TRUE(platform::CreateDir(dir_ + "\\DATA"));
  EXPECT_TRUE(platform::DirectoryExists(dir_ + "/DATA"));
  EXPECT_FALSE(platform::CreateDir(dir_ + "/DATA"));                  // exists already
  EXPECT_FALSE(platform::CreateDir(dir_ + "/none/deeper"));           // no parent
  EXPECT_EQ(platform::ToOsPath("C\\ZQT\\\xC5r"), "C/ZQT/\xC3\x85r");  // UTF-8 names
}

TEST_F(FilesTest, FindNoCaseMatchesAsWindowsDoes) {
  Touch("Patient");
  Touch("abl.VOR");
  Touch("\xC3\x85sa");  // "Åsa" as the file system stores it
  struct Case {
    const char* asked;
    const char* found;  // nullptr: no match
  };
  const Case cases[] = {
      {"PATIENT.", "Patient"}, {"patient", "Patient"}, {"PATIENT..", "Patient"},
      {"ABL.vor", "abl.VOR"},  {"\xE5SA", "\xC5sa"},  // Windows-1252 å and Å
      {"PATIEN", nullptr},     {".", nullptr},         {"../x", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    const auto found = platform::FindNoCase(dir_, c.asked);
    if (!c.found) {
      EXPECT_FALSE(found.has_value());
    } else {
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(*found, dir_ + "/" + c.found);
    }
  }
  // An exact match wins over others that differ in case.
  Touch("PATIENT");
  EXPECT_EQ(platform::FindNoCase(dir_, "PATIENT"), dir_ + "/PATIENT");
}

}  // namespace
