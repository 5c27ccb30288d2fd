#include "datamodel/CareEventsBand.h"

#include "datamodel/Axis.h"

void TNoYAxisSeries::AssignTo(TPersistent& dest) const {
  TSerieObject::AssignTo(dest);
  if (auto* band = dynamic_cast<TNoYAxisSeries*>(&dest)) band->Band = Band;
}

bool TNoYAxisSeries::HitTest(const platform::Point& point, void* info) const {
  if (TSerieObject::HitTest(point, info)) return true;
  const bool inside =
      point.x >= Band.left && point.x < Band.right && point.y >= Band.top && point.y < Band.bottom;
  if (inside) {
    if (auto* hit = static_cast<TGlyphHit*>(info)) hit->object = const_cast<TNoYAxisSeries*>(this);
  }
  return inside;
}

std::string TNoYAxisSeries::GetReadout(double axis_x) {
  int32_t index = 0;
  if (!NearestPoint(axis_x, index)) return {};
  return std::to_string(int64_t{index} + 1);
}

platform::Point TNoYAxisSeries::ValueToPixel(double y, double x, int32_t ordinal) const {
  platform::Point pixel = TSerieObject::ValueToPixel(y, x, ordinal);
  pixel.y = static_cast<int32_t>((int64_t{Band.top} + Band.bottom) / 2);
  return pixel;
}
