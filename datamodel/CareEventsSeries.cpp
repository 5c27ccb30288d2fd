#include "datamodel/CareEventsSeries.h"

#include <algorithm>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/QORFunc.h"
#include "datamodel/Axis.h"
#include "datamodel/CareEvents.h"
#include "datamodel/CareEventsVisualizers.h"
#include "platform/format_text.h"
#include "platform/resources.h"

namespace {

// The hints of the category points: "\r\n", the series caption, the value's text
// and the X text.
constexpr platform::ResourceString SCategoryValueHint{"CareEvents.SCategoryValueHint",
                                                      "%1:s%0:sat %3:s%0:s%2:s"};
constexpr platform::ResourceString SCategorySetHint{"CareEvents.SCategorySetHint",
                                                    "%1:s %0:sat %3:s%2:s"};
constexpr platform::ResourceString SCategoryTextHint{"CareEvents.SCategoryTextHint",
                                                     "%1:s %0:sat %3:s%2:s"};

constexpr char kLineBreak[] = "\r\n";
// The dashed tail after the last point of a lasting category: five dashes of two
// pixels with three-pixel gaps, and the last value's mark past them.
constexpr int32_t kDashCount = 5;
constexpr int32_t kDashLength = 2;
constexpr int32_t kDashPitch = 5;
constexpr int32_t kTailMarkOffset = 15;

// The category of Series when it is a category series, with an event set whose
// captions the hints show; none otherwise.
const TCategory* HintCategory(const TSerieObject* series) {
  const auto* category_series = dynamic_cast<const TCategorySeries*>(series);
  if (!category_series) return nullptr;
  const TCategory* category = category_series->Category();
  return category && category->EventSet ? category : nullptr;
}

std::string Hint(const platform::ResourceString& format, const std::string& caption,
                 const std::string& value_text, const std::string& x_text) {
  return platform::Format(platform::LoadResString(format),
                          {kLineBreak, caption, value_text, x_text});
}

// What a point shows: one value, a set of values, or nothing but its dot.
struct Mark {
  const TCategoryPoint* value = nullptr;
  const TCompositeCategoryPoint* set = nullptr;
};

Mark MarkOf(const TXYPoint& point) {
  return {dynamic_cast<const TCategoryPoint*>(&point),
          dynamic_cast<const TCompositeCategoryPoint*>(&point)};
}

}  // namespace

// ---------------------------------------------------------------------------
// Category points

bool TCategoryValues::Empty() const {
  return std::all_of(bytes_.begin(), bytes_.end(), [](uint8_t b) { return b == 0; });
}

int32_t TCategoryPoint::Value() const {
  return RoundClamped(YValue);
}

void TCategoryPoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kCategoryPointRecord) {
    TTargetedPoint::ReadField(tag, reader);
    return;
  }
  ReadGroupRecord(reader, [&](int32_t) {
    ReadXYBody(reader);
    int32_t value;
    reader.ReadBuffer(&value, sizeof value);
    SetValue(value);
  });
}

std::unique_ptr<TObject> TCategoryPoint::CreateEmpty() const {
  return std::make_unique<TCategoryPoint>(0, 0);
}

std::unique_ptr<TXYPoint> TCategoryPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TCategoryPoint>(x, y);
}

std::string TCategoryPoint::GetHintText(const TSerieObject* series) const {
  const TCategory* category = HintCategory(series);
  if (!category) return TTargetedPoint::GetHintText(series);
  return Hint(SCategoryValueHint, HintCaption(series), *category->ValueCaption(Value()),
              GetXText(series));
}

void TCategoryPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  const int32_t value = Value();
  writer.WriteBuffer(&value, sizeof value);
}

void TCompositeCategoryPoint::AssignTo(TPersistent& dest) const {
  TTargetedPoint::AssignTo(dest);
  if (auto* point = dynamic_cast<TCompositeCategoryPoint*>(&dest)) point->Values = Values;
}

void TCompositeCategoryPoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kCompositeCategoryPointRecord) {
    TTargetedPoint::ReadField(tag, reader);
    return;
  }
  ReadGroupRecord(reader, [&](int32_t) {
    ReadXYBody(reader);
    reader.ReadBuffer(Values.Bytes().data(), TCategoryValues::kBytes);
  });
}

std::unique_ptr<TObject> TCompositeCategoryPoint::CreateEmpty() const {
  return std::make_unique<TCompositeCategoryPoint>(0, 0);
}

std::unique_ptr<TXYPoint> TCompositeCategoryPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TCompositeCategoryPoint>(x, y);
}

std::string TCompositeCategoryPoint::GetHintText(const TSerieObject* series) const {
  const TCategory* category = HintCategory(series);
  if (!category) return TTargetedPoint::GetHintText(series);
  std::string list;
  for (int32_t value = 0; value < 256; ++value)
    if (Values.Contains(value)) list += kLineBreak + *category->ValueCaption(value);
  return Hint(SCategorySetHint, HintCaption(series), list, GetXText(series));
}

void TCompositeCategoryPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  writer.WriteBuffer(Values.Bytes().data(), TCategoryValues::kBytes);
}

std::unique_ptr<TObject> TCustomCategoryPoint::CreateEmpty() const {
  return std::make_unique<TCustomCategoryPoint>(0, 0);
}

std::unique_ptr<TXYPoint> TCustomCategoryPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TCustomCategoryPoint>(x, y);
}

std::string TCustomCategoryPoint::GetHintText(const TSerieObject* series) const {
  if (!dynamic_cast<const TCategorySeries*>(series)) return TEventPoint::GetHintText(series);
  return Hint(SCategoryTextHint, HintCaption(series), Text(), GetXText(series));
}

// ---------------------------------------------------------------------------
// TCategorySeries

TCategorySeries::TCategorySeries(TQORDataSet* data_set) : TNoYAxisSeries(data_set) {}

TCategorySeries::~TCategorySeries() = default;

void TCategorySeries::SetCategory(TCategory* category) {
  category_ = category;
  if (kept_category_.get() != category) kept_category_.reset();
}

void TCategorySeries::AssignTo(TPersistent& dest) const {
  TNoYAxisSeries::AssignTo(dest);
  auto* series = dynamic_cast<TCategorySeries*>(&dest);
  if (!series || series == this) return;
  series->category_ = category_;
  series->kept_category_ = kept_category_;
}

bool TCategorySeries::ReadsOwnRecord(int32_t tag) const {
  return tag == kCategoryPointRecord || tag == kCompositeCategoryPointRecord ||
         tag == kCustomCategoryPointRecord || TNoYAxisSeries::ReadsOwnRecord(tag);
}

void TCategorySeries::ReadField(int32_t tag, TVistaReader& reader) {
  std::unique_ptr<TXYPoint> point;
  switch (tag) {
    case kCategoryPointRecord:
      point = std::make_unique<TCategoryPoint>(0, 0);
      point->ReadField(tag, reader);
      break;
    case kCompositeCategoryPointRecord:
      point = std::make_unique<TCompositeCategoryPoint>(0, 0);
      point->ReadField(tag, reader);
      break;
    case kCustomCategoryPointRecord:
      ReadGroupRecord(reader, [&](int32_t size) {
        double x;
        int32_t ordinal;
        reader.ReadBuffer(&x, sizeof x);
        reader.ReadBuffer(&ordinal, sizeof ordinal);
        // The text is a field of its own; a record that ends before a tag has none.
        constexpr int32_t kBeforeTag = 12;
        if (size - kBeforeTag < 4 || reader.ReadTag() != kEventTextField) return;
        auto text_point = std::make_unique<TCustomCategoryPoint>(x, 0, ordinal);
        text_point->SetText(reader.ReadStringField());
        point = std::move(text_point);
      });
      break;
    default:
      TNoYAxisSeries::ReadField(tag, reader);
      return;
  }
  // Added once its record has been read whole: a record shorter than its content
  // raises before the point is taken.
  if (point) AddPoint(std::move(point));
}

void TCategorySeries::WriteFields(TVistaWriter& writer) const {
  if (category_) category_->WriteTo(writer);
  TNoYAxisSeries::WriteFields(writer);
}

void TCategorySeries::QuickSaveFields(TVistaWriter& writer) const {
  TNoYAxisSeries::QuickSaveFields(writer);
  if (category_) category_->WriteTo(writer);
}

void TCategorySeries::AddSubObject(std::unique_ptr<TObject> object) {
  if (auto* point = dynamic_cast<TXYPoint*>(object.get())) {
    object.release();
    AddPoint(std::unique_ptr<TXYPoint>(point));
  } else if (auto* category = dynamic_cast<TCategory*>(object.get())) {
    object.release();
    kept_category_.reset(category);
    category_ = category;
  }
}

std::unique_ptr<TObject> TCategorySeries::CreateEmpty() const {
  return std::make_unique<TCategorySeries>(nullptr);
}

void TCategorySeries::PaintPoints(platform::Canvas& canvas, platform::Color) {
  TQORDataSet& data = DataSet();
  TAxis* x_axis = UseXAxis();
  if (!x_axis || data.PointCount() == 0) return;

  platform::Font font = canvas.font();
  font.name = "Arial";
  font.SetSizeInPoints(10, canvas.PixelsPerInch());
  canvas.SetFont(font);
  const platform::Size a = canvas.TextExtent("A");
  const int32_t font_height = static_cast<int32_t>((int64_t{a.cx} + a.cy) / 2);

  int32_t first;
  int32_t last;
  VisibleIndexRange(x_axis->GetMinimum(), x_axis->GetMaximum(), first, last);
  first = std::max(first - 1, 0);
  last = std::min(last + 1, data.PointCount() - 1);

  // The arrow heads' size, from the band's height.
  const int32_t arrow = MovePixel((int64_t{Band.bottom} - Band.top) * 3 / 8, 0);
  const platform::Color color = GetColor();
  const bool momentary = category_ && category_->Momentary;
  const TAbstractCategoryVisualizer* visualizer = category_ ? category_->Visualizer : nullptr;
  const platform::Rect& clip = ClipRect();

  const auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    DrawClippedLine(canvas, x1, y1, x2, y2, clip, 0, 0);
  };
  // A dot, and the value (or each value of the set, side by side) as the
  // visualizer draws it.
  const auto draw_mark = [&](const Mark& mark, int32_t x, int32_t y) {
    canvas.SetPenColor(color);
    canvas.Ellipse({MovePixel(x, -1), MovePixel(y, -1), MovePixel(x, 1), MovePixel(y, 1)});
    if (!visualizer) return;
    if (mark.set) {
      for (int32_t value = 0; value < 256; ++value) {
        if (!mark.set->Values.Contains(value)) continue;
        visualizer->Draw(value, canvas, x, y, font_height, color);
        x = MovePixel(x, font_height);
      }
    } else if (mark.value) {
      visualizer->Draw(mark.value->Value(), canvas, x, y, font_height, color);
    }
  };

  const TXYPoint& start = *data.GetPoint(first);
  const platform::Point start_pixel = ValueToPixel(start.YValue, start.XValue, start.OrdinalNo);
  const int32_t y = start_pixel.y;
  Mark previous = MarkOf(start);
  int32_t previous_x = start_pixel.x;
  for (int32_t i = first + 1; i <= last; ++i) {
    const TXYPoint& point = *data.GetPoint(i);
    const int32_t x = ValueToPixel(point.YValue, point.XValue, point.OrdinalNo).x;
    if (momentary) {
      draw_mark(previous, previous_x, y);
    } else {
      // Each later segment starts past the previous one's arrow head.
      if (i > first + 1) previous_x = MovePixel(previous_x, arrow / 3);
      canvas.SetPenColor(color);
      canvas.SetPenWidth(1);
      const auto middle = static_cast<int32_t>((int64_t{previous_x} + x) / 2);
      const int32_t tip = MovePixel(x, -1);
      const int32_t back = MovePixel(x, -int64_t{arrow});
      line(previous_x, y, middle, y);
      line(middle, y, tip, y);
      line(tip, y, back, MovePixel(y, arrow));
      line(tip, y, back, MovePixel(y, -int64_t{arrow}));
      draw_mark(previous, middle, y);
    }
    previous = MarkOf(point);
    previous_x = x;
  }

  if (momentary) {
    draw_mark(previous, previous_x, y);
    return;
  }
  canvas.SetPenColor(color);
  canvas.SetPenWidth(1);
  for (int32_t dash = 0; dash < kDashCount; ++dash) {
    const int32_t from = MovePixel(previous_x, int64_t{dash} * kDashPitch);
    line(from, y, MovePixel(from, kDashLength), y);
  }
  draw_mark(previous, MovePixel(previous_x, kTailMarkOffset), y);
}
