// Axes: a straight line between two end points on a canvas that maps a range of
// values to pixels. Series register with the axes they use and place their points
// through them; the axis takes its title and units from their data sets. Axes are
// stored as records 5 (horizontal) and 6 (vertical).
//
// How an axis draws itself (ticks, labels, title, units legend, span box) and what
// a click on it hits is in AxisDrawing.cpp; Paint, HitTest and DrawAxis are the
// entry points.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "datafile/QORFuncGlyph.h"
#include "platform/canvas.h"

class TSerieObject;
class TVistaReader;
class TVistaWriter;

enum TAxisKind : uint8_t { akTime, akValue, akOrdinal, akDuration };

inline constexpr int32_t kHorizontalAxisRecord = 5;
inline constexpr int32_t kVerticalAxisRecord = 6;

// Messages an owner sends its axes when the shared font or the screen changes.
inline constexpr uint32_t kAxisReloadDefaultFontMessage = 0x465;
inline constexpr uint32_t kAxisRecomputeTickLengthsMessage = 0x466;

// A pixel coordinate moved by Delta, kept inside the int32 range: the pixels of
// far-off values lie at its ends, and what is drawn or tested around them must not
// wrap round to the other side.
inline int32_t MovePixel(int64_t pixel, int64_t delta) {
  const int64_t moved = pixel + delta;
  return static_cast<int32_t>(moved < INT32_MIN   ? INT32_MIN
                              : moved > INT32_MAX ? INT32_MAX
                                                  : moved);
}

// What a click on a glyph found: HitTest(Point, &hit) fills it. Object is what
// was hit (the glyph itself, a point, a help line, a series of an axis' legend),
// Handled whether the glyph took the click itself.
struct TGlyphHit {
  TObject* object = nullptr;
  bool handled = false;
};

// The unit's shared values: the default pen width (0.3 mm) in pixels and the
// default of the stored scale. Set by InitAxisUnit.
int32_t AxisPenWidth();
int32_t AxisPenWidthTenthMm();
double AxisStoredScaleDefault();
// Computes the default pen width for PixelsPerInch (96 without a display).
void UpdateAxisPenWidth(int pixels_per_inch = 96);
// The unit's start: stored-scale default 110, pen width 0.3 mm at 96 pixels per
// inch. Once; the shared font comes from the graphics settings.
void InitAxisUnit();

class TAxis : public TGlyph {
 public:
  using Event = std::function<void(TAxis& sender)>;

  // Canvas (not owned; may be none) carries ticks and labels. The orientation
  // follows from the end points and sets the defaults of ticks, labels and title.
  TAxis(platform::Canvas* canvas, platform::Point p0, platform::Point p1);
  ~TAxis() override;
  std::string_view ClassName() const override { return "TAxis"; }

  // --- Series --------------------------------------------------------------
  // Series must be a TSerieObject ("Exception:Not a TSerieObject. kljsad8nd8").
  void AddSerie(TObject* series);
  void RemoveSerie(TObject* series);
  int32_t SerieCount() const { return static_cast<int32_t>(series_.size()); }
  TSerieObject* Serie(int32_t index) const { return series_.at(static_cast<size_t>(index)); }
  const std::vector<TSerieObject*>& Series() const { return series_; }
  // A vertical axis with series takes the colour of its first series.
  void UpdateColorFromSeries();

  // --- Geometry and conversions --------------------------------------------
  bool IsHorizontal() const;
  int32_t PixelLength() const;
  int32_t CenterX() const { return static_cast<int32_t>((int64_t{x0_} + x1_) / 2); }
  platform::Point P0() const { return {x0_, y0_}; }
  platform::Point P1() const { return {x1_, y1_}; }
  void SetEndPoints(platform::Point p0, platform::Point p1);
  // The pixel of a value along the axis. A logarithmic axis maps values at or below
  // zero, and any value while its range reaches zero or below, far off the axis.
  int32_t ValueToPixelX(double value) const;
  int32_t ValueToPixelY(double value) const;
  // The value at a pixel; Minimum on an axis without length.
  double PixelToValue(int32_t x, int32_t y) const;

  // --- Range ---------------------------------------------------------------
  double GetMinimum() const { return minimum_; }
  double GetMaximum() const { return minimum_ + span_; }
  double Span() const { return span_; }
  // Clamped to 1e-100 .. 1e100 and by kind: an ordinal span of at least 1, a value
  // span of at least 0.001 (unless logarithmic), a time span of at least a second.
  void SetSpan(double value);
  // Clamped to -1e100 .. 1e100, at least 1e-100 on a logarithmic axis.
  void SetMinimum(double value);
  void SetMaximum(double value) { SetSpan(value - minimum_); }
  void SetMinimumKeepMaximum(double value);
  double StoredScale() const { return stored_scale_; }
  void SetStoredScale(double value);
  double TickStep() const { return tick_step_; }
  void SetTickStep(double value) { tick_step_ = value; }

  // --- Appearance ----------------------------------------------------------
  void SetColor(platform::Color value) override;
  platform::Color GetColor() const override;
  // Silver while greyed, else the line colour.
  platform::Color EffectiveColor() const;
  int32_t EffectiveLineWidth() const;
  int32_t LineWidth() const { return line_width_; }
  void SetLineWidth(int32_t width);
  platform::Color LineColor() const { return line_color_; }
  void SetLineColor(platform::Color color) { line_color_ = color; }
  TAxisKind Kind() const { return kind_; }
  void SetKind(TAxisKind kind) { kind_ = kind; }
  uint8_t DurationUnit() const { return duration_unit_; }
  bool DurationUnitSet() const { return duration_unit_set_; }
  void SetDurationUnit(uint8_t unit);
  void SetTitleSpace(int32_t space) { title_space_ = space; }
  int32_t TitleSpace() const { return title_space_; }
  const platform::Font& Font() const { return font_; }
  platform::Font& Font() { return font_; }
  platform::Canvas* Canvas() const { return canvas_; }
  void SetCanvas(platform::Canvas* canvas) { canvas_ = canvas; }
  // Tick lengths from the pen width and the width of "0" in the axis font.
  void RecomputeTickLengths();
  // The shared axis font's name and size.
  void ReloadDefaultFont();
  // The two messages an owner dispatches; false for any other.
  bool Dispatch(uint32_t message);

  uint8_t Options = 0x36;
  uint8_t DateLabels = 0;
  int32_t Spare = 0;  // copied only; written by series as their field 12
  uint8_t TimeFormat = 0;
  bool Greyed = false;
  bool ShowGrid = false;
  bool AlternateDayColors = true;
  uint8_t TickPosition = 0;
  bool Logarithmic = false;
  int32_t TickLength = 0;
  int32_t MinorTickLength = 0;
  uint8_t MinorTicks = 1;
  bool SpareFlag = false;  // copied only
  bool ShowTitle = false;
  bool ShowUnitLegend = false;
  bool Visible = true;
  Event OnDurationUnitChange;
  Event OnRangeChange;

  // --- Persistence and copies ----------------------------------------------
  void AssignTo(TPersistent& dest) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // Folding 5 or 6 by orientation.
  bool WriteTo(TVistaWriter& writer) override;

  // --- Drawing (AxisDrawing.cpp) -------------------------------------------
  // What lies under Point: a series by its legend box, or the axis itself.
  bool HitTest(const platform::Point& point, void* info) const override;
  // DrawAxis on the axis' own canvas in its colour.
  void Paint() override;
  // Draws the axis on Canvas in Color when Visible; Offset is accepted and not
  // applied.
  virtual void DrawAxis(platform::Canvas& canvas, platform::Color color, platform::Point offset);

 private:
  std::vector<TSerieObject*> series_;
  TAxisKind kind_ = akTime;
  int32_t line_width_ = 0;
  uint8_t duration_unit_ = 0;
  double span_ = 10.0;
  platform::Font font_;
  double tick_step_ = 4.0;
  double stored_scale_ = 110;
  double minimum_ = 0.0;
  platform::Color line_color_ = platform::kClBlack;
  platform::Canvas* canvas_ = nullptr;
  int32_t title_space_ = 0;
  int32_t x0_ = 0;
  int32_t y0_ = 0;
  int32_t x1_ = 0;
  int32_t y1_ = 0;
  bool duration_unit_set_ = false;
};
