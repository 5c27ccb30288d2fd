// The time axis' own line: segments from day to day with their dates over short
// spans, calendar ticks (half months up to years) over spans of more than 31 days.
#include <algorithm>
#include <cmath>

#include "datafile/QORFunc.h"
#include "datamodel/AxisDrawing.h"
#include "platform/date_time_format.h"

namespace {

constexpr int32_t kLastYear = 9999;
constexpr int32_t kMostYears = 10000;
constexpr int32_t kMostTicks = 10000;
constexpr int64_t kNoLabelYet = -2147483647;
constexpr double kDaysPerYear = 365.25;

// A date whose month may run past December.
struct LooseDate {
  int64_t year;
  int64_t month;
  int64_t day;
};

bool Encode(LooseDate date, platform::DateTime& result) {
  date.year += (date.month - 1) / 12;
  date.month = (date.month - 1) % 12 + 1;
  if (date.year > kLastYear) return false;
  return platform::TryEncodeDate(static_cast<int>(date.year), static_cast<int>(date.month),
                                 static_cast<int>(date.day), result);
}

// The first quarter month (January, April, July, October) after Month.
int64_t NextQuarterMonth(int64_t month) {
  return ((month - 1) / 3 + 1) * 3 + 1;
}

LooseDate NextAfter(const TCalendarInterval& interval, const platform::DateParts& date) {
  switch (interval.step) {
    case TCalendarStep::kHalfMonth:
      if (date.day < 15) return {date.year, date.month, 15};
      return {date.year, date.month + 1, 1};
    case TCalendarStep::kMonth:
      return {date.year, date.month + 1, 1};
    case TCalendarStep::kTwoMonths:
      return {date.year, date.month + 2, 1};
    case TCalendarStep::kQuarter:
      return {date.year, NextQuarterMonth(date.month), 1};
    case TCalendarStep::kHalfYear: {
      int64_t month = NextQuarterMonth(date.month);
      if ((month - 1) % 12 + 1 != 1 && (month - 1) % 12 + 1 != 7) month = NextQuarterMonth(month);
      return {date.year, month, 1};
    }
    case TCalendarStep::kYears:
      return {int64_t{date.year} + interval.years, 1, 1};
  }
  return {date.year, date.month + 1, 1};
}

}  // namespace

// ---------------------------------------------------------------------------
// Calendar intervals

TCalendarInterval CalendarIntervalFor(double tick_step, double span, int32_t pixel_length) {
  TCalendarInterval interval;
  if (!(tick_step >= 31)) {
    interval.step = TCalendarStep::kHalfMonth;
  } else if (tick_step < 62) {
    interval.step = TCalendarStep::kMonth;
  } else if (tick_step < 121.667) {
    interval.step = TCalendarStep::kTwoMonths;
  } else if (tick_step < 182.5) {
    interval.step = TCalendarStep::kQuarter;
  } else if (tick_step < 365) {
    interval.step = TCalendarStep::kHalfYear;
  } else {
    interval.step = TCalendarStep::kYears;
    const double years = std::nearbyint(tick_step / 365);
    interval.years = years < kMostYears ? std::max(static_cast<int32_t>(years), 1) : kMostYears;
  }
  // At most one tick per pixel, and no more ticks than the day line has pieces: a
  // step finer than that becomes coarser.
  const double pixels = std::clamp<double>(pixel_length, 1, kMostTicks);
  static constexpr double kLength[] = {kDaysPerYear / 24, kDaysPerYear / 12, kDaysPerYear / 6,
                                       kDaysPerYear / 4, kDaysPerYear / 2};
  while (interval.step != TCalendarStep::kYears &&
         span / kLength[static_cast<int>(interval.step)] > pixels) {
    interval.step = static_cast<TCalendarStep>(static_cast<int>(interval.step) + 1);
    interval.years = 1;
  }
  if (interval.step == TCalendarStep::kYears) {
    const double needed = std::ceil(span / (kDaysPerYear * pixels));
    if (needed > interval.years)
      interval.years = needed < kMostYears ? static_cast<int32_t>(needed) : kMostYears;
  }
  return interval;
}

bool FirstCalendarTick(const TCalendarInterval& interval, platform::DateTime minimum,
                       platform::DateTime& tick) {
  LooseDate next = NextAfter(interval, platform::DecodeDate(minimum));
  if (interval.step == TCalendarStep::kYears) {
    // Years whose last two digits are a multiple of the count: 2000, 2005, 2010 ...
    while ((next.year % 100) % interval.years != 0)
      --next.year;
  }
  return Encode(next, tick);
}

bool NextCalendarTick(const TCalendarInterval& interval, platform::DateTime tick,
                      platform::DateTime& next) {
  return Encode(NextAfter(interval, platform::DecodeDate(tick)), next);
}

// ---------------------------------------------------------------------------
// Drawing

void TAxisPainter::DrawCalendarTicks() {
  own_.SetBrushStyle(platform::BrushStyle::kClear);
  UseLabelFont(own_);
  const platform::Pen tick_pen{axis_.EffectiveColor(), axis_.EffectiveLineWidth(),
                               platform::PenStyle::kSolid};
  const double minimum = axis_.GetMinimum();
  const double end = minimum + axis_.Span();
  const int32_t y0 = p0_.y;
  const int64_t label_top = int64_t{y0} + axis_.TickLength + own_.TextHeight("Test");
  int32_t previous_x = axis_.ValueToPixelX(minimum);
  int64_t previous_right = kNoLabelYet;

  // Dates exist from the year 1 to the year 9999: a range reaching beyond them has
  // ticks only inside them.
  const TCalendarInterval interval =
      CalendarIntervalFor(axis_.TickStep(), axis_.Span(), pixel_length_);
  platform::DateTime tick = 0;
  const double start = std::max(minimum, platform::kMinDateTime);
  bool more = start <= platform::kMaxDateTime && FirstCalendarTick(interval, start, tick);
  while (more && end > tick) {
    const int32_t x = axis_.ValueToPixelX(tick);
    own_.SetPen(tick_pen);
    own_.MoveTo(previous_x, y0);
    own_.LineTo(x, y0);
    DrawTickMark(x, y0, axis_.TickLength);
    DrawGridLine(x, y0);
    if (axis_.DateLabels != 0) {
      const std::string text = platform::DateToStr(tick);
      const int64_t w = own_.TextWidth(text);
      const int64_t left = int64_t{x} - w / 2;
      if (left - w / 2 > previous_right) {
        own_.TextOut(MovePixel(left, 0), MovePixel(label_top, 0), text);
        previous_right = x;
      }
    }
    previous_x = x;
    more = NextCalendarTick(interval, tick, tick);
  }
  own_.SetPen(tick_pen);
  own_.MoveTo(previous_x, y0);
  own_.LineTo(axis_.ValueToPixelX(end), y0);
}

void TAxisPainter::DrawDayLine() {
  own_.SetBrushStyle(platform::BrushStyle::kClear);
  UseLabelFont(own_);
  const double minimum = axis_.GetMinimum();
  const double span = axis_.Span();
  const double fraction = minimum - std::trunc(minimum);
  const bool dated = axis_.DateLabels != 0 && axis_.Kind() != akDuration;
  const bool alternate = axis_.AlternateDayColors && span <= 14;
  const int64_t day_width =
      int64_t{axis_.ValueToPixelX(minimum + 1)} - axis_.ValueToPixelX(minimum);
  const int64_t date_width = own_.TextWidth(platform::DateToStr(minimum));
  // Days narrower than their dates are labelled at their starts, wider ones in
  // their middles.
  const bool narrow = day_width < date_width;
  const int64_t label_gap = int64_t{axis_.TickLength} + own_.TextHeight("Test");
  int64_t right = narrow ? int64_t{p0_.x} - date_width : kNoLabelYet;
  bool drawn = false;

  platform::Point previous = p0_;
  double f = 0;
  for (int32_t i = 1; f < 1 && i < 10000; ++i) {
    f = std::min((minimum < 0 ? i - fraction - 1 : i - fraction) / span, 1.0);
    const platform::Point q{RoundClamped(p0_.x + f * (static_cast<long double>(p1_.x) - p0_.x)),
                            RoundClamped(p0_.y + f * (static_cast<long double>(p1_.y) - p0_.y))};
    own_.SetPenColor(alternate && i % 2 == 0 ? platform::kClRed : platform::kClBlack);
    own_.MoveTo(previous.x, previous.y);
    own_.LineTo(q.x, q.y);
    if (dated) {
      const std::string text = platform::DateToStr(narrow ? minimum + i : minimum + i - 1);
      const int64_t w = own_.TextWidth(text);
      const int64_t centre = narrow ? q.x : (int64_t{previous.x} + q.x) / 2;
      const int64_t left = centre - w / 2;
      const int64_t top = int64_t{q.y} + label_gap;
      if (right < left - w / 8) {
        own_.TextOut(MovePixel(left, 0), MovePixel(top, 0), text);
        right = left + w;
        drawn = true;
      } else if (!drawn && f >= 1) {
        // Not one date fitted: the last one goes in the middle of the axis.
        const int64_t middle = (int64_t{p0_.x} + p1_.x) / 2;
        own_.TextOut(MovePixel(middle, -(w / 2)), MovePixel(top, 0), text);
        right = middle + w / 2;
        drawn = true;
      }
    }
    previous = q;
  }
}
