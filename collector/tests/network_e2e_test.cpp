// Two real gasbridge programs on the loopback interface, each with its own settings
// store and data root: the first collects from the TCP analyzer feed (port 14000)
// and relays every record line from its relay server (port 14001); the second is
// its relay client, whose own relay server finds 14001 taken and which runs on
// without it. Both file the same results. These tests listen on the fixed ports, so
// they hold a ctest resource lock and a machine-wide lock file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QNetworkProxy>
#include <QTcpSocket>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "collector/tests/abl9_expected.h"
#include "collector/tests/gasbridge_process.h"
#include "collector/tests/read_back.h"
#include "collector/tests/stream_recorder.h"
#include "datamodel/DataModel.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::TGasbridgeProcess;
using ::testing::HasSubstr;

constexpr int kAnalyzerPort = 14000;
constexpr int kRelayPort = 14001;

// Polls Done until it holds; false after Limit (a safety net, never a measure).
bool WaitFor(const std::function<bool()>& done,
             std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Sends Bytes to the analyzer port, as an analyzer does, and closes.
bool Feed(const std::string& bytes) {
  QTcpSocket socket;
  socket.setProxy(QNetworkProxy::NoProxy);
  socket.connectToHost("127.0.0.1", kAnalyzerPort);
  if (!socket.waitForConnected(10000)) return false;
  socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(10000)) return false;
  }
  socket.disconnectFromHost();
  if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(10000);
  return true;
}

class NetworkEndToEndTest : public ::testing::Test {
 protected:
  NetworkEndToEndTest() {
    platform_test::App();
    RegisterDataModel();
  }

  // The first collector, once it listens on both ports itself: were one of them
  // another program's, the relay client would connect to a stranger.
  void StartFirst() {
    ASSERT_TRUE(WaitFor([] {
      return !collector_test::Listening(kAnalyzerPort) && !collector_test::Listening(kRelayPort);
    })) << "ports 14000 and 14001 are taken by another program";
    ASSERT_TRUE(first_.Start("ABL"));
    const auto holds_both = [&] {
      return collector_test::ListensOn(first_.Pid(), kAnalyzerPort) &&
             collector_test::ListensOn(first_.Pid(), kRelayPort);
    };
    ASSERT_TRUE(WaitFor([&] { return holds_both() || !first_.Running() || BindFailed(first_); }))
        << Logs();
    ASSERT_TRUE(holds_both()) << Logs();
  }

  // The second collector, once it has found its relay port taken.
  void StartSecond() {
    ASSERT_TRUE(second_.Start("WARDVORTA127.0.0.1"));
    ASSERT_TRUE(WaitFor([&] { return BindFailed(second_) || !second_.Running(); })) << Logs();
    ASSERT_TRUE(second_.Running()) << Logs();
  }

  static bool BindFailed(const TGasbridgeProcess& collector) {
    return TGasbridgeProcess::Read(collector.TransferLog()).find("on API 'bind'") !=
           std::string::npos;
  }

  // What both collectors logged, for the message of a failure.
  std::string Logs() {
    std::string text;
    for (TGasbridgeProcess* collector : {&first_, &second_}) {
      text += std::string(collector == &first_ ? "first" : "second") + " collector (" +
              (collector->Running() ? "running" : "not running") + "), transfer log:\n" +
              TGasbridgeProcess::Read(collector->TransferLog()) + "\nautomation log:\n" +
              TGasbridgeProcess::Read(collector->AutomationLog()) + "\n";
    }
    return text;
  }

  // Sends a probe message (a patient record alone, for a patient of its own) until
  // the second collector has made that patient: from then on it is a listed data
  // client of the first.
  void WaitUntilRelayed(const std::string& id) {
    const std::string folder = second_.DataDir() + id.substr(0, 8) + ".$" + id.substr(8) + "/";
    ASSERT_TRUE(WaitFor([&] {
      EXPECT_TRUE(Feed("\x01H|\\^&\rP|1||" + id + "||Probe^Patient\r\x04"));
      return WaitFor([&] { return std::filesystem::exists(folder + "Patient"); },
                     std::chrono::seconds(1));
    })) << "the second collector never received a probe\n"
        << Logs();
  }

  platform_test::TempFolder folder_{"gasbridge_e2e"};
  collector_test::TFixedPortsLock lock_;
  TGasbridgeProcess first_{folder_.path() + "/first", "\"AutoCreate\"=dword:00000001\n"};
  TGasbridgeProcess second_{folder_.path() + "/second", "\"AutoCreate\"=dword:00000001\n"};
};

TEST_F(NetworkEndToEndTest, TheAbl9MessageIsFiledByTheCollectorAndItsRelayClient) {
  StartFirst();
  StartSecond();
  EXPECT_THAT(TGasbridgeProcess::Read(second_.TransferLog()), HasSubstr("Socket error: "));
  WaitUntilRelayed("PROBE0001");
  ASSERT_TRUE(Feed(collector_test::ReadFixture(QOR_COLLECTOR_TESTDATA_DIR "/" +
                                               std::string(collector_test::kAbl9File))));
  for (TGasbridgeProcess* collector : {&first_, &second_}) {
    ASSERT_TRUE(WaitFor([&] {
      return collector->AutomationCalls("AddValue(\"100000-001\"") == 32;
    })) << Logs();
    const std::string folder = collector->DataDir() + collector_test::kAbl9Folder + "/";
    EXPECT_TRUE(std::filesystem::exists(folder + "Patient"));
    collector_test::ExpectAbl9Filed(collector_test::ReadBack(folder + "ABL.vor"));
    // The log file is saved once the walk is over, just after its last call.
    EXPECT_TRUE(WaitFor([&] {
      return TGasbridgeProcess::Read(collector->TransferLog())
                 .find(" Transferring Anon (100000-001) to Wardvorta") != std::string::npos;
    })) << TGasbridgeProcess::Read(collector->TransferLog());
  }
  EXPECT_TRUE(first_.Running());
  EXPECT_TRUE(second_.Running());
  // Nothing went wrong on the first one's side.
  EXPECT_THAT(TGasbridgeProcess::Read(first_.TransferLog()), ::testing::Not(HasSubstr("error")));
}

TEST_F(NetworkEndToEndTest, TheRelayClientComesBackWhenTheCollectorRestarts) {
  StartFirst();
  StartSecond();
  WaitUntilRelayed("PROBE0001");
  first_.Stop();
  StartFirst();
  // The relay client reconnects on its own, 5.5 s after it lost the link.
  WaitUntilRelayed("PROBE0002");
  EXPECT_TRUE(second_.Running());
}

}  // namespace
