#include "serial/SerStrMgr.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A table written out by hand: "STR0", 3 entries (ids 5, 10, 700) and their texts
// "Hi", "" and "Öl" in UTF-16LE.
std::vector<uint8_t> HandTable() {
  return {'S',  'T', 'R', '0', 3,    0, 0,   0, 5, 0, 0, 0,
          44,   0,   0,   0,   2,    0, 0,   0,              // id 5 at 44, 2 units
          10,   0,   0,   0,   48,   0, 0,   0, 0, 0, 0, 0,  // id 10 at 48, empty
          0xBC, 2,   0,   0,   48,   0, 0,   0, 2, 0, 0, 0,  // id 700 at 48, 2 units
          'H',  0,   'i', 0,   0xD6, 0, 'l', 0};
}

std::string MessageOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const ETpsStringResourceError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST(StrMgrTest, LooksUpHandBuiltTable) {
  TSerStringResource table(HandTable());
  EXPECT_EQ(table.LookUpString(5), "Hi");
  EXPECT_EQ(table.LookUpString(10), "");
  EXPECT_EQ(table.LookUpString(700), "\xD6l");  // Windows-1252
  EXPECT_EQ(table.LookUpString(6), "");
  EXPECT_EQ(table.LookUpString(-1), "");
  EXPECT_EQ(table.LookUpString(701), "");
}

TEST(StrMgrTest, EmptyTableFindsNothing) {
  TSerStringResource table(std::vector<uint8_t>{'S', 'T', 'R', '0', 0, 0, 0, 0});
  EXPECT_EQ(table.LookUpString(0), "");
}

TEST(StrMgrTest, UnsoundTablesAreRefused) {
  std::vector<std::vector<uint8_t>> bad;
  bad.push_back({'S', 'T', 'R', '1', 0, 0, 0, 0});  // magic
  bad.push_back({'S', 'T', 'R', '0'});              // no count
  std::vector<uint8_t> t = HandTable();
  t[4] = 4;  // more entries than the bytes hold
  bad.push_back(t);
  t = HandTable();
  t[4] = 0xFF, t[7] = 0xFF;  // negative count
  bad.push_back(t);
  t = HandTable();
  t[8 + 4] = 200;  // text offset beyond the end
  bad.push_back(t);
  t = HandTable();
  t[8 + 8] = 5;  // text length beyond the end (44 + 2 x 5 > 52)
  bad.push_back(t);
  t = HandTable();
  t[8 + 7] = 0x80;  // negative offset
  bad.push_back(t);
  t = HandTable();
  t[8 + 11] = 0x7F;  // huge length that would wrap a 32-bit sum
  bad.push_back(t);
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(MessageOf([&] { TSerStringResource table(bad[i]); }), "Invalid string resource") << i;
  }
}

TEST(StrMgrTest, MissingResourceIsNamed) {
  EXPECT_EQ(MessageOf([] { TSerStringResource table("NO_SUCH_TABLE"); }),
            "String resource not found: NO_SUCH_TABLE");
}

// A resource name is looked up as the system copies it: its first 255 characters.
TEST(StrMgrTest, AResourceNameIsTakenUpToTheLongestLengthAndCutBeyond) {
  for (const size_t length : {size_t{255}, size_t{256}}) {
    SCOPED_TRACE(length);
    const std::string name(length, 'N');
    EXPECT_EQ(MessageOf([&] { TSerStringResource table(name); }),
              "String resource not found: " + std::string(255, 'N'));
  }
  EXPECT_EQ(kMaxResourceName, 255u);
}

TEST(StrMgrTest, BuiltInTablesHaveTheirEntries) {
  EXPECT_EQ(LibraryStrings().LookUpString(1), "String not found: %d");
  EXPECT_EQ(LibraryStrings().LookUpString(5), "Invalid string resource");
  EXPECT_EQ(ErrorStrings().LookUpString(0), "OK");
  EXPECT_EQ(ErrorStrings().LookUpString(2011),
            "The ComNumber property of the TSerComPort has not been set");
  EXPECT_EQ(ErrorStrings().LookUpString(15116), "Avail");
  EXPECT_EQ(ErrorStrings().LookUpString(15608), "DCD");
  EXPECT_EQ(ErrorStrings().LookUpString(15742), "Charset");
  EXPECT_EQ(ErrorStrings().LookUpString(1), "");
  // The built-in table has exactly the 831 entries; its header says so.
  std::span<const uint8_t> raw = FindSerialResource("SERIAL_ERROR_STRINGS_ENGLISH");
  ASSERT_GE(raw.size(), 8u);
  EXPECT_EQ(raw[4] | (raw[5] << 8) | (raw[6] << 16) | (raw[7] << 24), 831);
}

}  // namespace
