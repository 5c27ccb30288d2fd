#include "datamodel/Series_CDataSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "platform/date_time.h"
#include "platform/exception.h"
#include "platform/format_text.h"

namespace {

// The body of one point in the point block: X, Y, ordinal.
constexpr int32_t kBlockRecordSize = 20;
constexpr int32_t kBlockChunk = 4096;

[[noreturn]] void IndexError(int32_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

// Frees the points of List, first to last. A reload frees a file's points by the
// hundred thousand, each a cache miss away when freed: the point a few places
// ahead is fetched while this one goes.
template <typename Point>
void FreePoints(std::vector<std::unique_ptr<Point>>& list) {
  constexpr size_t kAhead = 32;
  const size_t count = list.size();
  for (size_t i = 0; i < count; ++i) {
    if (i + kAhead < count) __builtin_prefetch(list[i + kAhead].get());
    list[i].reset();
  }
  list.clear();
}

}  // namespace

// ---------------------------------------------------------------------------
// TDataSetRef

TDataSetRef::TDataSetRef(TQORDataSet* data_set) : data_set_(data_set) {
  if (data_set_) data_set_->AddReference(1);
}

TDataSetRef::~TDataSetRef() {
  if (data_set_) data_set_->Release();
}

// ---------------------------------------------------------------------------
// Life

TQORDataSet::TQORDataSet() {
  SetOptions1(5);
}

TQORDataSet::~TQORDataSet() {
  // Nobody is told of the clearing: the subscribers go first.
  subscribers_.clear();
  FreePoints(points_);
  special_points_.clear();
  control_points_.clear();
  FreeRawPoints();
}

void TQORDataSet::AddReference(int32_t count) {
  ref_count_ += count;
}

void TQORDataSet::Release() {
  ref_count_ -= 1;
  if (ref_count_ <= 0) {
    // Releasing runs in destructors; a failing subscriber must not end the program.
    try {
      Notify(data_set_notice::kReleased, nullptr);
    } catch (...) {
    }
    delete this;
    return;
  }
  if (OnRelease) {
    try {
      OnRelease(*this);
    } catch (...) {
    }
  }
}

// ---------------------------------------------------------------------------
// Points

double TQORDataSet::PointKey(const TXYPoint& point) const {
  return by_ordinal_ ? static_cast<double>(point.OrdinalNo) : point.XValue;
}

// Key order with NaN after every number, so that sorting a damaged file still has
// a strict order to follow.
bool TQORDataSet::KeyLess(const TXYPoint& a, const TXYPoint& b) const {
  const double ka = PointKey(a);
  const double kb = PointKey(b);
  if (std::isnan(kb)) return !std::isnan(ka);
  return ka < kb;
}

TXYPoint* TQORDataSet::AddPoint(std::unique_ptr<TXYPoint> point) {
  TXYPoint* added = point.get();
  const bool first = points_.empty();
  if (sorted_ && !first && KeyLess(*added, *points_.back())) sorted_ = false;
  points_.push_back(std::move(point));
  if (sorted_) sorted_count_ = points_.size();
  if (first) {
    StartExtents(*added);
  } else {
    Widen(*added);
  }
  if (time_window_on_) {
    bool removed = false;
    Trim(true, true, added, removed);
    if (removed) added = nullptr;
  }
  Notify(data_set_notice::kPointAdded, added);
  return added;
}

void TQORDataSet::AddSpecialPoint(std::unique_ptr<TXYPoint> point) {
  special_points_.push_back(std::move(point));
}

void TQORDataSet::AddControlPoint(std::unique_ptr<TControlPoint> point) {
  control_points_.push_back(std::move(point));
  const size_t n = control_points_.size();
  if (n >= 2 && KeyLess(*control_points_[n - 1], *control_points_[n - 2])) {
    std::stable_sort(control_points_.begin(), control_points_.end(),
                     [this](const auto& a, const auto& b) { return KeyLess(*a, *b); });
  }
}

void TQORDataSet::AddRawPoint(std::unique_ptr<TXYPoint> point) {
  if (raw_points_shared_) return;  // the list holds another owner's points
  raw_points_.push_back(point.release());
}

void TQORDataSet::ShareRawPoints(std::vector<TXYPoint*> points) {
  FreeRawPoints();
  raw_points_ = std::move(points);
  raw_points_shared_ = true;
}

void TQORDataSet::FreeRawPoints() {
  if (!raw_points_shared_) {
    for (TXYPoint* point : raw_points_)
      delete point;
  }
  raw_points_.clear();
}

void TQORDataSet::ReservePoints(int32_t count) {
  if (count > 0) points_.reserve(static_cast<size_t>(count));
}

TXYPoint* TQORDataSet::GetPoint(int32_t index) const {
  if (index < 0 || index >= PointCount()) IndexError(index);
  return points_[static_cast<size_t>(index)].get();
}

TXYPoint* TQORDataSet::FirstPoint() const {
  return GetPoint(0);
}

TXYPoint* TQORDataSet::LastPoint() const {
  return GetPoint(PointCount() - 1);
}

TXYPoint* TQORDataSet::GetSpecialPoint(int32_t index) const {
  if (index < 0 || index >= SpecialPointCount()) IndexError(index);
  return special_points_[static_cast<size_t>(index)].get();
}

void TQORDataSet::Clear() {
  highlighted_.clear();
  FreePoints(points_);
  special_points_.clear();
  control_points_.clear();
  FreeRawPoints();
  sorted_count_ = 0;
  sorted_ = !unsorted_;
  Notify(data_set_notice::kCleared, nullptr);
}

void TQORDataSet::Sort() {
  if (unsorted_) return;
  const auto less = [this](const auto& a, const auto& b) { return KeyLess(*a, *b); };
  if (points_.size() > 1) {
    std::stable_sort(points_.begin(), points_.end(), less);
    std::stable_sort(control_points_.begin(), control_points_.end(), less);
    std::stable_sort(special_points_.begin(), special_points_.end(), less);
    sorted_ = true;
    sorted_count_ = points_.size();
    Notify(data_set_notice::kSorted, nullptr);
  }
  sorted_ = true;
  sorted_count_ = points_.size();
}

void TQORDataSet::EnsureSorted() {
  const auto less = [this](const auto& a, const auto& b) { return KeyLess(*a, *b); };
  if (unsorted_) return;
  if (!std::is_sorted(special_points_.begin(), special_points_.end(), less))
    std::stable_sort(special_points_.begin(), special_points_.end(), less);
  if (sorted_) return;
  // The points before sorted_count_ are in order; the late ones after them are
  // sorted among themselves and merged in, which keeps equal keys in the order
  // they came.
  const auto middle = points_.begin() + static_cast<std::ptrdiff_t>(sorted_count_);
  std::stable_sort(middle, points_.end(), less);
  std::inplace_merge(points_.begin(), middle, points_.end(), less);
  sorted_ = true;
  sorted_count_ = points_.size();
  Notify(data_set_notice::kSorted, nullptr);
}

TQORDataSet::PointList TQORDataSet::TrimOlderThan(bool use_now, bool free_points) {
  bool ignored = false;
  return Trim(use_now, free_points, nullptr, ignored);
}

TQORDataSet::PointList TQORDataSet::Trim(bool use_now, bool free_points, const TXYPoint* watch,
                                         bool& watch_removed) {
  PointList kept;  // what is handed back when not freed
  watch_removed = false;
  if (points_.empty()) return kept;
  EnsureSorted();
  highlighted_.clear();
  const double cutoff = (use_now ? platform::Now() : points_.back()->XValue) - window_length_;
  // The leading run: a first entry before the cut-off and those after it up to the
  // first later than the cut-off.
  const auto run_length = [&](const auto& list, auto x_of) -> size_t {
    if (list.empty() || !sorted_) return 0;
    if (!(x_of(list.front()) < cutoff)) return 0;
    size_t n = 1;
    while (n < list.size() && x_of(list[n]) <= cutoff)
      ++n;
    return n;
  };
  const auto x_of_owned = [](const std::unique_ptr<TXYPoint>& p) { return p->XValue; };

  if (const size_t n = run_length(points_, x_of_owned)) {
    PointList removed(std::make_move_iterator(points_.begin()),
                      std::make_move_iterator(points_.begin() + static_cast<std::ptrdiff_t>(n)));
    points_.erase(points_.begin(), points_.begin() + static_cast<std::ptrdiff_t>(n));
    sorted_count_ = points_.size();
    for (const auto& p : removed)
      if (p.get() == watch) watch_removed = true;
    if (!free_points) return removed;
    if (n == 1) {
      UpdateExtents(nullptr, removed.front().get());
      Notify(data_set_notice::kPointRemoved, removed.front().get());
    } else {
      Notify(data_set_notice::kPointsRemoved, nullptr);
      UpdateExtents(nullptr, nullptr);
    }
    return kept;
  }

  if (const size_t n = run_length(raw_points_, [](const TXYPoint* p) { return p->XValue; })) {
    std::vector<TXYPoint*> removed(raw_points_.begin(),
                                   raw_points_.begin() + static_cast<std::ptrdiff_t>(n));
    raw_points_.erase(raw_points_.begin(), raw_points_.begin() + static_cast<std::ptrdiff_t>(n));
    // Shared raw points belong to somebody else and are only taken out; the data
    // set's own are freed or handed back.
    if (!raw_points_shared_) {
      for (TXYPoint* p : removed) {
        std::unique_ptr<TXYPoint> owned(p);
        if (!free_points) kept.push_back(std::move(owned));
      }
    }
    return kept;
  }

  if (const size_t n = run_length(special_points_, x_of_owned)) {
    PointList removed(
        std::make_move_iterator(special_points_.begin()),
        std::make_move_iterator(special_points_.begin() + static_cast<std::ptrdiff_t>(n)));
    special_points_.erase(special_points_.begin(),
                          special_points_.begin() + static_cast<std::ptrdiff_t>(n));
    if (!free_points) return removed;
  }
  return kept;
}

// ---------------------------------------------------------------------------
// Extents

void TQORDataSet::StartExtents(const TXYPoint& point) {
  // A value that is not a number has no place on an axis: until a point brings a
  // number, that axis keeps the extents of an empty data set.
  has_x_extent_ = false;
  has_y_extent_ = false;
  min_x_ = platform::Now();
  max_x_ = min_x_ + 1.0;
  min_y_ = 0;
  max_y_ = 1.0;
  max_ordinal_ = min_ordinal_ = point.OrdinalNo;
  Widen(point);
}

void TQORDataSet::Widen(const TXYPoint& point) {
  if (point.OrdinalNo > max_ordinal_) max_ordinal_ = point.OrdinalNo;
  if (point.OrdinalNo < min_ordinal_) min_ordinal_ = point.OrdinalNo;
  const auto widen = [](double value, bool& has, double& low, double& high) {
    if (std::isnan(value)) return;
    if (!has) {
      low = high = value;
      has = true;
      return;
    }
    if (value > high) high = value;
    if (value < low) low = value;
  };
  widen(point.XValue, has_x_extent_, min_x_, max_x_);
  widen(point.YValue, has_y_extent_, min_y_, max_y_);
}

void TQORDataSet::UpdateExtents(const TXYPoint* added, const TXYPoint* removed) {
  if (added) {
    Widen(*added);
    return;
  }
  if (removed && sorted_ && !points_.empty() && removed->YValue != max_y_ &&
      removed->YValue != min_y_ && removed->OrdinalNo == min_ordinal_ &&
      removed->XValue == min_x_) {
    // The first point went without taking an extreme Y with it: only the lower X
    // and ordinal extents move, to the new first point.
    min_ordinal_ = max_ordinal_;
    min_x_ = max_x_;
    Widen(*points_.front());
    return;
  }
  RecomputeExtents();
}

void TQORDataSet::RecomputeExtents() {
  EnsureSorted();
  if (points_.empty()) {
    min_ordinal_ = 1;
    max_ordinal_ = 10;
    min_y_ = 0;
    max_y_ = 1.0;
    min_x_ = platform::Now();
    max_x_ = min_x_ + 1.0;
    has_x_extent_ = false;
    has_y_extent_ = false;
    sync_time_set_ = false;
    return;
  }
  TXYPoint& first = *points_.front();
  if (!keep_ordinals_) first.OrdinalNo = 1;
  StartExtents(first);
  for (size_t i = 0; i < points_.size(); ++i) {
    if (!keep_ordinals_) points_[i]->OrdinalNo = static_cast<int32_t>(i + 1);
    Widen(*points_[i]);
  }
  if (!sync_time_set_ && source_item_) {
    sync_time_ = GetMinX();
    sync_ordinal_ = 0;
  }
}

double TQORDataSet::GetMaxX() const {
  return by_ordinal_ ? static_cast<double>(max_ordinal_) : max_x_;
}

double TQORDataSet::GetMinX() const {
  return by_ordinal_ ? static_cast<double>(min_ordinal_) : min_x_;
}

double TQORDataSet::Average() {
  EnsureSorted();
  if (points_.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < points_.size(); ++i) {
    if (!keep_ordinals_) points_[i]->OrdinalNo = static_cast<int32_t>(i + 1);
    sum += points_[i]->YValue;
  }
  return sum / static_cast<double>(points_.size());
}

double TQORDataSet::AreaUnderCurve() {
  EnsureSorted();
  double area = 0;
  for (size_t i = 1; i < points_.size(); ++i) {
    const TXYPoint& a = *points_[i - 1];
    const TXYPoint& b = *points_[i];
    area += (b.XValue - a.XValue) * 24 * (a.YValue + b.YValue) / 2;
  }
  return area;
}

// ---------------------------------------------------------------------------
// Notifications and properties

void TQORDataSet::Notify(int32_t code, TObject* object) {
  if (code != data_set_notice::kSorted) modified_ = true;
  if ((code == data_set_notice::kPointRemoved || code == data_set_notice::kPointRemovedToo) &&
      !highlighted_.empty()) {
    auto* point = dynamic_cast<TXYPoint*>(object);
    if (point && std::find(highlighted_.begin(), highlighted_.end(), point) != highlighted_.end())
      highlighted_.clear();
  }
  if (code == data_set_notice::kCleared || code == data_set_notice::kClearedToo)
    highlighted_.clear();
  if (subscribers_.empty()) return;
  // A handler may subscribe or unsubscribe while it is called.
  const std::vector<Subscriber> subscribers = subscribers_;
  for (const Subscriber& subscriber : subscribers) {
    if (subscriber.handler) subscriber.handler(*this, code, object);
  }
}

int32_t TQORDataSet::Subscribe(ChangeHandler handler) {
  const int32_t key = next_subscriber_key_++;
  subscribers_.push_back({key, std::move(handler)});
  return key;
}

void TQORDataSet::Unsubscribe(int32_t key) {
  std::erase_if(subscribers_, [key](const Subscriber& s) { return s.key == key; });
}

void TQORDataSet::SetName(std::string_view name) {
  if (name == name_) return;
  name_ = name;
  Notify(data_set_notice::kNameChanged, nullptr);
}

void TQORDataSet::SetXOffset(double value) {
  x_offset_ = value;
  Notify(data_set_notice::kOffsetChanged, nullptr);
}

void TQORDataSet::SetYOffset(double value) {
  y_offset_ = value;
  Notify(data_set_notice::kOffsetChanged, nullptr);
}

void TQORDataSet::SetPercentReference(double value) {
  if (value == percent_reference_) return;
  // Every percent value divides by it: one that is not a finite number (a damaged
  // file's) would make them all NaN or 0, as 0 would make them infinite.
  percent_reference_ = value == 0 || !std::isfinite(value) ? 100.0 : value;
  highlighted_.clear();
  Notify(data_set_notice::kPercentReferenceChanged, nullptr);
}

void TQORDataSet::SetUnsorted(bool value) {
  if (value == unsorted_) return;
  unsorted_ = value;
  if (unsorted_) {
    sorted_ = false;
  } else {
    // Nothing is known of the order the points were left in.
    sorted_count_ = 0;
    sorted_ = points_.size() <= 1;
    if (sorted_) sorted_count_ = points_.size();
  }
}

void TQORDataSet::SetOptions1(uint8_t value) {
  reading_options1_ = false;
  options1_ = value;
  if (value == 4) keep_ordinals_ = true;
}

void TQORDataSet::SetKeepOrdinals(bool value) {
  reading_options1_ = false;
  keep_ordinals_ = value;
}

void TQORDataSet::SetXUnit(std::string_view unit) {
  x_unit_raw_ = platform::Trim(unit);
  if (GetXUnit().empty()) x_unit_ = x_unit_raw_;
}

void TQORDataSet::SetYUnit(std::string_view unit) {
  y_unit_raw_ = platform::Trim(unit);
  if (GetYUnit().empty()) y_unit_ = y_unit_raw_;
}

std::string TQORDataSet::GetXUnit() const {
  if (source_item_) return x_unit_;
  if (kind_ == 9 && sources_.size() == 2) return sources_[1]->GetYUnit();
  return {};
}

void TQORDataSet::SetSourceItem(std::unique_ptr<TBrowseItem> item) {
  source_item_ = std::move(item);
}

void TQORDataSet::SetParameterInfo(std::unique_ptr<TUniqueParameterInformation> info) {
  parameter_info_ = std::move(info);
}

std::string TQORDataSet::GetXTitle() const {
  return {};
}

std::string TQORDataSet::GetYTitle() const {
  if (source_item_) return platform::Trim(source_item_->ParameterInfo().DisplayName());
  std::vector<std::string> titles;
  for (const TQORDataSet* source : sources_) {
    std::string title = source->GetYTitle();
    if (!title.empty()) titles.push_back(std::move(title));
  }
  if (titles.empty()) return {};
  std::sort(titles.begin(), titles.end());
  titles.erase(std::unique(titles.begin(), titles.end()), titles.end());
  std::string text = "(";
  for (size_t i = 0; i < titles.size(); ++i) {
    if (i > 0) text += ", ";
    text += titles[i];
  }
  return text + ")";
}

// ---------------------------------------------------------------------------
// Persistence

bool TQORDataSet::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kDataSetXOffset:
      SetXOffset(reader.ReadDoubleField());
      return true;
    case record_tag::kDataSetYOffset:
      SetYOffset(reader.ReadDoubleField());
      return true;
    case record_tag::kDataSetSyncTime:
      sync_time_ = reader.ReadDoubleField();
      sync_time_set_ = true;
      return true;
    case record_tag::kDataSetSyncOrdinal:
      sync_ordinal_ = reader.ReadIntegerField();
      sync_time_set_ = true;
      return true;
    case record_tag::kDataSetXUnit:
      SetXUnit(reader.ReadStringField());
      return true;
    case record_tag::kDataSetYUnit:
      SetYUnit(reader.ReadStringField());
      return true;
    case record_tag::kDataSetParameterID:
    case record_tag::kDataSetParameterName:
    case record_tag::kDataSetMeasurementPlace:
    case record_tag::kDataSetParamExtraName: {
      TUniqueParameterInformation* info =
          source_item_ ? &source_item_->ParameterInfo() : parameter_info_.get();
      if (!info) {
        reader.SkipField();
        return true;
      }
      const std::string text = reader.ReadStringField();
      if (tag == record_tag::kDataSetParameterID) info->SetParameterID(text);
      if (tag == record_tag::kDataSetParameterName) info->SetParameterName(text);
      if (tag == record_tag::kDataSetMeasurementPlace) info->SetMeasurementPlace(text);
      if (tag == record_tag::kDataSetParamExtraName) info->SetParamExtraName(text);
      return true;
    }
    case record_tag::kDataSetKeepOrdinals:
      SetKeepOrdinals(reader.ReadByteField() != 0);
      return true;
    case record_tag::kDataSetComment:
      comment_ = reader.ReadStringField();
      return true;
    default:
      break;
  }
  if (tag >= record_tag::kDataSetOptions1First && tag < record_tag::kDataSetOptions1First + 4) {
    const uint8_t bit = static_cast<uint8_t>(1u << (tag - record_tag::kDataSetOptions1First));
    const bool set = reader.ReadByteField() != 0;
    // The fields come one bit at a time; a value passing through 4 on the way to
    // another must not leave KeepOrdinals on. The final value decides, as if it
    // had been set at once.
    if (!reading_options1_) keep_ordinals_before_options_ = keep_ordinals_;
    const uint8_t value = set ? options1_ | bit : options1_ & static_cast<uint8_t>(~bit);
    SetOptions1(value);
    reading_options1_ = true;
    keep_ordinals_ = keep_ordinals_before_options_ || value == 4;
    return true;
  }
  if (tag >= record_tag::kDataSetOptions2First && tag < record_tag::kDataSetOptions2First + 4) {
    const uint8_t bit = static_cast<uint8_t>(1u << (tag - record_tag::kDataSetOptions2First));
    const bool set = reader.ReadByteField() != 0;
    SetOptions2(set ? options2_ | bit : options2_ & static_cast<uint8_t>(~bit));
    return true;
  }
  return false;
}

void TQORDataSet::WriteOptionFields(TVistaWriter& writer) const {
  for (int32_t bit = 0; bit < 4; ++bit)
    writer.WriteByteField(record_tag::kDataSetOptions1First + bit, (options1_ >> bit) & 1);
  for (int32_t bit = 0; bit < 4; ++bit)
    writer.WriteByteField(record_tag::kDataSetOptions2First + bit, (options2_ >> bit) & 1);
  writer.WriteByteField(record_tag::kDataSetKeepOrdinals, keep_ordinals_ ? 1 : 0);
}

void TQORDataSet::WriteFields(TVistaWriter& writer) {
  EnsureSorted();
  if (!comment_.empty()) writer.WriteStringField(record_tag::kDataSetComment, comment_);
  writer.WriteStringField(record_tag::kDataSetName, name_);
  WriteOptionFields(writer);
  writer.WriteDoubleField(record_tag::kDataSetXOffset, x_offset_);
  writer.WriteDoubleField(record_tag::kDataSetYOffset, y_offset_);
  if (sync_time_set_) {
    writer.WriteDoubleField(record_tag::kDataSetSyncTime, sync_time_);
    writer.WriteIntegerField(record_tag::kDataSetSyncOrdinal, sync_ordinal_);
  }
  if (source_item_) {
    const TUniqueParameterInformation& info = source_item_->ParameterInfo();
    writer.WriteStringField(record_tag::kDataSetParameterID, info.ParameterID());
    writer.WriteStringField(record_tag::kDataSetParameterName, info.ParameterName());
    writer.WriteStringField(record_tag::kDataSetParamExtraName, info.ParamExtraName());
    writer.WriteStringField(record_tag::kDataSetMeasurementPlace, info.MeasurementPlace());
    writer.WriteStringField(record_tag::kDataSetXUnit, GetXUnit());
    writer.WriteStringField(record_tag::kDataSetYUnit, GetYUnit());
  }
  if (!points_.empty()) {
    const bool all_plain = std::all_of(points_.begin(), points_.end(), [](const auto& p) {
      return typeid(*p) == typeid(TXYPoint);
    });
    if (all_plain) {
      // One block of 20-byte bodies instead of a record per point.
      writer.BeginGroup(record_tag::kDataSetPointBlock);
      writer.WriteInt32(kBlockRecordSize);
      uint8_t chunk[kBlockChunk * kBlockRecordSize];
      size_t used = 0;
      for (const auto& p : points_) {
        std::memcpy(chunk + used, &p->XValue, 8);
        std::memcpy(chunk + used + 8, &p->YValue, 8);
        std::memcpy(chunk + used + 16, &p->OrdinalNo, 4);
        used += kBlockRecordSize;
        if (used == sizeof chunk) {
          writer.WriteBuffer(chunk, static_cast<int64_t>(used));
          used = 0;
        }
      }
      if (used > 0) writer.WriteBuffer(chunk, static_cast<int64_t>(used));
      writer.EndGroup();
    } else {
      for (const auto& p : points_)
        p->WriteTo(writer);
    }
  }
  for (const auto& p : control_points_) {
    if (dynamic_cast<const TRecordDelimiterPoint*>(p.get())) p->WriteTo(writer);
  }
}

TDataSetRef TQORDataSet::CreateEmptyLike() const {
  return MakeDataSet<TQORDataSet>();
}

void TQORDataSet::AssignTo(TPersistent& dest) const {
  auto* target = dynamic_cast<TQORDataSet*>(&dest);
  if (!target) {
    TPersistent::AssignTo(dest);
    return;
  }
  if (target == this) return;
  target->SetOptions1(options1_);
  target->SetOptions2(options2_);
  target->SetName(name_);
  target->kind_ = kind_;
  target->comment_ = comment_;
  target->SetPercentReference(percent_reference_);
  target->sync_time_set_ = sync_time_set_;
  target->sync_time_ = sync_time_;
  target->SetUnsorted(unsorted_);
  target->max_x_ = max_x_;
  target->max_y_ = max_y_;
  target->min_x_ = min_x_;
  target->min_y_ = min_y_;
  target->has_x_extent_ = has_x_extent_;
  target->has_y_extent_ = has_y_extent_;
  target->max_ordinal_ = max_ordinal_;
  target->min_ordinal_ = min_ordinal_;
  target->x_offset_ = x_offset_;
  target->y_offset_ = y_offset_;
  target->time_window_on_ = time_window_on_;
  target->window_length_ = window_length_;
  target->Clear();
  for (const auto& p : points_)
    target->points_.push_back(p->Clone());
  for (const auto& p : special_points_)
    target->special_points_.push_back(p->Clone());
  for (const auto& p : control_points_) {
    std::unique_ptr<TXYPoint> copy = p->Clone();
    target->control_points_.emplace_back(static_cast<TControlPoint*>(copy.release()));
  }
  target->sorted_ = sorted_;
  target->sorted_count_ = sorted_count_;
  target->source_item_ = source_item_ ? source_item_->Clone() : nullptr;
  if (parameter_info_) {
    auto info = std::make_unique<TUniqueParameterInformation>();
    info->Assign(*parameter_info_);
    target->parameter_info_ = std::move(info);
  } else {
    target->parameter_info_.reset();
  }
  target->sources_ = sources_;
  target->x_unit_raw_ = x_unit_raw_;
  target->y_unit_raw_ = y_unit_raw_;
  target->x_unit_ = x_unit_;
  target->y_unit_ = y_unit_;
  target->keep_ordinals_ = keep_ordinals_;
}

// ---------------------------------------------------------------------------
// TVideoDataSet and TYYDataSet

bool TVideoDataSet::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == record_tag::kVideoDataSetFile) {
    VideoFiles.push_back(reader.ReadStringField());
    return true;
  }
  if (tag == record_tag::kVideoDataSetInfo) {
    VideoInfo = reader.ReadStringField();
    return true;
  }
  return TQORDataSet::ReadField(tag, reader);
}

void TVideoDataSet::WriteFields(TVistaWriter& writer) {
  TQORDataSet::WriteFields(writer);
  writer.WriteStringField(record_tag::kVideoDataSetInfo, VideoInfo);
  for (const std::string& file : VideoFiles)
    writer.WriteStringField(record_tag::kVideoDataSetFile, file);
}

TDataSetRef TVideoDataSet::CreateEmptyLike() const {
  return MakeDataSet<TVideoDataSet>();
}

void TVideoDataSet::AssignTo(TPersistent& dest) const {
  TQORDataSet::AssignTo(dest);
  if (auto* target = dynamic_cast<TVideoDataSet*>(&dest); target && target != this) {
    target->VideoInfo = VideoInfo;
    target->VideoFiles = VideoFiles;
    target->Folder = Folder;
    target->CurrentFileIndex = CurrentFileIndex;
  }
}

TYYDataSet::TYYDataSet() {
  SetOptions1(2);
  SetUnsorted(true);
}

std::string TYYDataSet::GetXTitle() const {
  return Sources().size() == 2 ? Sources()[1]->GetYTitle() : std::string();
}

std::string TYYDataSet::GetYTitle() const {
  return Sources().size() == 2 ? Sources()[0]->GetYTitle() : std::string();
}

TDataSetRef TYYDataSet::CreateEmptyLike() const {
  return MakeDataSet<TYYDataSet>();
}
