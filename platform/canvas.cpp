#include "platform/canvas.h"

#include <algorithm>
#include <cstdlib>
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

}  // namespace

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
