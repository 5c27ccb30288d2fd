// Speed and memory of the data model's large series:
//
//   BM_LoadSeriesBlock     a series of 1,000,000 points loaded from its record (the
//                          point block, field 14), from a file already in memory
//   BM_AddPointsInOrder    1,000,000 points added in time order
//   BM_LatePoints          10,000 points arriving out of order into a
//                          100,000-point series, then one search
//
// ns_per_point is the time of one load or one run of additions over the points.
// heap_mb is what the loaded series holds on the heap once the file's buffer is
// freed (from the allocator's own statistics, the slabs of the points' pool among
// it), measured once per run of the program.
//
//   scripts/bench.sh --benchmark_filter=Series   or   build/datamodel/datamodel_bench
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <memory>
#include <random>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_C.h"
#include "platform/stream.h"

namespace {

constexpr int32_t kMillion = 1000000;

// A plain file holding one series record of Points plain points in one block.
void WriteSeriesFile(platform::MemoryStream& file, int32_t points) {
  TSerie serie(nullptr);
  serie.DataSet().ReservePoints(points);
  for (int32_t i = 0; i < points; ++i)
    serie.AddPoint(
        std::make_unique<TXYPoint>(46000.0 + i / 1440.0, 7.4 + (i % 100) / 100.0, i + 1));
  TVistaWriter writer;
  writer.SetStream(&file);
  writer.WriteHeader();
  serie.WriteTo(writer);
  writer.FinishFile();
}

// Enters the series record at file level and hands its fields to the series, as
// the save component's loader does.
void LoadSeries(void* user_data, int32_t tag, TVistaReader& reader) {
  auto* serie = static_cast<TSerie*>(user_data);
  if (reader.Depth() == 0 && tag == kSerieRecord) {
    reader.BeginFolding(tag);
    reader.SetCurrentObject(serie);
    return;
  }
  if (reader.Depth() > 0) {
    serie->ReadField(tag, reader);
    return;
  }
  reader.SkipField();
}

// Nanoseconds per point of Points points per iteration.
benchmark::Counter NsPerPoint(const benchmark::State& state, int64_t points) {
  return benchmark::Counter(
      1e-9 * static_cast<double>(points) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// The heap a loaded series holds once its file has gone, in MB, or -1 when points
// were lost. Measured once, first thing in the program: the points' pool keeps the
// memory it took for the next points, so a later measurement would see none taken.
double LoadedSeriesHeapMb() {
  static const double heap_mb = [] {
    malloc_trim(0);
    const size_t before = HeapInUse();
    auto serie = std::make_unique<TSerie>(nullptr);
    {
      platform::MemoryStream file;
      WriteSeriesFile(file, kMillion);
      file.SetPosition(0);
      TVistaReader reader;
      reader.Read(file, &LoadSeries, serie.get());
    }
    malloc_trim(0);
    if (serie->DataSet().PointCount() != kMillion) return -1.0;
    return static_cast<double>(HeapInUse() - before) / (1024.0 * 1024.0);
  }();
  return heap_mb;
}

void BM_LoadSeriesBlock(benchmark::State& state) {
  RegisterDataModel();
  const double heap_mb = LoadedSeriesHeapMb();
  if (heap_mb < 0) state.SkipWithError("points lost");
  platform::MemoryStream file;
  WriteSeriesFile(file, kMillion);
  TVistaReader reader;
  for (auto _ : state) {
    auto serie = std::make_unique<TSerie>(nullptr);
    file.SetPosition(0);
    reader.Read(file, &LoadSeries, serie.get());
    benchmark::DoNotOptimize(serie->DataSet().PointCount());
    state.PauseTiming();
    serie.reset();
    state.ResumeTiming();
  }
  state.counters["ns_per_point"] = NsPerPoint(state, kMillion);
  state.counters["heap_mb"] = heap_mb;
}
BENCHMARK(BM_LoadSeriesBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AddPointsInOrder(benchmark::State& state) {
  for (auto _ : state) {
    TSerie serie(nullptr);
    for (int32_t i = 0; i < kMillion; ++i)
      serie.AddPoint(std::make_unique<TXYPoint>(46000.0 + i / 1440.0, 7.4));
    benchmark::DoNotOptimize(serie.DataSet().MaxX());
    state.PauseTiming();
    serie.DataSet().Clear();
    state.ResumeTiming();
  }
  state.counters["ns_per_point"] = NsPerPoint(state, kMillion);
}
BENCHMARK(BM_AddPointsInOrder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LatePoints(benchmark::State& state) {
  constexpr int32_t kSeries = 100000;
  constexpr int32_t kLate = 10000;
  std::mt19937 random(42);
  std::uniform_real_distribution<double> earlier(46000.0, 46000.0 + kSeries / 1440.0);
  TAxis axis(nullptr, {0, 0}, {1000, 0});
  for (auto _ : state) {
    TSerie serie(nullptr);
    serie.SetUseXAxis(&axis);
    for (int32_t i = 0; i < kSeries; ++i)
      serie.AddPoint(std::make_unique<TXYPoint>(46000.0 + i / 1440.0, 7.4));
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < kLate; ++i)
      serie.AddPoint(std::make_unique<TXYPoint>(earlier(random), 7.1));
    int32_t index;
    benchmark::DoNotOptimize(serie.NearestPoint(46010.0, index));
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (!serie.DataSet().Sorted()) state.SkipWithError("not sorted after the search");
    serie.SetUseXAxis(nullptr);
  }
}
BENCHMARK(BM_LatePoints)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
