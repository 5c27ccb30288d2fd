// Speed of painting a plot:
//
//   BM_PaintSeries/recording   a 100,000-point series with markers at every point
//                              (style 0x01) and its two axes on a 1000 x 600 plot,
//                              on the recording canvas (every call recorded)
//   BM_PaintSeries/qt          the same on the Qt canvas over a 1000 x 600 image
//
// The series holds one point a minute for 69 days, 100 points to a pixel column:
// /smooth a daily rhythm with measurement noise (about 25 markers of a column on
// pixels of their own), /scattered values spread over the whole axis (nearly every
// marker on a pixel of its own, the most the plot can be asked to draw).
//   BM_CalendarAxis30Years     a time axis over 30 years with yearly ticks and their
//                              dates, on the recording canvas
//
//   scripts/bench.sh --benchmark_filter=Paint   or   build/datamodel/datamodel_paint_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

#include "datamodel/Axis.h"
#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_C.h"
#include "platform/date_time.h"
#include "platform/qt/qt_canvas.h"
#include "platform/recording_canvas.h"

namespace {

constexpr int32_t kPoints = 100000;
constexpr int32_t kWidth = 1000;
constexpr int32_t kHeight = 600;

// A plot of kWidth x kHeight with a time axis along the bottom, a value axis up the
// left side and a series of kPoints points, one a minute, over the whole range.
class Plot {
 public:
  Plot(platform::Canvas& canvas, bool scattered)
      : x_axis_(&canvas, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}),
        y_axis_(&canvas, {0, kHeight - 1}, {0, 0}),
        serie_(nullptr) {
    RegisterDataModel();
    const double start = platform::EncodeDate(2024, 1, 1);
    serie_.DataSet().ReservePoints(kPoints);
    std::mt19937 random(42);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    std::uniform_real_distribution<double> anywhere(6.8, 7.8);
    for (int32_t i = 0; i < kPoints; ++i) {
      const double rhythm = 7.3 + 0.1 * std::sin(2 * M_PI * i / 1440.0);
      const double y = scattered ? anywhere(random) : rhythm + noise(random);
      serie_.AddPoint(std::make_unique<TXYPoint>(start + i / 1440.0, y, i + 1));
    }
    x_axis_.SetMinimum(start);
    x_axis_.SetSpan(kPoints / 1440.0);
    x_axis_.SetTickStep(7);
    y_axis_.SetKind(akValue);
    y_axis_.SetMinimum(6.8);
    y_axis_.SetSpan(1.0);
    y_axis_.SetTickStep(0.1);
    serie_.SetUseXAxis(&x_axis_);
    serie_.SetUseYAxis(&y_axis_);
    serie_.SetStyle(0x01);
    serie_.SetPointSize(2);
    serie_.SetPlotRect({0, 0, kWidth, kHeight});
    serie_.SetUseCanvas(&canvas);
  }
  ~Plot() {
    serie_.SetUseXAxis(nullptr);
    serie_.SetUseYAxis(nullptr);
  }
  void Paint() {
    serie_.Paint();
    x_axis_.Paint();
    y_axis_.Paint();
  }

 private:
  TAxis x_axis_;
  TAxis y_axis_;
  TSerie serie_;
};

void BM_PaintSeriesRecording(benchmark::State& state) {
  platform::RecordingCanvas canvas;
  Plot plot(canvas, state.range(0) != 0);
  // The canvas' record has its room from then on, as a window's canvas has.
  plot.Paint();
  canvas.Clear();
  for (auto _ : state) {
    plot.Paint();
    benchmark::DoNotOptimize(canvas.calls().size());
    state.PauseTiming();
    canvas.Clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PaintSeriesRecording)
    ->Name("BM_PaintSeries/recording")
    ->ArgName("scattered")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_PaintSeriesQt(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  platform::qt::QtCanvas canvas(painter);
  Plot plot(canvas, state.range(0) != 0);
  for (auto _ : state) {
    plot.Paint();
    benchmark::ClobberMemory();
  }
  painter.end();
}
BENCHMARK(BM_PaintSeriesQt)
    ->Name("BM_PaintSeries/qt")
    ->ArgName("scattered")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_CalendarAxis30Years(benchmark::State& state) {
  RegisterDataModel();
  platform::RecordingCanvas canvas;
  TAxis axis(&canvas, {0, kHeight - 1}, {kWidth - 1, kHeight - 1});
  const double start = platform::EncodeDate(1995, 1, 1);
  axis.SetMinimum(start);
  axis.SetSpan(platform::EncodeDate(2025, 1, 1) - start);
  axis.SetTickStep(365);
  for (auto _ : state) {
    axis.Paint();
    benchmark::DoNotOptimize(canvas.calls().size());
    state.PauseTiming();
    canvas.Clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CalendarAxis30Years)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // The Qt canvas needs fonts, which need a GUI application; no display is needed.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
