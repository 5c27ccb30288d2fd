// Loading data files of every kind into the save component: the general handler's
// records, the monitor handler's video and analyzer records, and the points of
// files older than 2.0 by version.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/Axis.h"
#include "datamodel/CareEvents.h"
#include "datamodel/tests/saveitnew_test_support.h"
#include "platform/exception.h"

namespace {

using namespace save_test;

// A plot file (type 1) of version Version holding Records after its file info.
Bytes PlotFile(const Bytes& records, std::string_view version = "2.0") {
  return DataFile(Cat({Record(3, Cat({IntField(2, 1), IntField(30, 7), StrField(203, "P-1"),
                                      StrField(204, "Lind")})),
                       records}),
                  version);
}

// The body of a point record 22 of a series: X, Y, ordinal (20 bytes).
Bytes Point22(double x, double y, int32_t ordinal) {
  return Record(22, Bytes().F64(x).F64(y).I32(ordinal));
}

class LoadTest : public SaveFixture {
 protected:
  void Load(const Bytes& file, const std::string& name = "file.dat") {
    Use(name);
    WriteBytes(save_.FileName, file);
    save_.Refresh();
  }
};

TEST_F(LoadTest, ThePlotRecordsOfTheGeneralHandler) {
  const Bytes records = Cat({
      Record(5, IntField(124, 1)),  // horizontal axis 0, a value axis
      Record(6, Bytes()),           // vertical axis 0
      Record(6, IntField(124, 3)),  // vertical axis 1
      Record(4, Cat({IntField(12, 0), IntField(13, 1), StrField(11, "first"), Point22(2, 20, 2),
                     Point22(1, 10, 1),
                     Record(159, Cat({DoubleField(160, 0.5), DoubleField(161, 3)}))})),
      Record(4, Cat({IntField(12, 5), IntField(13, 9), StrField(11, "second")})),
      Record(8, Cat({IntField(157, 19), IntField(158, 20), StrField(129, "T"), IntField(80, 259),
                     ByteField(139, 2), IntField(130, -4), IntField(999, 1)})),
      Record(1000, Cat({IntField(30, 9)})),
      StrField(70, "{\\rtf1 x}"),
  });
  Load(PlotFile(records));
  EXPECT_EQ(save_.FileType(), ftData);
  EXPECT_EQ(save_.FileAttribute(), 9);  // the last field 30 read, inside record 1000
  EXPECT_EQ(save_.FilePatientId(), "P-1");
  EXPECT_EQ(save_.FilePatientName(), "Lind");

  ASSERT_EQ(save_.HorizontalAxes().size(), 1u);
  ASSERT_EQ(save_.VerticalAxes().size(), 2u);
  EXPECT_EQ(save_.HorizontalAxes()[0]->Kind(), akValue);
  EXPECT_TRUE(save_.HorizontalAxes()[0]->IsHorizontal());
  EXPECT_FALSE(save_.VerticalAxes()[0]->IsHorizontal());
  EXPECT_EQ(save_.VerticalAxes()[1]->Kind(), akDuration);

  const auto series = ItemsOf<TSerie>(save_);
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(series[0]->Caption(), "first");
  EXPECT_EQ(series[0]->UseXAxis(), save_.HorizontalAxes()[0]);
  EXPECT_EQ(series[0]->UseYAxis(), save_.VerticalAxes()[1]);
  EXPECT_EQ(series[0]->XKind(), akValue);
  EXPECT_EQ(XsOf(*series[0]), (std::vector<double>{1, 2}));  // in key order
  EXPECT_NE(series[0]->DataSet().ParameterInfo(), nullptr);
  ASSERT_EQ(series[0]->HelpLines().size(), 1u);
  EXPECT_EQ(series[0]->HelpLines()[0]->Slope, 0.5);
  EXPECT_EQ(series[0]->HelpLines()[0]->Intercept, 3);
  // Position 5 has no horizontal axis: none; position 9 is taken as 0.
  EXPECT_EQ(series[1]->UseXAxis(), nullptr);
  EXPECT_EQ(series[1]->UseYAxis(), save_.VerticalAxes()[0]);

  const auto templates = ItemsOf<TPlotTemplate>(save_);
  ASSERT_EQ(templates.size(), 1u);
  const TPlotSettings& settings = templates[0]->Settings();
  EXPECT_EQ(settings.Value157, 1);   // 19 is below 20
  EXPECT_EQ(settings.Value158, 20);  // 20 is kept
  EXPECT_EQ(settings.Text129, "T");
  EXPECT_EQ(settings.Byte80, 3);  // an integer kept as one byte
  EXPECT_EQ(settings.Byte139, 2);
  EXPECT_EQ(settings.Value130, -4);

  const auto texts = ItemsOf<TRichTextObject>(save_);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->FileName(), "");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(texts[0]->Content().Memory()),
                        static_cast<size_t>(texts[0]->Content().Size())),
            "{\\rtf1 x}");
  EXPECT_EQ(save_.LoadReport().skipped_records, 0);
  EXPECT_EQ(save_.Items().size(), 7u);  // three axes, two series, a template, a text
}

TEST_F(LoadTest, EverySeriesRecordTypeIsCreatedWhereARegistryCanAndSkippedWholeElsewhere) {
  // Each series record is followed by an axis, which must be read whatever
  // became of the series.
  for (const int32_t tag : {4, 10, 23, 61, 62, 63, 65, 81, 166, -13, -30, -37}) {
    SCOPED_TRACE(tag);
    const bool creatable =
        CreateSerieByRecordType(tag, nullptr) != nullptr ||
        dynamic_cast<TSerieObject*>(TVistaStreamParser::CreateByRecordType(tag).get()) != nullptr;
    Load(PlotFile(Cat({Record(tag, Cat({StrField(11, "S"), Point22(1, 2, 1), Point22(3, 4, 3)})),
                       Record(5, Bytes())})));
    EXPECT_EQ(save_.HorizontalAxes().size(), 1u);
    const auto series = ItemsOf<TSerieObject>(save_);
    if (creatable) {
      ASSERT_EQ(series.size(), 1u);
      EXPECT_EQ(series[0]->Caption(), "S");
      EXPECT_EQ(series[0]->DataSet().PointCount(), 2);
      EXPECT_EQ(save_.LoadReport().skipped_records, 0);
    } else {
      EXPECT_TRUE(series.empty());
      EXPECT_EQ(save_.LoadReport().skipped_records, 1);
    }
  }
  // Record types that no series class ever has are skipped; the category series
  // comes from the prototype registry.
  EXPECT_FALSE(CreateSerieByRecordType(81, nullptr));
  EXPECT_FALSE(CreateSerieByRecordType(-37, nullptr));
  Load(PlotFile(Record(-13, StrField(11, "care"))));
  ASSERT_EQ(ItemsOf<TSerieObject>(save_).size(), 1u);
  EXPECT_EQ(save_.Items()[0]->ClassName(),
            TVistaStreamParser::CreateByRecordType(-13)->ClassName());
}

TEST_F(LoadTest, CareEventRecordsAreOwnedByItems) {
  // A category and an event set, each read by its own class; the set reads no
  // field of its own, so its event record is skipped whole and the axis after it
  // is read.
  Load(PlotFile(Cat({Record(-6, Cat({StrField(2006, "Pain"), StrField(2007, "Sharp")})),
                     Record(-7, Record(0, Cat({StrField(2012, "a"), StrField(2013, "A")}))),
                     Record(5, Bytes())})));
  ASSERT_EQ(save_.Items().size(), 3u);
  const auto* category = dynamic_cast<TCategory*>(save_.Items()[0].get());
  ASSERT_NE(category, nullptr);
  EXPECT_EQ(category->Name, "Pain");
  EXPECT_EQ(category->Description, "Sharp");
  const auto* event_set = dynamic_cast<TCareEventSet*>(save_.Items()[1].get());
  ASSERT_NE(event_set, nullptr);
  EXPECT_EQ(event_set->Count(), 0);
  EXPECT_EQ(save_.HorizontalAxes().size(), 1u);
  EXPECT_EQ(save_.LoadReport().skipped_records, 0);
}

// ---------------------------------------------------------------------------
// Monitor-data and video-controller files

Bytes VideoFile(const Bytes& records) {
  return DataFile(Cat({Record(3, Cat({IntField(2, 10), IntField(30, 0)})), records}));
}
Bytes Frame(double time, int32_t frame) {
  return Record(230, Bytes().F64(time).I32(frame));
}

TEST_F(LoadTest, VideoInformationAndFrames) {
  Load(VideoFile(Cat({Record(232, Cat({StrField(231, "a.avi"), StrField(203, "A"),
                                       StrField(204, "B"), StrField(231, "b.avi")})),
                      Frame(45000.5, 7), Record(232, StrField(231, "c.avi")), Frame(45000.6, 8)})),
       "video.ctl");
  EXPECT_EQ(save_.FileType(), ftVideoFileController);
  const auto infos = ItemsOf<TVideoInfo>(save_);
  ASSERT_EQ(infos.size(), 2u);
  EXPECT_EQ(infos[0]->PatientName, "A");  // 203
  EXPECT_EQ(infos[0]->PatientId, "B");    // 204
  EXPECT_EQ(infos[0]->VideoFileName, "b.avi");
  EXPECT_EQ(infos[1]->VideoFileName, "c.avi");

  TSerieObject* video = save_.VideoSerie();
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(ItemsOf<TSerieObject>(save_), std::vector<TSerieObject*>{video});
  EXPECT_EQ(video->Caption(), "Video from A B");
  auto& data_set = dynamic_cast<TVideoDataSet&>(video->DataSet());
  EXPECT_EQ(data_set.VideoFiles, (std::vector<std::string>{"a.avi", "b.avi", "c.avi"}));
  EXPECT_EQ(data_set.CurrentFileIndex, 2);
  EXPECT_EQ(data_set.Folder, folder_.path() + "/");
  ASSERT_EQ(data_set.PointCount(), 2);
  const auto* first = dynamic_cast<TVideoFrame*>(data_set.GetPoint(0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->XValue, 45000.5);
  EXPECT_EQ(first->YValue, 7);
  EXPECT_EQ(first->AVIFileNumber, 1);
  EXPECT_EQ(dynamic_cast<TVideoFrame&>(*data_set.GetPoint(1)).AVIFileNumber, 2);
}

TEST_F(LoadTest, AFrameBeforeAnyVideoInformation) {
  Load(VideoFile(Cat({Frame(45000.5, 3), Record(232, StrField(203, "A"))})), "video.ctl");
  TSerieObject* video = save_.VideoSerie();
  ASSERT_NE(video, nullptr);
  ASSERT_EQ(video->DataSet().PointCount(), 1);
  EXPECT_EQ(dynamic_cast<TVideoFrame&>(*video->DataSet().GetPoint(0)).AVIFileNumber, -1);
  EXPECT_EQ(video->Caption(), "Video from A ");
  EXPECT_EQ(ItemsOf<TVideoInfo>(save_).size(), 1u);

  if (RealSerieClassFor(23)) return;
  // Without a video series class the frames are skipped whole, the rest is read.
  StandInsOff off;
  save_.ForgetLoadedFile();
  save_.Refresh();
  EXPECT_EQ(save_.VideoSerie(), nullptr);
  EXPECT_EQ(save_.LoadReport().skipped_records, 1);
  EXPECT_EQ(ItemsOf<TVideoInfo>(save_).size(), 1u);
}

TEST_F(LoadTest, AnalyzerPointsAndRecordDelimitersGoToTheirDefinition) {
  const Bytes points =
      Cat({Record(221, Bytes().I16(0).F64(45000.5).F64(7.4).U8(2).Str("V7").I32(3).I32(
                           12345)),  // longer than read: accepted
           Record(85, Bytes().I16(0).F64(45000.6).F64(0)), DataPoint(0, 45000.7, 7.5)});
  Load(MonitorFile(Identity(), 10, {{0, "pH", "", "", "", ""}}, points), "ABL.vor");
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 1u);
  const TQORDataSet& data = definitions[0]->Serie()->DataSet();
  ASSERT_EQ(data.PointCount(), 2);
  const auto* analyzer = dynamic_cast<TTarvoDataPoint*>(data.GetPoint(0));
  ASSERT_NE(analyzer, nullptr);
  EXPECT_EQ(analyzer->XValue, 45000.5);
  EXPECT_EQ(analyzer->YValue, 7.4);
  EXPECT_EQ(analyzer->AnalyseResult, arOverLinearityInterval);
  EXPECT_EQ(analyzer->VialID, "V7");
  EXPECT_EQ(analyzer->AttemptNo, 3);
  EXPECT_FALSE(analyzer->Hidden);
  EXPECT_EQ(std::string(data.GetPoint(1)->ClassName()), "TXYPoint");
  ASSERT_EQ(data.ControlPoints().size(), 1u);
  EXPECT_EQ(std::string(data.ControlPoints()[0]->ClassName()), "TRecordDelimiterPoint");
  EXPECT_EQ(data.ControlPoints()[0]->XValue, 45000.6);
}

TEST_F(LoadTest, ARunOfDataPointsAmongOtherRecords) {
  // Plain points follow each other mostly, and the other records break the run
  // anywhere: a longer point record, a delimiter, an analyzer point, a point of no
  // definition, and a definition record holding points of its own, whose end is
  // the end of its points however many follow it.
  const Bytes longer = Record(220, Bytes().I16(1).F64(45000.25).F64(7.25).I32(99).I32(98).I32(97));
  const Bytes analyzer = Record(221, Bytes().I16(0).F64(45000.45).F64(7.45).U8(0).Str("V").I32(1));
  const Bytes points = Cat(
      {DataPoint(0, 45000.1, 7.1), DataPoint(1, 45000.2, 7.2), longer, DataPoint(0, 45000.3, 7.3),
       Record(85, Bytes().I16(0).F64(45000.35).F64(0)), DataPoint(0, 45000.4, 7.4), analyzer,
       DataPoint(5, 45000.5, 7.5), DataPoint(1, 45000.6, 7.6),
       Record(210, Cat({IntField(211, 2), StrField(212, "PO2"), DataPoint(1, 45000.7, 7.7),
                        DataPoint(1, 45000.8, 7.8)})),
       DataPoint(1, 45000.9, 7.9), DataPoint(0, 45001.0, 8.0)});
  Load(
      MonitorFile(Identity(), 10, {{0, "pH", "", "", "", ""}, {1, "pCO2", "", "", "", ""}}, points),
      "ABL.vor");
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 3u);
  const auto xs = [](const TParameterSerie* definition) {
    std::vector<double> values;
    for (const auto& point : definition->Serie()->DataSet().Points())
      values.push_back(point->XValue);
    return values;
  };
  EXPECT_EQ(xs(definitions[0]),
            (std::vector<double>{45000.1, 45000.3, 45000.4, 45000.45, 45001.0}));
  EXPECT_EQ(xs(definitions[1]),
            (std::vector<double>{45000.2, 45000.25, 45000.6, 45000.7, 45000.8, 45000.9}));
  EXPECT_EQ(definitions[2]->Serie(), nullptr);
  EXPECT_EQ(definitions[0]->Serie()->DataSet().ControlPoints().size(), 1u);
  EXPECT_NE(dynamic_cast<TTarvoDataPoint*>(definitions[0]->Serie()->DataSet().GetPoint(3)),
            nullptr);
  EXPECT_EQ(definitions[1]->Serie()->DataSet().GetPoint(1)->YValue, 7.25);
  EXPECT_EQ(save_.LoadReport().undefined_points, 1);
}

// ---------------------------------------------------------------------------
// Files older than 2.0

struct LegacyCase {
  int32_t tag;
  Bytes body_14;  // the body in a version 1.4 file (no ordinal)
  Bytes tail_15;  // what a version 1.5 file adds
  const char* class_name;
  double x;
  double y;
};

TEST_F(LoadTest, LegacyPointsByVersion) {
  const LegacyCase cases[] = {
      {21, Bytes().F64(2.5).F64(3).F64(0.1).F64(0.2).I32(4).I32(1), Bytes().I32(77), "TStdDevPoint",
       2.5, 3},
      {22, Bytes().F64(3.5).F64(4), Bytes().I32(77), "TXYPoint", 3.5, 4},
      {24, Bytes().F64(1).F64(2).F64(45000.5), Bytes().I32(77), "TYYPoint", 1, 2},
      {25, Bytes().F64(6.5), Bytes().I32(77), "TInfinitePoint", 6.5, 0},
      {26, Bytes().F64(7.5).I32(9).Str("  text "), Bytes().I32(77), "TEventPoint", 7.5, 0},
      {27, Bytes().F64(8.5).F64(9).F64(45001),
       Bytes().I32(77).I32(9).Str("UVN123").I32(9).Str("ID").I32(1), "TKorvetDataPoint", 8.5, 9},
      {28, Bytes().F64(9.5).F64(1), Bytes().I32(77), "TUnderDetectionLimitPoint", 9.5, 1},
  };
  for (const LegacyCase& c : cases) {
    for (const bool v15 : {false, true}) {
      SCOPED_TRACE(std::to_string(c.tag) + (v15 ? " in 1.5" : " in 1.4"));
      Bytes body = c.body_14;
      if (v15) body.Append(c.tail_15);
      // The series, then a plain point after the legacy one: reading goes on at
      // the record's end.
      Load(PlotFile(
          Record(4, Cat({Record(c.tag, body), Record(22, Bytes().F64(100).F64(1).I32(100))})),
          v15 ? "1.5" : "1.4"));
      const auto series = ItemsOf<TSerie>(save_);
      ASSERT_EQ(series.size(), 1u);
      const TQORDataSet& data = series[0]->DataSet();
      ASSERT_EQ(data.PointCount(), 2);
      const TXYPoint& point = *data.GetPoint(0);
      EXPECT_EQ(point.ClassName(), c.class_name);
      EXPECT_EQ(point.XValue, c.x);
      EXPECT_EQ(point.YValue, c.y);
      // From 1.5 on the ordinal is stored; before, it comes from X (halves to even).
      EXPECT_EQ(point.OrdinalNo, v15 ? 77 : static_cast<int32_t>(std::nearbyint(c.x)));
      EXPECT_EQ(data.GetPoint(1)->XValue, 100);
      if (c.tag == 21) {
        const auto& sd = dynamic_cast<const TStdDevPoint&>(point);
        EXPECT_EQ(sd.SD, 0.1);
        EXPECT_EQ(sd.SEM, 0.2);
        EXPECT_EQ(sd.N, 4);
        EXPECT_EQ(sd.ExtraN, 1);
      }
      if (c.tag == 24) {
        EXPECT_EQ(dynamic_cast<const TYYPoint&>(point).TimeX, 45000.5);
      }
      if (c.tag == 26) {
        EXPECT_EQ(dynamic_cast<const TEventPoint&>(point).Text(), "text");
      }
      if (c.tag == 27) {
        const auto& korvet = dynamic_cast<const TKorvetDataPoint&>(point);
        EXPECT_EQ(korvet.OriginalTimeStamp, 45001);
        EXPECT_EQ(korvet.UserVialNo(), v15 ? "UVN12" : "");
        EXPECT_EQ(korvet.ID(), v15 ? "ID" : "");
        EXPECT_EQ(korvet.AnalyseResult, v15 ? arUnderDetectionLimit : arNormal);
      }
    }
  }
}

TEST_F(LoadTest, ALegacyEventRecordEndsAtItsRecordsEnd) {
  // Bytes the body does not use, and a body whose marker is not 9: either way the
  // next record is read where it starts.
  const Bytes series = Record(4, Cat({Record(26, Bytes().F64(1).I32(9).Str("a").I32(5).I32(-1)),
                                      Record(26, Bytes().F64(2).I32(8).I32(0).I32(0)),
                                      Record(22, Bytes().F64(3).F64(3).I32(3))}));
  Load(PlotFile(series, "1.5"));
  const auto list = ItemsOf<TSerie>(save_);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(XsOf(*list[0]), (std::vector<double>{1, 3}));
}

TEST_F(LoadTest, AFrameOrLegacyPointShorterThanItsBodyAddsNothing) {
  // A frame without its number, a legacy point without its Y: the load ends with
  // the reader's error, and no point is made of the bytes after the record.
  EXPECT_EQ(MessageOf<Exception>([&] {
              Load(VideoFile(Cat({Record(232, StrField(231, "a.avi")), Frame(45000.5, 7),
                                  Record(230, Bytes().F64(45000.6)), Frame(45000.7, 8)})),
                   "video.ctl");
            }),
            "Exception:The file has been corrupted.");
  ASSERT_NE(save_.VideoSerie(), nullptr);
  EXPECT_EQ(save_.VideoSerie()->DataSet().PointCount(), 1);

  EXPECT_EQ(MessageOf<Exception>([&] {
              Load(PlotFile(Record(4, Cat({Record(22, Bytes().F64(1).F64(1).I32(1)),
                                           Record(22, Bytes().F64(2).I32(2)),
                                           Record(22, Bytes().F64(3).F64(3).I32(3))})),
                            "1.5"));
            }),
            "Exception:The file has been corrupted.");
  const auto list = ItemsOf<TSerie>(save_);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(XsOf(*list[0]), std::vector<double>{1});
}

TEST_F(LoadTest, FilesOfVersion2ReadPointRecordsThroughTheirSeries) {
  // The 20-byte body of record 22 in a 2.0 file is the series' own.
  Load(PlotFile(Record(4, Point22(4.5, 1, 9))));
  const auto list = ItemsOf<TSerie>(save_);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->DataSet().GetPoint(0)->OrdinalNo, 9);
  EXPECT_TRUE(save_.IsFileVersionAtLeast(2, 0));
  EXPECT_TRUE(save_.IsFileVersionBelow(2, 1));
  EXPECT_FALSE(save_.IsFileVersionAtLeast(3, 0));
}

// ---------------------------------------------------------------------------
// Rich texts

TEST_F(LoadTest, ARichTextTakesAFileWholeAndCopiesWhole) {
  const std::string longer = PathOf("long.rtf");
  const std::string shorter = PathOf("short.rtf");
  WriteBytes(longer, Bytes().Text("0123456789"));
  WriteBytes(shorter, Bytes().Text("abc"));
  TRichTextObject text;
  text.SetFileName(longer);
  EXPECT_EQ(text.Content().Size(), 10);
  text.SetFileName(shorter);
  EXPECT_EQ(text.FileName(), shorter);
  ASSERT_EQ(text.Content().Size(), 3);  // nothing of the longer text stays
  EXPECT_EQ(text.Content().Position(), 0);
  text.SetFileName(PathOf("none.rtf"));
  EXPECT_EQ(text.Content().Size(), 3);

  TRichTextObject copy;
  copy.Content().WriteBuffer("zzzzzzzzzz", 10);
  copy.Assign(text);
  EXPECT_EQ(copy.FileName(), PathOf("none.rtf"));
  ASSERT_EQ(copy.Content().Size(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.Content().Memory()), 3), "abc");
  EXPECT_EQ(copy.Content().Position(), 0);
  TParameterSerie other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { other.Assign(text); }),
            "Cannot assign a TRichTextObject to a TParameterSerie");
}

}  // namespace
