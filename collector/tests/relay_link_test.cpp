// The relay link: the relay server's units and the relay client's decoder, which
// reads the stream one unit after another whatever the read boundaries.
#include "collector/RelayLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collector/FeedLink.h"
#include "collector/tests/sized_records.h"
#include "collector/tests/stream_recorder.h"

namespace {

using collector_test::RandomPieces;
using collector_test::StreamRecorder;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Units written out by hand: ENQ 0x05, STX 0x02, CR 0x0D, LF 0x0A, ETX 0x03,
// EOT 0x04.
const std::string kLineH =
    "\x05\x02"
    "1H|\\^&\r\n\x03";
const std::string kLineP =
    "\x05\x02"
    "2P|1||42\r\n\x03";
const std::string kEot = "\x04";
const std::string kLifetick = "\r";

const std::string kMessage = "message 2";
const std::string kLife = "life";

std::vector<std::string> Feed(const std::vector<std::string>& pieces,
                              StreamRecorder* recorder = nullptr) {
  StreamRecorder own;
  StreamRecorder& r = recorder ? *recorder : own;
  TRelayLink link(r);
  for (const std::string& piece : pieces)
    link.Receive(piece);
  return r.events;
}

TEST(RelayLinkTest, TheServersUnits) {
  EXPECT_EQ(FrameRelayLine("1H|\\^&"), kLineH);
  EXPECT_EQ(FrameRelayLine(""), std::string("\x05\x02\r\n\x03"));
  EXPECT_EQ(kRelayEndOfMessage, '\x04');
  EXPECT_EQ(kRelayLifetick, '\r');
}

TEST(RelayLinkTest, TwoFramedLinesAndEotInOneReadGiveOneMessage) {
  StreamRecorder recorder;
  Feed({kLineH + kLineP + kEot}, &recorder);
  ASSERT_THAT(recorder.events, ElementsAre(kLife, kLife, "message 2", kLife));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|\\^&", "2P|1||42"));
}

TEST(RelayLinkTest, ALifetickIsASignOfLifeAndNoLine) {
  StreamRecorder recorder;
  Feed({kLifetick, kLifetick + kLineH + kLifetick + kEot}, &recorder);
  ASSERT_THAT(recorder.events, ElementsAre(kLife, kLife, kLife, kLife, "message 1", kLife));
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|\\^&"));
}

TEST(RelayLinkTest, EveryCutOfAShortStreamGivesTheSameResult) {
  // A message, a lifetick, and the next message's first line with its EOT.
  const std::string bytes = kLineH + kLineP + kEot + kLifetick + kLineH + kEot;
  const std::vector<std::string> expected = {kLife, kLife, "message 2", kLife,
                                             kLife, kLife, "message 1", kLife};
  for (size_t i = 0; i <= bytes.size(); ++i) {
    for (size_t j = i; j <= bytes.size(); ++j) {
      StreamRecorder recorder;
      Feed({bytes.substr(0, i), bytes.substr(i, j - i), bytes.substr(j)}, &recorder);
      ASSERT_EQ(recorder.events, expected) << i << "," << j;
      ASSERT_THAT(recorder.messages[0], ElementsAre("1H|\\^&", "2P|1||42")) << i << "," << j;
      ASSERT_THAT(recorder.messages[1], ElementsAre("1H|\\^&")) << i << "," << j;
    }
  }
}

TEST(RelayLinkTest, ALineWhoseEndComesWithTheNextLinesEnqIsKept) {
  StreamRecorder recorder;
  Feed({"\x05\x02"
        "1H|a\r",
        "\n\x03\x05\x02"
        "2P|1\r\n\x03\x04"},
       &recorder);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|a", "2P|1"));
}

TEST(RelayLinkTest, TheNextMessagesLinesArrivingWithTheEotStartTheNextMessage) {
  StreamRecorder recorder;
  Feed({kLineH + kEot + kLineP, kEot}, &recorder);
  ASSERT_EQ(recorder.messages.size(), 2u);
  EXPECT_THAT(recorder.messages[0], ElementsAre("1H|\\^&"));
  EXPECT_THAT(recorder.messages[1], ElementsAre("2P|1||42"));
}

TEST(RelayLinkTest, FramingBytesInsideALineAreCutAsTheLinkHasThem) {
  const struct {
    std::string unit;
    std::string line;
  } cases[] = {
      {"\x05junk\x02"
       "1R|1\r\n\x03",
       "1R|1"},  // up to the STX
      {"\x05\x02"
       "1R|1\x17"
       "AB\r\n\x03",
       "1R|1"},  // from an ETB
      {"\x05\x02"
       "1R|1\x03"
       "AB\r\n\x03",
       "1R|1"},  // from an ETX
      {"\x05\x02"
       "1R|\x03"
       "1\x17"
       "AB\r\n\x03",
       "1R|\x03"
       "1"},  // ETB before ETX
      {"\x05\x02"
       "1R|1\n\x03",
       "1R|1"},  // no CR before the LF
      {"\x05\x02"
       "1R|\r1\r\n\x03",
       "1R|\r1"},  // only the last CR goes
  };
  for (const auto& c : cases) {
    StreamRecorder recorder;
    Feed({c.unit + kEot}, &recorder);
    ASSERT_EQ(recorder.messages.size(), 1u) << c.line;
    EXPECT_THAT(recorder.messages[0], ElementsAre(c.line));
  }
  // An empty line adds nothing: the message is empty and not handed over.
  EXPECT_THAT(Feed({"\x05\x02\r\n\x03" + kEot}), ElementsAre(kLife, kLife));
  // Stray bytes between units are skipped.
  StreamRecorder recorder;
  Feed({std::string("\x03\n\x02xyz\0", 7) + kLineH + "\x17" + kEot}, &recorder);
  EXPECT_THAT(recorder.messages, ElementsAre(ElementsAre("1H|\\^&")));
}

TEST(RelayLinkTest, AnEnqOrEotInsideALineCutsItShort) {
  StreamRecorder recorder;
  Feed({"\x05\x02"
        "1H|a" +
        kLineP +
        "\x05\x02"
        "3O|" +
        kEot},
       &recorder);
  const std::string cut = StreamRecorder::NoticeEvent(TLinkNoticeKind::kLineCut);
  ASSERT_THAT(recorder.events, ElementsAre(cut, kLife, cut, "message 1", kLife));
  EXPECT_EQ(recorder.notices[0].text, "Record line dropped: the next unit began before its end");
  EXPECT_THAT(recorder.messages[0], ElementsAre("2P|1||42"));
}

TEST(RelayLinkTest, ALineBeyondTheLimitIsDroppedAndTheBufferStaysBounded) {
  StreamRecorder recorder;
  TRelayLink link(recorder, TStreamLinkLimits{8, 100, 1000});
  // A line of 8 bytes and its frame digit is taken...
  link.Receive(
      "\x05\x02"
      "112345678\r\n\x03");
  // ...a longer one is not.
  link.Receive(
      "\x05\x02"
      "123456789");
  for (int i = 0; i < 1000; ++i) {
    link.Receive("no LF comes");
    ASSERT_LE(link.BufferedBytes(), 8u + TRelayLink::kUnitOverhead);
  }
  link.Receive("\r\n\x03" + kLineP + kEot);
  EXPECT_THAT(recorder.events,
              ElementsAre(kLife, StreamRecorder::NoticeEvent(TLinkNoticeKind::kLineTooLong), kLife,
                          "message 2", kLife));
  EXPECT_EQ(recorder.notices[0].text, "Record line dropped: more than 8 bytes");
  EXPECT_THAT(recorder.messages[0], ElementsAre("112345678", "2P|1||42"));
}

TEST(RelayLinkTest, AMessageBeyondItsLimitIsDroppedWholeAndTheNextOneTaken) {
  StreamRecorder recorder;
  TRelayLink link(recorder, TStreamLinkLimits{64, 1, 1000});
  link.Receive(kLineH + kLineP + kEot + kLineP + kEot);
  EXPECT_THAT(recorder.events,
              ElementsAre(kLife, StreamRecorder::NoticeEvent(TLinkNoticeKind::kTooManyLines), kLife,
                          kLife, kLife, "message 1", kLife));
  EXPECT_THAT(recorder.messages[0], ElementsAre("2P|1||42"));
}

TEST(RelayLinkTest, TheDefaultLineBoundAtAndOnePast) {
  // A line of 65,536 bytes and its frame digit is taken, its unit held whole; one
  // of 65,537 is dropped as its unit outgrows that, and the next line is taken.
  const struct {
    size_t bytes;
    bool taken;
  } cases[] = {{65536, true}, {65537, false}};
  for (const auto& c : cases) {
    StreamRecorder recorder;
    TRelayLink link(recorder);
    const std::string line = "1R|" + std::string(c.bytes - 2, 'x');
    const std::string unit = FrameRelayLine(line);
    // The unit up to its LF: ENQ aside, everything is held.
    link.Receive(unit.substr(0, unit.size() - 2));
    EXPECT_EQ(link.BufferedBytes(), c.taken ? 65536u + TRelayLink::kUnitOverhead : 0u) << c.bytes;
    link.Receive(unit.substr(unit.size() - 2) + kLineP + kEot);
    ASSERT_EQ(recorder.messages.size(), 1u) << c.bytes;
    if (c.taken) {
      EXPECT_THAT(recorder.messages[0], ElementsAre(line, "2P|1||42"));
      EXPECT_THAT(recorder.notices, IsEmpty());
    } else {
      EXPECT_THAT(recorder.messages[0], ElementsAre("2P|1||42"));
      ASSERT_EQ(recorder.notices.size(), 1u);
      EXPECT_EQ(recorder.notices[0].kind, TLinkNoticeKind::kLineTooLong);
      EXPECT_EQ(recorder.notices[0].text, "Record line dropped: more than 65536 bytes");
    }
  }
}

TEST(RelayLinkTest, AUnitWithoutItsStxOrCrHasTheSameLineBound) {
  // The unit's STX and CR are taken off when they are there; the bound is the
  // line's, however its unit came.
  const struct {
    const char* name;
    std::string before;
    std::string after;
  } forms[] = {
      {"without CR", "\x05\x02", "\n\x03"},
      {"without STX", "\x05", "\r\n\x03"},
      {"without either", "\x05", "\n\x03"},
  };
  for (const auto& form : forms) {
    for (const size_t bytes : {65536u, 65537u}) {
      StreamRecorder recorder;
      TRelayLink link(recorder);
      const std::string line = "1R|" + std::string(bytes - 2, 'x');
      link.Receive(form.before + line + form.after + kLineP + kEot);
      const bool taken = bytes == 65536;
      ASSERT_EQ(recorder.messages.size(), 1u) << form.name << " " << bytes;
      // Sizes only: the lines are too long to show.
      EXPECT_EQ(recorder.messages[0].size(), taken ? 2u : 1u) << form.name << " " << bytes;
      EXPECT_EQ(recorder.messages[0][0].size(), taken ? bytes + 1 : 8u) << form.name;
      EXPECT_EQ(recorder.notices.size(), taken ? 0u : 1u) << form.name << " " << bytes;
    }
  }
}

TEST(RelayLinkTest, TheDefaultMessageBoundsAtAndOnePast) {
  for (const collector_test::TMessageBoundCase& c : collector_test::kMessageBoundCases) {
    std::string bytes;
    bytes.reserve(c.bytes + 6 * c.lines + 1);
    for (const std::string& record : collector_test::SizedRecords(c.lines, c.bytes))
      bytes += FrameRelayLine("1" + record);
    bytes += kEot;
    StreamRecorder recorder;
    TRelayLink link(recorder);
    link.Receive(bytes);
    collector_test::ExpectBoundOutcome(c, recorder);
  }
}

TEST(RelayLinkTest, AConnectionThatEndsInTheMiddleOfAMessageDropsItAndTheNextStartsAfresh) {
  StreamRecorder recorder;
  TRelayLink link(recorder);
  link.Receive(kLineH +
               "\x05\x02"
               "2P|");
  EXPECT_TRUE(link.HalfMessage());
  link.ConnectionClosed();
  EXPECT_FALSE(link.HalfMessage());
  // The new connection's bytes before its first ENQ are no line (their CR reads as a
  // lifetick).
  link.Receive("1||42\r\n\x03" + kLineP + kEot);
  EXPECT_THAT(recorder.events,
              ElementsAre(kLife, StreamRecorder::NoticeEvent(TLinkNoticeKind::kClosed), kLife,
                          kLife, "message 1", kLife));
  EXPECT_EQ(recorder.notices[0].text, "Message dropped: the connection closed before its end");
  EXPECT_EQ(recorder.notices[0].count, 1u);
  EXPECT_THAT(recorder.messages[0], ElementsAre("2P|1||42"));
  // Closing between messages drops nothing.
  StreamRecorder quiet;
  TRelayLink between(quiet);
  between.Receive(kLineH + kEot + kLifetick);
  between.ConnectionClosed();
  EXPECT_THAT(quiet.notices, IsEmpty());
}

// The ABL9 message taken from the feed, relayed unit by unit and read back by the
// relay client in random pieces: the same lines in the same order.
TEST(RelayLinkTest, TheAbl9MessageRelayedComesThroughWhole) {
  StreamRecorder fed;
  TFeedLink feed(fed);
  feed.Receive(
      collector_test::ReadFixture(QOR_COLLECTOR_TESTDATA_DIR "/04_abl9_soh_eot_message.astm"));
  ASSERT_EQ(fed.messages.size(), 1u);
  std::string stream;
  for (const std::string& line : fed.messages[0])
    stream += FrameRelayLine(line);
  stream += kRelayEndOfMessage;
  stream += kRelayLifetick;
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    StreamRecorder relayed;
    Feed(RandomPieces(stream, seed), &relayed);
    ASSERT_EQ(relayed.messages.size(), 1u) << seed;
    EXPECT_EQ(relayed.messages[0], fed.messages[0]) << seed;
    EXPECT_TRUE(relayed.notices.empty()) << seed;
  }
}

}  // namespace
