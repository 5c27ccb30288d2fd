#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "datafile/QORFuncCrypter.h"
#include "platform/date_time.h"
#include "platform/exception.h"
#include "platform/random.h"
#include "platform/stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Hands out a fixed salt and counts what it is asked.
class FixedRandom final : public platform::RandomSource {
 public:
  explicit FixedRandom(int32_t value) : value_(value) {}
  double Uniform() override { return 0; }
  int32_t Below(int32_t bound) override {
    bounds.push_back(bound);
    return value_;
  }
  void Randomize() override { ++randomized; }

  std::vector<int32_t> bounds;
  int randomized = 0;

 private:
  int32_t value_;
};

Bytes Contents(const platform::MemoryStream& stream) {
  return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

void Fill(platform::MemoryStream& stream, const Bytes& bytes) {
  stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
}

// ---------------------------------------------------------------------------
// Layout

TEST(CrypterTest, CheckedValueIsBytesSaltThenRunningSum) {
  struct Case {
    const char* name;
    bool salted;
    int32_t salt;
    uint8_t start_sum;
    Bytes value;
    Bytes expected;
  };
  const Case cases[] = {
      {"salted",
       true,
       0x01020304,
       0,
       {0x01, 0x02, 0xFF},
       {0x01, 0x02, 0xFF, 0x04, 0x03, 0x02, 0x01, 0x0C}},
      {"largest salt, no value", true, 2147483646, 0, {}, {0xFE, 0xFF, 0xFF, 0x7F, 0x7B}},
      {"unsalted", false, 0, 0, {0x10, 0x20}, {0x10, 0x20, 0x30}},
      {"sum carried in", false, 0, 0xF0, {0x10, 0x20}, {0x10, 0x20, 0x20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixedRandom random(c.salt);
    platform::ScopedRandomSource scoped(random);
    TSimpleCrypter crypter;
    crypter.SetSalted(c.salted);
    crypter.SetSum(c.start_sum);
    platform::MemoryStream stream;
    const int32_t count = static_cast<int32_t>(c.value.size());
    EXPECT_EQ(crypter.WriteChecked(stream, c.value.data(), count), count);
    EXPECT_EQ(Contents(stream), c.expected);
    EXPECT_EQ(random.bounds, c.salted ? std::vector<int32_t>{2147483647} : std::vector<int32_t>{});
  }
}

TEST(CrypterTest, ValuesInARowCloseWithTheSumSinceTheLastReset) {
  FixedRandom random(0x00000100);
  platform::ScopedRandomSource scoped(random);
  TSimpleCrypter crypter;
  const uint8_t first = 0x80;
  const uint8_t second = 0x90;
  platform::MemoryStream stream;
  crypter.WriteChecked(stream, &first, 1);
  crypter.WriteChecked(stream, &second, 1);
  // The salt adds 0x01 each time; the check bytes themselves are not summed.
  EXPECT_EQ(Contents(stream), (Bytes{0x80, 0x00, 0x01, 0x00, 0x00, 0x81,  //
                                     0x90, 0x00, 0x01, 0x00, 0x00, 0x12}));

  stream.SetPosition(0);
  TSimpleCrypter reader;
  uint8_t value = 0;
  EXPECT_EQ(reader.ReadChecked(stream, &value, 1), 1);
  EXPECT_EQ(value, first);
  EXPECT_EQ(reader.ReadChecked(stream, &value, 1), 1);
  EXPECT_EQ(value, second);
}

// ---------------------------------------------------------------------------
// Stamps

// 1.5 as a little-endian double, a salt of 1 and the check byte 0xF8 + 0x3F + 0x01.
const Bytes kStampOf1_5 = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8,
                           0x3F, 0x01, 0x00, 0x00, 0x00, 0x38};

TEST(CrypterTest, VerifyStampReadsAHandWrittenStamp) {
  platform::MemoryStream stream;
  Fill(stream, kStampOf1_5);
  TSimpleCrypter crypter;
  crypter.SetSum(0x42);  // reset by the stamp
  EXPECT_EQ(crypter.VerifyStamp(stream), 1.5);
  EXPECT_EQ(stream.Position(), stream.Size());

  const Bytes unsalted = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F, 0x37};
  platform::MemoryStream unsalted_stream;
  Fill(unsalted_stream, unsalted);
  crypter.SetSalted(false);
  EXPECT_EQ(crypter.VerifyStamp(unsalted_stream), 1.5);
}

// A damaged stamp, and one cut short anywhere (its check byte then cannot match),
// raise the checksum error, never the stream's read error.
TEST(CrypterTest, VerifyStampRejectsDamagedAndShortStamps) {
  struct Case {
    const char* name;
    size_t index;  // byte to change; the size to cut to for a short stamp
    bool cut;
  };
  const Case cases[] = {
      {"value byte changed", 6, false},  {"salt byte changed", 9, false},
      {"check byte changed", 12, false}, {"check byte missing", 12, true},
      {"salt cut short", 10, true},      {"value cut short", 5, true},
      {"empty stream", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = kStampOf1_5;
    if (c.cut) {
      bytes.resize(c.index);
    } else {
      ++bytes[c.index];
    }
    platform::MemoryStream stream;
    Fill(stream, bytes);
    TSimpleCrypter crypter;
    try {
      crypter.VerifyStamp(stream);
      ADD_FAILURE() << "no exception";
    } catch (const EReadError&) {
      ADD_FAILURE() << "read error instead of checksum error";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Exception:Checksum error");
    }
  }
}

// A stream that takes only so many bytes, as a full disk or a fixed block does.
class ShortStream final : public platform::Stream {
 public:
  explicit ShortStream(int64_t room) : room_(room) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = std::max<int64_t>(0, std::min(count, room_ - Size()));
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    written.insert(written.end(), bytes, bytes + n);
    return n;
  }
  int64_t Seek(int64_t, platform::SeekOrigin) override { return Size(); }
  int64_t Size() const override { return static_cast<int64_t>(written.size()); }
  void SetSize(int64_t) override {}

  Bytes written;

 private:
  int64_t room_;
};

// WriteChecked reports how much of the value the stream took, as the count of the
// first write, and raises nothing.
TEST(CrypterTest, WriteCheckedReturnsWhatTheStreamTook) {
  struct Case {
    const char* name;
    int64_t room;
    int32_t expected;
    Bytes written;
  };
  const uint8_t value[4] = {0x10, 0x20, 0x30, 0x40};
  const Case cases[] = {
      {"all of it", 100, 4, {0x10, 0x20, 0x30, 0x40, 0x01, 0x00, 0x00, 0x00, 0xA1}},
      {"value, salt, no check byte", 8, 4, {0x10, 0x20, 0x30, 0x40, 0x01, 0x00, 0x00, 0x00}},
      {"part of the value", 2, 2, {0x10, 0x20}},
      {"nothing", 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixedRandom random(1);
    platform::ScopedRandomSource scoped(random);
    TSimpleCrypter crypter;
    ShortStream stream(c.room);
    EXPECT_EQ(crypter.WriteChecked(stream, value, 4), c.expected);
    EXPECT_EQ(stream.written, c.written);
  }
}

TEST(CrypterTest, WriteStampWritesTheTimeAsACheckedValue) {
  FixedRandom random(0x00000201);
  platform::ScopedRandomSource scoped(random);
  TSimpleCrypter crypter;
  crypter.SetSum(0x99);  // reset by the stamp
  platform::MemoryStream stream;
  const double before = platform::Now();
  crypter.WriteStamp(stream);
  const double after = platform::Now();

  const Bytes bytes = Contents(stream);
  ASSERT_EQ(bytes.size(), 13u);
  double stamp = 0;
  std::memcpy(&stamp, bytes.data(), sizeof stamp);
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, after);
  EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 12), (Bytes{0x01, 0x02, 0x00, 0x00}));
  uint8_t sum = 0;
  for (size_t i = 0; i < 12; ++i)
    sum = static_cast<uint8_t>(sum + bytes[i]);
  EXPECT_EQ(bytes[12], sum);
}

TEST(CrypterTest, StampAndValuesReadBackInTheirOrder) {
  TSimpleCrypter writer;
  platform::MemoryStream stream;
  const int32_t number = -123456;
  const char text[] = "checked";
  writer.WriteStamp(stream);
  writer.WriteChecked(stream, &number, sizeof number);
  writer.WriteChecked(stream, text, sizeof text);

  stream.SetPosition(0);
  TSimpleCrypter reader;
  int32_t number_read = 0;
  char text_read[sizeof text] = {};
  const double stamp = reader.VerifyStamp(stream);
  EXPECT_EQ(reader.ReadChecked(stream, &number_read, sizeof number_read), 4);
  EXPECT_EQ(reader.ReadChecked(stream, text_read, sizeof text_read),
            static_cast<int32_t>(sizeof text));
  EXPECT_TRUE(platform::IsValidDateTime(stamp));
  EXPECT_EQ(number_read, number);
  EXPECT_STREQ(text_read, text);
}

// ---------------------------------------------------------------------------
// The shared instance

class CrypterInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { TSimpleCrypter::ReleaseInstance(); }
  void TearDown() override { TSimpleCrypter::ReleaseInstance(); }
};

TEST_F(CrypterInstanceTest, CreatedOnceOnDemandSaltedAndSeeded) {
  FixedRandom random(0);
  platform::ScopedRandomSource scoped(random);
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), nullptr);

  TSimpleCrypter* created = TSimpleCrypter::AccessInstance(1);
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(created->Salted());
  EXPECT_EQ(created->Sum(), 0);
  EXPECT_EQ(random.randomized, 1);

  EXPECT_EQ(TSimpleCrypter::AccessInstance(1), created);
  EXPECT_EQ(&TSimpleCrypter::Instance(), created);
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), created);
  EXPECT_EQ(random.randomized, 1);
}

// Request 2 only forgets the instance: it is not freed, and the caller takes it
// over. Releasing frees it.
TEST_F(CrypterInstanceTest, RequestTwoForgetsAndReleaseFrees) {
  std::unique_ptr<TSimpleCrypter> taken;
  TSimpleCrypter* shared = &TSimpleCrypter::Instance();
  shared->SetSum(0x5A);
  taken.reset(TSimpleCrypter::AccessInstance(2));
  EXPECT_EQ(taken.get(), shared);
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), nullptr);
  EXPECT_EQ(taken->Sum(), 0x5A);                          // still alive
  EXPECT_EQ(TSimpleCrypter::AccessInstance(2), nullptr);  // nothing left to forget

  // A new shared instance is another one; freeing the forgotten one leaves it.
  TSimpleCrypter* second = &TSimpleCrypter::Instance();
  taken.reset();
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), second);

  TSimpleCrypter::ReleaseInstance();
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), nullptr);
  TSimpleCrypter::ReleaseInstance();  // none left: nothing to do
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), nullptr);
}

TEST_F(CrypterInstanceTest, DestroyingTheSharedInstanceForgetsIt) {
  delete TSimpleCrypter::AccessInstance(1);
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), nullptr);
}

TEST_F(CrypterInstanceTest, ACrypterOfItsOwnLeavesTheSharedOne) {
  TSimpleCrypter* shared = &TSimpleCrypter::Instance();
  { TSimpleCrypter own; }
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), shared);
}

TEST_F(CrypterInstanceTest, OtherRequestsRaise) {
  for (const int request : {3, -1, 100}) {
    try {
      TSimpleCrypter::AccessInstance(request);
      ADD_FAILURE() << "no exception for " << request;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Illegal request " + std::to_string(request) + " in AccessInstance");
    }
  }
  EXPECT_EQ(TSimpleCrypter::AccessInstance(0), nullptr);
}

}  // namespace
