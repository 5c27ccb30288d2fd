// The series classes that specialise TSerie and TSerieObject for particular kinds
// of points: the band series TNoYAxisSeries with its event and video series, and
// the series of paired values, histograms (with THistogramDataSet), mean +- SD/SEM,
// multi-value bars and two analyzer point kinds.
//
// Each class reads the records of its own points itself (ReadField): the size, a
// group of that size holding raw values, then the point goes to AddPoint and the
// group is closed, which skips whatever of the record was not read. A class that
// needs a data set of its own kind makes one when created without a data set and
// refuses a data set of another kind. The loader creates them by record type
// through the series class registry; RegisterSpecialisedSerieClasses registers
// them in the registry's order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datamodel/Series_C.h"
#include "platform/resources.h"

inline constexpr int32_t kEventSerieRecord = 10;
inline constexpr int32_t kVideoSerieRecord = 23;
inline constexpr int32_t kYYSerieRecord = 61;
inline constexpr int32_t kHistogramSerieRecord = 62;
inline constexpr int32_t kStdSEMSerieRecord = 63;
inline constexpr int32_t kKorvetSerieRecord = 65;
inline constexpr int32_t kTarvoDataSeriesRecord = 166;
inline constexpr int32_t kMultibarSeriesRecord = -30;
// The older record of an event point (no group of its own in the files that wrote
// it: size, X, Y, then the text as field 9).
inline constexpr int32_t kOldEventPointRecord = 15;

// Texts of the specialised series (resource strings).
inline constexpr platform::ResourceString SHistogramHours{"Series_CSpecial.SHistogramHours",
                                                          "Hours"};
inline constexpr platform::ResourceString SEventReadout{"Series_CSpecial.SEventReadout",
                                                        " Event %s"};
inline constexpr platform::ResourceString SFrameReadout{"Series_CSpecial.SFrameReadout",
                                                        " Frame %s"};
inline constexpr platform::ResourceString SHistogramReadout{"Series_CSpecial.SHistogramReadout",
                                                            " %3.0f%s (%4.2f/%4.2f hours)"};
inline constexpr platform::ResourceString SMultibarReadout{"Series_CSpecial.SMultibarReadout",
                                                           "%4.2f%s "};

// The data set of a histogram: the hours spent in each class of a source's values.
class THistogramDataSet : public TQORDataSet {
 public:
  // Options1 2.
  THistogramDataSet();
  std::string_view ClassName() const override { return "THistogramDataSet"; }

  // Kept and stored (field 67); not interpreted here.
  double HistogramValue = 0;

  // The Y title of the first source (none: empty).
  std::string GetXTitle() const override;
  // "Hours".
  std::string GetYTitle() const override;
  bool ReadField(int32_t tag, TVistaReader& reader) override;
  // The base's fields, then 67.
  void WriteFields(TVistaWriter& writer) override;
  TDataSetRef CreateEmptyLike() const override;
  // The base's copy, and HistogramValue into a histogram data set.
  void AssignTo(TPersistent& dest) const override;

 protected:
  ~THistogramDataSet() override = default;
};

// A series drawn in a horizontal band of the plot instead of against a Y axis:
// every point's Y pixel is the middle of the band. Whoever lays out the plot
// places the band.
class TNoYAxisSeries : public TSerieObject {
 public:
  explicit TNoYAxisSeries(TQORDataSet* data_set) : TSerieObject(data_set) {}
  std::string_view ClassName() const override { return "TNoYAxisSeries"; }

  platform::Rect Band;
  virtual int32_t LaneCount() const { return 1; }

  // The base's copy, then Band into a band series.
  void AssignTo(TPersistent& dest) const override;
  // The base's hit (the arrow or a point), else the series for a point in Band.
  bool HitTest(const platform::Point& point, void* info) const override;
  // The number (from 1) of the point nearest to the axis value.
  std::string GetReadout(double axis_x) override;
  // The X pixel as the base places it; Y the middle of the band.
  platform::Point ValueToPixel(double y, double x, int32_t ordinal) const override;
};

// The points of a Korvet analyzer (record 27).
class TKorvetSerie : public TSerie {
 public:
  static constexpr std::string_view kClassName = "TKorvetSerie";
  static constexpr int32_t kRecordType = kKorvetSerieRecord;
  explicit TKorvetSerie(TQORDataSet* data_set) : TSerie(data_set) {}
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
};

// The points of a Tarvo analyzer (record 165; the vial id, hidden flag and attempt
// number that follow in the record are not read back).
class TTarvoDataSeries : public TSerie {
 public:
  static constexpr std::string_view kClassName = "TTarvoDataSeries";
  static constexpr int32_t kRecordType = kTarvoDataSeriesRecord;
  explicit TTarvoDataSeries(TQORDataSet* data_set) : TSerie(data_set) {}
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
};

// One parameter's values against another's (record 24), on a TYYDataSet.
class TYYSerie : public TSerie {
 public:
  static constexpr std::string_view kClassName = "TYYSerie";
  static constexpr int32_t kRecordType = kYYSerieRecord;
  // None: a new TYYDataSet; another kind raises "Exception:Not a TYYDataSet!".
  // Markers at every point, no line.
  explicit TYYSerie(TQORDataSet* data_set);
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
  // Not supported: false.
  bool AreaBetween(double from, double to, double& area) override;
  bool IsPairedSeries() const override { return true; }
};

// A histogram on a THistogramDataSet; its read-out tells the share of the hours
// left of the cursor.
class THistogramSerie : public TSerie {
 public:
  static constexpr std::string_view kClassName = "THistogramSerie";
  static constexpr int32_t kRecordType = kHistogramSerieRecord;
  // None: a new THistogramDataSet; another kind raises
  // "Exception:Not a HistogramDataSet!".
  explicit THistogramSerie(TQORDataSet* data_set);
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  // Not supported: false.
  bool AreaBetween(double from, double to, double& area) override;
  std::string GetReadout(double axis_x) override;
};

// Means with their standard deviation and standard error (record 21), drawn with
// error bars.
class TStdSEMSerie : public TSerie {
 public:
  static constexpr std::string_view kClassName = "TStdSEMSerie";
  static constexpr int32_t kRecordType = kStdSEMSerieRecord;
  explicit TStdSEMSerie(TQORDataSet* data_set) : TSerie(data_set) {}
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }

  bool ShowSEM = true;  // field 37
  bool ShowSD = false;  // field 38

  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  void AssignTo(TPersistent& dest) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
  // TSerie's fields, then 37 and 38.
  void WriteFields(TVistaWriter& writer) const override;
  // TSerie's painting, then an error bar for the SD and one for the SEM at each
  // visible point that carries them.
  void PaintPoints(platform::Canvas& canvas, platform::Color color) override;
  bool ShowsSEM() const override { return ShowSEM; }
  bool ShowsSD() const override { return ShowSD; }
};

// Several values per point (record -29, which the point reads itself), stacked as
// bars, each value in its own colour.
class TMultibarSeries : public TSerie {
 public:
  static constexpr std::string_view kClassName = "TMultibarSeries";
  static constexpr int32_t kRecordType = kMultibarSeriesRecord;
  // Filled bars.
  explicit TMultibarSeries(TQORDataSet* data_set);
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }

  int32_t BarCount() const { return bar_count_; }
  const std::vector<platform::Color>& BarColors() const { return bar_colors_; }
  // Stores N (a count below 0 counts as 0) and gives BarColors N entries: the
  // existing ones kept, new ones 0.
  void SetBarCount(int32_t count);
  // Stores the colour when I indexes BarColors; otherwise nothing.
  void SetBarColor(int32_t index, platform::Color color);
  // Bars of neighbouring points touch.
  bool Adjoining = false;  // field 2040

  std::unique_ptr<TObject> CreateEmpty() const override;
  // A TMultivaluePoint with BarCount values.
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  void AssignTo(TPersistent& dest) const override;
  // 2039 (the count is checked against the group's size: "Exception:Error in file"),
  // 2040, and the points' record -29.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
  // TSerie's fields, then group 2039 and 2040.
  void WriteFields(TVistaWriter& writer) const override;
  // TSerie's painting, then the stacked bars when the bar bit is set. A value
  // without a colour of its own (more values than colours) is drawn in the series'
  // colour.
  void PaintPoints(platform::Canvas& canvas, platform::Color color) override;
  // Each value of the point left of the axis value with the Y unit.
  std::string GetReadout(double axis_x) override;

 private:
  int32_t bar_count_ = 0;
  std::vector<platform::Color> bar_colors_;
};

// Events with a text (record 26, and the older record 15), drawn as arrow heads in
// the band.
class TEventSerie : public TNoYAxisSeries {
 public:
  static constexpr std::string_view kClassName = "TEventSerie";
  static constexpr int32_t kRecordType = kEventSerieRecord;
  // Automatic markers.
  explicit TEventSerie(TQORDataSet* data_set);
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  // Records 26 and 15, each read up to its own end.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
  // " Event " and the number of the nearest point.
  std::string GetReadout(double axis_x) override;
  bool MarksEveryPoint() const override { return true; }
};

// The frames of a video (record 230), on a TVideoDataSet, drawn near the top of
// the plot.
class TVideoSerie : public TNoYAxisSeries {
 public:
  static constexpr std::string_view kClassName = "TVideoSerie";
  static constexpr int32_t kRecordType = kVideoSerieRecord;
  // None: a new TVideoDataSet; another kind raises "Exception:Not a VideoDataSet!".
  // Automatic markers.
  explicit TVideoSerie(TQORDataSet* data_set);
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  bool ReadsOwnRecord(int32_t tag) const override;
  // " Frame " and the number of the nearest point.
  std::string GetReadout(double axis_x) override;
  // The X pixel as the base places it; Y a little below the plot's top.
  platform::Point ValueToPixel(double y, double x, int32_t ordinal) const override;
  bool MarksEveryPoint() const override { return true; }
};

// Registers the eight specialised series classes with the series class registry,
// in the registry's order after TSerie: TKorvetSerie, TYYSerie, THistogramSerie,
// TEventSerie, TVideoSerie, TStdSEMSerie, TMultibarSeries, TTarvoDataSeries.
// Called by the series unit's start (RegisterSeriesUnit) right after TSerie.
void RegisterSpecialisedSerieClasses();
