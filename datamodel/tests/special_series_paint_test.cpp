// Painting the specialised series on the recording canvas: an event band, error
// bars and stacked bars.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_CSpecial.h"
#include "platform/recording_canvas.h"

namespace {

using platform::CanvasCall;
using platform::CanvasOp;
using platform::Point;
using platform::Rect;
using Segment = std::pair<Point, Point>;

// A plot of 100 x 100 pixels: X from 0 to 10 left to right, Y from 0 to 10 upwards,
// 10 pixels per unit.
class SpecialPaintTest : public ::testing::Test {
 protected:
  SpecialPaintTest() {
    RegisterDataModel();
    x_axis_.SetKind(akValue);
    y_axis_.SetKind(akValue);
  }
  void Attach(TSerieObject& serie) {
    serie.SetUseXAxis(&x_axis_);
    serie.SetUseYAxis(&y_axis_);
    serie.SetPlotRect({0, 0, 101, 101});
    serie.SetUseCanvas(&canvas_);
    serie.SetColor(0x0000FF);
    serie.SetPointSize(2);
  }
  void Detach(TSerieObject& serie) {
    serie.SetUseXAxis(nullptr);
    serie.SetUseYAxis(nullptr);
  }
  std::vector<Segment> Lines() const {
    std::vector<Segment> lines;
    for (const platform::DrawnSegment& line : platform::DrawnSegments(canvas_.calls()))
      lines.emplace_back(line.from, line.to);
    return lines;
  }
  bool HasLine(Point from, Point to) const {
    const std::vector<Segment> lines = Lines();
    return std::find(lines.begin(), lines.end(), Segment{from, to}) != lines.end();
  }

  platform::RecordingCanvas canvas_;
  TAxis x_axis_{nullptr, {0, 100}, {100, 100}};
  TAxis y_axis_{nullptr, {0, 100}, {0, 0}};
};

TEST_F(SpecialPaintTest, AnEventBand) {
  TEventSerie events(nullptr);
  Attach(events);
  events.SetPointSize(3);
  events.Band = {0, 40, 101, 60};
  for (double x : {2.0, 5.0})
    events.AddPoint(std::make_unique<TEventPoint>(x, 0.0));
  events.Paint();
  // An arrow head of twice the marker size at each event, in the band's middle
  // (y 50) whatever the Y axis says.
  const std::vector<Segment> expected = {
      {{17, 44}, {20, 56}}, {{20, 56}, {23, 44}}, {{47, 44}, {50, 56}}, {{50, 56}, {53, 44}}};
  EXPECT_EQ(Lines(), expected);
  for (const CanvasCall& call : platform::CallsOf(canvas_.calls(), CanvasOp::kLineTo))
    EXPECT_EQ(call.pen.color, 0x0000FFu);
  Detach(events);
}

TEST_F(SpecialPaintTest, ErrorBars) {
  TStdSEMSerie serie(nullptr);
  Attach(serie);
  serie.SetStyle(record_tag::kSeriesStyleMarkers);
  serie.ShowSD = true;
  auto point = std::make_unique<TStdDevPoint>(5.0, 5.0);
  point->SD = 2;
  point->SEM = 1;
  serie.AddPoint(std::move(point));
  auto flat = std::make_unique<TStdDevPoint>(8.0, 5.0);  // no spread: no bars
  serie.AddPoint(std::move(flat));
  serie.Paint();
  // SD: from Y + 2 (pixel 30) to the marker's top edge (48), from its bottom edge
  // (52) to Y - 2 (pixel 70); whiskers of half width 3 at both ends.
  EXPECT_TRUE(HasLine({50, 30}, {50, 48}));
  EXPECT_TRUE(HasLine({47, 30}, {54, 30}));
  EXPECT_TRUE(HasLine({50, 70}, {50, 52}));
  EXPECT_TRUE(HasLine({47, 70}, {54, 70}));
  // SEM alike at 40 and 60.
  EXPECT_TRUE(HasLine({50, 40}, {50, 48}));
  EXPECT_TRUE(HasLine({47, 60}, {54, 60}));
  // The markers' four sides each (two points) and four lines per bar.
  EXPECT_EQ(Lines().size(), 8u + 4u + 4u);

  canvas_.Clear();
  serie.ShowSD = false;
  serie.ShowSEM = false;
  serie.Paint();
  EXPECT_EQ(Lines().size(), 8u);
  Detach(serie);
}

TEST_F(SpecialPaintTest, StackedBarsTakeTheirColoursWhereThereAreAny) {
  TMultibarSeries bars(nullptr);
  Attach(bars);
  // Two colours for three values: the file sets them apart.
  bars.SetBarCount(2);
  bars.SetBarColor(0, 0x00FF00);
  bars.SetBarColor(1, 0xFF0000);
  auto point = std::make_unique<TMultivaluePoint>(5.0, 0.0);
  point->Values = {2, 3, -1, 1};
  bars.AddPoint(std::move(point));
  bars.Paint();
  // Half width twice the marker size, the right edge one further; stacked from 0
  // (pixel 100) by 2, 3 and 1, the negative value left out. The colours follow the
  // values: the fourth has none of its own.
  const auto fills = platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect);
  ASSERT_EQ(fills.size(), 3u);
  EXPECT_EQ(fills[0].rect, (Rect{46, 80, 55, 100}));
  EXPECT_EQ(fills[0].brush.color, 0x00FF00u);
  EXPECT_EQ(fills[1].rect, (Rect{46, 50, 55, 80}));
  EXPECT_EQ(fills[1].brush.color, 0xFF0000u);
  EXPECT_EQ(fills[2].rect, (Rect{46, 40, 55, 50}));
  EXPECT_EQ(fills[2].brush.color, 0x0000FFu);
  const auto frames = platform::CallsOf(canvas_.calls(), CanvasOp::kRectangle);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2].pen.color, 0x0000FFu);
  EXPECT_EQ(frames[2].brush.style, platform::BrushStyle::kClear);

  // Outlined only: each frame in its bar's colour.
  canvas_.Clear();
  bars.SetStyle(record_tag::kSeriesStyleBars);
  bars.Paint();
  const auto outlines = platform::CallsOf(canvas_.calls(), CanvasOp::kRectangle);
  ASSERT_EQ(outlines.size(), 3u);
  EXPECT_EQ(outlines[0].pen.color, 0x00FF00u);
  EXPECT_EQ(outlines[1].pen.color, 0xFF0000u);
  EXPECT_TRUE(platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect).empty());

  // Without the bar bit there are no stacked bars.
  canvas_.Clear();
  bars.SetStyle(record_tag::kSeriesStyleFilled);
  bars.Paint();
  EXPECT_TRUE(platform::CallsOf(canvas_.calls(), CanvasOp::kRectangle).empty());
  Detach(bars);
}

TEST_F(SpecialPaintTest, AdjoiningBars) {
  TMultibarSeries bars(nullptr);
  Attach(bars);
  bars.Adjoining = true;
  bars.SetBarCount(1);
  for (double x : {2.0, 4.0}) {
    auto point = std::make_unique<TMultivaluePoint>(x, 0.0);
    point->Values = {1};
    bars.AddPoint(std::move(point));
  }
  bars.Paint();
  // The very first bar starts one pixel right of where a point before it would be
  // (2 x 20 - 40); the next one starts where the first ends.
  const auto fills = platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].rect, (Rect{1, 90, 20, 100}));
  EXPECT_EQ(fills[1].rect, (Rect{20, 90, 40, 100}));

  // A single point: one pixel right of the pixel of its X - 1.
  canvas_.Clear();
  bars.DataSet().Clear();
  auto point = std::make_unique<TMultivaluePoint>(5.0, 0.0);
  point->Values = {1};
  bars.AddPoint(std::move(point));
  bars.Paint();
  const auto single = platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect);
  ASSERT_EQ(single.size(), 1u);
  EXPECT_EQ(single[0].rect, (Rect{41, 90, 50, 100}));
  Detach(bars);
}

}  // namespace
