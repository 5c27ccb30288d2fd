#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "platform/program.h"
#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

TEST(PathsTest, DrivePathsLieInTheDrivesFolder) {
  platform_test::TempFolder folder("qor_drives");
  ScopedEnv drives("QOR_DRIVES", folder.path().c_str());
  const std::string c = folder.path() + "/c";
  struct Case {
    const char* path;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\ZQT\\", c + "/ZQT/"},
      {"c:\\ZQT\\DATA\\ABL 625 Logfile.txt", c + "/ZQT/DATA/ABL 625 Logfile.txt"},
      {"C:/ZQT/x", c + "/ZQT/x"},
      {"C:ZQT", c + "/ZQT"},
      {"C:\\", c + "/"},
      {"D:\\A", folder.path() + "/d/A"},
      {"DATA\\x", "DATA/x"},
      {"/abs/C:\\x", "/abs/C:/x"},
      {"1:\\x", "1:/x"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(ToOsPath(k.path), k.expected) << k.path;
  // A drive without its folder is not there; once the folder exists it is.
  EXPECT_FALSE(CreateDir("C:\\ZQT"));
  std::filesystem::create_directory(c);
  EXPECT_TRUE(CreateDir("C:\\ZQT"));
  EXPECT_TRUE(DirectoryExists("C:\\zqt") || DirectoryExists("C:\\ZQT"));
  EXPECT_TRUE(std::filesystem::is_directory(c + "/ZQT"));
}

TEST(PathsTest, WithoutQorDrivesTheUsersDataFolderHoldsTheDrives) {
  ScopedEnv drives("QOR_DRIVES", nullptr);
  platform_test::TempFolder folder("qor_xdg");
  {
    ScopedEnv data("XDG_DATA_HOME", folder.path().c_str());
    EXPECT_EQ(DriveFolder('C'), folder.path() + "/qor/drives/c");
  }
  ScopedEnv data("XDG_DATA_HOME", nullptr);
  ScopedEnv home("HOME", folder.path().c_str());
  EXPECT_EQ(DriveFolder('e'), folder.path() + "/.local/share/qor/drives/e");
}

TEST(ProgramTest, PathAndTitle) {
  EXPECT_NE(ProgramPath().find("platform_core_tests"), std::string::npos);
  {
    ScopedProgramPath path("/opt/qor/Gasbridge.exe");
    EXPECT_EQ(ProgramPath(), "/opt/qor/Gasbridge.exe");
    EXPECT_EQ(ApplicationTitle(), "Gasbridge");
  }
  EXPECT_NE(ProgramPath().find("platform_core_tests"), std::string::npos);
}

}  // namespace
}  // namespace platform
