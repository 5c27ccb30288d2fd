#include "platform/registry.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry_file.h"
#include "platform/tests/message_of.h"
#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

using platform_test::MessageOf;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The lines of a store's text that hold something, without their line ends.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// Whether every line of Before stands in After, in the same order (so under the
// same key as before).
::testing::AssertionResult KeepsEveryLine(const std::string& before, const std::string& after) {
  const std::vector<std::string> old_lines = LinesOf(before);
  const std::vector<std::string> new_lines = LinesOf(after);
  size_t at = 0;
  for (const std::string& line : old_lines) {
    while (at < new_lines.size() && new_lines[at] != line)
      ++at;
    if (at == new_lines.size())
      return ::testing::AssertionFailure() << "lost: " << line << "\n" << after;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

class RegistryTest : public ::testing::Test {
 protected:
  platform_test::TempFolder folder_{"qor_registry"};
  std::string store_ = folder_.path() + "/sub/registry.reg";
};

TEST_F(RegistryTest, WritesTheExportFormatByteForByte) {
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("\\Software\\QOR\\General", true));
  reg.WriteInteger("Language", 1053);
  reg.WriteString("", "C:\\ZQT\\\"x\"");
  reg.WriteBool("Flag", true);
  reg.WriteString("Path", "\xE5");  // a-ring, Windows-1252
  EXPECT_EQ(ReadText(store_),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\QOR]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\QOR\\General]\n"
            "\"Language\"=dword:0000041d\n"
            "@=\"C:\\\\ZQT\\\\\\\"x\\\"\"\n"
            "\"Flag\"=dword:00000001\n"
            "\"Path\"=\"\xC3\xA5\"\n"
            "\n");
}

TEST_F(RegistryTest, ReadsAFileWrittenByAPerson) {
  std::filesystem::create_directories(folder_.path() + "/sub");
  WriteText(store_,
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; settings of the collector\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External "
            "Collect\\1.0\\ABL]\r\n"
            "\"ABLSocketPort\"=dword:000036b0\r\n"
            "\"VenousTranslation\"=\"Ven\xC3\xB6s\"\r\n"
            "\"Odd\"=hex(1):41,00,0d,00,0a,00,42,00,\\\r\n"
            "  00,00\r\n"
            "\"Blob\"=hex:01,02\r\n"
            "garbage line\r\n"
            "\"Gone\"=-\r\n");
  TRegistry reg(store_);
  // Key paths without case, a leading "\" ignored.
  ASSERT_TRUE(reg.OpenKeyReadOnly(
      "Software\\qor fluvantronics ab\\Vistameter\\External Collect\\1.0\\abl"));
  EXPECT_EQ(reg.ReadInteger("ablsocketport"), 14000);
  EXPECT_EQ(reg.ReadString("VenousTranslation"), "Ven\xF6s");
  EXPECT_EQ(reg.ReadString("Odd"), "A\r\nB");
  EXPECT_EQ(reg.GetDataType("Blob"), RegDataType::kBinary);
  EXPECT_FALSE(reg.ValueExists("Gone"));
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\QOR Fluvantronics AB"));
}

TEST_F(RegistryTest, MissingKeysAndValuesAreResultsNotErrors) {
  TRegistry reg(store_);
  EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\Nothing"));
  EXPECT_FALSE(reg.OpenKey("Software\\Nothing", false));
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.ValueExists("X"));
  EXPECT_EQ(reg.ReadString("X"), "");
  EXPECT_FALSE(reg.DeleteValue("X"));
  EXPECT_FALSE(std::filesystem::exists(store_));  // nothing was written
  ASSERT_TRUE(reg.OpenKey("Software\\Something", true));
  EXPECT_FALSE(reg.ValueExists("X"));
  EXPECT_EQ(reg.ReadString("X"), "");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadInteger("X"); }),
            "Failed to get data for 'X'");
}

TEST_F(RegistryTest, AValueOfTheWrongTypeRaisesTheReadError) {
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("Software\\General", true));
  reg.WriteString("Language", "Swedish");
  reg.WriteInteger("Count", 3);
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadInteger("Language"); }),
            "Invalid data type for 'Language'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadBool("Language"); }),
            "Invalid data type for 'Language'");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.ReadString("Count"); }),
            "Invalid data type for 'Count'");
}

TEST_F(RegistryTest, ReadOnlyKeysRefuseWrites) {
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("Software\\A", true));
  reg.WriteInteger("V", 1);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\A"));
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteInteger("V", 2); }),
            "Failed to set data for 'V'");
  EXPECT_FALSE(reg.DeleteValue("V"));
  reg.CloseKey();
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteString("V", ""); }),
            "Failed to set data for 'V'");
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\A"));
  EXPECT_EQ(reg.ReadInteger("V"), 1);
}

TEST_F(RegistryTest, NamesKeepTheirFirstSpellingAndMatchWithoutCase) {
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("Software\\Mixed Case", true));
  reg.WriteInteger("DoStart", 1);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\MIXED CASE", true));
  reg.WriteInteger("DOSTART", 0);
  EXPECT_EQ(reg.ReadInteger("dostart"), 0);
  const std::string text = ReadText(store_);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Mixed Case]\n\"DoStart\"=dword:00000000\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(reg.DeleteValue("DoStart"));
  EXPECT_FALSE(reg.ValueExists("DoStart"));
}

TEST_F(RegistryTest, TextsWithLineBreaksSurviveTheRoundTrip) {
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("Software\\T", true));
  reg.WriteString("Two lines", "first\r\nsecond \"quoted\" \\ \x80");
  EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteString("Bad\nname", "x"); }),
            "Failed to set data for 'Bad\nname'");
  TRegistry other(store_);
  ASSERT_TRUE(other.OpenKeyReadOnly("Software\\T"));
  EXPECT_EQ(other.ReadString("Two lines"), "first\r\nsecond \"quoted\" \\ \x80");
  // Every entry is one line of the file.
  EXPECT_NE(ReadText(store_).find("\"Two lines\"=hex(1):66,00,69,00"), std::string::npos);
}

TEST_F(RegistryTest, ValuesOfOtherKindsSurviveChangesToTheirNeighbours) {
  std::filesystem::create_directories(folder_.path() + "/sub");
  WriteText(store_,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n\"Blob\"=hex:01,02\n\n"
            "[HKEY_LOCAL_MACHINE\\Other]\n\"X\"=\"y\"\n");
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("S", false));
  reg.WriteInteger("N", 5);
  const std::string text = ReadText(store_);
  EXPECT_NE(text.find("\"Blob\"=hex:01,02\n\"N\"=dword:00000005\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Other]\n\"X\"=\"y\"\n"), std::string::npos) << text;
}

TEST_F(RegistryTest, AChangeKeepsTheCommentsAndTheLinesItCannotRead) {
  std::filesystem::create_directories(folder_.path() + "/sub");
  const std::string before =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; written by hand\r\n"
      "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\r\n"
      "; the data root\r\n"
      "\"ZQTData\"=\"/data/ZQTDATA.INI\r\n"
      "\"Gone\"=-\r\n"
      "\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Removed]\r\n"
      "\"Under\"=\"a deletion\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Unclosed\r\n"
      "\"Also\"=\"kept\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\\xCE\xA9]\r\n"  // a name the system cannot hold
      "\"In\"=\"it\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Names]\r\n"
      "\"\xCE\xA9\"=\"a value the system cannot name\"\r\n"
      "REGEDIT4\r\n";
  WriteText(store_, before);
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("Software\\QOR Fluvantronics AB\\Autostart\\ABL625", true));
  reg.WriteInteger("DoStart", 1);
  const std::string after = ReadText(store_);
  EXPECT_TRUE(KeepsEveryLine(before, after));
  EXPECT_NE(after.find("[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Autostart\\ABL625]\n"
                       "\"DoStart\"=dword:00000001\n"),
            std::string::npos)
      << after;
  // They are kept, not read.
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths"));
  EXPECT_FALSE(reg.ValueExists("ZQTData"));
  EXPECT_FALSE(reg.KeyExists("Software\\Unclosed"));
  ASSERT_TRUE(reg.OpenKey("Software\\Names", false));
  EXPECT_FALSE(reg.ValueExists("?"));
  // A change beside them, and one more: still every line in its place.
  reg.WriteString("?", "new");
  EXPECT_TRUE(KeepsEveryLine(before, ReadText(store_)));
  EXPECT_EQ(reg.ReadString("?"), "new");
  reg.WriteString("?", "newer");
  EXPECT_TRUE(KeepsEveryLine(before, ReadText(store_)));
}

TEST_F(RegistryTest, ValuesLeftAloneKeepTheirLinesByteForByte) {
  std::filesystem::create_directories(folder_.path() + "/sub");
  const std::string values =
      "\"Wide\"=\"\xCE\xA9 \xC3\xA5\"\n"             // omega, a-ring
      "\"Short\"=dword:1\n"                          // four digits fewer
      "\"Two\"=hex(1):41,00,00,00,42,00,00,00\n"     // a text after its end
      "\"Odd\"=hex(1):41,00,0d,00,0a,00,42,00,\\\n"  // continued
      "  00,00\n";
  WriteText(store_, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n" + values);
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("S", false));
  EXPECT_EQ(reg.ReadString("Wide"), "? \xE5");
  EXPECT_EQ(reg.ReadInteger("Short"), 1);
  reg.WriteInteger("New", 2);
  EXPECT_EQ(ReadText(store_), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n" +
                                  values + "\"New\"=dword:00000002\n\n");
  // A value the program changes is written in the store's own form.
  reg.WriteInteger("Short", 1);
  EXPECT_NE(ReadText(store_).find("\"Short\"=dword:00000001\n"), std::string::npos);
}

TEST_F(RegistryTest, NamesOutsideAsciiSurviveRewrites) {
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKey("Software\\N", true));
  reg.WriteInteger("P\xE5th", 1);  // a-ring, Windows-1252
  reg.WriteInteger("Other", 2);
  reg.WriteInteger("P\xE5th", 3);
  EXPECT_EQ(reg.ReadInteger("P\xC5TH"), 3);
  EXPECT_EQ(ReadText(store_).find("P\xC3\xA5th"), ReadText(store_).rfind("P\xC3\xA5th"));
  EXPECT_NE(ReadText(store_).find("\"P\xC3\xA5th\"=dword:00000003\n"), std::string::npos)
      << ReadText(store_);
}

// The UTF-16 text of a store, with its byte-order mark, as the registry editor
// exports one.
std::string Utf16Le(std::string_view ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

TEST_F(RegistryTest, AStoreInAnotherFormIsReadButNeverRewritten) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\r\n"
      "\"ZQTData\"=\"/data/ZQTDATA.INI\"\r\n";
  struct Case {
    std::string bytes;
    std::string line;  // what the refusal names
  };
  const Case cases[] = {
      {Utf16Le(text), "line 1 begins with a UTF-16 byte-order mark"},
      {text + "\"Bad\"=\"a" + std::string(1, '\0') + "b\"\r\n", "line 5 holds a NUL byte"},
  };
  std::filesystem::create_directories(folder_.path() + "/sub");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    WriteText(store_, c.bytes);
    TRegistry reg(store_);
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths"));
    EXPECT_EQ(reg.ReadString("ZQTData"), "/data/ZQTDATA.INI");
    const std::string refused = "Failed to set data for 'DoStart': the settings store " + store_ +
                                " is not UTF-8 text (" + c.line + "), so it is left as it is";
    // A key to create, and one that is there.
    EXPECT_FALSE(reg.OpenKey("Software\\QOR Fluvantronics AB\\Autostart\\ABL625", true));
    EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteInteger("DoStart", 1); }), refused);
    ASSERT_TRUE(reg.OpenKey("Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths", false));
    EXPECT_EQ(MessageOf<ERegistryException>([&] { reg.WriteInteger("DoStart", 1); }), refused);
    EXPECT_FALSE(reg.DeleteValue("ZQTData"));
    EXPECT_EQ(ReadText(store_), c.bytes);
  }
}

TEST_F(RegistryTest, SeesChangesSavedByAnotherRegistryObject) {
  TRegistry first(store_);
  TRegistry second(store_);
  ASSERT_TRUE(first.OpenKey("Software\\K", true));
  ASSERT_TRUE(second.OpenKeyReadOnly("Software\\K"));
  first.WriteInteger("V", 7);
  EXPECT_EQ(second.ReadInteger("V"), 7);
  first.WriteInteger("V", 8);
  EXPECT_EQ(second.ReadInteger("V"), 8);
}

TEST_F(RegistryTest, AKeyWrittenByTwoProcessesAtOnceKeepsEveryValue) {
  constexpr int kValuesEach = 150;
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = ::fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      TRegistry reg(store_);
      if (!reg.OpenKey("Software\\Shared", true)) ::_exit(1);
      for (int i = 0; i < kValuesEach; ++i)
        reg.WriteInteger("P" + std::to_string(child) + "_" + std::to_string(i), i);
      ::_exit(0);
    }
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TRegistry reg(store_);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Shared"));
  for (int child = 0; child < 2; ++child) {
    for (int i = 0; i < kValuesEach; ++i)
      EXPECT_EQ(reg.ReadInteger("P" + std::to_string(child) + "_" + std::to_string(i)), i);
  }
}

TEST_F(RegistryTest, AStoreThatCannotBeReadIsNeverOverwritten) {
  std::filesystem::create_directories(folder_.path() + "/sub");
  WriteText(store_,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n\"A\"=\"b\"\n");
  std::filesystem::permissions(store_, std::filesystem::perms::none);
  // Root reads every file, so as root the store is opened by user 65534, who owns
  // the folder and the (unreadable) store as its user would.
  const bool as_root = ::geteuid() == 0;
  if (as_root) {
    for (const std::string& path : {folder_.path(), folder_.path() + "/sub", store_})
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0) << path;
  }
  const pid_t child = as_root ? ::fork() : 0;
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (as_root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(2);
    bool opened = true;
    try {
      TRegistry reg(store_);
      opened = reg.OpenKey("S2", true);
    } catch (...) {
      if (as_root) ::_exit(3);
      throw;
    }
    if (as_root) ::_exit(opened ? 1 : 0);
    EXPECT_FALSE(opened);
  } else {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the key was opened, 2: no switch to user 65534";
  }
  std::filesystem::permissions(store_, std::filesystem::perms::owner_read);
  EXPECT_NE(ReadText(store_).find("\"A\"=\"b\""), std::string::npos);
}

TEST(RegistryStorePathTest, ComesFromTheEnvironment) {
  const char* saved = std::getenv("QOR_REGISTRY");
  const std::string saved_value = saved ? saved : "";
  ::setenv("QOR_REGISTRY", "/tmp/x/store.reg", 1);
  EXPECT_EQ(RegistryStorePath(), "/tmp/x/store.reg");
  ::unsetenv("QOR_REGISTRY");
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string xdg_value = xdg ? xdg : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/config", 1);
  EXPECT_EQ(RegistryStorePath(), "/tmp/config/qor/registry.reg");
  if (xdg)
    ::setenv("XDG_CONFIG_HOME", xdg_value.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
  if (saved) ::setenv("QOR_REGISTRY", saved_value.c_str(), 1);
}

TEST(RegistryFileTest, ParsingIsLenientAndWritingIsStable) {
  const RegDocument document = ParseRegExport(
      "REGEDIT4\n[HKEY_CURRENT_USER\\\\A\\\\]\n@=\"d\"\n\"n\"=dword:zz\n\"m\"=dword:123456789\n"
      "[-HKEY_CURRENT_USER\\B]\n\"lost\"=\"x\"\n[unclosed\n\"also "
      "lost\"=\"y\"\n\"q\"=\"unterminated\n");
  // One key; the lines that cannot be read are kept, but no lookup finds them.
  ASSERT_NE(document.FindKey("HKEY_CURRENT_USER\\A"), nullptr);
  const RegKey& key = *document.FindKey("HKEY_CURRENT_USER\\A");
  EXPECT_EQ(key.path, "HKEY_CURRENT_USER\\A");
  ASSERT_NE(key.FindValue(""), nullptr);
  EXPECT_EQ(*key.FindValue(""), (RegValue{"", RegValueKind::kString, "d", 0, "@=\"d\""}));
  EXPECT_EQ(key.FindValue("n"), nullptr);
  EXPECT_EQ(key.FindValue("m"), nullptr);
  EXPECT_EQ(document.FindKey("HKEY_CURRENT_USER\\B"), nullptr);
  EXPECT_EQ(document.FindKey("unclosed"), nullptr);
  const std::string once = WriteRegExport(document);
  EXPECT_EQ(WriteRegExport(ParseRegExport(once)), once);
}

}  // namespace
}  // namespace platform
