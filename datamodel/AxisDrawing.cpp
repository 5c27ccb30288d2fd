// How an axis draws itself and what a click on it hits: the order of the drawing,
// the axis line, legend boxes, tick marks and grid lines, the title, the units
// legend and the span box. Ticks and labels are in AxisDrawingTicks.cpp, the day
// line and calendar ticks in AxisDrawingCalendar.cpp.
#include "datamodel/AxisDrawing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "datafile/QORFunc.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_C.h"
#include "datamodel/Series_CObject.h"
#include "platform/format_text.h"

namespace {

bool Contains(const platform::Rect& rect, const platform::Point& point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

constexpr double kMsPerDay = 86400000.0;

std::string JoinSorted(const std::set<std::string>& texts) {
  std::string joined;
  bool first = true;
  for (const std::string& text : texts) {
    if (!first) joined += ", ";
    joined += text;
    first = false;
  }
  return joined;
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry points

bool TAxis::HitTest(const platform::Point& point, void* info) const {
  auto* hit = static_cast<TGlyphHit*>(info);
  if (series_.size() >= 2) {
    // The legend boxes a vertical axis draws below its second end point, grown by
    // three pixels and moved one up and left.
    for (size_t i = 0; i < series_.size(); ++i) {
      const int64_t offset = 8 * static_cast<int64_t>(i);
      const platform::Rect box{MovePixel(x1_, -5 - 3 - 1), MovePixel(y1_, 3 + offset - 3 - 1),
                               MovePixel(x1_, 5 + 3 - 1), MovePixel(y1_, 8 + offset + 3 - 1)};
      if (Contains(box, point)) {
        if (hit) hit->object = series_[i];
        return true;
      }
    }
  }
  const platform::Rect span{
      MovePixel(std::min(x0_, x1_), -6 - 3), MovePixel(std::min(y0_, y1_), -6 - 3),
      MovePixel(std::max(x0_, x1_), 6 - 3), MovePixel(std::max(y0_, y1_), 6 - 3)};
  if (Contains(span, point)) {
    if (hit) {
      hit->object = const_cast<TAxis*>(this);
      hit->handled = true;
    }
    return true;
  }
  return false;
}

void TAxis::Paint() {
  if (canvas_) DrawAxis(*canvas_, Greyed ? platform::kClSilver : GetColor(), platform::Point{0, 0});
}

void TAxis::DrawAxis(platform::Canvas& canvas, platform::Color color, platform::Point) {
  // Ticks and labels belong on the axis' own canvas; an axis without one (as the
  // loader creates them) has nowhere to put them, and half an axis would mislead.
  if (!Visible || !canvas_) return;
  TAxisPainter(*this, canvas, *canvas_, color).Draw();
}

// ---------------------------------------------------------------------------
// The painter

TAxisPainter::TAxisPainter(const TAxis& axis, platform::Canvas& target, platform::Canvas& own,
                           platform::Color color)
    : axis_(axis),
      target_(target),
      own_(own),
      color_(color),
      horizontal_(axis.IsHorizontal()),
      pixel_length_(axis.PixelLength()),
      p0_(axis.P0()),
      p1_(axis.P1()) {}

void TAxisPainter::Draw() {
  for (platform::Canvas* canvas : {&target_, &own_}) {
    canvas->SetPen({color_, axis_.EffectiveLineWidth(), platform::PenStyle::kSolid});
    canvas->SetBrushStyle(platform::BrushStyle::kClear);
  }
  const bool calendar = axis_.Kind() == akTime && axis_.Span() > 31.0;
  if (calendar) {
    DrawCalendarTicks();
  } else {
    if (axis_.Kind() == akValue || axis_.Kind() == akOrdinal) {
      DrawStraightLine();
    } else {
      DrawDayLine();
    }
    DrawLegendBoxes();
    const double minimum = axis_.GetMinimum();
    if (axis_.Logarithmic && minimum <= 0) {
      // A range that reaches zero has no logarithm: every value of it lies off the
      // axis, and so would every tick.
    } else if (axis_.Logarithmic && (minimum + axis_.Span()) / minimum > 10) {
      DrawLogarithmicTicks();
    } else {
      DrawMinorTicks();
      DrawMajorTicks();
    }
  }
  if (axis_.ShowTitle) {
    DrawTitle();
    if (axis_.ShowUnitLegend) DrawUnitsLegend();
  }
  target_.SetBrushStyle(platform::BrushStyle::kSolid);
  if (!(axis_.Options & record_tag::kAxisOptionNoSpanBox) && horizontal_ &&
      (axis_.Kind() == akTime || axis_.Kind() == akDuration))
    DrawSpanBox();
}

bool TAxisPainter::Inside(int32_t x, int32_t y) const {
  if (horizontal_) return x >= std::min(p0_.x, p1_.x) && x <= std::max(p0_.x, p1_.x);
  return y >= std::min(p0_.y, p1_.y) && y <= std::max(p0_.y, p1_.y);
}

bool TAxisPainter::TickStepFits(double step) const {
  if (!std::isfinite(step) || step <= 0) return false;
  return axis_.Span() / step <= std::max(pixel_length_, 1);
}

double TAxisPainter::TickOrigin() const {
  const double step = axis_.TickStep();
  const double minimum = axis_.GetMinimum();
  const auto frac = [](double x) { return x - std::trunc(x); };
  const double origin =
      axis_.Kind() == akTime ? frac(frac(minimum) / step) * step : frac(minimum / step) * step;
  return std::isfinite(origin) ? origin : 0;
}

void TAxisPainter::UseLabelFont(platform::Canvas& canvas) const {
  platform::Font font = axis_.Font();
  font.color = axis_.GetColor();
  canvas.SetFont(font);
}

void TAxisPainter::DrawStraightLine() {
  target_.MoveTo(p0_.x, p0_.y);
  target_.LineTo(p1_.x, p1_.y);
}

void TAxisPainter::DrawLegendBoxes() {
  const auto& series = axis_.Series();
  if (horizontal_ || series.size() < 2) return;
  const platform::Brush brush = target_.brush();
  for (size_t i = 0; i < series.size(); ++i) {
    const int64_t offset = 8 * static_cast<int64_t>(i);
    target_.SetBrush({series[i]->GetColor(), platform::BrushStyle::kSolid});
    target_.FillRect({MovePixel(p1_.x, -5), MovePixel(p1_.y, 3 + offset), MovePixel(p1_.x, 5),
                      MovePixel(p1_.y, 8 + offset)});
  }
  target_.SetBrush(brush);
}

void TAxisPainter::DrawTickMark(int32_t x, int32_t y, int32_t length) {
  const int64_t l = length;
  if (horizontal_) {
    switch (axis_.TickPosition) {
      case 3:
        own_.MoveTo(x, MovePixel(y, -l));
        own_.LineTo(x, y);
        return;
      case 4:
        own_.MoveTo(x, y);
        own_.LineTo(x, MovePixel(y, l));
        return;
      default:
        own_.MoveTo(x, MovePixel(y, -(l / 2)));
        own_.LineTo(x, MovePixel(y, l / 2));
        return;
    }
  }
  switch (axis_.TickPosition) {
    case 0:
      own_.MoveTo(MovePixel(x, -l), y);
      own_.LineTo(x, y);
      return;
    case 1:
      own_.MoveTo(x, y);
      own_.LineTo(MovePixel(x, l), y);
      return;
    default:
      own_.MoveTo(MovePixel(x, -(l / 2)), y);
      own_.LineTo(MovePixel(x, l / 2), y);
      return;
  }
}

void TAxisPainter::DrawGridLine(int32_t x, int32_t y) {
  if (!axis_.ShowGrid || axis_.Series().empty()) return;
  const TSerieObject& first = *axis_.Series().front();
  const TAxis* other = first.UseXAxis() == &axis_ ? first.UseYAxis() : first.UseXAxis();
  if (!other || other == &axis_) return;
  if (horizontal_ ? (x == p0_.x || x == p1_.x) : (y == p0_.y || y == p1_.y)) return;
  own_.SetPenWidth(1);
  own_.SetPenStyle(platform::PenStyle::kDash);
  if (horizontal_) {
    own_.MoveTo(x, other->P0().y);
    own_.LineTo(x, other->P1().y);
  } else {
    own_.MoveTo(other->P0().x, y);
    own_.LineTo(other->P1().x, y);
  }
  own_.SetPenStyle(platform::PenStyle::kSolid);
}

// ---------------------------------------------------------------------------
// Title, units legend, span box

std::string AxisUnitsText(const TAxis& axis) {
  std::set<std::string> units;
  for (const TSerieObject* serie : axis.Series()) {
    const auto* plain = dynamic_cast<const TSerie*>(serie);
    if (plain && !plain->PercentMode()) units.insert(platform::Trim(serie->SerieAxisUnit(&axis)));
  }
  return JoinSorted(units);
}

std::string AxisTitleText(const TAxis& axis) {
  std::set<std::string> titles;
  for (const TSerieObject* serie : axis.Series()) {
    std::string title = platform::Trim(serie->SerieAxisTitle(&axis));
    if (!title.empty()) titles.insert(std::move(title));
  }
  std::string text = JoinSorted(titles);
  const std::string units = AxisUnitsText(axis);
  if (!text.empty() && !units.empty()) text += ", " + units;
  return text;
}

void TAxisPainter::DrawTitle() {
  const std::string text = AxisTitleText(axis_);
  if (text.empty()) return;
  target_.SetFont(axis_.Font());
  const platform::Size digits = target_.TextExtent("1234");
  const int64_t needed =
      (horizontal_ ? int64_t{digits.cy} : int64_t{digits.cy} + digits.cx) + axis_.TickLength;
  if (axis_.TitleSpace() != 0 && axis_.TitleSpace() < needed) return;

  platform::Font font;
  font.name = axis_.Font().name;
  font.height = static_cast<int32_t>(int64_t{target_.TextHeight("A")} * 4 / 5);
  font.weight = platform::kFwNormal;
  font.color = axis_.GetColor();
  const uint8_t position = axis_.TickPosition;
  if (position == 0 || (position == 2 && !horizontal_)) {
    font.escapement = 900;
  } else if (position == 1) {
    font.escapement = -900;
  }
  target_.SetFont(font);
  const int64_t w = target_.TextWidth(text);
  const int64_t cx = (int64_t{p0_.x} + p1_.x) / 2;
  const int64_t cy = (int64_t{p0_.y} + p1_.y) / 2;
  int64_t x = cx - w / 2;
  int64_t y = cy;
  switch (position) {
    case 0:
      x = cx - needed;
      y = cy + w / 2;
      break;
    case 1:
      x = cx + needed;
      y = cy - w / 2;
      break;
    case 2:
      if (!horizontal_) {
        x = cx;
        y = cy + w / 2;
      }
      break;
    case 3:
      y = cy - needed;
      break;
    case 4:
      y = cy + needed;
      break;
    default:
      break;
  }
  target_.TextOut(MovePixel(x, 0), MovePixel(y, 0), text);
  target_.SetFont(axis_.Font());
}

void TAxisPainter::DrawUnitsLegend() {
  const std::string text = AxisUnitsText(axis_);
  platform::Font font = axis_.Font();
  font.SetSizeInPoints(6, target_.PixelsPerInch());
  font.color = axis_.GetColor();
  target_.SetFont(font);
  const platform::Size extent = target_.TextExtent(text);
  const int64_t w = extent.cx;
  const int64_t h = extent.cy;
  int64_t x = int64_t{p1_.x} - w;
  int64_t y = p1_.y;
  switch (axis_.TickPosition) {
    case 0:
      x = int64_t{p1_.x} - w - 2;
      y = int64_t{p1_.y} - h;
      break;
    case 1:
      x = int64_t{p1_.x} + 2;
      y = int64_t{p1_.y} - h;
      break;
    case 3:
      y = int64_t{p1_.y} - 2 * h;
      break;
    case 4:
      y = int64_t{p1_.y} + h;
      break;
    default:
      break;
  }
  target_.TextOut(MovePixel(x, 0), MovePixel(y, 0), text);
  target_.SetFont(axis_.Font());
}

std::string AxisSpanText(double span, uint8_t options) {
  if (!(span >= 0) || !std::isfinite(span)) return {};
  // Days, and the rest of a day rounded to the millisecond, the milliseconds then
  // dropped.
  double days = std::floor(span);
  double rest_ms = std::round((span - days) * kMsPerDay);
  if (rest_ms >= kMsPerDay) {
    days += 1;
    rest_ms -= kMsPerDay;
  }
  const int64_t seconds = static_cast<int64_t>(rest_ms) / 1000;
  const long long h = seconds / 3600;
  const long long m = seconds / 60 % 60;
  const long long s = seconds % 60;
  const long long d = days < 9.2e18 ? static_cast<long long>(days) : 9200000000000000000LL;
  std::string text;
  if (h == 0 && m == 0 && s == 0) {
    text = platform::Format(platform::LoadResString(d < 2 ? SSpanDay : SSpanDays), {d});
  } else if (d == 0 && m == 0 && s == 0) {
    text = platform::Format(platform::LoadResString(SSpanHours), {h});
  } else if (d == 0 && h == 0 && s == 0) {
    text = platform::Format(platform::LoadResString(SSpanMinutes), {m});
  } else if (d == 0 && h == 0 && m == 0) {
    text = platform::Format(platform::LoadResString(SSpanSeconds), {s});
  } else {
    return {};
  }
  if (!(options & record_tag::kAxisOptionNoSpanBoxMark)) text += ">";
  return text;
}

void TAxisPainter::DrawSpanBox() {
  const std::string text = AxisSpanText(axis_.Span(), axis_.Options);
  if (text.empty()) return;
  const int ppi = target_.PixelsPerInch();
  platform::Font font = axis_.Font();
  font.SetSizeInPoints(font.SizeInPoints(ppi) * 3 / 4, ppi);
  font.color = axis_.GetColor();
  target_.SetFont(font);
  const platform::Size extent = target_.TextExtent(text);
  const int64_t w = extent.cx;
  const int64_t h = extent.cy;
  const platform::Rect box{MovePixel(p1_.x, -w - 10), MovePixel(p1_.y, -(h / 4) - 1), p1_.x,
                           MovePixel(p1_.y, 3 * h / 4 + 1)};
  target_.SetPen({axis_.GetColor(), 1, platform::PenStyle::kSolid});
  target_.RoundRect(box, 10, 10);
  platform::Rect inside{MovePixel(box.left, 5), box.top, MovePixel(box.right, -5), box.bottom};
  target_.DrawText(text, inside,
                   platform::dt::kSingleLine | platform::dt::kVCenter | platform::dt::kNoPrefix);
  target_.SetFont(axis_.Font());
}
