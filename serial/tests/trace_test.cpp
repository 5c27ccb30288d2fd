// Tracing and logging: the rings and the files they are written to.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/tests/temp_folder.h"
#include "serial/SerTrace.h"
#include "serial/tests/fake_dispatcher.h"

namespace {

using serial_test::FakeDispatcher;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
    lines.push_back(text.substr(start, at - start));
  }
  return lines;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }
  void Put(const std::string& s) {
    ASSERT_EQ(d.PutBlock(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size())),
              0);
  }
  void Receive(const std::string& s) {
    d.input = s;
    d.ReadFromDevice();
    for (size_t i = 0; i < s.size(); ++i) {
      uint8_t c;
      ASSERT_EQ(d.TakeChar(c), 0);
    }
  }
  std::string Path(const std::string& name) { return folder.path() + "/" + name; }

  FakeDispatcher d;
  platform_test::TempFolder folder{"qor_trace"};
};

TEST_F(TraceTest, DumpGroupsBytesByDirection) {
  ASSERT_EQ(d.StartTrace(100), 0);
  Receive(
      std::string("\x02"
                  "A\r",
                  3));
  Put("x");
  ASSERT_EQ(d.DumpTrace(Path("SER.TRC"), false, false, false), 0);
  EXPECT_EQ(ReadFile(Path("SER.TRC")), "Receive: \r\n[2]A[13]\r\n\r\nTransmit: \r\nx\r\n");
  EXPECT_FALSE(d.Tracing());
  // The trace ended with the dump: a second dump writes nothing.
  ASSERT_EQ(d.DumpTrace(Path("SER2.TRC"), false, false, false), 0);
  EXPECT_FALSE(platform::FileExists(Path("SER2.TRC")));
}

TEST_F(TraceTest, RingKeepsTheNewestEntriesOldestFirst) {
  ASSERT_EQ(d.StartTrace(10), 0);
  Put("abcdefghijklmnopqrstuvwxy");  // 25 bytes
  ASSERT_EQ(d.DumpTrace(Path("t"), false, false, false), 0);
  EXPECT_EQ(ReadFile(Path("t")), "Transmit: \r\npqrstuvwxy\r\n");
}

TEST_F(TraceTest, HexOptionsAndAppending) {
  ASSERT_EQ(d.StartTrace(10), 0);
  Put(" \x7F~");
  ASSERT_EQ(d.DumpTrace(Path("t"), false, true, false), 0);
  ASSERT_EQ(d.StartTrace(10), 0);
  Put(" A");
  ASSERT_EQ(d.DumpTrace(Path("t"), true, false, false), 0);
  ASSERT_EQ(d.StartTrace(10), 0);
  Put("A\x0A");
  ASSERT_EQ(d.DumpTrace(Path("t"), true, false, true), 0);
  EXPECT_EQ(ReadFile(Path("t")),
            "Transmit: \r\n[20][7F]~\r\n"
            "Transmit: \r\n A\r\n"
            "Transmit: \r\n[41][0A]\r\n");
}

TEST_F(TraceTest, LongLinesWrapAtColumn78) {
  ASSERT_EQ(d.StartTrace(100), 0);
  Put(std::string(80, 'z'));
  ASSERT_EQ(d.DumpTrace(Path("t"), false, false, false), 0);
  EXPECT_EQ(ReadFile(Path("t")), "Transmit: \r\n" + std::string(78, 'z') + "\r\nzz\r\n");
}

TEST_F(TraceTest, ATraceUpToTheLimitIsTakenAndALargerOneRefused) {
  const struct {
    uint32_t size;
    int result;
    bool tracing;
  } cases[] = {{kMaxTraceSize, 0, true}, {kMaxTraceSize + 1, -1002, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(d.StartTrace(c.size), c.result);
    EXPECT_EQ(d.Tracing(), c.tracing);
    d.StopTrace();
  }
}

TEST_F(TraceTest, UnwritableFileGivesMinusTheErrorAndEndsTheTrace) {
  ASSERT_EQ(d.StartTrace(10), 0);
  Put("a");
  EXPECT_EQ(d.DumpTrace(Path("no/such/folder/t"), false, false, false), -2);
  EXPECT_EQ(d.DumpTrace(Path("t"), false, false, false), 0);
  EXPECT_FALSE(platform::FileExists(Path("t")));
}

TEST(LogTimeTest, PointBeforeTheMilliseconds) {
  EXPECT_EQ(FormatLogTime(0), "0000.000");
  EXPECT_EQ(FormatLogTime(12345), "0012.345");
  EXPECT_EQ(FormatLogTime(9999999), "9999.999");
  EXPECT_EQ(FormatLogTime(10000000), "10000.000");
  EXPECT_EQ(FormatLogTime(4294967295u), "4294967.295");
}

// The log's header writes at most 80 characters of the operating system's text.
TEST(LogHeaderTest, TheSystemTextIsKeptUpToTheLongestLengthAndCutBeyond) {
  EXPECT_EQ(HeaderSystemText(std::string(80, 's')), std::string(80, 's'));
  EXPECT_EQ(HeaderSystemText(std::string(81, 's')), std::string(80, 's'));
  EXPECT_EQ(kMaxSystemText, 80u);
}

TEST(TraceByteTest, ByteFormats) {
  EXPECT_EQ(FormatTraceByte(' ', false, false, false), " ");
  EXPECT_EQ(FormatTraceByte(' ', true, false, false), "[20]");
  EXPECT_EQ(FormatTraceByte(5, false, false, false), "[5]");
  EXPECT_EQ(FormatTraceByte(13, false, false, false), "[13]");
  EXPECT_EQ(FormatTraceByte(200, false, false, false), "[200]");
  EXPECT_EQ(FormatTraceByte(200, true, false, false), "[C8]");
  EXPECT_EQ(FormatTraceByte('a', false, true, false), "[61]");
  EXPECT_EQ(FormatTraceByte(1, false, true, true), "\x01");
}

TEST_F(TraceTest, EmptyLogWritesNoFile) {
  ASSERT_EQ(d.StartLog(1000), 0);
  EXPECT_EQ(d.DumpLog(Path("SER.LOG"), false, false, false), 0);
  EXPECT_FALSE(platform::FileExists(Path("SER.LOG")));
  EXPECT_FALSE(d.Logging());
}

TEST_F(TraceTest, LogFileHeaderAndEntries) {
  d.SetDeviceName("COM1");
  ASSERT_EQ(d.StartLog(1000), 0);
  d.input = "AB";
  d.ReadFromDevice();
  d.SetTriggerLength(1);
  ASSERT_EQ(d.DumpLog(Path("SER.LOG"), false, false, false), 0);
  const std::vector<std::string> lines = Lines(ReadFile(Path("SER.LOG")));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "SERLIB v4.00");
  EXPECT_EQ(lines[1].rfind("Compiler : ", 0), 0u);
  EXPECT_EQ(lines[2].rfind("Operating System : ", 0), 0u);
  EXPECT_LE(lines[2].size(), 19u + 80u);
  EXPECT_EQ(lines[3], "Device: COM1");
  EXPECT_EQ(lines[4], "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(lines[5], "--------  --------  ------------  --------  ---------");
  // "%8s  %-8s  %-12s  %08.8x  ", then the data; the time is whatever passed.
  EXPECT_EQ(lines[6].substr(8), "  Dispatch  ReadCom       00000002  AB");
  EXPECT_EQ(lines[7].substr(8), "  TrDatChg  Avail         00000001  ");
}

TEST_F(TraceTest, LogDataWrapsUnderTheDataColumn) {
  ASSERT_EQ(d.StartLog(1000), 0);
  Put(std::string(40, 'w'));
  ASSERT_EQ(d.DumpLog(Path("l"), false, false, false), 0);
  const std::vector<std::string> lines = Lines(ReadFile(Path("l")));
  ASSERT_EQ(lines.size(), 8u);
  // The data column starts at 45 and a line ends before an item would pass 78:
  // 33 bytes on the first line, the rest indented under the data column.
  EXPECT_EQ(lines[6].size(), 44u + 33u);
  EXPECT_EQ(lines[7], std::string(44, ' ') + std::string(7, 'w'));
}

TEST_F(TraceTest, LogPushesOutWholeOldEntriesAndDropsOversizedOnes) {
  ASSERT_EQ(d.StartLog(64), 0);  // room for 64 bytes: 16-byte headers plus data
  Put("0123456789");             // entry 1: 26 bytes
  Put("abcdefghij");             // entry 2: 26 bytes
  Put("KLMNOPQRST");             // entry 3 pushes out entry 1 only
  Put(std::string(48, 'x'));     // 64 bytes with its header: never stored
  ASSERT_EQ(d.DumpLog(Path("l"), false, false, false), 0);
  const std::vector<std::string> lines = Lines(ReadFile(Path("l")));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_NE(lines[6].find("0000000a  abcdefghij"), std::string::npos);
  EXPECT_NE(lines[7].find("0000000a  KLMNOPQRST"), std::string::npos);
}

TEST_F(TraceTest, LogEntryLargerThanTheQueuesIsKeptWhole) {
  // Reads of up to 8192 bytes are larger than the 4096-byte queues.
  ASSERT_EQ(d.StartLog(20000), 0);
  d.input = std::string(8192, 'r');
  d.ReadFromDevice();
  ASSERT_EQ(d.DumpLog(Path("l"), false, false, false), 0);
  const std::vector<std::string> lines = Lines(ReadFile(Path("l")));
  size_t count = 0;
  for (size_t i = 6; i < lines.size(); ++i)
    count += std::count(lines[i].begin() + 44, lines[i].end(), 'r');
  EXPECT_EQ(count, 8192u);
}

}  // namespace
