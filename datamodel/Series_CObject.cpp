#include "datamodel/Series_CObject.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <typeinfo>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/QORFunc.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/Duration.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "platform/date_time_format.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/format_text.h"
#include "platform/random.h"

namespace {

constexpr char kLineBreak[] = "\r\n";
constexpr int32_t kRandomColorBound = 0xFFFFFF;  // colours 0 .. 0xFFFFFE
constexpr int32_t kHitHalfSize = 3;
// Records of the point block are read this many bytes at a time.
constexpr int64_t kBlockChunkBytes = 64 * 1024;
// Records longer than this are read one by one, their rest skipped.
constexpr int32_t kLongBlockRecord = 256;

int32_t& PenWidth() {
  static int32_t width = 1;
  return width;
}

std::vector<const TSerieClass*>& Registry() {
  static std::vector<const TSerieClass*> classes;
  return classes;
}

bool Contains(const platform::Rect& rect, platform::Point point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

std::string Res(const platform::ResourceString& resource) {
  return platform::LoadResString(resource);
}

// The plain markers drawn so far in the pixel column of the last one. A dense series
// puts many points on one pixel, and a marker drawn again where the same marker is
// changes nothing on the surface.
class MarkerSieve {
 public:
  explicit MarkerSieve(const platform::Rect& clip)
      : clip_(clip),
        rows_(clip.Height() > 0 && clip.Height() <= kMarkerSieveMostRows ? clip.Height() : 0) {}
  // False for a pixel of the current column that has had its marker; true for any
  // other (outside the clip the drawing decides).
  bool FirstAt(platform::Point pixel) {
    if (rows_.empty() || !Contains(clip_, pixel)) return true;
    if (pixel.x != column_ || stamp_ == 0) {
      column_ = pixel.x;
      ++stamp_;
    }
    uint32_t& row = rows_[static_cast<size_t>(int64_t{pixel.y} - clip_.top)];
    if (row == stamp_) return false;
    row = stamp_;
    return true;
  }

 private:
  platform::Rect clip_;
  std::vector<uint32_t> rows_;
  int32_t column_ = 0;
  uint32_t stamp_ = 0;
};

// The "POINTER" bitmap: an arrow pointing up at the synchronisation point, '#'
// in the arrow's colour, '.' in the background.
constexpr const char* kPointerRows[] = {
    ".....#.....", "....###....", "...#####...", "..#######..", ".#########.",
    "###########", "....###....", "....###....", "....###....", "....###....",
    "....###....", "....###....", "....###....", "....###....", "....###....",
    "....###....", "....###....", "....###....", "....###....",
};

}  // namespace

// ---------------------------------------------------------------------------
// Pen width, bitmap and arrow

int32_t SeriesPenWidth() {
  return PenWidth();
}

void UpdateSeriesPenWidth(int pixels_per_inch) {
  constexpr int32_t kTenthMm = 3;
  PenWidth() = std::max(1, (pixels_per_inch * 1000 / 254) * kTenthMm / 1000);
}

void TPixelImage::Draw(platform::Canvas& canvas, int32_t x, int32_t y) const {
  const platform::Brush brush = canvas.brush();
  canvas.SetBrushStyle(platform::BrushStyle::kSolid);
  for (int32_t row = 0; row < height; ++row) {
    int32_t column = 0;
    while (column < width) {
      const platform::Color color = Pixel(column, row);
      int32_t end = column + 1;
      while (end < width && Pixel(end, row) == color)
        ++end;
      if (!transparent || color != transparent_color) {
        canvas.SetBrushColor(color);
        canvas.FillRect(platform::Rect{MovePixel(x, column), MovePixel(y, row), MovePixel(x, end),
                                       MovePixel(y, row + 1)});
      }
      column = end;
    }
  }
  canvas.SetBrush(brush);
}

const TPixelImage& PointerBitmap() {
  static const TPixelImage image = [] {
    TPixelImage picture;
    picture.width = static_cast<int32_t>(std::strlen(kPointerRows[0]));
    picture.height = static_cast<int32_t>(std::size(kPointerRows));
    for (const char* row : kPointerRows) {
      for (const char* c = row; *c; ++c)
        picture.pixels.push_back(*c == '#' ? platform::kClBlack : platform::kClWhite);
    }
    return picture;
  }();
  return image;
}

TSyncDisplayedArrow::TSyncDisplayedArrow(platform::Color color) {
  SetColor(color);
}

void TSyncDisplayedArrow::SetColor(platform::Color color) {
  color_ = color;
  const TPixelImage& source = PointerBitmap();
  picture_ = source;
  picture_.width = 11;
  picture_.height = 19;
  const platform::Color arrow = source.Pixel(5, 5);
  for (platform::Color& pixel : picture_.pixels) {
    if (pixel == arrow) pixel = color;
  }
  picture_.transparent = true;
  picture_.transparent_color = picture_.Pixel(0, 0);
}

// ---------------------------------------------------------------------------
// Life

TSerieObject::TSerieObject(TQORDataSet* data_set) {
  if (data_set) {
    SetDataSet(data_set);
  } else {
    SetDataSet(MakeDataSet<TQORDataSet>().get());
  }
  style_ = record_tag::kSeriesStyleDefault;
  SetColor(static_cast<platform::Color>(platform::Random().Below(kRandomColorBound)));
}

TSerieObject::~TSerieObject() {
  arrow_.reset();
  SetUseXAxis(nullptr);
  SetUseYAxis(nullptr);
}

std::string TSerieObject::Caption() const {
  return data_set_->Name();
}

void TSerieObject::SetCaption(std::string_view caption) {
  data_set_->SetName(caption);
}

void TSerieObject::SetDataSet(TQORDataSet* data_set) {
  if (!data_set) return;
  // The new reference first, so that sharing the present data set again cannot
  // free it on the way.
  data_set_ = TDataSetRef(data_set);
}

double TSerieObject::MaxX() const {
  return DataXToAxisX(data_set_->GetMaxX());
}

double TSerieObject::MinX() const {
  return DataXToAxisX(data_set_->GetMinX());
}

void TSerieObject::Reattach(TAxis*& slot, TAxis* axis) {
  if (slot) {
    // Leaving the old axis must not keep the series from the new one.
    try {
      slot->RemoveSerie(this);
    } catch (...) {
    }
  }
  slot = axis;
  if (axis) axis->AddSerie(this);
}

void TSerieObject::SetUseXAxis(TAxis* axis) {
  Reattach(use_x_axis_, axis);
  if (axis) SetXKind(axis->Kind());
}

void TSerieObject::SetUseYAxis(TAxis* axis) {
  Reattach(use_y_axis_, axis);
}

void TSerieObject::ForgetAxis(const TAxis* axis) {
  if (use_x_axis_ == axis) use_x_axis_ = nullptr;
  if (use_y_axis_ == axis) use_y_axis_ = nullptr;
}

void TSerieObject::SetPlotRect(const platform::Rect& rect) {
  plot_rect_ = rect;
  clip_rect_ = rect;
}

void TSerieObject::SetPointSize(int32_t size) {
  point_size_ = std::max(size, 1);
}

void TSerieObject::SetSyncMode(uint8_t mode) {
  if (mode == sync_mode_) return;
  TQORDataSet& data = *data_set_;
  if (mode != 0 && data.PointCount() > 0 && !data.SyncTimeSet()) {
    data.SetSyncTime(data.GetMinX());
    data.SetSyncOrdinal(0);
    data.SetSyncTimeSet(true);
  }
  sync_mode_ = mode;
  if (mode != 0) {
    if (!arrow_) arrow_ = std::make_unique<TSyncDisplayedArrow>(GetColor());
    arrow_->Position = SyncReference();
  } else {
    arrow_.reset();
  }
}

void TSerieObject::SetXKind(TAxisKind kind) {
  x_kind_ = kind;
  const bool by_ordinal = kind == akOrdinal;
  if (by_ordinal != data_set_->ByOrdinal()) {
    data_set_->SetByOrdinal(by_ordinal);
    data_set_->Sort();
  }
}

void TSerieObject::SetColor(platform::Color value) {
  TGlyph::SetColor(value);
  if (arrow_) arrow_->SetColor(value);
  if (use_y_axis_) use_y_axis_->UpdateColorFromSeries();
}

TXYPoint* TSerieObject::AddPoint(std::unique_ptr<TXYPoint> point, bool special) {
  if (special) {
    TXYPoint* added = point.get();
    data_set_->AddSpecialPoint(std::move(point));
    return added;
  }
  return data_set_->AddPoint(std::move(point));
}

std::unique_ptr<TXYPoint> TSerieObject::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TXYPoint>(x, y, ordinal);
}

// ---------------------------------------------------------------------------
// Conversions

double TSerieObject::PointKey(const TXYPoint& point) const {
  return x_kind_ == akOrdinal ? static_cast<double>(point.OrdinalNo) : point.XValue;
}

double TSerieObject::SyncReference() const {
  return x_kind_ == akOrdinal ? static_cast<double>(data_set_->SyncOrdinal())
                              : data_set_->SyncTime();
}

double TSerieObject::DataXToAxisX(double x) const {
  const double offset = data_set_->XOffset();
  if (sync_mode_ != 0 || (x_kind_ == akDuration && (data_set_->Options1() & 1)))
    return RoundDateTimeToMs(x - SyncReference() + offset);
  if (x_kind_ == akValue || x_kind_ == akOrdinal) return x + offset;
  return RoundDateTimeToMs(x + offset);
}

double TSerieObject::AxisXToDataX(double x) const {
  const double offset = data_set_->XOffset();
  if (sync_mode_ != 0 || (x_kind_ == akDuration && (data_set_->Options1() & 1)))
    return RoundDateTimeToMs(x + SyncReference() - offset);
  if (x_kind_ == akValue || x_kind_ == akOrdinal) return x - offset;
  return RoundDateTimeToMs(x - offset);
}

platform::Point TSerieObject::ValueToPixel(double y, double x, int32_t ordinal) const {
  const TQORDataSet& data = *data_set_;
  const double offset = data.XOffset();
  double value;
  if (x_kind_ == akOrdinal) {
    value = static_cast<double>(RoundClamped(offset)) + ordinal;
    if (sync_mode_ != 0) value -= data.SyncOrdinal();
  } else if (x_kind_ == akValue) {
    value = (sync_mode_ != 0 ? x - SyncReference() : x) + offset;
  } else if (sync_mode_ != 0 || (x_kind_ == akDuration && (data.Options1() & 1))) {
    value = x - SyncReference() + offset;
  } else {
    value = x + offset;
  }
  platform::Point pixel;
  if (use_x_axis_) pixel.x = use_x_axis_->ValueToPixelX(value);
  if (use_y_axis_) pixel.y = use_y_axis_->ValueToPixelY(y + data.YOffset());
  return pixel;
}

double TSerieObject::GetMaxY() const {
  return data_set_->MaxY() + data_set_->YOffset();
}

double TSerieObject::GetMinY() const {
  return data_set_->MinY() + data_set_->YOffset();
}

double TSerieObject::YValueOf(const TXYPoint& point) const {
  return point.YValue + data_set_->YOffset();
}

void TSerieObject::SetYValueOf(TXYPoint& point, double value) const {
  point.YValue = value - data_set_->YOffset();
}

std::string TSerieObject::SerieAxisTitle(const TAxis* axis) const {
  if (axis && axis == use_x_axis_) return data_set_->GetXTitle();
  if (axis && axis == use_y_axis_) return data_set_->GetYTitle();
  return {};
}

std::string TSerieObject::SerieAxisUnit(const TAxis* axis) const {
  if (axis && axis == use_x_axis_) return data_set_->GetXUnit();
  if (axis && axis == use_y_axis_) return data_set_->GetYUnit();
  return {};
}

// ---------------------------------------------------------------------------
// Lookups

bool TSerieObject::Locate(double axis_x, TSerieLocation& location) const {
  location = TSerieLocation{};
  TQORDataSet& data = *data_set_;
  const int32_t count = data.PointCount();
  if (count == 0 || data.Unsorted()) return false;
  data.EnsureSorted();
  const auto& points = data.Points();
  const double v = AxisXToDataX(axis_x);
  if (v <= PointKey(*points.front())) {
    location.after = points.front().get();
    location.after_index = 0;
    return true;
  }
  if (v >= PointKey(*points.back())) {
    location.before = points.back().get();
    location.before_index = count - 1;
    return true;
  }
  int32_t a = 0;
  int32_t b = count - 1;
  while (b - a > 1) {
    const int32_t c = a + (b - a) / 2;
    const double key = PointKey(*points[static_cast<size_t>(c)]);
    if (key > v) {
      b = c;
    } else if (key < v) {
      a = c;
    } else {
      a = b = c;
    }
  }
  location.before = points[static_cast<size_t>(a)].get();
  location.before_index = a;
  location.after = points[static_cast<size_t>(b)].get();
  location.after_index = b;
  return true;
}

TXYPoint* TSerieObject::NearestPoint(double axis_x, int32_t& index) const {
  TSerieLocation location;
  index = -1;
  if (!Locate(axis_x, location)) return nullptr;
  if (location.before && location.after) {
    const double v = AxisXToDataX(axis_x);
    const double to_before = v - PointKey(*location.before);
    const double to_after = PointKey(*location.after) - v;
    if (to_after <= to_before) {
      index = location.after_index;
      return location.after;
    }
    index = location.before_index;
    return location.before;
  }
  // One neighbour: the value lies before the first point or past the last. It is
  // that point when the value is on it, and in a series of one point.
  TXYPoint* only = location.before ? location.before : location.after;
  index = location.before ? location.before_index : 0;
  if (data_set_->PointCount() == 1 || PointKey(*only) == AxisXToDataX(axis_x)) return only;
  return nullptr;
}

double TSerieObject::ValueAt(bool raw, bool& interpolated, bool& found, double axis_x) {
  int32_t index;
  const TXYPoint* point = NearestPoint(axis_x, index);
  interpolated = false;
  found = point != nullptr;
  if (!point) return 0;
  return raw ? point->YValue : YValueOf(*point);
}

bool TSerieObject::AreaBetween(double, double, double& area) {
  area = 0;
  return false;
}

std::string TSerieObject::GetReadout(double) {
  return {};
}

void TSerieObject::VisibleIndexRange(double from, double to, int32_t& first, int32_t& last) const {
  const TQORDataSet& data = *data_set_;
  if (data.Unsorted()) {
    first = 0;
    last = data.PointCount() - 1;
    return;
  }
  TSerieLocation location;
  Locate(from, location);
  first = location.after ? location.after_index : 0;
  Locate(to, location);
  last = location.before ? location.before_index : 0;
}

// ---------------------------------------------------------------------------
// Painting and hit tests

void TSerieObject::Paint() {
  if (!use_canvas_) return;
  const platform::Rect canvas_clip = use_canvas_->ClipRect().value_or(plot_rect_);
  platform::Rect inside;
  if (platform::IntersectRect(inside, canvas_clip, plot_rect_)) {
    clip_rect_ = inside;
    // A series that cannot be painted must not take the window with it.
    try {
      PaintPoints(*use_canvas_, dimmed_ ? platform::kClSilver : GetColor());
    } catch (...) {
    }
  }
  clip_rect_ = plot_rect_;
}

void TSerieObject::DrawPoint(platform::Canvas& canvas, const TXYPoint& point, int32_t size) const {
  DrawPointAt(canvas, point, size, ValueToPixel(point.YValue, point.XValue, point.OrdinalNo));
}

TSerieObject::MarkKind TSerieObject::MarkKindOf(const TXYPoint& point) {
  // Nearly every point of a plot is a plain TXYPoint, told by its exact class: the
  // casts that tell the others apart would cost more than the rest of its marker.
  if (typeid(point) == typeid(TXYPoint)) return MarkKind::kMarker;
  if (dynamic_cast<const TEventPoint*>(&point)) return MarkKind::kArrowHead;
  if (dynamic_cast<const TInfinitePoint*>(&point)) return MarkKind::kInfinite;
  return MarkKind::kMarker;
}

void TSerieObject::DrawPointAt(platform::Canvas& canvas, const TXYPoint& point, int32_t size,
                               platform::Point pixel) const {
  DrawMarkAt(canvas, MarkKindOf(point), size, pixel);
}

void TSerieObject::DrawMarkAt(platform::Canvas& canvas, MarkKind mark, int32_t size,
                              platform::Point pixel) const {
  if (mark != MarkKind::kInfinite && !Contains(clip_rect_, pixel)) return;
  if (mark == MarkKind::kArrowHead) {
    DrawArrowHead(canvas, pixel.x, pixel.y, MovePixel(2 * int64_t{size}, 0));
  } else if (mark == MarkKind::kInfinite) {
    DrawPointMarker(point_marker_, canvas, pixel.x, pixel.y, size);
    DrawClippedLine(canvas, pixel.x, 32766, pixel.x, -32766, clip_rect_, 0, 0);
  } else {
    DrawPointMarker(point_marker_, canvas, pixel.x, pixel.y, size);
  }
}

platform::Point TSerieObject::ArrowAnchor() const {
  const double position = arrow_ ? arrow_->Position : SyncReference();
  TQORDataSet& data = *data_set_;
  double y = 1.0;
  if (data.PointCount() > 0) {
    data.EnsureSorted();
    const auto& points = data.Points();
    auto it = points.begin();
    if (!data.Unsorted()) {
      it = std::lower_bound(points.begin(), points.end(), position,
                            [this](const auto& p, double key) { return PointKey(*p) < key; });
    } else {
      while (it != points.end() && PointKey(**it) < position)
        ++it;
    }
    if (it == points.end()) {
      y = points.back()->YValue;
    } else if (it == points.begin() || PointKey(**it) == position) {
      y = (*it)->YValue;
    } else {
      const TXYPoint& a = **(it - 1);
      const TXYPoint& b = **it;
      const double ka = PointKey(a);
      const double kb = PointKey(b);
      y = a.YValue + (b.YValue - a.YValue) * (position - ka) / (kb - ka);
    }
  }
  return ValueToPixel(y, position, RoundClamped(position));
}

void TSerieObject::DrawSyncArrow(platform::Canvas& canvas) const {
  if (!arrow_) return;
  const platform::Point anchor = ArrowAnchor();
  if (!Contains(clip_rect_, anchor)) return;
  const TPixelImage& picture = arrow_->Picture();
  picture.Draw(canvas, MovePixel(anchor.x, -picture.width / 2), MovePixel(anchor.y, 1));
}

void TSerieObject::PaintPoints(platform::Canvas& canvas, platform::Color color) {
  TQORDataSet& data = *data_set_;
  if (data.PointCount() == 0 || !use_x_axis_) return;
  canvas.SetPenWidth(1);
  canvas.SetPenColor(color);
  if (point_marker_ == pmCircle) canvas.SetBrushColor(platform::kClWhite);
  if (!(style_ & (record_tag::kSeriesStyleMarkers | record_tag::kSeriesStyleAutoMarkers)) &&
      sync_mode_ != 2)
    return;

  int32_t first;
  int32_t last;
  VisibleIndexRange(use_x_axis_->GetMinimum(), use_x_axis_->GetMaximum(), first, last);
  first = std::max(first - 1, 0);
  last = std::min(last + 1, data.PointCount() - 1);

  bool every = false;
  bool ends = false;
  if (style_ & record_tag::kSeriesStyleAutoMarkers) {
    const bool sparse = use_x_axis_->PixelLength() > 5 * static_cast<int64_t>(last - first);
    if (sparse || MarksEveryPoint() || dynamic_cast<const TStdDevPoint*>(data.FirstPoint()) ||
        !(style_ & record_tag::kSeriesStyleLine)) {
      every = true;
    } else {
      ends = true;
    }
  } else if (style_ & record_tag::kSeriesStyleMarkers) {
    every = true;
  }
  if (sync_mode_ == 2 && data.SyncTimeSet()) DrawSyncArrow(canvas);

  canvas.SetPenWidth(point_size_ / 2);
  if (every) {
    MarkerSieve sieve(clip_rect_);
    for (int32_t i = first; i <= last; ++i) {
      const TXYPoint& point = *data.GetPoint(i);
      const platform::Point pixel = ValueToPixel(point.YValue, point.XValue, point.OrdinalNo);
      const MarkKind mark = MarkKindOf(point);
      if (mark == MarkKind::kMarker && !sieve.FirstAt(pixel)) continue;
      DrawMarkAt(canvas, mark, point_size_, pixel);
    }
  } else if (ends) {
    DrawPoint(canvas, *data.GetPoint(first), point_size_);
    if (last != first) DrawPoint(canvas, *data.GetPoint(last), point_size_);
  }
  if (data.RawPointsShared() && !data.RawPoints().empty()) {
    canvas.SetPenColor(platform::kClSilver);
    for (const TXYPoint* point : data.RawPoints())
      DrawPoint(canvas, *point, point_size_);
  }
  for (const auto& point : data.SpecialPoints())
    DrawPoint(canvas, *point, point_size_);
}

bool TSerieObject::HitTest(const platform::Point& point, void* info) const {
  auto* hit = static_cast<TGlyphHit*>(info);
  if (hit) {
    hit->handled = true;
    hit->object = nullptr;
  }
  if (sync_mode_ != 0 && arrow_) {
    const platform::Point anchor = ArrowAnchor();
    const TPixelImage& picture = arrow_->Picture();
    const platform::Rect rect{MovePixel(anchor.x, -picture.width / 2), anchor.y,
                              MovePixel(anchor.x, picture.width / 2),
                              MovePixel(anchor.y, picture.height)};
    if (Contains(rect, point) && data_set_->SyncTimeSet()) {
      if (hit) hit->object = arrow_.get();
      return true;
    }
  }
  for (const auto& p : data_set_->Points()) {
    const platform::Point pixel = ValueToPixel(p->YValue, p->XValue, p->OrdinalNo);
    const platform::Rect rect{MovePixel(pixel.x, -kHitHalfSize), MovePixel(pixel.y, -kHitHalfSize),
                              MovePixel(pixel.x, kHitHalfSize), MovePixel(pixel.y, kHitHalfSize)};
    if (Contains(rect, point)) {
      if (hit) hit->object = p.get();
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// Persistence

bool TSerieObject::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  WriteFields(writer);
  return writer.EndFolding();
}

void TSerieObject::WriteFields(TVistaWriter& writer) const {
  writer.WriteIntegerField(record_tag::kSeriesXAxisNumber, use_x_axis_ ? use_x_axis_->Spare : 0);
  if (use_custom_color_) writer.WriteByteField(record_tag::kSeriesUseCustomColor, 1);
  writer.WriteIntegerField(record_tag::kSeriesColor, static_cast<int32_t>(GetColor()));
  writer.WriteBufferField(record_tag::kSeriesPointMarker, &point_marker_, 1);
  writer.WriteBufferField(record_tag::kSeriesStyle, &style_, 1);
  data_set_->WriteFields(writer);
}

bool TSerieObject::ReadsOwnRecord(int32_t tag) const {
  return tag == record_tag::kDataSetPointBlock || tag == kXYPointRecord ||
         tag == kInfinitePointRecord || tag == kUnderDetectionLimitPointRecord ||
         tag == kRecordDelimiterPointRecord;
}

void TSerieObject::ReadPointBlock(TVistaReader& reader) {
  const int32_t size = reader.ReadSize();
  if (size < 4) throw Exception("Exception:Error in file");
  int32_t record_size;
  reader.ReadBuffer(&record_size, 4);
  // Each record holds X and Y, and the ordinal from 20 bytes on; a size that ends
  // inside a value cannot be read.
  if (record_size != 16 && record_size < 20) throw Exception("Exception:Error in file");
  reader.BeginGroup(size - 4);
  const int64_t count = (int64_t{size} - 4) / record_size;
  const bool with_ordinal = record_size >= 20;
  data_set_->ReservePoints(static_cast<int32_t>(std::min<int64_t>(
      int64_t{data_set_->PointCount()} + count, std::numeric_limits<int32_t>::max())));

  const auto add = [&](const uint8_t* body, int64_t number) {
    double x;
    double y;
    std::memcpy(&x, body, 8);
    std::memcpy(&y, body + 8, 8);
    int32_t ordinal = static_cast<int32_t>(number + 1);
    if (with_ordinal) std::memcpy(&ordinal, body + 16, 4);
    AddPoint(std::make_unique<TXYPoint>(x, y, ordinal));
  };
  if (record_size <= kLongBlockRecord) {
    std::vector<uint8_t> chunk;
    const int64_t per_chunk = std::max<int64_t>(1, kBlockChunkBytes / record_size);
    for (int64_t done = 0; done < count;) {
      const int64_t n = std::min(per_chunk, count - done);
      chunk.resize(static_cast<size_t>(n * record_size));
      reader.ReadBuffer(chunk.data(), n * record_size);
      for (int64_t i = 0; i < n; ++i)
        add(chunk.data() + i * record_size, done + i);
      done += n;
    }
  } else {
    uint8_t body[20];
    const int32_t used = with_ordinal ? 20 : 16;
    for (int64_t i = 0; i < count; ++i) {
      reader.ReadBuffer(body, used);
      reader.Skip(record_size - used);
      add(body, i);
    }
  }
  reader.EndGroup();
}

void TSerieObject::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kDataSetName:
      SetCaption(reader.ReadStringField());
      return;
    case record_tag::kDataSetPointBlock:
      ReadPointBlock(reader);
      return;
    case record_tag::kSeriesColor:
      SetColor(static_cast<platform::Color>(reader.ReadIntegerField()));
      return;
    case record_tag::kSeriesPointMarker:
      point_marker_ = reader.ReadByteField();
      return;
    case record_tag::kSeriesUseCustomColor:
      use_custom_color_ = reader.ReadByteField() != 0;
      return;
    case record_tag::kSeriesStyle: {
      uint8_t style = reader.ReadByteField();
      // Files before 1.4 meant markers at every point of a line as automatic ones.
      const bool old = reader.MajorVersion() == 1 && reader.MinorVersion() <= 3;
      if (old && (style & record_tag::kSeriesStyleMarkers) &&
          (style & record_tag::kSeriesStyleLine))
        style = static_cast<uint8_t>((style & ~record_tag::kSeriesStyleMarkers) |
                                     record_tag::kSeriesStyleAutoMarkers);
      style_ = style;
      return;
    }
    case kXYPointRecord:
    case kInfinitePointRecord:
    case kUnderDetectionLimitPointRecord: {
      std::unique_ptr<TXYPoint> point;
      if (tag == kXYPointRecord) point = std::make_unique<TXYPoint>(0, 0);
      if (tag == kInfinitePointRecord) point = std::make_unique<TInfinitePoint>(0, 0);
      if (tag == kUnderDetectionLimitPointRecord)
        point = std::make_unique<TUnderDetectionLimitPoint>(0, 0);
      point->ReadField(tag, reader);
      AddPoint(std::move(point));
      return;
    }
    case kRecordDelimiterPointRecord: {
      auto point = std::make_unique<TRecordDelimiterPoint>(0, 0);
      point->ReadField(tag, reader);
      data_set_->AddControlPoint(std::move(point));
      return;
    }
    case kSerieMessageField:
      platform::ShowMessage(reader.ReadStringField());
      return;
    default:
      break;
  }
  if (!data_set_->ReadField(tag, reader)) TGlyph::ReadField(tag, reader);
}

void TSerieObject::WritePointRecords(TVistaWriter& writer) const {
  for (const auto& point : data_set_->Points())
    point->WriteTo(writer);
  for (const auto& point : data_set_->ControlPoints())
    point->WriteTo(writer);
}

void TSerieObject::QuickSaveFields(TVistaWriter& writer) const {
  writer.WriteStringField(record_tag::kDataSetName, Caption());
  data_set_->WriteOptionFields(writer);
  if (TBrowseItem* source = data_set_->SourceItem()) {
    source->ParameterInfo().WriteTo(writer);
    writer.WriteStringField(record_tag::kDataSetXUnit, data_set_->GetXUnit());
    writer.WriteStringField(record_tag::kDataSetYUnit, data_set_->GetYUnit());
  }
  WritePointRecords(writer);
}

void TSerieObject::AssignTo(TPersistent& dest) const {
  TGlyph::AssignTo(dest);
  auto* serie = dynamic_cast<TSerieObject*>(&dest);
  if (!serie || serie == this) return;
  serie->Spares = Spares;
  serie->SetColor(GetColor());
  serie->use_custom_color_ = use_custom_color_;
  serie->SetDataSet(data_set_.get());
  serie->style_ = style_;
  serie->point_marker_ = point_marker_;
  serie->use_canvas_ = use_canvas_;
  serie->SetPlotRect(plot_rect_);
  serie->SetUseXAxis(use_x_axis_);
  serie->SetUseYAxis(use_y_axis_);
  serie->SetSyncMode(sync_mode_);
  serie->Note = Note;
  serie->SetPointSize(point_size_);
}

// ---------------------------------------------------------------------------
// Information text

std::string TSerieObject::GetInfoText() const {
  TQORDataSet& data = *data_set_;
  std::string text;
  const auto line = [&text](const std::string& s) { text += s + kLineBreak; };
  std::string unit = "[]";
  if (const auto* item = dynamic_cast<const TDiscBrowseItem*>(data.SourceItem())) {
    const TUniqueParameterInformation& info = item->ParameterInfo();
    line(platform::Format(Res(SInfoPatient), {item->GetPatientName()}));
    line(platform::Format(Res(SInfoParameter), {info.ParameterName(), info.ParamExtraName()}));
    unit = data.GetYUnit();
    line(platform::Format(Res(SInfoUnit), {unit}));
    line(platform::Format(Res(SInfoPlace), {info.MeasurementPlace()}));
    if (item->PatientInfo().Registered) {
      line(platform::Format(Res(SInfoRegistered), {item->PatientInfo().RegisteredNo}));
    } else {
      line(platform::Format(Res(SInfoFromFile), {item->Directory + item->FileName}));
    }
  } else {
    line(Res(data.Sources().empty() ? SInfoCreated : SInfoCalculated));
  }
  line(platform::Format(Res(SInfoPointCount), {data.PointCount()}));
  line(platform::Format(Res(SInfoMaximum), {GetMaxY() - data.YOffset()}));
  line(platform::Format(Res(SInfoMinimum), {GetMinY() - data.YOffset()}));
  line(platform::Format(Res(SInfoAverage), {data.Average()}));
  line(platform::Format(Res(SInfoArea), {data.AreaUnderCurve(), unit}));
  const double first = MinX() - data.XOffset();
  const double last = MaxX() - data.XOffset();
  if (x_kind_ == akTime) {
    line(platform::Format(Res(SInfoFirstTime), {platform::DateTimeToStr(first)}));
    line(platform::Format(Res(SInfoLastTime), {platform::DateTimeToStr(last)}));
    line(platform::Format(Res(SInfoInterval), {DurationText(3, MaxX() - MinX())}));
  } else if (x_kind_ == akDuration) {
    line(platform::Format(Res(SInfoFirstTime), {DurationText(3, first)}));
    line(platform::Format(Res(SInfoLastTime), {DurationText(3, last)}));
    line(platform::Format(Res(SInfoInterval), {DurationText(3, MaxX() - MinX())}));
  }
  const double offset = data.XOffset();
  if (offset != 0) {
    const double magnitude = std::fabs(offset);
    // Whole days as far as they can be counted; an offset that is no number has none.
    const long long days = magnitude < 9.2e18 ? static_cast<long long>(std::floor(magnitude))
                                              : (magnitude >= 9.2e18 ? 9200000000000000000LL : 0);
    line(platform::Format(Res(offset > 0 ? SInfoMovedLater : SInfoMovedEarlier),
                          {days, FormatHMS(magnitude)}));
  } else {
    line(Res(SInfoNoOffset));
  }
  return text;
}

// ---------------------------------------------------------------------------
// Registry

void RegisterSerieClass(const TSerieClass& serie_class) {
  Registry().push_back(&serie_class);
}

std::unique_ptr<TSerieObject> CreateSerieByRecordType(int32_t record_type, TQORDataSet* data_set) {
  for (const TSerieClass* serie_class : Registry()) {
    if (serie_class->RecordType() == record_type) return serie_class->Create(data_set);
  }
  return nullptr;
}

const std::vector<const TSerieClass*>& SerieClasses() {
  return Registry();
}
