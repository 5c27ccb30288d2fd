#include "platform/file_ends.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <string>

#include "platform/tests/temp_folder.h"

namespace {

class FileEndsTest : public ::testing::Test {
 protected:
  platform_test::TempFolder folder_{"file_ends_test"};
  const std::string& dir_ = folder_.path();
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
    return dir_ + "/" + name;
  }
};

TEST_F(FileEndsTest, HeadGivesAtMostCountBytesFromTheStart) {
  const std::string ten = Write("ten", std::string("0123\0"
                                                   "56789",
                                                   10));
  const std::string empty = Write("empty", "");
  struct Case {
    std::string path;
    size_t count;
    std::optional<std::string> head;
  };
  const Case cases[] = {
      {ten, 4, "0123"},
      {ten, 10,
       std::string("0123\0"
                   "56789",
                   10)},
      {ten, 25,
       std::string("0123\0"
                   "56789",
                   10)},
      {ten, 0, ""},
      {empty, 25, ""},
      {dir_ + "\\ten", 3, "012"},  // a path of the system's own form
      {dir_, 25, ""},              // a folder opens, and reads as nothing
      {dir_ + "/none", 25, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.count));
    EXPECT_EQ(platform::ReadFileHead(c.path, c.count), c.head);
  }
}

TEST_F(FileEndsTest, TailGivesTheLastCountBytesAndWhereTheyStart) {
  const std::string ten = Write("ten", "0123456789");
  const std::string empty = Write("empty", "");
  struct Case {
    std::string path;
    size_t count;
    std::string bytes;
    int64_t offset;
  };
  const Case cases[] = {
      {ten, 4, "6789", 6},          {ten, 9, "123456789", 1}, {ten, 10, "0123456789", 0},
      {ten, 11, "0123456789", 0},   {ten, 0, "", 10},         {empty, 4, "", 0},
      {dir_ + "\\ten", 2, "89", 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.count));
    const std::optional<platform::FileTail> tail = platform::ReadFileTail(c.path, c.count);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->bytes, c.bytes);
    EXPECT_EQ(tail->offset, c.offset);
  }
  EXPECT_FALSE(platform::ReadFileTail(dir_ + "/none", 4));
  EXPECT_FALSE(platform::ReadFileTail(dir_, 4));  // not a regular file
}

// A pipe where a file was expected has no writer: neither read waits for one.
TEST_F(FileEndsTest, APipeOfThatNameNeverStallsTheReader) {
  const std::string pipe = dir_ + "/pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(platform::ReadFileHead(pipe, 25), "");
  EXPECT_FALSE(platform::ReadFileTail(pipe, 25));
}

}  // namespace
