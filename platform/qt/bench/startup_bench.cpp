// The speed of a program built on the platform layer (startup_app.cpp), under
// the offscreen platform:
// - StartToFirstIdle: from starting the program to its event loop's first idle
//   with the main window painted, the settings store read and its three windows
//   made from form resources (wall time per start);
// - Idle: the CPU the program takes while it idles with its 500 ms timer running
//   (idle_cpu_percent, of one core, over idle_seconds), and its resident memory
//   then (rss_mb) and at its peak (peak_rss_mb).
// Each measurement starts the program afresh; the settings store and the transfer
// log it reads lie in a temporary folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The settings store and transfer log of the collector, in a folder of their own.
class Fixture {
 public:
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qor_bench_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    folder_ = pattern;
    platform::TRegistry registry(Store());
    registry.OpenKey("Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\General", true);
    registry.WriteInteger("Language", 1053);
    registry.OpenKey("Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths", true);
    registry.WriteString("ZQTData", "C:\\ZQT\\ZQTDATA.INI");
    registry.OpenKey("\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External Collect\\1.0\\ABL",
                     true);
    registry.WriteInteger("ClientSocketPort", 14001);
    registry.WriteInteger("ABLSocketPort", 14000);
    registry.WriteBool("AutoCreate", true);
    registry.WriteBool("ParameterGrouping", false);
    registry.WriteBool("UseFirstTen", true);
    registry.WriteString("ArterialTranslation", "Arterial");
    registry.OpenKey("Software\\QOR Fluvantronics AB\\Autostart\\ABL625", true);
    registry.WriteString("", "/usr/bin/gasbridge|COM1");
    registry.WriteInteger("DoStart", 1);
    std::ofstream log(Log());
    for (int i = 0; i < 200; ++i) {
      log << "2001-01-19 15:" << i % 60
          << " Transferring Smith & Jones (123456-7890) to Wardvorta\n";
    }
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& Folder() const { return folder_; }
  std::string Store() const { return folder_ + "/registry.reg"; }
  std::string Log() const { return folder_ + "/ABL 625 Logfile.txt"; }

 private:
  std::string folder_;
};

// One run of the program; it reports its first idle on a pipe.
class Program {
 public:
  explicit Program(const Fixture& fixture) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    ready_ = pipe_fds[0];
    std::vector<std::string> env_strings = {
        "QT_QPA_PLATFORM=offscreen", "QOR_REGISTRY=" + fixture.Store(),
        "QOR_BENCH_LOG=" + fixture.Log(), "XDG_RUNTIME_DIR=" + fixture.Folder()};
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('=') + 1);
      if (name != "QT_QPA_PLATFORM=" && name != "QOR_REGISTRY=" && name != "QOR_BENCH_LOG=" &&
          name != "XDG_RUNTIME_DIR=") {
        env_strings.push_back(entry);
      }
    }
    std::vector<char*> envp;
    for (std::string& entry : env_strings)
      envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 3);
    char app[] = QOR_STARTUP_APP;
    char* argv[] = {app, nullptr};
    const int error = ::posix_spawn(&pid_, app, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (error != 0) throw std::runtime_error("cannot start " + std::string(app));
  }
  ~Program() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    ::close(ready_);
  }

  // Waits for the first idle; false when the program ended or took over 30 s.
  bool WaitReady() {
    pollfd fd{ready_, POLLIN, 0};
    if (::poll(&fd, 1, 30000) != 1) return false;
    char byte = 0;
    return ::read(ready_, &byte, 1) == 1;
  }

  // The CPU time all the program's threads have taken so far, in seconds, to the
  // nanosecond (the scheduler's count; /proc/<pid>/stat counts only whole ticks).
  double CpuSeconds() const {
    double seconds = 0;
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
      std::ifstream schedstat(task.path() / "schedstat");
      unsigned long long on_cpu_ns = 0;
      if (schedstat >> on_cpu_ns) seconds += static_cast<double>(on_cpu_ns) / 1e9;
    }
    return seconds;
  }

  // A memory figure of /proc/<pid>/status ("VmRSS", "VmHWM") in MB.
  double MemoryMb(const std::string& name) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind(name + ":", 0) == 0) return std::stod(line.substr(name.size() + 1)) / 1024.0;
    }
    return 0;
  }

 private:
  pid_t pid_ = -1;
  int ready_ = -1;
};

void StartToFirstIdle(benchmark::State& state) {
  const Fixture fixture;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    Program program(fixture);
    if (!program.WaitReady()) {
      state.SkipWithError("the program did not reach its event loop");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(StartToFirstIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void Idle(benchmark::State& state) {
  const Fixture fixture;
  const double seconds = static_cast<double>(state.range(0));
  double cpu_percent = 0;
  double rss = 0;
  double peak = 0;
  for (auto _ : state) {
    Program program(fixture);
    if (!program.WaitReady()) {
      state.SkipWithError("the program did not reach its event loop");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // start-up work settles
    const double cpu_before = program.CpuSeconds();
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    cpu_percent = 100.0 * (program.CpuSeconds() - cpu_before) / wall;
    rss = program.MemoryMb("VmRSS");
    peak = program.MemoryMb("VmHWM");
    state.SetIterationTime(wall);
  }
  state.counters["idle_seconds"] = seconds;
  state.counters["idle_cpu_percent"] = cpu_percent;
  state.counters["rss_mb"] = rss;
  state.counters["peak_rss_mb"] = peak;
}
BENCHMARK(Idle)->Arg(10)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
