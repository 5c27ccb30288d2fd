#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "datamodel/Axis.h"
#include "datamodel/GraphicsSettings.h"
#include "datamodel/Series_C.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/exception.h"
#include "platform/recording_canvas.h"

namespace {

using model_test::Bytes;

constexpr double kSecond = 1.0 / 86400;

class AxisTest : public ::testing::Test {
 protected:
  AxisTest() {
    InitAxisUnit();
    InitGraphicsSettings();
  }
};

TEST_F(AxisTest, OrientationSetsTheDefaults) {
  TAxis horizontal(nullptr, {0, 0}, {100, 0});
  EXPECT_TRUE(horizontal.IsHorizontal());
  EXPECT_EQ(horizontal.TickPosition, 4);
  EXPECT_EQ(horizontal.TimeFormat, 2);
  EXPECT_EQ(horizontal.DateLabels, 2);
  EXPECT_FALSE(horizontal.ShowTitle);
  EXPECT_EQ(horizontal.Options, 0x36);
  EXPECT_EQ(horizontal.StoredScale(), 110);
  EXPECT_EQ(horizontal.Span(), 10);
  EXPECT_EQ(horizontal.TickStep(), 4);
  EXPECT_EQ(horizontal.Font().name, "Arial");
  // Without a canvas the ticks follow the pen width alone.
  EXPECT_EQ(horizontal.TickLength, 3 * AxisPenWidth());
  EXPECT_EQ(horizontal.MinorTickLength, 2 * AxisPenWidth());

  for (platform::Point end : {platform::Point{100, 100}, platform::Point{0, 0}}) {
    TAxis vertical(nullptr, {0, 0}, end);
    EXPECT_FALSE(vertical.IsHorizontal());
    EXPECT_EQ(vertical.TickPosition, 0);
    EXPECT_EQ(vertical.TimeFormat, 0);
    EXPECT_EQ(vertical.DateLabels, 0);
    EXPECT_TRUE(vertical.ShowTitle);
  }
}

TEST_F(AxisTest, TickLengthsFromTheCanvasFont) {
  platform::RecordingCanvas canvas;
  TAxis axis(&canvas, {0, 0}, {100, 0});
  // Arial 10 at 96 pixels per inch is 13 pixels high, so "0" is 6 wide.
  EXPECT_EQ(axis.Font().height, -13);
  EXPECT_EQ(axis.TickLength, 1 + 6);
  EXPECT_EQ(axis.MinorTickLength, 1 + 3);
  axis.SetLineWidth(3);
  EXPECT_EQ(axis.TickLength, 3 + 6);
  axis.Font().name = "Other";
  EXPECT_TRUE(axis.Dispatch(kAxisReloadDefaultFontMessage));
  EXPECT_EQ(axis.Font().name, "Arial");
  EXPECT_FALSE(axis.Dispatch(0x467));
}

TEST_F(AxisTest, SpanAndMinimumAreClamped) {
  struct Case {
    TAxisKind kind;
    bool logarithmic;
    double value;
    double span;
  };
  const Case cases[] = {
      {akOrdinal, false, 0.5, 1.0},
      {akOrdinal, false, 2.5, 2.5},
      {akValue, false, 0, 0.001},
      {akValue, true, 0, 1e-100},
      {akValue, false, 1e200, 1e100},
      {akTime, false, 0.5 * kSecond, kSecond},
      {akTime, false, kSecond, kSecond},
      {akDuration, false, -3, kSecond},
      {akTime, false, 2 * kSecond, 2 * kSecond},
  };
  for (const Case& c : cases) {
    TAxis axis(nullptr, {0, 0}, {100, 0});
    axis.SetKind(c.kind);
    axis.Logarithmic = c.logarithmic;
    axis.SetSpan(c.value);
    EXPECT_EQ(axis.Span(), c.span) << c.kind << " " << c.value;
  }

  TAxis axis(nullptr, {0, 0}, {100, 0});
  int changes = 0;
  axis.OnRangeChange = [&changes](TAxis&) { ++changes; };
  axis.Logarithmic = true;
  axis.SetMinimum(-5);
  EXPECT_EQ(axis.GetMinimum(), 1e-100);
  axis.SetMinimum(1e-100);  // unchanged: no event
  axis.SetMaximum(1000);
  EXPECT_EQ(changes, 2);
  EXPECT_DOUBLE_EQ(axis.GetMaximum(), 1000);
  axis.SetStoredScale(0);
  EXPECT_EQ(axis.StoredScale(), 0.001);
  axis.SetStoredScale(1e9);
  EXPECT_EQ(axis.StoredScale(), 1e6);
}

TEST_F(AxisTest, ValuesToPixelsAndBack) {
  struct Case {
    platform::Point p0, p1;
    bool logarithmic;
    double minimum, span, value;
    int32_t x, y;
  };
  const Case cases[] = {
      {{10, 0}, {110, 0}, false, 0, 10, 2.5, 35, 0},     // plain
      {{110, 0}, {10, 0}, false, 0, 10, 2.5, 85, 0},     // reversed
      {{0, 200}, {0, 0}, false, 100, 100, 150, 0, 100},  // vertical, upwards
      {{0, 0}, {300, 0}, true, 1, 999, 10, 100, 0},      // three decades
      {{0, 300}, {0, 0}, true, 1, 999, 100, 0, 100},     // logarithmic, upwards
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    TAxis axis(nullptr, c.p0, c.p1);
    axis.SetKind(akValue);
    axis.Logarithmic = c.logarithmic;
    axis.SetMinimum(c.minimum);
    axis.SetSpan(c.span);
    const int32_t x = axis.ValueToPixelX(c.value);
    const int32_t y = axis.ValueToPixelY(c.value);
    if (axis.IsHorizontal()) {
      EXPECT_EQ(x, c.x);
      EXPECT_NEAR(axis.PixelToValue(x, 0), c.value, 1e-9 * c.span);
    } else {
      EXPECT_EQ(y, c.y);
      EXPECT_NEAR(axis.PixelToValue(0, y), c.value, 1e-9 * c.span);
    }
  }
}

TEST_F(AxisTest, ConversionsThatHaveNoLogarithmStayFinite) {
  TAxis axis(nullptr, {0, 0}, {100, 0});
  axis.SetKind(akValue);
  axis.Logarithmic = true;
  axis.SetMinimum(1);
  EXPECT_EQ(axis.ValueToPixelX(0), 2147483647);
  EXPECT_EQ(axis.ValueToPixelX(-1), 2147483647);
  EXPECT_EQ(axis.ValueToPixelY(0), 2147483637);
  // A minimum of zero, set before the axis became logarithmic.
  TAxis zero(nullptr, {0, 0}, {0, 100});
  zero.SetKind(akValue);
  zero.SetMinimum(-1);
  zero.SetMinimum(0);
  zero.Logarithmic = true;
  EXPECT_EQ(zero.ValueToPixelX(5), 2147483647);
  EXPECT_EQ(zero.ValueToPixelY(5), 2147483637);
  EXPECT_TRUE(std::isfinite(zero.PixelToValue(0, 50)));
  // An axis without length answers its minimum.
  TAxis point(nullptr, {5, 5}, {5, 5});
  point.SetMinimum(3);
  EXPECT_EQ(point.PixelToValue(7, 9), 3);
  EXPECT_EQ(point.ValueToPixelY(100), 5);
}

TEST_F(AxisTest, RecordAsWrittenByHand) {
  TAxis axis(nullptr, {0, 0}, {100, 0});
  axis.SetColor(0x0000FF);
  Bytes body;
  body.I32(100).I32(1).U8(0);
  body.I32(101).I32(8).F64(110);
  body.I32(102).I32(4).I32(0).I32(103).I32(4).I32(0);
  body.I32(105).I32(4).I32(100).I32(104).I32(4).I32(0);
  body.I32(106).I32(8).F64(10).I32(107).I32(8).F64(0).I32(108).I32(8).F64(4);
  body.I32(109).I32(4).I32(0xFF).I32(110).I32(4).I32(0xFF).I32(111).I32(4).I32(0xFF);
  body.I32(112).I32(8).F64(0).I32(113).I32(8).F64(10);
  body.I32(114).I32(4).I32(0);
  const uint8_t options[] = {1, 1, 0, 1, 1};  // 0x36
  for (int i = 0; i < 5; ++i)
    body.I32(115 + i).I32(1).U8(options[i]);
  body.I32(120).I32(4).I32(3 * AxisPenWidth()).I32(121).I32(4).I32(2 * AxisPenWidth());
  body.I32(122).I32(4).I32(2).I32(123).I32(4).I32(2).I32(126).I32(4).I32(4);
  body.I32(124).I32(4).I32(0).I32(137).I32(4).I32(0);
  body.I32(138).I32(1).U8(0);
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { axis.WriteTo(w); }),
            qor_test::PlainRecord(5, body).vec());
  TAxis vertical(nullptr, {0, 100}, {0, 0});
  EXPECT_EQ(qor::LoadLittleEndian<int32_t>(
                model_test::Written([&](TVistaWriter& w) { vertical.WriteTo(w); }).data()),
            6);
}

TEST_F(AxisTest, RecordsReadBack) {
  for (bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    TAxis original(nullptr, {10, 200}, {10, 20});
    original.SetKind(akDuration);
    original.SetDurationUnit(2);
    original.Logarithmic = false;
    original.SetMinimum(2);
    original.SetSpan(3);
    original.SetTickStep(0.5);
    original.SetColor(0x123456);
    original.SetLineWidth(2);
    original.Options = 0x08;
    original.DateLabels = 1;
    original.TimeFormat = 3;
    original.TickPosition = 1;
    original.ShowTitle = false;
    original.SetStoredScale(42);
    platform::MemoryStream file;
    model_test::WriteFile(file, checksums, [&](TVistaWriter& w) { original.WriteTo(w); });
    TAxis read(nullptr, {0, 0}, {0, 0});
    EXPECT_TRUE(model_test::ReadInto(read, file, 6));
    EXPECT_EQ(read.Kind(), akDuration);
    EXPECT_EQ(read.DurationUnit(), 2);
    EXPECT_TRUE(read.DurationUnitSet());
    EXPECT_EQ(read.GetMinimum(), 2);
    EXPECT_EQ(read.Span(), 3);
    EXPECT_EQ(read.TickStep(), 0.5);
    EXPECT_EQ(read.GetColor(), 0x123456u);
    EXPECT_EQ(read.LineWidth(), 2);
    EXPECT_EQ(read.Options, 0x08);
    EXPECT_EQ(read.DateLabels, 1);
    EXPECT_EQ(read.TimeFormat, 3);
    EXPECT_EQ(read.TickPosition, 1);
    EXPECT_FALSE(read.ShowTitle);
    EXPECT_EQ(read.StoredScale(), 42);
    EXPECT_EQ(read.P0(), (platform::Point{10, 200}));
    EXPECT_EQ(read.P1(), (platform::Point{10, 20}));
  }
}

TEST_F(AxisTest, ADurationRecordAndAnUnknownKind) {
  Bytes body;
  body.I32(124).I32(4).I32(3).I32(137).I32(4).I32(2).I32(86).I32(4).I32(0x00FF00);
  body.I32(9999).I32(2).U8(0).U8(0);  // unknown: skipped
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(qor_test::PlainRecord(6, body)));
  TAxis axis(nullptr, {0, 0}, {0, 100});
  model_test::ReadInto(axis, file, 6);
  EXPECT_EQ(axis.Kind(), akDuration);
  EXPECT_EQ(axis.DurationUnit(), 2);
  EXPECT_TRUE(axis.DurationUnitSet());
  EXPECT_EQ(axis.GetColor(), 0x00FF00u);

  Bytes unknown;
  unknown.I32(124).I32(4).I32(7);
  qor_test::Fill(file, model_test::PlainFile(qor_test::PlainRecord(6, unknown)));
  TAxis kept(nullptr, {0, 0}, {0, 100});
  kept.SetKind(akValue);
  model_test::ReadInto(kept, file, 6);
  EXPECT_EQ(kept.Kind(), akValue);
}

TEST_F(AxisTest, SeriesOnAnAxis) {
  TAxis vertical(nullptr, {0, 100}, {0, 0});
  TObject stranger;
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { vertical.AddSerie(&stranger); }),
            "Exception:Not a TSerieObject. kljsad8nd8");
  EXPECT_EQ(vertical.SerieCount(), 0);
  TSerie serie(nullptr);
  serie.SetColor(0x00AA00);
  serie.SetUseYAxis(&vertical);
  EXPECT_EQ(vertical.SerieCount(), 1);
  EXPECT_EQ(vertical.GetColor(), 0x00AA00u);
  serie.SetColor(0x0000AA);  // a vertical axis follows its first series
  EXPECT_EQ(vertical.GetColor(), 0x0000AAu);
  vertical.Greyed = true;
  EXPECT_EQ(vertical.GetColor(), platform::kClSilver);
  EXPECT_EQ(vertical.EffectiveColor(), platform::kClSilver);
  serie.SetUseYAxis(nullptr);
  EXPECT_EQ(vertical.SerieCount(), 0);

  TAxis horizontal(nullptr, {0, 0}, {100, 0});
  horizontal.SetKind(akOrdinal);
  serie.SetUseXAxis(&horizontal);
  EXPECT_EQ(serie.XKind(), akOrdinal);
  EXPECT_TRUE(serie.DataSet().ByOrdinal());
  EXPECT_EQ(horizontal.GetColor(), 0u);  // horizontal axes keep theirs
  serie.SetUseXAxis(nullptr);
}

TEST_F(AxisTest, AnAxisThatGoesFirstIsForgottenBySeries) {
  TSerie serie(nullptr);
  {
    TAxis axis(nullptr, {0, 0}, {100, 0});
    serie.SetUseXAxis(&axis);
    serie.SetUseYAxis(&axis);
  }
  EXPECT_EQ(serie.UseXAxis(), nullptr);
  EXPECT_EQ(serie.UseYAxis(), nullptr);
}

TEST_F(AxisTest, AssignmentCopiesTheSettings) {
  TAxis source(nullptr, {1, 2}, {300, 2});
  source.SetKind(akValue);
  source.SetSpan(50);
  source.SetMinimum(-3);
  source.SetLineWidth(2);
  source.Options = 0x10;
  source.Logarithmic = true;
  source.ShowGrid = true;
  source.SetColor(0x0000FF);
  TAxis target(nullptr, {0, 0}, {0, 0});
  target.Assign(source);
  EXPECT_EQ(target.Kind(), akValue);
  EXPECT_EQ(target.Span(), 50);
  EXPECT_EQ(target.GetMinimum(), -3);
  EXPECT_EQ(target.LineWidth(), 2);
  EXPECT_EQ(target.Options, 0x10);
  EXPECT_TRUE(target.Logarithmic);
  EXPECT_TRUE(target.ShowGrid);
  EXPECT_EQ(target.P1(), (platform::Point{300, 2}));
  EXPECT_EQ(target.GetColor(), 0x0000FFu);
}

TEST_F(AxisTest, HitsOnTheAxisAndItsLegend) {
  TAxis axis(nullptr, {50, 100}, {50, 10});
  TGlyphHit hit;
  EXPECT_TRUE(axis.HitTest({48, 50}, &hit));
  EXPECT_EQ(hit.object, &axis);
  EXPECT_TRUE(hit.handled);
  EXPECT_FALSE(axis.HitTest({80, 50}, nullptr));
  TSerie first(nullptr);
  TSerie second(nullptr);
  first.SetUseYAxis(&axis);
  second.SetUseYAxis(&axis);
  TGlyphHit legend;
  EXPECT_TRUE(axis.HitTest({50, 10 + 3 + 8 + 2}, &legend));  // the second series' box
  EXPECT_EQ(legend.object, &second);
  EXPECT_FALSE(legend.handled);
  first.SetUseYAxis(nullptr);
  second.SetUseYAxis(nullptr);
}

}  // namespace
