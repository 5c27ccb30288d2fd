// The TCP analyzer feed's decoder: SOH, records ended by CR, EOT, in any pieces.
#include "collector/FeedLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collector/tests/sized_records.h"
#include "collector/tests/stream_recorder.h"

namespace {

using collector_test::RandomPieces;
using collector_test::StreamRecorder;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

// The feed's bytes, written out by hand: SOH 0x01, CR 0x0D, EOT 0x04.
const std::string kTwoRecords = "\x01H|\\^&\rP|1||42\r\x04";

std::vector<std::string> Feed(const std::vector<std::string>& pieces,
                              StreamRecorder* recorder = nullptr) {
  StreamRecorder own;
  StreamRecorder& r = recorder ? *recorder : own;
  TFeedLink link(r);
  for (const std::string& piece : pieces)
    link.Receive(piece);
  return r.events;
}

TEST(FeedLinkTest, TwoRecordsInOneReadGiveTwoLinesWithTheFrameDigitAndOneMessage) {
  StreamRecorder recorder;
  Feed({kTwoRecords}, &recorder);
  ASSERT_THAT(recorder.events, ElementsAre("message 2"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|\\^&", "1P|1||42"));
}

TEST(FeedLinkTest, EveryCutOfAShortMessageGivesTheSameResult) {
  // Two messages back to back, so that cuts fall between them too.
  const std::string bytes = kTwoRecords + "\x01R|1\r\x04";
  for (size_t i = 0; i <= bytes.size(); ++i) {
    for (size_t j = i; j <= bytes.size(); ++j) {
      StreamRecorder recorder;
      Feed({bytes.substr(0, i), bytes.substr(i, j - i), bytes.substr(j)}, &recorder);
      ASSERT_THAT(recorder.events, ElementsAre("message 2", "message 1")) << i << "," << j;
      ASSERT_THAT(recorder.messages[0], ElementsAre("1H|\\^&", "1P|1||42")) << i << "," << j;
      ASSERT_THAT(recorder.messages[1], ElementsAre("1R|1")) << i << "," << j;
    }
  }
}

TEST(FeedLinkTest, TwoMessagesInOneReadAreTwoMessagesAndWhatFollowsTheEotIsKept) {
  StreamRecorder recorder;
  Feed({"\x01H|a\r\x04\x01H|b\rP|", "2\r\x04"}, &recorder);
  ASSERT_THAT(recorder.events, ElementsAre("message 1", "message 2"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a"));
  EXPECT_THAT(recorder.messages[1], ElementsAre("1H|b", "1P|2"));
}

TEST(FeedLinkTest, EmptyRecordsNulAndLfAddNothing) {
  StreamRecorder recorder;
  Feed({std::string("\x01\r\rH|\0a\r\n\n\rR|1\n\r\x04", 17)}, &recorder);
  ASSERT_THAT(recorder.events, ElementsAre("message 2"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "1R|1"));
}

TEST(FeedLinkTest, LinesWithoutSohAreTakenButALastLineWithoutCrIsDropped) {
  StreamRecorder recorder;
  Feed({"H|a\rR|1|^^^pO2|12.", "3\x04"}, &recorder);
  // The value may have been cut short: the line is dropped, and shown in the notice.
  ASSERT_THAT(recorder.events,
              ElementsAre(StreamRecorder::NoticeEvent(TLinkNoticeKind::kLineUnended), "message 1"));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a"));
  EXPECT_EQ(recorder.notices[0].text,
            "Record line dropped: the message ended before its CR: R|1|^^^pO2|12.3");
  // What the notice shows of a long line is bounded; a line only of the unended one
  // is no message.
  StreamRecorder cut;
  Feed({"\x01" + std::string(5000, 'R') + "\x04"}, &cut);
  ASSERT_THAT(cut.events, ElementsAre(StreamRecorder::NoticeEvent(TLinkNoticeKind::kLineUnended)));
  EXPECT_EQ(cut.notices[0].text, "Record line dropped: the message ended before its CR: " +
                                     std::string(TFeedLink::kShownBytes - 6, 'R') + " [cut]");
  // An EOT alone, or an SOH and an EOT, is no message.
  EXPECT_THAT(Feed({"\x04\x01\x04\r\x04"}), IsEmpty());
}

TEST(FeedLinkTest, TheDroppedUnendedLineIsShownUpToItsBound) {
  const struct {
    size_t bytes;
    std::string shown;
  } cases[] = {
      {80, std::string(80, 'R')},
      {81, std::string(74, 'R') + " [cut]"},
  };
  static_assert(TFeedLink::kShownBytes == 80);
  for (const auto& c : cases) {
    StreamRecorder recorder;
    Feed({"\x01" + std::string(c.bytes, 'R') + "\x04"}, &recorder);
    ASSERT_EQ(recorder.notices.size(), 1u) << c.bytes;
    EXPECT_EQ(recorder.notices[0].text,
              "Record line dropped: the message ended before its CR: " + c.shown)
        << c.bytes;
  }
}

TEST(FeedLinkTest, AnSohInTheMiddleOfAMessageDropsTheHalfMessage) {
  const struct {
    const char* name;
    std::string bytes;
    size_t dropped_lines;
  } cases[] = {
      {"after lines", "\x01H|a\rP|1\r\x01H|b\r\x04", 2},
      {"within a line", "\x01H|a\rP|\x01H|b\r\x04", 1},
      {"lines without SOH", "H|a\r\x01H|b\r\x04", 1},
  };
  for (const auto& c : cases) {
    StreamRecorder recorder;
    Feed({c.bytes}, &recorder);
    EXPECT_THAT(recorder.events,
                ElementsAre(StreamRecorder::NoticeEvent(TLinkNoticeKind::kRestarted), "message 1"))
        << c.name;
    ASSERT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.notices[0].text,
              "Message dropped: the analyzer started it again before its end");
    EXPECT_EQ(recorder.notices[0].count, c.dropped_lines) << c.name;
    EXPECT_THAT(recorder.messages.back(), ElementsAre("1H|b")) << c.name;
  }
  // SOH SOH is no half message.
  EXPECT_THAT(Feed({"\x01\x01H|b\r\x04"}), ElementsAre("message 1"));
}

TEST(FeedLinkTest, AConnectionThatClosesInTheMiddleOfAMessageDropsIt) {
  StreamRecorder recorder;
  TFeedLink link(recorder);
  link.Receive("\x01H|a\r\x04\x01H|b\rP|");
  EXPECT_TRUE(link.HalfMessage());
  link.ConnectionClosed();
  EXPECT_FALSE(link.HalfMessage());
  EXPECT_THAT(recorder.events,
              ElementsAre("message 1", StreamRecorder::NoticeEvent(TLinkNoticeKind::kClosed)));
  EXPECT_EQ(recorder.notices[0].text, "Message dropped: the connection closed before its end");
  EXPECT_EQ(recorder.notices[0].count, 1u);
  // Between messages, closing drops nothing.
  StreamRecorder quiet;
  TFeedLink between(quiet);
  between.Receive("\x01H|a\r\x04");
  between.ConnectionClosed();
  EXPECT_THAT(quiet.events, ElementsAre("message 1"));
}

TEST(FeedLinkTest, ALineBeyondTheLimitIsDroppedAndTheBufferStaysBounded) {
  StreamRecorder recorder;
  TFeedLink link(recorder, TStreamLinkLimits{8, 100, 1000});
  link.Receive("\x01H|a\r12345678");
  EXPECT_TRUE(recorder.notices.empty());
  for (int i = 0; i < 1000; ++i) {
    link.Receive("no CR comes");
    ASSERT_LE(link.BufferedBytes(), 8u);
  }
  link.Receive("\rR|1\r\x04");
  ASSERT_THAT(recorder.events,
              ElementsAre(StreamRecorder::NoticeEvent(TLinkNoticeKind::kLineTooLong), "message 2"));
  EXPECT_EQ(recorder.notices[0].text, "Record line dropped: more than 8 bytes");
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "1R|1"));
}

TEST(FeedLinkTest, AMessageBeyondItsLimitsIsDroppedWholeAndTheNextOneTaken) {
  const struct {
    TStreamLinkLimits limits;
    TLinkNoticeKind kind;
    const char* text;
  } cases[] = {
      {{64, 2, 1000}, TLinkNoticeKind::kTooManyLines, "Message dropped: more than 2 record lines"},
      {{64, 100, 10},
       TLinkNoticeKind::kTooManyBytes,
       "Message dropped: more than 10 bytes of records"},
  };
  for (const auto& c : cases) {
    StreamRecorder recorder;
    TFeedLink link(recorder, c.limits);
    link.Receive("\x01H|a\rP|1\rO|1\rR|1\rR|2\r\x04\x01H|b\r\x04");
    ASSERT_THAT(recorder.events, ElementsAre(StreamRecorder::NoticeEvent(c.kind), "message 1"));
    EXPECT_EQ(recorder.notices[0].text, c.text);
    EXPECT_THAT(recorder.messages[0], ElementsAre("1H|b"));
  }
}

TEST(FeedLinkTest, TheDefaultLineBoundAtAndOnePast) {
  // A line of 65,536 bytes (its frame digit aside) is taken; one of 65,537 is
  // dropped as its last byte comes, and the rest of the message is still taken.
  const struct {
    size_t bytes;
    bool taken;
  } cases[] = {{65536, true}, {65537, false}};
  for (const auto& c : cases) {
    StreamRecorder recorder;
    TFeedLink link(recorder);
    const std::string record = "R|" + std::string(c.bytes - 2, 'x');
    link.Receive("\x01H|a\r" + record);
    EXPECT_EQ(link.BufferedBytes(), c.taken ? 65536u : 0u) << c.bytes;
    link.Receive("\rR|1\r\x04");
    ASSERT_EQ(recorder.messages.size(), 1u) << c.bytes;
    if (c.taken) {
      EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "1" + record, "1R|1"));
      EXPECT_THAT(recorder.notices, IsEmpty());
    } else {
      EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "1R|1"));
      ASSERT_EQ(recorder.notices.size(), 1u);
      EXPECT_EQ(recorder.notices[0].kind, TLinkNoticeKind::kLineTooLong);
      EXPECT_EQ(recorder.notices[0].text, "Record line dropped: more than 65536 bytes");
      EXPECT_EQ(recorder.notices[0].count, 65537u);
    }
  }
}

TEST(FeedLinkTest, TheDefaultMessageBoundsAtAndOnePast) {
  for (const collector_test::TMessageBoundCase& c : collector_test::kMessageBoundCases) {
    std::string bytes = "\x01";
    bytes.reserve(c.bytes + 2);
    for (const std::string& record : collector_test::SizedRecords(c.lines, c.bytes)) {
      bytes += record;
      bytes += '\r';
    }
    bytes += '\x04';
    StreamRecorder recorder;
    TFeedLink link(recorder);
    link.Receive(bytes);
    collector_test::ExpectBoundOutcome(c, recorder);
  }
}

// The ABL9 message as the analyzer's TCP feed carries it: 52 records.
class Abl9FeedTest : public ::testing::Test {
 protected:
  void Check(const StreamRecorder& recorder) {
    ASSERT_THAT(recorder.events, ElementsAre("message 52"));
    const Lines& lines = recorder.messages[0];
    EXPECT_EQ(lines[0], "1H|\\^&|||ABL9^402843|||||NC2L||1|20260627193917");
    EXPECT_EQ(lines[1], "1P|1||100000001||Anon^Patient||19380101|F|||||87|years");
    EXPECT_EQ(lines[2], "1O|1||Sample #^28258|||||||ANONYMOUS|||||Arterial^|||||||||F");
    EXPECT_EQ(lines[3], "1R|1|^^^T|37.0|Cel|||F||ANONYMOUS|20260627082914|20260627082914");
    EXPECT_EQ(lines[25], "1R|23|^^^pO2(A)^C|.....|mmHg||N||F");
    EXPECT_EQ(lines[26], "1C|1|I|1009^1009: Unable to calculate - missing Baro|I");
    EXPECT_EQ(lines[50], "1R|40|^^^cBase(Ecf,ox)^C|2.2|mmol/L||N||F");
    EXPECT_EQ(lines[51], "1L|1|N");
  }
  const std::string bytes_ =
      collector_test::ReadFixture(QOR_COLLECTOR_TESTDATA_DIR "/04_abl9_soh_eot_message.astm");
};

TEST_F(Abl9FeedTest, Whole) {
  ASSERT_EQ(bytes_.size(), 1924u);
  StreamRecorder recorder;
  Feed({bytes_}, &recorder);
  Check(recorder);
}

TEST_F(Abl9FeedTest, ByteByByte) {
  std::vector<std::string> bytes;
  for (char c : bytes_)
    bytes.emplace_back(1, c);
  StreamRecorder recorder;
  Feed(bytes, &recorder);
  Check(recorder);
}

TEST_F(Abl9FeedTest, InRandomSplits) {
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    SCOPED_TRACE(seed);
    StreamRecorder recorder;
    Feed(RandomPieces(bytes_, seed), &recorder);
    Check(recorder);
  }
}

}  // namespace
