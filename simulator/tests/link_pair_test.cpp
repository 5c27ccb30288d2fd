// Gasmimic's sender against Gasbridge's receiver, byte for byte, with no port in
// between: each side's bytes are handed to the other in turn, as two event loops
// would.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "collector/AnalyzerLink.h"
#include "collector/PatientIds.h"
#include "collector/RecordParsing.h"
#include "simulator/Unit1Message.h"
#include "simulator/Unit1Sending.h"
#include "simulator/tests/initial_form.h"

namespace {

using Lines = std::vector<std::string>;

class FakeClock : public platform::MonotonicClock {
 public:
  int64_t Now() const override { return 3600 * 1000; }
};

class Pair : public TSenderHost, public TAnalyzerLinkEvents {
 public:
  // The simulator's side.
  TSendLine CurrentLine() override { return TSendLine::kSerial; }
  Lines RebuildMessage(int sample_no) override {
    TMessageForm form = simulator_test::InitialForm();
    form.patient_id = std::string(kInitialPatientId);
    form.ks_special = true;
    built = BuildMessage(kBuiltHeaderLine, form, sample_no,
                         platform::EncodeDate(2024, 3, 5) + platform::EncodeTime(7, 8, 9, 0));
    return built;
  }
  Lines CannedLines() override { return CannedMessage(); }
  bool TakeChecksumError() override { return std::exchange(checksum_error, false); }
  void SendSerial(std::string_view bytes) override { to_collector += bytes; }
  void SendNetwork(std::string_view) override { ADD_FAILURE() << "no network here"; }
  void StartTimer(int) override { timer_on = true; }
  void StopTimer() override { timer_on = false; }

  // The collector's side.
  void SendToAnalyzer(std::string_view bytes) override {
    for (char c : bytes)
      if (c == astm::kNAK) ++naks;
    to_simulator += bytes;
  }
  void MessageComplete(Lines lines) override { messages.push_back(std::move(lines)); }
  void LinkNotice(const TLinkNotice& notice) override { notices.push_back(notice.text); }

  // Hands the bytes over until both sides are quiet.
  void Pump() {
    for (int round = 0; round < 10000 && !(to_collector.empty() && to_simulator.empty()); ++round) {
      link.Receive(std::exchange(to_collector, {}));
      sender.Receive(std::exchange(to_simulator, {}));
    }
    EXPECT_TRUE(to_collector.empty() && to_simulator.empty());
  }

  FakeClock clock;
  TMessageSender sender{*this, clock};
  TAnalyzerLink link{*this};
  Lines built;
  bool checksum_error = false;
  bool timer_on = false;
  std::string to_collector, to_simulator;
  int naks = 0;
  std::vector<Lines> messages;
  std::vector<std::string> notices;
};

TEST(LinkPair, TheCannedMessageArrivesWholeOnce) {
  Pair pair;
  pair.sender.Send();
  pair.sender.Tick();
  pair.Pump();
  ASSERT_EQ(pair.messages.size(), 1u);
  EXPECT_EQ(pair.messages[0], CannedMessage());
  EXPECT_EQ(pair.naks, 0);
  EXPECT_TRUE(pair.notices.empty());
  EXPECT_FALSE(pair.timer_on);
  EXPECT_EQ(pair.sender.sample_no(), 2);
}

TEST(LinkPair, SingleChecksumErrorDrawsOneNakAndOneGoodRepeat) {
  Pair pair;
  pair.checksum_error = true;
  ASSERT_TRUE(pair.sender.Start(60));
  pair.sender.Tick();
  pair.Pump();
  EXPECT_EQ(pair.naks, 1);
  EXPECT_FALSE(pair.checksum_error);
  ASSERT_EQ(pair.messages.size(), 1u);
  EXPECT_EQ(pair.messages[0], pair.built);
  EXPECT_TRUE(pair.notices.empty());

  // The next message goes through clean.
  pair.sender.Tick();
  pair.Pump();
  EXPECT_EQ(pair.naks, 1);
  ASSERT_EQ(pair.messages.size(), 2u);
  EXPECT_EQ(GetPiece(4, pair.messages[1][2], '|'), "Sample #^2");
}

// Both messages name the patient id "1", which the collector looks up as the first
// registered patient of its data root.
TEST(LinkPair, BothMessagesFileIntoTheFirstRegisteredPatient) {
  const TRegisteredEntries registered{"12345678.$90\\PATIENT.", "", ""};
  Pair pair;
  for (const Lines& message : {CannedMessage(), pair.RebuildMessage(1)}) {
    const TPatientIdentity patient =
        ResolvePatientId(GetPiece(4, message[1], '|'), false, registered);
    EXPECT_TRUE(patient.accepted);
    EXPECT_TRUE(patient.registered);
    EXPECT_EQ(patient.folder_name, "12345678.$90");
    EXPECT_EQ(patient.shown_id, "123456-7890");
  }
}

}  // namespace
