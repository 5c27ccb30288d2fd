// Data sets: the points of one measured series (ordinary, control, raw and special
// points) with their extents, offsets, units, parameter identity and options.
//
// A data set is shared by the series that show it and counted: each series holds
// one reference (TDataSetRef), and the last release frees it. Its fields are written
// and read inside the record of the series that holds it; it has no record of its
// own.
//
// Points are kept in key order (X, or the ordinal number when ByOrdinal) as far as
// it costs nothing: a point added after the last one in key order keeps the set
// sorted, one that arrives out of order (a result filed late) only marks it
// unsorted, and EnsureSorted puts the late points in place with one merge before
// anything searches. A data set created Unsorted keeps its insertion order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/object.h"

class TBrowseItem;
class TControlPoint;
class TUniqueParameterInformation;
class TVistaReader;
class TVistaWriter;
class TXYPoint;

// The codes of TQORDataSet::Notify. They travel between a data set and its
// observers only and are not stored, so they stay beside Notify rather than with
// the record tags.
namespace data_set_notice {
inline constexpr int32_t kReleased = 0;
inline constexpr int32_t kNameChanged = 1;
inline constexpr int32_t kPointAdded = 3;
inline constexpr int32_t kPointRemoved = 4;
inline constexpr int32_t kPointRemovedToo = 5;  // understood like 4
inline constexpr int32_t kSorted = 6;
inline constexpr int32_t kOffsetChanged = 7;
inline constexpr int32_t kPercentReferenceChanged = 8;
inline constexpr int32_t kPointsRemoved = 9;
inline constexpr int32_t kCleared = 11;
inline constexpr int32_t kClearedToo = 12;  // understood like 11
}  // namespace data_set_notice

class TQORDataSet;

// A counted reference to a data set: holding one keeps the data set alive.
class TDataSetRef {
 public:
  TDataSetRef() = default;
  explicit TDataSetRef(TQORDataSet* data_set);
  TDataSetRef(const TDataSetRef& other) : TDataSetRef(other.data_set_) {}
  TDataSetRef(TDataSetRef&& other) noexcept : data_set_(std::exchange(other.data_set_, nullptr)) {}
  TDataSetRef& operator=(TDataSetRef other) noexcept {
    std::swap(data_set_, other.data_set_);
    return *this;
  }
  ~TDataSetRef();

  TQORDataSet* get() const { return data_set_; }
  TQORDataSet* operator->() const { return data_set_; }
  TQORDataSet& operator*() const { return *data_set_; }
  explicit operator bool() const { return data_set_ != nullptr; }

 private:
  TQORDataSet* data_set_ = nullptr;
};

// A new data set of class T, held by the reference returned.
template <typename T = TQORDataSet, typename... Args>
TDataSetRef MakeDataSet(Args&&... args) {
  return TDataSetRef(new T(std::forward<Args>(args)...));
}

class TQORDataSet : public TPersistent {
 public:
  using ChangeHandler = std::function<void(TQORDataSet& data_set, int32_t code, TObject* object)>;
  using ReleaseHandler = std::function<void(TQORDataSet& data_set)>;
  using PointList = std::vector<std::unique_ptr<TXYPoint>>;

  // Options1 5, Options2 2, PercentReference 100, WindowLength 7 days, Sorted.
  TQORDataSet();
  std::string_view ClassName() const override { return "TQORDataSet"; }

  // --- References ----------------------------------------------------------
  void AddReference(int32_t count);
  // One reference less; the last frees the data set after notifying kReleased,
  // otherwise OnRelease is called.
  void Release();
  int32_t RefCount() const { return ref_count_; }
  ReleaseHandler OnRelease;

  // --- Points --------------------------------------------------------------
  // Appends P, keeping the extents exact and the sorted flag true to the points;
  // trims the time window when it is on; then notifies kPointAdded (with no object
  // when the window took P away at once). Returns P, or none when it was trimmed.
  TXYPoint* AddPoint(std::unique_ptr<TXYPoint> point);
  void AddSpecialPoint(std::unique_ptr<TXYPoint> point);
  // Keeps the control points sorted by key.
  void AddControlPoint(std::unique_ptr<TControlPoint> point);
  // Raw points owned by the data set (while RawPointsShared is off).
  void AddRawPoint(std::unique_ptr<TXYPoint> point);
  // Shows Points as raw points that belong to somebody else: the owned ones are
  // freed and RawPointsShared is set. Series paint shared raw points only.
  void ShareRawPoints(std::vector<TXYPoint*> points);
  // Room for Count points in all, so that a large load allocates the list once.
  void ReservePoints(int32_t count);

  int32_t PointCount() const { return static_cast<int32_t>(points_.size()); }
  // "List index out of bounds (%d)" outside 0 .. count - 1.
  TXYPoint* GetPoint(int32_t index) const;
  TXYPoint* FirstPoint() const;
  TXYPoint* LastPoint() const;
  const PointList& Points() const { return points_; }
  int32_t SpecialPointCount() const { return static_cast<int32_t>(special_points_.size()); }
  TXYPoint* GetSpecialPoint(int32_t index) const;
  const PointList& SpecialPoints() const { return special_points_; }
  const std::vector<std::unique_ptr<TControlPoint>>& ControlPoints() const {
    return control_points_;
  }
  const std::vector<TXYPoint*>& RawPoints() const { return raw_points_; }
  bool RawPointsShared() const { return raw_points_shared_; }
  // Points drawn enlarged; not owned; emptied when a highlighted point goes.
  std::vector<TXYPoint*>& Highlighted() { return highlighted_; }
  const std::vector<TXYPoint*>& Highlighted() const { return highlighted_; }

  // Frees every point, special, control and owned raw point; notifies kCleared.
  void Clear();
  // Sorts points, control and special points by key (stable, so equal keys keep
  // their order) and notifies kSorted; nothing when Unsorted.
  void Sort();
  // Puts points that arrived out of order in place, unless Unsorted; afterwards
  // Sorted holds (or the set is Unsorted). Every binary search calls it first.
  void EnsureSorted();
  // Takes the leading points older than the window out (Points first; only when
  // that removed none, the raw points; only when those neither, the special
  // points). With FreePoints the points the data set owns are freed; otherwise
  // they are handed back. Shared raw points are only taken out.
  PointList TrimOlderThan(bool use_now, bool free_points);

  // The sort key of a point: its ordinal when ByOrdinal, else its X.
  double PointKey(const TXYPoint& point) const;

  // --- Extents -------------------------------------------------------------
  virtual void UpdateExtents(const TXYPoint* added, const TXYPoint* removed);
  double MaxX() const { return max_x_; }
  double MaxY() const { return max_y_; }
  double MinX() const { return min_x_; }
  double MinY() const { return min_y_; }
  int32_t MaxOrdinal() const { return max_ordinal_; }
  int32_t MinOrdinal() const { return min_ordinal_; }
  double GetMaxX() const;
  double GetMinX() const;
  // Mean Y (0 without points); renumbers the points 1..n first unless KeepOrdinals.
  double Average();
  // Trapezoid sum of Y over X in Y unit x hours.
  double AreaUnderCurve();

  // --- Notifications -------------------------------------------------------
  void Notify(int32_t code, TObject* object);
  // Adds a change handler; returns its key for Unsubscribe.
  int32_t Subscribe(ChangeHandler handler);
  void Unsubscribe(int32_t key);

  // --- Properties ----------------------------------------------------------
  const std::string& Name() const { return name_; }
  void SetName(std::string_view name);
  double XOffset() const { return x_offset_; }
  double YOffset() const { return y_offset_; }
  void SetXOffset(double value);
  void SetYOffset(double value);
  double PercentReference() const { return percent_reference_; }
  // 0, or a value that is not a finite number, stores 100: the reference is never 0.
  void SetPercentReference(double value);
  bool Unsorted() const { return unsorted_; }
  void SetUnsorted(bool value);
  bool Sorted() const { return sorted_; }
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }
  uint8_t Options1() const { return options1_; }
  uint8_t Options2() const { return options2_; }
  // The value 4 also sets KeepOrdinals.
  void SetOptions1(uint8_t value);
  void SetOptions2(uint8_t value) { options2_ = value; }
  bool KeepOrdinals() const { return keep_ordinals_; }
  void SetKeepOrdinals(bool value);
  bool ByOrdinal() const { return by_ordinal_; }
  void SetByOrdinal(bool value) { by_ordinal_ = value; }
  uint8_t Kind() const { return kind_; }
  void SetKind(uint8_t kind) { kind_ = kind; }
  const std::string& Comment() const { return comment_; }
  void SetComment(std::string_view comment) { comment_ = comment; }
  bool TimeWindowOn() const { return time_window_on_; }
  void SetTimeWindowOn(bool value) { time_window_on_ = value; }
  double WindowLength() const { return window_length_; }
  void SetWindowLength(double days) { window_length_ = days; }
  bool SyncTimeSet() const { return sync_time_set_; }
  double SyncTime() const { return sync_time_; }
  int32_t SyncOrdinal() const { return sync_ordinal_; }
  void SetSyncTimeSet(bool value) { sync_time_set_ = value; }
  void SetSyncTime(double value) { sync_time_ = value; }
  void SetSyncOrdinal(int32_t value) { sync_ordinal_ = value; }

  // Units: the raw ones as last set, trimmed; the effective ones take the first
  // non-empty setting.
  const std::string& XUnitRaw() const { return x_unit_raw_; }
  const std::string& YUnitRaw() const { return y_unit_raw_; }
  void SetXUnit(std::string_view unit);
  void SetYUnit(std::string_view unit);
  std::string GetXUnit() const;
  std::string GetYUnit() const { return y_unit_; }

  // The data sets this one was calculated from (not owned).
  std::vector<TQORDataSet*>& Sources() { return sources_; }
  const std::vector<TQORDataSet*>& Sources() const { return sources_; }
  // The browse item the data came from (an owned copy); its parameter identity takes
  // precedence over ParameterInfo.
  TBrowseItem* SourceItem() const { return source_item_.get(); }
  void SetSourceItem(std::unique_ptr<TBrowseItem> item);
  TUniqueParameterInformation* ParameterInfo() const { return parameter_info_.get(); }
  void SetParameterInfo(std::unique_ptr<TUniqueParameterInformation> info);

  // --- Titles, persistence, copies ------------------------------------------
  virtual std::string GetXTitle() const;
  virtual std::string GetYTitle() const;
  // Reads a field of the data set inside its series' record; False for a tag that
  // is not the data set's.
  virtual bool ReadField(int32_t tag, TVistaReader& reader);
  // The data set's fields, its points (in key order) and its record delimiters.
  virtual void WriteFields(TVistaWriter& writer);
  // A new, empty data set of this one's class.
  virtual TDataSetRef CreateEmptyLike() const;
  // Dest must be a data set: copies the settings, clones every point, special
  // point and control point, the source item and the parameter identity.
  void AssignTo(TPersistent& dest) const override;

  // The option bits and KeepOrdinals as fields 71-79 (also used by quick saves).
  void WriteOptionFields(TVistaWriter& writer) const;

 protected:
  // Only the last release frees a data set; nobody else may.
  ~TQORDataSet() override;

 private:
  struct Subscriber {
    int32_t key;
    ChangeHandler handler;
  };

  bool KeyLess(const TXYPoint& a, const TXYPoint& b) const;
  void Widen(const TXYPoint& point);
  void StartExtents(const TXYPoint& point);
  void RecomputeExtents();
  // TrimOlderThan, telling whether Watch was among the points taken out.
  PointList Trim(bool use_now, bool free_points, const TXYPoint* watch, bool& watch_removed);
  void FreeRawPoints();

  std::vector<TQORDataSet*> sources_;
  uint8_t kind_ = 0;
  std::string name_;
  std::vector<std::unique_ptr<TControlPoint>> control_points_;
  bool modified_ = false;
  std::vector<TXYPoint*> raw_points_;  // owned unless raw_points_shared_
  bool raw_points_shared_ = false;
  double percent_reference_ = 100.0;
  bool unsorted_ = false;
  bool sorted_ = true;
  // Points [0, sorted_count_) are in key order; later ones arrived out of order.
  size_t sorted_count_ = 0;
  bool sync_time_set_ = false;
  PointList points_;
  std::vector<TXYPoint*> highlighted_;
  double max_x_ = 0;
  double max_y_ = 0;
  double min_x_ = 0;
  double min_y_ = 0;
  // Whether a point has given the X (Y) extents a number yet.
  bool has_x_extent_ = false;
  bool has_y_extent_ = false;
  int32_t ref_count_ = 0;
  double x_offset_ = 0;
  double y_offset_ = 0;
  std::vector<Subscriber> subscribers_;
  int32_t next_subscriber_key_ = 1;
  int32_t max_ordinal_ = 0;
  int32_t min_ordinal_ = 0;
  bool keep_ordinals_ = false;
  bool time_window_on_ = false;
  double window_length_ = 7.0;
  PointList special_points_;
  bool by_ordinal_ = false;
  uint8_t options1_ = 5;
  uint8_t options2_ = 2;
  double sync_time_ = 0;
  int32_t sync_ordinal_ = 0;
  std::string x_unit_raw_;
  std::string y_unit_raw_;
  std::string x_unit_;
  std::string y_unit_;
  std::unique_ptr<TBrowseItem> source_item_;
  std::string comment_;
  std::unique_ptr<TUniqueParameterInformation> parameter_info_;
  // While option fields are read: KeepOrdinals as it was before the first of them,
  // so that only the final option value decides it.
  bool reading_options1_ = false;
  bool keep_ordinals_before_options_ = false;
};

// A data set of video frames, with the names of its video files.
class TVideoDataSet : public TQORDataSet {
 public:
  std::string_view ClassName() const override { return "TVideoDataSet"; }
  std::vector<std::string> VideoFiles;  // field 231, one per file
  std::string VideoInfo;                // field 233
  // Set by the loader of a video-controller file: the folder of the file, and the
  // position in VideoFiles of the file that new frames belong to.
  std::string Folder;
  int32_t CurrentFileIndex = -1;

  std::string GetYTitle() const override { return {}; }
  bool ReadField(int32_t tag, TVistaReader& reader) override;
  void WriteFields(TVistaWriter& writer) override;
  TDataSetRef CreateEmptyLike() const override;
  void AssignTo(TPersistent& dest) const override;

 protected:
  ~TVideoDataSet() override = default;
};

// One source's Y against another's: the first source gives Y, the second X. Keeps
// its points in insertion order.
class TYYDataSet : public TQORDataSet {
 public:
  TYYDataSet();
  std::string_view ClassName() const override { return "TYYDataSet"; }
  std::string GetXTitle() const override;
  std::string GetYTitle() const override;
  TDataSetRef CreateEmptyLike() const override;

 protected:
  ~TYYDataSet() override = default;
};
