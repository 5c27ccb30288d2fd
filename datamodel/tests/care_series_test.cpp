// Visualizers, category points, the category series and the category pool: records
// against bytes written out by hand, reading back, hints, and painting on the
// recording canvas. And a file holding one record of every prototype class, read
// back whole through the stream parser.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassParser.h"
#include "datamodel/Axis.h"
#include "datamodel/CareEvents.h"
#include "datamodel/CareEventsItems.h"
#include "datamodel/CareEventsPool.h"
#include "datamodel/CareEventsSeries.h"
#include "datamodel/CareEventsVisualizers.h"
#include "datamodel/DataModel.h"
#include "datamodel/Series_C.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/exception.h"
#include "platform/locale.h"
#include "platform/recording_canvas.h"

namespace {

using model_test::Bytes;
using platform::CanvasCall;
using platform::CanvasOp;
using platform::Point;
using qor_test::MessageOf;
using qor_test::PlainRecord;

class CareSeriesTest : public ::testing::Test {
 protected:
  CareSeriesTest() : pinned_(platform::LocaleSettings{}), pinned_random_(no_moves_) {
    RegisterDataModel();
  }
  platform::ScopedLocaleSettings pinned_;
  model_test::FixedRandom no_moves_{0.0};
  platform::ScopedRandomSource pinned_random_;
};

Bytes StringField(int32_t tag, const std::string& text) {
  return Bytes().I32(tag).Str(text);
}

std::vector<uint8_t> Written(IPersistIT& object) {
  return model_test::Written([&](TVistaWriter& w) { object.WriteTo(w); });
}

std::vector<std::unique_ptr<TObject>> Parsed(platform::MemoryStream& file) {
  file.SetPosition(0);
  TVistaStreamParser parser(nullptr);
  EXPECT_TRUE(parser.Parse(file));
  return parser.TakeResults();
}

std::vector<std::unique_ptr<TObject>> Parsed(const Bytes& records) {
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(records));
  return Parsed(file);
}

// A set of events whose captions are Captions, in order.
std::unique_ptr<TCareEventSet> EventsCaptioned(const std::vector<std::string>& captions) {
  auto set = std::make_unique<TCareEventSet>();
  for (const std::string& caption : captions) {
    auto event = std::make_unique<TSimpleCareEvent>();
    event->Name = caption + " event";
    event->Caption = caption;
    set->Add(std::move(event));
  }
  return set;
}

// --- Visualizers -------------------------------------------------------------

TEST_F(CareSeriesTest, VisualizerRecords) {
  TTextCategoryVisualizer texts;
  texts.Texts = {"low", "high"};
  const Bytes text_record =
      PlainRecord(-12, StringField(2014, "low").Append(StringField(2014, "high")));
  EXPECT_EQ(Written(texts), text_record.vec());
  TSymbolCategoryVisualizer symbol;
  EXPECT_EQ(Written(symbol), PlainRecord(-15, Bytes()).vec());
  TDefaultCategoryVisualizer numbers;
  EXPECT_EQ(Written(numbers), PlainRecord(-16, Bytes()).vec());

  // Other fields are skipped. The default visualizer's record is not recreated.
  Bytes read_body = StringField(2014, "low").Append(Bytes().I32(5000).I32(4).I32(7));
  read_body.Append(StringField(2014, "high"));
  const auto results = Parsed(PlainRecord(-12, read_body)
                                  .Append(PlainRecord(-15, Bytes()))
                                  .Append(PlainRecord(-16, Bytes())));
  ASSERT_EQ(results.size(), 2u);
  auto* read_texts = dynamic_cast<TTextCategoryVisualizer*>(results[0].get());
  ASSERT_NE(read_texts, nullptr);
  EXPECT_EQ(read_texts->Texts, texts.Texts);
  EXPECT_EQ(results[1]->ClassName(), "TSymbolCategoryVisualizer");

  // Assignment: visualizers only; the texts to a text visualizer.
  TTextCategoryVisualizer copy;
  copy.Texts = {"old"};
  copy.Assign(texts);
  EXPECT_EQ(copy.Texts, texts.Texts);
  symbol.Assign(texts);
  TCategory category;
  EXPECT_EQ(MessageOf<EConvertError>([&] { category.Assign(texts); }),
            "Cannot assign a TTextCategoryVisualizer to a TCategory");
}

TEST_F(CareSeriesTest, VisualizersDraw) {
  platform::RecordingCanvas canvas;
  platform::Font font;
  font.height = -12;  // characters 6 pixels wide, lines 12 high
  canvas.SetFont(font);

  TDefaultCategoryVisualizer numbers;
  numbers.Draw(42, canvas, 50, 30, 9, 0x00FF00);
  auto texts = platform::CallsOf(canvas.calls(), CanvasOp::kTextOut);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "42");
  EXPECT_EQ(texts[0].points[0], (Point{50 - 6, 30 - 6}));  // centred: 12 x 12
  EXPECT_EQ(texts[0].font.color, 0x00FF00u);
  EXPECT_EQ(texts[0].brush.style, platform::BrushStyle::kClear);
  EXPECT_EQ(canvas.brush().style, platform::BrushStyle::kSolid);

  canvas.Clear();
  TSymbolCategoryVisualizer symbol;
  symbol.Draw(7, canvas, 50, 30, 9, 0x0000FF);
  ASSERT_EQ(canvas.calls().size(), 1u);
  EXPECT_EQ(canvas.calls()[0].op, CanvasOp::kRoundRect);
  EXPECT_EQ(canvas.calls()[0].rect, (platform::Rect{47, 27, 53, 33}));
  EXPECT_EQ(canvas.calls()[0].values, (std::vector<int32_t>{9, 9}));
  EXPECT_EQ(canvas.calls()[0].pen.color, 0x0000FFu);

  canvas.Clear();
  TTextCategoryVisualizer words;
  words.Texts = {"off", "on"};
  words.Draw(1, canvas, 50, 30, 9, 0xFF0000);
  texts = platform::CallsOf(canvas.calls(), CanvasOp::kTextOut);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "on");
  EXPECT_EQ(texts[0].points[0], (Point{50, 30}));
  EXPECT_EQ(texts[0].font.height, 9);
  EXPECT_EQ(texts[0].font.color, 0xFF0000u);
  EXPECT_EQ(texts[0].brush.style, platform::BrushStyle::kClear);
  EXPECT_EQ(canvas.brush().style, platform::BrushStyle::kSolid);

  // No text for the value: a checked error, and nothing drawn.
  canvas.Clear();
  for (int32_t index : {2, -1}) {
    EXPECT_EQ(MessageOf<EListError>([&] { words.Draw(index, canvas, 0, 0, 9, 0); }),
              "List index out of bounds (" + std::to_string(index) + ")");
  }
  EXPECT_TRUE(canvas.calls().empty());

  // Far-off pixels do not wrap round.
  canvas.Clear();
  symbol.Draw(0, canvas, INT32_MIN, INT32_MAX, 9, 0);
  ASSERT_FALSE(canvas.calls().empty());
  EXPECT_EQ(canvas.calls()[0].rect,
            (platform::Rect{INT32_MIN, INT32_MAX - 3, INT32_MIN + 3, INT32_MAX}));
}

// --- Category points ---------------------------------------------------------

TEST_F(CareSeriesTest, CategoryPointValues) {
  struct Case {
    double y;
    int32_t value;
  };
  for (const Case& c : {Case{2.5, 2}, Case{3.5, 4}, Case{-0.5, 0}, Case{1e300, 2147483637},
                        Case{-1e300, -2147483637}}) {
    SCOPED_TRACE(c.y);
    EXPECT_EQ(TCategoryPoint(0, c.y).Value(), c.value);
  }
  TCategoryPoint point(1, 0);
  point.SetValue(6);
  EXPECT_EQ(point.YValue, 6);

  TCategoryValues values;
  EXPECT_TRUE(values.Empty());
  values.Include(0);
  values.Include(9);
  values.Include(255);
  values.Include(256);  // not a value
  values.Include(-1);
  EXPECT_TRUE(values.Contains(9));
  EXPECT_FALSE(values.Contains(8));
  EXPECT_FALSE(values.Contains(256));
  EXPECT_EQ(values.Bytes()[0], 0x01);
  EXPECT_EQ(values.Bytes()[1], 0x02);
  EXPECT_EQ(values.Bytes()[31], 0x80);
  values.Exclude(9);
  EXPECT_EQ(values.Bytes()[1], 0x00);

  // A composite point's values go along with the targeted point's fields.
  TCompositeCategoryPoint composite(1, 2);
  composite.Values = values;
  composite.Target = "ICU";
  TCompositeCategoryPoint copy(0, 0);
  copy.Assign(composite);
  EXPECT_EQ(copy.Values, values);
  EXPECT_EQ(copy.Target, "ICU");
  EXPECT_EQ(copy.YValue, 2);
  TCategoryPoint other(0, 0);
  other.Assign(composite);
  EXPECT_EQ(other.Target, "ICU");

  // Each class makes empty points of its own.
  EXPECT_EQ(point.CreateEmpty()->ClassName(), "TCategoryPoint");
  EXPECT_EQ(composite.CreateEmpty()->ClassName(), "TCompositeCategoryPoint");
  EXPECT_EQ(TCustomCategoryPoint(0, 0).CreateEmpty()->ClassName(), "TCustomCategoryPoint");
}

TEST_F(CareSeriesTest, PointRecordsAsWrittenByHand) {
  TCategoryPoint value_point(45000.25, 2.6, 7);
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { value_point.WriteTo(w); }),
            PlainRecord(2015, Bytes().F64(45000.25).F64(2.6).I32(7).I32(3)).vec());

  TCompositeCategoryPoint set_point(45000.5, 0, 8);
  set_point.Values.Include(0);
  set_point.Values.Include(3);
  set_point.Values.Include(17);
  Bytes set_bytes = Bytes().F64(45000.5).F64(0).I32(8).U8(0x09).U8(0).U8(0x02);
  for (int i = 3; i < 32; ++i)
    set_bytes.U8(0);
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { set_point.WriteTo(w); }),
            PlainRecord(2016, set_bytes).vec());

  TCustomCategoryPoint text_point(45000.75, 5, 9);
  text_point.SetText("Turned");
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { text_point.WriteTo(w); }),
            PlainRecord(2017, Bytes().F64(45000.75).I32(9).I32(9).Str("Turned")).vec());
}

// --- The category series -----------------------------------------------------

// A series of a category with three events, drawn by a text visualizer, and one
// point of each kind.
class CategorySeriesTest : public CareSeriesTest {
 protected:
  CategorySeriesTest() {
    events_ = EventsCaptioned({"Zero", "One", "Two"});
    texts_.Texts = {"zero", "one", "two", "three"};
    category_.EventSet = events_.get();
    category_.Visualizer = &texts_;
    category_.Name = "Position";
    series_.SetCaption("Care");
    series_.SetColor(0x0000FF);
    series_.SetCategory(&category_);
  }
  void AddPoints() {
    series_.AddPoint(std::make_unique<TCategoryPoint>(1.0, 1.0, 1));
    auto set = std::make_unique<TCompositeCategoryPoint>(2.0, 0.0, 2);
    set->Values.Include(0);
    set->Values.Include(2);
    series_.AddPoint(std::move(set));
    auto text = std::make_unique<TCustomCategoryPoint>(3.0, 0.0, 3);
    text->SetText("Turned left");
    series_.AddPoint(std::move(text));
  }

  std::unique_ptr<TCareEventSet> events_;
  TTextCategoryVisualizer texts_;
  TCategory category_;
  TCategorySeries series_{nullptr};
};

TEST_F(CategorySeriesTest, ANewSeries) {
  TCategorySeries fresh(nullptr);
  EXPECT_EQ(fresh.Style(), 0x12);
  EXPECT_EQ(fresh.DataSet().RefCount(), 1);
  EXPECT_EQ(fresh.Category(), nullptr);
  EXPECT_EQ(fresh.RecordType(), -13);
  // Without a category the record holds only the fields of every series.
  fresh.SetColor(0x123456);
  Bytes body = Bytes().I32(12).I32(4).I32(0).I32(16).I32(4).I32(0x123456);
  body.I32(19).I32(1).U8(0).I32(20).I32(1).U8(0x12);
  body.Append(model_test::EmptyDataSetFields(""));
  EXPECT_EQ(Written(fresh), PlainRecord(-13, body).vec());
  std::unique_ptr<TObject> empty = series_.CreateEmpty();
  auto* other = dynamic_cast<TCategorySeries*>(empty.get());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->Category(), nullptr);
  EXPECT_EQ(other->DataSet().PointCount(), 0);
}

TEST_F(CategorySeriesTest, RecordAsWrittenByHand) {
  AddPoints();
  Bytes category = StringField(2006, "Position").Append(StringField(2007, ""));
  category.I32(2009).I32(1).U8(0);
  category.Append(PlainRecord(
      -7,
      PlainRecord(0, StringField(2012, "Zero event").Append(StringField(2013, "Zero")))
          .Append(PlainRecord(0, StringField(2012, "One event").Append(StringField(2013, "One"))))
          .Append(
              PlainRecord(0, StringField(2012, "Two event").Append(StringField(2013, "Two"))))));
  category.Append(PlainRecord(-12, StringField(2014, "zero")
                                       .Append(StringField(2014, "one"))
                                       .Append(StringField(2014, "two"))
                                       .Append(StringField(2014, "three"))));
  Bytes body = PlainRecord(-6, category);
  body.I32(12).I32(4).I32(0).I32(16).I32(4).I32(0x0000FF).I32(19).I32(1).U8(0).I32(20).I32(1).U8(
      0x12);
  body.Append(model_test::EmptyDataSetFields("Care"));
  body.Append(PlainRecord(2015, Bytes().F64(1).F64(1).I32(1).I32(1)));
  Bytes set = Bytes().F64(2).F64(0).I32(2).U8(0x05);
  for (int i = 1; i < 32; ++i)
    set.U8(0);
  body.Append(PlainRecord(2016, set));
  body.Append(PlainRecord(2017, Bytes().F64(3).I32(3).I32(9).Str("Turned left")));
  const Bytes record = PlainRecord(-13, body);
  EXPECT_EQ(Written(series_), record.vec());

  // Through the stream parser: the category comes with the series.
  const auto results = Parsed(record);
  ASSERT_EQ(results.size(), 1u);
  auto* read = dynamic_cast<TCategorySeries*>(results[0].get());
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Caption(), "Care");
  EXPECT_EQ(read->GetColor(), 0x0000FFu);
  ASSERT_NE(read->Category(), nullptr);
  EXPECT_TRUE(read->Category()->Equals(category_));
  ASSERT_EQ(read->DataSet().PointCount(), 3);
  auto* value_point = dynamic_cast<const TCategoryPoint*>(read->DataSet().GetPoint(0));
  ASSERT_NE(value_point, nullptr);
  EXPECT_EQ(value_point->Value(), 1);
  auto* set_point = dynamic_cast<const TCompositeCategoryPoint*>(read->DataSet().GetPoint(1));
  ASSERT_NE(set_point, nullptr);
  EXPECT_TRUE(set_point->Values.Contains(0));
  EXPECT_TRUE(set_point->Values.Contains(2));
  EXPECT_EQ(set_point->OrdinalNo, 2);
  auto* text_point = dynamic_cast<const TCustomCategoryPoint*>(read->DataSet().GetPoint(2));
  ASSERT_NE(text_point, nullptr);
  EXPECT_EQ(text_point->Text(), "Turned left");
  EXPECT_EQ(text_point->YValue, 0);
  EXPECT_EQ(Written(*read), record.vec());

  // Read as the loaders read series: the points, not the category.
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(record));
  TCategorySeries loaded(nullptr);
  EXPECT_TRUE(model_test::ReadInto(loaded, file, -13));
  EXPECT_EQ(loaded.Category(), nullptr);
  EXPECT_EQ(loaded.DataSet().PointCount(), 3);
}

TEST_F(CategorySeriesTest, TextPointRecordsWithoutTheirText) {
  Bytes body = model_test::EmptyDataSetFields("Care");
  // The next tag is not 9: no point. Then one that ends before a tag: no point.
  body.Append(PlainRecord(2017, Bytes().F64(1).I32(1).I32(10).Str("not the text")));
  body.Append(PlainRecord(2017, Bytes().F64(2).I32(2)));
  body.Append(PlainRecord(2015, Bytes().F64(3).F64(1).I32(3).I32(2)));
  // A value taken from Value, not from Y.
  const auto results = Parsed(PlainRecord(-13, body));
  ASSERT_EQ(results.size(), 1u);
  auto* read = dynamic_cast<TCategorySeries*>(results[0].get());
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->DataSet().PointCount(), 1);
  EXPECT_EQ(read->DataSet().GetPoint(0)->XValue, 3);
  EXPECT_EQ(read->DataSet().GetPoint(0)->YValue, 2);

  // A point record shorter than its body is an error of the file, and adds nothing.
  platform::MemoryStream file;
  qor_test::Fill(file,
                 model_test::PlainFile(PlainRecord(
                     -13, PlainRecord(2016, Bytes().F64(3).F64(1).I32(3)).Append(Bytes().I32(0)))));
  TCategorySeries short_record(nullptr);
  EXPECT_THROW(model_test::ReadInto(short_record, file, -13), Exception);
  EXPECT_EQ(short_record.DataSet().PointCount(), 0);
}

TEST_F(CategorySeriesTest, QuickSaveRestoresTheSeriesWithItsCategory) {
  AddPoints();
  TSerieObjectQuickSave wrapper;
  wrapper.SetSerie(&series_);
  platform::MemoryStream file;
  model_test::WriteFile(file, true, [&](TVistaWriter& w) { wrapper.WriteTo(w); });
  const auto results = Parsed(file);
  ASSERT_EQ(results.size(), 1u);
  auto* read = dynamic_cast<TSerieObjectQuickSave*>(results[0].get());
  ASSERT_NE(read, nullptr);
  std::unique_ptr<TSerieObject> serie = read->TakeSerie();
  auto* category_series = dynamic_cast<TCategorySeries*>(serie.get());
  ASSERT_NE(category_series, nullptr);
  EXPECT_EQ(category_series->Caption(), "Care");
  EXPECT_EQ(category_series->DataSet().PointCount(), 3);
  ASSERT_NE(category_series->Category(), nullptr);
  EXPECT_TRUE(category_series->Category()->Equals(category_));
}

TEST_F(CategorySeriesTest, CopiesShareTheCategory) {
  AddPoints();
  platform::MemoryStream file;
  model_test::WriteFile(file, false, [&](TVistaWriter& w) { series_.WriteTo(w); });
  auto results = Parsed(file);
  ASSERT_EQ(results.size(), 1u);
  auto* read = dynamic_cast<TCategorySeries*>(results[0].get());
  ASSERT_NE(read, nullptr);
  TCategorySeries copy(nullptr);
  copy.Assign(*read);
  EXPECT_EQ(copy.Category(), read->Category());
  EXPECT_EQ(&copy.DataSet(), &read->DataSet());
  // The category read with the series lives as long as a copy refers to it.
  results.clear();
  ASSERT_NE(copy.Category(), nullptr);
  EXPECT_EQ(copy.Category()->Name, "Position");
  // A category from elsewhere is only referred to.
  copy.SetCategory(&category_);
  EXPECT_EQ(copy.Category(), &category_);
  // Anything but points and categories is dropped.
  copy.AddSubObject(std::make_unique<TSymbolCategoryVisualizer>());
  copy.AddSubObject(std::make_unique<TXYPoint>(9, 1));
  EXPECT_EQ(copy.Category(), &category_);
  EXPECT_EQ(copy.DataSet().PointCount(), 4);
}

TEST_F(CategorySeriesTest, Hints) {
  AddPoints();
  TAxis axis(nullptr, {0, 100}, {100, 100});
  axis.SetKind(akValue);
  series_.SetUseXAxis(&axis);
  const TQORDataSet& data = series_.DataSet();
  EXPECT_EQ(data.GetPoint(0)->GetHintText(&series_), "Care\r\nat 1\r\nOne");
  EXPECT_EQ(data.GetPoint(1)->GetHintText(&series_), "Care \r\nat 2\r\nZero\r\nTwo");
  EXPECT_EQ(data.GetPoint(2)->GetHintText(&series_), "Care \r\nat 3Turned left");

  // Not in a category series, or without the captions: the inherited hints.
  TSerie plain(nullptr);
  plain.SetCaption("Care");
  plain.SetUseXAxis(&axis);
  EXPECT_EQ(data.GetPoint(0)->GetHintText(&plain), "Care\r\nY = 1\r\nX = 1");
  EXPECT_EQ(data.GetPoint(2)->GetHintText(&plain), "Care\r\nX = 3: \r\nTurned left");
  category_.EventSet = nullptr;
  EXPECT_EQ(data.GetPoint(0)->GetHintText(&series_), "Care\r\nY = 1\r\nX = 1");
  EXPECT_EQ(data.GetPoint(1)->GetHintText(&series_), "Care\r\nY = 0\r\nX = 2");
  series_.SetCategory(nullptr);
  EXPECT_EQ(data.GetPoint(0)->GetHintText(&series_), "Care\r\nY = 1\r\nX = 1");
  EXPECT_EQ(data.GetPoint(2)->GetHintText(&series_), "Care \r\nat 3Turned left");

  // A value without an event: a checked error.
  series_.SetCategory(&category_);
  category_.EventSet = events_.get();
  TCategoryPoint beyond(4, 3);
  EXPECT_EQ(MessageOf<EListError>([&] { beyond.GetHintText(&series_); }),
            "List index out of bounds (3)");
  TCompositeCategoryPoint set_beyond(4, 0);
  set_beyond.Values.Include(200);
  EXPECT_EQ(MessageOf<EListError>([&] { set_beyond.GetHintText(&series_); }),
            "List index out of bounds (200)");
  series_.SetUseXAxis(nullptr);
  plain.SetUseXAxis(nullptr);
}

// A plot 100 pixels wide, X from 0 to 10, the series' band from y 40 to 56: the
// points' Y pixel is 48 and the arrow heads 6 pixels long.
class CategoryPaintTest : public CategorySeriesTest {
 protected:
  CategoryPaintTest() {
    x_axis_.SetKind(akValue);
    series_.SetUseXAxis(&x_axis_);
    series_.SetPlotRect({0, 0, 101, 101});
    series_.SetUseCanvas(&canvas_);
    series_.Band = {0, 40, 100, 56};
  }
  ~CategoryPaintTest() override { series_.SetUseXAxis(nullptr); }
  void AddValues(std::initializer_list<std::pair<double, int32_t>> points) {
    int32_t ordinal = 0;
    for (auto [x, value] : points)
      series_.AddPoint(std::make_unique<TCategoryPoint>(x, value, ++ordinal));
  }
  std::vector<std::pair<Point, Point>> Lines() const {
    std::vector<std::pair<Point, Point>> lines;
    for (const CanvasCall& call : platform::CallsOf(canvas_.calls(), CanvasOp::kLineTo))
      lines.emplace_back(call.points[0], call.points[1]);
    return lines;
  }
  std::vector<platform::Rect> Dots() const {
    std::vector<platform::Rect> dots;
    for (const CanvasCall& call : platform::CallsOf(canvas_.calls(), CanvasOp::kEllipse))
      dots.push_back(call.rect);
    return dots;
  }
  // The texts drawn and where.
  std::vector<std::pair<std::string, Point>> Texts() const {
    std::vector<std::pair<std::string, Point>> texts;
    for (const CanvasCall& call : platform::CallsOf(canvas_.calls(), CanvasOp::kTextOut))
      texts.emplace_back(call.text, call.points[0]);
    return texts;
  }
  static platform::Rect Dot(int32_t x, int32_t y) { return {x - 1, y - 1, x + 1, y + 1}; }

  platform::RecordingCanvas canvas_;
  TAxis x_axis_{nullptr, {0, 100}, {100, 100}};
};

using Line = std::pair<Point, Point>;

TEST_F(CategoryPaintTest, LastingValuesAreJoinedByArrows) {
  AddValues({{1, 1}, {3, 2}, {6, 2}});
  series_.Paint();
  // Arial 10 at 96 pixels per inch is 13 pixels high, so "A" is 6 x 13 and the
  // texts are (6 + 13) div 2 = 9 pixels high.
  const std::vector<Line> expected = {
      // 10 -> 30: to the middle, on to the arrow's tip, the two arms.
      {{10, 48}, {20, 48}},
      {{20, 48}, {29, 48}},
      {{29, 48}, {24, 54}},
      {{29, 48}, {24, 42}},
      // 30 -> 60, starting 6 div 3 pixels past the previous arrow's end.
      {{32, 48}, {46, 48}},
      {{46, 48}, {59, 48}},
      {{59, 48}, {54, 54}},
      {{59, 48}, {54, 42}},
      // The dashed tail.
      {{60, 48}, {62, 48}},
      {{65, 48}, {67, 48}},
      {{70, 48}, {72, 48}},
      {{75, 48}, {77, 48}},
      {{80, 48}, {82, 48}}};
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(Dots(), (std::vector<platform::Rect>{Dot(20, 48), Dot(46, 48), Dot(75, 48)}));
  EXPECT_EQ(Texts(), (std::vector<std::pair<std::string, Point>>{
                         {"one", {20, 48}}, {"two", {46, 48}}, {"two", {75, 48}}}));
  for (const CanvasCall& call : canvas_.calls()) {
    if (call.op == CanvasOp::kLineTo || call.op == CanvasOp::kEllipse) {
      EXPECT_EQ(call.pen.color, 0x0000FFu);
    }
    if (call.op == CanvasOp::kLineTo) {
      EXPECT_EQ(call.pen.width, 1);
    }
    if (call.op == CanvasOp::kTextOut) {
      EXPECT_EQ(call.font.height, 9);
      EXPECT_EQ(call.font.name, "Arial");
      EXPECT_EQ(call.font.color, 0x0000FFu);
    }
  }
  const auto extents = platform::CallsOf(canvas_.calls(), CanvasOp::kTextExtent);
  ASSERT_FALSE(extents.empty());
  EXPECT_EQ(extents[0].text, "A");
  EXPECT_EQ(extents[0].font.height, -13);
}

TEST_F(CategoryPaintTest, MomentaryValuesAreSeparateMarks) {
  category_.Momentary = true;
  AddValues({{1, 1}, {3, 2}, {6, 2}});
  series_.Paint();
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(Dots(), (std::vector<platform::Rect>{Dot(10, 48), Dot(30, 48), Dot(60, 48)}));
  EXPECT_EQ(Texts(), (std::vector<std::pair<std::string, Point>>{
                         {"one", {10, 48}}, {"two", {30, 48}}, {"two", {60, 48}}}));
}

TEST_F(CategoryPaintTest, ASetOfValuesSideBySide) {
  category_.Momentary = true;
  category_.Composite = true;
  auto set = std::make_unique<TCompositeCategoryPoint>(5.0, 0.0, 1);
  set->Values.Include(0);
  set->Values.Include(3);
  series_.AddPoint(std::move(set));
  series_.Paint();
  EXPECT_EQ(Dots(), (std::vector<platform::Rect>{Dot(50, 48)}));
  EXPECT_EQ(Texts(),
            (std::vector<std::pair<std::string, Point>>{{"zero", {50, 48}}, {"three", {59, 48}}}));
}

TEST_F(CategoryPaintTest, WithoutCategoryOrVisualizerOnlyDots) {
  AddValues({{1, 1}, {3, 2}});
  category_.Visualizer = nullptr;
  series_.Paint();
  EXPECT_EQ(Dots(), (std::vector<platform::Rect>{Dot(20, 48), Dot(45, 48)}));
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Lines().size(), 4u + 5u);

  canvas_.Clear();
  series_.SetCategory(nullptr);
  series_.Paint();
  EXPECT_EQ(Dots(), (std::vector<platform::Rect>{Dot(20, 48), Dot(45, 48)}));
  EXPECT_TRUE(Texts().empty());
}

TEST_F(CategoryPaintTest, AValueWithoutTextEndsThePaintingQuietly) {
  AddValues({{1, 7}, {3, 1}});
  series_.Paint();  // the visualizer has no text 7
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Dots().size(), 1u);
}

TEST_F(CategoryPaintTest, NothingWithoutAxisOrPoints) {
  series_.Paint();
  EXPECT_TRUE(canvas_.calls().empty());
  AddValues({{1, 1}});
  series_.SetUseXAxis(nullptr);
  series_.Paint();
  EXPECT_TRUE(canvas_.calls().empty());
  // One point alone: its mark after the tail.
  series_.SetUseXAxis(&x_axis_);
  series_.Paint();
  EXPECT_EQ(Lines().size(), 5u);
  EXPECT_EQ(Dots(), (std::vector<platform::Rect>{Dot(25, 48)}));
}

TEST_F(CategoryPaintTest, OnlyTheVisiblePointsAndTheirNeighbours) {
  // Points every unit from -50 to 60: the axis shows 0 to 10, the painting takes
  // the points from -1 to 11.
  for (int x = -50; x <= 60; ++x)
    series_.AddPoint(std::make_unique<TCategoryPoint>(x, 1, x + 51));
  category_.Momentary = true;
  series_.Paint();
  const auto dots = Dots();
  ASSERT_EQ(dots.size(), 13u);
  EXPECT_EQ(dots.front(), Dot(-10, 48));
  EXPECT_EQ(dots.back(), Dot(110, 48));
}

// --- The category pool --------------------------------------------------------

TEST_F(CareSeriesTest, ANewPoolHoldsTheDefaultVisualizer) {
  TCategoryPool pool(nullptr);
  EXPECT_TRUE(pool.Categories().empty());
  EXPECT_TRUE(pool.Options().empty());
  EXPECT_TRUE(pool.Events().empty());
  ASSERT_EQ(pool.Visualizers().size(), 1u);
  EXPECT_EQ(pool.Visualizers()[0]->ClassName(), "TDefaultCategoryVisualizer");
  EXPECT_EQ(pool.About(), "Project: Vorta (Wardvorta, Benchvorta)  Version: 1.1.0.44");
  pool.SetAbout("changed");
  EXPECT_EQ(pool.About(), "Project: Vorta (Wardvorta, Benchvorta)  Version: 1.1.0.44");
  // The pool frees what is placed in it.
  auto set = EventsCaptioned({"a"});
  auto category = std::make_unique<TCategory>(set.get());
  pool.Events().push_back(std::move(set));
  pool.Categories().push_back(std::move(category));
}

// --- A file of every prototype class --------------------------------------------

TEST_F(CareSeriesTest, AFileOfEveryPrototypeClassReadBackWhole) {
  // The objects, one of each class that has a prototype; the treatment target
  // writes no record, and the plain point is written inside its series.
  TUniquePatientInformation patient;
  patient.Registered = true;
  patient.RegisteredNo = 3;
  patient.PatientName = "Berg";
  TUniqueParameterInformation parameter;
  parameter.SetParameterName("HR");
  TSerie serie(nullptr);
  serie.SetCaption("Heart rate");
  serie.AddPoint(std::make_unique<TXYPoint>(45000.5, 80, 1));
  serie.AddPoint(std::make_unique<TUnderDetectionLimitPoint>(45000.6, 1));
  TSerie quick_serie(nullptr);
  quick_serie.SetCaption("Quick");
  quick_serie.AddPoint(std::make_unique<TXYPoint>(1, 2, 3));
  TSerieObjectQuickSave quick;
  quick.SetSerie(&quick_serie);

  auto events = EventsCaptioned({"Zero"});
  auto value_event = std::make_unique<TValueCareEvent>();
  value_event->Name = "value";
  events->Add(std::move(value_event));
  auto custom_event = std::make_unique<TCustomValueCareEvent>();
  custom_event->Caption = "custom";
  events->Add(std::move(custom_event));
  auto text_event = std::make_unique<TTextEvent>();
  text_event->Caption = "text";
  events->Add(std::move(text_event));
  TSymbolCategoryVisualizer symbol;
  TTextCategoryVisualizer texts;
  texts.Texts = {"a", "b"};
  // The value and text events come back as simple ones: the categories get sets
  // that read back as they are.
  auto simple_events = EventsCaptioned({"Zero", "One"});
  TCategory category(simple_events.get());
  category.Name = "Category";
  category.Visualizer = &symbol;
  TValueCategory value_category(simple_events.get());
  value_category.Name = "Value category";
  value_category.Momentary = true;
  value_category.Visualizer = &texts;
  TOptionItem item;
  item.Name = "item";
  item.Category = &category;
  TCompositeOption composite;
  composite.Name = "composite";
  auto inner_item = std::make_unique<TOptionItem>();
  inner_item->Name = "inner";
  composite.Add(std::move(inner_item));
  TCategorySeries category_series(nullptr);
  category_series.SetCaption("Care");
  category_series.SetCategory(&value_category);
  category_series.AddPoint(std::make_unique<TCategoryPoint>(1, 1, 1));
  auto set_point = std::make_unique<TCompositeCategoryPoint>(2, 0, 2);
  set_point->Values.Include(1);
  category_series.AddPoint(std::move(set_point));
  auto text_point = std::make_unique<TCustomCategoryPoint>(3, 0, 3);
  text_point->SetText("note");
  category_series.AddPoint(std::move(text_point));
  TCareEventFile care_file;
  care_file.PatientInfo().PatientName = "Berg";
  TCareEventCategory care_category;
  TManualEntries manual_entries;
  TManualEntry manual_entry;
  manual_entry.ParameterInfo().SetParameterName("Entry");
  // Axes, which the parser does not create, go along.
  TAxis x_axis(nullptr, {0, 100}, {100, 100});
  x_axis.SetMinimum(45000);
  TAxis y_axis(nullptr, {0, 100}, {0, 0});
  y_axis.SetKind(akValue);

  std::vector<IPersistIT*> objects = {
      &patient,      &parameter,       &quick,     &serie,         events.get(),
      &category,     &value_category,  &item,      &composite,     &symbol,
      &texts,        &category_series, &care_file, &care_category, &manual_entries,
      &manual_entry, &x_axis,          &y_axis};
  for (bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    platform::MemoryStream file;
    model_test::WriteFile(file, checksums, [&](TVistaWriter& w) {
      for (IPersistIT* object : objects)
        object->WriteTo(w);
    });
    const auto results = Parsed(file);
    ASSERT_EQ(results.size(), objects.size() - 2);
    for (size_t i = 0; i + 2 < objects.size(); ++i) {
      SCOPED_TRACE(i);
      IPersistIT* read = AsPersistIT(results[i].get());
      ASSERT_NE(read, nullptr);
      EXPECT_EQ(read->RecordType(), objects[i]->RecordType());
      // Written again, each is what it was.
      EXPECT_EQ(Written(*read), Written(*objects[i]));
    }
    EXPECT_TRUE(dynamic_cast<TUniquePatientInformation&>(*results[0]).IsSame(patient));
    auto& read_events = dynamic_cast<TCareEventSet&>(*results[4]);
    ASSERT_EQ(read_events.Count(), 4);
    EXPECT_EQ(read_events.Event(1).ClassName(), "TSimpleCareEvent");  // values are not stored
    EXPECT_EQ(read_events.Event(2).ClassName(), "TCustomValueCareEvent");
    EXPECT_TRUE(dynamic_cast<TCategory&>(*results[5]).Equals(category));
    EXPECT_TRUE(dynamic_cast<TValueCategory&>(*results[6]).Equals(value_category));
    auto& read_series = dynamic_cast<TCategorySeries&>(*results[11]);
    ASSERT_NE(read_series.Category(), nullptr);
    EXPECT_TRUE(read_series.Category()->Equals(value_category));
    EXPECT_EQ(read_series.DataSet().PointCount(), 3);
    EXPECT_EQ(dynamic_cast<TBrowseItem&>(*results[12]).GetPatientName(), "Berg");

    // The axes through their own fields, as the loader reads them.
    TAxis read_x(nullptr, {0, 100}, {100, 100});
    EXPECT_TRUE(model_test::ReadInto(read_x, file, 5));
    EXPECT_EQ(read_x.GetMinimum(), 45000);
    TAxis read_y(nullptr, {0, 100}, {0, 0});
    EXPECT_TRUE(model_test::ReadInto(read_y, file, 6));
    EXPECT_EQ(read_y.Kind(), akValue);
    EXPECT_EQ(Written(read_y), Written(y_axis));
  }
}

}  // namespace
