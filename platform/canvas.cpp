#include "platform/canvas.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace platform {
namespace {

// Number * Numerator / Denominator through a 64-bit product, rounded half away from
// zero; -1 when the denominator is 0 or the result does not fit, as Windows does.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(number) * numerator;
  const int64_t half = std::llabs(denominator) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = (std::llabs(product) + half) / std::llabs(denominator);
  const int64_t result = negative ? -magnitude : magnitude;
  if (result < std::numeric_limits<int32_t>::min() ||
      result > std::numeric_limits<int32_t>::max()) {
    return -1;
  }
  return static_cast<int32_t>(result);
}

// The classic Windows scheme, COLOR_SCROLLBAR (0) .. COLOR_MENUBAR (30).
constexpr Color kSystemColors[] = {
    0xC8C8C8,  // 0 scroll bar
    0xA56E3A,  // 1 desktop
    0x6A240A,  // 2 active caption
    0x808080,  // 3 inactive caption
    0xC8D0D4,  // 4 menu
    0xFFFFFF,  // 5 window
    0x000000,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0xFFFFFF,  // 9 caption text
    0xC8D0D4,  // 10 active border
    0xC8D0D4,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x6A240A,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xC8D0D4,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xC8D0D4,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3-D dark shadow
    0xC8D0D4,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xE1FFFF,  // 24 tooltip background
    0x000000,  // 25 (unused)
    0x800000,  // 26 hot-tracked item
    0xF0CAA6,  // 27 active caption gradient
    0xC0C0C0,  // 28 inactive caption gradient
    0x6A240A,  // 29 menu highlight (the highlight, in the classic scheme)
    0xC8D0D4,  // 30 menu bar
};

}  // namespace

Color SystemColor(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kSystemColors))) return 0;
  return kSystemColors[index];
}

Color ResolveColor(Color color) {
  if ((color & kSystemColorFlag) == 0) return color;
  return SystemColor(static_cast<int>(color & 0xFF));
}

bool IntersectRect(Rect& result, const Rect& a, const Rect& b) {
  const Rect overlap{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                     std::min(a.bottom, b.bottom)};
  // An empty A or B leaves an empty overlap too, so one test covers all cases.
  if (overlap.IsEmpty()) {
    result = Rect{};
    return false;
  }
  result = overlap;
  return true;
}

int32_t Font::SizeInPoints(int pixels_per_inch) const {
  return -MulDiv(height, 72, pixels_per_inch);
}

void Font::SetSizeInPoints(int32_t points, int pixels_per_inch) {
  height = -MulDiv(points, pixels_per_inch, 72);
}

void Canvas::MoveTo(int32_t x, int32_t y) {
  DoMoveTo(x, y);
  pen_pos_ = Point{x, y};
}

void Canvas::LineTo(int32_t x, int32_t y) {
  DoLineTo(x, y);
  pen_pos_ = Point{x, y};
}

void Canvas::Polyline(std::span<const Point> points) {
  DoPolyline(points);
}

void Canvas::Polygon(std::span<const Point> points) {
  DoPolygon(points);
}

void Canvas::Rectangle(const Rect& rect) {
  DoRectangle(rect);
}

void Canvas::RoundRect(const Rect& rect, int32_t ellipse_width, int32_t ellipse_height) {
  DoRoundRect(rect, ellipse_width, ellipse_height);
}

void Canvas::Ellipse(const Rect& rect) {
  DoEllipse(rect);
}

void Canvas::FillRect(const Rect& rect) {
  DoFillRect(rect);
}

void Canvas::TextOut(int32_t x, int32_t y, std::string_view text) {
  DoTextOut(x, y, text);
}

Size Canvas::TextExtent(std::string_view text) {
  return DoTextExtent(text);
}

int32_t Canvas::DrawText(std::string_view text, Rect& rect, uint32_t flags) {
  return DoDrawText(text, rect, flags);
}

void Canvas::SetClipRect(const std::optional<Rect>& clip) {
  DoSetClipRect(clip);
  clip_ = clip;
}

std::unique_ptr<Bitmap> Canvas::CreateBitmap(int32_t width, int32_t height) {
  return DoCreateBitmap(std::max(width, 0), std::max(height, 0));
}

void Canvas::Draw(int32_t x, int32_t y, const Bitmap& bitmap) {
  DoDraw(x, y, bitmap);
}

}  // namespace platform
