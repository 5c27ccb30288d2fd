#include <gtest/gtest.h>

#include "datafile/QORClassWriter.h"
#include "datafile/tests/test_support.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace {

using qor_test::Bytes;
using qor_test::Contents;

constexpr std::string_view kPlainHeader = "QOR Fluvantronics Save File Header 2.0";
constexpr std::string_view kChecksumHeader = "*QOR Fluvantronics Save File Header 2.0";

class WriterTest : public ::testing::Test {
 protected:
  void Start(bool checksums) {
    writer_.SetUseChecksums(checksums);
    writer_.SetStream(&stream_);
  }
  std::vector<uint8_t> Written() const { return Contents(stream_); }

  platform::MemoryStream stream_;
  TVistaWriter writer_;
};

TEST_F(WriterTest, PlainHeaderOnlyFileIs58Bytes) {
  Start(false);
  writer_.WriteHeader();
  writer_.FinishFile();
  const Bytes expected = Bytes().I32(1).I32(50).I32(9).I32(42).I32(1).Text(kPlainHeader);
  ASSERT_EQ(expected.size(), 58u);
  EXPECT_EQ(Written(), expected.vec());
}

TEST_F(WriterTest, ChecksummedHeaderOnlyFileIs60BytesAndSumsToTwiceItsCheckByte) {
  Start(true);
  writer_.WriteHeader();
  writer_.FinishFile();
  Bytes expected = Bytes().I32(1).I32(52).I32(9).I32(43).I32(1).Text(kChecksumHeader);
  expected.U8(expected.Sum());
  ASSERT_EQ(expected.size(), 60u);
  EXPECT_EQ(Written(), expected.vec());
  EXPECT_EQ(expected.Sum(), static_cast<uint8_t>(2 * expected.vec().back()));
}

TEST_F(WriterTest, FieldsOfEveryKind) {
  Start(false);
  const uint8_t buffer[3] = {0xAA, 0xBB, 0xCC};
  writer_.WriteByteField(5, 1);
  writer_.WriteIntegerField(6, -2);
  writer_.WriteDoubleField(7, 1.5);
  writer_.WriteBufferField(8, buffer, 3);
  writer_.WriteStringField(10, "");
  writer_.WriteStringField(11, "ab");
  writer_.WriteString("x");
  writer_.WriteInt32(0x01020304);
  writer_.WriteBuffer(buffer, 2);
  Bytes expected;
  expected.I32(5).I32(1).U8(1);
  expected.I32(6).I32(4).I32(-2);
  expected.I32(7).I32(8).F64(1.5);
  expected.I32(8).I32(3).U8(0xAA).U8(0xBB).U8(0xCC);
  expected.I32(10).I32(4).I32(1);
  expected.I32(11).I32(6).I32(1).Text("ab");
  expected.I32(5).I32(1).Text("x");
  expected.U8(4).U8(3).U8(2).U8(1);
  expected.U8(0xAA).U8(0xBB);
  EXPECT_EQ(Written(), expected.vec());
}

TEST_F(WriterTest, NegativeTagsAreTwosComplement) {
  Start(false);
  writer_.BeginFolding(-23);
  writer_.EndFolding();
  EXPECT_EQ(Written(), (std::vector<uint8_t>{0xE9, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST_F(WriterTest, EmptyFoldingWithChecksumsHoldsOnlyItsCheckByte) {
  Start(true);
  writer_.BeginFolding(7);
  writer_.EndFolding();
  // Tag 7, size 1, check byte 7 + 1.
  EXPECT_EQ(Written(), (std::vector<uint8_t>{7, 0, 0, 0, 1, 0, 0, 0, 8}));
}

TEST_F(WriterTest, NestedFoldingCountsInnerRecordWithItsCheckByte) {
  Start(true);
  writer_.BeginFolding(100);
  writer_.WriteIntegerField(2, 8);
  writer_.BeginFolding(200);
  writer_.WriteByteField(3, 0x7F);
  writer_.EndFolding();
  writer_.EndFolding();

  Bytes inner = Bytes().I32(200).I32(9 + 1).I32(3).I32(1).U8(0x7F);
  inner.U8(inner.Sum());
  Bytes body = Bytes().I32(2).I32(4).I32(8).Append(inner);
  Bytes outer = qor_test::CheckedRecord(100, body);
  EXPECT_EQ(Written(), outer.vec());
}

TEST_F(WriterTest, GroupInFoldingHasNoCheckByteButCountsInTheFolding) {
  Start(true);
  writer_.BeginFolding(100);
  writer_.BeginGroup(220);
  writer_.WriteInt32(5);
  writer_.EndGroup();
  writer_.EndFolding();

  const Bytes group = Bytes().I32(220).I32(4).I32(5);
  Bytes outer = qor_test::CheckedRecord(100, group);
  EXPECT_EQ(Written(), outer.vec());
}

TEST_F(WriterTest, FoldingInGroupCountsTwiceItsCheckByteInTheEnclosingFolding) {
  Start(true);
  writer_.BeginFolding(1);
  writer_.BeginGroup(2);
  writer_.BeginFolding(3);
  writer_.EndFolding();
  writer_.EndGroup();
  writer_.EndFolding();

  Bytes inner = Bytes().I32(3).I32(1);
  inner.U8(inner.Sum());
  const Bytes group = Bytes().I32(2).I32(static_cast<int32_t>(inner.size())).Append(inner);
  Bytes outer = qor_test::CheckedRecord(1, group);
  EXPECT_EQ(Written(), outer.vec());
}

TEST_F(WriterTest, PlainFoldingsAndGroupsLookAlike) {
  Start(false);
  writer_.BeginFolding(4);
  writer_.BeginGroup(22);
  writer_.WriteInt32(9);
  writer_.EndGroup();
  writer_.EndFolding();
  const Bytes expected = Bytes().I32(4).I32(12).I32(22).I32(4).I32(9);
  EXPECT_EQ(Written(), expected.vec());
}

TEST_F(WriterTest, ClosingWithNothingOpenRaises) {
  Start(true);
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { writer_.EndFolding(); }),
            "Exception:Foldings do not match");
  EXPECT_THROW(writer_.EndGroup(), Exception);
  EXPECT_TRUE(Written().empty());
}

// A mix-up is found before anything changes, so the writer can still close the
// record properly and the file comes out as if the wrong call had not been made.
TEST_F(WriterTest, MixUpRaisesAndLeavesTheWriterUsable) {
  Start(true);
  writer_.BeginFolding(1);
  writer_.BeginGroup(2);
  writer_.WriteInt32(3);
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { writer_.EndFolding(); }),
            "Exception:Groups and foldings have been mixed up");
  writer_.EndGroup();
  EXPECT_THROW(writer_.EndGroup(), Exception);
  writer_.EndFolding();

  const Bytes group = Bytes().I32(2).I32(4).I32(3);
  Bytes outer = qor_test::CheckedRecord(1, group);
  EXPECT_EQ(Written(), outer.vec());
}

TEST_F(WriterTest, SetStreamStartsAfreshAfterAnAbandonedFile) {
  Start(true);
  writer_.BeginFolding(1);
  writer_.WriteIntegerField(2, 3);

  platform::MemoryStream next;
  writer_.SetStream(&next);
  EXPECT_EQ(writer_.Depth(), 0);
  writer_.WriteHeader();
  writer_.FinishFile();
  Bytes expected = Bytes().I32(1).I32(52).I32(9).I32(43).I32(1).Text(kChecksumHeader);
  expected.U8(expected.Sum());
  EXPECT_EQ(Contents(next), expected.vec());
}

TEST_F(WriterTest, WriterIsReusedForSeveralFiles) {
  for (int i = 0; i < 2; ++i) {
    platform::MemoryStream file;
    writer_.SetStream(&file);
    writer_.WriteHeader();
    writer_.BeginGroup(220);
    writer_.WriteInt32(i);
    writer_.EndGroup();
    writer_.FinishFile();
    Bytes expected;
    expected.I32(1).I32(50 + 12).I32(9).I32(42).I32(1).Text(kPlainHeader);
    expected.I32(220).I32(4).I32(i);
    EXPECT_EQ(Contents(file), expected.vec());
  }
}

TEST_F(WriterTest, WritingWithoutAStreamRaises) {
  EXPECT_THROW(writer_.WriteInt32(1), Exception);
}

}  // namespace
