// Throughput and memory of reading and writing a large plain data file: a
// monitor-data file of about 10 MB, nearly all of it 26-byte data-point records.
//
//   scripts/bench.sh                       all benchmarks
//   scripts/bench.sh --benchmark_filter=Read
//
// bytes_per_second is the file's size over the time of one read or write. The
// counter peak_memory_x is the peak resident memory the operation added, as a
// multiple of the file's size (from the kernel's high-water mark, reset before the
// operation); it needs large blocks to go back to the system when freed, which the
// mmap threshold set in main ensures.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/bench/peak_memory.h"
#include "platform/stream.h"

namespace {

constexpr int64_t kTargetSize = 10 * 1024 * 1024;
constexpr int32_t kPointRecord = 220;

struct Totals {
  int64_t points = 0;
  int64_t index_sum = 0;
  double value_sum = 0;
  double time_sum = 0;
  int64_t fields = 0;
};

// Reads every field of a monitor-data file: the header fields, the file-info and
// monitor records, the reserved block (skipped as the save component does) and each
// data point's index, time and value.
void ReadEverything(void* user_data, int32_t tag, TVistaReader& reader) {
  auto& totals = *static_cast<Totals*>(user_data);
  switch (tag) {
    case kPointRecord: {
      reader.BeginGroup(reader.ReadSize());
      int16_t index;
      double time;
      double value;
      reader.ReadBuffer(&index, sizeof index);
      reader.ReadBuffer(&time, sizeof time);
      reader.ReadBuffer(&value, sizeof value);
      reader.EndGroup();
      ++totals.points;
      totals.index_sum += index;
      totals.time_sum += time;
      totals.value_sum += value;
      break;
    }
    case 3:
    case 200:
      reader.BeginFolding(tag);
      break;
    case 2:
    case 30:
      totals.fields += reader.ReadIntegerField();
      break;
    case 201:
    case 202:
    case 203:
    case 204:
      totals.fields += static_cast<int64_t>(reader.ReadStringField().size());
      break;
    default:
      reader.SkipField();
      break;
  }
}

void WriteMonitorFile(platform::MemoryStream& stream, int64_t points) {
  TVistaWriter writer;
  writer.SetStream(&stream);
  writer.WriteHeader();
  writer.BeginFolding(3);
  writer.WriteIntegerField(2, 8);
  writer.WriteIntegerField(30, 0);
  writer.EndFolding();
  writer.BeginFolding(200);
  writer.WriteStringField(201, "Radiometer ABLxxx");
  writer.WriteStringField(202, "");
  writer.WriteStringField(203, "123456-7890");
  writer.WriteStringField(204, "Berg");
  writer.EndFolding();
  const std::string reserved(500, '\0');
  writer.WriteBufferField(205, reserved.data(), static_cast<int32_t>(reserved.size()));
  writer.FinishFile();
  for (int64_t i = 0; i < points; ++i) {
    writer.BeginGroup(kPointRecord);
    const int16_t index = static_cast<int16_t>(i % 12);
    const double time = 46000.0 + static_cast<double>(i) / 1440.0;
    const double value = 7.4 + static_cast<double>(i % 100) / 100.0;
    writer.WriteBuffer(&index, sizeof index);
    writer.WriteBuffer(&time, sizeof time);
    writer.WriteBuffer(&value, sizeof value);
    writer.EndGroup();
  }
}

constexpr int64_t kPoints = (kTargetSize - 700) / 26;

std::string BenchFolder() {
  static const std::string folder = [] {
    std::string f = (std::filesystem::temp_directory_path() / "datafile_bench").string();
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

const std::string& SampleFile() {
  static const std::string name = [] {
    const std::string n = BenchFolder() + "/ABL.vor";
    platform::MemoryStream stream;
    WriteMonitorFile(stream, kPoints);
    stream.SaveToFile(n);
    return n;
  }();
  return name;
}

void BM_ReadPlainFile(benchmark::State& state) {
  const std::string& name = SampleFile();
  const int64_t size = static_cast<int64_t>(std::filesystem::file_size(name));
  TVistaReader reader;
  const auto read_once = [&] {
    platform::MemoryStream stream;
    stream.LoadFromFile(name);
    Totals totals;
    reader.Read(stream, &ReadEverything, &totals);
    if (totals.points != kPoints) state.SkipWithError("points lost");
    benchmark::DoNotOptimize(totals);
  };
  const double peak = qor_bench::PeakMemoryOf(read_once);
  for (auto _ : state)
    read_once();
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["file_mb"] = static_cast<double>(size) / 1e6;
  state.counters["peak_memory_x"] = peak / static_cast<double>(size);
}
BENCHMARK(BM_ReadPlainFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading alone, from a file already in memory.
void BM_ReadPlainFileInMemory(benchmark::State& state) {
  platform::MemoryStream stream;
  stream.LoadFromFile(SampleFile());
  TVistaReader reader;
  for (auto _ : state) {
    stream.SetPosition(0);
    Totals totals;
    reader.Read(stream, &ReadEverything, &totals);
    benchmark::DoNotOptimize(totals);
  }
  state.SetBytesProcessed(state.iterations() * stream.Size());
}
BENCHMARK(BM_ReadPlainFileInMemory)->Unit(benchmark::kMillisecond);

void BM_WritePlainFile(benchmark::State& state) {
  const std::string name = BenchFolder() + "/written.vor";
  int64_t size = 0;
  const auto write_once = [&] {
    platform::MemoryStream stream;
    WriteMonitorFile(stream, kPoints);
    stream.SaveToFile(name);
    size = stream.Size();
  };
  const double peak = qor_bench::PeakMemoryOf(write_once);
  for (auto _ : state)
    write_once();
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["file_mb"] = static_cast<double>(size) / 1e6;
  state.counters["peak_memory_x"] = peak / static_cast<double>(size);
}
BENCHMARK(BM_WritePlainFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writing alone, into memory, without the save to disk.
void BM_WritePlainFileInMemory(benchmark::State& state) {
  int64_t size = 0;
  for (auto _ : state) {
    platform::MemoryStream stream;
    WriteMonitorFile(stream, kPoints);
    size = stream.Size();
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_WritePlainFileInMemory)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Blocks above 128 KiB come from and go back to the system directly, so that the
  // memory counters see each operation's own memory and nothing kept from before.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(BenchFolder());
  return 0;
}
