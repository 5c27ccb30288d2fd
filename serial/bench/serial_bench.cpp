// Benchmarks of the serial library on a pseudo-terminal:
// - AvailLatency: from a byte written on the far end to the avail handler running on
//   the user-interface thread (median and 99th percentile, in ms);
// - Throughput: 10 MB pushed through at full speed, checked byte for byte (errors
//   counts lost, duplicated or reordered bytes);
// - IdleCpu: an open, idle port's cost in per cent of one core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/tests/pty_pair.h"
#include "serial/SerPort.h"

namespace {

using Clock = std::chrono::steady_clock;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "serial_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

void OpenPort(TSerComPort& port) {
  port.SetBaud(115200);
  port.SetPromptForPort(false);
  port.SetComNumber(1);
  port.SetOpen(true);
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
  return v[i];
}

void BM_AvailLatency(benchmark::State& state) {
  App();
  platform_test::ComPorts ports;
  platform_test::Pty& pty = ports.Add(1);
  TSerComPort port(nullptr);
  bool arrived = false;
  QEventLoop* waiting = nullptr;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i)
      cp.GetChar();
    arrived = true;
    if (waiting) waiting->quit();
  };
  OpenPort(port);
  std::vector<double> samples;
  for (auto _ : state) {
    arrived = false;
    const auto start = Clock::now();
    pty.Write("x");
    QEventLoop loop;
    waiting = &loop;
    if (!arrived) loop.exec();
    waiting = nullptr;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    samples.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["median_ms"] = Percentile(samples, 0.5);
  state.counters["p99_ms"] = Percentile(samples, 0.99);
}
BENCHMARK(BM_AvailLatency)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_Throughput(benchmark::State& state) {
  App();
  constexpr size_t kTotal = 10 * 1000 * 1000;
  platform_test::ComPorts ports;
  platform_test::Pty& pty = ports.Add(1);
  TSerComPort port(nullptr);
  size_t received = 0;
  size_t errors = 0;
  port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i) {
      const auto c = static_cast<unsigned char>(cp.GetChar());
      if (c != static_cast<unsigned char>((received * 7 + received / 251) & 0xFF)) ++errors;
      ++received;
    }
  };
  OpenPort(port);
  std::string data(kTotal, '\0');
  for (size_t i = 0; i < kTotal; ++i)
    data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  for (auto _ : state) {
    received = 0;
    errors = 0;
    std::thread writer([&] { pty.Write(data); });
    QEventLoop loop;
    port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
      for (int i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(cp.GetChar());
        if (c != static_cast<unsigned char>((received * 7 + received / 251) & 0xFF)) ++errors;
        ++received;
      }
      if (received >= kTotal) loop.quit();
    };
    port.UpdateHandlerState();
    if (received < kTotal) loop.exec();
    writer.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
  state.counters["errors"] = static_cast<double>(errors);
  state.counters["extra_bytes"] = static_cast<double>(received - kTotal);
}
BENCHMARK(BM_Throughput)->Iterations(1)->Unit(benchmark::kMillisecond);

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_IdleCpu(benchmark::State& state) {
  App();
  platform_test::ComPorts ports;
  ports.Add(1);
  TSerComPort port(nullptr);
  port.OnTriggerAvail = [](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i)
      cp.GetChar();
  };
  OpenPort(port);
  double percent = 0;
  for (auto _ : state) {
    // The user-interface thread sleeps in the event loop as a program's would.
    const double cpu0 = CpuSeconds();
    const auto wall0 = Clock::now();
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    percent = 100.0 * (CpuSeconds() - cpu0) / wall;
  }
  state.counters["cpu_percent_of_one_core"] = percent;
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
