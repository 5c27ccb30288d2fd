#include "collector/PatientIds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Status = TRegisteredEntry::Status;

TEST(PatientIdsTest, PunctuationIsRemovedOnceEach) {
  EXPECT_EQ(RemoveIdPunctuation("1.234-56,7"), "1234567");
  EXPECT_EQ(RemoveIdPunctuation("1,2,3.4.5-6-7"), "12,34.56-7");
  EXPECT_EQ(RemoveIdPunctuation(""), "");
}

TEST(PatientIdsTest, IdsFoldersAndShownIds) {
  struct Case {
    const char* field;
    bool first_ten;
    const char* folder;
    const char* shown;
  };
  const Case cases[] = {
      {"ABCDEFGHIJK", true, "ABCDEFGH.$IJ", "ABCDEF-GHIJ"},
      {"ABCDEFGHIJK", false, "BCDEFGHI.$JK", "BCDEFG-HIJK"},
      {"", true, "NULL.$", "NULL-"},
      {"1.234-56,7", false, "1234567.$", "123456-7"},
      {"19121212-1212", false, "12121212.$12", "121212-1212"},
      {"12345678", true, "12345678.$", "123456-78"},
      {"123", false, "123.$", "123-"},
      {"..", true, "..$", ".-"},  // one dot removed; the folder is a plain name
      {"1", false, "1.$", "1-"},  // 1, 2 and 3 without registered entries
  };
  const TRegisteredEntries none{};
  for (const Case& c : cases) {
    const TPatientIdentity identity = ResolvePatientId(c.field, c.first_ten, none);
    EXPECT_TRUE(identity.accepted) << c.field;
    EXPECT_FALSE(identity.registered) << c.field;
    EXPECT_EQ(identity.folder_name, c.folder) << c.field;
    EXPECT_EQ(identity.shown_id, c.shown) << c.field;
    EXPECT_TRUE(identity.notices.empty()) << c.field;
  }
}

TEST(PatientIdsTest, IdsThatCouldLeaveTheDataFolderAreRejected) {
  const char* const fields[] = {"12/34",
                                "..\\..\\x",
                                "../../etc",
                                "ab\x01"
                                "c",
                                "ab\x7F",
                                "ab\x81",
                                "ab\tc"};
  const TRegisteredEntries none{};
  for (const char* field : fields) {
    const TPatientIdentity identity = ResolvePatientId(field, true, none);
    EXPECT_FALSE(identity.accepted) << field;
    EXPECT_TRUE(identity.folder_name.empty()) << field;
    ASSERT_EQ(identity.notices.size(), 1u) << field;
    EXPECT_EQ(identity.notices[0].rfind("Patient id rejected", 0), 0u) << identity.notices[0];
    EXPECT_EQ(identity.notices[0].find_first_of("\x01\x7F\t"), std::string::npos);
  }
  // Accents and other Windows-1252 letters are fine.
  EXPECT_TRUE(ResolvePatientId("\xC5ngstr\xF6m", true, none).accepted);
}

TEST(PatientIdsTest, RegisteredEntries) {
  struct Case {
    const char* entry;
    Status status;
    const char* folder;
    const char* shown;
  };
  const Case cases[] = {
      {"12345678.$90\\PATIENT.", Status::kRegistered, "12345678.$90", "123456-7890"},
      {"12345678.$90/PATIENT.", Status::kRegistered, "12345678.$90", "123456-7890"},
      {"12345678.$90", Status::kRegistered, "12345678.$90", "123456-7890"},
      {"ABCDEFGHIJKL.$XY\\", Status::kRegistered, "ABCDEFGHIJKL.$XY", "ABCDEF-GHIJ"},
      {"", Status::kEmpty, "", ""},
      {"12345678\\PATIENT.", Status::kInvalid, "", ""},  // no ".$"
      {"\\12345678.$90", Status::kInvalid, "", ""},      // an empty folder
      {"..\\x.$1\\PATIENT.", Status::kInvalid, "", ""},  // ".." is no patient folder
      {"a\x01.$1\\P", Status::kInvalid, "", ""},
  };
  for (const Case& c : cases) {
    const TRegisteredEntry entry = ReadRegisteredEntry(c.entry);
    EXPECT_EQ(entry.status, c.status) << c.entry;
    EXPECT_EQ(entry.folder_name, c.folder) << c.entry;
    EXPECT_EQ(entry.shown_id, c.shown) << c.entry;
  }
}

TEST(PatientIdsTest, RegisteredPatientsWhateverTheReduction) {
  const TRegisteredEntries registered = {"", "12345678.$90\\PATIENT.", "NOFOLDER\\PATIENT."};
  for (bool first_ten : {true, false}) {
    const TPatientIdentity two = ResolvePatientId("2", first_ten, registered);
    EXPECT_TRUE(two.accepted);
    EXPECT_TRUE(two.registered);
    EXPECT_EQ(two.folder_name, "12345678.$90");
    EXPECT_EQ(two.shown_id, "123456-7890");
  }
  // "-2" is "2" once its "-" is removed.
  EXPECT_TRUE(ResolvePatientId("-2", true, registered).registered);
  // No entry: an ordinary id.
  const TPatientIdentity one = ResolvePatientId("1", true, registered);
  EXPECT_FALSE(one.registered);
  EXPECT_EQ(one.folder_name, "1.$");
  EXPECT_TRUE(one.notices.empty());
  // An entry without ".$": not registered, and said so.
  const TPatientIdentity three = ResolvePatientId("3", true, registered);
  EXPECT_TRUE(three.accepted);
  EXPECT_FALSE(three.registered);
  EXPECT_EQ(three.folder_name, "3.$");
  EXPECT_THAT(three.notices,
              ::testing::ElementsAre("Registered patient 3 ignored: its entry names no folder "
                                     "with \".$\": NOFOLDER\\PATIENT."));
}

TEST(PatientIdsTest, PatientFolderPath) {
  EXPECT_EQ(PatientFolderPath("/home/u/ZQT/DATA/", "12345678.$90"),
            "/home/u/ZQT/DATA/12345678.$90/");
  EXPECT_EQ(PatientFolderPath("DATA/", "NULL.$"), "DATA/NULL.$/");
}

TEST(PatientFileTest, FixedFields) {
  EXPECT_EQ(CopyToFixedField("abc", 5), "abc\0\0\0"s);
  EXPECT_EQ(CopyToFixedField("abcdefg", 5), "abcde\0"s);
  EXPECT_EQ(CopyToFixedField("", 2), "\0\0\0"s);
}

TEST(PatientFileTest, BytesOfTheTemplateWithTheNames) {
  const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "B", "A");
  ASSERT_EQ(bytes.size(), 271u);
  // Written out by hand: template bytes 0-1, "A" padded to 21 bytes, "B" padded to
  // 21, the id padded to 12, then the template from byte 56.
  std::vector<uint8_t> expected = {0xF1, 0x03, 'A'};
  expected.resize(23, 0);
  expected.push_back('B');
  expected.resize(44, 0);
  for (char c : std::string("123456-7890"))
    expected.push_back(static_cast<uint8_t>(c));
  expected.push_back(0);
  const uint8_t tail[] = {
      0x2d, 0x00, 0x20, 0x68, 0xf6, 0x20, 0x62, 0x75, 0x6b, 0x00, 0x6f, 0x72, 0x61, 0x6c, 0x69,
      0x00, 0x30, 0x31, 0x3a, 0x30, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00,
      0x2d, 0x00, 0x04, 0x00, 0x00, 0x1c, 0x00, 0x31, 0x30, 0x37, 0x32, 0x30, 0x31, 0x30, 0x32,
      0x2d, 0x30, 0x31, 0x3a, 0x30, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00,
      0x2d, 0x00, 0x72, 0x61, 0x6c, 0x69, 0x00, 0x30, 0x31, 0x3a, 0x30, 0x30, 0x00, 0x01, 0x00,
      0x00, 0x30, 0x34, 0x3a, 0x30, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00,
      0xba, 0x34, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xed, 0x03, 0x00, 0x00, 0x0a, 0x00, 0x05,
      0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x01, 0x00, 0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00,
      0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00,
      0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x04, 0x00, 0x04,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05,
      0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00,
      0x00, 0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00,
      0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00,
      0x32, 0x00, 0x05, 0x00, 0x00};
  expected.insert(expected.end(), std::begin(tail), std::end(tail));
  EXPECT_EQ(bytes, expected);
}

TEST(PatientFileTest, LongNamesAreCutAndTheIdTrimmed) {
  const std::vector<uint8_t> bytes =
      BuildPatientFile("  NULL-  ", "Maximiliana Josefina Anna", "Andersson-Hagstr\xF6m-Lindqvist");
  ASSERT_EQ(bytes.size(), 271u);
  EXPECT_EQ(std::string(bytes.begin() + 2, bytes.begin() + 23), "Andersson-Hagstr\xF6m-L\0"s);
  EXPECT_EQ(std::string(bytes.begin() + 23, bytes.begin() + 44), "Maximiliana Josefina\0"s);
  EXPECT_EQ(std::string(bytes.begin() + 44, bytes.begin() + 56), "NULL-\0\0\0\0\0\0\0"s);
  EXPECT_EQ(PatientNameFromFile(bytes), "Andersson-Hagstr\xF6m-L");
}

TEST(PatientFileTest, NameFromTheFirstBytes) {
  const std::vector<uint8_t> file = BuildPatientFile("123456-7890", "B", "Ek");
  EXPECT_EQ(PatientNameFromFile(file), "Ek");
  EXPECT_EQ(PatientNameFromFile(std::span(file).first(25)), "Ek");
  EXPECT_EQ(PatientNameFromFile(std::span(file).first(3)), "E");  // the rest counts as NUL
  EXPECT_EQ(PatientNameFromFile({}), "");
  EXPECT_EQ(PatientFileTemplate()[0], 0xF1);
  EXPECT_EQ(PatientFileTemplate()[270], 0x00);
  EXPECT_EQ(PatientFileTemplate()[56], 0x2d);
}

}  // namespace
