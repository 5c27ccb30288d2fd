// Feeds arbitrary bytes to the data model: the stream parser assembles whatever
// objects it finds (series, quick saves, identities, care events, categories,
// option lists, visualizers, category series), and a loader in the manner of
// the save component reads series, axes, browse items and points at file level.
// Everything read is then used: painted on a recording canvas against its axes,
// looked up, described and written out again, and the axes draw themselves.
// Anything but the orderly exceptions of the reader and the model (a crash, a hang,
// a leak, a sanitizer report) is a fault. Built as a libFuzzer target and, for
// replaying the corpus, into the tests.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/Axis.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/CareEvents.h"
#include "datamodel/CareEventsItems.h"
#include "datamodel/CareEventsSeries.h"
#include "datamodel/CareEventsVisualizers.h"
#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_C.h"
#include "datamodel/Series_CSpecial.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/recording_canvas.h"
#include "platform/stream.h"

namespace {

struct Loaded {
  std::vector<std::unique_ptr<TSerieObject>> series;
  std::vector<std::unique_ptr<TAxis>> axes;
  std::vector<std::unique_ptr<TBrowseItem>> items;
  std::vector<std::unique_ptr<TXYPoint>> points;
};

std::unique_ptr<TXYPoint> PointFor(int32_t tag) {
  switch (tag) {
    case kXYPointRecord:
      return std::make_unique<TXYPoint>(0, 0);
    case kInfinitePointRecord:
      return std::make_unique<TInfinitePoint>(0, 0);
    case kUnderDetectionLimitPointRecord:
      return std::make_unique<TUnderDetectionLimitPoint>(0, 0);
    case kRecordDelimiterPointRecord:
      return std::make_unique<TRecordDelimiterPoint>(0, 0);
    case kMultivaluePointRecord:
      return std::make_unique<TMultivaluePoint>(0, 0);
    case kCategoryPointRecord:
      return std::make_unique<TCategoryPoint>(0, 0);
    case kCompositeCategoryPointRecord:
      return std::make_unique<TCompositeCategoryPoint>(0, 0);
    default:
      return nullptr;
  }
}

// File-level records become objects; inside a record, the record's object reads.
void Load(void* user_data, int32_t tag, TVistaReader& reader) {
  auto& loaded = *static_cast<Loaded*>(user_data);
  if (TObject* current = reader.CurrentObject()) {
    if (auto* intf = AsPersistIT(current)) {
      intf->ReadField(tag, reader);
      return;
    }
    reader.SkipField();
    return;
  }
  if (std::unique_ptr<TSerieObject> serie = CreateSerieByRecordType(tag, nullptr)) {
    reader.BeginFolding(tag);
    reader.SetCurrentObject(serie.get());
    loaded.series.push_back(std::move(serie));
    return;
  }
  if (tag == kHorizontalAxisRecord || tag == kVerticalAxisRecord) {
    const platform::Point end =
        tag == kHorizontalAxisRecord ? platform::Point{1, 0} : platform::Point{0, 1};
    loaded.axes.push_back(std::make_unique<TAxis>(nullptr, platform::Point{0, 0}, end));
    reader.BeginFolding(tag);
    reader.SetCurrentObject(loaded.axes.back().get());
    return;
  }
  if (tag == kBrowseItemRecord) {
    loaded.items.push_back(std::make_unique<TPatient>());
    reader.BeginFolding(tag);
    reader.SetCurrentObject(loaded.items.back().get());
    return;
  }
  if (std::unique_ptr<TXYPoint> point = PointFor(tag)) {
    point->ReadField(tag, reader);
    loaded.points.push_back(std::move(point));
    return;
  }
  reader.SkipField();
}

void Use(TSerieObject& serie, TAxis* x_axis, TAxis* y_axis, platform::RecordingCanvas& canvas) {
  if (auto* band = dynamic_cast<TNoYAxisSeries*>(&serie)) band->Band = {0, 40, 200, 60};
  serie.SetUseXAxis(x_axis);
  serie.SetUseYAxis(y_axis);
  serie.SetUseCanvas(&canvas);
  serie.SetPlotRect({0, 0, 200, 100});
  serie.SetPointSize(3);
  serie.Paint();
  serie.SetSyncMode(2);
  serie.Paint();
  serie.SetStyle(0xFF);
  serie.Paint();
  bool interpolated;
  bool found;
  int32_t index;
  double area;
  for (double x : {-1.0, 0.0, 0.5, 45000.0}) {
    serie.ValueAt(false, interpolated, found, x);
    serie.NearestPoint(x, index);
    serie.GetReadout(x);
  }
  serie.AreaBetween(0, 1e6, area);
  serie.GetInfoText();
  TGlyphHit hit;
  serie.HitTest({10, 10}, &hit);
  const TQORDataSet& data = serie.DataSet();
  for (int32_t i = 0; i < data.PointCount() && i < 4; ++i)
    data.GetPoint(i)->GetHintText(&serie);
  TVistaWriter writer;
  platform::MemoryStream out;
  writer.SetStream(&out);
  serie.WriteTo(writer);
  TSerieObjectQuickSave quick;
  quick.SetSerie(&serie);
  quick.WriteTo(writer);
  serie.SetSyncMode(0);
  serie.SetUseXAxis(nullptr);
  serie.SetUseYAxis(nullptr);
}

void UseEverything(Loaded& loaded) {
  platform::RecordingCanvas canvas;
  TAxis* x_axis = nullptr;
  TAxis* y_axis = nullptr;
  for (const auto& axis : loaded.axes) {
    axis->SetCanvas(&canvas);
    axis->RecomputeTickLengths();
    (axis->IsHorizontal() ? x_axis : y_axis) = axis.get();
    axis->PixelToValue(3, 4);
    axis->ValueToPixelX(1.5);
    axis->ValueToPixelY(-1.5);
  }
  for (const auto& serie : loaded.series)
    Use(*serie, x_axis, y_axis, canvas);
  // The axes draw themselves with the series they carry, then without.
  platform::RecordingCanvas target;
  for (const auto& serie : loaded.series) {
    serie->SetUseXAxis(x_axis);
    serie->SetUseYAxis(y_axis);
  }
  for (const auto& axis : loaded.axes) {
    axis->ShowGrid = true;
    axis->ShowUnitLegend = true;
    axis->Paint();
    axis->DrawAxis(target, 0x0000FF, {0, 0});
    TGlyphHit hit;
    axis->HitTest({1, 1}, &hit);
  }
  for (const auto& serie : loaded.series) {
    serie->SetUseXAxis(nullptr);
    serie->SetUseYAxis(nullptr);
  }
  for (const auto& axis : loaded.axes)
    axis->Paint();
  for (const auto& item : loaded.items) {
    item->GetCaption();
    item->GetLongCaption();
    item->ImageIndex();
  }
  TVistaWriter writer;
  platform::MemoryStream out;
  writer.SetStream(&out);
  for (const auto& axis : loaded.axes)
    axis->WriteTo(writer);
  for (const auto& item : loaded.items)
    item->WriteTo(writer);
  for (const auto& point : loaded.points) {
    point->GetHintText(nullptr);
    point->WriteTo(writer);
  }
}

// Writes Object and, when it is a persistent, copies it into a new empty one.
void WriteAndCopy(TObject& object) {
  IPersistIT* intf = AsPersistIT(&object);
  if (!intf) return;
  TVistaWriter writer;
  platform::MemoryStream out;
  writer.SetStream(&out);
  try {
    intf->WriteTo(writer);
  } catch (const Exception&) {
  }
  std::unique_ptr<TObject> empty = intf->CreateEmpty();
  auto* copy = dynamic_cast<TPersistent*>(empty.get());
  if (!copy) return;
  try {
    copy->Assign(dynamic_cast<TPersistent&>(object));
  } catch (const Exception&) {
  }
}

void UseCategory(const TCategory& category, platform::RecordingCanvas& canvas) {
  category.Equals(category);
  TCategory empty;
  category.Equals(empty);
  empty.Equals(category);
  for (int32_t value : {-1, 0, 1, 255, 256}) {
    try {
      category.ValueCaption(value);
    } catch (const Exception&) {
    }
    if (category.Visualizer) {
      try {
        category.Visualizer->Draw(value, canvas, 10, 10, 9, 0);
      } catch (const Exception&) {
      }
    }
  }
}

// The care-event objects the parser assembled: compared, drawn, painted with
// their hints, written and copied.
void UseCareObject(TObject& object) {
  platform::RecordingCanvas canvas;
  if (auto* category = dynamic_cast<TCategory*>(&object)) UseCategory(*category, canvas);
  if (auto* item = dynamic_cast<TOptionItem*>(&object); item && item->Category)
    UseCategory(*item->Category, canvas);
  if (auto* set = dynamic_cast<TCareEventSet*>(&object)) {
    set->Equals(*set);
    TCareEventSet copy;
    copy.Assign(*set);
  }
  if (auto* visualizer = dynamic_cast<TAbstractCategoryVisualizer*>(&object)) {
    for (int32_t value : {-1, 0, 1, 1000}) {
      try {
        visualizer->Draw(value, canvas, INT32_MAX, INT32_MIN, 9, 0);
      } catch (const Exception&) {
      }
    }
  }
  if (auto* item = dynamic_cast<TBrowseItem*>(&object)) {
    item->GetCaption();
    BrowseTreeHeight(*item, 1000);
  }
  if (auto* serie = dynamic_cast<TCategorySeries*>(&object)) {
    TAxis x_axis(&canvas, {0, 100}, {200, 100});
    const TQORDataSet& data = serie->DataSet();
    if (data.PointCount() > 0) x_axis.SetMinimum(data.GetPoint(0)->XValue - 1);
    serie->Band = {0, 40, 200, 60};
    for (const bool momentary : {false, true}) {
      if (serie->Category()) serie->Category()->Momentary = momentary;
      Use(*serie, &x_axis, nullptr, canvas);
      serie->SetUseXAxis(&x_axis);
      for (int32_t i = 0; i < data.PointCount() && i < 4; ++i) {
        try {
          data.GetPoint(i)->GetHintText(serie);
        } catch (const Exception&) {
        }
      }
      serie->SetUseXAxis(nullptr);
    }
    TCategorySeries copy(nullptr);
    copy.Assign(*serie);
  }
  WriteAndCopy(object);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegisterDataModel();
  // Messages a file carries for the user go nowhere here.
  platform::ScopedScriptedDialogs quiet;
  platform::MemoryStream stream;
  stream.Write(data, static_cast<int64_t>(size));

  TVistaStreamParser parser(nullptr);
  stream.SetPosition(0);
  try {
    parser.Parse(stream);
  } catch (const Exception&) {
  }
  for (const auto& object : parser.Results()) {
    try {
      UseCareObject(*object);
    } catch (const Exception&) {
    }
    if (auto* quick = dynamic_cast<TSerieObjectQuickSave*>(object.get())) {
      if (std::unique_ptr<TSerieObject> serie = quick->TakeSerie()) {
        try {
          UseCareObject(*serie);
        } catch (const Exception&) {
        }
        platform::RecordingCanvas canvas;
        try {
          Use(*serie, nullptr, nullptr, canvas);
        } catch (const Exception&) {
        }
      }
    }
  }

  Loaded loaded;
  TVistaReader reader;
  stream.SetPosition(0);
  try {
    reader.Read(stream, &Load, &loaded);
  } catch (const Exception&) {
  }
  try {
    UseEverything(loaded);
  } catch (const Exception&) {
  }
  return 0;
}
