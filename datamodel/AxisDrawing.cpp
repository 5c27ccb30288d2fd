// How an axis draws itself and what a click on it hits.
#include <algorithm>

#include "datamodel/Axis.h"
#include "datamodel/Series_CObject.h"

namespace {

bool Contains(const platform::Rect& rect, const platform::Point& point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

}  // namespace

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

// The axis line, ticks, labels, title, units legend and span box.
void TAxis::DrawAxis(platform::Canvas&, platform::Color, platform::Point) {}
