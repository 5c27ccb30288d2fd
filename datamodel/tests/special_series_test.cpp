// The specialised series: their registration, data sets, point records (bodies
// written out by hand), own fields, copies and read-outs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_CSpecial.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/exception.h"
#include "platform/locale.h"

namespace {

using model_test::Bytes;

class SpecialSeriesTest : public ::testing::Test {
 protected:
  SpecialSeriesTest() : pinned_(platform::LocaleSettings{}) { RegisterDataModel(); }
  platform::ScopedLocaleSettings pinned_;
};

// Reads a plain file holding one record of Serie's record type with Fields.
void ReadRecord(TSerieObject& serie, const Bytes& fields) {
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(qor_test::PlainRecord(serie.RecordType(), fields)));
  model_test::ReadInto(static_cast<IPersistIT&>(serie), &serie, file, serie.RecordType());
}

std::vector<uint8_t> WrittenRecord(TSerieObject& serie) {
  return model_test::Written([&](TVistaWriter& w) { serie.WriteTo(w); });
}

// The fields of a data set without points named Name, its option bytes as given
// (71-79), then the offsets 17 and 18.
Bytes DataSetFields(const std::string& name, std::vector<uint8_t> option_bits) {
  Bytes bytes;
  bytes.I32(11).Str(name);
  for (size_t i = 0; i < option_bits.size(); ++i)
    bytes.I32(71 + static_cast<int32_t>(i)).I32(1).U8(option_bits[i]);
  return bytes.I32(17).I32(8).F64(0).I32(18).I32(8).F64(0);
}

// Fields 12, 16, 19 and 20 of a series in colour Color with Marker and Style.
Bytes SerieHead(uint32_t color, uint8_t marker, uint8_t style) {
  Bytes bytes;
  bytes.I32(12).I32(4).I32(0).I32(16).I32(4).I32(static_cast<int32_t>(color));
  return bytes.I32(19).I32(1).U8(marker).I32(20).I32(1).U8(style);
}

// TSerie's trailer without a Y axis: 13, 31, 32 (reference 100) and 69 (10).
Bytes SerieTail() {
  return Bytes()
      .I32(13)
      .I32(4)
      .I32(0)
      .I32(31)
      .I32(1)
      .U8(0)
      .I32(32)
      .I32(8)
      .F64(100)
      .I32(69)
      .I32(4)
      .I32(10);
}

TEST_F(SpecialSeriesTest, NineClassesInTheRegistrysOrder) {
  std::vector<std::string> names;
  std::vector<int32_t> types;
  for (const TSerieClass* serie_class : SerieClasses()) {
    names.emplace_back(serie_class->Name());
    types.push_back(serie_class->RecordType());
  }
  EXPECT_EQ(names, (std::vector<std::string>{
                       "TSerie", "TKorvetSerie", "TYYSerie", "THistogramSerie", "TEventSerie",
                       "TVideoSerie", "TStdSEMSerie", "TMultibarSeries", "TTarvoDataSeries"}));
  EXPECT_EQ(types, (std::vector<int32_t>{4, 65, 61, 62, 10, 23, 63, -30, 166}));
}

TEST_F(SpecialSeriesTest, EachClassAsCreated) {
  struct Case {
    int32_t record_type;
    std::string_view class_name;
    uint8_t style;
    std::string_view point_class;
    std::string_view data_set_class;
  };
  const Case cases[] = {
      {65, "TKorvetSerie", 0x12, "TKorvetDataPoint", "TQORDataSet"},
      {166, "TTarvoDataSeries", 0x12, "TTarvoDataPoint", "TQORDataSet"},
      {61, "TYYSerie", 0x01, "TYYPoint", "TYYDataSet"},
      {62, "THistogramSerie", 0x12, "TXYPoint", "THistogramDataSet"},
      {63, "TStdSEMSerie", 0x12, "TStdDevPoint", "TQORDataSet"},
      {-30, "TMultibarSeries", 0xC0, "TMultivaluePoint", "TQORDataSet"},
      {10, "TEventSerie", 0x10, "TEventPoint", "TQORDataSet"},
      {23, "TVideoSerie", 0x10, "TVideoFrame", "TVideoDataSet"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.class_name);
    std::unique_ptr<TSerieObject> serie = CreateSerieByRecordType(c.record_type, nullptr);
    ASSERT_NE(serie, nullptr);
    EXPECT_EQ(serie->ClassName(), c.class_name);
    EXPECT_EQ(serie->RecordType(), c.record_type);
    EXPECT_EQ(serie->Style(), c.style);
    EXPECT_EQ(serie->DataSet().ClassName(), c.data_set_class);
    EXPECT_EQ(serie->DataSet().RefCount(), 1);
    std::unique_ptr<TXYPoint> point = serie->CreatePoint(7, 2.5, 3.5);
    EXPECT_EQ(point->ClassName(), c.point_class);
    EXPECT_EQ(point->OrdinalNo, 7);
    EXPECT_EQ(point->XValue, 2.5);
    std::unique_ptr<TObject> empty = serie->CreateEmpty();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->ClassName(), c.class_name);
  }
}

TEST_F(SpecialSeriesTest, ADataSetOfTheWrongKindIsRefused) {
  TDataSetRef plain = MakeDataSet<TQORDataSet>();
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { TYYSerie serie(plain.get()); }),
            "Exception:Not a TYYDataSet!");
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { THistogramSerie serie(plain.get()); }),
            "Exception:Not a HistogramDataSet!");
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { TVideoSerie serie(plain.get()); }),
            "Exception:Not a VideoDataSet!");
  // The refused data set is the caller's as before.
  EXPECT_EQ(plain->RefCount(), 1);

  TDataSetRef video = MakeDataSet<TVideoDataSet>();
  {
    TVideoSerie serie(video.get());
    EXPECT_EQ(&serie.DataSet(), video.get());
    EXPECT_EQ(video->RefCount(), 2);
  }
  EXPECT_EQ(video->RefCount(), 1);
}

TEST_F(SpecialSeriesTest, TheHistogramDataSet) {
  TDataSetRef data = MakeDataSet<THistogramDataSet>();
  EXPECT_EQ(data->Options1(), 2);
  EXPECT_EQ(data->GetYTitle(), "Hours");
  EXPECT_EQ(data->GetXTitle(), "");
  TDataSetRef source = MakeDataSet<TYYDataSet>();
  TDataSetRef first = MakeDataSet<THistogramDataSet>();
  data->Sources().push_back(first.get());
  data->Sources().push_back(source.get());
  EXPECT_EQ(data->GetXTitle(), "Hours");

  THistogramSerie serie(nullptr);
  serie.SetColor(0x0000FF);
  serie.SetCaption("h");
  auto& histogram = dynamic_cast<THistogramDataSet&>(serie.DataSet());
  histogram.HistogramValue = 2.5;
  // Options1 2: bit 1 only.
  Bytes body = SerieHead(0x0000FF, pmCube, 0x12)
                   .Append(DataSetFields("h", {0, 1, 0, 0, 0, 1, 0, 0, 0}))
                   .I32(67)
                   .I32(8)
                   .F64(2.5)
                   .Append(SerieTail());
  EXPECT_EQ(WrittenRecord(serie), qor_test::PlainRecord(62, body).vec());

  THistogramSerie read(nullptr);
  ReadRecord(read, Bytes().I32(67).I32(8).F64(-4).I32(22).I32(20).F64(1).F64(2).I32(3));
  EXPECT_EQ(dynamic_cast<THistogramDataSet&>(read.DataSet()).HistogramValue, -4);
  ASSERT_EQ(read.DataSet().PointCount(), 1);

  TDataSetRef copy = MakeDataSet<THistogramDataSet>();
  copy->Assign(histogram);
  EXPECT_EQ(dynamic_cast<THistogramDataSet&>(*copy).HistogramValue, 2.5);
}

TEST_F(SpecialSeriesTest, KorvetPointRecords) {
  TKorvetSerie serie(nullptr);
  Bytes record = Bytes().F64(45000.5).F64(7.41).I32(12).F64(45000.25);
  record.Str("V1234567").Str("ID1").I32(2);
  ReadRecord(serie, qor_test::PlainRecord(27, record).Append(Bytes().I32(11).Str("after")));
  ASSERT_EQ(serie.DataSet().PointCount(), 1);
  const auto& point = dynamic_cast<const TKorvetDataPoint&>(*serie.DataSet().GetPoint(0));
  EXPECT_EQ(point.XValue, 45000.5);
  EXPECT_EQ(point.YValue, 7.41);
  EXPECT_EQ(point.OrdinalNo, 12);
  EXPECT_EQ(point.OriginalTimeStamp, 45000.25);
  EXPECT_EQ(point.UserVialNo(), "V1234");  // the setter keeps five characters
  EXPECT_EQ(point.ID(), "ID1");
  EXPECT_EQ(point.AnalyseResult, arOverLinearityInterval);
  EXPECT_EQ(serie.Caption(), "after");

  // Written back as the point writes itself, and read again alike.
  const std::vector<uint8_t> written = WrittenRecord(serie);
  Bytes fields;
  fields.Raw(written.data() + 8, written.size() - 8);  // the record's body
  TKorvetSerie again(nullptr);
  ReadRecord(again, fields);
  ASSERT_EQ(again.DataSet().PointCount(), 1);
  EXPECT_EQ(dynamic_cast<const TKorvetDataPoint&>(*again.DataSet().GetPoint(0)).ID(), "ID1");
}

TEST_F(SpecialSeriesTest, TarvoRecordsKeepWhatTheSeriesReads) {
  TTarvoDataSeries serie(nullptr);
  // X, Y, ordinal and analysis result; the vial id, hidden flag and attempt number
  // that follow are not read, and the next record is.
  Bytes record = Bytes().F64(2).F64(3).I32(4).I32(1).Str("VIAL").U8(1).I32(3);
  ReadRecord(serie, qor_test::PlainRecord(165, record)
                        .Append(qor_test::PlainRecord(165, Bytes().F64(5).F64(6).I32(7).I32(0))));
  ASSERT_EQ(serie.DataSet().PointCount(), 2);
  const auto& point = dynamic_cast<const TTarvoDataPoint&>(*serie.DataSet().GetPoint(0));
  EXPECT_EQ(point.OrdinalNo, 4);
  EXPECT_EQ(point.AnalyseResult, arUnderDetectionLimit);
  EXPECT_EQ(point.VialID, "");
  EXPECT_FALSE(point.Hidden);
  EXPECT_EQ(point.AttemptNo, 0);
  EXPECT_EQ(serie.DataSet().GetPoint(1)->YValue, 6);
}

TEST_F(SpecialSeriesTest, PairedValues) {
  TYYSerie serie(nullptr);
  ReadRecord(serie, qor_test::PlainRecord(24, Bytes().F64(9.5).F64(12.25).I32(3).F64(45000.75)));
  ASSERT_EQ(serie.DataSet().PointCount(), 1);
  const auto& point = dynamic_cast<const TYYPoint&>(*serie.DataSet().GetPoint(0));
  EXPECT_EQ(point.XValue, 9.5);
  EXPECT_EQ(point.TimeX, 45000.75);
  EXPECT_EQ(point.OrdinalNo, 3);
  // The hint of a paired point names the pair.
  EXPECT_NE(point.GetHintText(&serie), "");
  double area = 1;
  EXPECT_FALSE(serie.AreaBetween(0, 100, area));
  THistogramSerie histogram(nullptr);
  EXPECT_FALSE(histogram.AreaBetween(0, 100, area));
}

TEST_F(SpecialSeriesTest, MeanWithSDAndSEM) {
  TStdSEMSerie serie(nullptr);
  EXPECT_TRUE(serie.ShowSEM);
  EXPECT_FALSE(serie.ShowSD);
  serie.SetColor(0x00FF00);
  serie.ShowSD = true;
  auto point = std::make_unique<TStdDevPoint>(1.0, 5.0, 1);
  point->SD = 0.5;
  point->SEM = 0.25;
  point->N = 10;
  point->ExtraN = 2;
  serie.AddPoint(std::move(point));
  Bytes points =
      qor_test::PlainRecord(21, Bytes().F64(1).F64(5).I32(1).F64(0.5).F64(0.25).I32(10).I32(2));
  Bytes body = SerieHead(0x00FF00, pmCube, 0x12)
                   .Append(DataSetFields("", {1, 0, 1, 0, 0, 1, 0, 0, 0}))
                   .Append(points)
                   .Append(SerieTail())
                   .I32(37)
                   .I32(1)
                   .U8(1)
                   .I32(38)
                   .I32(1)
                   .U8(1);
  EXPECT_EQ(WrittenRecord(serie), qor_test::PlainRecord(63, body).vec());

  TStdSEMSerie read(nullptr);
  ReadRecord(read, points.Append(Bytes().I32(37).I32(1).U8(0).I32(38).I32(1).U8(1)));
  EXPECT_FALSE(read.ShowSEM);
  EXPECT_TRUE(read.ShowSD);
  ASSERT_EQ(read.DataSet().PointCount(), 1);
  const auto& back = dynamic_cast<const TStdDevPoint&>(*read.DataSet().GetPoint(0));
  EXPECT_EQ(back.SEM, 0.25);
  EXPECT_EQ(back.ExtraN, 2);
  // The hint shows what the series shows.
  EXPECT_NE(back.GetHintText(&read).find("(SD)"), std::string::npos);
  EXPECT_EQ(back.GetHintText(&read).find("(SEM)"), std::string::npos);

  TStdSEMSerie copy(nullptr);
  copy.Assign(read);
  EXPECT_FALSE(copy.ShowSEM);
  EXPECT_TRUE(copy.ShowSD);
}

TEST_F(SpecialSeriesTest, HelpLinesInsideASpecialisedSeriesRecord) {
  TStdSEMSerie serie(nullptr);
  // Field 37 inside the help line's record belongs to the help line (which skips
  // it), not to the series.
  Bytes line = Bytes().I32(160).I32(8).F64(2).I32(37).I32(1).U8(0);
  ReadRecord(serie, qor_test::PlainRecord(159, line));
  ASSERT_EQ(serie.HelpLines().size(), 1u);
  EXPECT_EQ(serie.HelpLines()[0]->Slope, 2);
  EXPECT_TRUE(serie.ShowSEM);
}

TEST_F(SpecialSeriesTest, MultiValueBars) {
  TMultibarSeries serie(nullptr);
  serie.SetBarCount(3);
  std::unique_ptr<TXYPoint> created = serie.CreatePoint(1, 2, 3);
  EXPECT_EQ(dynamic_cast<TMultivaluePoint&>(*created).Values.size(), 3u);
  serie.SetBarColor(0, 0x0000FF);
  serie.SetBarColor(2, 0xFF0000);
  serie.SetBarColor(3, 0x00FF00);  // no such bar: nothing changes
  serie.SetBarColor(-1, 0x00FF00);
  EXPECT_EQ(serie.BarColors(), (std::vector<platform::Color>{0x0000FF, 0, 0xFF0000}));
  serie.SetBarCount(2);
  EXPECT_EQ(serie.BarColors(), (std::vector<platform::Color>{0x0000FF, 0}));
  serie.SetBarCount(-4);
  EXPECT_EQ(serie.BarCount(), 0);
  EXPECT_TRUE(serie.BarColors().empty());

  serie.SetBarCount(2);
  serie.SetBarColor(0, 0x0000FF);
  serie.SetBarColor(1, 0x00FFFF);
  serie.Adjoining = true;
  serie.SetColor(0x808080);
  auto point = std::make_unique<TMultivaluePoint>(1.0, 0.0, 1);
  point->Values = {1.5, 2.5};
  serie.AddPoint(std::move(point));
  Bytes points = qor_test::PlainRecord(-29, Bytes().F64(1).F64(0).I32(1).I32(2).F64(1.5).F64(2.5));
  Bytes colours = qor_test::PlainRecord(2039, Bytes().I32(2).I32(0x0000FF).I32(0x00FFFF));
  Bytes body = SerieHead(0x808080, pmCube, 0xC0)
                   .Append(DataSetFields("", {1, 0, 1, 0, 0, 1, 0, 0, 0}))
                   .Append(points)
                   .Append(SerieTail())
                   .Append(colours)
                   .I32(2040)
                   .I32(1)
                   .U8(1);
  EXPECT_EQ(WrittenRecord(serie), qor_test::PlainRecord(-30, body).vec());

  TMultibarSeries read(nullptr);
  ReadRecord(read, points.Append(colours).Append(Bytes().I32(2040).I32(1).U8(1)));
  EXPECT_TRUE(read.Adjoining);
  EXPECT_EQ(read.BarCount(), 2);
  EXPECT_EQ(read.BarColors(), serie.BarColors());
  ASSERT_EQ(read.DataSet().PointCount(), 1);
  EXPECT_EQ(dynamic_cast<const TMultivaluePoint&>(*read.DataSet().GetPoint(0)).Values,
            (std::vector<double>{1.5, 2.5}));

  TMultibarSeries copy(nullptr);
  copy.Assign(read);
  EXPECT_TRUE(copy.Adjoining);
  EXPECT_EQ(copy.BarColors(), serie.BarColors());
}

TEST_F(SpecialSeriesTest, BarColoursThatCannotAllBeThere) {
  for (const int32_t count : {3, -1, 0x40000000}) {
    SCOPED_TRACE(count);
    TMultibarSeries serie(nullptr);
    Bytes fields = qor_test::PlainRecord(2039, Bytes().I32(count).I32(1).I32(2));
    EXPECT_EQ(qor_test::MessageOf<Exception>([&] { ReadRecord(serie, fields); }),
              "Exception:Error in file");
  }
}

TEST_F(SpecialSeriesTest, EventRecords) {
  TEventSerie serie(nullptr);
  Bytes records;
  // Record 26: X, ordinal, the text as field 9.
  records.Append(qor_test::PlainRecord(26, Bytes().F64(45000.5).I32(8).I32(9).Str("  Intubated ")));
  // A record 26 whose field after the ordinal is not 9 gives a point without text.
  records.Append(qor_test::PlainRecord(26, Bytes().F64(45000.6).I32(9).I32(10).Str("x")));
  // The older record 15: X, Y, field 9; longer than its text, it still ends at its
  // own end and the next field is read.
  records.Append(qor_test::PlainRecord(15, Bytes().F64(45000.7).F64(2).I32(9).Str("Old").I32(77)));
  records.Append(Bytes().I32(11).Str("Events"));
  ReadRecord(serie, records);
  ASSERT_EQ(serie.DataSet().PointCount(), 3);
  const auto& first = dynamic_cast<const TEventPoint&>(*serie.DataSet().GetPoint(0));
  EXPECT_EQ(first.Text(), "Intubated");
  EXPECT_EQ(first.OrdinalNo, 8);
  EXPECT_EQ(first.YValue, 0);
  EXPECT_EQ(dynamic_cast<const TEventPoint&>(*serie.DataSet().GetPoint(1)).Text(), "");
  const auto& old = dynamic_cast<const TEventPoint&>(*serie.DataSet().GetPoint(2));
  EXPECT_EQ(old.Text(), "Old");
  EXPECT_EQ(old.YValue, 2);
  EXPECT_EQ(old.OrdinalNo, 45001);
  EXPECT_EQ(serie.Caption(), "Events");

  // An old record too short for the text it announces is the reader's error, not a
  // read into whatever follows.
  TEventSerie broken(nullptr);
  Bytes short_text = qor_test::PlainRecord(15, Bytes().F64(1).F64(2).I32(9).I32(40).I32(1));
  short_text.Append(Bytes().I32(11).Str(std::string(60, 'x')));
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { ReadRecord(broken, short_text); }),
            "Exception:The file has been corrupted.");
}

TEST_F(SpecialSeriesTest, EventSeriesWrittenAndReadBack) {
  TEventSerie serie(nullptr);
  serie.SetColor(0x0000FF);
  auto point = std::make_unique<TEventPoint>(2.0, 0.0, 3);
  point->SetText("Turned");
  serie.AddPoint(std::move(point));
  Bytes body = SerieHead(0x0000FF, pmNone, 0x10)
                   .Append(DataSetFields("", {1, 0, 1, 0, 0, 1, 0, 0, 0}))
                   .Append(qor_test::PlainRecord(26, Bytes().F64(2).I32(3).I32(9).Str("Turned")));
  EXPECT_EQ(WrittenRecord(serie), qor_test::PlainRecord(10, body).vec());
}

TEST_F(SpecialSeriesTest, VideoFrames) {
  TVideoSerie serie(nullptr);
  ReadRecord(serie, qor_test::PlainRecord(230, Bytes().F64(45000.5).F64(12).I32(5).I32(2).I32(99))
                        .Append(Bytes().I32(231).Str("clip.avi")));
  ASSERT_EQ(serie.DataSet().PointCount(), 1);
  const auto& frame = dynamic_cast<const TVideoFrame&>(*serie.DataSet().GetPoint(0));
  EXPECT_EQ(frame.YValue, 12);
  EXPECT_EQ(frame.AVIFileNumber, 2);
  EXPECT_EQ(frame.OrdinalNo, 5);
  EXPECT_EQ(dynamic_cast<TVideoDataSet&>(serie.DataSet()).VideoFiles,
            (std::vector<std::string>{"clip.avi"}));
}

TEST_F(SpecialSeriesTest, BandSeriesPlacementAndHits) {
  TAxis x_axis(nullptr, {0, 100}, {100, 100});
  x_axis.SetKind(akValue);
  TEventSerie serie(nullptr);
  serie.SetUseXAxis(&x_axis);
  serie.Band = {0, 40, 100, 60};
  serie.SetPlotRect({0, 0, 300, 100});
  serie.AddPoint(std::make_unique<TEventPoint>(2.0, 0.0, 1));
  EXPECT_EQ(serie.ValueToPixel(123, 5, 5), (platform::Point{50, 50}));

  TGlyphHit hit;
  EXPECT_TRUE(serie.HitTest({21, 51}, &hit));
  EXPECT_EQ(hit.object, serie.DataSet().GetPoint(0));
  EXPECT_TRUE(serie.HitTest({70, 45}, &hit));
  EXPECT_EQ(hit.object, &serie);
  EXPECT_FALSE(serie.HitTest({70, 60}, &hit));

  TEventSerie copy(nullptr);
  copy.Assign(serie);
  EXPECT_EQ(copy.Band, serie.Band);

  // The video series sits a little below the plot's top: (300 + 100 + 200) div 100.
  TVideoSerie video(nullptr);
  video.SetPlotRect({0, 10, 300, 110});
  video.Band = {0, 40, 100, 60};
  EXPECT_EQ(video.ValueToPixel(0, 0, 0).y, 16);
  serie.SetUseXAxis(nullptr);
}

// One series of each specialised class with a point of its own, written into a
// file and read back by record type as the loader reads them: written again, each
// gives the same bytes.
TEST_F(SpecialSeriesTest, EveryClassRoundTrips) {
  std::vector<std::unique_ptr<TSerieObject>> written;
  for (const TSerieClass* serie_class : SerieClasses()) {
    std::unique_ptr<TSerieObject> serie = serie_class->Create(nullptr);
    serie->SetCaption(std::string(serie_class->Name()));
    serie->SetColor(0x102030);
    std::unique_ptr<TXYPoint> point = serie->CreatePoint(3, 45000.25, 7.5);
    if (auto* korvet = dynamic_cast<TKorvetDataPoint*>(point.get())) {
      korvet->SetID("A1");
      korvet->SetUserVialNo("V7");
      korvet->AnalyseResult = arUndefined;
      korvet->OriginalTimeStamp = 45000.2;
    } else if (auto* deviation = dynamic_cast<TStdDevPoint*>(point.get())) {
      deviation->SD = 0.5;
      deviation->N = 4;
    } else if (auto* event = dynamic_cast<TEventPoint*>(point.get())) {
      event->YValue = 0;
      event->SetText("Suction");
    } else if (auto* frame = dynamic_cast<TVideoFrame*>(point.get())) {
      frame->AVIFileNumber = 2;
    } else if (auto* pair = dynamic_cast<TYYPoint*>(point.get())) {
      pair->TimeX = 45000.3;
    } else if (auto* tarvo = dynamic_cast<TTarvoDataPoint*>(point.get())) {
      tarvo->AnalyseResult = arOverLinearityInterval;
    }
    if (auto* bars = dynamic_cast<TMultibarSeries*>(serie.get())) {
      bars->SetBarCount(2);
      bars->SetBarColor(1, 0x00FF00);
      point = bars->CreatePoint(3, 45000.25, 0);
      dynamic_cast<TMultivaluePoint&>(*point).Values = {1, 2};
    }
    serie->AddPoint(std::move(point));
    written.push_back(std::move(serie));
  }
  for (const bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    platform::MemoryStream file;
    model_test::WriteFile(file, checksums, [&](TVistaWriter& writer) {
      for (const auto& serie : written)
        serie->WriteTo(writer);
    });
    std::vector<std::unique_ptr<TSerieObject>> read;
    TVistaReader reader;
    file.SetPosition(0);
    EXPECT_TRUE(reader.Read(
        file,
        [](void* user_data, int32_t tag, TVistaReader& r) {
          auto& series = *static_cast<std::vector<std::unique_ptr<TSerieObject>>*>(user_data);
          if (TObject* current = r.CurrentObject()) {
            AsPersistIT(current)->ReadField(tag, r);
            return;
          }
          if (std::unique_ptr<TSerieObject> serie = CreateSerieByRecordType(tag, nullptr)) {
            r.BeginFolding(tag);
            r.SetCurrentObject(serie.get());
            series.push_back(std::move(serie));
            return;
          }
          r.SkipField();
        },
        &read));
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
      SCOPED_TRACE(written[i]->ClassName());
      EXPECT_EQ(read[i]->ClassName(), written[i]->ClassName());
      EXPECT_EQ(read[i]->DataSet().PointCount(), 1);
      EXPECT_EQ(WrittenRecord(*read[i]), WrittenRecord(*written[i]));
    }
  }
}

TEST_F(SpecialSeriesTest, ReadOuts) {
  TAxis x_axis(nullptr, {0, 100}, {100, 100});
  x_axis.SetKind(akValue);
  TEventSerie events(nullptr);
  events.SetUseXAxis(&x_axis);
  EXPECT_EQ(events.GetReadout(1), "");
  for (double x : {1.0, 2.0, 4.0})
    events.AddPoint(std::make_unique<TEventPoint>(x, 0.0));
  EXPECT_EQ(events.GetReadout(3.2), " Event 3");
  EXPECT_EQ(events.GetReadout(0), " Event 1");
  EXPECT_EQ(events.GetReadout(9), " Event 3");
  TVideoSerie video(nullptr);
  video.SetUseXAxis(&x_axis);
  video.AddPoint(std::make_unique<TVideoFrame>(1.0, 0.0));
  EXPECT_EQ(video.GetReadout(1), " Frame 1");

  THistogramSerie histogram(nullptr);
  histogram.SetUseXAxis(&x_axis);
  for (auto [x, y] : {std::pair{1.0, 0.0}, {2.0, 0.0}})
    histogram.AddPoint(std::make_unique<TXYPoint>(x, y));
  EXPECT_EQ(histogram.GetReadout(1.5), "   0% (0.00/0.00 hours)");
  histogram.DataSet().Clear();
  for (auto [x, y] : {std::pair{1.0, 1.5}, {2.0, 0.5}, {3.0, 2.0}})
    histogram.AddPoint(std::make_unique<TXYPoint>(x, y));
  EXPECT_EQ(histogram.GetReadout(2), "  50% (2.00/4.00 hours)");

  TMultibarSeries bars(nullptr);
  bars.SetUseXAxis(&x_axis);
  bars.DataSet().SetYUnit("ml");
  auto point = std::make_unique<TMultivaluePoint>(1.0, 0.0);
  point->Values = {1.5, 20};
  bars.AddPoint(std::move(point));
  bars.AddPoint(std::make_unique<TXYPoint>(3.0, 0.0));
  EXPECT_EQ(bars.GetReadout(2), "1.50ml 20.00ml ");
  EXPECT_EQ(bars.GetReadout(3.5), "");
  EXPECT_EQ(bars.GetReadout(0), "");
  for (TSerieObject* serie :
       std::initializer_list<TSerieObject*>{&events, &video, &histogram, &bars})
    serie->SetUseXAxis(nullptr);
}

}  // namespace
