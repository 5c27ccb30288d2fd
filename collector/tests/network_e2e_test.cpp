// Two real gasbridge programs on the loopback interface, each with its own settings
// store and data root: the first collects from the TCP analyzer feed (port 14000)
// and relays every record line from its relay server (port 14001); the second is
// its relay client, whose own relay server finds 14001 taken and which runs on
// without it. Both file the same results. These tests listen on the fixed ports, so
// they hold a ctest resource lock and a machine-wide lock file.
//
// A collector under the usual limit of 1,024 descriptors also meets a flood of idle
// connections, on either port, while an analyzer sends it a message.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "collector/tests/abl9_expected.h"
#include "collector/tests/gasbridge_process.h"
#include "collector/tests/program_support.h"
#include "collector/tests/read_back.h"
#include "collector/tests/stream_recorder.h"
#include "datamodel/DataModel.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/raw_peer.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_test::Feed;
using collector_test::TGasbridgeProcess;
using collector_test::WaitFor;
using platform_test::RawPeer;
using ::testing::HasSubstr;

constexpr int kAnalyzerPort = 14000;
constexpr int kRelayPort = 14001;

// This process's soft descriptor limit raised (up to the hard one) for as long as
// it lives: the flood's connections are this process's descriptors too.
class TScopedDescriptorLimit {
 public:
  explicit TScopedDescriptorLimit(rlim_t wanted) {
    ::getrlimit(RLIMIT_NOFILE, &old_);
    rlimit raised = old_;
    raised.rlim_cur = std::max(old_.rlim_cur, std::min(wanted, old_.rlim_max));
    ok_ = raised.rlim_cur >= wanted && ::setrlimit(RLIMIT_NOFILE, &raised) == 0;
  }
  ~TScopedDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &old_); }
  bool ok() const { return ok_; }

 private:
  rlimit old_{};
  bool ok_ = false;
};

// Count idle connections to Port, each from an address of its own (127.0.1.1 and
// up) when asked, else all from 127.0.0.1. They are made in rounds below the
// server's queue of waiting connections, each waited for, so that they all reach
// it; a server that takes none leaves them waiting, until a safety limit.
std::vector<RawPeer> Flood(int port, int count, bool own_addresses) {
  std::vector<RawPeer> flood;
  flood.reserve(static_cast<size_t>(count));
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (int i = 0; i < count;) {
    const size_t first = flood.size();
    for (int round = 0; round < 16 && i < count; ++round, ++i) {
      const std::string from =
          own_addresses ? "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250)
                        : "127.0.0.1";
      flood.emplace_back(port, from);
    }
    for (size_t c = first; c < flood.size(); ++c)
      flood[c].WaitConnected(give_up);
  }
  return flood;
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

  // The first collector, under the usual limit of 1,024 descriptors, with an
  // analyzer connected to its feed, meets Count idle connections on Port (each from
  // an address of its own when asked; the relay server keeps one per address): the
  // analyzer's message is still filed, the program lives and idles, and once the
  // flood is gone new connections are served again.
  void FloodWhileAMessageIsFiled(int port, int count, bool own_addresses, const char* server) {
    const TScopedDescriptorLimit descriptors(static_cast<rlim_t>(count) + 256);
    if (!descriptors.ok()) GTEST_SKIP() << "this process may not hold " << count << " connections";
    first_.SetDescriptorLimit(1024);
    StartFirst();
    const RawPeer analyzer(kAnalyzerPort, "127.0.0.1");
    ASSERT_TRUE(
        analyzer.WaitConnected(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    std::vector<RawPeer> flood = Flood(port, count, own_addresses);
    // The CPU the program uses while the flood stands, over at least 3 s: a program
    // that waits for its peers uses a small part of it, one that spins on a queue it
    // cannot take from uses all of it.
    const double cpu_before = first_.CpuSeconds();
    const auto flooded = std::chrono::steady_clock::now();
    ASSERT_TRUE(analyzer.Send(collector_test::ReadFixture(QOR_COLLECTOR_TESTDATA_DIR "/" +
                                                          std::string(collector_test::kAbl9File))));
    const auto filed = [&] {
      return TGasbridgeProcess::Read(first_.TransferLog())
                 .find(" Transferring Anon (100000-001) to Wardvorta") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor([&] { return filed() || !first_.Running(); }));
    std::this_thread::sleep_until(flooded + std::chrono::seconds(3));
    const double cpu = first_.CpuSeconds() - cpu_before;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - flooded).count();
    ASSERT_TRUE(first_.Running()) << "the program ended";
    EXPECT_LT(cpu, 0.5 * wall) << cpu << " s of CPU in " << wall << " s";
    ASSERT_TRUE(filed()) << TGasbridgeProcess::Read(first_.TransferLog());
    EXPECT_EQ(first_.AutomationCalls("AddValue(\"100000-001\""), 32u);
    collector_test::ExpectAbl9Filed(
        collector_test::ReadBack(first_.DataDir() + collector_test::kAbl9Folder + "/ABL.vor"));
    // The connections past the bound were closed, and are reported once the burst
    // is over.
    const std::string closed =
        std::string(server) + " on port " + std::to_string(port) + " closed ";
    EXPECT_TRUE(WaitFor([&] {
      return TGasbridgeProcess::Read(first_.TransferLog()).find(closed) != std::string::npos;
    })) << TGasbridgeProcess::Read(first_.TransferLog());
    flood.clear();
    // Served again: a new analyzer's message makes its patient, and reaches a new
    // data client. Until the collector has seen the flood's connections go, a new
    // one may still be past the bound and closed: it is made again.
    std::optional<RawPeer> client;
    std::string relayed;
    const std::string folder = first_.DataDir() + "PROBE000.$01/";
    ASSERT_TRUE(WaitFor([&] {
      if (!client || !client->Receive(relayed)) client.emplace(kRelayPort, "127.0.0.1");
      Feed("\x01H|\\^&\rP|1||PROBE00001||Probe^Patient\r\x04");
      return WaitFor(
          [&] {
            client->Receive(relayed);
            return std::filesystem::exists(folder + "Patient") &&
                   relayed.find("1P|1||PROBE00001") != std::string::npos;
          },
          std::chrono::seconds(1));
    })) << relayed;
    EXPECT_TRUE(first_.Running());
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
  // The relay server that could not listen is named, with its port.
  EXPECT_THAT(TGasbridgeProcess::Read(second_.TransferLog()),
              HasSubstr("Socket error: The bound address is already in use (98), on API 'bind', "
                        "for ServerSocket1 on port 14001"));
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

TEST_F(NetworkEndToEndTest, AFloodOfConnectionsToTheFeedLeavesTheAnalyzersMessageFiled) {
  FloodWhileAMessageIsFiled(kAnalyzerPort, 1060, false, "ServerSocketABL");
}

TEST_F(NetworkEndToEndTest, AFloodOfDataClientsLeavesTheAnalyzersMessageFiled) {
  FloodWhileAMessageIsFiled(kRelayPort, 1030, true, "ServerSocket1");
}

}  // namespace
