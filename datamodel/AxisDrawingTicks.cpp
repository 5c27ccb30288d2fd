// The ticks of an axis and their labels: minor ticks, major ticks with labels for
// every kind of axis, the duration axis' unit caption, and logarithmic ticks.
#include <algorithm>
#include <cmath>

#include "datafile/QORFunc.h"
#include "datamodel/AxisDrawing.h"
#include "platform/date_time_format.h"
#include "platform/format_text.h"

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr double kOneHour = 1.0 / 24;
constexpr double kOneMinute = 1.0 / 1440;
// The edges the label rules start from: nothing drawn yet.
constexpr int64_t kNoTopYet = 0x3FFFFFFF;
constexpr int64_t kNoRightYet = -1073741823;
// Where the label after the last decade would lie: far beyond the axis.
constexpr int64_t kBeyondLastDecade = 2147483637;

std::string Res(const platform::ResourceString& resource) {
  return platform::LoadResString(resource);
}

// A rectangle in wide coordinates, so that labels near the ends of the pixel range
// can be moved and compared without wrapping round.
struct WideRect {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
  bool Overlaps(const WideRect& other) const {
    return left < right && top < bottom && other.left < other.right && other.top < other.bottom &&
           left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Label texts

std::string AxisDurationLabel(uint8_t unit, double v) {
  if (!std::isfinite(v)) return {};
  if (unit == 0) return platform::FloatToStrGeneral(v * 86400, 7);
  if (unit > 3) return {};
  const bool negative = v < 0;
  const double a = std::fabs(v);
  // In milliseconds while they can be counted; beyond that the time of day is
  // lost in the value's precision anyway and only the whole units remain.
  const bool counted = a * static_cast<double>(kMsPerDay) < 9.0e18;
  const int64_t ms = counted ? std::llround(a * static_cast<double>(kMsPerDay)) : 0;
  const int64_t day_ms = ms % kMsPerDay;
  const long long h = day_ms / 3600000;
  const long long m = day_ms / 60000 % 60;
  const long long s = day_ms / 1000 % 60;
  // Whole units: rounded down where a remainder is shown, to the nearest where none
  // is.
  const auto whole = [&](int64_t unit_ms, bool remainder) -> long long {
    long long count;
    if (counted) {
      count = remainder ? ms / unit_ms : (ms + unit_ms / 2) / unit_ms;
    } else {
      const double units = a * static_cast<double>(kMsPerDay) / static_cast<double>(unit_ms);
      count = units < 9.2e18 ? static_cast<long long>(std::round(units)) : 9200000000000000000LL;
    }
    return negative ? -count : count;
  };
  switch (unit) {
    case 1:
      if (s != 0) return platform::Format(Res(SAxisMinSec), {whole(60000, true), s});
      return std::to_string(whole(60000, false));
    case 2:
      if (s != 0) return platform::Format(Res(SAxisHourMinSec), {whole(3600000, true), m, s});
      if (m != 0) return platform::Format(Res(SAxisHourMin), {whole(3600000, true), m});
      return std::to_string(whole(3600000, false));
    default:
      if (s != 0)
        return platform::Format(Res(SAxisDaysHourMinSec), {whole(kMsPerDay, true), h, m, s});
      if (m != 0) return platform::Format(Res(SAxisDaysHourMin), {whole(kMsPerDay, true), h, m});
      if (h != 0) return platform::Format(Res(SAxisDaysHours), {whole(kMsPerDay, true), h});
      return std::to_string(whole(kMsPerDay, false));
  }
}

void AxisTickLabels(const TAxis& axis, double v, std::string& main, std::string& second) {
  main.clear();
  second.clear();
  if (axis.Kind() == akDuration) {
    main = AxisDurationLabel(axis.DurationUnit(), v);
    return;
  }
  if (axis.DateLabels == 1) {
    if (axis.GetMinimum() < platform::kMinDateTime) {
      second = Res(SAxisDay) + " " + std::to_string(RoundClamped(v));
    } else {
      second = platform::DateToStr(v);
    }
  }
  const double step = axis.TickStep();
  switch (axis.TimeFormat) {
    case 0:
      main = std::fabs(v) < step / 10000 ? "0" : platform::FloatToStrGeneral(v, 7, 4);
      break;
    case 1:
      main = platform::FormatDateTime(step >= kOneHour     ? "hh"
                                      : step >= kOneMinute ? "hh:mm"
                                                           : "hh:mm:ss",
                                      v);
      break;
    case 2:
      main = platform::FormatDateTime(step >= kOneMinute ? "hh:mm" : "hh:mm:ss", v);
      break;
    case 3:
      main = platform::FormatDateTime("hh:mm:ss", v);
      break;
    default:
      break;
  }
}

std::string AxisDurationUnitCaption(uint8_t unit) {
  switch (unit) {
    case 0:
      return Res(SAxisSeconds);
    case 1:
      return Res(SAxisMinutes);
    case 2:
      return Res(SAxisHours);
    case 3:
      return Res(SAxisDays);
    default:
      return {};
  }
}

// ---------------------------------------------------------------------------
// Minor and major ticks

void TAxisPainter::DrawMinorTicks() {
  const int32_t parts = axis_.MinorTicks + 1;
  if (parts < 2) return;
  const double step = axis_.TickStep() / parts;
  if (!TickStepFits(axis_.TickStep()) || !TickStepFits(step)) return;
  own_.SetPen(
      {axis_.EffectiveColor(), axis_.EffectiveLineWidth() / 2 + 1, platform::PenStyle::kSolid});
  const double origin = TickOrigin();
  const double minimum = axis_.GetMinimum();
  const double span = axis_.Span();
  for (int32_t i = -parts; i < 1000 && i * step - origin < span; ++i) {
    const double v = minimum + i * step - origin;
    const int32_t x = axis_.ValueToPixelX(v);
    const int32_t y = axis_.ValueToPixelY(v);
    if (Inside(x, y)) DrawTickMark(x, y, axis_.MinorTickLength);
  }
}

void TAxisPainter::DrawMajorTicks() {
  own_.SetPen({axis_.EffectiveColor(), axis_.EffectiveLineWidth(), platform::PenStyle::kSolid});
  own_.SetBrushStyle(platform::BrushStyle::kClear);
  UseLabelFont(own_);
  int32_t last_y = p0_.y;
  const double step = axis_.TickStep();
  if (TickStepFits(step)) {
    const double origin = TickOrigin();
    const double minimum = axis_.GetMinimum();
    const double span = axis_.Span();
    previous_top_ = kNoTopYet;
    previous_right_[0] = previous_right_[1] = kNoRightYet;
    std::string main;
    std::string second;
    for (int32_t i = 0; i <= 999 && i * step - origin <= 1.01 * span; ++i) {
      const double v = minimum + i * step - origin;
      const int32_t x = axis_.ValueToPixelX(v);
      const int32_t y = axis_.ValueToPixelY(v);
      last_y = y;
      if (!Inside(x, y)) continue;
      DrawTickMark(x, y, axis_.TickLength);
      DrawGridLine(x, y);
      AxisTickLabels(axis_, v, main, second);
      PlaceLabels(x, y, main, second);
    }
  }
  if (axis_.Kind() == akDuration) DrawUnitCaption(last_y);
}

void TAxisPainter::PlaceLabels(int32_t x, int32_t y, const std::string& main,
                               const std::string& second) {
  const int64_t h = own_.TextHeight("Test");
  const int64_t t = axis_.TickLength;
  const int64_t d = axis_.LineWidth();
  const platform::Size main_extent = own_.TextExtent(main);
  const platform::Size second_extent = second.empty() ? platform::Size{} : own_.TextExtent(second);
  uint8_t position = axis_.TickPosition;
  // Labels beside the axis belong to a vertical axis; a horizontal one centres
  // them on its ticks as its tick marks are.
  if (horizontal_ && position <= 1) position = 2;

  if (position <= 1) {
    const int64_t left =
        position == 0 ? int64_t{x} - main_extent.cx - second_extent.cx - t - d : int64_t{x} + t + d;
    const int64_t top = int64_t{y} - h / 2;
    if (int64_t{y} + h / 2 < previous_top_ + 3) {
      own_.TextOut(MovePixel(left, 0), MovePixel(top, 0), main + second);
      previous_top_ = top;
    }
    return;
  }

  int64_t main_top;
  int64_t second_top;
  switch (position) {
    case 2:
      main_top = second.empty() ? int64_t{y} - h / 2 : int64_t{y} - h - 2;
      second_top = int64_t{y} + 2;
      break;
    case 3:
      main_top = int64_t{y} - t / 2 - 2 * int64_t{main_extent.cy} - second_extent.cy;
      second_top = int64_t{y} - t / 2 - main_extent.cy;
      break;
    case 4:
      main_top = int64_t{y} + t;
      second_top = int64_t{y} + t + main_extent.cy;
      break;
    default:
      return;
  }
  const auto line = [&](int index, const std::string& text, int64_t width, int64_t top) {
    const int64_t left = int64_t{x} - width / 2;
    if (left <= previous_right_[index] + 3) return;
    own_.TextOut(MovePixel(left, 0), MovePixel(top, 0), text);
    previous_right_[index] = int64_t{x} + width / 2;
  };
  line(0, main, main_extent.cx, main_top);
  if (!second.empty()) line(1, second, second_extent.cx, second_top);
}

void TAxisPainter::DrawUnitCaption(int32_t last_y) {
  if (axis_.TickPosition != 4) return;
  const std::string caption = AxisDurationUnitCaption(axis_.DurationUnit());
  if (caption.empty()) return;
  const int64_t right = int64_t{axis_.CenterX()} + pixel_length_ / 2;
  const int64_t top = int64_t{last_y} + axis_.TickLength + own_.TextHeight("T");
  own_.TextOut(MovePixel(right, -int64_t{own_.TextWidth(caption)}), MovePixel(top, 0), caption);
}

// ---------------------------------------------------------------------------
// Logarithmic ticks

void TAxisPainter::DrawLogarithmicTicks() {
  own_.SetBrushStyle(platform::BrushStyle::kClear);
  UseLabelFont(own_);
  const double minimum = axis_.GetMinimum();
  const double maximum = minimum + axis_.Span();
  // The caller has made sure that Minimum is above 0: both logarithms are finite.
  const int32_t a = static_cast<int32_t>(std::trunc(std::log10(minimum)));
  const int32_t b = static_cast<int32_t>(std::trunc(std::log10(maximum))) + 1;
  // Labelled decades about 50 pixels apart at least.
  const int32_t k =
      std::max(RoundClamped(50.0 * (b - a) / std::max(pixel_length_, 1) + 1), int32_t{1});
  const int64_t t = axis_.TickLength;
  const int64_t d = axis_.LineWidth();
  WideRect last;

  const auto label = [&](int32_t x, int32_t y, double value, int64_t next) {
    const std::string text = platform::FloatToStrGeneral(value, 7);
    const platform::Size extent = own_.TextExtent(text);
    const int64_t w = extent.cx;
    const int64_t h = extent.cy;
    WideRect rect;
    int64_t text_x;
    int64_t text_y;
    switch (axis_.TickPosition) {
      case 0:
        text_x = x - w - t - d;
        text_y = y - h / 2;
        rect = {text_x, text_y, x - 6 * t / 5, y + h / 2};
        break;
      case 1:
        text_x = x + t;
        text_y = y - h / 2;
        rect = {x + t + d, text_y, x + t + d + w, y + h / 2};
        break;
      case 2:
        text_x = x - w / 2;
        text_y = y - h / 2;
        rect = {text_x, text_y, text_x + w, text_y + h};
        break;
      case 3:
        text_x = x - w / 2;
        text_y = y - t / 2 - h;
        rect = {text_x, text_y, text_x + w, y - t / 2};
        break;
      case 4:
        text_x = x - w / 2;
        text_y = y + t / 2;
        rect = {text_x, text_y, text_x + w, text_y + h};
        break;
      default:
        return;
    }
    // The same label at the next labelled decade's tick must still fit.
    WideRect moved = rect;
    if (horizontal_) {
      moved.left += next - x;
      moved.right += next - x;
    } else {
      moved.top += next - y;
      moved.bottom += next - y;
    }
    if (rect.Overlaps(last) || rect.Overlaps(moved)) return;
    own_.TextOut(MovePixel(text_x, 0), MovePixel(text_y, 0), text);
    last = rect;
  };

  for (int32_t decade = a; decade <= b; ++decade) {
    if (decade % k != 0) continue;
    const double value = std::pow(10.0, decade);
    int64_t next = horizontal_ ? kBeyondLastDecade : -kBeyondLastDecade;
    if (int64_t{decade} + k < b) {
      const double next_value = std::pow(10.0, decade + k);
      next = horizontal_ ? axis_.ValueToPixelX(next_value) : axis_.ValueToPixelY(next_value);
    }
    if (minimum <= value && value <= maximum) {
      own_.SetPen({axis_.EffectiveColor(), axis_.EffectiveLineWidth(), platform::PenStyle::kSolid});
      const int32_t x = axis_.ValueToPixelX(value);
      const int32_t y = axis_.ValueToPixelY(value);
      DrawTickMark(x, y, axis_.TickLength);
      DrawGridLine(x, y);
      label(x, y, value, next);
    }
    if (k != 1) continue;
    for (int i = 2; i <= 9; ++i) {
      const double minor = i * value;
      if (minor < minimum || minor > maximum) continue;
      own_.SetPen(
          {axis_.EffectiveColor(), axis_.EffectiveLineWidth() / 2 + 1, platform::PenStyle::kSolid});
      const int32_t x = axis_.ValueToPixelX(minor);
      const int32_t y = axis_.ValueToPixelY(minor);
      DrawTickMark(x, y, axis_.MinorTickLength);
      label(x, y, minor, next);
    }
  }
}
