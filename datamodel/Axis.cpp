#include "datamodel/Axis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/QORFunc.h"
#include "datamodel/GraphicsSettings.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_CObject.h"
#include "platform/exception.h"

namespace {

struct AxisUnit {
  int32_t pen_width = 1;
  int32_t pen_width_tenth_mm = 3;
  double stored_scale_default = 110;
};

AxisUnit& Unit() {
  static AxisUnit unit;
  return unit;
}

constexpr double kOneSecond = 1.0 / 86400;
constexpr double kLargest = 1e100;
constexpr double kSmallest = 1e-100;
constexpr int32_t kFarOff = std::numeric_limits<int32_t>::max();

}  // namespace

int32_t AxisPenWidth() {
  return Unit().pen_width;
}

int32_t AxisPenWidthTenthMm() {
  return Unit().pen_width_tenth_mm;
}

double AxisStoredScaleDefault() {
  return Unit().stored_scale_default;
}

void UpdateAxisPenWidth(int pixels_per_inch) {
  const int32_t width = (pixels_per_inch * 1000 / 254) * Unit().pen_width_tenth_mm / 1000;
  Unit().pen_width = std::max(width, 1);
}

void InitAxisUnit() {
  static const bool done = [] {
    Unit().stored_scale_default = 110;
    Unit().pen_width = 1;
    Unit().pen_width_tenth_mm = 3;
    UpdateAxisPenWidth();
    return true;
  }();
  (void)done;
}

// ---------------------------------------------------------------------------
// Life and series

TAxis::TAxis(platform::Canvas* canvas, platform::Point p0, platform::Point p1)
    : canvas_(canvas), x0_(p0.x), y0_(p0.y), x1_(p1.x), y1_(p1.y) {
  ReloadDefaultFont();
  Visible = true;
  if (IsHorizontal()) {
    TickPosition = 4;
    TimeFormat = 2;
    DateLabels = 2;
    ShowTitle = false;
  } else {
    TickPosition = 0;
    TimeFormat = 0;
    DateLabels = 0;
    ShowTitle = true;
  }
  RecomputeTickLengths();
  stored_scale_ = AxisStoredScaleDefault();
  minimum_ = 0.0;
  span_ = 10.0;
  tick_step_ = 4.0;
  MinorTicks = 1;
  Options = 0x36;
  AlternateDayColors = true;
}

TAxis::~TAxis() {
  // Series outlive their axes in some owners' lists; they must not call back.
  const std::vector<TSerieObject*> series = std::move(series_);
  for (TSerieObject* serie : series)
    serie->ForgetAxis(this);
}

void TAxis::AddSerie(TObject* series) {
  auto* serie = dynamic_cast<TSerieObject*>(series);
  if (!serie) throw Exception("Exception:Not a TSerieObject. kljsad8nd8");
  series_.push_back(serie);
  UpdateColorFromSeries();
}

void TAxis::RemoveSerie(TObject* series) {
  const auto it = std::find(series_.begin(), series_.end(), series);
  if (it != series_.end()) series_.erase(it);
  UpdateColorFromSeries();
}

void TAxis::UpdateColorFromSeries() {
  if (!IsHorizontal() && !series_.empty()) SetColor(series_.front()->GetColor());
}

// ---------------------------------------------------------------------------
// Geometry

bool TAxis::IsHorizontal() const {
  return std::llabs(int64_t{x0_} - x1_) > std::llabs(int64_t{y0_} - y1_);
}

int32_t TAxis::PixelLength() const {
  const double dx = static_cast<double>(int64_t{x1_} - x0_);
  const double dy = static_cast<double>(int64_t{y1_} - y0_);
  return RoundClamped(std::sqrt(dx * dx + dy * dy));
}

void TAxis::SetEndPoints(platform::Point p0, platform::Point p1) {
  x0_ = p0.x;
  y0_ = p0.y;
  x1_ = p1.x;
  y1_ = p1.y;
}

int32_t TAxis::ValueToPixelX(double value) const {
  const long double x0 = x0_;
  const long double dx = static_cast<long double>(x1_) - x0_;
  if (!Logarithmic) return RoundClamped(x0 + (value - minimum_) / span_ * dx);
  const double top = minimum_ + span_;
  // A range that reaches zero has no logarithm: the value is placed far off.
  if (value <= 0 || minimum_ <= 0 || top <= 0 || top == minimum_ || std::isnan(value))
    return kFarOff;
  return RoundClamped(x0 + std::log(static_cast<long double>(value) / minimum_) * dx /
                               std::log(static_cast<long double>(top) / minimum_));
}

int32_t TAxis::ValueToPixelY(double value) const {
  const long double y0 = y0_;
  const long double dy = static_cast<long double>(y1_) - y0_;
  if (!Logarithmic) return RoundClamped(y0 + (value - minimum_) / span_ * dy);
  const double top = minimum_ + span_;
  if (value > 0 && top > 0 && minimum_ > 0 && top != minimum_) {
    return RoundClamped(y0 + (std::log(static_cast<long double>(value)) - std::log(minimum_)) * dy /
                                 (std::log(static_cast<long double>(top)) - std::log(minimum_)));
  }
  return RoundClamped(2147483647.0L);
}

double TAxis::PixelToValue(int32_t x, int32_t y) const {
  const int32_t length = PixelLength();
  if (length == 0) return minimum_;
  const double top = minimum_ + span_;
  if (Logarithmic && minimum_ > 0 && top > 0) {
    const double t = IsHorizontal() ? static_cast<double>(int64_t{x} - x0_) / length
                                    : static_cast<double>(int64_t{y0_} - y) / length;
    return std::exp(std::log(minimum_) + (std::log(top) - std::log(minimum_)) * t);
  }
  int64_t d;
  if (IsHorizontal()) {
    d = x0_ < x1_ ? int64_t{x} - x0_ : int64_t{x0_} - x;
  } else {
    d = y1_ < y0_ ? int64_t{y0_} - y : int64_t{y} - y0_;
  }
  return minimum_ + span_ * static_cast<double>(d) / length;
}

// ---------------------------------------------------------------------------
// Range

void TAxis::SetSpan(double value) {
  if (value == span_ || std::isnan(value)) return;
  value = std::clamp(value, kSmallest, kLargest);
  switch (kind_) {
    case akOrdinal:
      span_ = value > 1.0 ? value : 1.0;
      break;
    case akValue:
      span_ = value < 0.001 && !Logarithmic ? 0.001 : value;
      break;
    default:
      span_ = value <= kOneSecond ? kOneSecond : value;
      break;
  }
  if (OnRangeChange) OnRangeChange(*this);
}

void TAxis::SetMinimum(double value) {
  if (value == minimum_ || std::isnan(value)) return;
  value = std::clamp(value, -kLargest, kLargest);
  if (Logarithmic && value < kSmallest) value = kSmallest;
  minimum_ = value;
  if (OnRangeChange) OnRangeChange(*this);
}

void TAxis::SetMinimumKeepMaximum(double value) {
  const double maximum = GetMaximum();
  SetMinimum(value);
  SetSpan(maximum - value);
}

void TAxis::SetStoredScale(double value) {
  if (value == stored_scale_ || std::isnan(value)) return;
  stored_scale_ = std::clamp(value, 0.001, 1000000.0);
}

// ---------------------------------------------------------------------------
// Appearance

void TAxis::SetColor(platform::Color value) {
  TGlyph::SetColor(value);
  line_color_ = value;
  font_.color = value;
}

platform::Color TAxis::GetColor() const {
  return Greyed ? platform::kClSilver : color_;
}

platform::Color TAxis::EffectiveColor() const {
  return Greyed ? platform::kClSilver : line_color_;
}

int32_t TAxis::EffectiveLineWidth() const {
  return line_width_ > 0 ? line_width_ : AxisPenWidth();
}

void TAxis::SetLineWidth(int32_t width) {
  line_width_ = width;
  RecomputeTickLengths();
}

void TAxis::SetDurationUnit(uint8_t unit) {
  duration_unit_ = unit;
  duration_unit_set_ = true;
  if (OnDurationUnitChange) OnDurationUnitChange(*this);
}

void TAxis::RecomputeTickLengths() {
  // A line width from a file may be of any size.
  const int64_t pen = EffectiveLineWidth();
  if (canvas_) {
    canvas_->SetFont(font_);
    const int64_t w = canvas_->TextWidth("0");
    MinorTickLength = MovePixel(pen, w / 2);
    TickLength = MovePixel(pen, w);
  } else {
    MinorTickLength = MovePixel(2 * pen, 0);
    TickLength = MovePixel(3 * pen, 0);
  }
}

void TAxis::ReloadDefaultFont() {
  font_.name = AxisFontName();
  font_.SetSizeInPoints(AxisFontSize(), canvas_ ? canvas_->PixelsPerInch() : 96);
}

bool TAxis::Dispatch(uint32_t message) {
  if (message == kAxisReloadDefaultFontMessage) {
    ReloadDefaultFont();
    return true;
  }
  if (message == kAxisRecomputeTickLengthsMessage) {
    RecomputeTickLengths();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Persistence and copies

void TAxis::AssignTo(TPersistent& dest) const {
  if (auto* axis = dynamic_cast<TAxis*>(&dest); axis && axis != this) {
    axis->kind_ = kind_;
    axis->DateLabels = DateLabels;
    axis->TimeFormat = TimeFormat;
    axis->ShowGrid = ShowGrid;
    axis->font_ = font_;
    axis->SetSpan(span_);
    axis->tick_step_ = tick_step_;
    axis->Spare = Spare;
    axis->SpareFlag = SpareFlag;
    axis->MinorTicks = MinorTicks;
    axis->SetMinimum(minimum_);
    axis->line_color_ = EffectiveColor();
    axis->SetLineWidth(line_width_);
    axis->TickPosition = TickPosition;
    axis->ShowTitle = ShowTitle;
    axis->title_space_ = title_space_;
    axis->SetEndPoints(P0(), P1());
    axis->duration_unit_ = duration_unit_;
    axis->duration_unit_set_ = duration_unit_set_;
    axis->ShowUnitLegend = ShowUnitLegend;
    axis->TickLength = TickLength;
    axis->MinorTickLength = MinorTickLength;
    axis->AlternateDayColors = AlternateDayColors;
    axis->Options = Options;
    axis->stored_scale_ = stored_scale_;
    axis->Logarithmic = Logarithmic;
  }
  TGlyph::AssignTo(dest);
}

void TAxis::ReadField(int32_t tag, TVistaReader& reader) {
  const auto byte_of = [&reader] { return static_cast<uint8_t>(reader.ReadIntegerField()); };
  switch (tag) {
    case record_tag::kAxisLogarithmic:
      Logarithmic = reader.ReadByteField() != 0;
      return;
    case record_tag::kAxisStoredScale:
      SetStoredScale(reader.ReadDoubleField());
      return;
    case record_tag::kAxisX0:
      x0_ = reader.ReadIntegerField();
      return;
    case record_tag::kAxisY0:
      y0_ = reader.ReadIntegerField();
      return;
    case record_tag::kAxisX1:
      x1_ = reader.ReadIntegerField();
      return;
    case record_tag::kAxisY1:
      y1_ = reader.ReadIntegerField();
      return;
    case record_tag::kAxisSpan:
      SetSpan(reader.ReadDoubleField());
      return;
    case record_tag::kAxisMinimum:
      SetMinimum(reader.ReadDoubleField());
      return;
    case record_tag::kAxisTickStep:
      tick_step_ = reader.ReadDoubleField();
      return;
    case record_tag::kAxisLineColor:
      line_color_ = static_cast<platform::Color>(reader.ReadIntegerField());
      return;
    case record_tag::kAxisFontColor:
      font_.color = static_cast<platform::Color>(reader.ReadIntegerField());
      return;
    case record_tag::kAxisMinimumKeepMaximum:
      SetMinimumKeepMaximum(reader.ReadDoubleField());
      return;
    case record_tag::kAxisMaximum:
      SetMaximum(reader.ReadDoubleField());
      return;
    case record_tag::kAxisLineWidth:
      SetLineWidth(reader.ReadIntegerField());
      return;
    case record_tag::kAxisTickLength:
      TickLength = reader.ReadIntegerField();
      return;
    case record_tag::kAxisMinorTickLength:
      MinorTickLength = reader.ReadIntegerField();
      return;
    case record_tag::kAxisDateLabels:
      DateLabels = byte_of();
      return;
    case record_tag::kAxisTimeFormat:
      TimeFormat = byte_of();
      return;
    case record_tag::kAxisTickPosition:
      TickPosition = byte_of();
      return;
    case record_tag::kAxisKind: {
      // A kind this program does not know leaves the axis as it was.
      const int32_t kind = reader.ReadIntegerField();
      if (kind >= akTime && kind <= akDuration) kind_ = static_cast<TAxisKind>(kind);
      return;
    }
    case record_tag::kAxisDurationUnit:
      SetDurationUnit(byte_of());
      return;
    case record_tag::kAxisShowTitle:
      ShowTitle = reader.ReadByteField() != 0;
      return;
    default:
      break;
  }
  if (tag >= record_tag::kAxisOptionFirst && tag < record_tag::kAxisOptionFirst + 5) {
    const uint8_t bit = static_cast<uint8_t>(0x02 << (tag - record_tag::kAxisOptionFirst));
    if (reader.ReadByteField() != 0) {
      Options |= bit;
    } else {
      Options &= static_cast<uint8_t>(~bit);
    }
    return;
  }
  TGlyph::ReadField(tag, reader);
}

bool TAxis::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(IsHorizontal() ? kHorizontalAxisRecord : kVerticalAxisRecord);
  writer.WriteByteField(record_tag::kAxisLogarithmic, Logarithmic ? 1 : 0);
  writer.WriteDoubleField(record_tag::kAxisStoredScale, stored_scale_);
  writer.WriteIntegerField(record_tag::kAxisX0, x0_);
  writer.WriteIntegerField(record_tag::kAxisY0, y0_);
  writer.WriteIntegerField(record_tag::kAxisX1, x1_);
  writer.WriteIntegerField(record_tag::kAxisY1, y1_);
  writer.WriteDoubleField(record_tag::kAxisSpan, span_);
  writer.WriteDoubleField(record_tag::kAxisMinimum, minimum_);
  writer.WriteDoubleField(record_tag::kAxisTickStep, tick_step_);
  writer.WriteIntegerField(record_tag::kAxisColor, static_cast<int32_t>(GetColor()));
  writer.WriteIntegerField(record_tag::kAxisLineColor, static_cast<int32_t>(EffectiveColor()));
  writer.WriteIntegerField(record_tag::kAxisFontColor, static_cast<int32_t>(font_.color));
  writer.WriteDoubleField(record_tag::kAxisMinimumKeepMaximum, minimum_);
  writer.WriteDoubleField(record_tag::kAxisMaximum, GetMaximum());
  writer.WriteIntegerField(record_tag::kAxisLineWidth, line_width_);
  for (int32_t i = 0; i < 5; ++i) {
    const uint8_t bit = static_cast<uint8_t>(0x02 << i);
    writer.WriteByteField(record_tag::kAxisOptionFirst + i, (Options & bit) ? 1 : 0);
  }
  writer.WriteIntegerField(record_tag::kAxisTickLength, TickLength);
  writer.WriteIntegerField(record_tag::kAxisMinorTickLength, MinorTickLength);
  writer.WriteIntegerField(record_tag::kAxisDateLabels, DateLabels);
  writer.WriteIntegerField(record_tag::kAxisTimeFormat, TimeFormat);
  writer.WriteIntegerField(record_tag::kAxisTickPosition, TickPosition);
  writer.WriteIntegerField(record_tag::kAxisKind, kind_);
  writer.WriteIntegerField(record_tag::kAxisDurationUnit, duration_unit_);
  writer.WriteByteField(record_tag::kAxisShowTitle, ShowTitle ? 1 : 0);
  return writer.EndFolding();
}
