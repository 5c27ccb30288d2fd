// Benchmarks of the serial library on a pseudo-terminal:
// - AvailLatency: from a byte written on the far end to the avail handler running on
//   the user-interface thread (median and 99th percentile, in ms);
// - Throughput: 10 MB pushed through at full speed, checked byte for byte (errors
//   counts lost, duplicated or reordered bytes);
// - IdleCpu: an open, idle port's cost in per cent of one core;
// - ByteToAck: a frame's last byte written on the far end to the ACK read there,
//   through the library (the avail handler answers with PutString) and, in the same
//   run, through a bare single-threaded responder on a second pseudo-terminal
//   (median and 99th percentile of each, in microseconds, and their ratio);
// - HandOff*: each thread hand-off on that path on its own: an event set on one
//   thread and seen on another (comm to dispatch thread, PutString to the output
//   thread), a delivery sent to the user-interface thread and its return, and
//   PutString to the byte on the far end (the output thread's wake-up and write).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm.h"
#include "platform/qt/event_loop.h"
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

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// Runs Work on a thread of its own while this (the user-interface) thread sleeps in
// its event loop, as a program's does; the loop ends when Work has.
template <class Work>
void RunBesideTheEventLoop(Work work) {
  QEventLoop loop;
  std::thread other([&] {
    work();
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  other.join();
}

// The far end of one frame: all but the last byte, a pause for them to be taken,
// then the last byte; the time from it to the ACK read back.
double FrameToAck(platform_test::Pty& pty, const std::string& frame) {
  pty.Write(frame.substr(0, frame.size() - 1));
  std::this_thread::sleep_for(std::chrono::microseconds(300));
  const auto start = Clock::now();
  pty.Write(frame.substr(frame.size() - 1));
  const std::string ack = pty.Read(1, 2000);
  const auto end = Clock::now();
  return ack == "\x06" ? Micros(end - start) : 1e9;
}

// The reference: one thread, no library, answering each frame's end with ACK.
class BareResponder {
 public:
  explicit BareResponder(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
    thread_ = std::thread([this] { Run(); });
  }
  ~BareResponder() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }

 private:
  void Run() {
    char buf[256];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] == '\n') {
          const char ack = '\x06';
          [[maybe_unused]] ssize_t w = ::write(fd_, &ack, 1);
        }
      }
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_ByteToAck(benchmark::State& state) {
  App();
  platform_test::ComPorts ports;
  platform_test::Pty& library_end = ports.Add(1);
  platform_test::Pty bare_end;
  BareResponder bare(bare_end.slave_path());
  TSerComPort port(nullptr);
  port.OnTriggerAvail = [](TSerCustomComPort& cp, uint16_t count) {
    for (int i = 0; i < count; ++i) {
      if (cp.GetChar() == '\n') cp.PutString("\x06");
    }
  };
  OpenPort(port);
  const std::string frame =
      "\x02"
      "1R|1|^^^pH|7.401|||N||||F\r\x03"
      "5C\r\n";
  std::vector<double> library, reference;
  for (auto _ : state) {
    double lib = 0, ref = 0;
    // The far end runs on its own thread; which responder goes first alternates.
    const bool bare_first = library.size() % 2 == 0;
    RunBesideTheEventLoop([&] {
      if (bare_first) ref = FrameToAck(bare_end, frame);
      lib = FrameToAck(library_end, frame);
      if (!bare_first) ref = FrameToAck(bare_end, frame);
    });
    reference.push_back(ref);
    library.push_back(lib);
    state.SetIterationTime(lib / 1e6);
  }
  const double lib_median = Percentile(library, 0.5), ref_median = Percentile(reference, 0.5);
  state.counters["lib_median_us"] = lib_median;
  state.counters["lib_p99_us"] = Percentile(library, 0.99);
  state.counters["bare_median_us"] = ref_median;
  state.counters["bare_p99_us"] = Percentile(reference, 0.99);
  state.counters["median_ratio"] = lib_median / ref_median;
}
BENCHMARK(BM_ByteToAck)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

// An event set on one thread, seen by a thread waiting for it (the comm thread's
// event-arrived, QueueOutput's output-ready): half a ping-pong.
void BM_HandOffEvent(benchmark::State& state) {
  platform::CommEvent ping, pong;
  std::atomic<bool> stop{false};
  std::thread other([&] {
    while (!stop) {
      if (ping.Wait(50)) pong.Set();
    }
  });
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = Clock::now();
    ping.Set();
    pong.Wait(-1);
    const double us = Micros(Clock::now() - start) / 2;
    samples.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  stop = true;
  other.join();
  state.counters["median_us"] = Percentile(samples, 0.5);
  state.counters["p99_us"] = Percentile(samples, 0.99);
}
BENCHMARK(BM_HandOffEvent)->UseManualTime()->Iterations(5000)->Unit(benchmark::kMicrosecond);

// A delivery: the dispatch thread's call queued to the user-interface thread (to the
// handler's start), and from the handler's end back to the waiting sender.
void BM_HandOffDelivery(benchmark::State& state) {
  App();
  QObject receiver;
  std::vector<double> there, back;
  for (auto _ : state) {
    Clock::time_point sent, started, ended, returned;
    RunBesideTheEventLoop([&] {
      sent = Clock::now();
      platform::SendCall(
          &receiver,
          [&] {
            started = Clock::now();
            ended = Clock::now();
          },
          std::chrono::milliseconds(3000), platform::StartedCall::kReturn);
      returned = Clock::now();
    });
    there.push_back(Micros(started - sent));
    back.push_back(Micros(returned - ended));
    state.SetIterationTime(Micros(returned - sent) / 1e6);
  }
  state.counters["to_ui_median_us"] = Percentile(there, 0.5);
  state.counters["to_ui_p99_us"] = Percentile(there, 0.99);
  state.counters["back_median_us"] = Percentile(back, 0.5);
  state.counters["back_p99_us"] = Percentile(back, 0.99);
}
BENCHMARK(BM_HandOffDelivery)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// PutString on the user-interface thread to the byte readable on the far end: the
// output thread's wake-up and its write.
void BM_HandOffOutput(benchmark::State& state) {
  App();
  platform_test::ComPorts ports;
  platform_test::Pty& pty = ports.Add(1);
  TSerComPort port(nullptr);
  OpenPort(port);
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = Clock::now();
    port.PutString("\x06");
    pollfd p{pty.master(), POLLIN, 0};
    ::poll(&p, 1, 2000);
    const double us = Micros(Clock::now() - start);
    char c;
    [[maybe_unused]] ssize_t r = ::read(pty.master(), &c, 1);
    samples.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  state.counters["median_us"] = Percentile(samples, 0.5);
  state.counters["p99_us"] = Percentile(samples, 0.99);
}
BENCHMARK(BM_HandOffOutput)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
