// The real gasbridge program on a pseudo-terminal, as on an analyzer's cable: a
// message for two patients while another program holds the writers' lock on the
// first one's monitor-data file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "collector/AnalyzerLink.h"
#include "collector/tests/gasbridge_process.h"
#include "collector/tests/program_support.h"
#include "collector/tests/read_back.h"
#include "datamodel/DataModel.h"
#include "platform/lock_file.h"
#include "platform/tests/pty_pair.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::TGasbridgeProcess;
using collector_test::WaitFor;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

class SerialEndToEndTest : public ::testing::Test {
 protected:
  SerialEndToEndTest() : line_(ports_.Add(1)) { RegisterDataModel(); }

  // Starts the program on COM1 and waits until it holds the port open.
  void Start() {
    ASSERT_TRUE(gasbridge_.Start(
        "COM1", 120, {"QOR_COMPORTS=" + ports_.path(), "QOR_LOCK_DIR=" + ports_.lock_folder()}));
    ASSERT_TRUE(WaitFor([&] { return HoldsPortOpen() || !gasbridge_.Running(); }));
    ASSERT_TRUE(gasbridge_.Running());
  }

  bool HoldsPortOpen() const {
    std::error_code error;
    const std::string fds = "/proc/" + std::to_string(gasbridge_.Pid()) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
      std::error_code ignored;
      if (std::filesystem::read_symlink(entry.path(), ignored) == line_.slave_path()) return true;
    }
    return false;
  }

  // Sends the records as an analyzer does, one frame each, each after the ACK of
  // the one before, then EOT.
  void Send(const std::vector<std::string>& records) {
    // An ENQ that came before the port was set up is lost: it goes again until
    // answered (a repeated ENQ before any frame restarts nothing).
    ASSERT_TRUE(WaitFor([&] {
      line_.Write("\x05");
      return line_.Read(1, 2000) == "\x06";
    }));
    int digit = 1;
    for (const std::string& record : records) {
      const std::string body = std::to_string(digit++ % 8) + record + "\r\x03";
      line_.Write("\x02" + body + Checksum(body) + "\r\n");
      ASSERT_EQ(line_.Read(1), "\x06") << record;
    }
    line_.Write("\x04");
  }

  platform_test::TempFolder folder_{"gasbridge_serial_e2e"};
  // Every gasbridge listens on the relay port, whatever its data source.
  collector_test::TFixedPortsLock fixed_ports_;
  platform_test::ComPorts ports_;
  platform_test::Pty& line_;
  TGasbridgeProcess gasbridge_{folder_.path() + "/gasbridge",
                               "\"AutoCreate\"=dword:00000001\n\"CheckForDSR\"=dword:00000000\n"};
};

TEST_F(SerialEndToEndTest, AFileLockedByAnotherProgramLosesOnlyItsOwnResults) {
  Start();
  const std::string order = "O|1||S^1||||200101191500||||||||Blood^Arterial";
  const auto result = [](const char* parameter, const char* value) {
    return std::string("R|1|^^^") + parameter + "^M|" + value + "|kPa||||F|||20010119150000";
  };
  // Alpha is created by her first message, and her file gets the series Arterial pO2.
  Send({"H|\\^&|||ABL SYSTEM 625^", "P|1||1111111111||Alpha^Ann", order, result("pO2", "12"),
        "L|1|N"});
  ASSERT_TRUE(WaitFor([&] { return gasbridge_.AutomationCalls("TransferDone()") == 1; }))
      << TGasbridgeProcess::Read(gasbridge_.AutomationLog());
  const std::string alpha = gasbridge_.DataDir() + "11111111.$11/ABL.vor";
  const std::string beta = gasbridge_.DataDir() + "22222222.$22/";
  {
    // Another program holds the writers' lock on Alpha's file, as the save component
    // takes it, while the next message is filed: pCO2 is a new series for her, pO2
    // an existing one; Beta is new.
    platform::LockFile other;
    ASSERT_EQ(other.TryTake(alpha), platform::LockFile::Result::kTaken);
    Send({"H|\\^&|||ABL SYSTEM 625^", "P|1||1111111111||Alpha^Ann", order, result("pCO2", "6.93"),
          result("pO2", "2.5"), "P|2||2222222222||Beta^Bob", order, result("pO2", "7"),
          result("pCO2", "5"), "L|1|N"});
    ASSERT_TRUE(WaitFor([&] { return gasbridge_.AutomationCalls("TransferDone()") == 3; }))
        << TGasbridgeProcess::Read(gasbridge_.AutomationLog());
  }

  // Alpha's file is as it was.
  const collector_test::TReadFile alpha_file = collector_test::ReadBack(alpha);
  const double time = 36910.625;  // 2001-01-19 15:00
  ASSERT_EQ(alpha_file.series.size(), 1u);
  EXPECT_EQ(alpha_file.series[0].points, (std::vector<std::pair<double, double>>{{time, 12}}));
  // Beta's folder, patient file and monitor-data file were made, with her results.
  EXPECT_TRUE(std::filesystem::exists(beta + "Patient"));
  const collector_test::TReadFile beta_file = collector_test::ReadBack(beta + "ABL.vor");
  EXPECT_EQ(beta_file.patient_id, "222222-2222");
  ASSERT_EQ(beta_file.series.size(), 2u);
  EXPECT_EQ(beta_file.series[0].name, "Arterial pO2");
  EXPECT_EQ(beta_file.series[0].points, (std::vector<std::pair<double, double>>{{time, 7}}));
  EXPECT_EQ(beta_file.series[1].name, "Arterial pCO2");
  EXPECT_EQ(beta_file.series[1].points, (std::vector<std::pair<double, double>>{{time, 5}}));

  // Every value went to the main application, the lost ones too, and each
  // patient's batch ended.
  const auto added = [](const char* id, const char* parameter, double value) {
    char number[40];
    std::snprintf(number, sizeof number, "%.17g", value);
    return std::string("AddValue(\"") + id + "\", \"Arterial " + parameter +
           "\", \"kPa\", 36910.625, " + number + ")\n";
  };
  EXPECT_EQ(TGasbridgeProcess::Read(gasbridge_.AutomationLog()),
            added("111111-1111", "pO2", 12) + "TransferDone()\n" +
                added("111111-1111", "pCO2", 6.93) + added("111111-1111", "pO2", 2.5) +
                "TransferDone()\n" + added("222222-2222", "pO2", 7) +
                added("222222-2222", "pCO2", 5) + "TransferDone()\n");

  // The log names the lost results with their values, and why they were lost; it
  // was saved before the last TransferDone.
  const std::string log = TGasbridgeProcess::Read(gasbridge_.TransferLog());
  EXPECT_THAT(log, AllOf(HasSubstr("Results not written to " + alpha +
                                   " (Alpha (111111-1111)): Arterial pCO2 6.93 kPa at "),
                         HasSubstr("; Arterial pO2 2.5 kPa at ")));
  EXPECT_THAT(log, HasSubstr("A series definition was not written to " + alpha +
                             " (Arterial pCO2): Cannot open file \"" + alpha +
                             "\". The process cannot access the file because it is being used "
                             "by another process"));
  EXPECT_THAT(log, HasSubstr(" Transferring Beta (222222-2222) to Wardvorta"));
  EXPECT_THAT(log, Not(HasSubstr("Message not completely filed")));
  EXPECT_TRUE(gasbridge_.Running());
}

}  // namespace
