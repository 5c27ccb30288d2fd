// The category series: the points at which a category takes a value, a set of
// values or a free text, drawn along the time axis in a horizontal band through
// the category's visualizer. And its three point classes.
//
// A category series is not in the series class registry: it is created through
// its prototype (record -13) or directly. It refers to its category without owning
// it, except for a category that a stream parser handed it, which it keeps, shared
// with its copies, for as long as any of them refers to it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "datamodel/PointsU.h"
#include "datamodel/Series_CSpecial.h"

class TCategory;

inline constexpr int32_t kCategorySeriesRecord = -13;
inline constexpr int32_t kCategoryPointRecord = 2015;
inline constexpr int32_t kCompositeCategoryPointRecord = 2016;
inline constexpr int32_t kCustomCategoryPointRecord = 2017;

// A set of values 0 to 255: value i is bit i mod 8 of byte i div 8, as stored.
class TCategoryValues {
 public:
  static constexpr int32_t kBytes = 32;
  bool Contains(int32_t value) const {
    return value >= 0 && value < 256 && (bytes_[value >> 3] >> (value & 7)) & 1;
  }
  // Values outside 0 to 255 are not taken.
  void Include(int32_t value) {
    if (value >= 0 && value < 256) bytes_[value >> 3] |= static_cast<uint8_t>(1u << (value & 7));
  }
  void Exclude(int32_t value) {
    if (value >= 0 && value < 256) bytes_[value >> 3] &= static_cast<uint8_t>(~(1u << (value & 7)));
  }
  bool Empty() const;
  std::array<uint8_t, kBytes>& Bytes() { return bytes_; }
  const std::array<uint8_t, kBytes>& Bytes() const { return bytes_; }
  friend bool operator==(const TCategoryValues&, const TCategoryValues&) = default;

 private:
  std::array<uint8_t, kBytes> bytes_{};
};

// A point at which the category takes one value, stored as the point's Y.
class TCategoryPoint : public TTargetedPoint {
 public:
  using TTargetedPoint::TTargetedPoint;
  std::string_view ClassName() const override { return "TCategoryPoint"; }
  // Y rounded to the nearest integer, halves to even (clamped to the int32 range).
  int32_t Value() const;
  void SetValue(int32_t value) { YValue = value; }

  // Record 2015, as a series reads it: Y becomes the stored value.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kCategoryPointRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  // In a category series with an event set: the caption, "at" and the X text, and
  // the caption of the value's event ("List index out of bounds" without one).
  // Otherwise the plain point's hint.
  std::string GetHintText(const TSerieObject* series) const override;
  // X, Y, the ordinal and Value (int32).
  void WriteFields(TVistaWriter& writer) const override;
};

// A point at which the category takes a set of values.
class TCompositeCategoryPoint : public TTargetedPoint {
 public:
  using TTargetedPoint::TTargetedPoint;
  std::string_view ClassName() const override { return "TCompositeCategoryPoint"; }
  TCategoryValues Values;

  // The targeted point's fields, and Values when Dest is a composite point.
  void AssignTo(TPersistent& dest) const override;
  // Record 2016, as a series reads it.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kCompositeCategoryPointRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  // In a category series with an event set: the caption, "at" and the X text, then
  // each value's caption after a line break, in ascending order. Otherwise the plain
  // point's hint.
  std::string GetHintText(const TSerieObject* series) const override;
  // X, Y, the ordinal and the 32 bytes of Values.
  void WriteFields(TVistaWriter& writer) const override;
};

// A point with a free text: an event point in a category series.
class TCustomCategoryPoint : public TEventPoint {
 public:
  using TEventPoint::TEventPoint;
  std::string_view ClassName() const override { return "TCustomCategoryPoint"; }
  int32_t RecordType() const override { return kCustomCategoryPointRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  // In a category series: the caption, "at", the X text and the text. Otherwise the
  // event point's hint.
  std::string GetHintText(const TSerieObject* series) const override;
};

class TCategorySeries : public TNoYAxisSeries {
 public:
  static constexpr std::string_view kClassName = "TCategorySeries";
  static constexpr int32_t kRecordType = kCategorySeriesRecord;

  // A fresh data set when there is none; default style.
  explicit TCategorySeries(TQORDataSet* data_set);
  ~TCategorySeries() override;
  std::string_view ClassName() const override { return kClassName; }

  // The category of the points (not owned), or none.
  TCategory* Category() const { return category_; }
  void SetCategory(TCategory* category);

  // The band series' settings, and the same category when Dest is a category
  // series.
  void AssignTo(TPersistent& dest) const override;
  // The point records 2015, 2016 and 2017; other fields as every series. The
  // category's record is not read here: a stream parser hands the category over.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kRecordType; }
  bool ReadsOwnRecord(int32_t tag) const override;
  // The category's record (when there is one), then the fields of every series.
  void WriteFields(TVistaWriter& writer) const override;
  // The fields of every series' quick save, then the category's record.
  void QuickSaveFields(TVistaWriter& writer) const override;
  // A point is added; a category becomes Category and is kept; anything else is
  // dropped.
  void AddSubObject(std::unique_ptr<TObject> object) override;
  std::unique_ptr<TObject> CreateEmpty() const override;
  // Each value as the category's visualizer draws it, joined by arrows while the
  // category's values last, or as separate marks for a momentary category. Without
  // category or visualizer the values are dots only.
  void PaintPoints(platform::Canvas& canvas, platform::Color color) override;

 private:
  TCategory* category_ = nullptr;
  // The category handed over by a stream parser, shared with copies of the series.
  std::shared_ptr<TCategory> kept_category_;
};
