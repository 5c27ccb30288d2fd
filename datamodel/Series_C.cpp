#include "datamodel/Series_C.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/QORFunc.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_CSpecial.h"
#include "platform/exception.h"
#include "platform/format_text.h"

namespace {

constexpr int32_t kHitHalfSize = 3;
constexpr int32_t kHelpLineHitDistance = 3;

// Whether the segment A-B passes through Rect (edges included): the parameter
// ranges in which it lies within the rectangle's horizontal and vertical extents
// overlap.
bool SegmentHits(platform::Point a, platform::Point b, const platform::Rect& rect) {
  double t0 = 0;
  double t1 = 1;
  const auto clip = [&](double from, double to, double low, double high) {
    if (from == to) return from >= low && from <= high;
    double u = (low - from) / (to - from);
    double v = (high - from) / (to - from);
    if (u > v) std::swap(u, v);
    t0 = std::max(t0, u);
    t1 = std::min(t1, v);
    return true;
  };
  if (!clip(a.x, b.x, rect.left, rect.right)) return false;
  if (!clip(a.y, b.y, rect.top, rect.bottom)) return false;
  return t0 <= t1;
}

// The corners of Polygon kept inside Rect (Sutherland and Hodgman, edge by edge).
std::vector<platform::Point> ClipPolygon(std::vector<platform::Point> polygon,
                                         const platform::Rect& rect) {
  struct Edge {
    int axis;  // 0: x, 1: y
    double limit;
    bool keep_above;
  };
  const Edge edges[] = {{0, static_cast<double>(rect.left), true},
                        {0, static_cast<double>(rect.right), false},
                        {1, static_cast<double>(rect.top), true},
                        {1, static_cast<double>(rect.bottom), false}};
  for (const Edge& edge : edges) {
    if (polygon.empty()) break;
    const auto coord = [&edge](const platform::Point& p) {
      return static_cast<double>(edge.axis == 0 ? p.x : p.y);
    };
    const auto inside = [&](const platform::Point& p) {
      return edge.keep_above ? coord(p) >= edge.limit : coord(p) <= edge.limit;
    };
    std::vector<platform::Point> out;
    for (size_t i = 0; i < polygon.size(); ++i) {
      const platform::Point& current = polygon[i];
      const platform::Point& previous = polygon[(i + polygon.size() - 1) % polygon.size()];
      const bool in_current = inside(current);
      const bool in_previous = inside(previous);
      if (in_current != in_previous) {
        const double t = (edge.limit - coord(previous)) / (coord(current) - coord(previous));
        const double x = previous.x + t * (static_cast<double>(current.x) - previous.x);
        const double y = previous.y + t * (static_cast<double>(current.y) - previous.y);
        out.push_back({RoundClamped(x), RoundClamped(y)});
      }
      if (in_current) out.push_back(current);
    }
    polygon = std::move(out);
  }
  return polygon;
}

}  // namespace

// ---------------------------------------------------------------------------
// TSerie

TSerie::TSerie(TQORDataSet* data_set) : TSerieObject(data_set) {
  SetPointMarker(pmCube);
}

TSerie::~TSerie() = default;

THelpLine* TSerie::AddHelpLine(std::unique_ptr<THelpLine> line) {
  line->Serie = this;
  help_lines_.push_back(std::move(line));
  return help_lines_.back().get();
}

void TSerie::ClearHelpLines() {
  help_lines_.clear();
}

void TSerie::SetPercentMode(bool value) {
  percent_mode_ = value;
  DataSet().Notify(data_set_notice::kPercentReferenceChanged, nullptr);
}

void TSerie::AssignTo(TPersistent& dest) const {
  TSerieObject::AssignTo(dest);
  auto* serie = dynamic_cast<TSerie*>(&dest);
  if (!serie || serie == this) return;
  serie->SetPercentMode(percent_mode_);
  serie->SetMovingAverageWindow(moving_average_window_);
  serie->ClearHelpLines();
  for (const auto& line : help_lines_) {
    std::unique_ptr<THelpLine> copy = line->CreateOfSameClass();
    copy->Assign(*line);
    serie->AddHelpLine(std::move(copy));
  }
}

bool TSerie::ReadsOwnRecord(int32_t tag) const {
  return tag == kHelpLineRecord || TSerieObject::ReadsOwnRecord(tag);
}

void TSerie::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kSeriesPercentMode:
      SetPercentMode(reader.ReadByteField() != 0);
      return;
    case record_tag::kSeriesPercentReference:
      DataSet().SetPercentReference(reader.ReadDoubleField());
      return;
    case record_tag::kSeriesMovingAverageWindow:
      SetMovingAverageWindow(reader.ReadIntegerField());
      return;
    case kHelpLineRecord: {
      THelpLine* line = AddHelpLine(std::make_unique<THelpLine>());
      reader.BeginFolding(tag);
      reader.SetCurrentObject(line);
      return;
    }
    default:
      break;
  }
  if (auto* line = dynamic_cast<THelpLine*>(reader.CurrentObject())) {
    line->ReadField(tag, reader);
    return;
  }
  TSerieObject::ReadField(tag, reader);
}

void TSerie::WriteFields(TVistaWriter& writer) const {
  TSerieObject::WriteFields(writer);
  writer.WriteIntegerField(record_tag::kSeriesYAxisNumber, UseYAxis() ? UseYAxis()->Spare : 0);
  writer.WriteByteField(record_tag::kSeriesPercentMode, percent_mode_ ? 1 : 0);
  writer.WriteDoubleField(record_tag::kSeriesPercentReference, DataSet().PercentReference());
  writer.WriteIntegerField(record_tag::kSeriesMovingAverageWindow, moving_average_window_);
  for (const auto& line : help_lines_)
    line->WriteTo(writer);
}

std::unique_ptr<TObject> TSerie::CreateEmpty() const {
  return std::make_unique<TSerie>(nullptr);
}

double TSerie::YValueOf(const TXYPoint& point) const {
  if (percent_mode_) return point.YValue * 100 / DataSet().PercentReference();
  return TSerieObject::YValueOf(point);
}

void TSerie::SetYValueOf(TXYPoint& point, double value) const {
  if (percent_mode_) {
    point.YValue = value * DataSet().PercentReference() / 100;
    return;
  }
  TSerieObject::SetYValueOf(point, value);
}

double TSerie::GetMaxY() const {
  if (!percent_mode_) return TSerieObject::GetMaxY();
  const TQORDataSet& data = DataSet();
  const double reference = data.PercentReference();
  const double extent = reference >= 0 ? data.MaxY() : data.MinY();
  return (data.YOffset() + extent) * 100 / reference;
}

double TSerie::GetMinY() const {
  if (!percent_mode_) return TSerieObject::GetMinY();
  const TQORDataSet& data = DataSet();
  const double reference = data.PercentReference();
  const double extent = reference >= 0 ? data.MinY() : data.MaxY();
  return (data.YOffset() + extent) * 100 / reference;
}

platform::Point TSerie::ValueToPixel(double y, double x, int32_t ordinal) const {
  platform::Point pixel = TSerieObject::ValueToPixel(y, x, ordinal);
  if (percent_mode_ && UseYAxis()) {
    const TQORDataSet& data = DataSet();
    pixel.y = UseYAxis()->ValueToPixelY((y + data.YOffset()) * 100 / data.PercentReference());
  }
  return pixel;
}

double TSerie::ShownY(const TXYPoint& point, bool raw) const {
  return raw ? point.YValue : YValueOf(point);
}

double TSerie::ValueAt(bool raw, bool& interpolated, bool& found, double axis_x) {
  interpolated = false;
  if (!(Style() & record_tag::kSeriesStyleSteps) && !(Style() & record_tag::kSeriesStyleLine))
    return TSerieObject::ValueAt(raw, interpolated, found, axis_x);
  TSerieLocation location;
  Locate(axis_x, location);
  if (Style() & record_tag::kSeriesStyleSteps) {
    found = location.before != nullptr;
    return location.before ? ShownY(*location.before, raw) : 0;
  }
  if (location.before && location.after && location.before != location.after) {
    found = true;
    // AxisX is an axis value already; the neighbours' keys are converted to meet it.
    const double x1 = AxisXOf(*location.before);
    const double x2 = AxisXOf(*location.after);
    const double y1 = ShownY(*location.before, raw);
    const double y2 = ShownY(*location.after, raw);
    if (x2 == x1) return y1;
    interpolated = true;
    return y1 + (y2 - y1) * (axis_x - x1) / (x2 - x1);
  }
  const TXYPoint* only = location.before ? location.before : location.after;
  found = only != nullptr;
  return only ? ShownY(*only, raw) : 0;
}

bool TSerie::AreaBetween(double from, double to, double& area) {
  area = 0;
  TQORDataSet& data = DataSet();
  if (data.PointCount() < 2) return true;
  data.EnsureSorted();
  const bool steps = (Style() & record_tag::kSeriesStyleSteps) != 0;
  const auto& points = data.Points();
  for (size_t i = 1; i < points.size(); ++i) {
    const double x1 = AxisXOf(*points[i - 1]);
    const double x2 = AxisXOf(*points[i]);
    const double y1 = YValueOf(*points[i - 1]);
    const double y2 = YValueOf(*points[i]);
    if (!(from <= x2 && to >= x1)) continue;
    if (from <= x1 && x2 <= to) {
      const double width = (x2 - x1) * 24;
      area += steps ? y1 * width : width * (y1 + y2) / 2;
      continue;
    }
    double start = x1;
    double start_value = y1;
    if (from > x1) {
      start = from;
      start_value = x2 != x1 ? y1 + (y2 - y1) * (from - x1) / (x2 - x1) : y1;
    }
    double end = x2;
    double end_value = y2;
    if (to < x2) {
      end = to;
      end_value = x2 != x1 ? y2 + (y1 - y2) * (x2 - to) / (x2 - x1) : y2;
    }
    const double width = (end - start) * 24;
    area += steps ? y1 * width : width * (start_value + end_value) / 2;
  }
  return true;
}

bool TSerie::HitTest(const platform::Point& point, void* info) const {
  if (TSerieObject::HitTest(point, info)) return true;
  auto* hit = static_cast<TGlyphHit*>(info);
  const platform::Rect square{MovePixel(point.x, -kHitHalfSize), MovePixel(point.y, -kHitHalfSize),
                              MovePixel(point.x, kHitHalfSize), MovePixel(point.y, kHitHalfSize)};
  // The line joins the points in key order, whatever order they came in.
  DataSet().EnsureSorted();
  const auto& points = DataSet().Points();
  const bool steps = (Style() & record_tag::kSeriesStyleSteps) != 0;
  for (size_t i = 1; i < points.size(); ++i) {
    const TXYPoint& a = *points[i - 1];
    const TXYPoint& b = *points[i];
    const platform::Point p1 = ValueToPixel(a.YValue, a.XValue, a.OrdinalNo);
    const platform::Point p2 = ValueToPixel(b.YValue, b.XValue, b.OrdinalNo);
    if (std::max(p1.x, p2.x) < square.left || std::min(p1.x, p2.x) > square.right) continue;
    const bool hits =
        steps ? SegmentHits(p1, {p2.x, p1.y}, square) || SegmentHits({p2.x, p1.y}, p2, square)
              : SegmentHits(p1, p2, square);
    if (hits) {
      if (hit) hit->object = const_cast<TSerie*>(this);
      return true;
    }
  }
  for (const auto& line : help_lines_) {
    if (line->HitTest(point, nullptr)) {
      if (hit) hit->object = line.get();
      return true;
    }
  }
  return false;
}

std::string TSerie::GetReadout(double axis_x) {
  TSerieLocation location;
  Locate(axis_x, location);
  if (dynamic_cast<const TSpecialPoint*>(location.before) ||
      dynamic_cast<const TSpecialPoint*>(location.after))
    return "- - -";
  bool interpolated;
  bool found;
  std::string text = platform::Format("%4.4g", {ValueAt(false, interpolated, found, axis_x)});
  if (percent_mode_) {
    text = platform::Format("%s %% (%4.4g)", {text, ValueAt(true, interpolated, found, axis_x)});
  }
  return text;
}

int32_t TSerie::EffectivePenWidth() const {
  return LineWidth >= 1 ? LineWidth : SeriesPenWidth();
}

namespace {

// What each step of painting a series' points needs: the visible points, with one
// more at each side so that lines run on out of the plot, and the gap that lines
// leave around markers.
struct PointsPaint {
  const TSerie& serie;
  platform::Canvas& canvas;
  platform::Color color;
  TQORDataSet& data;
  const platform::Rect& clip;
  uint8_t style;
  int32_t marker_size;
  int32_t first;
  int32_t last;
  int32_t gap;

  const TXYPoint& At(int64_t i) const { return *data.Points()[static_cast<size_t>(i)]; }
  platform::Point PixelOf(const TXYPoint& p) const {
    return serie.ValueToPixel(p.YValue, p.XValue, p.OrdinalNo);
  }
  // The pixel row of the zero line below (or above) P.
  int32_t ZeroOf(const TXYPoint& p) const {
    return serie.ValueToPixel(-data.YOffset(), p.XValue, p.OrdinalNo).y;
  }
};

// Automatic markers give way to lines, steps and bars at five pixels or fewer per
// point, unless the points carry a deviation.
bool MarkersShown(uint8_t style, int64_t visible, int32_t axis_length, const TXYPoint* front) {
  if (!(style & record_tag::kSeriesStyleAutoMarkers))
    return (style & record_tag::kSeriesStyleMarkers) != 0;
  return !(visible * 5 >= axis_length && !dynamic_cast<const TStdDevPoint*>(front) &&
           (style & (record_tag::kSeriesStyleLine | record_tag::kSeriesStyleSteps |
                     record_tag::kSeriesStyleBars)));
}

// Bars from the zero line to each point, filled or outlined.
void PaintBars(const PointsPaint& paint) {
  paint.canvas.SetBrushColor(paint.color);
  const platform::Rect& clip = paint.clip;
  for (int32_t i = paint.first; i <= paint.last; ++i) {
    const TXYPoint& p = paint.At(i);
    const platform::Point top = paint.PixelOf(p);
    const int32_t zero = paint.ZeroOf(p);
    const platform::Rect bar{MovePixel(top.x, -paint.marker_size), std::min(top.y, zero),
                             MovePixel(top.x, paint.marker_size), std::max(top.y, zero)};
    if (paint.style & record_tag::kSeriesStyleFilled) {
      platform::Rect inside;
      if (platform::IntersectRect(inside, bar, clip)) paint.canvas.FillRect(inside);
    } else {
      DrawClippedLine(paint.canvas, bar.left, bar.bottom, bar.left, bar.top, clip, 0, 0);
      DrawClippedLine(paint.canvas, bar.left, bar.top, bar.right, bar.top, clip, 0, 0);
      DrawClippedLine(paint.canvas, bar.right, bar.top, bar.right, bar.bottom, clip, 0, 0);
      DrawClippedLine(paint.canvas, bar.right, bar.bottom, bar.left, bar.bottom, clip, 0, 0);
    }
  }
}

// More than three points per pixel: one vertical stroke per pixel column, from
// the lowest point in it to the highest.
void PaintDenseColumns(const PointsPaint& paint) {
  int32_t column = 0;
  int32_t low = 0;
  int32_t high = 0;
  bool open = false;
  for (int32_t i = paint.first; i <= paint.last; ++i) {
    const platform::Point p = paint.PixelOf(paint.At(i));
    if (open && p.x == column) {
      low = std::min(low, p.y);
      high = std::max(high, p.y);
      continue;
    }
    if (open) DrawClippedLine(paint.canvas, column, low, column, high, paint.clip, 0, 0);
    column = p.x;
    low = high = p.y;
    open = true;
  }
  if (open) DrawClippedLine(paint.canvas, column, low, column, high, paint.clip, 0, 0);
}

// The joined segment from A (at pixel P1) to B (at P2): the area under it, then
// its steps or line.
void PaintSegment(const PointsPaint& paint, const TXYPoint& a, const TXYPoint& b,
                  platform::Point p1, platform::Point p2, bool fill) {
  const platform::Rect& clip = paint.clip;
  const int32_t gap = paint.gap;
  if (fill) {
    const int32_t zero1 = paint.ZeroOf(a);
    const int32_t zero2 = paint.ZeroOf(b);
    const int32_t end_y = (paint.style & record_tag::kSeriesStyleSteps) ? p1.y : p2.y;
    const std::vector<platform::Point> area =
        ClipPolygon({p1, {p1.x, zero1}, {p2.x, zero2}, {p2.x, end_y}}, clip);
    if (area.size() >= 3) {
      paint.canvas.SetBrushColor(paint.color);
      paint.canvas.Polygon(area);
    }
  }
  if (paint.style & record_tag::kSeriesStyleSteps) {
    DrawClippedLine(paint.canvas, p1.x, p1.y, p2.x, p1.y, clip, gap, gap > 0 ? 1 : 0);
    DrawClippedLine(paint.canvas, p2.x, p1.y, p2.x, p2.y, clip, gap, gap > 0 ? 2 : 0);
  } else if (paint.style & record_tag::kSeriesStyleLine) {
    DrawClippedLine(paint.canvas, p1.x, p1.y, p2.x, p2.y, clip, gap, gap > 0 ? 3 : 0);
  }
}

// Each pair of consecutive points: an infinite point's line across the plot, a
// break with markers at both ends where a record delimiter lies between them,
// else the segment.
void PaintSegments(const PointsPaint& paint, bool fill) {
  const TQORDataSet& data = paint.data;
  const auto& controls = data.ControlPoints();
  size_t control = 0;
  for (int32_t i = paint.first; i < paint.last; ++i) {
    const TXYPoint& a = paint.At(i);
    const TXYPoint& b = paint.At(int64_t{i} + 1);
    const platform::Point p1 = paint.PixelOf(a);
    const platform::Point p2 = paint.PixelOf(b);
    if (dynamic_cast<const TInfinitePoint*>(&a)) {
      DrawClippedLine(paint.canvas, p1.x, paint.clip.top, p1.x, paint.clip.bottom, paint.clip, 0,
                      0);
      continue;
    }
    const double key_a = data.PointKey(a);
    const double key_b = data.PointKey(b);
    while (control < controls.size() && data.PointKey(*controls[control]) < key_a)
      ++control;
    if (control < controls.size() && data.PointKey(*controls[control]) < key_b) {
      paint.serie.DrawPoint(paint.canvas, a, paint.marker_size);
      paint.serie.DrawPoint(paint.canvas, b, paint.marker_size);
      continue;
    }
    PaintSegment(paint, a, b, p1, p2, fill);
  }
}

// Lines, steps and fills between consecutive points; steps run on from the last
// point to the plot's right edge unless it is zero.
void PaintConnections(const PointsPaint& paint, bool fill, int32_t axis_length, int64_t visible) {
  const bool dense = axis_length > 0 ? visible / axis_length > 3 : visible > 3;
  if (dense) {
    PaintDenseColumns(paint);
  } else {
    PaintSegments(paint, fill);
  }
  if (paint.style & record_tag::kSeriesStyleSteps) {
    const TXYPoint& end = paint.At(paint.last);
    if (end.YValue != 0) {
      const platform::Point p = paint.PixelOf(end);
      DrawClippedLine(paint.canvas, p.x, p.y, paint.clip.right, p.y, paint.clip, 0, 0);
    }
  }
}

// Moving average over the last WINDOW points, from WINDOW points before the visible
// ones to WINDOW after them; a window from a file may be of any size.
void PaintMovingAverage(const PointsPaint& paint, int64_t window, int32_t count) {
  const int64_t from = std::max<int64_t>(int64_t{paint.first} - window, 0);
  const int64_t to = std::min<int64_t>(int64_t{paint.last} + window, count - 1);
  double sum = 0;
  bool have_vertex = false;
  platform::Point previous;
  for (int64_t i = from; i <= to; ++i) {
    sum += paint.At(i).YValue;
    if (i - from >= window) sum -= paint.At(i - window).YValue;
    if (i - from < window - 1) continue;
    const TXYPoint& centre = paint.At(i - window / 2);
    double x = centre.XValue;
    int32_t ordinal = centre.OrdinalNo;
    if (window % 2 == 0) {
      const TXYPoint& next = paint.At(i - window / 2 + 1);
      x = (x + next.XValue) / 2;
      ordinal = RoundClamped((static_cast<long double>(ordinal) + next.OrdinalNo) / 2);
    }
    const platform::Point vertex =
        paint.serie.ValueToPixel(sum / static_cast<double>(window), x, ordinal);
    if (have_vertex)
      DrawClippedLine(paint.canvas, previous.x, previous.y, vertex.x, vertex.y, paint.clip, 0, 0);
    previous = vertex;
    have_vertex = true;
  }
}

// The mean line across the points' range.
void PaintMeanLine(const PointsPaint& paint) {
  const double mean = paint.data.Average();
  const platform::Point a =
      paint.serie.ValueToPixel(mean, paint.data.MinX(), paint.data.MinOrdinal());
  const platform::Point b =
      paint.serie.ValueToPixel(mean, paint.data.MaxX(), paint.data.MaxOrdinal());
  DrawClippedLine(paint.canvas, a.x, a.y, b.x, b.y, paint.clip, 0, 0);
}

// The highlighted points of the percent display, with enlarged markers.
void PaintHighlighted(const PointsPaint& paint) {
  const int32_t enlarged = MovePixel(paint.marker_size, 1);
  paint.canvas.SetPenWidth(enlarged / 2);
  for (const TXYPoint* point : paint.data.Highlighted())
    paint.serie.DrawPoint(paint.canvas, *point, enlarged);
}

// The help lines, dotted, leaving the pen and brush solid again.
void PaintHelpLines(platform::Canvas& canvas,
                    const std::vector<std::unique_ptr<THelpLine>>& help_lines) {
  canvas.SetBrushStyle(platform::BrushStyle::kClear);
  canvas.SetPenStyle(platform::PenStyle::kDot);
  canvas.SetPenWidth(1);
  for (const auto& line : help_lines)
    line->DrawOn(canvas);
  canvas.SetPenStyle(platform::PenStyle::kSolid);
  canvas.SetBrushStyle(platform::BrushStyle::kSolid);
}

}  // namespace

void TSerie::PaintPoints(platform::Canvas& canvas, platform::Color color) {
  TSerieObject::PaintPoints(canvas, color);
  TQORDataSet& data = DataSet();
  TAxis* x_axis = UseXAxis();
  if (!x_axis || data.PointCount() == 0) return;
  const int32_t count = data.PointCount();
  const uint8_t style = Style();
  const int32_t marker_size = PointSize();

  canvas.SetPenWidth(EffectivePenWidth());
  canvas.SetPenColor(color);
  int32_t first;
  int32_t last;
  VisibleIndexRange(x_axis->GetMinimum(), x_axis->GetMaximum(), first, last);
  first = std::max(first - 1, 0);
  last = std::min(last + 1, count - 1);
  const int32_t axis_length = x_axis->PixelLength();
  const int64_t visible = int64_t{last} - first;
  const int32_t gap = MarkersShown(style, visible, axis_length, data.Points().front().get())
                          ? MovePixel(2 * int64_t{marker_size}, 0)
                          : 0;
  const PointsPaint paint{*this, canvas,      color, data, ClipRect(),
                          style, marker_size, first, last, gap};

  if (style & record_tag::kSeriesStyleBars) PaintBars(paint);
  const bool fill =
      (style & record_tag::kSeriesStyleFilled) && !(style & record_tag::kSeriesStyleBars);
  if ((style & (record_tag::kSeriesStyleSteps | record_tag::kSeriesStyleLine)) || fill)
    PaintConnections(paint, fill, axis_length, visible);
  const int64_t window = moving_average_window_;
  if ((style & record_tag::kSeriesStyleMovingAverage) && window > 0)
    PaintMovingAverage(paint, window, count);
  if (style & record_tag::kSeriesStyleMeanLine) PaintMeanLine(paint);
  if (percent_mode_ && !data.Highlighted().empty()) PaintHighlighted(paint);
  if (!help_lines_.empty()) PaintHelpLines(canvas, help_lines_);
}

// ---------------------------------------------------------------------------
// THelpLine

void THelpLine::AssignTo(TPersistent& dest) const {
  auto* line = dynamic_cast<THelpLine*>(&dest);
  if (!line) {
    TGlyph::AssignTo(dest);
    return;
  }
  line->Slope = Slope;
  line->Intercept = Intercept;
  line->FromX = FromX;
  line->ToX = ToX;
  line->X0 = X0;
}

void THelpLine::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kHelpLineSlope:
      Slope = reader.ReadDoubleField();
      return;
    case record_tag::kHelpLineIntercept:
      Intercept = reader.ReadDoubleField();
      return;
    case record_tag::kHelpLineX0:
      X0 = reader.ReadDoubleField();
      return;
    case record_tag::kHelpLineFromX:
      FromX = reader.ReadDoubleField();
      return;
    case record_tag::kHelpLineToX:
      ToX = reader.ReadDoubleField();
      return;
    default:
      TGlyph::ReadField(tag, reader);
  }
}

bool THelpLine::WriteTo(TVistaWriter& writer) {
  const bool own_record = ClassName() == "THelpLine";
  if (own_record) writer.BeginFolding(kHelpLineRecord);
  writer.WriteDoubleField(record_tag::kHelpLineSlope, Slope);
  writer.WriteDoubleField(record_tag::kHelpLineIntercept, Intercept);
  writer.WriteDoubleField(record_tag::kHelpLineX0, X0);
  writer.WriteDoubleField(record_tag::kHelpLineFromX, FromX);
  writer.WriteDoubleField(record_tag::kHelpLineToX, ToX);
  return own_record ? writer.EndFolding() : true;
}

std::unique_ptr<THelpLine> THelpLine::CreateOfSameClass() const {
  return std::make_unique<THelpLine>();
}

void THelpLine::DrawOn(platform::Canvas& canvas) {
  if (!Serie) return;
  double from = FromX;
  double to = ToX;
  if (from == 0 && to == 0) {
    TQORDataSet& data = Serie->DataSet();
    if (data.PointCount() < 2) return;
    // The line spans the points' range: the first and last in key order.
    data.EnsureSorted();
    from = data.PointKey(*data.Points().front());
    to = data.PointKey(*data.Points().back());
  }
  const platform::Point a = Serie->ValueToPixel(YAt(from), from, RoundClamped(from));
  const platform::Point b = Serie->ValueToPixel(YAt(to), to, RoundClamped(to));
  const platform::Rect canvas_clip = canvas.ClipRect().value_or(Serie->PlotRect());
  platform::Rect clip;
  if (!platform::IntersectRect(clip, canvas_clip, Serie->PlotRect())) return;
  DrawClippedLine(canvas, a.x, a.y, b.x, b.y, clip, 0, 0);
}

void THelpLine::Paint() {
  if (Serie && Serie->UseCanvas()) DrawOn(*Serie->UseCanvas());
}

bool THelpLine::HitTest(const platform::Point& point, void* info) const {
  if (!Serie || !Serie->UseXAxis() || !Serie->UseYAxis()) return false;
  const double x = Serie->UseXAxis()->PixelToValue(point.x, point.y);
  const platform::Point pixel = Serie->ValueToPixel(YAt(x), x, RoundClamped(x));
  if (std::llabs(int64_t{pixel.y} - point.y) >= kHelpLineHitDistance) return false;
  if (auto* hit = static_cast<TGlyphHit*>(info)) hit->object = const_cast<THelpLine*>(this);
  return true;
}

// ---------------------------------------------------------------------------
// TSerieObjectQuickSave

TSerieObjectQuickSave::~TSerieObjectQuickSave() = default;

void TSerieObjectQuickSave::SetSerie(TSerieObject* serie) {
  if (read_serie_.get() != serie) read_serie_.reset();
  serie_ = serie;
}

std::unique_ptr<TSerieObject> TSerieObjectQuickSave::TakeSerie() {
  return std::move(read_serie_);
}

void TSerieObjectQuickSave::AddSubObject(std::unique_ptr<TObject> object) {
  if (serie_) serie_->AddSubObject(std::move(object));
}

void TSerieObjectQuickSave::ReadDone() {
  if (serie_) serie_->ReadDone();
}

std::unique_ptr<TObject> TSerieObjectQuickSave::CreateEmpty() const {
  return std::make_unique<TSerieObjectQuickSave>();
}

bool TSerieObjectQuickSave::ReadsOwnRecord(int32_t tag) const {
  return serie_ && serie_->ReadsOwnRecord(tag);
}

void TSerieObjectQuickSave::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == record_tag::kQuickSaveSeriesRecordType) {
    std::unique_ptr<TObject> object =
        TVistaStreamParser::CreateByRecordType(reader.ReadIntegerField());
    serie_ = nullptr;
    read_serie_.reset();
    if (auto* serie = dynamic_cast<TSerieObject*>(object.get())) {
      object.release();
      read_serie_.reset(serie);
      serie_ = serie;
    }
    return;
  }
  if (serie_) {
    serie_->ReadField(tag, reader);
  } else {
    reader.SkipField();
  }
}

bool TSerieObjectQuickSave::WriteTo(TVistaWriter& writer) {
  if (!serie_) throw Exception("Exception:,mvdsa8974 Gl\xF6mde att ange en serie!");
  writer.BeginFolding(kSerieQuickSaveRecord);
  writer.WriteIntegerField(record_tag::kQuickSaveSeriesRecordType, serie_->RecordType());
  serie_->QuickSaveFields(writer);
  return writer.EndFolding();
}

// ---------------------------------------------------------------------------

void RegisterSeriesUnit() {
  static const bool registered = [] {
    UpdateSeriesPenWidth();
    RegisterSerieClass(SerieClassOf<TSerie>());
    RegisterSpecialisedSerieClasses();
    TVistaStreamParser::RegisterPrototype(std::make_unique<TSerieObjectQuickSave>());
    TVistaStreamParser::RegisterPrototype(std::make_unique<TSerie>(nullptr));
    return true;
  }();
  (void)registered;
}
