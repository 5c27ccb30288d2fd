// The whole system: the gasmimic and gasbridge programs on the offscreen platform,
// Gasmimic playing the analyzer on COM2 and Gasbridge collecting from COM1 at the
// other end of a pseudo-terminal cable (or over TCP), and what Gasbridge filed read
// back from the demonstration patient's monitor-data file with the save component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "collector/tests/read_back.h"
#include "datamodel/DataModel.h"
#include "platform/date_time.h"
#include "simulator/tests/system_fixture.h"

namespace system_test {
namespace {

using ::testing::HasSubstr;

constexpr char kNak = 0x15;
constexpr char kAck = 0x06;

struct Filed {
  std::string name, unit;
  double value;
};

// The canned message's results as the collector files them, written out from the
// message's table: every result but Qt and VO2 ("....." is not measured), named by
// the specimen source "Not specified" and the code.
const std::vector<Filed>& CannedResults() {
  static const std::vector<Filed> results = {
      {"Not specified FIO2", "%", 21.0},
      {"Not specified RQ", "", 0.86},
      {"Not specified T", "Cel", 37.0},
      {"Not specified ABE", "mmol/L", 8.0},
      {"Not specified Anion gap(K+)", "mmol/L", 10.7},
      {"Not specified Anion gap", "mmol/L", 6.9},
      {"Not specified B", "mmHg", 770},
      {"Not specified Ca++", "mmol/L", 1.20},
      {"Not specified Ca(7.4)", "mmol/L", 1.21},
      {"Not specified Cl-", "mmol/L", 97},
      {"Not specified COHb", "%", 1.5},
      {"Not specified Glu", "mmol/L", 6.2},
      {"Not specified HCO3-", "mmol/L", 33.4},
      {"Not specified Hct", "%", 35.9},
      {"Not specified K+", "mmol/L", 3.9},
      {"Not specified Lac", "mmol/L", 0.7},
      {"Not specified MetHb", "%", 0.3},
      {"Not specified Na+", "mmol/L", 137},
      {"Not specified O2CAP", "Vol %", 15.9},
      {"Not specified O2Hb", "%", 94.8},
      {"Not specified pCO2", "kPa", 6.93},
      {"Not specified pCO2(T)", "kPa", 6.93},
      {"Not specified pH", "", 7.424},
      {"Not specified pH(st)", "", 7.508},
      {"Not specified pH(T)", "", 7.424},
      {"Not specified pO2", "kPa", 12.02},
      {"Not specified pO2(T)", "kPa", 12.02},
      {"Not specified p50(act)", "kPa", 3.647},
      {"Not specified p50(act),T", "kPa", 3.647},
      {"Not specified p50(st)", "kPa", 3.762},
      {"Not specified RHb", "%", 3.3},
      {"Not specified SBC", "mmol/L", 31.8},
      {"Not specified SBE", "mmol/L", 8.7},
      {"Not specified sO2", "%", 96.6},
      {"Not specified tCO2(B)", "Vol %", 67.7},
      {"Not specified tCO2(P)", "Vol %", 78.4},
      {"Not specified tHb", "g/L", 116},
      {"Not specified tO2", "Vol %", 15.6},
  };
  return results;
}

// The typed message's results from the window's first values (Blood, Arterial).
const std::vector<Filed>& TypedResults() {
  static const std::vector<Filed> results = {
      {"Arterial FIO2", "%", 21},      {"Arterial Ca++", "mmol/L", 1.24},
      {"Arterial Cl-", "mmol/L", 97},  {"Arterial K+", "mmol/L", 3.9},
      {"Arterial Na+", "mmol/L", 143}, {"Arterial pH", "", 7.62},
      {"Arterial pO2", "mmHg", 41.2},
  };
  return results;
}

// The file holds the series Expected, in order, each with one point of its value at
// a time that Time accepts.
void ExpectFiled(const collector_test::TReadFile& file, const std::vector<Filed>& expected,
                 const std::function<void(platform::DateTime)>& time) {
  EXPECT_EQ(file.monitor_name, "Radiometer ABLxxx");
  EXPECT_EQ(file.patient_id, kPatientShownId);
  EXPECT_EQ(file.patient_name, kPatientLastName);
  ASSERT_EQ(file.series.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(file.series[i].index, static_cast<int16_t>(i));
    EXPECT_EQ(file.series[i].name, expected[i].name);
    EXPECT_EQ(file.series[i].unit, expected[i].unit);
    ASSERT_EQ(file.series[i].points.size(), 1u);
    EXPECT_EQ(file.series[i].points[0].second, expected[i].value);
    time(file.series[i].points[0].first);
  }
}

// 2001-01-22 18:17:00, the time of the canned message's first result.
void AtTheCannedTime(platform::DateTime time) {
  EXPECT_EQ(time, platform::EncodeDate(2001, 1, 22) + platform::EncodeTime(18, 17, 0, 0));
}

class SystemTest : public ::testing::Test {
 protected:
  SystemTest() { RegisterDataModel(); }

  // Starts Gasbridge on COM1 and waits until it holds the port open.
  void StartCollectorOnCom1() {
    Program& gasbridge = demo.StartGasbridge("COM1");
    ASSERT_TRUE(WaitFor([&] {
      return gasbridge.HoldsOpen(cable.DeviceA()) || !gasbridge.Running();
    })) << gasbridge.Err();
    ASSERT_TRUE(gasbridge.Running()) << gasbridge.Err();
  }

  // Runs Gasmimic with Args to its end.
  Program& RunGasmimic(const std::vector<std::string>& args) {
    Program& gasmimic = demo.StartGasmimic(args);
    EXPECT_TRUE(gasmimic.Wait(std::chrono::seconds(90)).has_value()) << "gasmimic did not end";
    return gasmimic;
  }

  // Waits until the collector has finished Count messages and reads the file back.
  collector_test::TReadFile Filed(int count) {
    EXPECT_TRUE(WaitFor([&] { return demo.MessagesDone() >= count; })) << demo.AutomationLog();
    return collector_test::ReadBack(demo.SaveFile());
  }

  DemoSystem demo{QOR_GASBRIDGE_PATH, QOR_GASMIMIC_PATH, QOR_STANDIN_LIBRARY};
  PtyCable cable{demo.Ports(), 1, 2};
};

TEST_F(SystemTest, TheCannedMessageIsFiledOverTheSerialCable) {
  StartCollectorOnCom1();
  Program& gasmimic = RunGasmimic({"--com", "2", "--send-canned-once", "--quit-after", "60"});
  EXPECT_EQ(gasmimic.Wait(), 0) << gasmimic.Err();
  EXPECT_EQ(gasmimic.Out(), "gasmimic: sent the canned message (44 lines) on COM2\n");
  const collector_test::TReadFile file = Filed(1);
  ExpectFiled(file, CannedResults(), AtTheCannedTime);

  // ENQ, 44 frames and EOT; an ACK for the ENQ and each frame, no NAK.
  const Traffic analyzer = cable.FromB();
  EXPECT_EQ(std::count(analyzer.bytes.begin(), analyzer.bytes.end(), '\x02'), 44);
  EXPECT_EQ(analyzer.bytes.front(), '\x05');
  EXPECT_EQ(analyzer.bytes.back(), '\x04');
  EXPECT_EQ(cable.FromA().bytes, std::string(45, kAck));

  const std::string log = ReadFile(demo.TransferLog());
  EXPECT_THAT(log, HasSubstr(" Transferring Demo (123456-7890) to Wardvorta\r\n"));
  EXPECT_THAT(log, HasSubstr(": Not a number, not filed for Demo (123456-7890): Not specified Qt "
                             "\".....\"; Not specified VO2 \".....\"\r\n"));
}

TEST_F(SystemTest, ASingleChecksumErrorDrawsOneNakAndOneGoodRepeat) {
  StartCollectorOnCom1();
  EXPECT_EQ(
      RunGasmimic({"--com", "2", "--single-cs-error", "--send-canned-once", "--quit-after", "60"})
          .Wait(),
      0);
  ExpectFiled(Filed(1), CannedResults(), AtTheCannedTime);

  // The first frame (the header) went with its checksum one too high, "A9" for
  // "A8", drew the one NAK, and went again right; everything else was acknowledged.
  const std::string header = "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010122181814\r\x17";
  const std::string analyzer = cable.FromB().bytes;
  EXPECT_EQ(analyzer.find("\x02" + header), 1u);
  EXPECT_EQ(analyzer.substr(1, 2 * (header.size() + 5)),
            "\x02" + header + "A9\r\n" + "\x02" + header + "A8\r\n");
  EXPECT_EQ(cable.FromA().bytes, std::string(1, kAck) + kNak + std::string(45 - 1, kAck));
}

TEST_F(SystemTest, StartSendsTheTypedMessageAtTheInterval) {
  StartCollectorOnCom1();
  const platform::DateTime before = platform::Now();
  // The first tick after 2 s sends the message; the time is up before the next.
  EXPECT_EQ(RunGasmimic({"--com", "2", "--interval", "2", "--start", "--quit-after", "3"}).Wait(),
            0);
  const platform::DateTime after = platform::Now();
  // The message carries its time to the second.
  const platform::DateTime second = platform::EncodeTime(0, 0, 1, 0);
  ExpectFiled(Filed(1), TypedResults(), [&](platform::DateTime time) {
    EXPECT_GE(time, before - second);
    EXPECT_LE(time, after);
  });
  EXPECT_THAT(ReadFile(demo.TransferLog()),
              HasSubstr(" Transferring Demo (123456-7890) to Wardvorta\r\n"));
}

TEST_F(SystemTest, SendThenStartFileBothMessagesIntoTheDemonstrationPatient) {
  StartCollectorOnCom1();
  EXPECT_EQ(RunGasmimic({"--com", "2", "--send-canned-once", "--quit-after", "60"}).Wait(), 0);
  EXPECT_EQ(RunGasmimic({"--com", "2", "--interval", "2", "--start", "--quit-after", "3"}).Wait(),
            0);
  const collector_test::TReadFile file = Filed(2);
  ASSERT_GE(file.series.size(), CannedResults().size() + TypedResults().size());
  // The typed message's results land in series of their own after the canned ones.
  for (size_t i = 0; i < TypedResults().size(); ++i)
    EXPECT_EQ(file.series[CannedResults().size() + i].name, TypedResults()[i].name);
  // Nothing was filed twice.
  for (const auto& serie : file.series)
    EXPECT_EQ(serie.points.size(), 1u) << serie.name;
}

TEST(SystemTcpTest, TheTypedMessageOverTcpIsFiled) {
  RegisterDataModel();
  const int port = FreeTcpPort();
  ASSERT_NE(port, 0);
  DemoSystem demo(QOR_GASBRIDGE_PATH, QOR_GASMIMIC_PATH, QOR_STANDIN_LIBRARY, port);
  Program& gasbridge = demo.StartGasbridge("ABL");
  ASSERT_TRUE(WaitFor([&] { return Listening(port) || !gasbridge.Running(); })) << gasbridge.Err();
  ASSERT_TRUE(gasbridge.Running()) << gasbridge.Err();
  const platform::DateTime before = platform::Now();
  Program& gasmimic = demo.StartGasmimic({"--network", "127.0.0.1", "--port", std::to_string(port),
                                          "--interval", "2", "--start", "--quit-after", "3"});
  EXPECT_EQ(gasmimic.Wait(std::chrono::seconds(60)), 0) << gasmimic.Err();
  const platform::DateTime after = platform::Now();
  ASSERT_TRUE(WaitFor([&] { return demo.MessagesDone() >= 1; }, std::chrono::seconds(20)))
      << demo.AutomationLog();
  const platform::DateTime second = platform::EncodeTime(0, 0, 1, 0);
  ExpectFiled(collector_test::ReadBack(demo.SaveFile()), TypedResults(),
              [&](platform::DateTime time) {
                EXPECT_GE(time, before - second);
                EXPECT_LE(time, after);
              });
}

}  // namespace
}  // namespace system_test
