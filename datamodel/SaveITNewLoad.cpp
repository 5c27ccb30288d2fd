// Loading a tagged data file into the save component's Items: the general handler
// for every kind of file, which hands monitor-data and video-controller files to the
// monitor handler and files older than 2.0 to the legacy-point handler once their
// type (field 2) is known.
//
// Every handler consumes exactly the field whose tag it gets: a record whose
// object cannot be made here (its class is not registered, or nothing can take
// it) is skipped whole and counted, so reading goes on at the next record.
#include <cstring>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassParser.h"
#include "datamodel/Axis.h"
#include "datamodel/CareEvents.h"
#include "datamodel/CareEventsSeries.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "datamodel/SaveITNew.h"
#include "datamodel/Series_C.h"
#include "datamodel/Series_CSpecial.h"
#include "platform/exception.h"
#include "platform/format_text.h"

namespace {

// Record types of the series the general handler creates through the series class
// registry.
bool IsSerieRecord(int32_t tag) {
  switch (tag) {
    case kSerieRecord:
    case kEventSerieRecord:
    case kVideoSerieRecord:
    case kYYSerieRecord:
    case kHistogramSerieRecord:
    case kStdSEMSerieRecord:
    case kKorvetSerieRecord:
    case 81:  // no class registered
    case kTarvoDataSeriesRecord:
    case kCategorySeriesRecord:  // a prototype only
    case kMultibarSeriesRecord:
    case -37:  // no class registered
      return true;
    default:
      return false;
  }
}

// The records of this component's own items, which no class of the data model
// writes.
constexpr int32_t kGroupRecord = 1000;
constexpr int32_t kPlotTemplate = 8;
constexpr int32_t kPlotTemplateToo = 1001;
constexpr int32_t kRichText = 70;

// Raw values of a record body, read through the reader.
template <typename T>
T ReadRaw(TVistaReader& reader) {
  T value;
  reader.ReadBuffer(&value, sizeof value);
  return value;
}

void ReadPlotSettingsField(TPlotSettings& settings, int32_t tag, TVistaReader& reader) {
  const auto at_least_20 = [](int32_t value) { return value < 20 ? 1 : value; };
  switch (tag) {
    case 80:
      settings.Byte80 = static_cast<uint8_t>(reader.ReadIntegerField());
      return;
    case 135:
      settings.Byte135 = static_cast<uint8_t>(reader.ReadIntegerField());
      return;
    case 136:
      settings.Byte136 = static_cast<uint8_t>(reader.ReadIntegerField());
      return;
    case 139:
      settings.Byte139 = reader.ReadByteField();
      return;
    case 129:
      settings.Text129 = reader.ReadStringField();
      return;
    case 130:
      settings.Value130 = reader.ReadIntegerField();
      return;
    case 131:
      settings.Value131 = reader.ReadIntegerField();
      return;
    case 132:
      settings.Value132 = reader.ReadIntegerField();
      return;
    case 133:
      settings.Value133 = reader.ReadIntegerField();
      return;
    case 157:
      settings.Value157 = at_least_20(reader.ReadIntegerField());
      return;
    case 158:
      settings.Value158 = at_least_20(reader.ReadIntegerField());
      return;
    default:
      reader.SkipField();
      return;
  }
}

[[noreturn]] void Corrupted() {
  throw Exception("Exception:The file has been corrupted.");
}

// A body read past the end of its record was read from the records after it: the
// record is shorter than its kind's body, and nothing read from it may be kept.
void RequireWithinRecord(const TVistaReader& reader) {
  if (reader.Position() > reader.GroupEnd()) Corrupted();
}

// The folder part of a path, its last separator included.
std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared steps

void TSaveItNew::AddItem(std::unique_ptr<TObject> item) {
  definition_at_.push_back(dynamic_cast<TParameterSerie*>(item.get()));
  items_.push_back(std::move(item));
}

TParameterSerie* TSaveItNew::DefinitionFor(int16_t index) const {
  // The monitor record stands first and definition i at position i + 1.
  const size_t position = size_t{static_cast<uint16_t>(index)} + 1;
  if (position >= definition_at_.size()) return nullptr;
  TParameterSerie* definition = definition_at_[position];
  return definition && definition->Index == index ? definition : nullptr;
}

void TSaveItNew::EnterSerieRecord(int32_t tag, TVistaReader& reader) {
  std::unique_ptr<TSerieObject> serie = CreateSerieByRecordType(tag, nullptr);
  if (!serie) {
    // A record type the series class registry lacks may still have a prototype.
    std::unique_ptr<TObject> object = TVistaStreamParser::CreateByRecordType(tag);
    if (auto* as_serie = dynamic_cast<TSerieObject*>(object.get())) {
      object.release();
      serie.reset(as_serie);
    }
  }
  if (!serie) {
    ++load_report_.skipped_records;
    reader.SkipField();
    return;
  }
  reader.BeginFolding(tag);
  serie->DataSet().SetParameterInfo(std::make_unique<TUniqueParameterInformation>());
  TSerieObject* current = serie.get();
  AddItem(std::move(serie));
  reader.SetCurrentObject(current);
}

void TSaveItNew::EnterPrototypeRecord(int32_t tag, TVistaReader& reader) {
  std::unique_ptr<TObject> object = TVistaStreamParser::CreateByRecordType(tag);
  if (!object || !AsPersistIT(object.get())) {
    ++load_report_.skipped_records;
    reader.SkipField();
    return;
  }
  reader.BeginFolding(tag);
  TObject* current = object.get();
  AddItem(std::move(object));
  reader.SetCurrentObject(current);
}

void TSaveItNew::ReadCurrentObjectField(int32_t tag, TVistaReader& reader) {
  TObject* current = reader.CurrentObject();
  if (auto* serie = dynamic_cast<TSerieObject*>(current)) {
    if (tag == record_tag::kSeriesXAxisNumber) {
      const int32_t position = reader.ReadIntegerField();
      if (position >= 0 && position < static_cast<int32_t>(horizontal_axes_.size()))
        serie->SetUseXAxis(horizontal_axes_[static_cast<size_t>(position)]);
      return;
    }
    if (tag == record_tag::kSeriesYAxisNumber) {
      int32_t position = reader.ReadIntegerField();
      if (position < 0 || position >= static_cast<int32_t>(vertical_axes_.size())) position = 0;
      serie->SetUseYAxis(vertical_axes_.empty() ? nullptr
                                                : vertical_axes_[static_cast<size_t>(position)]);
      return;
    }
    serie->ReadField(tag, reader);
    return;
  }
  if (auto* plot_template = dynamic_cast<TPlotTemplate*>(current)) {
    ReadPlotSettingsField(plot_template->Settings(), tag, reader);
    return;
  }
  if (auto* glyph = dynamic_cast<TGlyph*>(current)) {
    glyph->ReadField(tag, reader);
    return;
  }
  if (IPersistIT* persist = AsPersistIT(current)) {
    persist->ReadField(tag, reader);
    return;
  }
  reader.SkipField();
}

// ---------------------------------------------------------------------------
// The general handler

void TSaveItNew::ReadAnyRecord(void* self, int32_t tag, TVistaReader& reader) {
  auto& component = *static_cast<TSaveItNew*>(self);
  if (IsSerieRecord(tag)) {
    component.EnterSerieRecord(tag, reader);
    return;
  }
  switch (tag) {
    case record_tag::kFileType: {
      const int32_t type = reader.ReadIntegerField();
      component.file_type_ = static_cast<TQORFileType>(type);
      if (type == ftMonitorData || type == ftVideoFileController) {
        reader.SetRecordHandler(&TSaveItNew::ReadMonitorRecord, self);
      } else if (component.IsFileVersionBelow(2, 0)) {
        reader.SetRecordHandler(&TSaveItNew::ReadLegacyPointRecord, self);
      }
      return;
    }
    case record_tag::kFileInfo:
    case kGroupRecord:
      reader.BeginFolding(tag);
      return;
    case kHorizontalAxisRecord:
    case kVerticalAxisRecord: {
      const bool horizontal = tag == kHorizontalAxisRecord;
      auto axis =
          std::make_unique<TAxis>(nullptr, platform::Point{0, 0},
                                  horizontal ? platform::Point{1, 0} : platform::Point{0, 1});
      reader.BeginFolding(tag);
      TAxis* current = axis.get();
      (horizontal ? component.horizontal_axes_ : component.vertical_axes_).push_back(current);
      component.AddItem(std::move(axis));
      reader.SetCurrentObject(current);
      return;
    }
    case kPlotTemplate:
    case kPlotTemplateToo: {
      auto plot_template = std::make_unique<TPlotTemplate>();
      reader.BeginFolding(tag);
      TPlotTemplate* current = plot_template.get();
      component.AddItem(std::move(plot_template));
      reader.SetCurrentObject(current);
      return;
    }
    case record_tag::kFileAttribute:
      component.file_attribute_ = static_cast<uint8_t>(reader.ReadIntegerField());
      return;
    case kRichText: {
      const std::string bytes = reader.ReadStringField();
      auto text = std::make_unique<TRichTextObject>();
      text->Content().WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      text->Content().SetPosition(0);
      component.AddItem(std::move(text));
      return;
    }
    case record_tag::kPatientId:
      component.file_patient_id_ = reader.ReadStringField();
      return;
    case record_tag::kPatientName:
      component.file_patient_name_ = reader.ReadStringField();
      return;
    case kCareEventSetRecord:
    case kCategoryRecord:
      // Care-event sets and categories come from the prototype registry, and Items
      // owns them like every other object the load makes.
      component.EnterPrototypeRecord(tag, reader);
      return;
    default:
      component.ReadCurrentObjectField(tag, reader);
      return;
  }
}

// ---------------------------------------------------------------------------
// The monitor handler

void TSaveItNew::ReadMonitorRecord(void* self, int32_t tag, TVistaReader& reader) {
  auto& component = *static_cast<TSaveItNew*>(self);
  switch (tag) {
    case record_tag::kDataPoint:
    case record_tag::kRecordDelimiterPoint:
    case record_tag::kAnalyzerPoint:
      component.ReadDataPoint(tag, reader);
      return;
    case record_tag::kFileAttribute:
      component.file_attribute_ = static_cast<uint8_t>(reader.ReadIntegerField());
      return;
    case record_tag::kMonitorRecord: {
      auto info = std::make_unique<TMonitorInfo>();
      reader.BeginFolding(tag);
      TMonitorInfo* current = info.get();
      component.AddItem(std::move(info));
      reader.SetCurrentObject(current);
      return;
    }
    case record_tag::kMonitorReservedBlock:
      if (component.header_only_) {
        reader.Stop();
      } else {
        reader.SkipField();
      }
      return;
    case record_tag::kParameterDefinition: {
      auto definition = std::make_unique<TParameterSerie>();
      reader.BeginGroup(reader.ReadSize());
      TParameterSerie* current = definition.get();
      component.AddItem(std::move(definition));
      reader.SetCurrentObject(current);
      return;
    }
    case record_tag::kVideoFrame:
      component.ReadVideoFrame(reader);
      return;
    case record_tag::kVideoInfo:
      component.EnterVideoInfo(reader);
      return;
    default:
      component.ReadMonitorObjectField(tag, reader);
      return;
  }
}

void TSaveItNew::ReadDataPoint(int32_t tag, TVistaReader& reader) {
  const int32_t size = reader.ReadSize();
  reader.BeginGroup(size);
  // A record shorter than its body holds no point: what follows it is another
  // record, not the rest of this one.
  if (size < record_tag::kDataPointBodySize) Corrupted();
  // This runs for every point of the file. A plain file in memory is read in place:
  // the group just opened lies within the buffer, so a body of its size is there,
  // and no sum is kept that the bytes would have to pass through.
  uint8_t copy[record_tag::kDataPointBodySize];
  const uint8_t* body = copy;
  const bool in_place = parse_buffer_ && !reader.FoldingMode();
  if (in_place && size >= record_tag::kDataPointBodySize) {
    body = parse_buffer_->Memory() + reader.Position();
    if (tag == record_tag::kAnalyzerPoint) reader.Skip(record_tag::kDataPointBodySize);
  } else {
    reader.ReadBuffer(copy, sizeof copy);
  }
  const int16_t index = qor::LoadLittleEndian<int16_t>(body);
  const double x = qor::LoadLittleEndian<double>(body + 2);
  const double y = qor::LoadLittleEndian<double>(body + 10);
  if (tag == record_tag::kAnalyzerPoint) {
    auto analyzer_point = std::make_unique<TTarvoDataPoint>(x, y);
    analyzer_point->AnalyseResult = static_cast<TAnalyseResult>(ReadRaw<uint8_t>(reader));
    analyzer_point->VialID = reader.ReadStringField();
    analyzer_point->AttemptNo = ReadRaw<int32_t>(reader);
    RequireWithinRecord(reader);
    AddDataPoint(tag, index, std::move(analyzer_point));
  } else {
    AddDataPoint(tag, index, nullptr, x, y);
  }
  reader.EndGroup();
  if (tag == record_tag::kDataPoint && in_place && !reader.HasWideSizes()) ReadDataPointRun(reader);
}

void TSaveItNew::ReadDataPointRun(TVistaReader& reader) {
  // A monitor-data file is mostly one long run of plain data points, each of which
  // costs more in a pass through the reader than in being read here. Exactly the
  // records the reader would hand to ReadDataPoint are taken: whole plain points of
  // the usual size, inside the open group; anything else ends the run, and the
  // reader goes on from there.
  const uint8_t* const data = parse_buffer_->Memory();
  const int64_t start = reader.Position();
  const int64_t end = reader.GroupEnd();
  int64_t position = start;
  while (end - position >= record_tag::kDataPointRecordSize) {
    const uint8_t* const record = data + position;
    if (qor::LoadLittleEndian<int32_t>(record) != record_tag::kDataPoint ||
        qor::LoadLittleEndian<int32_t>(record + 4) != record_tag::kDataPointBodySize)
      break;
    const uint8_t* const body = record + 8;
    AddDataPoint(record_tag::kDataPoint, qor::LoadLittleEndian<int16_t>(body), nullptr,
                 qor::LoadLittleEndian<double>(body + 2), qor::LoadLittleEndian<double>(body + 10));
    position += record_tag::kDataPointRecordSize;
  }
  if (position > start) reader.Skip(position - start);
}

void TSaveItNew::AddDataPoint(int32_t tag, int16_t index,
                              std::unique_ptr<TTarvoDataPoint> analyzer_point, double x, double y) {
  // A point whose index names no definition is left out (and reported); the load
  // goes on, so that one stray record never hides the rest of the patient's data.
  TParameterSerie* definition = DefinitionFor(index);
  if (!definition) {
    ++load_report_.undefined_points;
    return;
  }
  if (!definition->Serie()) {
    auto serie = std::make_unique<TSerie>(nullptr);
    const size_t position = static_cast<uint16_t>(index);
    if (position < points_of_index_.size())
      serie->DataSet().ReservePoints(points_of_index_[position]);
    definition->SetSerie(std::move(serie));
  }
  TSerie& serie = *definition->Serie();
  if (tag == record_tag::kDataPoint) {
    serie.AddPoint(std::make_unique<TXYPoint>(x, y));
  } else if (tag == record_tag::kRecordDelimiterPoint) {
    serie.DataSet().AddControlPoint(std::make_unique<TRecordDelimiterPoint>(x, y));
  } else {
    serie.AddPoint(std::move(analyzer_point));
  }
}

bool TSaveItNew::EnsureVideoSerie() {
  if (video_serie_) return true;
  if (!video_data_set_) {
    video_data_set_ = MakeDataSet<TVideoDataSet>();
    SetVideoCaption("");
  }
  static_cast<TVideoDataSet&>(*video_data_set_).Folder = FolderOf(FileName);
  std::unique_ptr<TSerieObject> serie =
      CreateSerieByRecordType(kVideoSerieRecord, video_data_set_.get());
  if (!serie) return false;
  video_serie_ = serie.get();
  AddItem(std::move(serie));
  return true;
}

void TSaveItNew::SetVideoCaption(const std::string& text) {
  video_data_set_->SetName(platform::Format(platform::LoadResString(SVideoFrom), {text}));
}

void TSaveItNew::EnterVideoInfo(TVistaReader& reader) {
  auto info = std::make_unique<TVideoInfo>();
  reader.BeginFolding(record_tag::kVideoInfo);
  TVideoInfo* current = info.get();
  AddItem(std::move(info));
  reader.SetCurrentObject(current);
  EnsureVideoSerie();
  static_cast<TVideoDataSet&>(*video_data_set_).Folder = FolderOf(FileName);
}

void TSaveItNew::ReadVideoFrame(TVistaReader& reader) {
  // A frame before any video information still has the video series made for it,
  // where a series class can make one; without one it is skipped whole.
  if (!EnsureVideoSerie()) {
    ++load_report_.skipped_records;
    reader.SkipField();
    return;
  }
  reader.BeginGroup(reader.ReadSize());
  const double time = ReadRaw<double>(reader);
  const int32_t frame = ReadRaw<int32_t>(reader);
  RequireWithinRecord(reader);
  auto point = std::make_unique<TVideoFrame>(time, frame);
  point->AVIFileNumber = static_cast<TVideoDataSet&>(*video_data_set_).CurrentFileIndex;
  video_serie_->AddPoint(std::move(point));
  reader.EndGroup();
}

void TSaveItNew::ReadMonitorObjectField(int32_t tag, TVistaReader& reader) {
  TObject* current = reader.CurrentObject();
  if (auto* definition = dynamic_cast<TParameterSerie*>(current)) {
    TUniqueParameterInformation& info = definition->ParameterInfo();
    switch (tag) {
      case record_tag::kDefinitionIndex:
        definition->Index = static_cast<int16_t>(reader.ReadIntegerField());
        return;
      case record_tag::kDefinitionParameterName:
        info.SetParameterName(reader.ReadStringField());
        return;
      case record_tag::kDefinitionMeasurementPlace:
        info.SetMeasurementPlace(reader.ReadStringField());
        return;
      case record_tag::kDefinitionParamExtraName:
        info.SetParamExtraName(reader.ReadStringField());
        return;
      case record_tag::kDefinitionParameterID:
        info.SetParameterID(reader.ReadStringField());
        return;
      case record_tag::kDefinitionUnit:
        definition->Unit = reader.ReadStringField();
        return;
      default:
        reader.SkipField();
        return;
    }
  }
  if (auto* monitor = dynamic_cast<TMonitorInfo*>(current)) {
    switch (tag) {
      case record_tag::kMonitorName:
        monitor->MonitorName = reader.ReadStringField();
        return;
      case record_tag::kMonitorDetail:
        monitor->MonitorDetail = reader.ReadStringField();
        return;
      case record_tag::kPatientId:
        monitor->PatientId = reader.ReadStringField();
        return;
      case record_tag::kPatientName:
        monitor->PatientName = reader.ReadStringField();
        return;
      default:
        reader.SkipField();
        return;
    }
  }
  if (auto* video = dynamic_cast<TVideoInfo*>(current)) {
    switch (tag) {
      case record_tag::kPatientId:
      case record_tag::kPatientName:
        (tag == record_tag::kPatientId ? video->PatientName : video->PatientId) =
            reader.ReadStringField();
        SetVideoCaption(video->PatientName + " " + video->PatientId);
        return;
      case record_tag::kVideoInfoFileName: {
        video->VideoFileName = reader.ReadStringField();
        auto& data_set = static_cast<TVideoDataSet&>(*video_data_set_);
        data_set.VideoFiles.push_back(video->VideoFileName);
        data_set.CurrentFileIndex = static_cast<int32_t>(data_set.VideoFiles.size()) - 1;
        return;
      }
      default:
        reader.SkipField();
        return;
    }
  }
  reader.SkipField();
}

// ---------------------------------------------------------------------------
// The legacy-point handler (files older than 2.0)

void TSaveItNew::ReadLegacyPointRecord(void* self, int32_t tag, TVistaReader& reader) {
  auto& component = *static_cast<TSaveItNew*>(self);
  if (!component.ReadLegacyPoint(tag, reader)) ReadAnyRecord(self, tag, reader);
}

bool TSaveItNew::ReadLegacyPoint(int32_t tag, TVistaReader& reader) {
  auto* serie = dynamic_cast<TSerieObject*>(reader.CurrentObject());
  if (!serie) return false;
  switch (tag) {
    case kStdDevPointRecord:
    case kXYPointRecord:
    case kYYPointRecord:
    case kInfinitePointRecord:
    case kEventPointRecord:
    case kKorvetDataPointRecord:
    case kUnderDetectionLimitPointRecord:
      break;
    default:
      return false;
  }
  // The ordinal follows the values from version 1.5 on; older points number
  // themselves from X.
  const bool has_ordinal = IsFileVersionAtLeast(1, 5);
  const auto read_ordinal = [&](TXYPoint& point) {
    if (has_ordinal) point.OrdinalNo = ReadRaw<int32_t>(reader);
  };
  // Every body is read inside its record, which ends where its size says (the
  // event point's record too), whatever the body held.
  reader.BeginGroup(reader.ReadSize());
  std::unique_ptr<TXYPoint> point;
  switch (tag) {
    case kStdDevPointRecord: {
      const double x = ReadRaw<double>(reader);
      const double y = ReadRaw<double>(reader);
      auto p = std::make_unique<TStdDevPoint>(x, y);
      p->SD = ReadRaw<double>(reader);
      p->SEM = ReadRaw<double>(reader);
      p->N = ReadRaw<int32_t>(reader);
      p->ExtraN = ReadRaw<int32_t>(reader);
      read_ordinal(*p);
      point = std::move(p);
      break;
    }
    case kXYPointRecord:
    case kUnderDetectionLimitPointRecord: {
      const double x = ReadRaw<double>(reader);
      const double y = ReadRaw<double>(reader);
      if (tag == kXYPointRecord) {
        point = std::make_unique<TXYPoint>(x, y);
      } else {
        point = std::make_unique<TUnderDetectionLimitPoint>(x, y);
      }
      read_ordinal(*point);
      break;
    }
    case kYYPointRecord: {
      const double x = ReadRaw<double>(reader);
      const double y = ReadRaw<double>(reader);
      auto p = std::make_unique<TYYPoint>(x, y);
      p->TimeX = ReadRaw<double>(reader);
      read_ordinal(*p);
      point = std::move(p);
      break;
    }
    case kInfinitePointRecord: {
      point = std::make_unique<TInfinitePoint>(ReadRaw<double>(reader), 0);
      read_ordinal(*point);
      break;
    }
    case kEventPointRecord: {
      const double x = ReadRaw<double>(reader);
      if (ReadRaw<int32_t>(reader) != kEventTextField) break;  // no point
      auto p = std::make_unique<TEventPoint>(x, 0);
      p->SetText(reader.ReadStringField());
      read_ordinal(*p);
      point = std::move(p);
      break;
    }
    case kKorvetDataPointRecord: {
      const double x = ReadRaw<double>(reader);
      const double y = ReadRaw<double>(reader);
      auto p = std::make_unique<TKorvetDataPoint>(x, y);
      p->OriginalTimeStamp = ReadRaw<double>(reader);
      if (has_ordinal) {
        p->OrdinalNo = ReadRaw<int32_t>(reader);
        if (ReadRaw<int32_t>(reader) == kEventTextField) p->SetUserVialNo(reader.ReadStringField());
        if (ReadRaw<int32_t>(reader) == kEventTextField) p->SetID(reader.ReadStringField());
        p->AnalyseResult = static_cast<TAnalyseResult>(ReadRaw<int32_t>(reader) & 0xFF);
      }
      point = std::move(p);
      break;
    }
    default:
      break;
  }
  RequireWithinRecord(reader);
  if (point) serie->AddPoint(std::move(point));
  reader.EndGroup();
  return true;
}
