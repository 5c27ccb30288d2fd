#include "widgets/captext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(CapTextTest, DeleteAndInsertStayWithinTheText) {
  struct Case {
    const char* name;
    std::string text;
    size_t pos;
    std::string after_delete;
    std::string after_insert;  // of 'x'
  };
  const Case cases[] = {
      {"first", "abc", 0, "bc", "xabc"},
      {"last", "abc", 2, "ab", "abxc"},
      {"at the end", "abc", 3, "abc", "abcx"},
      {"beyond the end", "abc", 9, "abc", "abcx"},
      {"empty", "", 0, "", "x"},
      {"beyond a NUL", "ab\0cd"s, 3, "ab\0cd"s, "abx\0cd"s},
  };
  for (const Case& c : cases) {
    std::string deleted = c.text;
    CapDeleteChar(deleted, c.pos);
    EXPECT_EQ(deleted, c.after_delete) << c.name;
    std::string inserted = c.text;
    CapInsertChar(inserted, 'x', c.pos);
    EXPECT_EQ(inserted, c.after_insert) << c.name;
  }
}

TEST(CapTextTest, FindsTheFirstOccurrence) {
  size_t pos = 99;
  EXPECT_TRUE(CapFindChar("a,b,c", ',', pos));
  EXPECT_EQ(pos, 1u);
  pos = 99;
  EXPECT_FALSE(CapFindChar("abc", ',', pos));
  EXPECT_EQ(pos, 99u);  // untouched when not found
  EXPECT_FALSE(CapFindChar("ab\0,"s, ',', pos));

  EXPECT_TRUE(CapFindSubstring("dd MMMM MMM", "MMM", pos));
  EXPECT_EQ(pos, 3u);
  EXPECT_TRUE(CapFindSubstring("abc", "", pos));
  EXPECT_EQ(pos, 0u);
  EXPECT_FALSE(CapFindSubstring("ab", "abc", pos));
  EXPECT_FALSE(CapFindSubstring("ab\0abc"s, "abc", pos));
}

}  // namespace
