#include "platform/text_1252.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    bytes += static_cast<char>(b);
  return bytes;
}

// The whole 0x80..0x9F block, the only part of the code page that differs from
// Latin-1, with the five undefined bytes kept as C1 controls.
TEST(Text1252Test, HighBlockMapsToItsCodePoints) {
  const char16_t expected[32] = {
      u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
      u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
      u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
      u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
  };
  for (int i = 0; i < 32; ++i) {
    const std::string byte(1, static_cast<char>(0x80 + i));
    EXPECT_EQ(Win1252ToUtf16(byte), std::u16string(1, expected[i]))
        << "byte 0x" << std::hex << 0x80 + i;
    EXPECT_EQ(Utf16ToWin1252(std::u16string(1, expected[i])), byte);
  }
}

TEST(Text1252Test, OtherBytesEqualLatin1) {
  EXPECT_EQ(Win1252ToUtf16(std::string("A\0z\x7F", 4)), std::u16string(u"A\0z\u007F", 4));
  EXPECT_EQ(Win1252ToUtf16("\xA0\xB5\xE9\xFF"), u"\u00A0\u00B5\u00E9\u00FF");
  EXPECT_EQ(Utf16ToWin1252(u"\u00A0\u00B5\u00E9\u00FF"), "\xA0\xB5\xE9\xFF");
}

TEST(Text1252Test, Utf8Bytes) {
  EXPECT_EQ(Win1252ToUtf8("a\x80\x81\x8A\x99\x9F\xE9\xFF"),
            "a\xE2\x82\xAC\xC2\x81\xC5\xA0\xE2\x84\xA2\xC5\xB8\xC3\xA9\xC3\xBF");
  EXPECT_EQ(Utf8ToWin1252("a\xE2\x82\xAC\xC2\x81\xC5\xA0\xE2\x84\xA2\xC5\xB8\xC3\xA9\xC3\xBF"),
            "a\x80\x81\x8A\x99\x9F\xE9\xFF");
}

TEST(Text1252Test, EveryByteSurvivesARoundTrip) {
  const std::string bytes = AllBytes();
  EXPECT_EQ(Utf16ToWin1252(Win1252ToUtf16(bytes)), bytes);
  EXPECT_EQ(Utf8ToWin1252(Win1252ToUtf8(bytes)), bytes);
}

// The conversion goes code unit by code unit, as the system's ANSI conversion
// does: each half of a surrogate pair is a "?" of its own.
TEST(Text1252Test, Utf16OutsideTheCodePageBecomesOneQuestionMarkPerCodeUnit) {
  struct Case {
    const char* name;
    std::u16string input;
    std::string expected;
  };
  const Case cases[] = {
      {"C1 control not among the five undefined bytes", u"\u0080\u009F", "??"},
      {"beyond the code page", u"\u0100\u4E2D\uFFFD", "???"},
      {"a pair is two code units", u"a\U0001F600z", "a??z"},
      {"lone high surrogate", u"a\xD83Dz", "a?z"},
      {"lone low surrogate", u"a\xDE00z", "a?z"},
      {"high surrogate at the end", u"x\xD83D", "x?"},
      {"lone high, then a pair", u"\xD83D\xD83D\xDE00", "???"},
      {"reversed pair", u"\xDE00\xD83D", "??"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16ToWin1252(c.input), c.expected) << c.name;
  }
}

// UTF-8 bytes written out by hand for each case.
TEST(Text1252Test, Utf16ToUtf8JoinsSurrogatePairsAndReplacesLoneOnes) {
  const struct {
    std::u16string in;
    std::string out;
  } cases[] = {
      {u"A\u00E9\u20AC", "A\xC3\xA9\xE2\x82\xAC"},
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},           // U+1F600, a pair
      {u"\xD83Dx", "\xEF\xBF\xBDx"},                   // a high surrogate alone
      {std::u16string(1, u'\xDE00'), "\xEF\xBF\xBD"},  // a low one alone
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf16ToUtf8(c.in), c.out);
}

TEST(Text1252Test, InvalidUtf8BecomesOneQuestionMarkPerBrokenSequence) {
  struct Case {
    const char* name;
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"outside the code page", "\xC4\x80|\xE4\xB8\xAD|\xF0\x9F\x98\x80", "?|?|?"},
      {"C1 control not in the code page", "\xC2\x80", "?"},
      {"stray continuation", "a\x80z", "a?z"},
      {"truncated at the end", "a\xC3", "a?"},
      {"truncated before ASCII", "\xE2\x82z", "?z"},
      {"truncated before a valid character", "\xE2\xC3\xA9", "?\xE9"},
      {"overlong two bytes", "\xC0\xAF", "??"},
      {"overlong three bytes", "\xE0\x80\xAF", "???"},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", "????"},
      {"encoded surrogate", "\xED\xA0\x80", "???"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
      {"highest code point", "\xF4\x8F\xBF\xBF", "?"},
      {"bytes never used", "\xF5\xFE\xFF", "???"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToWin1252(c.input), c.expected) << c.name;
  }
}

TEST(Text1252Test, EmbeddedNulAndEmptyText) {
  EXPECT_EQ(Utf8ToWin1252(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Win1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Utf16ToWin1252(u""), "");
  EXPECT_EQ(Win1252ToUtf16(""), u"");
}

TEST(Text1252Test, TrimLineTakesBlanksAndTabsAndTheLineEndsCarriageReturn) {
  struct Case {
    std::string_view line;
    std::string_view trimmed;
  };
  for (const Case& c :
       {Case{"", ""}, Case{" \t key = v \t\r", "key = v"}, Case{"\r", ""}, Case{"\rkey", "\rkey"},
        Case{"a\r b", "a\r b"}, Case{" \xA0x\xA0", "\xA0x\xA0"}}) {
    EXPECT_EQ(TrimLine(c.line), c.trimmed) << c.line;
  }
}

}  // namespace
}  // namespace platform
