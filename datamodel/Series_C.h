// The plain series TSerie with its help lines THelpLine, the quick-save wrapper
// TSerieObjectQuickSave, and the series unit's start-up registrations.
//
// TSerie draws lines, steps, bars and markers, a moving average and a mean line,
// shows Y as percent of a reference value, and carries help lines. It is the series
// that holds the points of one parameter series of a monitor-data file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "datamodel/Series_CObject.h"

class THelpLine;

inline constexpr int32_t kSerieRecord = 4;
inline constexpr int32_t kHelpLineRecord = 159;
inline constexpr int32_t kSerieQuickSaveRecord = -17;

class TSerie : public TSerieObject {
 public:
  static constexpr std::string_view kClassName = "TSerie";
  static constexpr int32_t kRecordType = kSerieRecord;

  // Marker pmCube, moving-average window 10, no help lines.
  explicit TSerie(TQORDataSet* data_set);
  ~TSerie() override;
  std::string_view ClassName() const override { return kClassName; }

  const std::vector<std::unique_ptr<THelpLine>>& HelpLines() const { return help_lines_; }
  // Appends Line (owned) with this series as its owner.
  THelpLine* AddHelpLine(std::unique_ptr<THelpLine> line);
  void ClearHelpLines();
  // Pen width in pixels; below 1: the series pen width. Neither stored nor copied.
  int32_t LineWidth = 0;
  int32_t MovingAverageWindow() const { return moving_average_window_; }
  void SetMovingAverageWindow(int32_t window) { moving_average_window_ = window; }
  bool PercentMode() const { return percent_mode_; }
  // Notifies the data set that the percent display changed.
  void SetPercentMode(bool value);

  void AssignTo(TPersistent& dest) const override;
  // 31, 32, 69 and the help lines (159, entered as records); a field of a help line
  // while the reader's current object is that help line.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kRecordType; }
  bool ReadsOwnRecord(int32_t tag) const override;
  // The base's fields, then 13, 31, 32, 69 and the help lines' records.
  void WriteFields(TVistaWriter& writer) const override;
  std::unique_ptr<TObject> CreateEmpty() const override;

  bool HitTest(const platform::Point& point, void* info) const override;
  // The area under the line (or steps) between two axis values, in Y unit x hours.
  bool AreaBetween(double from, double to, double& area) override;
  double ValueAt(bool raw, bool& interpolated, bool& found, double axis_x) override;
  double GetMaxY() const override;
  double GetMinY() const override;
  double YValueOf(const TXYPoint& point) const override;
  void SetYValueOf(TXYPoint& point, double value) const override;
  void PaintPoints(platform::Canvas& canvas, platform::Color color) override;
  std::string GetReadout(double axis_x) override;
  platform::Point ValueToPixel(double y, double x, int32_t ordinal) const override;

 protected:
  // The Y value shown for P: in percent of the reference in percent mode.
  double ShownY(const TXYPoint& point, bool raw) const;
  // The pen width of lines.
  int32_t EffectivePenWidth() const;

 private:
  std::vector<std::unique_ptr<THelpLine>> help_lines_;
  int32_t moving_average_window_ = 10;
  bool percent_mode_ = false;
};

// A straight line y = (x - X0) x Slope + Intercept drawn over a series, in data
// units of the series' axes.
class THelpLine : public TGlyph {
 public:
  THelpLine() = default;
  std::string_view ClassName() const override { return "THelpLine"; }

  TSerie* Serie = nullptr;  // the owner, not owned
  double Slope = 0;
  double Intercept = 0;
  double FromX = 0;
  double ToX = 0;
  double X0 = 0;

  double YAt(double x) const { return (x - X0) * Slope + Intercept; }
  // Copies the five numbers into a help line (not the owner).
  void AssignTo(TPersistent& dest) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // Folding 159 with the five numbers; a descendant class writes the numbers into
  // a record of its own.
  bool WriteTo(TVistaWriter& writer) override;
  bool HitTest(const platform::Point& point, void* info) const override;
  void Paint() override;
  void DrawOn(platform::Canvas& canvas) override;
  // A new help line of the same class.
  virtual std::unique_ptr<THelpLine> CreateOfSameClass() const;
};

// Wraps a series for a quick save: record -17 holds the series' record type (2020)
// and its quick-save fields; reading re-creates the series through the prototype
// registry.
class TSerieObjectQuickSave : public TPersistent, public IPersistIT {
 public:
  TSerieObjectQuickSave() = default;
  ~TSerieObjectQuickSave() override;
  std::string_view ClassName() const override { return "TSerieObjectQuickSave"; }

  // The series written (not owned), or the one read.
  TSerieObject* Serie() const { return serie_; }
  void SetSerie(TSerieObject* serie);
  // The series read, which then belongs to the caller. A series read and never
  // taken is freed with the wrapper.
  std::unique_ptr<TSerieObject> TakeSerie();

  void AddSubObject(std::unique_ptr<TObject> object) override;
  void ReadDone() override;
  std::unique_ptr<TObject> CreateEmpty() const override;
  // 2020 creates the series by its record type; other fields go to the series, or
  // are skipped without one.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kSerieQuickSaveRecord; }
  bool ReadsOwnRecord(int32_t tag) const override;
  // "Exception:,mvdsa8974 Glömde att ange en serie!" without a series.
  bool WriteTo(TVistaWriter& writer) override;

 private:
  TSerieObject* serie_ = nullptr;
  std::unique_ptr<TSerieObject> read_serie_;
};

// The series unit's start: the series pen width, the series classes in the
// registry's order and the unit's two prototypes. Once.
void RegisterSeriesUnit();
