// The specialised series: their data sets, point records, copies and registration.
// Painting and read-outs are in Series_CSpecialPaint.cpp.
#include "datamodel/Series_CSpecial.h"

#include <algorithm>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "platform/exception.h"

namespace {

template <typename T>
T ReadRaw(TVistaReader& reader) {
  T value;
  reader.ReadBuffer(&value, sizeof value);
  return value;
}

// X, Y and the ordinal at the start of a point record's body.
struct XYBody {
  double x;
  double y;
  int32_t ordinal;
};

XYBody ReadXY(TVistaReader& reader) {
  XYBody body;
  body.x = ReadRaw<double>(reader);
  body.y = ReadRaw<double>(reader);
  body.ordinal = ReadRaw<int32_t>(reader);
  return body;
}

// Reads a point record whose body starts with X, Y and the ordinal: a new point of
// class P from them, the rest of its own fields read by Rest, handed to the series.
template <typename P, typename F>
void ReadXYPointRecord(TSerieObject& serie, TVistaReader& reader, F&& rest) {
  ReadGroupRecord(reader, [&](int32_t) {
    const XYBody body = ReadXY(reader);
    auto point = std::make_unique<P>(body.x, body.y, body.ordinal);
    rest(*point);
    serie.AddPoint(std::move(point));
  });
}

// An analysis result stored as an int32 carries its value in the low byte.
TAnalyseResult AnalyseResultOf(int32_t stored) {
  return static_cast<TAnalyseResult>(static_cast<uint8_t>(stored & 0xFF));
}

// Whether the reader is inside a help line's record, whose fields go to the help
// line through TSerie whatever their tags.
bool InsideHelpLine(const TVistaReader& reader) {
  return dynamic_cast<const THelpLine*>(reader.CurrentObject()) != nullptr;
}

// The data set a series of a class that needs data sets of kind T starts with: a
// new one for none; another kind is refused before the series takes a reference,
// so that the caller's data set is left as it was.
template <typename T>
TDataSetRef RequiredDataSet(TQORDataSet* data_set, const char* refusal) {
  if (!data_set) return MakeDataSet<T>();
  if (!dynamic_cast<T*>(data_set)) throw Exception(refusal);
  return TDataSetRef(data_set);
}

// The text of a field-9 string that follows inside a group of Size bytes of which
// Used have been read: the next tag must be 9, and a record that ends before any
// tag has no text.
bool ReadTaggedText(TVistaReader& reader, int64_t size, int64_t used, std::string& text) {
  if (size - used < 4) return false;
  if (reader.ReadTag() != kEventTextField) return false;
  text = reader.ReadStringField();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// THistogramDataSet

THistogramDataSet::THistogramDataSet() {
  SetOptions1(2);
}

std::string THistogramDataSet::GetXTitle() const {
  return Sources().empty() ? std::string() : Sources().front()->GetYTitle();
}

std::string THistogramDataSet::GetYTitle() const {
  return platform::LoadResString(SHistogramHours);
}

bool THistogramDataSet::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == record_tag::kHistogramDataSetValue) {
    HistogramValue = reader.ReadDoubleField();
    return true;
  }
  return TQORDataSet::ReadField(tag, reader);
}

void THistogramDataSet::WriteFields(TVistaWriter& writer) {
  TQORDataSet::WriteFields(writer);
  writer.WriteDoubleField(record_tag::kHistogramDataSetValue, HistogramValue);
}

TDataSetRef THistogramDataSet::CreateEmptyLike() const {
  return MakeDataSet<THistogramDataSet>();
}

void THistogramDataSet::AssignTo(TPersistent& dest) const {
  TQORDataSet::AssignTo(dest);
  if (auto* data_set = dynamic_cast<THistogramDataSet*>(&dest))
    data_set->HistogramValue = HistogramValue;
}

// ---------------------------------------------------------------------------
// TNoYAxisSeries

void TNoYAxisSeries::AssignTo(TPersistent& dest) const {
  TSerieObject::AssignTo(dest);
  if (auto* serie = dynamic_cast<TNoYAxisSeries*>(&dest)) serie->Band = Band;
}

// ---------------------------------------------------------------------------
// TKorvetSerie

std::unique_ptr<TObject> TKorvetSerie::CreateEmpty() const {
  return std::make_unique<TKorvetSerie>(nullptr);
}

std::unique_ptr<TXYPoint> TKorvetSerie::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TKorvetDataPoint>(x, y, ordinal);
}

bool TKorvetSerie::ReadsOwnRecord(int32_t tag) const {
  return tag == kKorvetDataPointRecord || TSerie::ReadsOwnRecord(tag);
}

void TKorvetSerie::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kKorvetDataPointRecord || InsideHelpLine(reader)) {
    TSerie::ReadField(tag, reader);
    return;
  }
  ReadXYPointRecord<TKorvetDataPoint>(*this, reader, [&](TKorvetDataPoint& point) {
    point.OriginalTimeStamp = ReadRaw<double>(reader);
    point.SetUserVialNo(reader.ReadStringField());
    point.SetID(reader.ReadStringField());
    point.AnalyseResult = AnalyseResultOf(ReadRaw<int32_t>(reader));
  });
}

// ---------------------------------------------------------------------------
// TTarvoDataSeries

std::unique_ptr<TObject> TTarvoDataSeries::CreateEmpty() const {
  return std::make_unique<TTarvoDataSeries>(nullptr);
}

std::unique_ptr<TXYPoint> TTarvoDataSeries::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TTarvoDataPoint>(x, y, ordinal);
}

bool TTarvoDataSeries::ReadsOwnRecord(int32_t tag) const {
  return tag == kTarvoDataPointRecord || TSerie::ReadsOwnRecord(tag);
}

void TTarvoDataSeries::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kTarvoDataPointRecord || InsideHelpLine(reader)) {
    TSerie::ReadField(tag, reader);
    return;
  }
  ReadXYPointRecord<TTarvoDataPoint>(*this, reader, [&](TTarvoDataPoint& point) {
    point.AnalyseResult = AnalyseResultOf(ReadRaw<int32_t>(reader));
  });
}

// ---------------------------------------------------------------------------
// TYYSerie

TYYSerie::TYYSerie(TQORDataSet* data_set)
    : TSerie(RequiredDataSet<TYYDataSet>(data_set, "Exception:Not a TYYDataSet!").get()) {
  SetStyle(record_tag::kSeriesStyleMarkers);
}

std::unique_ptr<TObject> TYYSerie::CreateEmpty() const {
  return std::make_unique<TYYSerie>(nullptr);
}

std::unique_ptr<TXYPoint> TYYSerie::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TYYPoint>(x, y, ordinal);
}

bool TYYSerie::ReadsOwnRecord(int32_t tag) const {
  return tag == kYYPointRecord || TSerie::ReadsOwnRecord(tag);
}

void TYYSerie::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kYYPointRecord || InsideHelpLine(reader)) {
    TSerie::ReadField(tag, reader);
    return;
  }
  ReadXYPointRecord<TYYPoint>(*this, reader,
                              [&](TYYPoint& point) { point.TimeX = ReadRaw<double>(reader); });
}

bool TYYSerie::AreaBetween(double, double, double& area) {
  area = 0;
  return false;
}

// ---------------------------------------------------------------------------
// THistogramSerie

THistogramSerie::THistogramSerie(TQORDataSet* data_set)
    : TSerie(
          RequiredDataSet<THistogramDataSet>(data_set, "Exception:Not a HistogramDataSet!").get()) {
}

std::unique_ptr<TObject> THistogramSerie::CreateEmpty() const {
  return std::make_unique<THistogramSerie>(nullptr);
}

bool THistogramSerie::AreaBetween(double, double, double& area) {
  area = 0;
  return false;
}

// ---------------------------------------------------------------------------
// TStdSEMSerie

std::unique_ptr<TObject> TStdSEMSerie::CreateEmpty() const {
  return std::make_unique<TStdSEMSerie>(nullptr);
}

std::unique_ptr<TXYPoint> TStdSEMSerie::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TStdDevPoint>(x, y, ordinal);
}

void TStdSEMSerie::AssignTo(TPersistent& dest) const {
  TSerie::AssignTo(dest);
  if (auto* serie = dynamic_cast<TStdSEMSerie*>(&dest)) {
    serie->ShowSEM = ShowSEM;
    serie->ShowSD = ShowSD;
  }
}

bool TStdSEMSerie::ReadsOwnRecord(int32_t tag) const {
  return tag == kStdDevPointRecord || TSerie::ReadsOwnRecord(tag);
}

void TStdSEMSerie::ReadField(int32_t tag, TVistaReader& reader) {
  if (InsideHelpLine(reader)) {
    TSerie::ReadField(tag, reader);
    return;
  }
  switch (tag) {
    case record_tag::kStdSEMSeriesShowSEM:
      ShowSEM = reader.ReadByteField() != 0;
      return;
    case record_tag::kStdSEMSeriesShowSD:
      ShowSD = reader.ReadByteField() != 0;
      return;
    case kStdDevPointRecord:
      ReadXYPointRecord<TStdDevPoint>(*this, reader, [&](TStdDevPoint& point) {
        point.SD = ReadRaw<double>(reader);
        point.SEM = ReadRaw<double>(reader);
        point.N = ReadRaw<int32_t>(reader);
        point.ExtraN = ReadRaw<int32_t>(reader);
      });
      return;
    default:
      TSerie::ReadField(tag, reader);
  }
}

void TStdSEMSerie::WriteFields(TVistaWriter& writer) const {
  TSerie::WriteFields(writer);
  writer.WriteByteField(record_tag::kStdSEMSeriesShowSEM, ShowSEM ? 1 : 0);
  writer.WriteByteField(record_tag::kStdSEMSeriesShowSD, ShowSD ? 1 : 0);
}

// ---------------------------------------------------------------------------
// TMultibarSeries

TMultibarSeries::TMultibarSeries(TQORDataSet* data_set) : TSerie(data_set) {
  SetStyle(record_tag::kSeriesStyleBars | record_tag::kSeriesStyleFilled);
}

void TMultibarSeries::SetBarCount(int32_t count) {
  bar_count_ = std::max(count, 0);
  bar_colors_.resize(static_cast<size_t>(bar_count_), 0);
}

void TMultibarSeries::SetBarColor(int32_t index, platform::Color color) {
  if (index >= 0 && static_cast<size_t>(index) < bar_colors_.size())
    bar_colors_[static_cast<size_t>(index)] = color;
}

std::unique_ptr<TObject> TMultibarSeries::CreateEmpty() const {
  return std::make_unique<TMultibarSeries>(nullptr);
}

std::unique_ptr<TXYPoint> TMultibarSeries::CreatePoint(int32_t ordinal, double x, double y) const {
  auto point = std::make_unique<TMultivaluePoint>(x, y, ordinal);
  point->Values.resize(static_cast<size_t>(bar_count_), 0.0);
  return point;
}

void TMultibarSeries::AssignTo(TPersistent& dest) const {
  TSerie::AssignTo(dest);
  auto* serie = dynamic_cast<TMultibarSeries*>(&dest);
  if (!serie || serie == this) return;
  serie->Adjoining = Adjoining;
  serie->SetBarCount(bar_count_);
  for (size_t i = 0; i < bar_colors_.size(); ++i)
    serie->SetBarColor(static_cast<int32_t>(i), bar_colors_[i]);
}

bool TMultibarSeries::ReadsOwnRecord(int32_t tag) const {
  return tag == kMultivaluePointRecord || TSerie::ReadsOwnRecord(tag);
}

void TMultibarSeries::ReadField(int32_t tag, TVistaReader& reader) {
  if (InsideHelpLine(reader)) {
    TSerie::ReadField(tag, reader);
    return;
  }
  switch (tag) {
    case record_tag::kMultibarSeriesBarColors:
      ReadGroupRecord(reader, [&](int32_t size) {
        const int32_t count = ReadRaw<int32_t>(reader);
        // The count comes from the file: every colour it announces must be there.
        if (count < 0 || int64_t{count} * 4 > int64_t{size} - 4)
          throw Exception("Exception:Error in file");
        SetBarCount(count);
        for (int32_t i = 0; i < count; ++i)
          SetBarColor(i, static_cast<platform::Color>(ReadRaw<int32_t>(reader)));
      });
      return;
    case record_tag::kMultibarSeriesAdjoining:
      Adjoining = reader.ReadByteField() != 0;
      return;
    case kMultivaluePointRecord: {
      auto point = std::make_unique<TMultivaluePoint>(0, 0);
      point->ReadField(tag, reader);
      AddPoint(std::move(point));
      return;
    }
    default:
      TSerie::ReadField(tag, reader);
  }
}

void TMultibarSeries::WriteFields(TVistaWriter& writer) const {
  TSerie::WriteFields(writer);
  writer.BeginGroup(record_tag::kMultibarSeriesBarColors);
  writer.WriteInt32(bar_count_);
  for (platform::Color color : bar_colors_)
    writer.WriteInt32(static_cast<int32_t>(color));
  writer.EndGroup();
  writer.WriteByteField(record_tag::kMultibarSeriesAdjoining, Adjoining ? 1 : 0);
}

// ---------------------------------------------------------------------------
// TEventSerie

TEventSerie::TEventSerie(TQORDataSet* data_set) : TNoYAxisSeries(data_set) {
  SetStyle(record_tag::kSeriesStyleAutoMarkers);
}

std::unique_ptr<TObject> TEventSerie::CreateEmpty() const {
  return std::make_unique<TEventSerie>(nullptr);
}

std::unique_ptr<TXYPoint> TEventSerie::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TEventPoint>(x, y, ordinal);
}

bool TEventSerie::ReadsOwnRecord(int32_t tag) const {
  return tag == kEventPointRecord || tag == kOldEventPointRecord ||
         TNoYAxisSeries::ReadsOwnRecord(tag);
}

void TEventSerie::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kEventPointRecord) {
    ReadGroupRecord(reader, [&](int32_t size) {
      const double x = ReadRaw<double>(reader);
      const int32_t ordinal = ReadRaw<int32_t>(reader);
      auto point = std::make_unique<TEventPoint>(x, 0, ordinal);
      std::string text;
      if (ReadTaggedText(reader, size, 12, text)) point->SetText(text);
      AddPoint(std::move(point));
    });
    return;
  }
  if (tag == kOldEventPointRecord) {
    // The older record was read without a group, and reading went on right after
    // the text: a record longer than its text (the size says so) put the reader
    // inside the record's rest. It now ends at its end like every record.
    ReadGroupRecord(reader, [&](int32_t size) {
      const double x = ReadRaw<double>(reader);
      const double y = ReadRaw<double>(reader);
      auto point = std::make_unique<TEventPoint>(x, y);
      std::string text;
      if (ReadTaggedText(reader, size, 16, text)) point->SetText(text);
      AddPoint(std::move(point));
    });
    return;
  }
  TNoYAxisSeries::ReadField(tag, reader);
}

// ---------------------------------------------------------------------------
// TVideoSerie

TVideoSerie::TVideoSerie(TQORDataSet* data_set)
    : TNoYAxisSeries(
          RequiredDataSet<TVideoDataSet>(data_set, "Exception:Not a VideoDataSet!").get()) {
  SetStyle(record_tag::kSeriesStyleAutoMarkers);
}

std::unique_ptr<TObject> TVideoSerie::CreateEmpty() const {
  return std::make_unique<TVideoSerie>(nullptr);
}

std::unique_ptr<TXYPoint> TVideoSerie::CreatePoint(int32_t ordinal, double x, double y) const {
  return std::make_unique<TVideoFrame>(x, y, ordinal);
}

bool TVideoSerie::ReadsOwnRecord(int32_t tag) const {
  return tag == kVideoFrameRecord || TNoYAxisSeries::ReadsOwnRecord(tag);
}

void TVideoSerie::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kVideoFrameRecord) {
    TNoYAxisSeries::ReadField(tag, reader);
    return;
  }
  ReadXYPointRecord<TVideoFrame>(
      *this, reader, [&](TVideoFrame& point) { point.AVIFileNumber = ReadRaw<int32_t>(reader); });
}

// ---------------------------------------------------------------------------

void RegisterSpecialisedSerieClasses() {
  RegisterSerieClass(SerieClassOf<TKorvetSerie>());
  RegisterSerieClass(SerieClassOf<TYYSerie>());
  RegisterSerieClass(SerieClassOf<THistogramSerie>());
  RegisterSerieClass(SerieClassOf<TEventSerie>());
  RegisterSerieClass(SerieClassOf<TVideoSerie>());
  RegisterSerieClass(SerieClassOf<TStdSEMSerie>());
  RegisterSerieClass(SerieClassOf<TMultibarSeries>());
  RegisterSerieClass(SerieClassOf<TTarvoDataSeries>());
}
