#include "platform/qt/qt_canvas.h"

#include <gtest/gtest.h>

#include "platform/qt/tests/qt_app.h"

namespace platform::qt {
namespace {

QRgb Pixel(QtBitmap& bitmap, int x, int y) {
  return bitmap.Image().pixel(x, y) & 0xFFFFFF;
}

TEST(QtCanvasTest, ColoursAndTheSystemColourTable) {
  EXPECT_EQ(ToQColor(kClRed), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(ToQColor(kClBtnFace), ToQColor(SystemColor(15)));
  EXPECT_EQ(SystemColor(5), kClWhite);
  EXPECT_EQ(SystemColor(99), 0u);
}

TEST(QtCanvasTest, ShapesLinesAndTextLandWhereGdiPutsThem) {
  QtBitmap bitmap(40, 30);
  Canvas& canvas = bitmap.canvas();
  canvas.SetBrushColor(kClAqua);
  canvas.FillRect(Rect{0, 0, 40, 30});
  EXPECT_EQ(Pixel(bitmap, 39, 29), 0x00FFFFu);  // aqua as RGB
  // A line leaves out its end pixel.
  canvas.SetPenColor(kClRed);
  canvas.MoveTo(2, 2);
  canvas.LineTo(10, 2);
  EXPECT_EQ(Pixel(bitmap, 2, 2), 0xFF0000u);
  EXPECT_EQ(Pixel(bitmap, 9, 2), 0xFF0000u);
  EXPECT_EQ(Pixel(bitmap, 10, 2), 0x00FFFFu);
  // A rectangle covers left..right-1 and top..bottom-1.
  canvas.SetPenColor(kClBlue);
  canvas.SetBrushColor(kClYellow);
  canvas.Rectangle(Rect{5, 10, 15, 20});
  EXPECT_EQ(Pixel(bitmap, 5, 10), 0x0000FFu);
  EXPECT_EQ(Pixel(bitmap, 14, 19), 0x0000FFu);
  EXPECT_EQ(Pixel(bitmap, 15, 20), 0x00FFFFu);
  EXPECT_EQ(Pixel(bitmap, 10, 15), 0xFFFF00u);
  // Clipping discards what falls outside.
  canvas.SetClipRect(Rect{30, 0, 40, 30});
  canvas.SetBrushColor(kClBlack);
  canvas.FillRect(Rect{20, 0, 40, 5});
  EXPECT_EQ(Pixel(bitmap, 25, 1), 0x00FFFFu);
  EXPECT_EQ(Pixel(bitmap, 35, 1), 0x000000u);
  canvas.SetClipRect(std::nullopt);
  // Text has an extent that grows with its length and its font.
  Font font;
  font.height = -12;
  canvas.SetFont(font);
  const Size one = canvas.TextExtent("W");
  const Size two = canvas.TextExtent("WW");
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(two.cx, one.cx);
  EXPECT_GE(one.cy, 12);
  Rect calc{0, 0, 1000, 0};
  canvas.DrawText("A&B", calc, dt::kCalcRect | dt::kSingleLine);
  Rect plain{0, 0, 1000, 0};
  canvas.DrawText("A&B", plain, dt::kCalcRect | dt::kSingleLine | dt::kNoPrefix);
  EXPECT_LT(calc.Width(), plain.Width());  // the prefix mark takes no room
}

TEST(QtCanvasTest, OffScreenBitmapsAreCopiedIn) {
  QtBitmap target(20, 20);
  target.canvas().SetBrushColor(kClWhite);
  target.canvas().FillRect(Rect{0, 0, 20, 20});
  std::unique_ptr<Bitmap> part = target.canvas().CreateBitmap(5, 5);
  EXPECT_EQ(part->Width(), 5);
  part->canvas().SetBrushColor(kClGreen);
  part->canvas().FillRect(Rect{0, 0, 5, 5});
  target.canvas().Draw(10, 10, *part);
  EXPECT_EQ(Pixel(target, 12, 12), 0x008000u);
  EXPECT_EQ(Pixel(target, 9, 9), 0xFFFFFFu);
  EXPECT_EQ(target.canvas().CreateBitmap(-3, 4)->Width(), 0);
}

}  // namespace
}  // namespace platform::qt
