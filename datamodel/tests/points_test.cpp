#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassParser.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_C.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/date_time.h"
#include "platform/date_time_format.h"
#include "platform/exception.h"
#include "platform/format_text.h"

namespace {

using model_test::Bytes;
using model_test::Written;

std::vector<uint8_t> RecordOf(TXYPoint& point) {
  return Written([&point](TVistaWriter& writer) { point.WriteTo(writer); });
}

// A group record as the writer makes it: tag, body size, body.
std::vector<uint8_t> Group(int32_t tag, const Bytes& body) {
  return qor_test::PlainRecord(tag, body).vec();
}

TEST(PointsTest, CreateRoundsTheOrdinalHalfToEvenAndClamps) {
  EXPECT_EQ(TXYPoint(2.5, 7).OrdinalNo, 2);
  EXPECT_EQ(TXYPoint(3.5, 7).OrdinalNo, 4);
  EXPECT_EQ(TXYPoint(-2.5, 0).OrdinalNo, -2);
  EXPECT_EQ(TXYPoint(-3.5, 0).OrdinalNo, -4);
  EXPECT_EQ(TXYPoint(45000.49, 0).OrdinalNo, 45000);
  EXPECT_EQ(TXYPoint(2147483636.5, 0).OrdinalNo, 2147483636);
  EXPECT_EQ(TXYPoint(std::numeric_limits<double>::quiet_NaN(), 0).OrdinalNo, 0);
  // A time far outside the int32 range still gives an ordinal, not an overflow.
  EXPECT_EQ(TXYPoint(3.0e10, 0).OrdinalNo, 2147483637);
  EXPECT_EQ(TXYPoint(-3.0e10, 0).OrdinalNo, -2147483637);
  TStdDevPoint point(4, 5);
  EXPECT_EQ(point.SD, 0);
  EXPECT_EQ(point.N, 0);
}

TEST(PointsTest, RecordsAsWrittenByHand) {
  TXYPoint xy(2.5, 7);
  EXPECT_EQ(RecordOf(xy), Group(22, Bytes().F64(2.5).F64(7).I32(2)));
  EXPECT_EQ(RecordOf(xy).size(), 28u);

  TInfinitePoint infinite(3.5, 99);
  EXPECT_EQ(RecordOf(infinite), Group(25, Bytes().F64(3.5).I32(4)));

  TEventPoint event(1.0, 0);
  event.SetText("  ab \t");
  EXPECT_EQ(event.Text(), "ab");
  EXPECT_EQ(RecordOf(event), Group(26, Bytes().F64(1.0).I32(1).I32(9).Str("ab")));

  TKorvetDataPoint korvet(2.0, 6.5);
  korvet.OriginalTimeStamp = 45000.25;
  korvet.SetUserVialNo("V1");
  korvet.SetID("ABCDEFG");
  korvet.AnalyseResult = arOverLinearityInterval;
  EXPECT_EQ(korvet.ID(), "ABCDE");
  EXPECT_EQ(RecordOf(korvet),
            Group(27, Bytes().F64(2).F64(6.5).I32(2).F64(45000.25).Str("V1").Str("ABCDE").I32(2)));

  TMultivaluePoint multi(1, 2);
  multi.Values = {1.5, 2.5};
  EXPECT_EQ(RecordOf(multi), Group(-29, Bytes().F64(1).F64(2).I32(1).I32(2).F64(1.5).F64(2.5)));
  TMultivaluePoint empty(1, 2);
  EXPECT_EQ(RecordOf(empty), Group(-29, Bytes().F64(1).F64(2).I32(1).I32(0)));

  TTarvoDataPoint tarvo(3, 4);
  tarvo.AnalyseResult = arUnderDetectionLimit;
  tarvo.VialID = "A7";
  tarvo.Hidden = true;
  tarvo.AttemptNo = 2;
  EXPECT_EQ(RecordOf(tarvo),
            Group(165, Bytes().F64(3).F64(4).I32(3).I32(1).Str("A7").U8(1).I32(2)));
}

TEST(PointsTest, RecordTypesAndBodyLengths) {
  struct Case {
    std::function<std::unique_ptr<TXYPoint>()> make;
    int32_t record_type;
    int32_t body_size;
  };
  const Case cases[] = {
      {[] { return std::make_unique<TXYPoint>(1, 2); }, 22, 20},
      {[] { return std::make_unique<TSpecialPoint>(1, 2); }, 22, 20},
      {[] { return std::make_unique<TInfinitePoint>(1, 2); }, 25, 12},
      {[] { return std::make_unique<TUnderDetectionLimitPoint>(1, 2); }, 28, 20},
      {[] { return std::make_unique<TControlPoint>(1, 2); }, 22, 20},
      {[] { return std::make_unique<TRecordDelimiterPoint>(1, 2); }, 85, 20},
      {[] { return std::make_unique<TYYPoint>(1, 2); }, 24, 28},
      {[] { return std::make_unique<TStdDevPoint>(1, 2); }, 21, 44},
      {[] { return std::make_unique<TVideoFrame>(1, 2); }, 230, 24},
      {[] { return std::make_unique<TTargetedPoint>(1, 2); }, 22, 20},
      {[] { return std::make_unique<TEventPoint>(1, 2); }, 26, 12 + 12},
      {[] { return std::make_unique<TKorvetDataPoint>(1, 2); }, 27, 20 + 8 + 8 + 8 + 4},
      {[] { return std::make_unique<TMultivaluePoint>(1, 2); }, -29, 24},
      {[] { return std::make_unique<TTarvoDataPoint>(1, 2); }, 165, 20 + 4 + 8 + 1 + 4},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TXYPoint> point = c.make();
    SCOPED_TRACE(std::string(point->ClassName()));
    EXPECT_EQ(point->RecordType(), c.record_type);
    const std::vector<uint8_t> record = RecordOf(*point);
    ASSERT_EQ(record.size(), static_cast<size_t>(8 + c.body_size));
    EXPECT_EQ(qor::LoadLittleEndian<int32_t>(record.data()), c.record_type);
    EXPECT_EQ(qor::LoadLittleEndian<int32_t>(record.data() + 4), c.body_size);
    // Clones keep the class and the values.
    std::unique_ptr<TXYPoint> copy = point->Clone();
    EXPECT_EQ(copy->ClassName(), point->ClassName());
    EXPECT_EQ(RecordOf(*copy), record);
    EXPECT_EQ(point->CreateEmpty(), nullptr);
  }
}

// Reads the file's top-level tags into Point.
void ReadPoint(TXYPoint& point, const std::vector<uint8_t>& body_records) {
  platform::MemoryStream file;
  Bytes body;
  body.vec() = body_records;
  qor_test::Fill(file, model_test::PlainFile(body));
  EXPECT_TRUE(model_test::ReadInto(point, file, 0));
}

TEST(PointsTest, OwnRecordsReadBackAndOthersAreSkipped) {
  struct Case {
    std::function<std::unique_ptr<TXYPoint>(double, double)> make;
  };
  const Case cases[] = {
      {[](double x, double y) { return std::make_unique<TXYPoint>(x, y); }},
      {[](double x, double y) { return std::make_unique<TUnderDetectionLimitPoint>(x, y); }},
      {[](double x, double y) { return std::make_unique<TRecordDelimiterPoint>(x, y); }},
      {[](double x, double y) { return std::make_unique<TMultivaluePoint>(x, y); }},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TXYPoint> original = c.make(45000.5, -3.25);
    original->OrdinalNo = 17;
    if (auto* multi = dynamic_cast<TMultivaluePoint*>(original.get())) multi->Values = {4, 5, 6};
    SCOPED_TRACE(std::string(original->ClassName()));
    // An unknown field before the record and one after it are skipped.
    std::vector<uint8_t> records = Bytes().I32(7777).I32(4).I32(1).vec();
    const std::vector<uint8_t> record = RecordOf(*original);
    records.insert(records.end(), record.begin(), record.end());
    std::unique_ptr<TXYPoint> read = c.make(0, 0);
    ReadPoint(*read, records);
    EXPECT_EQ(RecordOf(*read), record);
  }

  // Record 25 leaves Y alone (a point with no Y).
  TInfinitePoint infinite(0, 0);
  ReadPoint(infinite, Group(25, Bytes().F64(12.5).I32(3)));
  EXPECT_EQ(infinite.XValue, 12.5);
  EXPECT_EQ(infinite.YValue, 0);
  EXPECT_EQ(infinite.OrdinalNo, 3);
  // An infinite point reads a plain record 22 through its ancestor.
  ReadPoint(infinite, Group(22, Bytes().F64(1).F64(2).I32(5)));
  EXPECT_EQ(infinite.YValue, 2);

  // Classes that leave their own records to the series skip them, and read 22.
  TStdDevPoint sd(0, 0);
  ReadPoint(sd, Group(21, Bytes().F64(1).F64(2).I32(3).F64(4).F64(5).I32(6).I32(7)));
  EXPECT_EQ(sd.XValue, 0);
  ReadPoint(sd, Group(22, Bytes().F64(1).F64(2).I32(3)));
  EXPECT_EQ(sd.XValue, 1);

  // A longer record is skipped to its end.
  TXYPoint xy(0, 0);
  ReadPoint(xy, Group(22, Bytes().F64(8).F64(9).I32(10).I32(-1).I32(-1)));
  EXPECT_EQ(xy.OrdinalNo, 10);
}

TEST(PointsTest, ARecordShorterThanItsBodyRaises) {
  TXYPoint xy(0, 0);
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(qor_test::PlainRecord(22, Bytes().F64(1).F64(2))));
  EXPECT_THROW(model_test::ReadInto(xy, file, 0), Exception);
}

TEST(PointsTest, MultivalueCountIsBoundByTheRecord) {
  for (int32_t count : {3, -1, 0x7FFFFFFF}) {
    SCOPED_TRACE(count);
    TMultivaluePoint point(0, 0);
    platform::MemoryStream file;
    // Room for two values, whatever the count claims.
    qor_test::Fill(file, model_test::PlainFile(qor_test::PlainRecord(
                             -29, Bytes().F64(1).F64(2).I32(3).I32(count).F64(4).F64(5))));
    EXPECT_EQ(qor_test::MessageOf<Exception>([&] { model_test::ReadInto(point, file, 0); }),
              "Exception:Error in file");
    EXPECT_TRUE(point.Values.empty());
  }
}

TEST(PointsTest, AssignmentCopiesWhatTheTargetHas) {
  TKorvetDataPoint source(1, 2);
  source.OrdinalNo = 9;
  source.OriginalTimeStamp = 3;
  source.SetID("id");
  source.SetUserVialNo("vial");
  source.AnalyseResult = arUndefined;
  TKorvetDataPoint same(0, 0);
  same.Assign(source);
  EXPECT_EQ(RecordOf(same), RecordOf(source));

  TStdDevPoint other(0, 0);
  other.SD = 4;
  other.Assign(source);  // only the point part
  EXPECT_EQ(other.XValue, 1);
  EXPECT_EQ(other.OrdinalNo, 9);
  EXPECT_EQ(other.SD, 4);

  TEventPoint event(0, 0);
  TEventPoint event_source(5, 0);
  event_source.SetText("x");
  event.Assign(event_source);
  EXPECT_EQ(event.Text(), "x");

  TUniquePatientInformation patient;
  EXPECT_EQ(qor_test::MessageOf<EConvertError>([&] { patient.Assign(source); }),
            "Cannot assign a TKorvetDataPoint to a TUniquePatientInformation");
  EXPECT_EQ(qor_test::MessageOf<EConvertError>([&] { source.Assign(patient); }),
            "Cannot assign a TUniquePatientInformation to a TKorvetDataPoint");
}

TEST(PointsTest, VialTextsKeepFiveCharactersUpToAZero) {
  TKorvetDataPoint point(0, 0);
  point.SetID(std::string("AB\0CD", 5));
  EXPECT_EQ(point.ID(), "AB");
  point.SetUserVialNo("12345");
  EXPECT_EQ(point.UserVialNo(), "12345");
}

// A series for hints whose hooks can be set.
class HintSeries : public TSerie {
 public:
  HintSeries() : TSerie(nullptr) {}
  bool IsPairedSeries() const override { return paired; }
  bool ShowsSEM() const override { return sem; }
  bool ShowsSD() const override { return sd; }
  bool paired = false;
  bool sem = false;
  bool sd = false;
};

class PointHintTest : public ::testing::Test {
 protected:
  PointHintTest() {
    platform::LocaleSettings settings;
    pinned_ = std::make_unique<platform::ScopedLocaleSettings>(settings);
    series_.SetCaption("pH arterial");
  }
  std::unique_ptr<platform::ScopedLocaleSettings> pinned_;
  HintSeries series_;
};

TEST_F(PointHintTest, WithoutASeries) {
  EXPECT_EQ(TXYPoint(2.5, 7.25).GetHintText(nullptr), "\r\nY = 7.25\r\nX = #2");
  TEventPoint event(1, 0);
  event.SetText("Sample");
  EXPECT_EQ(event.GetHintText(nullptr), "X = #1: \r\nSample");
  EXPECT_EQ(TInfinitePoint(4, 0).GetHintText(nullptr), "\r\nInfinite at X = #4");
  EXPECT_EQ(TUnderDetectionLimitPoint(4, 1).GetHintText(nullptr), "\r\nY = 1\r\nX = #4*");
  EXPECT_EQ(TVideoFrame(4, 9).GetHintText(nullptr), "# 10\r\nX = #4");
  TMultivaluePoint multi(1, 2);
  multi.Values = {0.5, 3};
  EXPECT_EQ(multi.GetHintText(nullptr), "\r\nY = 2\r\nX = #1\r\n0.5\r\n3");
  EXPECT_EQ(TYYPoint(1, 2).GetHintText(nullptr), "");
  EXPECT_EQ(TStdDevPoint(1, 2).GetHintText(nullptr), "\r\nY = 2\r\nX = #1");
}

TEST_F(PointHintTest, XTextByTheSeriesAxisKind) {
  const double time = platform::EncodeDate(2024, 3, 7) + platform::EncodeTime(14, 5, 9, 0);
  TXYPoint point(time, 7.4);
  EXPECT_EQ(point.GetHintText(&series_), "pH arterial\r\nY = 7.4\r\nX = 2024-03-07 14:05:09");
  TAxis axis(nullptr, {0, 0}, {100, 0});
  axis.SetKind(akValue);
  series_.SetUseXAxis(&axis);
  EXPECT_EQ(point.GetXText(&series_), platform::FloatToStr(time));
  series_.SetUseXAxis(nullptr);
  axis.SetKind(akDuration);
  series_.SetUseXAxis(&axis);
  TXYPoint span(1.5, 0);
  EXPECT_EQ(span.GetXText(&series_), "1 days 12 h 00 min 00 s");
  series_.SetUseXAxis(nullptr);
  axis.SetKind(akOrdinal);
  series_.SetUseXAxis(&axis);
  point.OrdinalNo = 12;
  EXPECT_EQ(point.GetXText(&series_), "#12");
  series_.SetUseXAxis(nullptr);
  // Long captions are cut to 40 characters.
  series_.SetCaption(std::string(50, 'c'));
  EXPECT_EQ(TXYPoint(0, 1).GetHintText(&series_).substr(0, 42), std::string(37, 'c') + "...\r\n");
}

TEST_F(PointHintTest, StandardDeviationThroughTheSeriesHooks) {
  TStdDevPoint point(0, 7.25);
  point.SD = 0.5;
  point.SEM = 0.125;
  point.N = 5;
  point.ExtraN = 0;
  const std::string x = "X = " + point.GetXText(&series_);
  EXPECT_EQ(point.GetHintText(&series_), "pH arterial\r\nY = 7.25 \r\nn = 5\r\n" + x);
  series_.sem = true;
  series_.sd = true;
  point.ExtraN = 2;
  EXPECT_EQ(point.GetHintText(&series_),
            "pH arterial\r\nY = 7.25 +- 0.125 (SEM)+-  0.5 (SD)\r\nn = 3 + (2)\r\n" + x);
}

TEST_F(PointHintTest, PairedPointsNameTheSources) {
  TYYPoint point(5.1, 7.4);
  point.TimeX = 2.5;
  EXPECT_EQ(point.GetHintText(&series_), "");
  series_.paired = true;
  TAxis axis(nullptr, {0, 0}, {100, 0});
  axis.SetKind(akValue);
  series_.SetUseXAxis(&axis);
  EXPECT_EQ(point.GetHintText(&series_), "Y = 7.4\r\nX = 5.1\r\n2.5");
  TDataSetRef first = MakeDataSet();
  TDataSetRef second = MakeDataSet();
  first->SetName("pH");
  second->SetName("pCO2");
  series_.DataSet().Sources() = {first.get(), second.get()};
  EXPECT_EQ(point.GetHintText(&series_), "pH = 7.4\r\npCO2 = 5.1\r\n2.5");
  series_.DataSet().Sources().clear();
  series_.SetUseXAxis(nullptr);
}

TEST_F(PointHintTest, AnalyzerSamples) {
  TAxis axis(nullptr, {0, 0}, {100, 0});
  axis.SetKind(akValue);
  series_.SetUseXAxis(&axis);
  TKorvetDataPoint korvet(2, 7.41234);
  korvet.AnalyseResult = arUnderDetectionLimit;
  korvet.OriginalTimeStamp = 2;
  korvet.SetUserVialNo("V1");
  korvet.SetID("K9");
  EXPECT_EQ(korvet.GetHintText(&series_),
            "pH arterial\r\n\r\nUNDER  DETECTION LIMIT\r\n\r\nY = 7.412\r\nX = 2\r\n ( " +
                platform::DateTimeToStr(2) + ")\r\nVial id = V1 (K9)");
  TTarvoDataPoint tarvo(2, 5);
  tarvo.VialID = "A7";
  tarvo.AttemptNo = 2;
  tarvo.Hidden = true;
  EXPECT_EQ(tarvo.GetHintText(&series_),
            "pH arterial\r\nY = 5\r\nX = 2\r\nVial ID: A7\r\nAttempt no: 2\r\n"
            "Point was hidden in machine.\r\n");
  tarvo.AnalyseResult = arOverLinearityInterval;
  tarvo.VialID.clear();
  tarvo.AttemptNo = 1;
  tarvo.Hidden = false;
  EXPECT_EQ(tarvo.GetHintText(&series_),
            "pH arterial\r\n\r\nABOVE LINEARITY INTERVAL\r\n\r\nY = 5\r\nX = 2\r\n");
  series_.SetUseXAxis(nullptr);
}

TEST(PointsTest, ThePrototypeOfTheUnitCreatesNoPoints) {
  RegisterPointPrototypes();
  RegisterPointPrototypes();
  size_t points = 0;
  const TPrototypeRegistry& registry = TVistaStreamParser::Prototypes();
  for (size_t i = 0; i < registry.Count(); ++i)
    if (registry.At(i).ClassName() == "TXYPoint") ++points;
  EXPECT_EQ(points, 1u);
  EXPECT_EQ(TVistaStreamParser::CreateByRecordType(22), nullptr);
}

}  // namespace
