#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(folder_.path() + "/zqtdata.ini", std::ios::binary)
        << "; registered patients\r\n"
           "[ Registered ]\r\n"
           "1 = 12345678.$90\\PATIENT.  \r\n"
           "2=\"quoted value\"\r\n"
           "3='single'\r\n"
           "4=\"half\r\n"
           "5=a ; not a comment\r\n"
           "1=second one is ignored\r\n"
           "Hex=$1F\r\n"
           "Minus=-12\r\n"
           "Big=99999999999\r\n"
           "[Registered]\r\n"
           "6=a second section of the name is ignored\r\n"
           "[Other]\r\n"
           "1=other\r\n"
           "novalue\r\n"
           "Empty=\r\n";
  }
  platform_test::TempFolder folder_{"qor_ini"};
};

TEST_F(IniFileTest, FollowsTheProfileRules) {
  // The file's name matches without case, as sections and keys do.
  const TIniFile ini(folder_.path() + "/ZQTDATA.INI");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Registered", "1", "12345678.$90\\PATIENT."},
      {"REGISTERED", "2", "quoted value"},
      {"registered", "3", "single"},
      {"Registered", "4", "\"half"},
      {"Registered", "5", "a ; not a comment"},
      {"Registered", "6", "dflt"},
      {"Registered", "7", "dflt"},
      {"Other", "1", "other"},
      {"Other", "NOVALUE", "dflt"},
      {"Other", "empty", ""},
      {"Missing", "1", "dflt"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(ini.ReadString("Missing", "1", "trailing blanks go  "), "trailing blanks go");
  EXPECT_TRUE(ini.SectionExists("other"));
  EXPECT_FALSE(ini.SectionExists("none"));
}

TEST_F(IniFileTest, ReadsIntegers) {
  const TIniFile ini(folder_.path() + "/zqtdata.ini");
  EXPECT_EQ(ini.ReadInteger("Registered", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Registered", "Minus", 0), -12);
  EXPECT_EQ(ini.ReadInteger("Registered", "Big", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Registered", "2", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Registered", "none", 7), 7);
}

TEST_F(IniFileTest, AMissingFileGivesTheDefaults) {
  const TIniFile ini(folder_.path() + "/none.ini");
  EXPECT_EQ(ini.ReadString("Registered", "1", ""), "");
  EXPECT_EQ(ini.ReadInteger("Registered", "1", 3), 3);
  EXPECT_FALSE(ini.SectionExists("Registered"));
}

}  // namespace
}  // namespace platform
