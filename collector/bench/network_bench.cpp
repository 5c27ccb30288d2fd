// Gasbridge over the network, on the loopback interface:
// - RelayLatency: two gasbridge programs, the first collecting from the TCP
//   analyzer feed (port 14000) and relaying to the second (port 14001); a
//   7-result message for a new patient (new_patient:1; AutoCreate on, so each
//   message makes the patient's folder, patient file and monitor-data file in both
//   data roots) or for the same patient into files that exist (new_patient:0), from
//   its EOT written on the feed to the second program having filed its last point
//   (its automation object told the message is done): median_ms, p99_ms.
// - DataClientsFanOut: one gasbridge program and 10 data clients, each from its own
//   loopback address (127.0.0.2 and up; one address is fed once), fed 1,000
//   messages: lost, doubled and reordered count what the clients missed, got twice
//   or got out of order; messages_per_second the rate at which all 10 had them.
// - RelayClientReconnects: the main window as relay client, in this process, on
//   fake timers, whose relay server closes the link 100 (and 300) times; each time
//   it comes back 11 ticks later. fd_delta and heap_kb_delta are what the
//   reconnections left behind (after 210 to warm up and fill the transfer log).
// - NoiseThenMessage: the main window in this process, its analyzer server (feed)
//   or relay client (relay) on a port the system chose; a peer sends cheap faults
//   and a good message in one go: 20,000 restarts ("x", CR, SOH: 60 KB) on the
//   analyzer feed, 1,000 ENQs in noise on the relay link. filed_ms is the time
//   from the send (the message's EOT is its last byte) to the message's
//   TransferDone: median_ms, max_ms. The target is 100 ms.
// The data roots go under the temporary folder ($TMPDIR, else /tmp).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "collector/Unit1.h"
#include "collector/bench/bench_support.h"
#include "collector/tests/core_fakes.h"
#include "collector/tests/gasbridge_process.h"
#include "collector/tests/manual_clock.h"
#include "collector/tests/scoped_env.h"
#include "collector/tests/stream_recorder.h"
#include "datamodel/DataModel.h"
#include "platform/qt/application.h"
#include "platform/qt/timer.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_bench::App;
using collector_bench::Percentile;
using Clock = std::chrono::steady_clock;
using collector_test::TGasbridgeProcess;

constexpr int kAnalyzerPort = 14000;
constexpr int kRelayPort = 14001;

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto give_up = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

// A plain TCP connection to a loopback port, from a loopback address of its own.
class Connection {
 public:
  Connection(int port, const char* from = "127.0.0.1") {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
  }
  ~Connection() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return ok_; }
  int fd() const { return fd_; }
  bool Send(const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
      const ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_ = -1;
  bool ok_ = false;
};

// The feed's bytes of a message of Results results for patient Id.
std::string FeedMessage(const std::string& id, int results, int first_value) {
  std::string bytes = "\x01H|\\^&|||ABL SYSTEM 625^\rP|1||" + id +
                      "||Doe^John\rO|1||S^1||||200101191500||||||||Blood^Arterial\r";
  for (int i = 0; i < results; ++i) {
    bytes += "R|" + std::to_string(i + 1) + "|^^^P" + std::to_string(i) + "^M|" +
             std::to_string(first_value + i) + "|kPa|||F|||20010119155012\r";
  }
  return bytes + "L|1|N\r";
}

bool FixedPortsFree() {
  return !collector_test::Listening(kAnalyzerPort) && !collector_test::Listening(kRelayPort);
}

bool FixedPortsListening() {
  return collector_test::Listening(kAnalyzerPort) && collector_test::Listening(kRelayPort);
}

void RelayLatency(benchmark::State& state) {
  App();
  collector_test::TFixedPortsLock lock;
  if (!WaitFor(FixedPortsFree, std::chrono::seconds(60))) {
    state.SkipWithError("ports 14000 and 14001 are taken");
    return;
  }
  platform_test::TempFolder folder("gasbridge_relay_bench");
  TGasbridgeProcess first(folder.path() + "/first", "\"AutoCreate\"=dword:00000001\n");
  TGasbridgeProcess second(folder.path() + "/second", "\"AutoCreate\"=dword:00000001\n");
  first.Start("ABL");
  if (!WaitFor(FixedPortsListening, std::chrono::seconds(30))) {
    state.SkipWithError("the first collector does not listen");
    return;
  }
  second.Start("WARDVORTA127.0.0.1");
  Connection feed(kAnalyzerPort);
  // Probes until the second collector has one: then it is a listed data client.
  const bool linked = WaitFor(
      [&] {
        feed.Send("\x01H|\\^&\rP|1||PROBE00001\r\x04");
        return WaitFor(
            [&] { return std::filesystem::exists(second.DataDir() + "PROBE000.$01/Patient"); },
            std::chrono::seconds(1));
      },
      std::chrono::seconds(60));
  if (!feed.ok() || !linked) {
    state.SkipWithError("the relay link did not come up");
    return;
  }
  std::vector<double> samples;
  int message = 0;
  for (auto _ : state) {
    ++message;
    // A new patient each time, or (Arg 0) the same one into files that exist.
    char id[16];
    std::snprintf(id, sizeof id, "%010d", 100000000 + (state.range(0) ? message : 0));
    feed.Send(FeedMessage(id, 7, message * 10));
    const size_t done = second.AutomationCalls("TransferDone()");
    // Let the first collector take the lines in before the clock starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const Clock::time_point start = Clock::now();
    feed.Send("\x04");
    if (!WaitFor([&] { return second.AutomationCalls("TransferDone()") > done; },
                 std::chrono::seconds(30))) {
      state.SkipWithError("the message did not come through");
      break;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    samples.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["median_ms"] = Percentile(samples, 0.5);
  state.counters["p99_ms"] = Percentile(samples, 0.99);
  state.counters["points_filed_by_second"] =
      static_cast<double>(second.AutomationCalls("AddValue("));
}
BENCHMARK(RelayLatency)
    ->ArgName("new_patient")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

// The number a fan-out message carries in its patient id; -1 for a probe.
int MessageNumber(const std::vector<std::string>& message) {
  constexpr std::string_view kPatient = "1P|1||1";
  if (message.size() < 2 || message[1].compare(0, kPatient.size(), kPatient) != 0) return -1;
  return std::atoi(message[1].c_str() + kPatient.size() - 1) - 1000000000;
}

// A data client: reads what the relay server sends and decodes it.
struct DataClient {
  DataClient(int port, const std::string& from) : connection(port, from.c_str()), link(recorder) {}
  bool Read() {
    char buffer[65536];
    const ssize_t n = ::recv(connection.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) link.Receive(std::string_view(buffer, static_cast<size_t>(n)));
    return n != 0;
  }
  Connection connection;
  collector_test::StreamRecorder recorder;
  TRelayLink link;
};

void DataClientsFanOut(benchmark::State& state) {
  App();
  constexpr int kClients = 10;
  constexpr int kMessages = 1000;
  collector_test::TFixedPortsLock lock;
  if (!WaitFor(FixedPortsFree, std::chrono::seconds(60))) {
    state.SkipWithError("ports 14000 and 14001 are taken");
    return;
  }
  double lost = 0, doubled = 0, reordered = 0, rate = 0;
  for (auto _ : state) {
    platform_test::TempFolder folder("gasbridge_fanout_bench");
    TGasbridgeProcess collector(folder.path() + "/collector");
    collector.Start("ABL");
    if (!WaitFor(FixedPortsListening, std::chrono::seconds(30))) {
      state.SkipWithError("the collector does not listen");
      return;
    }
    std::vector<std::unique_ptr<DataClient>> clients;
    for (int i = 0; i < kClients; ++i)
      clients.push_back(
          std::make_unique<DataClient>(kRelayPort, "127.0.0." + std::to_string(2 + i)));
    Connection feed(kAnalyzerPort);
    const auto read_all = [&] {
      for (auto& client : clients)
        client->Read();
    };
    // Probes until every client has one: then all are listed.
    const bool listed = WaitFor(
        [&] {
          feed.Send("\x01H|\\^&\rP|1||PROBE\r\x04");
          return WaitFor(
              [&] {
                read_all();
                return std::all_of(clients.begin(), clients.end(),
                                   [](const auto& c) { return !c->recorder.messages.empty(); });
              },
              std::chrono::seconds(1));
        },
        std::chrono::seconds(60));
    if (!listed) {
      state.SkipWithError("the data clients were not listed");
      return;
    }
    for (auto& client : clients)
      client->recorder.messages.clear();
    // Each message carries its number in the patient id.
    std::string bytes;
    for (int m = 0; m < kMessages; ++m)
      bytes += FeedMessage(std::to_string(1000000000 + m), 3, m) + "\x04";
    const Clock::time_point start = Clock::now();
    feed.Send(bytes);
    WaitFor(
        [&] {
          read_all();
          return std::all_of(clients.begin(), clients.end(), [](const auto& c) {
            const auto& messages = c->recorder.messages;
            return !messages.empty() && MessageNumber(messages.back()) == kMessages - 1;
          });
        },
        std::chrono::seconds(120));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rate = kMessages / seconds;
    lost = doubled = reordered = 0;
    for (auto& client : clients) {
      std::map<int, int> seen;
      int last = -1;
      for (const auto& message : client->recorder.messages) {
        const int number = MessageNumber(message);
        if (number < 0) continue;  // a late probe
        ++seen[number];
        if (number < last) ++reordered;
        last = number;
      }
      for (int m = 0; m < kMessages; ++m) {
        const auto it = seen.find(m);
        if (it == seen.end()) {
          ++lost;
        } else if (it->second > 1) {
          doubled += it->second - 1;
        }
      }
    }
    state.SetIterationTime(seconds);
  }
  state.counters["clients"] = kClients;
  state.counters["messages"] = kMessages;
  state.counters["lost"] = lost;
  state.counters["doubled"] = doubled;
  state.counters["reordered"] = reordered;
  state.counters["messages_per_second"] = rate;
}
BENCHMARK(DataClientsFanOut)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// The settings store of a Gasbridge whose data root is Folder, with Values (lines
// of the export format) under its ABL key.
void WriteStore(const std::string& folder, const std::string& values) {
  std::ofstream(folder + "/reg.reg")
      << "Windows Registry Editor Version 5.00\n\n"
         "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
         "\"ZQTData\"=\""
      << folder
      << "/ZQTDATA.INI\"\n\n"
         "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External "
         "Collect\\1.0\\ABL]\n"
      << values;
}

size_t OpenFiles() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

void RelayClientReconnects(benchmark::State& state) {
  App();
  platform_test::TempFolder folder("gasbridge_reconnect_bench");
  QTcpServer server;
  server.listen(QHostAddress::AnyIPv4, 0);
  std::filesystem::create_directories(folder.path() + "/DATA");
  char port[48];
  std::snprintf(port, sizeof port, "\"ClientSocketPort\"=dword:%08x\n", server.serverPort());
  WriteStore(folder.path(), port);
  collector_test::ScopedEnv store("QOR_REGISTRY", folder.path() + "/reg.reg");
  collector_test::ScopedEnv runtime("XDG_RUNTIME_DIR", folder.path());
  platform::qt::ScopedFakeTimers timers;
  TRecordingAutoObject automation;
  int64_t clock_ms = 1000000;
  TForm1Setup setup;
  setup.argument = "WARDVORTA127.0.0.1";
  setup.create_auto_object = [&] { return &automation; };
  setup.relay_port = 0;
  const collector_test::TManualClock clock(clock_ms);
  setup.clock = &clock;
  auto form = std::make_unique<TForm1>(std::move(setup));
  const auto run_until = [](const std::function<bool()>& done) {
    const auto give_up = Clock::now() + std::chrono::seconds(20);
    while (!done() && Clock::now() < give_up)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
  };
  // One cycle: the relay server takes the link, sends a message and half of the
  // next, and closes; the client comes back 11 ticks later.
  const auto cycle = [&] {
    if (!run_until([&] { return server.hasPendingConnections(); })) return false;
    std::unique_ptr<QTcpSocket> link(server.nextPendingConnection());
    if (!run_until([&] { return form->RelayConnected; })) return false;
    const std::string units =
        FrameRelayLine("1H|\\^&") + FrameRelayLine("2P|1||42") + "\x04" + FrameRelayLine("1H|\\^&");
    link->write(units.data(), static_cast<qint64>(units.size()));
    link->flush();
    link->disconnectFromHost();
    if (!run_until([&] { return !form->RelayConnected; })) return false;
    for (int tick = 0; tick < 11; ++tick) {
      clock_ms += 500;
      timers.clock().Advance(500);
    }
    return true;
  };
  double fd_delta = 0, heap_delta = 0, reconnections = 0;
  for (auto _ : state) {
    // Enough to warm up, and to fill the transfer log (each dropped half message is
    // an entry) to its 201 lines, so that it no longer grows.
    for (int i = 0; i < 210; ++i)
      cycle();
    // Counted, like at the end, with the next connection made and taken.
    run_until([&] { return server.hasPendingConnections(); });
    QCoreApplication::processEvents();
    const size_t fds = OpenFiles();
    const size_t heap = mallinfo2().uordblks;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < state.range(0); ++i) {
      if (!cycle()) {
        state.SkipWithError("the relay client did not come back");
        break;
      }
      ++reconnections;
    }
    run_until([&] { return server.hasPendingConnections(); });
    QCoreApplication::processEvents();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    fd_delta = static_cast<double>(OpenFiles()) - static_cast<double>(fds);
    heap_delta = (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heap)) / 1024;
  }
  form.reset();
  automation.references = 0;
  state.counters["reconnections"] = reconnections;
  state.counters["fd_delta"] = fd_delta;
  state.counters["heap_kb_delta"] = heap_delta;
}
BENCHMARK(RelayClientReconnects)
    ->Arg(100)
    ->Arg(300)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// A port that was free a moment ago.
int FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::AnyIPv4, 0);
  return probe.serverPort();
}

void NoiseThenMessage(benchmark::State& state) {
  const bool relay = state.range(0) == 1;
  App();
  platform_test::TempFolder folder("gasbridge_noise_bench");
  QTcpServer relay_server;  // what the relay client connects to
  relay_server.listen(QHostAddress::AnyIPv4, 0);
  const int feed_port = FreePort();
  std::filesystem::create_directories(folder.path() + "/DATA");
  char ports[96];
  std::snprintf(ports, sizeof ports,
                "\"ClientSocketPort\"=dword:%08x\n\"ABLSocketPort\"=dword:%08x\n",
                relay_server.serverPort(), feed_port);
  WriteStore(folder.path(), std::string(ports) + "\"AutoCreate\"=dword:00000001\n");
  collector_test::ScopedEnv store("QOR_REGISTRY", folder.path() + "/reg.reg");
  collector_test::ScopedEnv runtime("XDG_RUNTIME_DIR", folder.path());
  TRecordingAutoObject automation;
  TForm1Setup setup;
  setup.argument = relay ? "WARDVORTA127.0.0.1" : "ABL";
  setup.create_auto_object = [&] { return &automation; };
  setup.relay_port = 0;
  auto form = std::make_unique<TForm1>(std::move(setup));
  const auto run_until = [](const std::function<bool()>& done) {
    const auto give_up = Clock::now() + std::chrono::seconds(60);
    while (!done() && Clock::now() < give_up)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
  };
  const auto transfers = [&] {
    return std::count(automation.calls.begin(), automation.calls.end(), "TransferDone()");
  };

  std::string bytes;
  std::unique_ptr<Connection> feed;
  std::unique_ptr<QTcpSocket> link;
  if (relay) {
    for (int i = 0; i < 1000; ++i)
      bytes += "\x05noise";
    bytes += "\r\n\x03";
    for (const char* line : {"1H|\\^&|||ABL SYSTEM 625^", "1P|1||1234567890||Doe^John",
                             "1O|1||S^1||||200101191500||||||||Blood^Arterial",
                             "1R|1|^^^pO2^M|12.3|kPa|||F", "1L|1|N"})
      bytes += FrameRelayLine(line);
    bytes += "\x04";
    if (!run_until([&] { return relay_server.hasPendingConnections(); })) {
      state.SkipWithError("the relay client did not connect");
      return;
    }
    link.reset(relay_server.nextPendingConnection());
    if (!run_until([&] { return form->RelayConnected; })) {
      state.SkipWithError("the relay client did not connect");
      return;
    }
  } else {
    for (int i = 0; i < 20000; ++i)
      bytes += "x\r\x01";
    bytes += FeedMessage("1234567890", 7, 1) + "\x04";
    feed = std::make_unique<Connection>(feed_port);
    if (!feed->ok()) {
      state.SkipWithError("the analyzer server does not listen");
      return;
    }
  }
  const auto send = [&] {
    if (relay) {
      link->write(bytes.data(), static_cast<qint64>(bytes.size()));
      link->flush();
    } else {
      feed->Send(bytes);
    }
  };
  // The patient, its folder and its file are made before the clock runs.
  send();
  if (!run_until([&] { return transfers() > 0; })) {
    state.SkipWithError("the message was not filed");
    return;
  }
  std::vector<double> samples;
  for (auto _ : state) {
    const auto done = transfers();
    const Clock::time_point start = Clock::now();
    send();
    if (!run_until([&] { return transfers() > done; })) {
      state.SkipWithError("the message was not filed");
      break;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    samples.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["median_ms"] = Percentile(samples, 0.5);
  state.counters["max_ms"] = Percentile(samples, 1);
  link.reset();
  feed.reset();
  form.reset();
  automation.references = 0;
}
BENCHMARK(NoiseThenMessage)
    ->ArgName("relay")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
