// TSerieObject, the drawable base of every series: it binds one data set to an X
// and a Y axis, converts between data values, axis values and pixels, paints point
// markers, finds the points under the mouse, builds the series' information text,
// and writes and reads the series' fields inside the series record.
//
// The series classes register with the series class registry, which creates the
// right class for a record type when a file is loaded. The base has no record type
// of its own (asking raises the persistable base's error).
//
// The hooks marked as such let the specialised series classes change what the base
// and the point classes do for them without the base knowing the classes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORFuncGlyph.h"
#include "datamodel/Axis.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_CDataSet.h"
#include "platform/canvas.h"
#include "platform/resources.h"

class TXYPoint;
class TVistaReader;
class TVistaWriter;

// A string field that the series shows to the user when it is read.
inline constexpr int32_t kSerieMessageField = 0x21524F51;  // "QOR!"

// The series pen width: 0.3 mm in pixels, at least 1, from the screen's pixels per
// inch (96 without a display).
int32_t SeriesPenWidth();
void UpdateSeriesPenWidth(int pixels_per_inch = 96);

// The tallest clip, in pixel rows, in which a marker drawn again on a pixel that has
// it is left out; in a taller one every marker is drawn.
inline constexpr int32_t kMarkerSieveMostRows = 1 << 16;

// A small picture in colour values, with one colour that is not drawn.
struct TPixelImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<platform::Color> pixels;  // row by row
  bool transparent = false;
  platform::Color transparent_color = 0;

  platform::Color Pixel(int32_t x, int32_t y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  // Draws the picture with its top-left corner at (X, Y): every run of pixels of
  // one colour in a row as one filled rectangle, the transparent colour left out.
  // The canvas' brush is restored afterwards.
  void Draw(platform::Canvas& canvas, int32_t x, int32_t y) const;
};

// The built-in bitmap "POINTER": the arrow that marks the synchronisation point.
const TPixelImage& PointerBitmap();

// The arrow under a series' synchronisation point.
class TSyncDisplayedArrow : public TObject {
 public:
  explicit TSyncDisplayedArrow(platform::Color color);
  std::string_view ClassName() const override { return "TSyncDisplayedArrow"; }
  // The picture becomes the "POINTER" bitmap with its arrow colour (the colour at
  // (5, 5)) replaced by Color, its colour at (0, 0) transparent.
  void SetColor(platform::Color color);
  platform::Color Color() const { return color_; }
  double Position = 0;  // the sync reference, in data X units
  const TPixelImage& Picture() const { return picture_; }

 private:
  platform::Color color_ = 0;
  TPixelImage picture_;
};

// The points around an axis value and their indices (-1: none).
struct TSerieLocation {
  TXYPoint* before = nullptr;
  TXYPoint* after = nullptr;
  int32_t before_index = -1;
  int32_t after_index = -1;
};

class TSerieObject : public TGlyph {
 public:
  // Takes a reference to DataSet, or to a new TQORDataSet when there is none;
  // style 0x12 and a random colour.
  explicit TSerieObject(TQORDataSet* data_set);
  // Frees the arrow, leaves both axes and releases the data set.
  ~TSerieObject() override;
  std::string_view ClassName() const override { return "TSerieObject"; }

  // --- Published properties ------------------------------------------------
  std::string Caption() const;
  void SetCaption(std::string_view caption);
  TQORDataSet& DataSet() const { return *data_set_; }
  // Shares Data set (none: keeps the present one).
  void SetDataSet(TQORDataSet* data_set);
  double MaxX() const;
  double MinX() const;
  double MaxY() const { return GetMaxY(); }
  double MinY() const { return GetMinY(); }
  uint8_t PointMarker() const { return point_marker_; }
  void SetPointMarker(uint8_t marker) { point_marker_ = marker; }
  platform::Canvas* UseCanvas() const { return use_canvas_; }
  void SetUseCanvas(platform::Canvas* canvas) { use_canvas_ = canvas; }
  bool UseCustomColor() const { return use_custom_color_; }
  void SetUseCustomColor(bool value) { use_custom_color_ = value; }
  TAxis* UseXAxis() const { return use_x_axis_; }
  TAxis* UseYAxis() const { return use_y_axis_; }
  // Leaves the old axis (ignoring its errors) and registers with the new one; the X
  // axis' kind becomes the series' X kind.
  void SetUseXAxis(TAxis* axis);
  void SetUseYAxis(TAxis* axis);

  // Called by an axis that goes away while the series still uses it: the series
  // forgets the axis without calling it back.
  void ForgetAxis(const TAxis* axis);

  // --- Other state ---------------------------------------------------------
  bool Dimmed() const { return dimmed_; }
  void SetDimmed(bool value) { dimmed_ = value; }
  const platform::Rect& PlotRect() const { return plot_rect_; }
  void SetPlotRect(const platform::Rect& rect);
  const platform::Rect& ClipRect() const { return clip_rect_; }
  int32_t PointSize() const { return point_size_; }
  void SetPointSize(int32_t size);
  TSyncDisplayedArrow* Arrow() const { return arrow_.get(); }
  uint8_t SyncMode() const { return sync_mode_; }
  void SetSyncMode(uint8_t mode);
  TAxisKind XKind() const { return x_kind_; }
  // A change to or from ordinal X sorts the data set by its new key.
  void SetXKind(TAxisKind kind);
  uint8_t Style() const { return style_; }
  void SetStyle(uint8_t style) { style_ = style; }
  std::string Note;
  std::array<int32_t, 4> Spares{};

  // --- Persistence and copies ----------------------------------------------
  // When Dest is a series: the settings, and the same data set, shared.
  void AssignTo(TPersistent& dest) const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // A folding tagged with the class's record type, holding WriteFields.
  bool WriteTo(TVistaWriter& writer) override;
  // The point records and the point block, which ReadField reads itself.
  bool ReadsOwnRecord(int32_t tag) const override;
  virtual void WriteFields(TVistaWriter& writer) const;
  // Caption, options, the source's parameter identity and units, and every point
  // and control point as a record of its own.
  virtual void QuickSaveFields(TVistaWriter& writer) const;

  // --- Drawing and lookups -------------------------------------------------
  void SetColor(platform::Color value) override;
  // Info is a TGlyphHit: the arrow or the point under Point (6 x 6 pixels).
  bool HitTest(const platform::Point& point, void* info) const override;
  // Paints the points on UseCanvas, clipped to the plot; failures are swallowed.
  void Paint() override;
  virtual bool AreaBetween(double from, double to, double& area);
  // The Y of the point nearest to the axis value (raw or as shown); Found tells
  // whether there was one. Interpolated is always false here.
  virtual double ValueAt(bool raw, bool& interpolated, bool& found, double axis_x);
  virtual double GetMaxY() const;
  virtual double GetMinY() const;
  virtual double DataXToAxisX(double x) const;
  virtual double AxisXToDataX(double x) const;
  virtual double YValueOf(const TXYPoint& point) const;
  virtual void SetYValueOf(TXYPoint& point, double value) const;
  virtual void PaintPoints(platform::Canvas& canvas, platform::Color color);
  virtual std::string GetInfoText() const;
  virtual std::string GetReadout(double axis_x);
  // The pixel of a point's values: X from the X axis, Y from the Y axis, 0 for an
  // axis that is missing.
  virtual platform::Point ValueToPixel(double y, double x, int32_t ordinal) const;
  // A new point of the class this series holds.
  virtual std::unique_ptr<TXYPoint> CreatePoint(int32_t ordinal, double x, double y) const;

  // --- Hooks of the specialised series -------------------------------------
  // A series of paired parameters: the hints of its points name its data set's two
  // sources.
  virtual bool IsPairedSeries() const { return false; }
  // A mean +- SD/SEM series: whether its points' hints show the SEM and the SD.
  virtual bool ShowsSEM() const { return false; }
  virtual bool ShowsSD() const { return false; }
  // Markers on every visible point however dense (events, video frames).
  virtual bool MarksEveryPoint() const { return false; }

  // --- Helpers -------------------------------------------------------------
  // Adds P to the special points, or through the data set's AddPoint.
  TXYPoint* AddPoint(std::unique_ptr<TXYPoint> point, bool special = false);
  double PointKey(const TXYPoint& point) const;
  double SyncReference() const;
  double AxisXOf(const TXYPoint& point) const { return DataXToAxisX(PointKey(point)); }
  // The points before and after AxisX; false without points or in an unsorted data
  // set.
  bool Locate(double axis_x, TSerieLocation& location) const;
  // The nearest point, the later one on a tie; none before the first point or past
  // the last, except for a value on it and in a one-point series.
  TXYPoint* NearestPoint(double axis_x, int32_t& index) const;
  void VisibleIndexRange(double from, double to, int32_t& first, int32_t& last) const;
  void DrawPoint(platform::Canvas& canvas, const TXYPoint& point, int32_t size) const;
  // DrawPoint for a point whose pixel is known.
  void DrawPointAt(platform::Canvas& canvas, const TXYPoint& point, int32_t size,
                   platform::Point pixel) const;
  // Title and unit of the series along Axis (used by the axis).
  std::string SerieAxisTitle(const TAxis* axis) const;
  std::string SerieAxisUnit(const TAxis* axis) const;

 protected:
  // Leaves the axis in Slot for Axis.
  void Reattach(TAxis*& slot, TAxis* axis);
  // How a point is marked: a marker, an arrow head (events), or a marker with a
  // vertical line through the plot (infinite points).
  enum class MarkKind : uint8_t { kMarker, kArrowHead, kInfinite };
  static MarkKind MarkKindOf(const TXYPoint& point);
  // DrawPointAt for a point whose kind of mark is known.
  void DrawMarkAt(platform::Canvas& canvas, MarkKind mark, int32_t size,
                  platform::Point pixel) const;
  // The pixel of the sync arrow's anchor.
  platform::Point ArrowAnchor() const;
  void DrawSyncArrow(platform::Canvas& canvas) const;
  // Reads the point block, field 14.
  void ReadPointBlock(TVistaReader& reader);
  void WritePointRecords(TVistaWriter& writer) const;

  platform::Rect clip_rect_;

 private:
  TDataSetRef data_set_;
  bool dimmed_ = false;
  platform::Rect plot_rect_;
  int32_t point_size_ = 0;
  std::unique_ptr<TSyncDisplayedArrow> arrow_;
  uint8_t sync_mode_ = 0;
  platform::Canvas* use_canvas_ = nullptr;
  bool use_custom_color_ = false;
  TAxisKind x_kind_ = akTime;
  TAxis* use_x_axis_ = nullptr;
  TAxis* use_y_axis_ = nullptr;
  uint8_t point_marker_ = pmNone;
  uint8_t style_ = record_tag::kSeriesStyleDefault;
};

// --- Series class registry --------------------------------------------------

// A series class as registered: its name, its record type and its virtual
// constructor (Create(DataSet); none: a fresh data set of the class's kind).
class TSerieClass {
 public:
  virtual ~TSerieClass() = default;
  virtual std::string_view Name() const = 0;
  virtual int32_t RecordType() const = 0;
  virtual std::unique_ptr<TSerieObject> Create(TQORDataSet* data_set) const = 0;
};

// The registry entry of series class T, which has a constructor T(TQORDataSet*)
// and the static constants kClassName and kRecordType.
template <typename T>
const TSerieClass& SerieClassOf() {
  struct Entry final : TSerieClass {
    std::string_view Name() const override { return T::kClassName; }
    int32_t RecordType() const override { return T::kRecordType; }
    std::unique_ptr<TSerieObject> Create(TQORDataSet* data_set) const override {
      return std::make_unique<T>(data_set);
    }
  };
  static const Entry entry;
  return entry;
}

// Appends the class to the registry.
void RegisterSerieClass(const TSerieClass& serie_class);
// A new series of the first registered class with that record type, or none.
std::unique_ptr<TSerieObject> CreateSerieByRecordType(int32_t record_type, TQORDataSet* data_set);
const std::vector<const TSerieClass*>& SerieClasses();

// Texts of the information text (resource strings).
inline constexpr platform::ResourceString SInfoPatient{"Series_C.SInfoPatient", "Patient: %s"};
inline constexpr platform::ResourceString SInfoParameter{"Series_C.SInfoParameter",
                                                         "Parameter: %s %s"};
inline constexpr platform::ResourceString SInfoUnit{"Series_C.SInfoUnit", "Unit: %s"};
inline constexpr platform::ResourceString SInfoPlace{"Series_C.SInfoPlace",
                                                     "Measurement Place: %s"};
inline constexpr platform::ResourceString SInfoRegistered{"Series_C.SInfoRegistered",
                                                          "From Registered Patient No: %d"};
inline constexpr platform::ResourceString SInfoFromFile{"Series_C.SInfoFromFile", "From File: %s"};
inline constexpr platform::ResourceString SInfoCalculated{"Series_C.SInfoCalculated", "Calculated"};
inline constexpr platform::ResourceString SInfoCreated{"Series_C.SInfoCreated", "Created"};
inline constexpr platform::ResourceString SInfoPointCount{"Series_C.SInfoPointCount",
                                                          "No of Points: %d"};
inline constexpr platform::ResourceString SInfoMaximum{"Series_C.SInfoMaximum",
                                                       "Maximum Value: %g"};
inline constexpr platform::ResourceString SInfoMinimum{"Series_C.SInfoMinimum",
                                                       "Minimum Value: %g"};
inline constexpr platform::ResourceString SInfoAverage{"Series_C.SInfoAverage", "Average: %g"};
inline constexpr platform::ResourceString SInfoArea{"Series_C.SInfoArea",
                                                    "Area Under Curve (AUC): %g %s*hours"};
inline constexpr platform::ResourceString SInfoFirstTime{"Series_C.SInfoFirstTime",
                                                         "First Time: %s"};
inline constexpr platform::ResourceString SInfoLastTime{"Series_C.SInfoLastTime", "Last Time: %s"};
inline constexpr platform::ResourceString SInfoInterval{"Series_C.SInfoInterval",
                                                        "Total Interval: %s"};
inline constexpr platform::ResourceString SInfoMovedLater{"Series_C.SInfoMovedLater",
                                                          "The series is moved %d days %s later"};
inline constexpr platform::ResourceString SInfoMovedEarlier{
    "Series_C.SInfoMovedEarlier", "The series is moved %d days %s earlier"};
inline constexpr platform::ResourceString SInfoNoOffset{"Series_C.SInfoNoOffset",
                                                        "The series has no offset"};
