// The real gasbridge program on a settings store it cannot wholly take: one with a
// line it cannot read and comments, and one exported as UTF-16 by the registry
// editor. Either way it starts, collects from the TCP analyzer feed (port 14000)
// and loses no line of the store. These tests listen on the fixed ports, so they
// hold a ctest resource lock and a machine-wide lock file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "collector/tests/abl9_expected.h"
#include "collector/tests/gasbridge_process.h"
#include "collector/tests/program_support.h"
#include "collector/tests/stream_recorder.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::Feed;
using collector_test::TGasbridgeProcess;
using collector_test::WaitFor;
using ::testing::HasSubstr;

constexpr int kAnalyzerPort = 14000;
constexpr int kRelayPort = 14001;

// The lines of a store's text that hold something, without their line ends.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// Whether every line of Before stands in After, in the same order.
::testing::AssertionResult KeepsEveryLine(const std::string& before, const std::string& after) {
  const std::vector<std::string> new_lines = LinesOf(after);
  size_t at = 0;
  for (const std::string& line : LinesOf(before)) {
    while (at < new_lines.size() && new_lines[at] != line)
      ++at;
    if (at == new_lines.size())
      return ::testing::AssertionFailure() << "lost: " << line << "\n" << after;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

// ASCII text as UTF-16LE with its byte-order mark, as the registry editor exports.
std::string Utf16Le(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

class DamagedStoreTest : public ::testing::Test {
 protected:
  DamagedStoreTest() { platform_test::App(); }

  // The store's text, with the stand-in automation server, the data root (by
  // ZQTData's line) and the collector's settings.
  std::string StoreText(const std::string& zqtdata_line) const {
    return "Windows Registry Editor Version 5.00\r\n"
           "\r\n"
           "; written by hand\r\n"
           "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
           "{6EB172E1-23B9-11D1-AF5F-444553540000}\\InprocServer32]\r\n"
           "@=\"" QOR_STANDIN_LIBRARY
           "\"\r\n"
           "\r\n"
           "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\r\n"
           "; the data root\r\n" +
           zqtdata_line +
           "\r\n"
           "\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External "
           "Collect\\1.0\\ABL]\r\n"
           "\"AutoCreate\"=dword:00000001\r\n";
  }

  // Starts the collector on a store of those bytes as the TCP analyzer server and
  // feeds it the ABL9 message, until every result has reached the main application.
  void StartAndCollect(const std::string& store_bytes) {
    std::ofstream(Store(), std::ios::binary | std::ios::trunc) << store_bytes;
    ASSERT_TRUE(WaitFor([] {
      return !collector_test::Listening(kAnalyzerPort) && !collector_test::Listening(kRelayPort);
    })) << "ports 14000 and 14001 are taken by another program";
    ASSERT_TRUE(gasbridge_.Start("ABL"));
    ASSERT_TRUE(WaitFor([&] {
      return collector_test::ListensOn(gasbridge_.Pid(), kAnalyzerPort) || !gasbridge_.Running();
    }));
    ASSERT_TRUE(collector_test::ListensOn(gasbridge_.Pid(), kAnalyzerPort))
        << TGasbridgeProcess::Read(gasbridge_.TransferLog());
    ASSERT_TRUE(Feed(collector_test::ReadFixture(QOR_COLLECTOR_TESTDATA_DIR "/" +
                                                 std::string(collector_test::kAbl9File))));
    ASSERT_TRUE(WaitFor([&] {
      return gasbridge_.AutomationCalls("AddValue(\"100000-001\"") == 32;
    })) << TGasbridgeProcess::Read(gasbridge_.AutomationLog());
    EXPECT_TRUE(gasbridge_.Running());
  }

  std::string Store() const { return folder_.path() + "/g/registry.reg"; }

  platform_test::TempFolder folder_{"gasbridge_store"};
  collector_test::TFixedPortsLock lock_;
  TGasbridgeProcess gasbridge_{folder_.path() + "/g"};
};

TEST_F(DamagedStoreTest, ALineItCannotReadAndTheCommentsOutliveAStart) {
  // The closing quote of the data root is missing: the root is the default's,
  // C:\ZQT\.
  std::filesystem::create_directories(folder_.path() + "/g/drives/c/ZQT/DATA");
  const std::string before = StoreText("\"ZQTData\"=\"" + folder_.path() + "/g/root/ZQTDATA.INI");
  StartAndCollect(before);
  EXPECT_TRUE(std::filesystem::exists(folder_.path() + "/g/drives/c/ZQT/DATA/" +
                                      collector_test::kAbl9Folder + "/ABL.vor"));
  gasbridge_.Stop();
  const std::string after = TGasbridgeProcess::Read(Store());
  EXPECT_TRUE(KeepsEveryLine(before, after));
  // The start wrote its autostart entry all the same.
  EXPECT_THAT(after, HasSubstr("[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics "
                               "AB\\Autostart\\ABL625]\n\"DoStart\"=dword:00000001\n"));
}

TEST_F(DamagedStoreTest, AUtf16StoreIsReadLeftAsItIsAndTheRefusalLogged) {
  const std::string before =
      Utf16Le(StoreText("\"ZQTData\"=\"" + folder_.path() + "/g/root/ZQTDATA.INI\""));
  StartAndCollect(before);
  EXPECT_TRUE(
      std::filesystem::exists(gasbridge_.DataDir() + collector_test::kAbl9Folder + "/ABL.vor"));
  EXPECT_TRUE(WaitFor([&] {
    return TGasbridgeProcess::Read(gasbridge_.TransferLog())
               .find("Failed to set data for 'DoStart': the settings store " + Store() +
                     " is not UTF-8 text (line 1 begins with a UTF-16 byte-order mark)") !=
           std::string::npos;
  })) << TGasbridgeProcess::Read(gasbridge_.TransferLog());
  gasbridge_.Stop();
  EXPECT_EQ(TGasbridgeProcess::Read(Store()), before);
}

}  // namespace
