// How an axis draws itself, on the recording canvas. Its font is Arial 10 at 96
// pixels per inch: 13 pixels high, each character 6 wide, so a tick is 7 long and a
// minor tick 4 (with the pen of 1).
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "datamodel/AxisDrawing.h"
#include "datamodel/DataModel.h"
#include "datamodel/Series_CSpecial.h"
#include "platform/date_time.h"
#include "platform/date_time_format.h"
#include "platform/recording_canvas.h"

namespace {

using platform::CanvasCall;
using platform::CanvasOp;
using platform::Point;
using platform::Rect;
using Segment = std::pair<Point, Point>;

constexpr double kMinute = 1.0 / 1440;

class AxisDrawingTest : public ::testing::Test {
 protected:
  AxisDrawingTest() : pinned_(platform::LocaleSettings{}) { RegisterDataModel(); }

  static std::vector<Segment> Lines(const platform::RecordingCanvas& canvas,
                                    platform::Pen* pen_of_first = nullptr) {
    std::vector<Segment> lines;
    for (const CanvasCall& call : platform::CallsOf(canvas.calls(), CanvasOp::kLineTo)) {
      if (pen_of_first && lines.empty()) *pen_of_first = call.pen;
      lines.emplace_back(call.points[0], call.points[1]);
    }
    return lines;
  }
  static std::vector<std::pair<Point, std::string>> Texts(const platform::RecordingCanvas& canvas) {
    std::vector<std::pair<Point, std::string>> texts;
    for (const CanvasCall& call : platform::CallsOf(canvas.calls(), CanvasOp::kTextOut))
      texts.emplace_back(call.points[0], call.text);
    return texts;
  }
  static size_t Count(const std::vector<Segment>& lines, const Segment& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }

  platform::ScopedLocaleSettings pinned_;
  platform::RecordingCanvas own_;
  platform::RecordingCanvas target_;
};

TEST_F(AxisDrawingTest, NothingWithoutACanvasOrWhenHidden) {
  TAxis loaded(nullptr, {0, 100}, {100, 100});
  loaded.DrawAxis(target_, 0, {0, 0});
  loaded.Paint();
  EXPECT_TRUE(target_.calls().empty());

  TAxis hidden(&own_, {0, 100}, {100, 100});
  own_.Clear();
  hidden.Visible = false;
  hidden.Paint();
  EXPECT_TRUE(own_.calls().empty());
}

TEST_F(AxisDrawingTest, ValueAxisTicksAndLabels) {
  TAxis axis(&own_, {0, 100}, {100, 100});
  axis.SetKind(akValue);
  axis.TimeFormat = 0;
  own_.Clear();
  axis.DrawAxis(target_, 0x0000FF, {5, 5});
  // The straight line on the canvas given, in the colour given; Offset is not
  // applied.
  platform::Pen pen;
  EXPECT_EQ(Lines(target_, &pen), (std::vector<Segment>{{{0, 100}, {100, 100}}}));
  EXPECT_EQ(pen.color, 0x0000FFu);
  // Minor ticks at -4, -2, 0 ... 8 (those on the axis: 0 to 80 pixels), then the
  // major ticks at 0, 4 and 8, below the axis.
  const std::vector<Segment> expected = {{{0, 100}, {0, 104}},   {{20, 100}, {20, 104}},
                                         {{40, 100}, {40, 104}}, {{60, 100}, {60, 104}},
                                         {{80, 100}, {80, 104}}, {{0, 100}, {0, 107}},
                                         {{40, 100}, {40, 107}}, {{80, 100}, {80, 107}}};
  EXPECT_EQ(Lines(own_), expected);
  EXPECT_EQ(Texts(own_), (std::vector<std::pair<Point, std::string>>{
                             {{-3, 107}, "0"}, {{37, 107}, "4"}, {{77, 107}, "8"}}));
  EXPECT_TRUE(Texts(target_).empty());
}

TEST_F(AxisDrawingTest, MinorTicksFromTheStartOfAnAxisBelowZero) {
  struct Case {
    double minimum;
    uint8_t minor_ticks;
    std::vector<int32_t> minor_x;  // where the minor ticks fall, in pixels
    std::vector<int32_t> major_x;
  };
  const Case cases[] = {
      // The major ticks at 0 and 4 (30 and 70 pixels), the minor ones every 1 from -3.
      {-3, 3, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90}, {30, 70}},
      // The first minor tick, at -4, lies 0.4 pixels before the axis' start: drawn
      // there.
      {-3.96, 1, {0, 20, 40, 60, 80, 100}, {40, 80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minimum);
    TAxis axis(&own_, {0, 100}, {100, 100});
    axis.SetKind(akValue);
    axis.TimeFormat = 0;
    axis.SetMinimum(c.minimum);
    axis.SetSpan(10);
    axis.SetTickStep(4);
    axis.MinorTicks = c.minor_ticks;
    own_.Clear();
    axis.DrawAxis(target_, 0, {0, 0});
    std::vector<Segment> expected;
    for (int32_t x : c.minor_x)
      expected.push_back({{x, 100}, {x, 104}});
    for (int32_t x : c.major_x)
      expected.push_back({{x, 100}, {x, 107}});
    EXPECT_EQ(Lines(own_), expected);
  }
}

TEST_F(AxisDrawingTest, VerticalLabelsDoNotOverlap) {
  TAxis axis(&own_, {50, 100}, {50, 0});
  axis.SetKind(akValue);
  axis.ShowTitle = false;
  axis.SetTickStep(0.5);
  axis.MinorTicks = 0;
  own_.Clear();
  axis.Paint();
  // Ticks every 5 pixels; a label 13 high fits every other one.
  const std::vector<std::string> texts = platform::DrawnTexts(own_.calls());
  EXPECT_EQ(texts,
            (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
  // Left of the tick by the label's width and the tick's length, centred on it.
  EXPECT_EQ(Texts(own_)[1].first, (Point{50 - 6 - 7, 90 - 6}));
  // The line (drawn on its own canvas by Paint) and 21 ticks.
  EXPECT_EQ(platform::CallsOf(own_.calls(), CanvasOp::kLineTo).size(), 1 + 21u);
}

TEST_F(AxisDrawingTest, TicksThatCannotBeDrawn) {
  struct Case {
    double tick_step;
    uint8_t minor_ticks;
    size_t ticks;
  };
  const Case cases[] = {
      {0, 1, 0},                                         // no step at all
      {-4, 1, 0},                                        // a step backwards
      {1e-9, 1, 0},                                      // finer than a pixel
      {std::numeric_limits<double>::quiet_NaN(), 1, 0},  // no number
      {0.1, 0, 101},                                     // one per pixel: all drawn
      {0.1, 1, 101},                                     // minor ticks would be finer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tick_step);
    TAxis axis(&own_, {0, 100}, {100, 100});
    axis.SetKind(akValue);
    axis.SetTickStep(c.tick_step);
    axis.MinorTicks = c.minor_ticks;
    own_.Clear();
    axis.Paint();
    // The line itself, then the ticks.
    EXPECT_EQ(platform::CallsOf(own_.calls(), CanvasOp::kLineTo).size(), 1 + c.ticks);
  }
}

TEST_F(AxisDrawingTest, DurationLabels) {
  struct Case {
    uint8_t unit;
    double value;
    std::string label;
  };
  const Case cases[] = {
      {0, 90 / 86400.0, "90"},
      {1, 1.5 * kMinute, "01:30"},
      {1, 2 * kMinute, "2"},
      {1, 125.5 * kMinute, "125:30"},
      {1, -1.5 * kMinute, "-01:30"},
      {2, 1.5 / 24, "01:30"},
      {2, (3 * 3600 + 5 * 60 + 7) / 86400.0, "03:05:07"},
      {2, 5.0 / 24, "5"},
      {3, 2 + 3.0 / 24, "2 days 03 hours"},
      {3, 2 + 3.0 / 24 + 4 * kMinute, "2 days 03:04"},
      {3, 1 + 1 / 86400.0, "1 days 00:00:01"},
      {3, 3, "3"},
      {3, 1e30, "1000000000000000019884624838656"},
      {9, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.value > 1e20) {
      // Beyond what milliseconds can count the whole days still show.
      EXPECT_FALSE(AxisDurationLabel(c.unit, c.value).empty());
      continue;
    }
    EXPECT_EQ(AxisDurationLabel(c.unit, c.value), c.label);
  }
}

TEST_F(AxisDrawingTest, ADurationAxisInMinutes) {
  TAxis axis(&own_, {0, 100}, {100, 100});
  axis.SetKind(akDuration);
  axis.SetDurationUnit(1);
  axis.SetSpan(3 * kMinute);
  axis.SetTickStep(1.5 * kMinute);
  axis.MinorTicks = 0;
  axis.Options = 0;
  own_.Clear();
  axis.DrawAxis(target_, 0, {0, 0});
  // One day line in black, the ticks at 0, 1.5 and 3 minutes with their labels,
  // and the unit's caption right-aligned at the axis' end below the last tick.
  EXPECT_EQ(Lines(own_)[0], (Segment{{0, 100}, {100, 100}}));
  EXPECT_EQ(platform::DrawnTexts(own_.calls()),
            (std::vector<std::string>{"0", "01:30", "3", "Minutes"}));
  EXPECT_EQ(Texts(own_).back().first, (Point{100 - 7 * 6, 100 + 7 + 13}));
  // The span box: "3 minutes>" in 7-point type (9 high, 4 wide a character).
  const auto boxes = platform::CallsOf(target_.calls(), CanvasOp::kRoundRect);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rect, (Rect{100 - 40 - 10, 100 - 2 - 1, 100, 100 + 6 + 1}));
  EXPECT_EQ(boxes[0].values, (std::vector<int32_t>{10, 10}));
  EXPECT_EQ(boxes[0].pen.width, 1);
  const auto texts = platform::CallsOf(target_.calls(), CanvasOp::kDrawText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "3 minutes>");
  EXPECT_EQ(texts[0].rect, (Rect{55, 97, 95, 107}));
}

TEST_F(AxisDrawingTest, SpanBoxTexts) {
  struct Case {
    double span;
    uint8_t options;
    std::string text;
  };
  const Case cases[] = {
      {2, 0, "2 days>"},
      {2, 0x10, "2 days"},
      {1, 0, "1 day>"},
      {2 + 1 / 86400000.0, 0x10, "2 days"},  // the millisecond is dropped
      {3.0 / 24, 0x10, "3 hours"},
      {45 * kMinute, 0x10, "45 minutes"},
      {30 / 86400.0, 0x10, "30 seconds"},
      {1.5, 0x10, ""},  // mixed: no box
      {90 / 86400.0, 0x10, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.span);
    EXPECT_EQ(AxisSpanText(c.span, c.options), c.text);
  }
  // Only horizontal time and duration axes without option 0x20 have one.
  for (const auto& [kind, options, boxes] : {std::tuple{akTime, 0x00, 1u},
                                             {akTime, 0x20, 0u},
                                             {akDuration, 0x10, 1u},
                                             {akValue, 0x00, 0u}}) {
    TAxis axis(&own_, {0, 100}, {100, 100});
    axis.SetKind(kind);
    axis.SetSpan(2);
    axis.Options = static_cast<uint8_t>(options);
    target_.Clear();
    axis.DrawAxis(target_, 0, {0, 0});
    EXPECT_EQ(platform::CallsOf(target_.calls(), CanvasOp::kRoundRect).size(), boxes);
  }
}

TEST_F(AxisDrawingTest, ALogarithmicAxisWithItsLabels) {
  TAxis axis(&own_, {50, 200}, {50, 0});
  axis.Logarithmic = true;
  axis.SetKind(akValue);
  axis.SetMinimum(1);
  axis.SetSpan(999);
  axis.ShowTitle = false;
  own_.Clear();
  axis.Paint();
  // Decades 0 to 4 over 200 pixels: every second one is labelled (1 and 100), with
  // no ticks between them.
  EXPECT_EQ(Lines(own_), (std::vector<Segment>{
                             {{50, 200}, {50, 0}}, {{43, 200}, {50, 200}}, {{43, 67}, {50, 67}}}));
  EXPECT_EQ(Texts(own_),
            (std::vector<std::pair<Point, std::string>>{{{37, 194}, "1"}, {{25, 61}, "100"}}));

  // Over 600 pixels every decade, with the ticks from 2 to 9 between them; labels
  // that would run into the next decade's are left out.
  TAxis tall(&own_, {50, 600}, {50, 0});
  tall.Logarithmic = true;
  tall.SetKind(akValue);
  tall.SetMinimum(1);
  tall.SetSpan(999);
  tall.ShowTitle = false;
  own_.Clear();
  tall.Paint();
  EXPECT_EQ(platform::CallsOf(own_.calls(), CanvasOp::kLineTo).size(), 1 + 4u + 3 * 8u);
  const std::vector<std::string> labels = platform::DrawnTexts(own_.calls());
  for (const char* decade : {"1", "10", "100", "1000"})
    EXPECT_NE(std::find(labels.begin(), labels.end(), decade), labels.end()) << decade;
  EXPECT_EQ(std::find(labels.begin(), labels.end(), "9"), labels.end());
}

TEST_F(AxisDrawingTest, LogarithmicAxesThatCannotHaveTicks) {
  // Minimum 0 stays 0 when the axis becomes logarithmic later (as a file can do
  // it): there is no logarithm to place ticks by.
  TAxis zero(&own_, {0, 100}, {300, 100});
  zero.SetKind(akValue);
  zero.SetMinimum(0);
  zero.Logarithmic = true;
  own_.Clear();
  zero.Paint();
  EXPECT_EQ(platform::CallsOf(own_.calls(), CanvasOp::kLineTo).size(), 1u);  // the line

  // An axis without length over the widest range: the label stride has nothing to
  // divide by and the decades go from -100 to 101.
  TAxis point(&own_, {5, 5}, {5, 5});
  point.Logarithmic = true;
  point.SetKind(akValue);
  point.SetMinimum(1e-100);
  point.SetSpan(1e100);
  own_.Clear();
  point.Paint();
  EXPECT_LE(platform::DrawnTexts(own_.calls()).size(), 3u);
}

TEST_F(AxisDrawingTest, CalendarTicksOnTheFirstAndFifteenth) {
  TAxis axis(&own_, {0, 100}, {400, 100});
  const double minimum = platform::EncodeDate(2024, 1, 10);
  axis.SetMinimum(minimum);
  axis.SetSpan(40);
  axis.SetTickStep(7);
  own_.Clear();
  axis.Paint();
  // January 15 (x 50), February 1 (220) and 15 (360), the line between them.
  const std::vector<Segment> expected = {{{0, 100}, {50, 100}},    {{50, 100}, {50, 107}},
                                         {{50, 100}, {220, 100}},  {{220, 100}, {220, 107}},
                                         {{220, 100}, {360, 100}}, {{360, 100}, {360, 107}},
                                         {{360, 100}, {400, 100}}};
  EXPECT_EQ(Lines(own_), expected);
  EXPECT_EQ(Texts(own_), (std::vector<std::pair<Point, std::string>>{{{20, 120}, "2024-01-15"},
                                                                     {{190, 120}, "2024-02-01"},
                                                                     {{330, 120}, "2024-02-15"}}));
}

TEST_F(AxisDrawingTest, ThirtyYearsOfYearlyTicks) {
  TAxis axis(&own_, {0, 100}, {1000, 100});
  const double minimum = platform::EncodeDate(2000, 1, 1);
  axis.SetMinimum(minimum);
  axis.SetSpan(platform::EncodeDate(2030, 1, 1) - minimum);
  axis.SetTickStep(365);
  own_.Clear();
  axis.Paint();
  // 2001 to 2029, each a line piece and a tick, and the last piece to the end.
  EXPECT_EQ(platform::CallsOf(own_.calls(), CanvasOp::kLineTo).size(), 2 * 29u + 1);
  const std::vector<std::string> labels = platform::DrawnTexts(own_.calls());
  // The years are 33 pixels apart, their dates 60 wide: every other one is shown.
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels.front(), "2001-01-01");
  EXPECT_EQ(labels[1], "2003-01-01");
}

TEST_F(AxisDrawingTest, CalendarIntervals) {
  struct Case {
    double tick_step;
    double span;
    int32_t pixels;
    TCalendarStep step;
    int32_t years;
  };
  const Case cases[] = {
      {7, 40, 400, TCalendarStep::kHalfMonth, 1},
      {40, 400, 400, TCalendarStep::kMonth, 1},
      {100, 400, 400, TCalendarStep::kTwoMonths, 1},
      {150, 400, 400, TCalendarStep::kQuarter, 1},
      {200, 800, 400, TCalendarStep::kHalfYear, 1},
      {365 * 5, 4000, 400, TCalendarStep::kYears, 5},
      {0, 4000, 400, TCalendarStep::kHalfMonth, 1},
      {0, 8000, 400, TCalendarStep::kMonth, 1},  // half months would crowd the pixels
      {7, 1e100, 1000, TCalendarStep::kYears, 10000},
      {7, 3e6, 2000000000, TCalendarStep::kYears, 1},  // at most 10000 ticks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tick_step);
    const TCalendarInterval interval = CalendarIntervalFor(c.tick_step, c.span, c.pixels);
    EXPECT_EQ(interval.step, c.step);
    EXPECT_EQ(interval.years, c.years);
  }
  // Years move back to multiples of the count in their last two digits.
  platform::DateTime tick;
  ASSERT_TRUE(
      FirstCalendarTick({TCalendarStep::kYears, 5}, platform::EncodeDate(2003, 6, 1), tick));
  EXPECT_EQ(tick, platform::EncodeDate(2005, 1, 1));
  ASSERT_TRUE(
      FirstCalendarTick({TCalendarStep::kHalfYear, 1}, platform::EncodeDate(2003, 8, 1), tick));
  EXPECT_EQ(tick, platform::EncodeDate(2004, 1, 1));
  ASSERT_TRUE(
      NextCalendarTick({TCalendarStep::kQuarter, 1}, platform::EncodeDate(2003, 11, 1), tick));
  EXPECT_EQ(tick, platform::EncodeDate(2004, 1, 1));
  EXPECT_FALSE(
      NextCalendarTick({TCalendarStep::kYears, 1}, platform::EncodeDate(9999, 1, 1), tick));
}

TEST_F(AxisDrawingTest, CalendarsBeyondTheDates) {
  // Spans of up to 1e100 days, starting before the year 1 or after 9999: the ticks
  // stay inside the dates and at most one to a pixel.
  for (const double minimum : {-1e100, -700000.0, 0.0, 2900000.0, 1e100}) {
    SCOPED_TRACE(minimum);
    TAxis axis(&own_, {0, 100}, {1000, 100});
    axis.SetMinimum(minimum);
    axis.SetSpan(1e100);
    axis.SetTickStep(1);
    own_.Clear();
    axis.Paint();
    EXPECT_LE(platform::CallsOf(own_.calls(), CanvasOp::kLineTo).size(), 2 * 1001u + 1);
  }
}

TEST_F(AxisDrawingTest, ADayLineInAlternatingColours) {
  TAxis axis(&own_, {0, 100}, {300, 100});
  const double minimum = 45000.5;  // noon
  axis.SetMinimum(minimum);
  axis.SetSpan(3);
  axis.SetTickStep(1);
  axis.MinorTicks = 0;
  own_.Clear();
  axis.Paint();
  const auto lines = platform::CallsOf(own_.calls(), CanvasOp::kLineTo);
  ASSERT_GE(lines.size(), 4u);
  const std::vector<std::pair<Segment, platform::Color>> expected = {
      {{{0, 100}, {50, 100}}, platform::kClBlack},
      {{{50, 100}, {150, 100}}, platform::kClRed},
      {{{150, 100}, {250, 100}}, platform::kClBlack},
      {{{250, 100}, {300, 100}}, platform::kClRed}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ((Segment{lines[i].points[0], lines[i].points[1]}), expected[i].first);
    EXPECT_EQ(lines[i].pen.color, expected[i].second);
  }
  // Each day's date in the middle of its piece, below the ticks.
  const auto texts = Texts(own_);
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0],
            (std::pair<Point, std::string>{{25 - 30, 120}, platform::DateToStr(minimum)}));
  EXPECT_EQ(texts[1],
            (std::pair<Point, std::string>{{100 - 30, 120}, platform::DateToStr(minimum + 1)}));
  EXPECT_EQ(texts[3].second, platform::DateToStr(minimum + 3));
}

TEST_F(AxisDrawingTest, DatesUnderTheTickLabels) {
  TAxis axis(&own_, {0, 100}, {200, 100});
  axis.SetKind(akValue);
  axis.TimeFormat = 0;
  axis.DateLabels = 1;
  axis.SetMinimum(-800000);  // before the year 1: days are counted instead
  axis.SetSpan(10);
  axis.SetTickStep(5);
  own_.Clear();
  axis.Paint();
  EXPECT_EQ(platform::DrawnTexts(own_.calls()),
            (std::vector<std::string>{"-800000", "day -800000", "-799995", "day -799995", "-799990",
                                      "day -799990"}));
  // The second line under the first.
  EXPECT_EQ(Texts(own_)[1].first, (Point{0 - 33, 100 + 7 + 13}));
}

TEST_F(AxisDrawingTest, TitleUnitsLegendAndLegendBoxes) {
  TAxis axis(&own_, {50, 200}, {50, 0});
  axis.SetKind(akValue);
  axis.ShowUnitLegend = true;
  THistogramSerie hours(nullptr);
  hours.DataSet().SetYUnit("ml");
  hours.SetColor(0x00FF00);
  TSerie derived(nullptr);
  derived.DataSet().Sources().push_back(&hours.DataSet());
  derived.DataSet().SetYUnit("l");
  derived.SetColor(0xFF0000);
  hours.SetUseYAxis(&axis);
  derived.SetUseYAxis(&axis);
  EXPECT_EQ(AxisUnitsText(axis), "l, ml");
  EXPECT_EQ(AxisTitleText(axis), "(Hours), Hours, l, ml");
  derived.SetPercentMode(true);
  EXPECT_EQ(AxisUnitsText(axis), "ml");
  derived.SetPercentMode(false);

  axis.DrawAxis(target_, 0, {0, 0});
  // One box per series below the second end point, in the series' colours.
  const auto boxes = platform::CallsOf(target_.calls(), CanvasOp::kFillRect);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].rect, (Rect{45, 3, 55, 8}));
  EXPECT_EQ(boxes[0].brush.color, 0x00FF00u);
  EXPECT_EQ(boxes[1].rect, (Rect{45, 11, 55, 16}));
  EXPECT_EQ(boxes[1].brush.color, 0xFF0000u);
  // The title turned up the left side, 44 pixels out (the height and width of
  // "1234" and a tick), in four fifths of the font's height; then the units in
  // 6-point type above the second end point.
  const auto texts = platform::CallsOf(target_.calls(), CanvasOp::kTextOut);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "(Hours), Hours, l, ml");
  EXPECT_EQ(texts[0].points[0], (Point{50 - 44, 100 + 21 * 5 / 2}));
  EXPECT_EQ(texts[0].font.escapement, 900);
  EXPECT_EQ(texts[0].font.height, 10);
  EXPECT_EQ(texts[0].font.name, "Arial");
  EXPECT_EQ(texts[1].text, "l, ml");
  EXPECT_EQ(texts[1].points[0], (Point{50 - 20 - 2, 0 - 8}));

  // Too little room for the title: none.
  axis.SetTitleSpace(43);
  target_.Clear();
  axis.DrawAxis(target_, 0, {0, 0});
  EXPECT_EQ(platform::DrawnTexts(target_.calls()), (std::vector<std::string>{"l, ml"}));
  hours.SetUseYAxis(nullptr);
  derived.SetUseYAxis(nullptr);
}

TEST_F(AxisDrawingTest, GridLinesAcrossThePlot) {
  TAxis x_axis(&own_, {0, 100}, {100, 100});
  TAxis y_axis(&own_, {0, 100}, {0, 0});
  x_axis.SetKind(akValue);
  x_axis.ShowGrid = true;
  x_axis.MinorTicks = 0;
  TSerie serie(nullptr);
  serie.SetUseXAxis(&x_axis);
  serie.SetUseYAxis(&y_axis);
  own_.Clear();
  x_axis.Paint();
  std::vector<Segment> grid;
  for (const CanvasCall& call : platform::CallsOf(own_.calls(), CanvasOp::kLineTo)) {
    if (call.pen.style != platform::PenStyle::kDash) continue;
    EXPECT_EQ(call.pen.width, 1);
    grid.emplace_back(call.points[0], call.points[1]);
  }
  // Not at the first end point (0); at 40 and 80.
  EXPECT_EQ(grid, (std::vector<Segment>{{{40, 100}, {40, 0}}, {{80, 100}, {80, 0}}}));
  serie.SetUseXAxis(nullptr);
  serie.SetUseYAxis(nullptr);
}

}  // namespace
