// The specialised series on the plot: band placement, error bars, stacked bars,
// hit tests and read-outs.
#include <algorithm>

#include "datafile/QORFunc.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_CSpecial.h"
#include "platform/format_text.h"

namespace {

bool Contains(const platform::Rect& rect, platform::Point point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

// The visible points of Serie's X axis, widened by one point on each side.
bool VisibleRange(const TSerieObject& serie, int32_t& first, int32_t& last) {
  const TAxis* x_axis = serie.UseXAxis();
  const int32_t count = serie.DataSet().PointCount();
  if (!x_axis || count == 0) return false;
  serie.VisibleIndexRange(x_axis->GetMinimum(), x_axis->GetMaximum(), first, last);
  first = std::max(first - 1, 0);
  last = std::min(last + 1, count - 1);
  return true;
}

platform::Point PixelOf(const TSerieObject& serie, const TXYPoint& point) {
  return serie.ValueToPixel(point.YValue, point.XValue, point.OrdinalNo);
}

}  // namespace

// ---------------------------------------------------------------------------
// Band series

bool TNoYAxisSeries::HitTest(const platform::Point& point, void* info) const {
  if (TSerieObject::HitTest(point, info)) return true;
  if (!Contains(Band, point)) return false;
  if (auto* hit = static_cast<TGlyphHit*>(info)) hit->object = const_cast<TNoYAxisSeries*>(this);
  return true;
}

std::string TNoYAxisSeries::GetReadout(double axis_x) {
  int32_t index;
  NearestPoint(axis_x, index);
  // Before the first point the number is 1, past the last the count; a series
  // that cannot be searched (no points, or kept unsorted) has none.
  if (index < 0) return {};
  return std::to_string(int64_t{index} + 1);
}

platform::Point TNoYAxisSeries::ValueToPixel(double y, double x, int32_t ordinal) const {
  platform::Point pixel = TSerieObject::ValueToPixel(y, x, ordinal);
  pixel.y = static_cast<int32_t>((int64_t{Band.top} + Band.bottom) / 2);
  return pixel;
}

std::string TEventSerie::GetReadout(double axis_x) {
  const std::string number = TNoYAxisSeries::GetReadout(axis_x);
  if (number.empty()) return {};
  return platform::Format(platform::LoadResString(SEventReadout), {number});
}

std::string TVideoSerie::GetReadout(double axis_x) {
  const std::string number = TNoYAxisSeries::GetReadout(axis_x);
  if (number.empty()) return {};
  return platform::Format(platform::LoadResString(SFrameReadout), {number});
}

platform::Point TVideoSerie::ValueToPixel(double y, double x, int32_t ordinal) const {
  platform::Point pixel = TSerieObject::ValueToPixel(y, x, ordinal);
  const platform::Rect& plot = PlotRect();
  const int64_t width = int64_t{plot.right} - plot.left;
  const int64_t height = int64_t{plot.bottom} - plot.top;
  pixel.y = MovePixel(plot.top, (width + height + 200) / 100);
  return pixel;
}

// ---------------------------------------------------------------------------
// Histogram

std::string THistogramSerie::GetReadout(double axis_x) {
  const TQORDataSet& data = DataSet();
  const double y_offset = data.YOffset();
  double total = 0;
  double below = 0;
  for (const auto& point : data.Points()) {
    const double hours = point->YValue + y_offset;
    total += hours;
    if (AxisXOf(*point) <= axis_x) below += hours;
  }
  const std::string format = platform::LoadResString(SHistogramReadout);
  if (total == 0) return platform::Format(format, {0.0, "%", 0.0, 0.0});
  return platform::Format(format, {below * 100 / total, "%", below, total});
}

// ---------------------------------------------------------------------------
// Error bars

void TStdSEMSerie::PaintPoints(platform::Canvas& canvas, platform::Color color) {
  TSerie::PaintPoints(canvas, color);
  int32_t first;
  int32_t last;
  if (!VisibleRange(*this, first, last)) return;
  canvas.SetPenColor(color);
  canvas.SetPenWidth(EffectivePenWidth());
  canvas.SetPenStyle(platform::PenStyle::kSolid);
  const platform::Rect& clip = ClipRect();
  const int64_t size = PointSize();
  const int64_t whisker = 3 * size / 2;
  const auto& points = DataSet().Points();

  // From the value D above the point to the marker's edge on that side, and from
  // the marker's other edge to the value D below, a whisker across each end.
  const auto error_bar = [&](const TXYPoint& point, platform::Point centre, double d) {
    for (const double end_value : {point.YValue + d, point.YValue - d}) {
      const int32_t end = ValueToPixel(end_value, point.XValue, point.OrdinalNo).y;
      const int32_t edge = MovePixel(centre.y, end < centre.y ? -size : size);
      DrawClippedLine(canvas, centre.x, end, centre.x, edge, clip, 0, 0);
      DrawClippedLine(canvas, MovePixel(centre.x, -whisker), end, MovePixel(centre.x, whisker + 1),
                      end, clip, 0, 0);
    }
  };
  for (int32_t i = first; i <= last; ++i) {
    const auto* point = dynamic_cast<const TStdDevPoint*>(points[static_cast<size_t>(i)].get());
    if (!point) continue;
    const platform::Point centre = PixelOf(*this, *point);
    if (!Contains(clip, centre)) continue;
    if (ShowSD && point->SD > 0) error_bar(*point, centre, point->SD);
    if (ShowSEM && point->SEM > 0) error_bar(*point, centre, point->SEM);
  }
}

// ---------------------------------------------------------------------------
// Stacked bars

void TMultibarSeries::PaintPoints(platform::Canvas& canvas, platform::Color color) {
  TSerie::PaintPoints(canvas, color);
  int32_t first;
  int32_t last;
  if (!(Style() & record_tag::kSeriesStyleBars) || !VisibleRange(*this, first, last)) return;
  const auto& points = DataSet().Points();
  const int32_t count = static_cast<int32_t>(points.size());
  const platform::Rect& clip = ClipRect();
  const bool filled = (Style() & record_tag::kSeriesStyleFilled) != 0;
  const int64_t half = 2 * int64_t{PointSize()};
  const platform::Brush brush = canvas.brush();
  canvas.SetPenWidth(EffectivePenWidth());
  canvas.SetPenColor(color);
  canvas.SetPenStyle(platform::PenStyle::kSolid);

  const auto x_of = [&](int32_t i) { return PixelOf(*this, *points[static_cast<size_t>(i)]).x; };
  int32_t previous_x = 0;
  for (int32_t i = first; i <= last; ++i) {
    const TXYPoint& point = *points[static_cast<size_t>(i)];
    const platform::Point pixel = PixelOf(*this, point);
    int32_t left;
    int32_t right;
    if (Adjoining) {
      if (i > first) {
        left = previous_x;
      } else if (i > 0) {
        left = MovePixel(x_of(i - 1), 1);
      } else if (count > 1) {
        // The very first point: as far left as the second point lies right of it.
        left = MovePixel(2 * int64_t{pixel.x} - x_of(1), 1);
      } else {
        left = MovePixel(ValueToPixel(point.YValue, point.XValue - 1, point.OrdinalNo - 1).x, 1);
      }
      right = pixel.x;
    } else {
      left = MovePixel(pixel.x, -half);
      right = MovePixel(pixel.x, half + 1);
    }
    previous_x = pixel.x;

    const auto* values = dynamic_cast<const TMultivaluePoint*>(&point);
    if (!values) continue;
    double sum = 0;
    int32_t bottom = ValueToPixel(0, point.XValue, point.OrdinalNo).y;
    for (size_t v = 0; v < values->Values.size(); ++v) {
      if (!(values->Values[v] > 0)) continue;
      sum += values->Values[v];
      const int32_t top = ValueToPixel(sum, point.XValue, point.OrdinalNo).y;
      const platform::Rect segment{std::min(left, right), std::min(top, bottom),
                                   std::max(left, right), std::max(top, bottom)};
      bottom = top;
      platform::Rect inside;
      if (!platform::IntersectRect(inside, segment, clip)) continue;
      // The file sets the colours apart from the values: a value without a colour
      // of its own takes the series' colour.
      const platform::Color bar = v < bar_colors_.size() ? bar_colors_[v] : color;
      if (filled) {
        canvas.SetBrush({bar, platform::BrushStyle::kSolid});
        canvas.FillRect(inside);
        canvas.SetPenColor(color);
      } else {
        canvas.SetPenColor(bar);
      }
      canvas.SetBrushStyle(platform::BrushStyle::kClear);
      canvas.Rectangle(inside);
    }
  }
  canvas.SetBrush(brush);
  canvas.SetPenColor(color);
}

std::string TMultibarSeries::GetReadout(double axis_x) {
  TSerieLocation location;
  Locate(axis_x, location);
  const auto* point = dynamic_cast<const TMultivaluePoint*>(location.before);
  if (!point) return {};
  const std::string format = platform::LoadResString(SMultibarReadout);
  const std::string unit = DataSet().GetYUnit();
  std::string text;
  for (double value : point->Values)
    text += platform::Format(format, {value, unit});
  return text;
}
