#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_C.h"
#include "datamodel/Series_CDataSet.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/date_time.h"
#include "platform/exception.h"

namespace {

using model_test::Bytes;

// A point that counts how many of its kind are alive.
class CountedPoint : public TXYPoint {
 public:
  CountedPoint(double x, double y) : TXYPoint(x, y) { ++alive; }
  ~CountedPoint() override { --alive; }
  static int alive;
};
int CountedPoint::alive = 0;

std::vector<double> XsOf(const TQORDataSet& data) {
  std::vector<double> xs;
  for (const auto& p : data.Points())
    xs.push_back(p->XValue);
  return xs;
}

// Records the notifications of a data set.
struct Listener {
  explicit Listener(TQORDataSet& data)
      : data(data), key(data.Subscribe([this](TQORDataSet&, int32_t code, TObject*) {
          codes.push_back(code);
        })) {}
  ~Listener() { data.Unsubscribe(key); }
  TQORDataSet& data;
  int32_t key;
  std::vector<int32_t> codes;
};

TEST(DataSetTest, SharedDataSetsAreCounted) {
  std::vector<int32_t> codes;
  TQORDataSet* raw;
  {
    TDataSetRef data = MakeDataSet();
    raw = data.get();
    data->Subscribe([&codes](TQORDataSet&, int32_t code, TObject*) { codes.push_back(code); });
    int released = 0;
    data->OnRelease = [&released](TQORDataSet&) { ++released; };
    EXPECT_EQ(data->RefCount(), 1);
    {
      TSerie first(data.get());
      TSerie second(nullptr);
      second.Assign(first);
      EXPECT_EQ(&second.DataSet(), raw);
      EXPECT_EQ(data->RefCount(), 3);
    }
    EXPECT_EQ(data->RefCount(), 1);
    EXPECT_EQ(released, 2);
    // Only the percent display that the assignment copied.
    EXPECT_EQ(codes, std::vector<int32_t>{data_set_notice::kPercentReferenceChanged});
  }
  // The last release told the subscribers before the data set went.
  EXPECT_EQ(codes, (std::vector<int32_t>{data_set_notice::kPercentReferenceChanged,
                                         data_set_notice::kReleased}));
  (void)raw;
}

TEST(DataSetTest, ASeriesWithoutDataSetMakesItsOwn) {
  std::vector<int32_t> codes;
  {
    TSerie serie(nullptr);
    EXPECT_EQ(serie.DataSet().RefCount(), 1);
    serie.DataSet().Subscribe(
        [&codes](TQORDataSet&, int32_t code, TObject*) { codes.push_back(code); });
    // Sharing the same data set again neither frees nor leaks it.
    serie.SetDataSet(&serie.DataSet());
    EXPECT_EQ(serie.DataSet().RefCount(), 1);
  }
  EXPECT_EQ(codes, std::vector<int32_t>{data_set_notice::kReleased});
}

TEST(DataSetTest, PointsInKeyOrderStaySortedWithExactExtents) {
  TDataSetRef data = MakeDataSet();
  Listener listener(*data);
  data->AddPoint(std::make_unique<TXYPoint>(10, 5));
  // The first point sets the extents, not widens the defaults.
  EXPECT_EQ(data->MinY(), 5);
  EXPECT_EQ(data->MaxY(), 5);
  EXPECT_EQ(data->MinX(), 10);
  data->AddPoint(std::make_unique<TXYPoint>(11, 2));
  data->AddPoint(std::make_unique<TXYPoint>(11, 9));
  EXPECT_TRUE(data->Sorted());
  EXPECT_EQ(data->MinX(), 10);
  EXPECT_EQ(data->MaxX(), 11);
  EXPECT_EQ(data->MinY(), 2);
  EXPECT_EQ(data->MaxY(), 9);
  EXPECT_EQ(data->MinOrdinal(), 10);
  EXPECT_EQ(data->MaxOrdinal(), 11);
  EXPECT_EQ(listener.codes,
            (std::vector<int32_t>{data_set_notice::kPointAdded, data_set_notice::kPointAdded,
                                  data_set_notice::kPointAdded}));
  EXPECT_TRUE(data->Modified());
}

TEST(DataSetTest, PointsFiledLateAreSortedBeforeAnySearch) {
  TSerie serie(nullptr);
  TQORDataSet& data = serie.DataSet();
  for (double x : {1.0, 2.0, 4.0, 5.0})
    data.AddPoint(std::make_unique<TXYPoint>(x, x * 10));
  // A result filed late with an earlier sample time, and one with an equal key.
  TXYPoint* late = data.AddPoint(std::make_unique<TXYPoint>(3.0, 30));
  TXYPoint* equal = data.AddPoint(std::make_unique<TXYPoint>(2.0, 21));
  EXPECT_FALSE(data.Sorted());
  EXPECT_EQ(data.MinX(), 1);
  EXPECT_EQ(data.MaxX(), 5);

  TAxis axis(nullptr, {0, 0}, {100, 0});
  axis.SetKind(akValue);
  serie.SetUseXAxis(&axis);
  int32_t index;
  EXPECT_EQ(serie.NearestPoint(3.1, index), late);
  EXPECT_EQ(index, 3);
  EXPECT_TRUE(data.Sorted());
  EXPECT_EQ(XsOf(data), (std::vector<double>{1, 2, 2, 3, 4, 5}));
  // Equal keys keep the order they came in.
  EXPECT_EQ(data.GetPoint(2), equal);
  serie.SetUseXAxis(nullptr);
}

TEST(DataSetTest, AnUnsortedDataSetKeepsItsInsertionOrder) {
  TDataSetRef data = MakeDataSet<TYYDataSet>();
  EXPECT_TRUE(data->Unsorted());
  EXPECT_FALSE(data->Sorted());
  EXPECT_EQ(data->Options1(), 2);
  for (double x : {3.0, 1.0, 2.0})
    data->AddPoint(std::make_unique<TXYPoint>(x, 0));
  data->EnsureSorted();
  data->Sort();
  EXPECT_EQ(XsOf(*data), (std::vector<double>{3, 1, 2}));
  EXPECT_EQ(data->MinX(), 1);
  EXPECT_EQ(data->MaxX(), 3);
}

TEST(DataSetTest, TheTimeWindowTrimsWhatAddingMakesOld) {
  TDataSetRef data = MakeDataSet();
  data->SetTimeWindowOn(true);
  const double now = platform::Now();
  CountedPoint::alive = 0;
  data->AddPoint(std::make_unique<CountedPoint>(now - 10, 1));
  EXPECT_EQ(data->PointCount(), 0);  // older than the window at once
  EXPECT_EQ(CountedPoint::alive, 0);
  data->SetTimeWindowOn(false);
  data->AddPoint(std::make_unique<CountedPoint>(now - 9, 1));
  data->AddPoint(std::make_unique<CountedPoint>(now - 8, 2));
  data->AddPoint(std::make_unique<CountedPoint>(now - 1, 3));
  data->SetTimeWindowOn(true);
  Listener listener(*data);
  TXYPoint* added = data->AddPoint(std::make_unique<CountedPoint>(now, 4));
  EXPECT_NE(added, nullptr);
  EXPECT_EQ(data->PointCount(), 2);
  EXPECT_EQ(CountedPoint::alive, 2);
  EXPECT_EQ(listener.codes,
            (std::vector<int32_t>{data_set_notice::kPointsRemoved, data_set_notice::kPointAdded}));
}

TEST(DataSetTest, TrimmingByTheLastPoint) {
  struct Case {
    std::vector<double> xs;
    std::vector<double> left;
  };
  const Case cases[] = {
      {{0, 3, 10}, {10}},        // first before the cut-off (3), the next at it
      {{3, 5, 10}, {3, 5, 10}},  // first exactly at the cut-off: nothing
      {{0, 4, 10}, {4, 10}},     // the next after it stays
      {{}, {}},
  };
  for (const Case& c : cases) {
    TDataSetRef data = MakeDataSet();
    for (double x : c.xs)
      data->AddPoint(std::make_unique<TXYPoint>(x, 0));
    data->TrimOlderThan(false, true);
    EXPECT_EQ(XsOf(*data), c.left);
  }
}

TEST(DataSetTest, TrimmingSpecialAndRawPointsFreesOnlyWhatTheDataSetOwns) {
  CountedPoint::alive = 0;
  TDataSetRef data = MakeDataSet();
  data->SetWindowLength(2);
  data->AddPoint(std::make_unique<TXYPoint>(3, 0));
  data->AddPoint(std::make_unique<TXYPoint>(5, 0));
  // Points: the cut-off is 3, which the first is not below; special points next.
  data->AddSpecialPoint(std::make_unique<CountedPoint>(1, 0));
  data->AddSpecialPoint(std::make_unique<CountedPoint>(4, 0));
  data->TrimOlderThan(false, true);
  EXPECT_EQ(data->SpecialPointCount(), 1);
  EXPECT_EQ(CountedPoint::alive, 1);

  // Owned raw points go before special points and are freed too.
  data->AddRawPoint(std::make_unique<CountedPoint>(0, 0));
  data->TrimOlderThan(false, true);
  EXPECT_TRUE(data->RawPoints().empty());
  EXPECT_EQ(data->SpecialPointCount(), 1);
  EXPECT_EQ(CountedPoint::alive, 1);

  // Shared raw points are only taken out; their owner frees them.
  CountedPoint shared(0, 0);
  data->ShareRawPoints({&shared});
  data->TrimOlderThan(false, true);
  EXPECT_TRUE(data->RawPoints().empty());
  EXPECT_EQ(CountedPoint::alive, 2);

  // Without freeing, the caller gets what was taken out.
  data->AddSpecialPoint(std::make_unique<CountedPoint>(2, 0));
  TQORDataSet::PointList taken = data->TrimOlderThan(false, false);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0]->XValue, 2);
}

TEST(DataSetTest, NotANumberIsLeftOutOfTheExtents) {
  // The same points in every order, a NaN first among them, give the extents of
  // the numbers; NaN values alone give those of an empty data set.
  const double nan = std::nan("");
  struct Case {
    const char* what;
    std::vector<std::pair<double, double>> points;
    double min_x, max_x, min_y, max_y;
  };
  const std::vector<Case> cases = {
      {"NaN Y first", {{1, nan}, {2, 5}, {3, 3}}, 1, 3, 3, 5},
      {"NaN Y last", {{2, 5}, {3, 3}, {1, nan}}, 1, 3, 3, 5},
      {"NaN X first", {{nan, 4}, {2, 5}, {3, 3}}, 2, 3, 3, 5},
      {"NaN X last", {{2, 5}, {3, 3}, {nan, 4}}, 2, 3, 3, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TDataSetRef data = MakeDataSet();
    for (const auto& [x, y] : c.points)
      data->AddPoint(std::make_unique<TXYPoint>(x, y));
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(data->MinX(), c.min_x);
      EXPECT_EQ(data->MaxX(), c.max_x);
      EXPECT_EQ(data->MinY(), c.min_y);
      EXPECT_EQ(data->MaxY(), c.max_y);
      data->UpdateExtents(nullptr, nullptr);  // and recomputed from all points
    }
  }
  TDataSetRef only_nan = MakeDataSet();
  only_nan->AddPoint(std::make_unique<TXYPoint>(nan, nan));
  only_nan->AddPoint(std::make_unique<TXYPoint>(nan, nan));
  EXPECT_EQ(only_nan->MinY(), 0);
  EXPECT_EQ(only_nan->MaxY(), 1);
  EXPECT_DOUBLE_EQ(only_nan->MaxX() - only_nan->MinX(), 1.0);
  EXPECT_FALSE(std::isnan(only_nan->MinX()));
  // The first number then sets the extents rather than widening the empty ones.
  only_nan->AddPoint(std::make_unique<TXYPoint>(50000, 7));
  EXPECT_EQ(only_nan->MinY(), 7);
  EXPECT_EQ(only_nan->MaxY(), 7);
  EXPECT_EQ(only_nan->MinX(), 50000);
}

TEST(DataSetTest, ExtentsOfAnEmptyDataSetAndOfRemovals) {
  TDataSetRef data = MakeDataSet();
  data->UpdateExtents(nullptr, nullptr);
  EXPECT_EQ(data->MinY(), 0);
  EXPECT_EQ(data->MaxY(), 1);
  EXPECT_EQ(data->MinOrdinal(), 1);
  EXPECT_EQ(data->MaxOrdinal(), 10);
  EXPECT_DOUBLE_EQ(data->MaxX() - data->MinX(), 1.0);

  // A recompute numbers the points 1..n unless told to keep them.
  for (double x : {7.0, 8.0, 9.0})
    data->AddPoint(std::make_unique<TXYPoint>(x, x));
  data->UpdateExtents(nullptr, nullptr);
  EXPECT_EQ(data->GetPoint(2)->OrdinalNo, 3);
  EXPECT_EQ(data->MinOrdinal(), 1);
  EXPECT_EQ(data->MaxOrdinal(), 3);
  data->SetKeepOrdinals(true);
  data->GetPoint(0)->OrdinalNo = 40;
  data->UpdateExtents(nullptr, nullptr);
  EXPECT_EQ(data->MaxOrdinal(), 40);
}

TEST(DataSetTest, APercentReferenceIsNeverZeroNorAnythingButAFiniteNumber) {
  for (double reference : {0.0, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    SCOPED_TRACE(reference);
    TDataSetRef data = MakeDataSet();
    data->SetPercentReference(50);
    data->SetPercentReference(reference);
    EXPECT_EQ(data->PercentReference(), 100.0);
  }
}

TEST(DataSetTest, SettersAndTheirNotifications) {
  TDataSetRef data = MakeDataSet();
  Listener listener(*data);
  data->SetName("pH");
  data->SetName("pH");
  data->SetXOffset(1);
  data->SetPercentReference(50);
  data->SetPercentReference(50);
  data->SetPercentReference(0);
  EXPECT_EQ(data->PercentReference(), 100.0);
  data->Sort();
  data->Clear();
  EXPECT_EQ(
      listener.codes,
      (std::vector<int32_t>{data_set_notice::kNameChanged, data_set_notice::kOffsetChanged,
                            data_set_notice::kPercentReferenceChanged,
                            data_set_notice::kPercentReferenceChanged, data_set_notice::kCleared}));
  data->SetOptions1(4);
  EXPECT_TRUE(data->KeepOrdinals());

  data->SetYUnit("  kPa ");
  EXPECT_EQ(data->YUnitRaw(), "kPa");
  EXPECT_EQ(data->GetYUnit(), "kPa");
  data->SetYUnit("mmHg");
  EXPECT_EQ(data->YUnitRaw(), "mmHg");
  EXPECT_EQ(data->GetYUnit(), "kPa");  // the first unit set stays in force
}

TEST(DataSetTest, HighlightedPointsAreForgottenWhenOneOfThemGoes) {
  TDataSetRef data = MakeDataSet();
  TXYPoint* first = data->AddPoint(std::make_unique<TXYPoint>(0, 1));
  data->AddPoint(std::make_unique<TXYPoint>(5, 1));
  data->Highlighted().push_back(first);
  data->SetWindowLength(1);
  data->TrimOlderThan(false, true);
  EXPECT_TRUE(data->Highlighted().empty());
}

TEST(DataSetTest, TitlesAndUnitsFromSourcesAndSourceItem) {
  TDataSetRef a = MakeDataSet();
  TDataSetRef b = MakeDataSet();
  TDataSetRef c = MakeDataSet();
  auto named = [](const std::string& name) {
    auto item = std::make_unique<TVariable>();
    item->ParameterInfo().SetParameterName(name);
    return item;
  };
  a->SetSourceItem(named(" pH "));
  b->SetSourceItem(named("BE"));
  c->SetSourceItem(named("pH"));
  b->SetYUnit("mmol/l");
  TDataSetRef calculated = MakeDataSet();
  calculated->Sources() = {a.get(), b.get(), c.get()};
  EXPECT_EQ(calculated->GetYTitle(), "(BE, pH)");
  EXPECT_EQ(calculated->GetXUnit(), "");
  calculated->Sources() = {a.get(), b.get()};
  calculated->SetKind(9);
  EXPECT_EQ(calculated->GetXUnit(), "mmol/l");
  EXPECT_EQ(MakeDataSet()->GetYTitle(), "");

  TDataSetRef pair = MakeDataSet<TYYDataSet>();
  pair->Sources() = {a.get(), b.get()};
  EXPECT_EQ(pair->GetYTitle(), "pH");
  EXPECT_EQ(pair->GetXTitle(), "BE");
}

TEST(DataSetTest, AverageAndArea) {
  TDataSetRef data = MakeDataSet();
  EXPECT_EQ(data->Average(), 0);
  data->AddPoint(std::make_unique<TXYPoint>(0, 10));
  data->AddPoint(std::make_unique<TXYPoint>(1, 20));
  EXPECT_EQ(data->Average(), 15);
  EXPECT_EQ(data->GetPoint(1)->OrdinalNo, 2);
  EXPECT_EQ(data->AreaUnderCurve(), 360);
}

TEST(DataSetTest, AssignmentClonesThePoints) {
  TDataSetRef source = MakeDataSet();
  source->SetName("pCO2");
  source->SetOptions1(3);
  source->SetSyncTimeSet(true);
  source->SetSyncTime(2.5);
  source->SetSyncOrdinal(7);
  source->AddPoint(std::make_unique<TXYPoint>(1, 2));
  source->AddPoint(std::make_unique<TStdDevPoint>(2, 3));
  source->AddSpecialPoint(std::make_unique<TInfinitePoint>(1.5, 0));
  source->AddControlPoint(std::make_unique<TRecordDelimiterPoint>(1.2, 0));
  source->SetParameterInfo(std::make_unique<TUniqueParameterInformation>());
  source->ParameterInfo()->SetParameterName("pCO2");
  TDataSetRef target = MakeDataSet();
  target->AddPoint(std::make_unique<TXYPoint>(9, 9));
  target->Assign(*source);
  EXPECT_EQ(target->Name(), "pCO2");
  EXPECT_EQ(target->Options1(), 3);
  EXPECT_EQ(target->SyncTime(), 2.5);
  EXPECT_EQ(target->SyncOrdinal(), 0);  // not copied
  ASSERT_EQ(target->PointCount(), 2);
  EXPECT_NE(target->GetPoint(0), source->GetPoint(0));
  EXPECT_EQ(target->GetPoint(1)->ClassName(), "TStdDevPoint");
  EXPECT_EQ(target->SpecialPointCount(), 1);
  EXPECT_EQ(target->ControlPoints().size(), 1u);
  ASSERT_NE(target->ParameterInfo(), nullptr);
  EXPECT_EQ(target->ParameterInfo()->ParameterName(), "pCO2");

  TSerie serie(nullptr);
  EXPECT_THROW(serie.Assign(*source), EConvertError);
}

// The bytes WriteFields writes for a data set with one plain point.
Bytes OnePointFields(const std::string& name, double x, double y, int32_t ordinal) {
  Bytes bytes;
  bytes.I32(11).Str(name);
  const uint8_t bits[] = {1, 0, 1, 0, 0, 1, 0, 0, 0};  // Options1 5, Options2 2, KeepOrdinals
  for (int i = 0; i < 9; ++i)
    bytes.I32(71 + i).I32(1).U8(bits[i]);
  bytes.I32(17).I32(8).F64(0).I32(18).I32(8).F64(0);
  bytes.I32(14).I32(24).I32(20).F64(x).F64(y).I32(ordinal);
  return bytes;
}

TEST(DataSetTest, FieldsAsWrittenByHand) {
  TDataSetRef data = MakeDataSet();
  data->SetName("pH");
  data->AddPoint(std::make_unique<TXYPoint>(45000.5, 7.4, 3));
  // A parameter identity of its own is not written without a source item.
  data->SetParameterInfo(std::make_unique<TUniqueParameterInformation>());
  data->ParameterInfo()->SetParameterName("pH");
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { data->WriteFields(w); }),
            OnePointFields("pH", 45000.5, 7.4, 3).vec());

  // One point of another class makes every point a record of its own.
  data->AddPoint(std::make_unique<TInfinitePoint>(45001, 0));
  const std::vector<uint8_t> mixed =
      model_test::Written([&](TVistaWriter& w) { data->WriteFields(w); });
  Bytes expected = OnePointFields("pH", 0, 0, 0);
  expected.vec().resize(expected.size() - 32);  // without the block
  expected.Append(qor_test::PlainRecord(22, Bytes().F64(45000.5).F64(7.4).I32(3)));
  expected.Append(qor_test::PlainRecord(25, Bytes().F64(45001).I32(45001)));
  EXPECT_EQ(mixed, expected.vec());
}

TEST(DataSetTest, ASourceItemAddsItsIdentityAndUnits) {
  TDataSetRef data = MakeDataSet();
  auto item = std::make_unique<TVariable>();
  item->ParameterInfo().SetParameterID("P1");
  item->ParameterInfo().SetParameterName("pO2");
  item->ParameterInfo().SetMeasurementPlace("art");
  data->SetSourceItem(std::move(item));
  data->SetXUnit("h");
  data->SetYUnit("kPa");
  data->SetComment("c");
  data->SetSyncTimeSet(true);
  data->SetSyncTime(1.5);
  data->SetSyncOrdinal(2);
  const std::vector<uint8_t> bytes =
      model_test::Written([&](TVistaWriter& w) { data->WriteFields(w); });
  Bytes expected;
  expected.I32(2037).Str("c").I32(11).Str("");
  const uint8_t bits[] = {1, 0, 1, 0, 0, 1, 0, 0, 0};
  for (int i = 0; i < 9; ++i)
    expected.I32(71 + i).I32(1).U8(bits[i]);
  expected.I32(17).I32(8).F64(0).I32(18).I32(8).F64(0);
  expected.I32(36).I32(8).F64(1.5).I32(66).I32(4).I32(2);
  expected.I32(64).Str("P1").I32(212).Str("pO2").I32(214).Str("").I32(213).Str("art");
  expected.I32(39).Str("h").I32(40).Str("kPa");
  EXPECT_EQ(bytes, expected.vec());
}

// Reads a series record 4 holding Fields into a new series.
std::unique_ptr<TSerie> ReadSerie(const Bytes& fields) {
  auto serie = std::make_unique<TSerie>(nullptr);
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(qor_test::PlainRecord(4, fields)));
  model_test::ReadInto(*serie, file, 4);
  return serie;
}

TEST(DataSetTest, OptionsReadBitByBitTakeTheirFinalValue) {
  struct Case {
    uint8_t bits[4];
    uint8_t options;
    bool keep_ordinals;
  };
  const Case cases[] = {
      {{0, 1, 1, 0}, 6, false},  // passes through 4 on the way to 6
      {{0, 0, 1, 0}, 4, true},   // a final 4 sets it
      {{1, 0, 1, 0}, 5, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.options));
    Bytes fields;
    for (int i = 0; i < 4; ++i)
      fields.I32(71 + i).I32(1).U8(c.bits[i]);
    std::unique_ptr<TSerie> serie = ReadSerie(fields);
    EXPECT_EQ(serie->DataSet().Options1(), c.options);
    EXPECT_EQ(serie->DataSet().KeepOrdinals(), c.keep_ordinals);
  }
  // Field 79 has the last word.
  Bytes fields;
  for (int i = 0; i < 4; ++i)
    fields.I32(71 + i).I32(1).U8(i == 2 ? 1 : 0);
  fields.I32(79).I32(1).U8(0);
  EXPECT_FALSE(ReadSerie(fields)->DataSet().KeepOrdinals());
}

TEST(DataSetTest, FieldsReadBack) {
  Bytes fields;
  fields.I32(17).I32(8).F64(0.5).I32(18).I32(8).F64(-1);
  fields.I32(36).I32(8).F64(3.5).I32(66).I32(4).I32(9);
  fields.I32(39).Str(" h ").I32(40).Str("kPa").I32(2037).Str("note");
  fields.I32(212).Str("dropped without an identity");
  fields.I32(75).I32(1).U8(1).I32(76).I32(1).U8(0);
  std::unique_ptr<TSerie> serie = ReadSerie(fields);
  const TQORDataSet& data = serie->DataSet();
  EXPECT_EQ(data.XOffset(), 0.5);
  EXPECT_EQ(data.YOffset(), -1);
  EXPECT_TRUE(data.SyncTimeSet());
  EXPECT_EQ(data.SyncTime(), 3.5);
  EXPECT_EQ(data.SyncOrdinal(), 9);
  EXPECT_EQ(data.XUnitRaw(), "h");
  EXPECT_EQ(data.GetYUnit(), "kPa");
  EXPECT_EQ(data.Comment(), "note");
  EXPECT_EQ(data.Options2(), 1);
}

TEST(DataSetTest, VideoDataSetFields) {
  TDataSetRef data = MakeDataSet<TVideoDataSet>();
  auto& video = static_cast<TVideoDataSet&>(*data);
  video.VideoInfo = "info";
  video.VideoFiles = {"a.avi", "b.avi"};
  EXPECT_EQ(video.GetYTitle(), "");
  const std::vector<uint8_t> bytes =
      model_test::Written([&](TVistaWriter& w) { data->WriteFields(w); });
  const std::vector<uint8_t> tail =
      Bytes().I32(233).Str("info").I32(231).Str("a.avi").I32(231).Str("b.avi").vec();
  ASSERT_GE(bytes.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - tail.size()));

  TDataSetRef copy = data->CreateEmptyLike();
  copy->Assign(*data);
  EXPECT_EQ(static_cast<TVideoDataSet&>(*copy).VideoFiles, video.VideoFiles);
}

}  // namespace
