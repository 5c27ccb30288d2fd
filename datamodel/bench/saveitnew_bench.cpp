// The save component on a patient's monitor-data file of 20 series and 200,000
// data points (about 5.2 MB) on the machine's disk: reloading the changed file,
// one definition written into the reserved block (its atomic save's flushes
// included), one appended point, and the whole work of a seven-result message as
// Gasbridge does it (open and check, reload, one new definition, seven appends).
//
//   build/datamodel/saveitnew_bench
//   scripts/bench.sh --benchmark_filter=SaveItNew
//
// peak_memory_x is the peak resident memory a load adds, as a multiple of the file's
// size (from the kernel's high-water mark, reset before the load), the buffer that
// the component keeps for its loads included; measured on the first load of the
// program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassWriter.h"
#include "datafile/bench/peak_memory.h"
#include "datamodel/RecordTags.h"
#include "datamodel/SaveITNew.h"
#include "datamodel/Series_C.h"
#include "platform/files.h"
#include "platform/stream.h"

namespace {

constexpr int kSeries = 20;
constexpr int kPoints = 200000;
const char* const kMonitor = "Radiometer ABLxxx";
const char* const kPatientId = "123456-7890";
const char* const kPatientName = "Berg";

std::string BenchFolder() {
  static const std::string folder = [] {
    std::string f = (std::filesystem::temp_directory_path() / "saveitnew_bench").string();
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

std::unique_ptr<TParameterSerie> Definition(int index) {
  auto definition = std::make_unique<TParameterSerie>();
  definition->Index = static_cast<int16_t>(index);
  definition->ParameterInfo().SetParameterName("Parameter " + std::to_string(index));
  definition->ParameterInfo().SetMeasurementPlace("Arterial");
  definition->Unit = "kPa";
  return definition;
}

// The sample file's bytes, made once through the component itself: a new file,
// 20 definitions (the block grows once), 200,000 points in time order across the
// series, and room in the block for one more definition.
const std::string& SampleBytes() {
  static const std::string bytes = [] {
    const std::string name = BenchFolder() + "/sample.vor";
    std::filesystem::remove(name);
    TSaveItNew save(nullptr);
    save.FileName = name;
    save.OpenMonitorFile(kMonitor, "", kPatientId, kPatientName);
    for (int i = 0; i < kSeries; ++i)
      save.AddParameterSerie(*Definition(i));
    // The points are written in one go rather than appended one by one.
    platform::MemoryStream file;
    file.LoadFromFile(name);
    file.Seek(0, platform::SeekOrigin::kEnd);
    for (int i = 0; i < kPoints; ++i) {
      const int32_t head[2] = {record_tag::kDataPoint, record_tag::kDataPointBodySize};
      const int16_t index = static_cast<int16_t>(i % kSeries);
      const double time = 45000.0 + i / 1440.0;
      const double value = 7.0 + (i % 100) / 100.0;
      file.WriteBuffer(head, 8);
      file.WriteBuffer(&index, 2);
      file.WriteBuffer(&time, 8);
      file.WriteBuffer(&value, 8);
    }
    return std::string(reinterpret_cast<const char*>(file.Memory()),
                       static_cast<size_t>(file.Size()));
  }();
  return bytes;
}

// Puts the sample file in place as Name, on the disk (flushed, so that no earlier
// write is left for a timed flush to wait for). Not timed.
void PlaceSample(const std::string& name) {
  const std::string& bytes = SampleBytes();
  std::filesystem::remove(name);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      ::fsync(fd) != 0)
    std::abort();
  ::close(fd);
  // The file system's own work left from replacing the file (freeing and discarding
  // the blocks of the one before) is done now, not in the next timed flush.
  ::sync();
}

int64_t PointsLoaded(const TSaveItNew& save) {
  int64_t points = 0;
  for (const auto& item : save.Items()) {
    const auto* definition = dynamic_cast<const TParameterSerie*>(item.get());
    if (definition && definition->Serie()) points += definition->Serie()->DataSet().PointCount();
  }
  return points;
}

void BM_SaveItNewRefreshChangedFile(benchmark::State& state) {
  const std::string name = BenchFolder() + "/refresh.vor";
  PlaceSample(name);
  const double size = static_cast<double>(SampleBytes().size());
  TSaveItNew save(nullptr);
  save.FileName = name;
  const auto reload = [&] {
    // The file as changed: what Refresh then does is a whole reload.
    save.ForgetLoadedFile();
    save.Refresh();
  };
  // The peak of a first load, which also makes the buffer the component keeps for
  // its loads (the registries are filled and the file is in the page cache).
  // Measured once per run of the program, before any other load: the points' pool
  // keeps the memory it took for the next points, which a later first load would
  // find there.
  static const double peak = [&] {
    TSaveItNew measured(nullptr);
    measured.FileName = name;
    return qor_bench::PeakMemoryOf([&] { measured.Refresh(); });
  }();
  for (auto _ : state)
    reload();
  if (PointsLoaded(save) != kPoints) state.SkipWithError("points lost");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.counters["file_mb"] = size / 1e6;
  state.counters["peak_memory_x"] = peak / size;
}
BENCHMARK(BM_SaveItNewRefreshChangedFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveItNewAddParameterSerieInPlace(benchmark::State& state) {
  const std::string name = BenchFolder() + "/define.vor";
  TSaveItNew save(nullptr);
  save.FileName = name;
  const auto definition = Definition(kSeries);
  for (auto _ : state) {
    state.PauseTiming();
    PlaceSample(name);
    state.ResumeTiming();
    save.AddParameterSerie(*definition);
  }
  if (std::filesystem::file_size(name) != SampleBytes().size())
    state.SkipWithError("the block grew");
}
BENCHMARK(BM_SaveItNewAddParameterSerieInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveItNewAppendDataPoint(benchmark::State& state) {
  const std::string name = BenchFolder() + "/append.vor";
  PlaceSample(name);
  TSaveItNew save(nullptr);
  save.FileName = name;
  save.Refresh();
  int i = 0;
  for (auto _ : state) {
    if (!save.AppendDataPoint(static_cast<int16_t>(i % kSeries), 46000.0 + i / 1440.0, 7.4))
      state.SkipWithError("not written");
    ++i;
  }
}
BENCHMARK(BM_SaveItNewAppendDataPoint)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Gasbridge's work for one message of seven results, one of them a parameter new
// to the file.
void BM_SaveItNewSevenResultMessage(benchmark::State& state) {
  const std::string name = BenchFolder() + "/message.vor";
  TSaveItNew save(nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    PlaceSample(name);
    state.ResumeTiming();
    save.FileName = name;
    save.OpenMonitorFile(kMonitor, "", kPatientId, kPatientName);
    save.ForgetLoadedFile();
    save.Refresh();
    int defined = 0;
    for (const auto& item : save.Items())
      defined += dynamic_cast<const TParameterSerie*>(item.get()) != nullptr;
    save.AddParameterSerie(*Definition(defined));
    for (int r = 0; r < 7; ++r) {
      const int16_t index = static_cast<int16_t>(r == 6 ? defined : r);
      save.AppendDataPoint(index, 46000.0, 7.0 + r);
    }
  }
}
BENCHMARK(BM_SaveItNewSevenResultMessage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // Blocks above 128 KiB come from and go back to the system directly, so that the
  // memory counter sees the reload's own memory and nothing kept from before.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(BenchFolder());
  return 0;
}
