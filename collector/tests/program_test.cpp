// The real gasbridge program: started beside a damaged language module, and with
// its --quit-after bounds. Every gasbridge listens on the fixed relay port 14001,
// and these collect over the analyzer feed's 14000, so they hold a ctest resource
// lock and the machine-wide lock file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "collector/tests/gasbridge_process.h"
#include "collector/tests/program_support.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::Feed;
using collector_test::TGasbridgeProcess;
using collector_test::WaitFor;
using ::testing::HasSubstr;

constexpr int kAnalyzerPort = 14000;

class GasbridgeProgramTest : public ::testing::Test {
 protected:
  GasbridgeProgramTest() { platform_test::App(); }

  // Starts Collector with the analyzer feed once the fixed ports are free; true
  // once it listens, false when it ended first.
  bool StartCollecting(TGasbridgeProcess& collector, int quit_after = 120) {
    EXPECT_TRUE(WaitFor([] {
      return !collector_test::Listening(kAnalyzerPort) && !collector_test::Listening(14001);
    })) << "ports 14000 and 14001 are taken by another program";
    if (!collector.Start("ABL", quit_after)) return false;
    EXPECT_TRUE(WaitFor([&] {
      return collector_test::ListensOn(collector.Pid(), kAnalyzerPort) || !collector.Running();
    }));
    return collector.Running() && collector_test::ListensOn(collector.Pid(), kAnalyzerPort);
  }

  // Feeds a patient record alone until the collector has made that patient.
  void ExpectCollected(TGasbridgeProcess& collector) {
    const std::string patient = collector.DataDir() + "PROBE000.$1/Patient";
    EXPECT_TRUE(WaitFor([&] {
      EXPECT_TRUE(Feed("\x01H|\\^&\rP|1||PROBE0001||Probe^Patient\r\x04"));
      return WaitFor([&] { return std::filesystem::exists(patient); }, std::chrono::seconds(1));
    })) << TGasbridgeProcess::Read(collector.TransferLog());
  }

  platform_test::TempFolder folder_{"gasbridge_program"};
  collector_test::TFixedPortsLock lock_;
};

// A module whose main window cannot be read is not used: the collector starts on
// its own resources, collects, and says which module it refused and why.
TEST_F(GasbridgeProgramTest, ADamagedLanguageModuleIsRefusedAndTheCollectorStartsWithoutIt) {
  const struct {
    const char* module;
    const char* reason;
  } cases[] = {
      {"damaged-cut.SVE", "('=' expected on line 88)"},  // cut off after 2,000 bytes
      {"damaged-bogus.SVE", "(Class TBogusClass not found)"},
      {"damaged-interval.SVE", "(Invalid property value)"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.module);
    const std::string folder = folder_.path() + "/" + std::to_string(n++);
    TGasbridgeProcess collector(folder,
                                "\"AutoCreate\"=dword:00000001\n\n"
                                "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0"
                                "\\General]\n"
                                "\"Language\"=dword:0000041d\n");
    // The program with the module beside it, as an installation has them.
    const std::string program = folder + "/bin/gasbridge";
    std::filesystem::create_directories(folder + "/bin");
    // A link where it can be (the program is large in the sanitizer trees).
    std::error_code no_link;
    std::filesystem::create_hard_link(QOR_GASBRIDGE, program, no_link);
    if (no_link) std::filesystem::copy_file(QOR_GASBRIDGE, program);
    std::filesystem::copy_file(std::string(QOR_COLLECTOR_MODULE_DIR) + "/" + c.module,
                               program + ".SVE");
    collector.SetProgram(program);
    if (!StartCollecting(collector)) {
      ADD_FAILURE() << "the collector ended at its start";
      continue;
    }
    ExpectCollected(collector);
    EXPECT_THAT(TGasbridgeProcess::Read(collector.TransferLog()),
                HasSubstr(": Language module not used: " + program + ".SVE ("));
    EXPECT_THAT(TGasbridgeProcess::Read(collector.TransferLog()), HasSubstr(c.reason));
    EXPECT_TRUE(collector.Running());
  }
}

// Qt's single-shot timer takes an int of milliseconds: past 2,147,483 s it would
// overflow (4,294,968 s would come to 0.73 s), so such a value ends the program
// at once with exit code 2, before it makes a window or takes a port.
TEST_F(GasbridgeProgramTest, QuitAfterIsTakenUpToItsBoundAndRefusedPastIt) {
  for (const int seconds : {0, 2147484, 4294968}) {
    SCOPED_TRACE(seconds);
    TGasbridgeProcess collector(folder_.path() + "/" + std::to_string(seconds));
    ASSERT_TRUE(collector.Start("ABL", seconds));
    EXPECT_EQ(collector.WaitForExit(), 2);
    EXPECT_FALSE(std::filesystem::exists(collector.TransferLog()));
  }
  TGasbridgeProcess collector(folder_.path() + "/longest", "\"AutoCreate\"=dword:00000001\n");
  ASSERT_TRUE(StartCollecting(collector, 2147483));
  ExpectCollected(collector);
  EXPECT_TRUE(collector.Running());
}

}  // namespace
