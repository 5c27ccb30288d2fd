// The whole system's speed: the canned 44-line message from Gasmimic's first ENQ to
// Gasbridge's last point on the disk, the two programs running on the offscreen
// platform at the two ends of a serial cable (system_fixture.h), into the
// demonstration patient's monitor-data file, which already holds the message's
// series (one message went before the measures).
//
// - CannedMessage/0: the cable passes every byte at once (a pseudo-terminal pair
//   ignores the baud rate).
// - CannedMessage/9600: the cable spends 10/9600 s on every byte in each direction,
//   one byte after the other, as a 9600-baud line with 8 data bits, a start and a
//   stop bit does.
//
// Counters: ms, the median time from the ENQ reaching the cable to the last point's
// bytes in the file (max_ms the longest); bytes, what went over the cable for one
// message (ENQ, frames and EOT one way, ACKs the other); line_ms, those bytes' own
// time on the paced line; x_line, ms / line_ms. Gasbridge answers a frame as soon
// as its checksum is in, so its ACK travels while the frame's CR LF still do, and
// the exchange can take a little less than all its bytes one after the other.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "simulator/tests/system_fixture.h"

namespace {

using system_test::Clock;
using system_test::DemoSystem;
using system_test::Program;
using system_test::PtyCable;
using system_test::WaitFor;

// A data point's record on the disk: tag, size, series index, time and value.
constexpr off_t kPointBytes = 4 + 4 + 2 + 8 + 8;
// The canned message's points: 40 results less Qt and VO2, which are not measured.
constexpr off_t kCannedPoints = 38;

off_t FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void CannedMessage(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  const double seconds_per_byte = baud ? 10.0 / baud : 0;
  DemoSystem demo(QOR_GASBRIDGE_PATH, QOR_GASMIMIC_PATH, QOR_STANDIN_LIBRARY);
  PtyCable cable(demo.Ports(), 1, 2, seconds_per_byte);
  Program& gasbridge = demo.StartGasbridge("COM1");
  if (!WaitFor([&] { return gasbridge.HoldsOpen(cable.DeviceA()); })) {
    state.SkipWithError("gasbridge did not open COM1");
    return;
  }
  const std::vector<std::string> send = {"--com", "2", "--send-canned-once", "--quit-after", "60"};
  // The first message defines the series in the patient's file.
  demo.StartGasmimic(send).Wait();
  if (!WaitFor([&] { return demo.MessagesDone() == 1; })) {
    state.SkipWithError("the first message was not filed");
    return;
  }

  std::vector<double> ms;
  double bytes = 0;
  int done = 1;
  for (auto _ : state) {
    const size_t sent_before = cable.FromB().bytes.size();
    const size_t replied_before = cable.FromA().bytes.size();
    const off_t size_before = FileSize(demo.SaveFile());
    const off_t size_after = size_before + kCannedPoints * kPointBytes;
    Program& gasmimic = demo.StartGasmimic(send);
    // The last point is on the disk when the file has grown by all of them (the
    // limit only guards against a hang).
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(60);
    while (FileSize(demo.SaveFile()) < size_after && Clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    const Clock::time_point on_disk = Clock::now();
    const system_test::Traffic sent = cable.FromB();
    if (FileSize(demo.SaveFile()) != size_after || sent.bytes.size() <= sent_before ||
        sent.bytes[sent_before] != '\x05') {
      state.SkipWithError("the message was not filed whole");
      break;
    }
    const double elapsed = std::chrono::duration<double>(on_disk - sent.times[sent_before]).count();
    ms.push_back(elapsed * 1000);
    state.SetIterationTime(elapsed);
    gasmimic.Wait();
    WaitFor([&] { return demo.MessagesDone() == done + 1; });
    ++done;
    bytes = static_cast<double>(sent.bytes.size() - sent_before + cable.FromA().bytes.size() -
                                replied_before);
  }
  state.counters["ms"] = Median(ms);
  state.counters["max_ms"] = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
  state.counters["bytes"] = bytes;
  if (baud) {
    const double line_ms = bytes * seconds_per_byte * 1000;
    state.counters["line_ms"] = line_ms;
    state.counters["x_line"] = Median(ms) / line_ms;
  }
}
BENCHMARK(CannedMessage)
    ->Arg(0)
    ->Arg(9600)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
