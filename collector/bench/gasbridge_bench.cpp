// Gasbridge's speed and load, on the offscreen platform:
// - AckLatency: on a pseudo-terminal, from a frame's last byte written on the
//   analyzer's side to the ACK read there (median_ms, p99_ms);
// - FileMessage: a 7-result message filed, from its EOT to the last point on the
//   disk, into a monitor-data file that already holds 200,000 points;
// - MessagesInARow: 1,000 messages over the pseudo-terminal into one patient's
//   file, read back: lost and doubled count the results missing or filed twice;
// - Idle: the gasbridge program itself, idle with COM1 open: idle_cpu_percent (of
//   one core, over idle_seconds) and rss_mb.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <cstdlib>
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
#include "collector/tests/read_back.h"
#include "collector/tests/scoped_env.h"
#include "datamodel/DataModel.h"
#include "platform/qt/application.h"
#include "platform/tests/pty_pair.h"
#include "platform/tests/temp_folder.h"

namespace {

using collector_bench::App;
using collector_bench::Percentile;
using Clock = std::chrono::steady_clock;

std::string Frame(const std::string& record, char end) {
  const std::string body = record + "\r" + end;
  return "\x02" + body + Checksum(body) + "\r\n";
}

// A message of Results results for the patient of the demonstration folder.
std::string Message(int results, int first_value) {
  std::string frames = Frame("1H|\\^&|||ABL SYSTEM 625^", '\x17') +
                       Frame("2P|1||1234567890||Doe^John", '\x17') +
                       Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17');
  for (int i = 0; i < results; ++i) {
    frames += Frame(std::to_string((4 + i) % 8) + "R|" + std::to_string(i + 1) + "|^^^P" +
                        std::to_string(i) + "^M|" + std::to_string(first_value + i) + "|kPa",
                    '\x17');
  }
  return "\x05" + frames + Frame("0L|1|N", '\x03');
}

// A data root with the settings store, one patient and its folder, and a window
// collecting from COM1 on a pseudo-terminal.
class Collector {
 public:
  Collector() : line_(ports_.Add(1)), store_env_("QOR_REGISTRY", folder_.path() + "/reg.reg") {
    App();
    patient_folder_ = folder_.path() + "/DATA/12345678.$90/";
    std::filesystem::create_directories(patient_folder_);
    const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "John", "Doe");
    std::ofstream(patient_folder_ + "Patient", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 271);
    std::ofstream(folder_.path() + "/reg.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
           "\"ZQTData\"=\""
        << folder_.path() << "/ZQTDATA.INI\"\n";
    TForm1Setup setup;
    setup.argument = "COM1";
    setup.create_auto_object = [this] { return &automation_; };
    setup.relay_port = 0;
    form_ = std::make_unique<TForm1>(std::move(setup));
    notifier_ = std::make_unique<QSocketNotifier>(line_.master(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      char buffer[256];
      const ssize_t n = ::read(line_.master(), buffer, sizeof buffer);
      if (n > 0) replies_ += static_cast<size_t>(n);
      if (loop_ && replies_ >= wanted_) loop_->quit();
    });
  }
  ~Collector() {
    notifier_.reset();
    form_.reset();
    automation_.references = 0;
  }

  // Writes Bytes and runs the event loop until Count replies came.
  void Exchange(const std::string& bytes, size_t count) {
    wanted_ = replies_ + count;
    line_.Write(bytes);
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (replies_ < wanted_) loop.exec();
    loop_ = nullptr;
  }
  // Runs the event loop until the walks of all queued messages are done.
  void Settle() {
    while (form_->Core().QueuedMessages() > 0)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  std::string SaveFile() const { return patient_folder_ + "ABL.vor"; }

 private:
  platform_test::TempFolder folder_{"gasbridge_bench"};
  platform_test::ComPorts ports_;
  platform_test::Pty& line_;
  collector_test::ScopedEnv store_env_;
  collector_test::ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", folder_.path()};
  std::string patient_folder_;
  TRecordingAutoObject automation_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<QSocketNotifier> notifier_;
  size_t replies_ = 0;
  size_t wanted_ = 0;
  QEventLoop* loop_ = nullptr;
};

void AckLatency(benchmark::State& state) {
  Collector collector;
  collector.Exchange("\x05", 1);
  std::vector<double> samples;
  int frame = 0;
  for (auto _ : state) {
    const std::string bytes =
        Frame(std::to_string(frame % 8) + "C|" + std::to_string(frame), '\x17');
    const Clock::time_point start = Clock::now();
    collector.Exchange(bytes, 1);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    samples.push_back(ms);
    state.SetIterationTime(ms / 1000);
    if (++frame % 500 == 0) {
      state.PauseTiming();
      collector.Exchange(Frame("0L|1|N", '\x03') + "\x04\x05", 2);
      collector.Settle();
      state.ResumeTiming();
    }
  }
  state.counters["median_ms"] = Percentile(samples, 0.5);
  state.counters["p99_ms"] = Percentile(samples, 0.99);
}
BENCHMARK(AckLatency)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);

// A monitor-data file with seven definitions and Points points, written as the
// save component writes it.
void PrefillSaveFile(const std::string& path, int points) {
  TSaveItNew save(nullptr);
  save.FileName = path;
  save.OpenMonitorFile("Radiometer ABLxxx", "", "123456-7890", "Doe");
  for (int16_t i = 0; i < 7; ++i) {
    TParameterSerie definition;
    definition.Index = i;
    definition.Unit = "kPa";
    definition.ParameterInfo().SetParameterName("Arterial P" + std::to_string(i));
    save.AddParameterSerie(definition);
  }
  std::string records;
  for (int i = 0; i < points; ++i) {
    const int32_t tag = 220, size = 18;
    const int16_t index = static_cast<int16_t>(i % 7);
    const double time = 36910.0 + i / 1440.0, value = i;
    records.append(reinterpret_cast<const char*>(&tag), 4);
    records.append(reinterpret_cast<const char*>(&size), 4);
    records.append(reinterpret_cast<const char*>(&index), 2);
    records.append(reinterpret_cast<const char*>(&time), 8);
    records.append(reinterpret_cast<const char*>(&value), 8);
  }
  std::ofstream(path, std::ios::binary | std::ios::app) << records;
}

void FileMessage(benchmark::State& state) {
  App();
  platform_test::TempFolder folder("gasbridge_bench_file");
  const TCollectorPaths paths = TCollectorPaths::FromRoot(folder.path() + "/");
  const std::string patient = paths.data_dir + "12345678.$90/";
  std::filesystem::create_directories(patient);
  const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "John", "Doe");
  std::ofstream(patient + "Patient", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), 271);
  PrefillSaveFile(patient + "ABL.vor", static_cast<int>(state.range(0)));
  TRecordingView view;
  TRecordingAutoObject automation;
  const std::unique_ptr<TSaveFileAccess> save = MakeSaveItNewFile();
  TCollectorCore core(view, paths, *save);
  core.Automation().SetAutoObject(&automation);
  core.LoadTransferLog();
  const std::string message = Message(7, 1);
  for (auto _ : state) {
    state.PauseTiming();
    core.ReceiveFromAnalyzer(message);
    automation.calls.clear();
    state.ResumeTiming();
    core.ReceiveFromAnalyzer("\x04");
    core.ProcessNextMessage();
  }
  core.Automation().SetAutoObject(nullptr);
  automation.references = 0;
  state.counters["points_in_file"] = static_cast<double>(state.range(0));
  state.counters["errors"] = static_cast<double>(view.errors.size());
}
BENCHMARK(FileMessage)->Arg(0)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(50);

void MessagesInARow(benchmark::State& state) {
  constexpr int kMessages = 1000;
  constexpr int kResults = 3;
  double lost = 0;
  double doubled = 0;
  for (auto _ : state) {
    Collector collector;
    // Each message's frames, ACKed one by one as an analyzer sends them.
    for (int m = 0; m < kMessages; ++m) {
      const std::string message = Message(kResults, m * kResults);
      collector.Exchange(message + "\x04", static_cast<size_t>(kResults + 5));
    }
    collector.Settle();
    std::map<double, int> seen;
    for (const auto& serie : collector_test::ReadBack(collector.SaveFile()).series) {
      for (const auto& [time, value] : serie.points)
        ++seen[value];
    }
    lost = doubled = 0;
    for (int v = 0; v < kMessages * kResults; ++v) {
      const auto it = seen.find(v);
      if (it == seen.end()) {
        ++lost;
      } else if (it->second > 1) {
        doubled += it->second - 1;
      }
    }
  }
  state.counters["messages"] = kMessages;
  state.counters["lost"] = lost;
  state.counters["doubled"] = doubled;
}
BENCHMARK(MessagesInARow)->Unit(benchmark::kSecond)->Iterations(1);

// The gasbridge program, started with a data root of its own and the stand-in
// automation server, collecting from COM1 on a pseudo-terminal.
void Idle(benchmark::State& state) {
  platform_test::TempFolder folder("gasbridge_bench_idle");
  platform_test::ComPorts ports;
  ports.Add(1);
  const double seconds = static_cast<double>(state.range(0));
  double cpu_percent = 0;
  double rss_mb = 0;
  for (auto _ : state) {
    collector_test::TGasbridgeProcess program(folder.path() + "/collector");
    if (!program.Start("COM1", 120, {"QOR_COMPORTS=" + ports.path()})) {
      state.SkipWithError("gasbridge did not start");
      break;
    }
    const pid_t pid = program.Pid();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the start-up settles
    const auto cpu = [pid] {
      double total = 0;
      for (const auto& task :
           std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream schedstat(task.path() / "schedstat");
        unsigned long long ns = 0;
        if (schedstat >> ns) total += static_cast<double>(ns) / 1e9;
      }
      return total;
    };
    const double cpu_before = cpu();
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    cpu_percent = 100.0 * (cpu() - cpu_before) / wall;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmRSS:", 0) == 0) rss_mb = std::stod(line.substr(6)) / 1024.0;
    }
    program.Stop();
    state.SetIterationTime(wall);
  }
  state.counters["idle_seconds"] = seconds;
  state.counters["idle_cpu_percent"] = cpu_percent;
  state.counters["rss_mb"] = rss_mb;
}
BENCHMARK(Idle)->Arg(10)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
