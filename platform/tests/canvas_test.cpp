#include "platform/canvas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/recording_canvas.h"

namespace platform {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(IntersectRectTest, FollowsGdi) {
  struct Case {
    const char* name;
    Rect a, b;
    bool overlaps;
    Rect expected;
  };
  const Case cases[] = {
      {"overlap", {0, 0, 10, 10}, {5, 5, 15, 15}, true, {5, 5, 10, 10}},
      {"contained", {0, 0, 10, 10}, {2, 3, 4, 5}, true, {2, 3, 4, 5}},
      {"negative coordinates", {-10, -10, 0, 0}, {-5, -20, 5, -2}, true, {-5, -10, 0, -2}},
      {"shared edge", {0, 0, 10, 10}, {10, 0, 20, 10}, false, {}},
      {"shared corner", {0, 0, 10, 10}, {10, 10, 20, 20}, false, {}},
      {"apart", {0, 0, 5, 5}, {7, 7, 9, 9}, false, {}},
      {"empty inside the other", {3, 3, 3, 8}, {0, 0, 10, 10}, false, {}},
      {"inverted inside the other", {8, 8, 2, 2}, {0, 0, 10, 10}, false, {}},
  };
  for (const Case& c : cases) {
    for (bool swapped : {false, true}) {
      Rect result{1, 2, 3, 4};
      EXPECT_EQ(IntersectRect(result, swapped ? c.b : c.a, swapped ? c.a : c.b), c.overlaps)
          << c.name;
      EXPECT_EQ(result, c.expected) << c.name;
    }
  }
}

TEST(IntersectRectTest, ResultMayBeAnArgument) {
  Rect a{0, 0, 10, 10};
  EXPECT_TRUE(IntersectRect(a, a, Rect{5, -5, 20, 5}));
  EXPECT_EQ(a, (Rect{5, 0, 10, 5}));
}

TEST(SystemColorTest, TheClassicSchemeByIndex) {
  EXPECT_EQ(SystemColor(15), 0xC8D0D4u);  // button face
  EXPECT_EQ(SystemColor(5), kClWhite);
  EXPECT_EQ(SystemColor(30), 0xC8D0D4u);
  EXPECT_EQ(SystemColor(31), 0u);
  EXPECT_EQ(SystemColor(-1), 0u);
  EXPECT_EQ(ResolveColor(kClBtnFace), 0xC8D0D4u);
  EXPECT_EQ(ResolveColor(kClWindowText), kClBlack);
  EXPECT_EQ(ResolveColor(kSystemColorFlag | 0x7F), 0u);
  EXPECT_EQ(ResolveColor(kClAqua), kClAqua);
}

TEST(FontTest, PointsAndHeightsRoundHalfAwayFromZero) {
  struct Case {
    int32_t points;
    int ppi;
    int32_t height;
  };
  // points * ppi / 72, negated; the halves are the cases truncation or banker's
  // rounding would get wrong.
  const Case to_height[] = {
      {8, 96, -11},                  // 10.67
      {9, 96, -12},                  // 12
      {10, 96, -13},                 // 13.33
      {12, 120, -20}, {1, 108, -2},  // 1.5
      {5, 36, -3},                   // 2.5
      {-12, 96, 16},                 // a negative size is a cell height
      {0, 96, 0},
  };
  for (const Case& c : to_height) {
    Font font;
    font.SetSizeInPoints(c.points, c.ppi);
    EXPECT_EQ(font.height, c.height) << c.points << "pt at " << c.ppi;
  }

  const Case to_points[] = {
      {8, 96, -11},                  // 8.25
      {10, 96, -13},                 // 9.75
      {12, 120, -20}, {2, 144, -3},  // 1.5
      {3, 144, -5},                  // 2.5
      {-12, 96, 16},                 // a cell height gives a negative size
  };
  for (const Case& c : to_points) {
    Font font;
    font.height = c.height;
    EXPECT_EQ(font.SizeInPoints(c.ppi), c.points) << "height " << c.height << " at " << c.ppi;
  }
}

TEST(CanvasTest, PenPositionFollowsMoveToAndLineToOnly) {
  RecordingCanvas canvas;
  EXPECT_EQ(canvas.PenPos(), (Point{0, 0}));
  canvas.MoveTo(1, 2);
  canvas.LineTo(5, 6);
  canvas.LineTo(7, 8);
  const Point points[] = {{20, 20}, {30, 30}};
  canvas.Polyline(points);
  canvas.Polygon(points);
  canvas.TextOut(40, 40, "x");
  EXPECT_EQ(canvas.PenPos(), (Point{7, 8}));

  const std::vector<CanvasCall> lines = CallsOf(canvas.calls(), CanvasOp::kLineTo);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0].points, ElementsAre(Point{1, 2}, Point{5, 6}));
  EXPECT_THAT(lines[1].points, ElementsAre(Point{5, 6}, Point{7, 8}));
  EXPECT_THAT(CallsOf(canvas.calls(), CanvasOp::kMoveTo)[0].points, ElementsAre(Point{1, 2}));
  EXPECT_THAT(CallsOf(canvas.calls(), CanvasOp::kPolyline)[0].points,
              ElementsAre(Point{20, 20}, Point{30, 30}));
}

TEST(CanvasTest, EachCallCarriesTheToolsAndClipInForce) {
  RecordingCanvas canvas;
  canvas.SetPenColor(kClRed);
  canvas.SetPenWidth(3);
  canvas.SetBrushStyle(BrushStyle::kClear);
  canvas.Rectangle(Rect{1, 2, 3, 4});

  canvas.SetClipRect(Rect{0, 0, 50, 50});
  EXPECT_EQ(canvas.ClipRect(), (Rect{0, 0, 50, 50}));
  Font bold;
  bold.weight = kFwBold;
  canvas.SetFont(bold);
  canvas.SetPen(Pen{});
  canvas.RoundRect(Rect{5, 6, 7, 8}, 9, 10);
  canvas.SetClipRect(std::nullopt);
  canvas.Ellipse(Rect{0, 0, 2, 2});

  EXPECT_THAT(OpsOf(canvas.calls()),
              ElementsAre(CanvasOp::kRectangle, CanvasOp::kSetClipRect, CanvasOp::kRoundRect,
                          CanvasOp::kSetClipRect, CanvasOp::kEllipse));

  CanvasCall rectangle;
  rectangle.op = CanvasOp::kRectangle;
  rectangle.rect = Rect{1, 2, 3, 4};
  rectangle.pen = Pen{kClRed, 3, PenStyle::kSolid};
  rectangle.brush = Brush{kClWhite, BrushStyle::kClear};
  EXPECT_EQ(canvas.calls()[0], rectangle);

  const CanvasCall& set_clip = canvas.calls()[1];
  EXPECT_EQ(set_clip.clip, (Rect{0, 0, 50, 50}));

  const CanvasCall& round_rect = canvas.calls()[2];
  EXPECT_EQ(round_rect.rect, (Rect{5, 6, 7, 8}));
  EXPECT_THAT(round_rect.values, ElementsAre(9, 10));
  EXPECT_EQ(round_rect.pen, Pen{});
  EXPECT_EQ(round_rect.font.weight, kFwBold);
  EXPECT_EQ(round_rect.clip, (Rect{0, 0, 50, 50}));

  EXPECT_FALSE(canvas.calls()[3].clip.has_value());
  EXPECT_FALSE(canvas.calls()[4].clip.has_value());
  EXPECT_EQ(canvas.calls()[4].brush.style, BrushStyle::kClear);
}

TEST(RecordingCanvasTest, TextMetricsFollowTheFontHeight) {
  struct Case {
    int32_t font_height;
    int32_t char_width;
    int32_t line_height;
  };
  const Case cases[] = {{-12, 6, 12}, {13, 6, 13}, {-7, 3, 7}, {-1, 1, 1}, {0, 1, 1}};
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    Font font;
    font.height = c.font_height;
    canvas.SetFont(font);
    EXPECT_EQ(canvas.TextExtent("abc"), (Size{3 * c.char_width, c.line_height})) << c.font_height;
    EXPECT_EQ(canvas.TextExtent(""), (Size{0, c.line_height})) << c.font_height;
  }

  RecordingCanvas canvas;  // the default font, -11
  EXPECT_EQ(canvas.TextWidth("a\r\nb"), 4 * 5);
  EXPECT_EQ(canvas.TextHeight("a\r\nb"), 11);
  const CanvasCall& query = canvas.calls().back();
  EXPECT_EQ(query.op, CanvasOp::kTextExtent);
  EXPECT_EQ(query.text, "a\r\nb");
  EXPECT_THAT(query.values, ElementsAre(20, 11));
}

// With font height -10: characters 5 pixels wide, lines 10 high.
RecordingCanvas& TenPixelCanvas(RecordingCanvas& canvas) {
  Font font;
  font.height = -10;
  canvas.SetFont(font);
  return canvas;
}

TEST(RecordingCanvasTest, DrawTextLaysOutLines) {
  using namespace dt;
  struct Case {
    const char* name;
    std::string text;
    Rect rect;
    uint32_t flags;
    std::vector<Point> lines;
  };
  const Case cases[] = {
      {"top left", "abc", {10, 20, 110, 70}, 0, {{10, 20}}},
      {"centred", "abc", {0, 0, 100, 50}, kSingleLine | kCenter | kVCenter, {{42, 20}}},
      {"bottom right", "abc", {0, 0, 100, 50}, kSingleLine | kRight | kBottom, {{85, 40}}},
      {"vcenter only on a single line", "abc", {0, 0, 100, 50}, kVCenter, {{0, 0}}},
      {"bottom only on a single line", "abc", {0, 0, 100, 50}, kBottom, {{0, 0}}},
      {"taller than the rect", "abc", {0, 0, 100, 5}, kSingleLine | kVCenter, {{0, -2}}},
      {"breaks at CR LF, LF and CR",
       "ab\r\ncdef\nx\ry",
       {0, 0, 100, 100},
       0,
       {{0, 0}, {0, 10}, {0, 20}, {0, 30}}},
      {"each line centred on its own", "ab\ncdef", {0, 0, 40, 100}, kCenter, {{15, 0}, {10, 10}}},
      {"a trailing break starts a line", "ab\n", {0, 0, 100, 100}, 0, {{0, 0}, {0, 10}}},
      {"empty text is one line", "", {0, 0, 100, 50}, kCenter, {{50, 0}}},
      {"single line keeps the break as a character",
       "ab\ncd",
       {0, 0, 100, 50},
       kSingleLine | kRight,
       {{75, 0}}},
      {"word break", "aa bb cc", {0, 0, 30, 100}, kWordBreak | kRight, {{5, 0}, {20, 10}}},
      {"word break drops the spaces at a break",
       "aa    bb",
       {0, 0, 20, 100},
       kWordBreak | kRight,
       {{10, 0}, {10, 10}}},
      {"a word wider than the rect stands alone",
       "abcdefgh ij",
       {0, 0, 20, 100},
       kWordBreak | kRight,
       {{-20, 0}, {10, 10}}},
      {"word break within each line",
       "aa bb\ncc",
       {0, 0, 10, 100},
       kWordBreak,
       {{0, 0}, {0, 10}, {0, 20}}},
      {"no word break on a single line",
       "aa bb cc",
       {0, 0, 10, 100},
       kSingleLine | kWordBreak,
       {{0, 0}}},
      {"prefix mark has no width", "&File", {0, 0, 100, 20}, kRight, {{80, 0}}},
      {"&& is one character", "a&&b", {0, 0, 100, 20}, kRight, {{85, 0}}},
      {"no prefix: & counts", "&File", {0, 0, 100, 20}, kRight | kNoPrefix, {{75, 0}}},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    Rect rect = c.rect;
    const int32_t height = TenPixelCanvas(canvas).DrawText(c.text, rect, c.flags);
    EXPECT_EQ(height, 10 * static_cast<int32_t>(c.lines.size())) << c.name;
    EXPECT_EQ(rect, c.rect) << c.name << ": only kCalcRect changes the rect";
    ASSERT_EQ(canvas.calls().size(), 1u);
    const CanvasCall& call = canvas.calls()[0];
    EXPECT_EQ(call.op, CanvasOp::kDrawText);
    EXPECT_EQ(call.text, c.text);
    EXPECT_EQ(call.rect, c.rect);
    EXPECT_EQ(call.flags, c.flags);
    EXPECT_EQ(call.points, c.lines) << c.name;
    EXPECT_THAT(call.values, ElementsAre(height)) << c.name;
  }
}

TEST(RecordingCanvasTest, DrawTextCalcRectMeasuresWithoutDrawing) {
  using namespace dt;
  struct Case {
    std::string text;
    Rect rect;
    uint32_t flags;
    Rect expected;
  };
  const Case cases[] = {
      {"ab\r\ncdef\nx", {10, 20, 10, 20}, 0, {10, 20, 30, 50}},
      {"aa bb cc", {0, 0, 30, 0}, kWordBreak, {0, 0, 25, 20}},
      {"abc", {10, 10, 100, 100}, kCenter | kVCenter | kSingleLine, {10, 10, 25, 20}},
      {"", {5, 5, 50, 50}, 0, {5, 5, 5, 15}},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    Rect rect = c.rect;
    const int32_t height = TenPixelCanvas(canvas).DrawText(c.text, rect, c.flags | kCalcRect);
    EXPECT_EQ(rect, c.expected) << c.text;
    EXPECT_EQ(height, c.expected.Height()) << c.text;
    ASSERT_EQ(canvas.calls().size(), 1u);
    EXPECT_EQ(canvas.calls()[0].rect, c.rect) << "the call records the rect as given";
    EXPECT_TRUE(DrawnTexts(canvas.calls()).empty());
  }
}

class PlainBitmap : public Bitmap {
 public:
  int32_t Width() const override { return 7; }
  int32_t Height() const override { return 9; }
  Canvas& canvas() override { return canvas_; }

 private:
  RecordingCanvas canvas_;
};

TEST(RecordingCanvasTest, BitmapsRecordOnTheirOwnCanvas) {
  RecordingCanvas screen(120);
  std::unique_ptr<Bitmap> bitmap = screen.CreateBitmap(40, 30);
  EXPECT_EQ(bitmap->Width(), 40);
  EXPECT_EQ(bitmap->Height(), 30);
  EXPECT_EQ(bitmap->canvas().PixelsPerInch(), 120);

  bitmap->canvas().MoveTo(0, 0);
  bitmap->canvas().LineTo(39, 29);
  screen.Draw(3, 4, *bitmap);
  bitmap->canvas().FillRect(Rect{0, 0, 1, 1});  // after the copy: not part of it

  ASSERT_THAT(OpsOf(screen.calls()), ElementsAre(CanvasOp::kCreateBitmap, CanvasOp::kDraw));
  EXPECT_THAT(screen.calls()[0].values, ElementsAre(40, 30));
  const CanvasCall& draw = screen.calls()[1];
  EXPECT_THAT(draw.points, ElementsAre(Point{3, 4}));
  EXPECT_THAT(draw.values, ElementsAre(40, 30));
  ASSERT_THAT(OpsOf(draw.bitmap_calls), ElementsAre(CanvasOp::kMoveTo, CanvasOp::kLineTo));
  EXPECT_THAT(draw.bitmap_calls[1].points, ElementsAre(Point{0, 0}, Point{39, 29}));

  std::ostringstream printed;
  printed << draw;
  EXPECT_THAT(printed.str(), ::testing::StartsWith("Draw points=[(3, 4)] values=[40, 30]"));
  EXPECT_THAT(printed.str(), ::testing::HasSubstr("bitmap_calls=[MoveTo"));
}

TEST(RecordingCanvasTest, BitmapSizesAndForeignBitmaps) {
  RecordingCanvas screen;
  std::unique_ptr<Bitmap> bitmap = screen.CreateBitmap(-5, 7);
  EXPECT_EQ(bitmap->Width(), 0);
  EXPECT_EQ(bitmap->Height(), 7);
  ASSERT_EQ(screen.calls().size(), 1u);
  EXPECT_THAT(screen.calls()[0].values, ElementsAre(0, 7));

  PlainBitmap foreign;
  foreign.canvas().LineTo(1, 1);
  screen.Draw(0, 0, foreign);
  ASSERT_EQ(screen.calls().size(), 2u);
  EXPECT_THAT(screen.calls().back().values, ElementsAre(7, 9));
  EXPECT_TRUE(screen.calls().back().bitmap_calls.empty());
}

TEST(RecordingCanvasTest, HelpersAndClear) {
  RecordingCanvas canvas;
  canvas.TextOut(1, 2, "first");
  Rect rect{0, 0, 100, 100};
  canvas.DrawText("measured", rect, dt::kCalcRect);
  canvas.DrawText("second", rect, dt::kCenter);
  canvas.TextExtent("queried");
  canvas.TextOut(3, 4, "third");
  EXPECT_THAT(DrawnTexts(canvas.calls()), ElementsAre("first", "second", "third"));
  EXPECT_EQ(CallsOf(canvas.calls(), CanvasOp::kTextOut).size(), 2u);
  EXPECT_THAT(CallsOf(canvas.calls(), CanvasOp::kTextOut)[1].points, ElementsAre(Point{3, 4}));

  canvas.MoveTo(8, 9);
  canvas.SetClipRect(Rect{1, 1, 2, 2});
  canvas.Clear();
  EXPECT_TRUE(canvas.calls().empty());
  EXPECT_EQ(canvas.PenPos(), (Point{8, 9}));
  EXPECT_EQ(canvas.ClipRect(), (Rect{1, 1, 2, 2}));
}

TEST(RecordingCanvasTest, CallsAfterClearHoldTheirOwnPoints) {
  // The record keeps the point lists of the calls it forgot for later calls; each
  // call still holds its own points, however many the list held before.
  RecordingCanvas canvas;
  const Point many[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}};
  canvas.Polyline(many);
  canvas.MoveTo(7, 7);
  canvas.Clear();
  canvas.LineTo(9, 9);
  const Point two[] = {{10, 10}, {11, 11}};
  canvas.Polygon(two);
  canvas.Polyline(many);
  canvas.Rectangle(Rect{1, 2, 3, 4});
  ASSERT_EQ(canvas.calls().size(), 4u);
  EXPECT_THAT(canvas.calls()[0].points, ElementsAre(Point{7, 7}, Point{9, 9}));
  EXPECT_THAT(canvas.calls()[1].points, ElementsAre(Point{10, 10}, Point{11, 11}));
  EXPECT_THAT(canvas.calls()[2].points, ElementsAreArray(many));
  EXPECT_TRUE(canvas.calls()[3].points.empty());
  EXPECT_EQ(canvas.calls()[3].rect, (Rect{1, 2, 3, 4}));
}

TEST(RecordingCanvasTest, DrawnSegmentsAreTheLinesOfLineToAndPolyline) {
  RecordingCanvas canvas;
  canvas.MoveTo(1, 2);
  canvas.LineTo(3, 4);
  canvas.SetPenColor(kClRed);
  const Point ring[] = {{0, 0}, {5, 0}, {5, 5}, {0, 0}};
  canvas.Polyline(ring);
  canvas.Polygon(ring);  // the outline of a filled shape is not among them
  const Pen black;
  const Pen red{kClRed};
  EXPECT_THAT(DrawnSegments(canvas.calls()),
              ElementsAre(DrawnSegment{{1, 2}, {3, 4}, black}, DrawnSegment{{0, 0}, {5, 0}, red},
                          DrawnSegment{{5, 0}, {5, 5}, red}, DrawnSegment{{5, 5}, {0, 0}, red}));
}

}  // namespace
}  // namespace platform
