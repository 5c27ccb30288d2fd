#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/tests/test_support.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace {

using qor_test::Bytes;

constexpr std::string_view kPlainHeader = "QOR Fluvantronics Save File Header 2.0";
constexpr std::string_view kChecksumHeader = "*QOR Fluvantronics Save File Header 2.0";

// A plain file whose header record holds Body after the header text.
std::vector<uint8_t> PlainFile(const Bytes& body) {
  return qor_test::PlainRecord(1, Bytes().I32(9).Str(kPlainHeader).Append(body)).vec();
}

// The same with checksums.
std::vector<uint8_t> ChecksummedFile(const Bytes& body) {
  return qor_test::CheckedRecord(1, Bytes().I32(9).Str(kChecksumHeader).Append(body)).vec();
}

// What the test handler does with a tag.
enum class Kind { kEnter, kByte, kInt, kDouble, kString, kSkip, kPoint, kBuffer4 };

// A handler that reads every tag as a table says and writes down what it saw, so a
// test compares the whole walk through a file at once.
struct Walk {
  std::map<int32_t, Kind> kinds;
  std::vector<std::string> seen;
  std::function<void(int32_t, TVistaReader&)> extra;  // runs after each field

  static void Handler(void* user_data, int32_t tag, TVistaReader& reader) {
    auto& walk = *static_cast<Walk*>(user_data);
    const auto it = walk.kinds.find(tag);
    const Kind kind = it == walk.kinds.end() ? Kind::kSkip : it->second;
    std::string entry = std::to_string(tag);
    switch (kind) {
      case Kind::kEnter:
        reader.BeginFolding(tag);
        entry += "{";
        break;
      case Kind::kByte:
        entry += "=" + std::to_string(reader.ReadByteField());
        break;
      case Kind::kInt:
        entry += "=" + std::to_string(reader.ReadIntegerField());
        break;
      case Kind::kDouble:
        entry += "=" + std::to_string(reader.ReadDoubleField());
        break;
      case Kind::kString:
        entry += "='" + reader.ReadStringField() + "'";
        break;
      case Kind::kSkip:
        reader.SkipField();
        break;
      case Kind::kBuffer4: {
        uint8_t buffer[4];
        reader.ReadBufferField(buffer, 4);
        entry += "=";
        for (uint8_t b : buffer)
          entry += "0" + std::to_string(b);
        break;
      }
      case Kind::kPoint: {
        // A data point as the monitor-data file stores it: a group of int16 index,
        // double time and double value, read by the handler itself.
        reader.BeginGroup(reader.ReadSize());
        int16_t index;
        double time, value;
        reader.ReadBuffer(&index, 2);
        reader.ReadBuffer(&time, 8);
        reader.ReadBuffer(&value, 8);
        reader.EndGroup();
        entry += "=" + std::to_string(index) + "/" + std::to_string(static_cast<int>(value));
        break;
      }
    }
    walk.seen.push_back(entry);
    if (walk.extra) walk.extra(tag, reader);
  }
};

class ReaderTest : public ::testing::Test {
 protected:
  ReaderTest() {
    reader_.SetOnFoldingEnd(
        [this](TVistaReader&, uint8_t, bool ok) { walk_.seen.push_back(ok ? "}" : "}!"); });
  }

  bool ReadBytes(const std::vector<uint8_t>& bytes, int64_t start = 0) {
    qor_test::Fill(stream_, bytes);
    stream_.SetPosition(start);
    return reader_.Read(stream_, &Walk::Handler, &walk_);
  }

  // The message of the exception reading Bytes raises, or "" when none.
  std::string ReadError(const std::vector<uint8_t>& bytes) {
    try {
      ReadBytes(bytes);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  // A small file through the writer: fields, a nested record, and (plain files
  // only, as the monitor-data file has them) data points after the header record.
  std::vector<uint8_t> SampleFile(bool checksums) {
    platform::MemoryStream file;
    TVistaWriter writer;
    writer.SetUseChecksums(checksums);
    writer.SetStream(&file);
    writer.WriteHeader();
    writer.WriteIntegerField(2, 8);
    writer.BeginFolding(200);
    writer.WriteStringField(201, "Radiometer");
    writer.BeginFolding(300);
    writer.WriteDoubleField(301, 2.5);
    writer.EndFolding();
    writer.WriteByteField(202, 1);
    writer.EndFolding();
    writer.FinishFile();
    for (int16_t i = 0; i < 2; ++i) {
      writer.BeginGroup(220);
      writer.WriteBuffer(&i, 2);
      const double time = 45000.0, value = 7 + i;
      writer.WriteBuffer(&time, 8);
      writer.WriteBuffer(&value, 8);
      writer.EndGroup();
    }
    return qor_test::Contents(file);
  }

  void ExpectSeen(const std::vector<std::string>& expected) { EXPECT_EQ(walk_.seen, expected); }

  platform::MemoryStream stream_;
  TVistaReader reader_;
  Walk walk_{{{9, Kind::kString},
              {2, Kind::kInt},
              {200, Kind::kEnter},
              {201, Kind::kString},
              {300, Kind::kEnter},
              {301, Kind::kDouble},
              {202, Kind::kByte},
              {220, Kind::kPoint}},
             {},
             {}};
};

TEST_F(ReaderTest, PlainFileReadsInGroupModeToTheEndOfTheStream) {
  EXPECT_TRUE(ReadBytes(SampleFile(false)));
  EXPECT_FALSE(reader_.FoldingMode());
  EXPECT_EQ(reader_.MajorVersion(), 2);
  EXPECT_EQ(reader_.MinorVersion(), 0);
  // The header record is no group in a plain file: its fields and the points after
  // it arrive at the same level. Groups have no check byte to confirm ("}!").
  ExpectSeen({"2=8", "200{", "201='Radiometer'", "300{", "301=2.500000", "}!", "202=1", "}!",
              "220=0/7", "220=1/8"});
}

TEST_F(ReaderTest, ChecksummedFileReadsInFoldingModeAndEndsWithTheHeaderRecord) {
  std::vector<uint8_t> bytes = SampleFile(true);
  EXPECT_TRUE(ReadBytes(bytes));
  EXPECT_TRUE(reader_.FoldingMode());
  ExpectSeen({"2=8", "200{", "201='Radiometer'", "300{", "301=2.500000", "}", "202=1", "}", "}"});
  EXPECT_EQ(reader_.Depth(), 0);
}

// One changed byte deep inside: every folding around it reports a mismatch, and
// reading still completes.
TEST_F(ReaderTest, ChangedBodyByteIsReportedAtEveryLevel) {
  std::vector<uint8_t> bytes = SampleFile(true);
  const Bytes inner_value = Bytes().F64(2.5);
  auto at =
      std::search(bytes.begin(), bytes.end(), inner_value.vec().begin(), inner_value.vec().end());
  ASSERT_NE(at, bytes.end());
  at[7] ^= 0x01;  // the double's top byte: 2.5 becomes another value, sizes untouched
  EXPECT_FALSE(ReadBytes(bytes));
  EXPECT_FALSE(reader_.ChecksumsOK());
  ASSERT_EQ(walk_.seen.size(), 9u);
  EXPECT_EQ(walk_.seen[5], "}!");  // record 300
  EXPECT_EQ(walk_.seen[7], "}!");  // record 200
  EXPECT_EQ(walk_.seen[8], "}!");  // header record
}

TEST_F(ReaderTest, ChangedCheckByteIsReportedNotRaised) {
  std::vector<uint8_t> bytes = SampleFile(true);
  bytes[bytes.size() - 1 - 2 * 26] ^= 0xFF;  // the header record's own check byte
  EXPECT_FALSE(ReadBytes(bytes));
  EXPECT_EQ(walk_.seen.back(), "}!");
  EXPECT_EQ(walk_.seen[5], "}");
}

TEST_F(ReaderTest, StopEndsReadingAndEmptiesTheStacks) {
  for (bool checksums : {true, false}) {
    SCOPED_TRACE(checksums);
    walk_.seen.clear();
    walk_.extra = [](int32_t tag, TVistaReader& reader) {
      if (tag == 201) reader.Stop();
    };
    EXPECT_EQ(ReadBytes(SampleFile(checksums)), !checksums);
    EXPECT_EQ(walk_.seen.back(), "201='Radiometer'");
    EXPECT_EQ(reader_.Depth(), 0);
    EXPECT_EQ(reader_.CurrentObject(), nullptr);
  }
}

TEST_F(ReaderTest, CurrentObjectFollowsTheOpenRecords) {
  TObject outer, inner;
  std::vector<TObject*> current;
  walk_.extra = [&](int32_t tag, TVistaReader& reader) {
    if (tag == 200) reader.SetCurrentObject(&outer);
    if (tag == 300) reader.SetCurrentObject(&inner);
    current.push_back(reader.CurrentObject());
  };
  for (bool checksums : {true, false}) {
    current.clear();
    ReadBytes(SampleFile(checksums));
    // After 2, 200, 201, 300, 301, 202 (and, plain, the two points).
    std::vector<TObject*> expected = {nullptr, &outer, &outer, &inner, &inner, &outer};
    if (!checksums) expected.insert(expected.end(), {nullptr, nullptr});
    EXPECT_EQ(current, expected);
  }
}

TEST_F(ReaderTest, BytesAfterTheHeaderRecordOfAChecksummedFileAreNotRead) {
  std::vector<uint8_t> bytes = SampleFile(true);
  Bytes garbage = Bytes().I32(-1).I32(-1000);
  bytes.insert(bytes.end(), garbage.vec().begin(), garbage.vec().end());
  EXPECT_TRUE(ReadBytes(bytes));
  EXPECT_EQ(walk_.seen.size(), 9u);
}

TEST_F(ReaderTest, ReadingStartsAtTheStreamPosition) {
  Bytes bytes = Bytes().U8(0xEE).U8(0xEE).U8(0xEE);
  const std::vector<uint8_t> file = SampleFile(false);
  bytes.Raw(file.data(), file.size());
  EXPECT_TRUE(ReadBytes(bytes.vec(), 3));
  EXPECT_EQ(walk_.seen.size(), 10u);
}

// Old files: int32 1, then the header string itself.
TEST_F(ReaderTest, OldHeaderVersions) {
  struct Case {
    const char* name;
    Bytes bytes;
    int major, minor;
  };
  const std::string v11 = "QOR Fluvantronics Save File Header 1.1";
  const std::string v15 = "QOR Fluvantronics Save File Header 1.5";
  const std::string v10 = "QOR Fluvantronics Save File Header 1.0";
  // Version 1.1: string lengths count the characters only.
  Bytes old11 = Bytes().I32(1).I32(38).I32(1).Text(v11);
  old11.I32(201).I32(2).I32(1).Text("ab").I32(2).I32(4).I32(8);
  // Version 1.5: string lengths count the character-size field as well.
  Bytes old15 = Bytes().I32(1).I32(42).I32(1).Text(v15);
  old15.I32(201).I32(6).I32(1).Text("ab").I32(2).I32(4).I32(8);
  // Version 1.0: every size takes 8 bytes; string lengths count characters only.
  Bytes old10 = Bytes().I32(1).I32(38).I32(1).Text(v10);
  old10.I32(201).I32(2).I32(1).Text("ab").I32(2).I32(4).I32(0x5A5A5A5A).I32(8);
  const Case cases[] = {{"1.1", old11, 1, 1}, {"1.5", old15, 1, 5}, {"1.0", old10, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    walk_.seen.clear();
    EXPECT_TRUE(ReadBytes(c.bytes.vec()));
    EXPECT_FALSE(reader_.FoldingMode());
    EXPECT_EQ(reader_.MajorVersion(), c.major);
    EXPECT_EQ(reader_.MinorVersion(), c.minor);
    ExpectSeen({"201='ab'", "2=8"});
  }
}

TEST_F(ReaderTest, OldHeaderAfterPrefixIsReadFromWhereReadingStarted) {
  Bytes bytes =
      Bytes().I32(77).I32(1).I32(38).I32(1).Text("QOR Fluvantronics Save File Header 1.1");
  bytes.I32(2).I32(4).I32(8);
  EXPECT_TRUE(ReadBytes(bytes.vec(), 4));
  EXPECT_EQ(reader_.MinorVersion(), 1);
  ExpectSeen({"2=8"});
}

TEST_F(ReaderTest, FieldValuesOfUnusualSizes) {
  Bytes body;
  body.I32(10).I32(2).U8(0xFF).U8(0xFF);               // integer of 2 bytes, unsigned
  body.I32(11).I32(1).U8(0xFE);                        // integer of 1 byte
  body.I32(12).I32(6).I32(-5).U8(1).U8(2);             // integer followed by unknown bytes
  body.I32(13).I32(3).U8(9).U8(1).U8(2);               // byte field of 3 bytes
  body.I32(14).I32(10).F64(0.25).U8(0).U8(0);          // double followed by unknown bytes
  body.I32(15).I32(8).I32(2).I16(u'a').I16(u'b');      // UTF-16 string
  body.I32(16).I32(8).I32(2).I16(0x20AC).I16(0x4E2D);  // euro sign and a CJK character
  body.I32(17).I32(7).I32(3).Text("abc");              // unknown character size
  body.I32(18).I32(4).I32(1);                          // empty string
  body.I32(19).I32(10).I32(2).I16(0xD83D).I16(0xDE00).I16(u'z');  // a surrogate pair, then z
  walk_.kinds = {{9, Kind::kSkip},    {10, Kind::kInt},    {11, Kind::kInt},    {12, Kind::kInt},
                 {13, Kind::kByte},   {14, Kind::kDouble}, {15, Kind::kString}, {16, Kind::kString},
                 {17, Kind::kString}, {18, Kind::kString}, {19, Kind::kString}};
  EXPECT_TRUE(ReadBytes(PlainFile(body)));
  // Each UTF-16 code unit becomes one character, so a pair outside the code page
  // gives two.
  ExpectSeen({"10=65535", "11=254", "12=-5", "13=9", "14=0.250000", "15='ab'", "16='\x80?'",
              "17=''", "18=''", "19='??z'"});
}

TEST_F(ReaderTest, ChecksummedFileCountsEveryByteOfOddFields) {
  // A checksummed file whose fields carry bytes the reader passes over: those bytes
  // are still part of the folding's sum.
  Bytes body;
  body.I32(13).I32(3).U8(9).U8(1).U8(2);
  body.I32(50).I32(2).U8(0xAB).U8(0xCD);  // skipped whole
  walk_.kinds = {{13, Kind::kByte}};
  EXPECT_TRUE(ReadBytes(ChecksummedFile(body)));
  ExpectSeen({"13=9", "50", "}"});
}

// The exceptions of the failure table, with their exact messages.
TEST_F(ReaderTest, FailureMessages) {
  walk_.kinds = {{9, Kind::kString}, {4, Kind::kInt}, {100, Kind::kEnter}, {6, Kind::kString}};

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  Bytes folding_ends_inside_a_field = Bytes().I32(100).I32(6).I32(4).I32(4).I32(1);
  folding_ends_inside_a_field.U8(0);
  const Case cases[] = {
      {"first int32 not 1", Bytes().I32(2).I32(0).vec(), "Exception: No QOR file"},
      {"empty stream", {}, "Exception: No QOR file"},
      {"second tag not 9", Bytes().I32(1).I32(20).I32(8).Str("abcd").vec(),
       "Exception:Not a valid qor-file"},
      {"neither header text", Bytes().I32(1).I32(22).I32(9).Str("Hello!").vec(),
       "Exception:Not a valid qor-file"},
      {"folding closed inside a field", ChecksummedFile(folding_ends_inside_a_field),
       "Exception:The file has been corrupted."},
      {"skip past the end", ChecksummedFile(Bytes().I32(50).I32(1000)), "Exception:Error in file"},
      {"skip past the end, plain", PlainFile(Bytes().I32(50).I32(1000)), "Exception:Error in file"},
      {"stream ends inside a tag", PlainFile(Bytes().U8(1).U8(2)), "Stream read error"},
      {"stream ends inside an integer", PlainFile(Bytes().I32(4).I32(4).U8(1)),
       "Stream read error"},
      {"stream ends inside a 2-byte integer", PlainFile(Bytes().I32(4).I32(2).U8(1)),
       "Stream read error"},
      {"stream ends inside a string's text", PlainFile(Bytes().I32(6).I32(10).I32(1).Text("ab")),
       "Stream read error"},
      {"stream ends inside UTF-16 text", PlainFile(Bytes().I32(6).I32(10).I32(2).I16(u'a')),
       "Stream read error"},
      {"stream ends inside a string's header", PlainFile(Bytes().I32(6).I32(10).U8(1)),
       "Stream read error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadError(c.bytes), c.message);
  }
}

TEST_F(ReaderTest, HeaderFailuresAreInvalidQORFileExceptions) {
  qor_test::Fill(stream_, Bytes().I32(7).vec());
  EXPECT_THROW(reader_.Read(stream_, &Walk::Handler, &walk_), EInvalidQORFIle);
  qor_test::Fill(stream_, Bytes().I32(1).I32(22).I32(9).Str("Hello!").vec());
  EXPECT_THROW(reader_.Read(stream_, &Walk::Handler, &walk_), EInvalidQORFIle);
}

TEST_F(ReaderTest, BufferFieldMustHaveTheSizeAsked) {
  const auto file = [](int32_t size) {
    Bytes body = Bytes().I32(40).I32(size).I32(0x04030201).Raw("\x05\x06", size - 4);
    return Bytes().I32(1).I32(50).I32(9).Str(kPlainHeader).Append(body).vec();
  };
  walk_.kinds = {{40, Kind::kBuffer4}};
  EXPECT_TRUE(ReadBytes(file(4)));
  ExpectSeen({"40=01020304"});
  EXPECT_EQ(ReadError(file(6)), "Exception:Error in file");
}

TEST_F(ReaderTest, CallsThatNeedAnOpenRecordOrAStream) {
  TVistaReader fresh;
  // Every operation that needs the stream says so, never touches a missing one.
  const std::function<void()> stream_calls[] = {
      [&] { (void)fresh.Position(); }, [&] { fresh.BeginGroup(4); },
      [&] { fresh.MarkBlock(4); },     [&] { (void)fresh.ReadTag(); },
      [&] { fresh.Skip(1); },          [&] { fresh.SkipToBlockEnd(); },
  };
  for (const auto& call : stream_calls)
    EXPECT_EQ(qor_test::MessageOf<Exception>(call), "Exception:No Stream");
  TObject object;
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { fresh.SetCurrentObject(&object); }),
            "Exception:Error in VistaReader.SetCurrentObject");
  EXPECT_EQ(fresh.CurrentObject(), nullptr);
  for (bool folding_mode : {true, false}) {
    fresh.SetFoldingMode(folding_mode);
    EXPECT_EQ(qor_test::MessageOf<Exception>([&] { fresh.EndFolding(); }),
              "Exception:Foldings do not match");
  }
}

// Damaged sizes must end reading with an orderly error: never a crash, a loop, a
// step backwards or an allocation the stream cannot back.
TEST_F(ReaderTest, HostileSizes) {
  walk_.kinds = {{9, Kind::kString}, {100, Kind::kEnter}, {6, Kind::kString},
                 {7, Kind::kInt},    {8, Kind::kByte},    {220, Kind::kPoint}};
  const char* corrupted = "Exception:The file has been corrupted.";
  const char* error = "Exception:Error in file";
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  const Case cases[] = {
      {"negative field size", PlainFile(Bytes().I32(50).I32(-8)), error},
      {"negative record size", PlainFile(Bytes().I32(100).I32(-16)), corrupted},
      {"record past the stream", PlainFile(Bytes().I32(100).I32(1000).I32(7)), corrupted},
      {"record past its enclosing record",
       PlainFile(Bytes().I32(100).I32(16).I32(100).I32(20).I32(7).I32(4).I32(1).I32(0)), corrupted},
      {"folding without room for its check byte", ChecksummedFile(Bytes().I32(100).I32(0)),
       corrupted},
      {"folding past the stream", ChecksummedFile(Bytes().I32(100).I32(0x7FFFFFFF)), corrupted},
      {"folding past its enclosing folding",
       ChecksummedFile(Bytes().I32(100).I32(10).I32(100).I32(5).U8(0).U8(0)), corrupted},
      {"header record past the stream",
       Bytes().I32(1).I32(0x7FFFFFF0).I32(9).Str(kChecksumHeader).vec(), corrupted},
      {"string length below 4", PlainFile(Bytes().I32(6).I32(3).I32(1)), error},
      {"string longer than the stream", PlainFile(Bytes().I32(6).I32(0x7FFFFFFF).I32(1)),
       "Stream read error"},
      {"odd UTF-16 length", PlainFile(Bytes().I32(6).I32(7).I32(2).U8(1).U8(2).U8(3)), error},
      {"integer longer than the stream", PlainFile(Bytes().I32(7).I32(100).I32(1)), error},
      {"empty byte field", PlainFile(Bytes().I32(8).I32(0).I32(8).I32(1).U8(1)), error},
      {"point shorter than its content",
       PlainFile(Bytes().I32(220).I32(10).I16(0).F64(1).I32(7).I32(4).I32(1)), corrupted},
      {"version 1.0 size fields past the end",
       Bytes().I32(1).I32(38).I32(1).Text("QOR Fluvantronics Save File Header 1.0").I32(7).vec(),
       "Stream read error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadError(c.bytes), c.message);
  }
}

// The reader has no fixed bounds: every size is held against the bytes there are.
// A size that ends exactly where its stream or enclosing folding ends is read; a
// size one byte larger is the error HostileSizes shows for larger ones.
TEST_F(ReaderTest, ASizeEndingAtTheEndIsReadAndOneByteMoreIsNot) {
  walk_.kinds = {{6, Kind::kString}, {7, Kind::kInt}, {100, Kind::kEnter}};
  const size_t plain_size_at = PlainFile(Bytes()).size() + 4;
  const size_t checked_size_at = ChecksummedFile(Bytes()).size() - 1 + 4;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t size_at;  // the low byte of the size that ends at the end
    std::vector<std::string> seen;
    const char* message_past;
  };
  const Case cases[] = {
      {"a field",
       PlainFile(Bytes().I32(50).I32(3).U8(1).U8(2).U8(3)),
       plain_size_at,
       {"50"},
       "Exception:Error in file"},
      {"a string",
       PlainFile(Bytes().I32(6).I32(7).I32(1).Text("abc")),
       plain_size_at,
       {"6='abc'"},
       "Stream read error"},
      {"a record",
       PlainFile(Bytes().I32(100).I32(12).Append(Bytes().I32(7).I32(4).I32(5))),
       plain_size_at,
       {"100{", "7=5", "}!"},
       "Exception:The file has been corrupted."},
      {"a folding in the header record",
       ChecksummedFile(qor_test::CheckedRecord(100, Bytes().I32(7).I32(4).I32(5))),
       checked_size_at,
       {"100{", "7=5", "}", "}"},
       "Exception:The file has been corrupted."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    walk_.seen.clear();
    EXPECT_EQ(ReadError(c.bytes), "");
    ExpectSeen(c.seen);
    std::vector<uint8_t> past = c.bytes;
    ++past[c.size_at];
    EXPECT_EQ(ReadError(past), c.message_past);
  }
}

// Records are opened and closed without recursion: nesting has no bound but the
// stream's size, and costs no stack.
TEST_F(ReaderTest, NestingIsBoundOnlyByTheStream) {
  constexpr int kDepth = 100000;
  Bytes body;
  for (int i = 0; i < kDepth; ++i)
    body.I32(100).I32((kDepth - 1 - i) * 8 + 12);
  body.I32(7).I32(4).I32(5);
  walk_.kinds = {{7, Kind::kInt}, {100, Kind::kEnter}};
  EXPECT_TRUE(ReadBytes(PlainFile(body)));
  ASSERT_GT(walk_.seen.size(), size_t{kDepth});
  EXPECT_EQ(walk_.seen[0], "100{");
  EXPECT_EQ(walk_.seen[kDepth - 1], "100{");
  EXPECT_EQ(walk_.seen[kDepth], "7=5");
}

// A plain file is read to the end of the stream whatever size its header record
// states; only a checksummed file needs that size.
TEST_F(ReaderTest, PlainHeaderRecordSizeIsNotUsed) {
  const std::vector<uint8_t> sample = SampleFile(false);
  for (const int32_t size : {0, -5, 3, 0x7FFFFFF0, std::numeric_limits<int32_t>::min()}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> bytes = sample;
    std::memcpy(bytes.data() + 4, &size, 4);
    walk_.seen.clear();
    EXPECT_TRUE(ReadBytes(bytes));
    EXPECT_FALSE(reader_.FoldingMode());
    ExpectSeen({"2=8", "200{", "201='Radiometer'", "300{", "301=2.500000", "}!", "202=1", "}!",
                "220=0/7", "220=1/8"});
  }
}

TEST_F(ReaderTest, ChecksummedHeaderRecordNeedsItsSize) {
  const std::vector<uint8_t> sample = SampleFile(true);
  for (const int32_t size : {0, -5, 3}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> bytes = sample;
    std::memcpy(bytes.data() + 4, &size, 4);
    EXPECT_EQ(ReadError(bytes), "Exception:The file has been corrupted.");
  }
}

TEST_F(ReaderTest, NullHandlerSkipsEverything) {
  qor_test::Fill(stream_, SampleFile(false));
  EXPECT_TRUE(reader_.Read(stream_, nullptr, nullptr));
  EXPECT_EQ(stream_.Position(), stream_.Size());
}

TEST_F(ReaderTest, MarkedBlockIsLeftAtItsEnd) {
  Bytes body = Bytes().I32(70).I32(12).I32(1).I32(2).I32(3).I32(2).I32(4).I32(9);
  Bytes file = Bytes().I32(1).I32(50).I32(9).Str(kPlainHeader).Append(body);
  int32_t first = 0;
  // The handler reads a block of 12 bytes partly and leaves it at its end.
  struct BlockWalk {
    static void Handler(void* user, int32_t tag, TVistaReader& reader) {
      auto* first = static_cast<int32_t*>(user);
      if (tag == 70) {
        reader.MarkBlock(reader.ReadSize());
        reader.ReadBuffer(first, 4);
        reader.SkipToBlockEnd();
      } else if (tag == 2) {
        *first += 100 * reader.ReadIntegerField();
      } else {
        reader.SkipField();
      }
    }
  };
  qor_test::Fill(stream_, file.vec());
  EXPECT_TRUE(reader_.Read(stream_, &BlockWalk::Handler, &first));
  EXPECT_EQ(first, 901);
}

}  // namespace
