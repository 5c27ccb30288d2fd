// Data points: one measured value of a series, an X value (a date-time in monitor
// data, else a number or an ordinal), a Y value and an ordinal number.
//
// TXYPoint is the base of every point class; each subclass adds the data of one
// kind of measurement and has its own record type, record body and hint text. A
// point's record is a plain group: [int32 record type][int32 body size][body], the
// body raw values without tags. Data sets own their points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "datafile/QORClassReader.h"

class TSerieObject;
class TVistaWriter;

inline constexpr int32_t kXYPointRecord = 22;
inline constexpr int32_t kInfinitePointRecord = 25;
inline constexpr int32_t kUnderDetectionLimitPointRecord = 28;
inline constexpr int32_t kRecordDelimiterPointRecord = 85;
inline constexpr int32_t kYYPointRecord = 24;
inline constexpr int32_t kStdDevPointRecord = 21;
inline constexpr int32_t kVideoFrameRecord = 230;
inline constexpr int32_t kEventPointRecord = 26;
inline constexpr int32_t kKorvetDataPointRecord = 27;
inline constexpr int32_t kMultivaluePointRecord = -29;
inline constexpr int32_t kTarvoDataPointRecord = 165;
// The tag of the string field inside an event point's record.
inline constexpr int32_t kEventTextField = 9;

class TXYPoint : public TPersistIt {
 public:
  // Every point class takes its memory from the point pool (PointPool.h): a file
  // brings its points by the hundred thousand. Point classes need no alignment
  // beyond 8 bytes.
  static void* operator new(std::size_t size);
  static void operator delete(void* memory, std::size_t size) noexcept;

  // OrdinalNo := X rounded to the nearest integer (halves to even), clamped to the
  // range of an int32: an X far outside it (a corrupt file) still gives an ordinal.
  TXYPoint(double x, double y);
  // A point with its ordinal number given, as a point block holds it.
  TXYPoint(double x, double y, int32_t ordinal) : OrdinalNo(ordinal), XValue(x), YValue(y) {}
  std::string_view ClassName() const override { return "TXYPoint"; }

  // Published properties.
  int32_t OrdinalNo = 0;
  double XValue = 0;
  double YValue = 0;

  // Copies the fields of this point's class and of its ancestors that Dest has;
  // Dest must be a point ("Cannot assign a %s to a %s").
  void AssignTo(TPersistent& dest) const override;
  // Reads the record of this class (or of the nearest ancestor that reads its own),
  // opened as a group; any other tag goes to the ancestor, ending in a skip.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kXYPointRecord; }
  // The point's record: a group tagged with its record type holding WriteFields.
  bool WriteTo(TVistaWriter& writer) override;
  // The text shown for the point. Series (none: no series) gives the caption and the
  // kind of X text; the hooks of TSerieObject tell the specialised series apart.
  virtual std::string GetHintText(const TSerieObject* series) const;
  // A new point of this object's own class at (X, Y), its other fields empty.
  virtual std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const;
  // The record's body.
  virtual void WriteFields(TVistaWriter& writer) const;

  // A new point of the same class with the same values.
  std::unique_ptr<TXYPoint> Clone() const;
  // The X text of the hints: by the series' X-axis kind the date and time, a
  // general number, "#" and an ordinal, or a time span; "#" and OrdinalNo
  // without a series.
  std::string GetXText(const TSerieObject* series) const;

 protected:
  // "Caption", the series' caption cut to 40 characters; empty without a series.
  static std::string HintCaption(const TSerieObject* series);
  // The hint of a plain point: caption, the Y line and the X line.
  std::string XYHintText(const TSerieObject* series) const;
  // X, Y and the ordinal: the 20-byte body of record 22.
  void ReadXYBody(TVistaReader& reader);
  void WriteXYBody(TVistaWriter& writer) const;
};

// Marker class of points that are drawn by the series as they are, outside the
// line (TInfinitePoint, TUnderDetectionLimitPoint).
class TSpecialPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TSpecialPoint"; }
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
};

// A point with no Y: drawn as a vertical line through the plot.
class TInfinitePoint : public TSpecialPoint {
 public:
  using TSpecialPoint::TSpecialPoint;
  std::string_view ClassName() const override { return "TInfinitePoint"; }
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kInfinitePointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  // X and the ordinal (12 bytes).
  void WriteFields(TVistaWriter& writer) const override;
};

class TUnderDetectionLimitPoint : public TSpecialPoint {
 public:
  using TSpecialPoint::TSpecialPoint;
  std::string_view ClassName() const override { return "TUnderDetectionLimitPoint"; }
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kUnderDetectionLimitPointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
};

// Points of a data set's control list.
class TControlPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TControlPoint"; }
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
};

// A record delimiter: the line of a series is broken between the points around it.
class TRecordDelimiterPoint : public TControlPoint {
 public:
  using TControlPoint::TControlPoint;
  std::string_view ClassName() const override { return "TRecordDelimiterPoint"; }
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kRecordDelimiterPointRecord; }
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
};

// A pair of parameters at one time: X = the first parameter's value, Y = the
// second's, TimeX = the common time.
class TYYPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TYYPoint"; }
  double TimeX = 0;
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kYYPointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  void WriteFields(TVistaWriter& writer) const override;
};

// A mean with its standard deviation and standard error.
class TStdDevPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TStdDevPoint"; }
  double SD = 0;
  double SEM = 0;
  int32_t N = 0;
  int32_t ExtraN = 0;
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kStdDevPointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  void WriteFields(TVistaWriter& writer) const override;
};

// A video frame: Y is the frame number in the video file AVIFileNumber.
class TVideoFrame : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TVideoFrame"; }
  int32_t AVIFileNumber = 0;
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kVideoFrameRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  void WriteFields(TVistaWriter& writer) const override;
};

// A point aimed at a target (not stored); base of the event point and of the
// category points.
class TTargetedPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TTargetedPoint"; }
  std::string Target;
  void AssignTo(TPersistent& dest) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
};

// An event with a text at a time; Y is not stored.
class TEventPoint : public TTargetedPoint {
 public:
  using TTargetedPoint::TTargetedPoint;
  std::string_view ClassName() const override { return "TEventPoint"; }
  const std::string& Text() const { return text_; }
  // Stores the text without leading and trailing blanks and control characters.
  void SetText(std::string_view text);
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kEventPointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  // X, the ordinal, then the text as string field 9.
  void WriteFields(TVistaWriter& writer) const override;

 private:
  std::string text_;
};

// A sample of a Korvet analyzer: its vial and analysis result and the time the
// analyzer stamped it with.
class TKorvetDataPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TKorvetDataPoint"; }
  TAnalyseResult AnalyseResult = arNormal;
  double OriginalTimeStamp = 0;
  // Each kept in a six-byte zero-terminated buffer: at most five characters, cut
  // at the first zero byte.
  const std::string& ID() const { return id_; }
  const std::string& UserVialNo() const { return user_vial_no_; }
  void SetID(std::string_view value);
  void SetUserVialNo(std::string_view value);
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kKorvetDataPointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  void WriteFields(TVistaWriter& writer) const override;

 private:
  std::string id_;
  std::string user_vial_no_;
};

// Several values at one point (bars stacked on each other).
class TMultivaluePoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TMultivaluePoint"; }
  std::vector<double> Values;
  void AssignTo(TPersistent& dest) const override;
  // Record -29: the count of values is checked against the record's size before
  // anything is allocated ("Exception:Error in file" when they cannot all be there).
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kMultivaluePointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  void WriteFields(TVistaWriter& writer) const override;
};

// A sample of a Tarvo analyzer.
class TTarvoDataPoint : public TXYPoint {
 public:
  using TXYPoint::TXYPoint;
  std::string_view ClassName() const override { return "TTarvoDataPoint"; }
  TAnalyseResult AnalyseResult = arNormal;
  std::string VialID;
  bool Hidden = false;
  int32_t AttemptNo = 0;
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kTarvoDataPointRecord; }
  std::string GetHintText(const TSerieObject* series) const override;
  std::unique_ptr<TXYPoint> CreateOfSameClass(double x, double y) const override;
  void WriteFields(TVistaWriter& writer) const override;
};

// Opens the record whose tag the caller has just received as a group, lets Body
// read it (Body gets the group's size), and closes the group, which skips what Body
// left. A body longer than its record raises the reader's error.
template <typename F>
void ReadGroupRecord(TVistaReader& reader, F&& body) {
  const int32_t size = reader.ReadSize();
  reader.BeginGroup(size);
  body(size);
  reader.EndGroup();
}

// Registers the point unit's prototype (a TXYPoint at (0, 0), record type 22) with
// the prototype registry, once. Point classes create no empty instances, so the
// registry's lookup of 22 yields none.
void RegisterPointPrototypes();
