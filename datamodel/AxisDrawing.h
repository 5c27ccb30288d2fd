// How an axis draws itself: the pieces of TAxis::DrawAxis and the texts it shows.
// Only the axis' own drawing and its tests include this header.
//
// Ticks and their labels go to the axis' own canvas, the straight axis line, the
// series' legend boxes, the title, the units legend and the span box to the canvas
// DrawAxis is given. Every loop is bounded twice over: by the counts of the drawing
// rules, and by at most one tick per pixel of the axis, whatever range, tick step
// or length a file gives the axis.
#pragma once

#include <cstdint>
#include <string>

#include "datamodel/Axis.h"
#include "platform/canvas.h"
#include "platform/date_time.h"
#include "platform/resources.h"

// Texts of the axis (resource strings, replaced as a whole by a language module).
inline constexpr platform::ResourceString SAxisDay{"Axis.SAxisDay", "day"};
inline constexpr platform::ResourceString SAxisMinSec{"Axis.SAxisMinSec", "%.2d:%.2d"};
inline constexpr platform::ResourceString SAxisHourMinSec{"Axis.SAxisHourMinSec", "%.2d:%.2d:%.2d"};
inline constexpr platform::ResourceString SAxisHourMin{"Axis.SAxisHourMin", "%.2d:%.2d"};
inline constexpr platform::ResourceString SAxisDaysHourMinSec{"Axis.SAxisDaysHourMinSec",
                                                              "%d days %.2d:%.2d:%.2d"};
inline constexpr platform::ResourceString SAxisDaysHourMin{"Axis.SAxisDaysHourMin",
                                                           "%d days %.2d:%.2d"};
inline constexpr platform::ResourceString SAxisDaysHours{"Axis.SAxisDaysHours",
                                                         "%d days %.2d hours"};
inline constexpr platform::ResourceString SAxisSeconds{"Axis.SAxisSeconds", "Seconds"};
inline constexpr platform::ResourceString SAxisMinutes{"Axis.SAxisMinutes", "Minutes"};
inline constexpr platform::ResourceString SAxisHours{"Axis.SAxisHours", "Hours"};
inline constexpr platform::ResourceString SAxisDays{"Axis.SAxisDays", "days"};
inline constexpr platform::ResourceString SSpanDay{"Axis.SSpanDay", "%d day"};
inline constexpr platform::ResourceString SSpanDays{"Axis.SSpanDays", "%d days"};
inline constexpr platform::ResourceString SSpanHours{"Axis.SSpanHours", "%d hours"};
inline constexpr platform::ResourceString SSpanMinutes{"Axis.SSpanMinutes", "%d minutes"};
inline constexpr platform::ResourceString SSpanSeconds{"Axis.SSpanSeconds", "%d seconds"};

// --- Texts -------------------------------------------------------------------

// The label of a tick at V on a duration axis in Unit (0 seconds, 1 minutes,
// 2 hours, 3 days; others have none).
std::string AxisDurationLabel(uint8_t unit, double v);
// The labels of a major tick at V: the main text, and the second line (dates under
// the ticks) or none.
void AxisTickLabels(const TAxis& axis, double v, std::string& main, std::string& second);
// The caption of a duration axis' unit, or none.
std::string AxisDurationUnitCaption(uint8_t unit);
// The title: the series' titles along the axis, then the units.
std::string AxisTitleText(const TAxis& axis);
// The units of the plain series along the axis that are not shown as percent.
std::string AxisUnitsText(const TAxis& axis);
// The span box's text for Span days, or none when the span is no pure amount of
// days, hours, minutes or seconds; ">" follows unless Options has 0x10.
std::string AxisSpanText(double span, uint8_t options);

// --- Calendar ticks ----------------------------------------------------------

enum class TCalendarStep : uint8_t { kHalfMonth, kMonth, kTwoMonths, kQuarter, kHalfYear, kYears };

struct TCalendarInterval {
  TCalendarStep step = TCalendarStep::kHalfMonth;
  int32_t years = 1;  // kYears: the number of years between ticks
};

// The interval of calendar ticks for a tick step (days), made coarser where it
// would put more than one tick on a pixel of an axis PixelLength long over Span, or
// more than 10000 ticks on the axis.
TCalendarInterval CalendarIntervalFor(double tick_step, double span, int32_t pixel_length);
// The first tick after Minimum (a valid date-time): the next tick after its date,
// for years moved back to a year whose last two digits are a multiple of the
// count. False when it would lie beyond the year 9999.
bool FirstCalendarTick(const TCalendarInterval& interval, platform::DateTime minimum,
                       platform::DateTime& tick);
// The tick after Tick (a valid date); false beyond the year 9999.
bool NextCalendarTick(const TCalendarInterval& interval, platform::DateTime tick,
                      platform::DateTime& next);

// --- Drawing -----------------------------------------------------------------

// One run of DrawAxis: the tools, the two canvases and what the loops remember.
class TAxisPainter {
 public:
  // Own is the axis' own canvas, Target the one DrawAxis was given.
  TAxisPainter(const TAxis& axis, platform::Canvas& target, platform::Canvas& own,
               platform::Color color);
  void Draw();

 private:
  bool Horizontal() const { return horizontal_; }
  // Whether a tick at (X, Y) lies on the axis, its ends included.
  bool Inside(int32_t x, int32_t y) const;
  // Whether ticks Step apart fit the axis at most one to a pixel.
  bool TickStepFits(double step) const;
  // Where the ticks start: at the time of day on a time axis, else at a whole
  // number of steps.
  double TickOrigin() const;
  void UseLabelFont(platform::Canvas& canvas) const;

  void DrawStraightLine();
  void DrawLegendBoxes();
  void DrawTickMark(int32_t x, int32_t y, int32_t length);
  void DrawGridLine(int32_t x, int32_t y);

  // AxisDrawingTicks.cpp
  void DrawMinorTicks();
  void DrawMajorTicks();
  void PlaceLabels(int32_t x, int32_t y, const std::string& main, const std::string& second);
  void DrawUnitCaption(int32_t last_y);
  void DrawLogarithmicTicks();

  // AxisDrawingCalendar.cpp
  void DrawDayLine();
  void DrawCalendarTicks();

  void DrawTitle();
  void DrawUnitsLegend();
  void DrawSpanBox();

  const TAxis& axis_;
  platform::Canvas& target_;
  platform::Canvas& own_;
  platform::Color color_;
  bool horizontal_;
  int32_t pixel_length_;
  platform::Point p0_;
  platform::Point p1_;

  // What the labels of the major ticks have taken: on a vertical axis with labels
  // beside it the top of the last one, else the right edge of the last main text
  // and of the last second line.
  int64_t previous_top_ = 0;
  int64_t previous_right_[2] = {0, 0};
};
