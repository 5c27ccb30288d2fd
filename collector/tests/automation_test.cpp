// The automation object through the activation layer: the stand-in server library
// found through the settings store, its log of every call, and the collector's hold
// on the object.
#include "collector/Unit1Automation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "collector/tests/core_fakes.h"
#include "collector/tests/scoped_env.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::ScopedEnv;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class StandInTest : public ::testing::Test {
 protected:
  void Register(const std::string& library) {
    std::ofstream(store_, std::ios::binary)
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
           "{6EB172E1-23B9-11D1-AF5F-444553540000}\\InprocServer32]\n"
           "@=\""
        << library << "\"\n";
  }
  std::string Log() const {
    std::ifstream in(log_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  platform_test::TempFolder folder_{"gasbridge_automation"};
  std::string store_ = folder_.path() + "/registry.reg";
  std::string log_ = folder_.path() + "/automation.log";
  ScopedEnv registry_env_{"QOR_REGISTRY", store_};
  ScopedEnv log_env_{"QOR_AUTOMATION_LOG", log_};
};

TEST_F(StandInTest, EveryCallIsAppendedToTheLog) {
  Register(QOR_STANDIN_LIBRARY);
  TAutomation automation;
  automation.SetAutoObject(CoVistameterAutoObject::Create());
  ASSERT_TRUE(automation.AutomationOK());
  EXPECT_TRUE(automation.AddValue("123456-7890", "Arterial pO2", "kPa", 36910.625, 12.02));
  EXPECT_TRUE(
      automation.AddValueWithSource("123456-7890", "pO2", "Art\xE4r \"a\"", "kPa", 36910.5, -2.5));
  EXPECT_TRUE(automation.TransferDone());
  automation.AutoObject()->Reserved5();
  EXPECT_EQ(Log(),
            "AddValue(\"123456-7890\", \"Arterial pO2\", \"kPa\", 36910.625, 12.02)\n"
            "AddValueWithSource(\"123456-7890\", \"pO2\", \"Art\xC3\xA4r \\\"a\\\"\", \"kPa\", "
            "36910.5, -2.5)\n"
            "TransferDone()\n"
            "Reserved5()\n");
}

TEST_F(StandInTest, ALogThatCannotBeWrittenFailsTheCallAndEndsAutomation) {
  Register(QOR_STANDIN_LIBRARY);
  ScopedEnv unwritable("QOR_AUTOMATION_LOG", folder_.path() + "/no/such/folder/log");
  TAutomation automation;
  automation.SetAutoObject(CoVistameterAutoObject::Create());
  EXPECT_FALSE(automation.TransferDone());
  EXPECT_FALSE(automation.AutomationOK());
  EXPECT_THAT(automation.LastFailure(), HasSubstr("TransferDone: "));
  // No further call is made.
  EXPECT_TRUE(automation.TransferDone());
}

TEST_F(StandInTest, WithoutALogOfItsOwnItWritesIntoTheUsersDataFolderMakingItWhole) {
  // A new user's home: no ~/.local yet.
  Register(QOR_STANDIN_LIBRARY);
  const std::string home = folder_.path() + "/home";
  std::filesystem::create_directory(home);
  ScopedEnv no_log("QOR_AUTOMATION_LOG", "");
  ScopedEnv no_data_home("XDG_DATA_HOME", "");
  ScopedEnv home_env("HOME", home);
  TAutomation automation;
  automation.SetAutoObject(CoVistameterAutoObject::Create());
  EXPECT_TRUE(automation.TransferDone());
  EXPECT_TRUE(automation.AutomationOK()) << automation.LastFailure();
  std::ifstream in(home + "/.local/share/qor/wardvorta-automation.log", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "TransferDone()\n");
  // The folders it made are the user's alone.
  for (const char* made : {"/.local", "/.local/share", "/.local/share/qor"}) {
    EXPECT_EQ(std::filesystem::status(home + made).permissions(), std::filesystem::perms::owner_all)
        << made;
  }
}

TEST_F(StandInTest, CreationFailsWithoutARegisteredServer) {
  for (const std::string library : {"", "/no/such/library.so"}) {
    if (!library.empty()) Register(library);
    try {
      CoVistameterAutoObject::Create();
      ADD_FAILURE() << "created with " << library;
    } catch (const platform::EOleSysError& error) {
      EXPECT_NE(error.ErrorCode(), platform::S_OK);
    }
  }
}

// Without a log named, the log goes under the user's data folder, made as far as it
// is missing; every folder made for it is the user's alone: it holds patients' results.
TEST_F(StandInTest, TheDefaultLogsFoldersAreMadeForTheUserAlone) {
  Register(QOR_STANDIN_LIBRARY);
  const std::string home = folder_.path() + "/home";
  const std::string data = home + "/.local/share";
  ScopedEnv no_log("QOR_AUTOMATION_LOG", "");
  ScopedEnv data_env("XDG_DATA_HOME", data);
  TAutomation automation;
  automation.SetAutoObject(CoVistameterAutoObject::Create());
  EXPECT_TRUE(automation.TransferDone());
  std::ifstream in(data + "/qor/wardvorta-automation.log", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "TransferDone()\n");
  for (const std::string& made : {home, home + "/.local", data, data + "/qor"}) {
    EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all)
        << made;
  }
}

TEST(AutomationTest, TheCallsGoInPlaceWithTheirArgumentsConverted) {
  TRecordingAutoObject object;
  {
    TAutomation automation;
    automation.SetAutoObject(&object);
    automation.AddValue("id", "Art\xE4r pO2", "kPa", 1.5, 2);
    automation.AddValueWithSource("id", "pO2", "Art\xE4r", "kPa", 1.5, 2);
    automation.TransferDone();
  }
  EXPECT_THAT(object.calls,
              ElementsAre("AddValue(id,Art\xE4r pO2,kPa,1.5,2)",
                          "AddValueWithSource(id,pO2,Art\xE4r,kPa,1.5,2)", "TransferDone()"));
  // The reference it was given is released at the end.
  EXPECT_EQ(object.references, 0);
}

TEST(AutomationTest, WithoutAnObjectNoCallIsMade) {
  TAutomation automation;
  EXPECT_FALSE(automation.AutomationOK());
  EXPECT_TRUE(automation.TransferDone());
  EXPECT_TRUE(automation.LastFailure().empty());
}

}  // namespace
