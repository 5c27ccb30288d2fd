// The band series base: a series drawn in a horizontal band of the plot rather than
// against a Y axis. Every point's Y pixel is the middle of the band, and a click
// anywhere in the band hits the series.
//
// The category series is built on it. It stands here, in the care-event unit,
// until the specialised series classes (Series_CSpecial.h) provide it; the two are
// the same class and only one may remain.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datamodel/Series_CObject.h"

class TNoYAxisSeries : public TSerieObject {
 public:
  using TSerieObject::TSerieObject;
  std::string_view ClassName() const override { return "TNoYAxisSeries"; }

  // Where the series lies on the plot; placed by whoever lays the plot out.
  platform::Rect Band;
  // How many lanes the band is divided into.
  virtual int32_t LaneCount() const { return 1; }

  // The series' settings, and Band when Dest is a band series.
  void AssignTo(TPersistent& dest) const override;
  // As every series; failing that, any point inside Band hits the series.
  bool HitTest(const platform::Point& point, void* info) const override;
  // The number (from 1) of the point nearest to the axis value; empty when none.
  std::string GetReadout(double axis_x) override;
  // As every series, with the Y pixel in the middle of Band.
  platform::Point ValueToPixel(double y, double x, int32_t ordinal) const override;
};
