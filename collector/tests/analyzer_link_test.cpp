#include "collector/AnalyzerLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "collector/tests/sized_records.h"

namespace {

using ::testing::ElementsAre;
using namespace std::string_literals;

const std::string kACK = "\x06";
const std::string kNAK = "\x15";

// The link's events in order: "ACK", "NAK", "message <n lines>", "notice <kind>".
class Recorder : public TAnalyzerLinkEvents {
 public:
  void SendToAnalyzer(std::string_view bytes) override {
    if (fail_sends) throw std::runtime_error("port gone");
    sent += bytes;
    events.push_back(bytes == kACK ? "ACK" : bytes == kNAK ? "NAK" : "?");
  }
  void MessageComplete(std::vector<std::string> lines) override {
    events.push_back("message " + std::to_string(lines.size()));
    messages.push_back(std::move(lines));
  }
  void LinkNotice(const TLinkNotice& notice) override {
    events.push_back("notice " + std::to_string(static_cast<int>(notice.kind)));
    notices.push_back(notice);
  }

  std::string sent;
  std::vector<std::string> events;
  std::vector<std::vector<std::string>> messages;
  std::vector<TLinkNotice> notices;
  bool fail_sends = false;
};

std::string NoticeEvent(TLinkNoticeKind kind) {
  return "notice " + std::to_string(static_cast<int>(kind));
}

// A frame as a sender builds it: STX, digit and record, CR (unless Record is to be
// continued), the end mark, the checksum and the trailer. The checksum is worked
// out here independently of the code under test.
std::string Frame(char digit, const std::string& record, char end = astm::kETX,
                  const std::string& trailer = "\r\n", bool with_cr = true) {
  const std::string body = std::string(1, digit) + record + (with_cr ? "\r" : "") + end;
  unsigned sum = 0;
  for (unsigned char c : body)
    sum += c;
  char checksum[3];
  std::snprintf(checksum, sizeof checksum, "%02X", sum % 256);
  return "\x02" + body + checksum + trailer;
}

const std::string kENQ = "\x05";
const std::string kEOT = "\x04";

TEST(ChecksumTest, HexDigitsAndSums) {
  EXPECT_EQ(NibbleToHex(0), '0');
  EXPECT_EQ(NibbleToHex(9), '9');
  EXPECT_EQ(NibbleToHex(10), 'A');
  EXPECT_EQ(NibbleToHex(15), 'F');
  EXPECT_EQ(NibbleToHex(0x1C), 'C');  // the low nibble only
  EXPECT_EQ(ByteToHex(0x00), "00");
  EXPECT_EQ(ByteToHex(0x0F), "0F");
  EXPECT_EQ(ByteToHex(0xAB), "AB");
  EXPECT_EQ(ByteToHex(0xF0), "F0");
  // CR + ETX = 0x10; "1" + CR + ETX = 0x41; 0xFF + 0x02 wraps to 0x01.
  EXPECT_EQ(Checksum("\r\x03"), "10");
  EXPECT_EQ(Checksum("1\r\x03"), "41");
  EXPECT_EQ(Checksum("\xFF\x02"), "01");
  EXPECT_EQ(Checksum(""), "00");
  // The first frame of the ABL80 capture carries F3.
  EXPECT_EQ(Checksum("1H|\\^&|||ABL80 BASIC^319053||||||||1|20231213144712\r\x03"), "F3");
}

std::string ReadCapture() {
  std::ifstream file(QOR_COLLECTOR_TESTDATA_DIR "/02_abl80basic_capture_frames.astm",
                     std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(AnalyzerLinkTest, TakesTheAbl80CaptureInOnePieceOrByteByByte) {
  const std::string capture = ReadCapture();
  ASSERT_EQ(capture.size(), 1511u);
  for (size_t piece : {capture.size() + 2, size_t{1}, size_t{7}}) {
    Recorder recorder;
    TAnalyzerLink link(recorder);
    const std::string wire = kENQ + capture + kEOT;
    for (size_t i = 0; i < wire.size(); i += piece)
      link.Receive(wire.substr(i, piece));
    EXPECT_EQ(recorder.sent, std::string(38, '\x06')) << piece;  // the ENQ and 37 frames
    ASSERT_EQ(recorder.messages.size(), 1u) << piece;
    const std::vector<std::string>& lines = recorder.messages[0];
    ASSERT_EQ(lines.size(), 37u);
    EXPECT_EQ(lines[0], "1H|\\^&|||ABL80 BASIC^319053||||||||1|20231213144712");
    EXPECT_EQ(lines[1], "2P|1||20000712||anon^redactedyy");
    EXPECT_EQ(lines[3], "4R|1|^^^pH^M|.....|||||F||ANONYMOUS|20231212111700|20231212111700");
    EXPECT_EQ(lines[7], "0R|5|^^^pO2^M|.....|mmHg||||F");
    EXPECT_EQ(lines[36], "5L|1|N");
    EXPECT_TRUE(recorder.notices.empty());
    EXPECT_FALSE(link.HalfMessage());
    EXPECT_EQ(link.BufferedBytes(), 0u);
  }
}

TEST(AnalyzerLinkTest, SeparateEventsGiveAckAckAndOneMessage) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  link.Receive(kENQ);
  link.Receive(Frame('1', "H|\\^&"));
  EXPECT_TRUE(link.HalfMessage());
  link.Receive(kEOT);
  ASSERT_THAT(recorder.events, ElementsAre("ACK", "ACK", "message 1"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|\\^&"));
}

TEST(AnalyzerLinkTest, ChecksumMustMatchExactly) {
  // "1" + "A" + CR + ETX sums to 0x82.
  struct Case {
    const char* name;
    std::string frame;
    const char* reply;
  };
  const Case cases[] = {
      {"upper case",
       "\x02"
       "1A\r\x03"
       "82\r\n",
       "ACK"},
      {"wrong",
       "\x02"
       "1A\r\x03"
       "83\r\n",
       "NAK"},
      {"lower-case hex",
       "\x02"
       "1\xAA\r\x03"
       "eb\r\n",
       "NAK"},
      {"upper-case hex",
       "\x02"
       "1\xAA\r\x03"
       "EB\r\n",
       "ACK"},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    TAnalyzerLink link(recorder);
    link.Receive(c.frame + kEOT);
    EXPECT_THAT(recorder.events, ::testing::Contains(c.reply)) << c.name;
    EXPECT_EQ(recorder.messages.size(), std::string(c.reply) == "ACK" ? 1u : 0u) << c.name;
  }
}

TEST(AnalyzerLinkTest, FramingEdgeCases) {
  struct Case {
    const char* name;
    std::string wire;
    std::vector<std::string> events;
    std::vector<std::string> lines;
  };
  const std::string good = Frame('1', "H|x");
  std::string with_nuls;
  for (char c : kENQ + good + kEOT)
    with_nuls += "\0"s + c + "\0"s;
  const Case cases[] = {
      {"no STX", kENQ + good.substr(1) + kEOT, {"ACK", "ACK", "message 1"}, {"1H|x"}},
      {"junk before STX", kENQ + "zz\r\n" + good + kEOT, {"ACK", "ACK", "message 1"}, {"1H|x"}},
      {"NULs everywhere", with_nuls, {"ACK", "ACK", "message 1"}, {"1H|x"}},
      // STX, CR, ETX, checksum 10, CR, LF: an empty record, stored as an empty line.
      {"empty record",
       kENQ +
           "\x02\r\x03"
           "10\r\n" +
           kEOT,
       {"ACK", "ACK", "message 1"},
       {""}},
      {"CR alone after the checksum",
       kENQ + Frame('1', "H|x", astm::kETX, "\r") + kEOT,
       {"ACK", "ACK", "message 1"},
       {"1H|x"}},
      {"LF alone",
       kENQ + Frame('1', "H|x", astm::kETX, "\n") + kEOT,
       {"ACK", "ACK", "message 1"},
       {"1H|x"}},
      {"no trailer",
       kENQ + Frame('1', "H|x", astm::kETX, "") + Frame('2', "L|1") + kEOT,
       {"ACK", "ACK", "ACK", "message 2"},
       {"1H|x", "2L|1"}},
      {"frame without end mark",
       kENQ +
           "\x02"
           "1H|x\r\n" +
           kEOT,
       {"ACK"},
       {}},
      {"frames before any ENQ", good + kEOT, {"ACK", "message 1"}, {"1H|x"}},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    TAnalyzerLink link(recorder);
    link.Receive(c.wire);
    EXPECT_EQ(recorder.events, c.events) << c.name;
    if (!c.lines.empty()) {
      ASSERT_EQ(recorder.messages.size(), 1u) << c.name;
      EXPECT_EQ(recorder.messages[0], c.lines) << c.name;
    }
  }
}

TEST(AnalyzerLinkTest, BytesAreHandledInArrivalOrder) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  // Two frames, the EOT and the next message's ENQ and frame, all in one read.
  link.Receive(kENQ + Frame('1', "H|a", astm::kETB) + Frame('2', "L|1") + kEOT + kENQ +
               Frame('1', "H|b", astm::kETB));
  ASSERT_THAT(recorder.events, ElementsAre("ACK", "ACK", "ACK", "message 2", "ACK", "ACK"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "2L|1"));
  link.Receive(Frame('2', "L|1") + kEOT);
  ASSERT_EQ(recorder.messages.size(), 2u);
  EXPECT_THAT(recorder.messages[1], ElementsAre("1H|b", "2L|1"));
}

TEST(AnalyzerLinkTest, NakThenTheRepeatedFrameIsStoredOnce) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  std::string bad = Frame('1', "H|a");
  bad[bad.size() - 3] ^= 1;  // spoil the checksum's second digit
  link.Receive(kENQ + bad + Frame('1', "H|a") + Frame('2', "L|1") + kEOT);
  ASSERT_THAT(recorder.events, ElementsAre("ACK", "NAK", "ACK", "ACK", "message 2"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "2L|1"));
}

TEST(AnalyzerLinkTest, FrameRepeatedForALostAckIsStoredOnce) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  link.Receive(kENQ + Frame('1', "H|a", astm::kETB) + Frame('1', "H|a", astm::kETB) +
               Frame('2', "R|1", astm::kETB) + Frame('3', "R|1", astm::kETB) + Frame('4', "L|1") +
               kEOT);
  ASSERT_THAT(recorder.events, ElementsAre("ACK", "ACK", "ACK", "ACK", "ACK", "ACK", "message 4"));
  // Only the same digit and text is a repeat: frame 3 with frame 2's record counts.
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "2R|1", "3R|1", "4L|1"));
}

TEST(AnalyzerLinkTest, EnqWithinAMessageDropsTheHalfMessage) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  link.Receive(kENQ + Frame('1', "H|a", astm::kETB) + Frame('2', "P|1", astm::kETB));
  link.Receive(kENQ + Frame('1', "H|b", astm::kETB) + Frame('2', "L|1") + kEOT);
  ASSERT_THAT(recorder.events,
              ElementsAre("ACK", "ACK", "ACK", "ACK", NoticeEvent(TLinkNoticeKind::kRestarted),
                          "ACK", "ACK", "message 2"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|b", "2L|1"));
  EXPECT_EQ(recorder.notices[0].count, 2u);
  EXPECT_EQ(recorder.notices[0].text,
            "Message dropped: the analyzer started it again before its end");
  // An ENQ that repeats an ENQ drops nothing.
  recorder.notices.clear();
  link.Receive(kENQ + kENQ);
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(AnalyzerLinkTest, HowAMessageEndsDecidesWhetherItIsComplete) {
  struct Case {
    const char* name;
    std::string frames;
    std::optional<TLinkNoticeKind> dropped;
  };
  std::string rejected_l = Frame('3', "L|1");
  rejected_l[rejected_l.size() - 3] ^= 1;
  std::string rejected_r = Frame('3', "R|2");
  rejected_r[rejected_r.size() - 3] ^= 1;
  const Case cases[] = {
      {"ETB, no L: the sender gave up",
       Frame('1', "H|a", astm::kETB) + Frame('2', "R|1", astm::kETB), TLinkNoticeKind::kGaveUp},
      {"ETB after the L record", Frame('1', "H|a", astm::kETB) + Frame('2', "L|1", astm::kETB),
       std::nullopt},
      {"ETX frames without L, as the ABL80 sends them", Frame('1', "H|a") + Frame('2', "R|1"),
       std::nullopt},
      {"a rejected frame, then EOT", Frame('1', "H|a") + Frame('2', "R|1") + rejected_r,
       TLinkNoticeKind::kRejected},
      {"the L record's repeat rejected", Frame('1', "H|a") + Frame('3', "L|1") + rejected_l,
       std::nullopt},
      {"a record left unfinished",
       Frame('1', "H|a", astm::kETB) + Frame('2', "L|", astm::kETB, "\r\n", false),
       TLinkNoticeKind::kGaveUp},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    TAnalyzerLink link(recorder);
    link.Receive(kENQ + c.frames + kEOT);
    if (c.dropped) {
      EXPECT_TRUE(recorder.messages.empty()) << c.name;
      ASSERT_EQ(recorder.notices.size(), 1u) << c.name;
      EXPECT_EQ(recorder.notices[0].kind, *c.dropped) << c.name;
    } else {
      EXPECT_EQ(recorder.messages.size(), 1u) << c.name;
      EXPECT_TRUE(recorder.notices.empty()) << c.name;
    }
    EXPECT_FALSE(link.HalfMessage()) << c.name;
  }
}

TEST(AnalyzerLinkTest, RecordsSplitOverFramesAreJoined) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  // A P record over three frames: each continuation frame's digit is dropped.
  link.Receive(kENQ + Frame('1', "H|a", astm::kETB) +
               Frame('2', "P|1||12", astm::kETB, "\r\n", false) +
               Frame('3', "3456||Doe", astm::kETB, "\r\n", false) +
               Frame('4', "^Jane", astm::kETB) + Frame('5', "L|1") + kEOT);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "2P|1||123456||Doe^Jane", "5L|1"));
}

TEST(AnalyzerLinkTest, SeveralRecordsInOneFrame) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  // Three records in one frame, the last continued in the next, which ends it and
  // brings one more.
  link.Receive(kENQ + Frame('1', "H|a\rP|1\rO|1|", astm::kETB, "\r\n", false) +
               Frame('2', "|x\rL|1") + kEOT);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "1P|1", "1O|1||x", "2L|1"));
}

TEST(AnalyzerLinkTest, FramesUpToTheLimitAreTaken) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  // Digit, record, CR and end mark: exactly 65536 bytes.
  const std::string record = "R|" + std::string(65536 - 5, 'x');
  link.Receive(kENQ + Frame('1', record) + kEOT);
  ASSERT_EQ(recorder.messages.size(), 1u);
  ASSERT_EQ(recorder.messages[0].size(), 1u);
  EXPECT_EQ(recorder.messages[0][0].size(), 65536u - 2);

  // One byte more: dropped without an answer, so the sender's time-out ends it.
  recorder.events.clear();
  link.Receive(kENQ + Frame('1', record + "y"));
  ASSERT_THAT(recorder.events, ElementsAre("ACK", NoticeEvent(TLinkNoticeKind::kFrameTooLong)));
  EXPECT_EQ(recorder.notices[0].text, "Frame dropped: more than 65536 bytes");
  EXPECT_EQ(recorder.notices[0].count, 65537u);
}

TEST(AnalyzerLinkTest, EmptyMessagesAreHarmless) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  link.Receive(kENQ + kEOT + kEOT + kENQ + kEOT);
  EXPECT_THAT(recorder.events, ElementsAre("ACK", "ACK"));
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(AnalyzerLinkTest, ReceiveBufferIsBounded) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  const std::string junk(300000, 'j');
  for (size_t i = 0; i < junk.size(); i += 4096) {
    link.Receive(junk.substr(i, 4096));
    ASSERT_LE(link.BufferedBytes(), 2u * 65536 + 2);
  }
  ASSERT_FALSE(recorder.notices.empty());
  EXPECT_EQ(recorder.notices[0].kind, TLinkNoticeKind::kBytesDropped);
  EXPECT_EQ(recorder.notices[0].text, "Receive buffer full: 65538 bytes dropped");
  // The link still works.
  recorder.events.clear();
  link.Receive(kENQ + Frame('1', "H|a") + kEOT);
  EXPECT_THAT(recorder.events, ElementsAre("ACK", "ACK", "message 1"));
}

TEST(AnalyzerLinkTest, TheReceiveBufferFillsAtItsBound) {
  EXPECT_EQ(TAnalyzerLinkLimits{}.ReceiveBufferBytes(), 131074u);
  // Bytes that end no frame: one short of the bound all stay; the one that fills
  // the buffer drops the oldest, down to one frame's worth; the next is kept again.
  const struct {
    size_t received;
    size_t buffered;
    size_t notices;
  } cases[] = {
      {131073, 131073, 0},
      {131074, 65536, 1},
      {131075, 65537, 1},
  };
  for (const auto& c : cases) {
    Recorder recorder;
    TAnalyzerLink link(recorder);
    link.Receive(std::string(c.received, 'j'));
    EXPECT_EQ(link.BufferedBytes(), c.buffered) << c.received;
    ASSERT_EQ(recorder.notices.size(), c.notices) << c.received;
    if (c.notices > 0) {
      EXPECT_EQ(recorder.notices[0].text, "Receive buffer full: 65538 bytes dropped");
      EXPECT_EQ(recorder.notices[0].count, 65538u);
    }
  }
}

TEST(AnalyzerLinkTest, TheDefaultMessageBoundsAtAndOnePast) {
  for (const collector_test::TMessageBoundCase& c : collector_test::kMessageBoundCases) {
    const std::vector<std::string> records = collector_test::SizedRecords(c.lines, c.bytes);
    std::string bytes = kENQ;
    bytes.reserve(c.bytes + 8 * c.lines);
    // Frame digits 1-7 and 0 in turn, as a sender numbers its frames.
    for (size_t i = 0; i < records.size(); ++i)
      bytes += Frame(static_cast<char>('0' + (i + 1) % 8), records[i]);
    bytes += kEOT;
    Recorder recorder;
    TAnalyzerLink link(recorder);
    link.Receive(bytes);
    // Every frame is answered either way.
    EXPECT_EQ(recorder.sent, std::string(c.lines + 1, '\x06')) << c.lines << " " << c.bytes;
    collector_test::ExpectBoundOutcome(c, recorder);
  }
}

TEST(AnalyzerLinkTest, MessagesBeyondTheirLimitsAreDropped) {
  const TAnalyzerLinkLimits limits{64, 3, 20};
  {
    Recorder recorder;
    TAnalyzerLink link(recorder, limits);
    link.Receive(kENQ);
    for (char digit : {'1', '2', '3', '4', '5'})
      link.Receive(Frame(digit, "R|1", astm::kETB));
    link.Receive(Frame('6', "L|1") + kEOT);
    // Every frame answered; one notice when the fourth line came; nothing delivered.
    EXPECT_EQ(recorder.sent, std::string(7, '\x06'));
    ASSERT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.notices[0].kind, TLinkNoticeKind::kTooManyLines);
    EXPECT_EQ(recorder.notices[0].text, "Message dropped: more than 3 record lines");
    EXPECT_EQ(recorder.notices[0].count, 3u);
    EXPECT_TRUE(recorder.messages.empty());
    // The next message starts afresh.
    link.Receive(kENQ + Frame('1', "L|1") + kEOT);
    EXPECT_EQ(recorder.messages.size(), 1u);
  }
  {
    Recorder recorder;
    TAnalyzerLink link(recorder, limits);
    // A record continued frame after frame grows past the bytes allowed.
    link.Receive(kENQ);
    for (char digit : {'1', '2', '3', '4'})
      link.Receive(Frame(digit, "R|123456", astm::kETB, "\r\n", false));
    link.Receive(kEOT);
    ASSERT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.notices[0].kind, TLinkNoticeKind::kTooManyBytes);
    EXPECT_EQ(recorder.notices[0].text, "Message dropped: more than 20 bytes of records");
    EXPECT_TRUE(recorder.messages.empty());
  }
}

TEST(AnalyzerLinkTest, DroppingTheHalfMessageWhenTheSourceChanges) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  link.DropHalfMessage();
  EXPECT_TRUE(recorder.notices.empty());
  link.Receive(kENQ + Frame('1', "H|a", astm::kETB) +
               "\x02"
               "2P|");
  EXPECT_TRUE(link.HalfMessage());
  link.DropHalfMessage();
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].kind, TLinkNoticeKind::kSourceChanged);
  EXPECT_EQ(recorder.notices[0].count, 1u);
  EXPECT_FALSE(link.HalfMessage());
  EXPECT_EQ(link.BufferedBytes(), 0u);
  link.Receive(kEOT);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST(AnalyzerLinkTest, AFailingSendLeavesTheLinkUsable) {
  Recorder recorder;
  TAnalyzerLink link(recorder);
  link.Receive(kENQ + Frame('1', "H|a", astm::kETB));
  recorder.fail_sends = true;
  EXPECT_THROW(link.Receive(Frame('2', "L|1")), std::runtime_error);
  recorder.fail_sends = false;
  link.Receive(kEOT);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "2L|1"));
}

}  // namespace
