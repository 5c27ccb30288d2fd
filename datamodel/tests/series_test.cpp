#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "datafile/QORClassParser.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/RecordTags.h"
#include "datamodel/Series_C.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/locale.h"
#include "platform/recording_canvas.h"

namespace {

using model_test::Bytes;
using model_test::EmptyDataSetFields;
using platform::CanvasCall;
using platform::CanvasOp;
using platform::Point;

class SeriesTest : public ::testing::Test {
 protected:
  SeriesTest() : pinned_(platform::LocaleSettings{}) { RegisterDataModel(); }
  platform::ScopedLocaleSettings pinned_;
};

TEST_F(SeriesTest, ANewSeriesAndItsRecord) {
  TSerie serie(nullptr);
  EXPECT_EQ(serie.MovingAverageWindow(), 10);
  EXPECT_EQ(serie.PointMarker(), pmCube);
  EXPECT_EQ(serie.Style(), 0x12);
  EXPECT_EQ(serie.LineWidth, 0);
  EXPECT_TRUE(serie.HelpLines().empty());
  EXPECT_EQ(serie.DataSet().RefCount(), 1);
  EXPECT_LE(serie.GetColor(), 0xFFFFFEu);
  serie.SetColor(0x00FF00);

  Bytes body;
  body.I32(12).I32(4).I32(0).I32(16).I32(4).I32(0x00FF00);
  body.I32(19).I32(1).U8(pmCube).I32(20).I32(1).U8(0x12);
  body.Append(EmptyDataSetFields(""));
  body.I32(13).I32(4).I32(0).I32(31).I32(1).U8(0).I32(32).I32(8).F64(100).I32(69).I32(4).I32(10);
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { serie.WriteTo(w); }),
            qor_test::PlainRecord(4, body).vec());

  // The base has no record type of its own.
  TSerieObject base(nullptr);
  EXPECT_EQ(qor_test::MessageOf<Exception>(
                [&] { model_test::Written([&](TVistaWriter& w) { base.WriteTo(w); }); }),
            "Exception:RecordType not implemented for this class. jhdsa783241");
}

std::unique_ptr<TSerie> ReadSerie(const std::vector<uint8_t>& file_bytes) {
  auto serie = std::make_unique<TSerie>(nullptr);
  platform::MemoryStream file;
  qor_test::Fill(file, file_bytes);
  model_test::ReadInto(*serie, file, 4);
  return serie;
}

std::vector<uint8_t> SerieFile(const Bytes& fields) {
  return model_test::PlainFile(qor_test::PlainRecord(4, fields));
}

TEST_F(SeriesTest, PointBlocks) {
  // Record size 20: X, Y, ordinal.
  Bytes block20 = Bytes().I32(14).I32(4 + 40).I32(20);
  block20.F64(1).F64(2).I32(7).F64(3).F64(4).I32(8);
  std::unique_ptr<TSerie> serie = ReadSerie(SerieFile(block20));
  ASSERT_EQ(serie->DataSet().PointCount(), 2);
  EXPECT_EQ(serie->DataSet().GetPoint(1)->OrdinalNo, 8);
  EXPECT_EQ(serie->DataSet().GetPoint(1)->YValue, 4);

  // Record size 16: no ordinals, they count from 1.
  Bytes block16 = Bytes().I32(14).I32(4 + 48).I32(16);
  block16.F64(10).F64(1).F64(20).F64(2).F64(30).F64(3);
  serie = ReadSerie(SerieFile(block16));
  ASSERT_EQ(serie->DataSet().PointCount(), 3);
  EXPECT_EQ(serie->DataSet().GetPoint(0)->OrdinalNo, 1);
  EXPECT_EQ(serie->DataSet().GetPoint(2)->OrdinalNo, 3);

  // Record size 24: the last four bytes of each record are skipped; a rest too
  // short for a record as well; the next field is read.
  Bytes block24 = Bytes().I32(14).I32(4 + 48 + 5).I32(24);
  block24.F64(1).F64(2).I32(3).I32(-1).F64(4).F64(5).I32(6).I32(-1);
  block24.U8(9).U8(9).U8(9).U8(9).U8(9);
  block24.I32(11).Str("after");
  serie = ReadSerie(SerieFile(block24));
  ASSERT_EQ(serie->DataSet().PointCount(), 2);
  EXPECT_EQ(serie->DataSet().GetPoint(1)->OrdinalNo, 6);
  EXPECT_EQ(serie->Caption(), "after");

  // A long record size is read record by record.
  Bytes block300 = Bytes().I32(14).I32(4 + 600).I32(300);
  for (int i = 0; i < 2; ++i) {
    Bytes record = Bytes().F64(i).F64(i * 2).I32(i + 1);
    record.vec().resize(300, 0xEE);
    block300.Append(record);
  }
  serie = ReadSerie(SerieFile(block300));
  ASSERT_EQ(serie->DataSet().PointCount(), 2);
  EXPECT_EQ(serie->DataSet().GetPoint(1)->YValue, 2);
}

TEST_F(SeriesTest, PointBlocksThatCannotBeRead) {
  struct Case {
    int32_t field_size;
    int32_t record_size;
    const char* message;
  };
  const Case cases[] = {
      {24, 0, "Exception:Error in file"},    // would divide by zero
      {24, -20, "Exception:Error in file"},  // would read backwards
      {24, 8, "Exception:Error in file"},    // no room for X and Y
      {24, 17, "Exception:Error in file"},   // an ordinal that is not there
      {24, 19, "Exception:Error in file"},
      {2, 20, "Exception:Error in file"},  // no room for the record size
      // More records than bytes: the block's group does not fit the series.
      {4 + 2000, 20, "Exception:The file has been corrupted."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record_size);
    Bytes block = Bytes().I32(14).I32(c.field_size).I32(c.record_size);
    block.F64(1).F64(2).I32(3);
    EXPECT_EQ(qor_test::MessageOf<Exception>([&] { ReadSerie(SerieFile(block)); }), c.message);
  }
}

TEST_F(SeriesTest, FieldsAndPointRecordsInsideTheSeries) {
  Bytes fields;
  fields.I32(11).Str("pH").I32(16).I32(4).I32(0x0000FF).I32(19).I32(1).U8(pmDiamond);
  fields.I32(68).I32(1).U8(1).I32(20).I32(1).U8(0x03);
  fields.I32(31).I32(1).U8(1).I32(32).I32(8).F64(7.4).I32(69).I32(4).I32(4);
  fields.Append(qor_test::PlainRecord(22, Bytes().F64(1).F64(7.3).I32(1)));
  fields.Append(qor_test::PlainRecord(25, Bytes().F64(2).I32(2)));
  fields.Append(qor_test::PlainRecord(28, Bytes().F64(3).F64(6.9).I32(3)));
  fields.Append(qor_test::PlainRecord(85, Bytes().F64(2.5).F64(0).I32(0)));
  fields.I32(86).I32(4).I32(0x00FF00);        // a colour tag of older writers
  fields.I32(5555).I32(3).U8(1).U8(2).U8(3);  // unknown: skipped
  std::unique_ptr<TSerie> serie = ReadSerie(SerieFile(fields));
  EXPECT_EQ(serie->Caption(), "pH");
  EXPECT_EQ(serie->GetColor(), 0x00FF00u);
  EXPECT_EQ(serie->PointMarker(), pmDiamond);
  EXPECT_TRUE(serie->UseCustomColor());
  EXPECT_EQ(serie->Style(), 0x03);  // a current file keeps its style
  EXPECT_TRUE(serie->PercentMode());
  EXPECT_EQ(serie->DataSet().PercentReference(), 7.4);
  EXPECT_EQ(serie->MovingAverageWindow(), 4);
  const TQORDataSet& data = serie->DataSet();
  ASSERT_EQ(data.PointCount(), 3);
  EXPECT_EQ(data.GetPoint(1)->ClassName(), "TInfinitePoint");
  EXPECT_EQ(data.GetPoint(2)->ClassName(), "TUnderDetectionLimitPoint");
  ASSERT_EQ(data.ControlPoints().size(), 1u);
  EXPECT_EQ(data.ControlPoints()[0]->XValue, 2.5);
}

TEST_F(SeriesTest, APercentReferenceThatIsNotAFiniteNumberIsTakenAs100) {
  for (double reference : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    SCOPED_TRACE(reference);
    Bytes fields;
    fields.I32(31).I32(1).U8(1).I32(32).I32(8).F64(reference);
    fields.Append(qor_test::PlainRecord(22, Bytes().F64(1).F64(7.5).I32(1)));
    std::unique_ptr<TSerie> serie = ReadSerie(SerieFile(fields));
    ASSERT_TRUE(serie->PercentMode());
    EXPECT_EQ(serie->DataSet().PercentReference(), 100.0);
    EXPECT_EQ(serie->YValueOf(*serie->DataSet().GetPoint(0)), 7.5);
  }
}

TEST_F(SeriesTest, OldFilesMeantAutomaticMarkers) {
  // A version 1.3 file in the old header form: int32 1, then the header string.
  Bytes file = Bytes().I32(1).Str("QOR Fluvantronics Save File Header 1.3");
  file.Append(qor_test::PlainRecord(4, Bytes().I32(20).I32(1).U8(0x03)));
  EXPECT_EQ(ReadSerie(file.vec())->Style(), 0x12);
  Bytes markers_only = Bytes().I32(1).Str("QOR Fluvantronics Save File Header 1.3");
  markers_only.Append(qor_test::PlainRecord(4, Bytes().I32(20).I32(1).U8(0x01)));
  EXPECT_EQ(ReadSerie(markers_only.vec())->Style(), 0x01);
}

TEST_F(SeriesTest, AMessageInTheFileIsShown) {
  platform::ScopedScriptedDialogs dialogs;
  ReadSerie(SerieFile(Bytes().I32(0x21524F51).Str("Read me")));
  ASSERT_EQ(dialogs->questions().size(), 1u);
  EXPECT_EQ(dialogs->questions()[0].kind, platform::ScriptedDialogs::Kind::kShowMessage);
  EXPECT_EQ(dialogs->questions()[0].text, "Read me");
}

// A series with points, help lines and settings, written and read back.
std::unique_ptr<TSerie> RichSerie() {
  auto serie = std::make_unique<TSerie>(nullptr);
  serie->SetCaption("pO2");
  serie->SetColor(0x123456);
  serie->SetStyle(0x26);
  serie->SetMovingAverageWindow(3);
  serie->DataSet().SetPercentReference(12);
  serie->SetPercentMode(true);
  for (int i = 0; i < 5; ++i)
    serie->AddPoint(std::make_unique<TXYPoint>(45000 + i * 0.1, 10 + i, i + 1));
  for (double slope : {1.5, -2.0}) {
    auto line = std::make_unique<THelpLine>();
    line->Slope = slope;
    line->Intercept = 3;
    line->X0 = 45000;
    line->FromX = 45000.1;
    line->ToX = 45000.3;
    serie->AddHelpLine(std::move(line));
  }
  return serie;
}

void ExpectSameSerie(const TSerie& read, const TSerie& original) {
  EXPECT_EQ(read.Caption(), original.Caption());
  EXPECT_EQ(read.GetColor(), original.GetColor());
  EXPECT_EQ(read.Style(), original.Style());
  EXPECT_EQ(read.MovingAverageWindow(), original.MovingAverageWindow());
  EXPECT_EQ(read.PercentMode(), original.PercentMode());
  EXPECT_EQ(read.DataSet().PercentReference(), original.DataSet().PercentReference());
  ASSERT_EQ(read.DataSet().PointCount(), original.DataSet().PointCount());
  for (int32_t i = 0; i < read.DataSet().PointCount(); ++i) {
    EXPECT_EQ(read.DataSet().GetPoint(i)->XValue, original.DataSet().GetPoint(i)->XValue);
    EXPECT_EQ(read.DataSet().GetPoint(i)->OrdinalNo, original.DataSet().GetPoint(i)->OrdinalNo);
  }
  ASSERT_EQ(read.HelpLines().size(), original.HelpLines().size());
  for (size_t i = 0; i < read.HelpLines().size(); ++i) {
    EXPECT_EQ(read.HelpLines()[i]->Slope, original.HelpLines()[i]->Slope);
    EXPECT_EQ(read.HelpLines()[i]->ToX, original.HelpLines()[i]->ToX);
    EXPECT_EQ(read.HelpLines()[i]->Serie, &read);
  }
}

TEST_F(SeriesTest, ASeriesReadsBackWithItsHelpLines) {
  std::unique_ptr<TSerie> original = RichSerie();
  for (bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    platform::MemoryStream file;
    model_test::WriteFile(file, checksums, [&](TVistaWriter& w) { original->WriteTo(w); });
    TSerie read(nullptr);
    EXPECT_TRUE(model_test::ReadInto(read, file, 4));
    ExpectSameSerie(read, *original);

    // The stream parser creates the series by its record type; the help lines,
    // which the series enters itself, leave it open.
    TVistaStreamParser parser(nullptr);
    file.SetPosition(0);
    EXPECT_TRUE(parser.Parse(file));
    ASSERT_EQ(parser.Results().size(), 1u);
    auto* parsed = dynamic_cast<const TSerie*>(parser.Results()[0].get());
    ASSERT_NE(parsed, nullptr);
    ExpectSameSerie(*parsed, *original);
  }
}

TEST_F(SeriesTest, HelpLineRecord) {
  THelpLine line;
  line.Slope = 1;
  line.Intercept = 2;
  line.X0 = 3;
  line.FromX = 4;
  line.ToX = 5;
  Bytes body;
  for (int i = 0; i < 5; ++i)
    body.I32(160 + i).I32(8).F64(i + 1);
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { line.WriteTo(w); }),
            qor_test::PlainRecord(159, body).vec());
  EXPECT_EQ(line.YAt(4), (4 - 3) * 1 + 2);
}

TEST_F(SeriesTest, TheRegistryAndThePrototypes) {
  const std::vector<const TSerieClass*>& classes = SerieClasses();
  ASSERT_FALSE(classes.empty());
  EXPECT_EQ(classes[0]->Name(), "TSerie");
  EXPECT_EQ(classes[0]->RecordType(), 4);
  TDataSetRef data = MakeDataSet();
  std::unique_ptr<TSerieObject> created = CreateSerieByRecordType(4, data.get());
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->ClassName(), "TSerie");
  EXPECT_EQ(&created->DataSet(), data.get());
  EXPECT_EQ(data->RefCount(), 2);
  EXPECT_EQ(CreateSerieByRecordType(81, nullptr), nullptr);  // named by the loader, no class

  std::unique_ptr<TObject> prototype = TVistaStreamParser::CreateByRecordType(4);
  ASSERT_NE(dynamic_cast<TSerie*>(prototype.get()), nullptr);
  EXPECT_NE(dynamic_cast<TSerieObjectQuickSave*>(TVistaStreamParser::CreateByRecordType(-17).get()),
            nullptr);
  // Registering twice adds nothing.
  const size_t count = SerieClasses().size();
  RegisterDataModel();
  EXPECT_EQ(SerieClasses().size(), count);
}

TEST_F(SeriesTest, QuickSaves) {
  TSerieObjectQuickSave empty;
  EXPECT_EQ(qor_test::MessageOf<Exception>(
                [&] { model_test::Written([&](TVistaWriter& w) { empty.WriteTo(w); }); }),
            "Exception:,mvdsa8974 Gl\xF6mde att ange en serie!");

  std::unique_ptr<TSerie> original = RichSerie();
  original->DataSet().AddControlPoint(std::make_unique<TRecordDelimiterPoint>(45000.15, 0));
  auto source = std::make_unique<TVariable>();
  source->ParameterInfo().SetParameterName("pO2");
  original->DataSet().SetSourceItem(std::move(source));
  original->DataSet().SetYUnit("kPa");
  TSerieObjectQuickSave wrapper;
  wrapper.SetSerie(original.get());
  platform::MemoryStream file;
  model_test::WriteFile(file, true, [&](TVistaWriter& w) { wrapper.WriteTo(w); });

  TVistaStreamParser parser(nullptr);
  EXPECT_TRUE(parser.Parse(file));
  ASSERT_EQ(parser.Results().size(), 1u);
  auto* read = dynamic_cast<TSerieObjectQuickSave*>(parser.Results()[0].get());
  ASSERT_NE(read, nullptr);
  std::unique_ptr<TSerieObject> serie = read->TakeSerie();
  ASSERT_NE(serie, nullptr);
  EXPECT_EQ(serie->Caption(), "pO2");
  EXPECT_EQ(serie->DataSet().PointCount(), 5);
  EXPECT_EQ(serie->DataSet().ControlPoints().size(), 1u);

  // A record type with no prototype restores nothing and skips the rest.
  Bytes body = Bytes().I32(2020).I32(4).I32(61).I32(11).Str("lost");
  body.Append(qor_test::PlainRecord(22, Bytes().F64(1).F64(2).I32(3)));
  platform::MemoryStream other;
  qor_test::Fill(other, model_test::PlainFile(qor_test::PlainRecord(-17, body)));
  EXPECT_TRUE(parser.Parse(other));
  ASSERT_EQ(parser.Results().size(), 1u);
  EXPECT_EQ(dynamic_cast<TSerieObjectQuickSave&>(*parser.Results()[0]).Serie(), nullptr);
}

// A plot of 100 x 100 pixels: X from 0 to 10 left to right, Y from 0 to 10 upwards,
// 10 pixels per unit.
class PlotTest : public SeriesTest {
 protected:
  PlotTest() {
    x_axis_.SetKind(akValue);
    y_axis_.SetKind(akValue);
    serie_.SetUseXAxis(&x_axis_);
    serie_.SetUseYAxis(&y_axis_);
    serie_.SetPlotRect({0, 0, 101, 101});
    serie_.SetUseCanvas(&canvas_);
    serie_.SetColor(0x0000FF);
    serie_.SetPointSize(2);
    for (auto [x, y] : {std::pair{1.0, 1.0}, {2.0, 5.0}, {3.0, 3.0}})
      serie_.AddPoint(std::make_unique<TXYPoint>(x, y));
  }
  ~PlotTest() override {
    serie_.SetUseXAxis(nullptr);
    serie_.SetUseYAxis(nullptr);
  }
  // Where each stroke starts: a MoveTo's point, or a polyline's first (a marker
  // drawn with a thin pen is one polyline).
  std::vector<Point> StrokeStarts() const {
    std::vector<Point> points;
    for (const CanvasCall& call : canvas_.calls()) {
      if (call.op == CanvasOp::kMoveTo || call.op == CanvasOp::kPolyline)
        points.push_back(call.points[0]);
    }
    return points;
  }
  std::vector<std::pair<Point, Point>> Lines(platform::PenStyle style) const {
    std::vector<std::pair<Point, Point>> lines;
    for (const platform::DrawnSegment& line : platform::DrawnSegments(canvas_.calls()))
      if (line.pen.style == style) lines.emplace_back(line.from, line.to);
    return lines;
  }

  platform::RecordingCanvas canvas_;
  TAxis x_axis_{nullptr, {0, 100}, {100, 100}};
  TAxis y_axis_{nullptr, {0, 100}, {0, 0}};
  TSerie serie_{nullptr};
};

TEST_F(PlotTest, MarkersAtEveryPoint) {
  serie_.SetStyle(0x01);
  serie_.Paint();
  // Each cube starts at its top-left corner: points at (10, 90), (20, 50), (30, 70).
  EXPECT_EQ(StrokeStarts(), (std::vector<Point>{{8, 88}, {18, 48}, {28, 68}}));
  const auto lines = Lines(platform::PenStyle::kSolid);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], (std::pair<Point, Point>{{8, 88}, {12, 88}}));
  EXPECT_EQ(platform::DrawnSegments(canvas_.calls())[0].pen.color, 0x0000FFu);
}

TEST_F(PlotTest, AMarkerOnAPixelThatHasOneIsLeftOut) {
  serie_.SetStyle(0x01);
  // (1.02, 0.98) falls on the pixel of (1, 1); (1.02, 1.3) on the one above it.
  serie_.AddPoint(std::make_unique<TXYPoint>(1.02, 0.98));
  serie_.AddPoint(std::make_unique<TXYPoint>(1.04, 1.3));
  serie_.DataSet().EnsureSorted();
  serie_.Paint();
  EXPECT_EQ(StrokeStarts(), (std::vector<Point>{{8, 88}, {8, 85}, {18, 48}, {28, 68}}));
}

// A clip as tall as kMarkerSieveMostRows leaves the repeated marker out; one row
// taller, every marker is drawn.
TEST_F(PlotTest, ARepeatedMarkerIsLeftOutInAClipUpToTheTallestSieved) {
  serie_.SetStyle(0x01);
  serie_.AddPoint(std::make_unique<TXYPoint>(1.02, 0.98));  // on the pixel of (1, 1)
  serie_.DataSet().EnsureSorted();
  const struct {
    int32_t rows;
    size_t markers;
  } cases[] = {{kMarkerSieveMostRows, 3}, {kMarkerSieveMostRows + 1, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    canvas_.Clear();
    serie_.SetPlotRect({0, 0, 101, c.rows});
    serie_.Paint();
    EXPECT_EQ(StrokeStarts().size(), c.markers);
  }
}

TEST_F(PlotTest, LinesLeaveGapsAroundMarkers) {
  serie_.SetStyle(0x03);
  serie_.Paint();
  const auto lines = Lines(platform::PenStyle::kSolid);
  ASSERT_EQ(lines.size(), 12u + 2u);
  // A gap of twice the marker size at both ends of each segment.
  EXPECT_EQ(lines[12], (std::pair<Point, Point>{{11, 86}, {19, 54}}));
  EXPECT_EQ(lines[13], (std::pair<Point, Point>{{22, 54}, {28, 66}}));
  EXPECT_EQ(platform::DrawnSegments(canvas_.calls())[13].pen.width, SeriesPenWidth());
}

TEST_F(PlotTest, ARecordDelimiterBreaksTheLine) {
  serie_.SetStyle(0x02);
  serie_.DataSet().AddControlPoint(std::make_unique<TRecordDelimiterPoint>(2.5, 0));
  serie_.Paint();
  // The first pair is joined (no markers, no gaps); the second is not, and its
  // points get markers.
  const auto lines = Lines(platform::PenStyle::kSolid);
  ASSERT_EQ(lines.size(), 1u + 8u);
  EXPECT_EQ(lines[0], (std::pair<Point, Point>{{10, 90}, {20, 50}}));
  EXPECT_EQ(StrokeStarts(), (std::vector<Point>{{10, 90}, {18, 48}, {28, 68}}));
}

TEST_F(PlotTest, HelpLinesAreDotted) {
  serie_.SetStyle(0x00);
  auto line = std::make_unique<THelpLine>();
  line->Slope = 1;  // y = x, drawn over the points' range 1 .. 3
  serie_.AddHelpLine(std::move(line));
  serie_.Paint();
  const auto dotted = Lines(platform::PenStyle::kDot);
  ASSERT_EQ(dotted.size(), 1u);
  EXPECT_EQ(dotted[0], (std::pair<Point, Point>{{10, 90}, {30, 70}}));
  EXPECT_EQ(canvas_.pen().style, platform::PenStyle::kSolid);
  EXPECT_EQ(canvas_.brush().style, platform::BrushStyle::kSolid);
  TGlyphHit hit;
  EXPECT_TRUE(serie_.HitTest({20, 81}, &hit));
  EXPECT_EQ(hit.object, serie_.HelpLines()[0].get());
}

TEST_F(PlotTest, AHelpLineAndTheLineHitTestTakeLatePointsInOrder) {
  // The same points as the fixture's, the late ones stored first.
  TSerie late(nullptr);
  late.SetUseXAxis(&x_axis_);
  late.SetUseYAxis(&y_axis_);
  late.SetPlotRect({0, 0, 101, 101});
  for (auto [x, y] : {std::pair{3.0, 3.0}, {1.0, 1.0}, {2.0, 5.0}})
    late.AddPoint(std::make_unique<TXYPoint>(x, y));
  ASSERT_FALSE(late.DataSet().Sorted());
  late.SetStyle(0x02);
  serie_.SetStyle(0x02);
  // On the line from (2, 5) to (3, 3), and on none (between (3, 3) and (1, 1)).
  for (const Point probe : {Point{25, 60}, Point{20, 80}}) {
    SCOPED_TRACE(probe.x);
    TGlyphHit sorted_hit;
    TGlyphHit late_hit;
    EXPECT_EQ(late.HitTest(probe, &late_hit), serie_.HitTest(probe, &sorted_hit));
  }
  late.SetUseXAxis(nullptr);
  late.SetUseYAxis(nullptr);

  TSerie late_again(nullptr);
  late_again.SetUseXAxis(&x_axis_);
  late_again.SetUseYAxis(&y_axis_);
  late_again.SetPlotRect({0, 0, 101, 101});
  for (auto [x, y] : {std::pair{3.0, 3.0}, {1.0, 1.0}, {2.0, 5.0}})
    late_again.AddPoint(std::make_unique<TXYPoint>(x, y));
  THelpLine line;
  line.Slope = 1;  // y = x over the points' range 1 .. 3
  line.Serie = &late_again;
  line.DrawOn(canvas_);
  const auto dotted = platform::DrawnSegments(canvas_.calls());
  ASSERT_EQ(dotted.size(), 1u);
  EXPECT_EQ(dotted[0].from, (Point{10, 90}));
  EXPECT_EQ(dotted[0].to, (Point{30, 70}));
  line.Serie = nullptr;
  late_again.SetUseXAxis(nullptr);
  late_again.SetUseYAxis(nullptr);
}

TEST_F(PlotTest, DensePointsAndZeroLengthAxes) {
  serie_.SetStyle(0x02);
  serie_.DataSet().Clear();
  for (int i = 0; i < 1000; ++i)
    serie_.AddPoint(std::make_unique<TXYPoint>(i / 100.0, i % 7));
  serie_.Paint();
  // One stroke per pixel column.
  EXPECT_LE(platform::CallsOf(canvas_.calls(), CanvasOp::kLineTo).size(), 101u);

  canvas_.Clear();
  x_axis_.SetEndPoints({50, 100}, {50, 100});
  serie_.SetStyle(0xFF);
  serie_.Paint();  // nothing to divide by: still paints
  EXPECT_FALSE(canvas_.calls().empty());
}

TEST_F(PlotTest, StepsAndFills) {
  serie_.SetStyle(0xA0);  // steps, filled
  serie_.Paint();
  const auto lines = Lines(platform::PenStyle::kSolid);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], (std::pair<Point, Point>{{10, 90}, {20, 90}}));
  EXPECT_EQ(lines[1], (std::pair<Point, Point>{{20, 90}, {20, 50}}));
  EXPECT_EQ(lines[4], (std::pair<Point, Point>{{30, 70}, {101, 70}}));  // to the right edge
  const auto polygons = platform::CallsOf(canvas_.calls(), CanvasOp::kPolygon);
  ASSERT_EQ(polygons.size(), 2u);
  EXPECT_EQ(polygons[0].points, (std::vector<Point>{{10, 90}, {10, 100}, {20, 100}, {20, 90}}));
}

TEST_F(PlotTest, MovingAverageAndMeanLine) {
  serie_.SetStyle(record_tag::kSeriesStyleMovingAverage);
  serie_.SetMovingAverageWindow(2);
  serie_.Paint();
  // Averages of neighbouring pairs, midway between them: 3 at 1.5 and 4 at 2.5.
  EXPECT_EQ(Lines(platform::PenStyle::kSolid),
            (std::vector<std::pair<Point, Point>>{{{15, 70}, {25, 60}}}));
  canvas_.Clear();
  serie_.SetMovingAverageWindow(3);
  serie_.Paint();
  EXPECT_TRUE(Lines(platform::PenStyle::kSolid).empty());  // one vertex, at the middle point
  canvas_.Clear();
  serie_.SetMovingAverageWindow(0x7FFFFFFF);  // as a file may say
  serie_.Paint();
  EXPECT_TRUE(Lines(platform::PenStyle::kSolid).empty());

  canvas_.Clear();
  serie_.SetStyle(record_tag::kSeriesStyleMeanLine);
  serie_.Paint();
  EXPECT_EQ(Lines(platform::PenStyle::kSolid),
            (std::vector<std::pair<Point, Point>>{{{10, 70}, {30, 70}}}));
}

TEST_F(PlotTest, BarsFromTheZeroLine) {
  // Half a bar is the marker size either side of the point; a bar past the plot is
  // cut at its edge when filled.
  serie_.AddPoint(std::make_unique<TXYPoint>(4, 12));
  serie_.SetStyle(record_tag::kSeriesStyleBars);
  serie_.Paint();
  const auto lines = Lines(platform::PenStyle::kSolid);
  ASSERT_EQ(lines.size(), 4u * 4u - 1u);  // the last bar's top edge is out of view
  EXPECT_EQ(std::vector(lines.begin() + 4, lines.begin() + 8),
            (std::vector<std::pair<Point, Point>>{{{18, 100}, {18, 50}},
                                                  {{18, 50}, {22, 50}},
                                                  {{22, 50}, {22, 100}},
                                                  {{22, 100}, {18, 100}}}));
  EXPECT_TRUE(platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect).empty());

  canvas_.Clear();
  serie_.SetStyle(record_tag::kSeriesStyleBars | record_tag::kSeriesStyleFilled);
  serie_.Paint();
  EXPECT_TRUE(Lines(platform::PenStyle::kSolid).empty());
  const auto fills = platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect);
  ASSERT_EQ(fills.size(), 4u);
  EXPECT_EQ(fills[1].rect, (platform::Rect{18, 50, 22, 100}));
  EXPECT_EQ(fills[1].brush.color, 0x0000FFu);
  EXPECT_EQ(fills[3].rect, (platform::Rect{38, 0, 42, 100}));
}

TEST_F(PlotTest, AnInfinitePointCrossesThePlot) {
  serie_.AddPoint(std::make_unique<TInfinitePoint>(2.5, 0));
  serie_.DataSet().EnsureSorted();
  serie_.SetStyle(record_tag::kSeriesStyleLine);
  serie_.Paint();
  // The line runs to the infinite point's pixel; from there a vertical line takes
  // the place of the segment to the next point.
  EXPECT_EQ(Lines(platform::PenStyle::kSolid),
            (std::vector<std::pair<Point, Point>>{
                {{10, 90}, {20, 50}}, {{20, 50}, {25, 100}}, {{25, 0}, {25, 101}}}));
}

TEST_F(PlotTest, HighlightedPointsInThePercentDisplay) {
  serie_.SetStyle(0x00);
  serie_.DataSet().Highlighted().push_back(serie_.DataSet().GetPoint(1));
  serie_.Paint();
  EXPECT_TRUE(canvas_.calls().empty());  // only in the percent display

  serie_.SetPercentMode(true);
  serie_.Paint();
  // A marker one larger than the others, drawn with a pen half its size.
  EXPECT_EQ(StrokeStarts(), (std::vector<Point>{{17, 47}}));
  const auto lines = platform::DrawnSegments(canvas_.calls());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].pen.width, 1);
  serie_.DataSet().Highlighted().clear();
}

TEST_F(PlotTest, AutomaticMarkersGiveWayToDenseLines) {
  // Markers at every point, and the gaps around them, while a point has more than
  // five pixels; points that carry a deviation keep them however dense.
  struct Case {
    int points;
    double spacing;
    bool deviations;
    bool markers;
  };
  for (const Case& c :
       {Case{3, 1.0, false, true}, Case{21, 0.1, false, false}, Case{21, 0.1, true, true}}) {
    SCOPED_TRACE(c.points);
    canvas_.Clear();
    serie_.DataSet().Clear();
    for (int i = 0; i < c.points; ++i) {
      const double x = 1 + i * c.spacing;
      if (c.deviations) {
        serie_.AddPoint(std::make_unique<TStdDevPoint>(x, 1.0));
      } else {
        serie_.AddPoint(std::make_unique<TXYPoint>(x, 1.0));
      }
    }
    serie_.SetStyle(record_tag::kSeriesStyleAutoMarkers | record_tag::kSeriesStyleLine);
    serie_.Paint();
    // A cube starts at its top-left corner: the first point's is there either way
    // (dense lines keep a marker at each end), the second point's only with every
    // marker. A line without a gap starts on the first point.
    const auto starts = StrokeStarts();
    const Point second_cube{8 + static_cast<int32_t>(std::lround(c.spacing * 10)), 88};
    EXPECT_EQ(std::count(starts.begin(), starts.end(), Point{8, 88}), 1);
    EXPECT_EQ(std::count(starts.begin(), starts.end(), second_cube), c.markers ? 1 : 0);
    EXPECT_EQ(std::count(starts.begin(), starts.end(), Point{10, 90}), c.markers ? 0 : 1);
  }
}

TEST_F(PlotTest, TheSyncArrow) {
  serie_.SetStyle(0x00);
  serie_.SetSyncMode(2);
  ASSERT_NE(serie_.Arrow(), nullptr);
  EXPECT_TRUE(serie_.DataSet().SyncTimeSet());
  EXPECT_EQ(serie_.DataSet().SyncTime(), 1);
  serie_.Paint();
  // X relative to the first point: its anchor is at (0, 90); the tip's pixel row
  // starts one below.
  const auto fills = platform::CallsOf(canvas_.calls(), CanvasOp::kFillRect);
  ASSERT_FALSE(fills.empty());
  EXPECT_EQ(fills[0].rect, (platform::Rect{0, 91, 1, 92}));
  EXPECT_EQ(fills[0].brush.color, 0x0000FFu);
  TGlyphHit hit;
  EXPECT_TRUE(serie_.HitTest({0, 95}, &hit));
  EXPECT_EQ(hit.object, serie_.Arrow());
  serie_.SetSyncMode(0);
  EXPECT_EQ(serie_.Arrow(), nullptr);
}

TEST_F(PlotTest, HitsOnPointsAndLines) {
  TGlyphHit hit;
  EXPECT_TRUE(serie_.HitTest({22, 52}, &hit));  // 2 right of and below (20, 50)
  EXPECT_EQ(hit.object, serie_.DataSet().GetPoint(1));
  EXPECT_TRUE(hit.handled);
  TSerie single(nullptr);
  single.SetUseXAxis(&x_axis_);
  single.SetUseYAxis(&y_axis_);
  single.AddPoint(std::make_unique<TXYPoint>(2, 5));
  EXPECT_FALSE(single.HitTest({23, 50}, &hit));  // 3 right: outside
  EXPECT_FALSE(single.HitTest({20, 53}, &hit));  // 3 below: outside
  EXPECT_TRUE(single.HitTest({17, 47}, &hit));
  single.SetUseXAxis(nullptr);
  single.SetUseYAxis(nullptr);
  serie_.SetStyle(0x02);
  EXPECT_TRUE(serie_.HitTest({15, 70}, &hit));  // on the line between the first two
  EXPECT_EQ(hit.object, &serie_);
  EXPECT_FALSE(serie_.HitTest({15, 30}, &hit));
}

TEST_F(PlotTest, NearestPointAtTheEnds) {
  int32_t index = 99;
  EXPECT_EQ(serie_.NearestPoint(1.0, index), serie_.DataSet().GetPoint(0));  // on the first
  EXPECT_EQ(index, 0);
  EXPECT_EQ(serie_.NearestPoint(3.0, index), serie_.DataSet().GetPoint(2));  // on the last
  EXPECT_EQ(index, 2);
  EXPECT_EQ(serie_.NearestPoint(0.5, index), nullptr);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(serie_.NearestPoint(3.5, index), nullptr);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(serie_.NearestPoint(1.5, index), serie_.DataSet().GetPoint(1));  // tie: later
  EXPECT_EQ(serie_.NearestPoint(1.4, index), serie_.DataSet().GetPoint(0));

  TSerie single(nullptr);
  single.SetUseXAxis(&x_axis_);
  single.AddPoint(std::make_unique<TXYPoint>(4, 1));
  for (double x : {0.0, 4.0, 9.0})
    EXPECT_EQ(single.NearestPoint(x, index), single.DataSet().GetPoint(0)) << x;
  single.SetUseXAxis(nullptr);
}

TEST_F(PlotTest, ValuesBetweenThePoints) {
  bool interpolated;
  bool found;
  serie_.SetStyle(0x00);  // markers alone: the nearest point
  EXPECT_EQ(serie_.ValueAt(false, interpolated, found, 1.4), 1);
  EXPECT_TRUE(found);
  serie_.SetStyle(0x02);
  // Axis values are not converted again: with an offset of 1 the points lie at 2,
  // 3 and 4 on the axis, and 2.5 is half way between the first two.
  serie_.DataSet().SetXOffset(1);
  EXPECT_EQ(serie_.ValueAt(false, interpolated, found, 2.5), 3);
  EXPECT_TRUE(interpolated);
  serie_.SetStyle(0x20);
  EXPECT_EQ(serie_.ValueAt(false, interpolated, found, 3.5), 5);
  EXPECT_EQ(serie_.ValueAt(false, interpolated, found, 1.5), 0);
  EXPECT_FALSE(found);
  serie_.DataSet().SetXOffset(0);
  serie_.SetStyle(0x02);
  EXPECT_EQ(serie_.GetReadout(1.5), "   3");
  serie_.DataSet().SetPercentReference(200);
  serie_.SetPercentMode(true);
  EXPECT_EQ(serie_.GetReadout(1.5), " 1.5 % (   3)");
  serie_.AddPoint(std::make_unique<TInfinitePoint>(4, 0));
  EXPECT_EQ(serie_.GetReadout(3.5), "- - -");
}

TEST_F(PlotTest, PercentDisplay) {
  TXYPoint point(0, 50);
  serie_.DataSet().SetPercentReference(200);
  serie_.SetPercentMode(true);
  EXPECT_EQ(serie_.YValueOf(point), 25);
  serie_.SetYValueOf(point, 25);
  EXPECT_EQ(point.YValue, 50);
  EXPECT_EQ(serie_.GetMaxY(), 5 * 100 / 200.0);
  serie_.DataSet().SetPercentReference(-100);
  EXPECT_EQ(serie_.GetMaxY(), -1);  // the minimum, 1, in percent of -100
  // The Y pixel is the percent value's.
  serie_.DataSet().SetPercentReference(50);
  EXPECT_EQ(serie_.ValueToPixel(2.5, 1, 1).y, 100 - 50);
}

TEST_F(PlotTest, AreasBetween) {
  TSerie serie(nullptr);
  serie.SetUseXAxis(&x_axis_);
  serie.AddPoint(std::make_unique<TXYPoint>(0, 10));
  serie.AddPoint(std::make_unique<TXYPoint>(1, 20));
  double area;
  EXPECT_TRUE(serie.AreaBetween(0, 1, area));
  EXPECT_EQ(area, 360);
  serie.SetStyle(0x20);
  EXPECT_TRUE(serie.AreaBetween(0, 1, area));
  EXPECT_EQ(area, 240);
  serie.SetStyle(0x02);
  EXPECT_TRUE(serie.AreaBetween(0.5, 2, area));
  EXPECT_DOUBLE_EQ(area, 12 * (15 + 20) / 2.0);
  // To inside the pair: the end value lies on the line, three quarters of the way.
  EXPECT_TRUE(serie.AreaBetween(-1, 0.75, area));
  EXPECT_DOUBLE_EQ(area, 18 * (10 + 17.5) / 2.0);
  EXPECT_TRUE(serie.AreaBetween(0.25, 0.75, area));
  EXPECT_DOUBLE_EQ(area, 12 * (12.5 + 17.5) / 2.0);
  serie.SetStyle(0x20);
  EXPECT_TRUE(serie.AreaBetween(0.25, 0.75, area));
  EXPECT_DOUBLE_EQ(area, 12 * 10.0);
  serie.SetStyle(0x02);
  EXPECT_FALSE(TSerieObject(nullptr).AreaBetween(0, 1, area));
  serie.SetUseXAxis(nullptr);
}

TEST_F(PlotTest, InformationText) {
  serie_.SetCaption("pH");
  const std::string text = serie_.GetInfoText();
  EXPECT_EQ(text,
            "Created\r\nNo of Points: 3\r\nMaximum Value: 5\r\nMinimum Value: 1\r\n"
            "Average: 3\r\nArea Under Curve (AUC): 168 []*hours\r\n"
            "The series has no offset\r\n");
  auto item = std::make_unique<TVariable>();
  item->PatientInfo().PatientName = "Berg";
  item->ParameterInfo().SetParameterName("pH");
  item->ParameterInfo().SetMeasurementPlace("art");
  item->Directory = "/data/";
  item->FileName = "ABL.vor";
  serie_.DataSet().SetSourceItem(std::move(item));
  serie_.DataSet().SetYUnit("kPa");
  serie_.DataSet().SetXOffset(-1.25);
  const std::string with_source = serie_.GetInfoText();
  EXPECT_EQ(with_source.substr(0, with_source.find("No of")),
            "Patient: Berg\r\nParameter: pH \r\nUnit: kPa\r\nMeasurement Place: art\r\n"
            "From File: /data/ABL.vor\r\n");
  EXPECT_NE(with_source.find("Area Under Curve (AUC): 168 kPa*hours\r\n"), std::string::npos);
  EXPECT_NE(with_source.find("The series is moved 1 days 06:00:00 earlier\r\n"), std::string::npos);
}

TEST_F(PlotTest, AssignmentSharesTheDataSet) {
  TSerie copy(nullptr);
  auto line = std::make_unique<THelpLine>();
  line->Slope = 2;
  serie_.AddHelpLine(std::move(line));
  serie_.SetMovingAverageWindow(5);
  copy.Assign(serie_);
  EXPECT_EQ(&copy.DataSet(), &serie_.DataSet());
  EXPECT_EQ(serie_.DataSet().RefCount(), 2);
  EXPECT_EQ(copy.UseXAxis(), &x_axis_);
  EXPECT_EQ(copy.MovingAverageWindow(), 5);
  ASSERT_EQ(copy.HelpLines().size(), 1u);
  EXPECT_EQ(copy.HelpLines()[0]->Serie, &copy);
  EXPECT_EQ(copy.HelpLines()[0]->Slope, 2);
  EXPECT_EQ(copy.GetColor(), serie_.GetColor());
  copy.SetUseXAxis(nullptr);
  copy.SetUseYAxis(nullptr);
}

}  // namespace
