#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/exception.h"
#include "platform/stream.h"
#include "platform/tests/temp_folder.h"

namespace {

using platform::MemoryStream;
using platform::SeekOrigin;

std::string ContentOf(const MemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.Size()));
}

TEST(MemoryStreamTest, ReadWriteAndSeek) {
  MemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  EXPECT_EQ(stream.Size(), 6);
  EXPECT_EQ(stream.Position(), 6);
  EXPECT_EQ(stream.Seek(-4, SeekOrigin::kCurrent), 2);
  char two[2];
  stream.ReadBuffer(two, 2);
  EXPECT_EQ(std::string(two, 2), "cd");
  EXPECT_EQ(stream.Seek(-1, SeekOrigin::kEnd), 5);
  char rest[4];
  EXPECT_EQ(stream.Read(rest, 4), 1);  // only what is there
  EXPECT_THROW(stream.ReadBuffer(rest, 1), EReadError);
  EXPECT_EQ(stream.Seek(-100, SeekOrigin::kBegin), 0);
}

TEST(MemoryStreamTest, GapsAndGrowthAreZeroFilled) {
  MemoryStream stream;
  stream.WriteBuffer("ab", 2);
  stream.SetPosition(5);
  stream.WriteBuffer("z", 1);
  EXPECT_EQ(ContentOf(stream), std::string("ab\0\0\0z", 6));
  stream.SetSize(8);
  EXPECT_EQ(ContentOf(stream), std::string("ab\0\0\0z\0\0", 8));
  stream.SetSize(1);
  EXPECT_EQ(stream.Position(), 1);
  EXPECT_EQ(ContentOf(stream), "a");
}

TEST(MemoryStreamTest, CopyFromWholeOrPart) {
  MemoryStream source;
  source.WriteBuffer("0123456789", 10);
  MemoryStream dest;
  EXPECT_EQ(dest.CopyFrom(source, 0), 10);  // 0: the whole source from its start
  source.SetPosition(3);
  EXPECT_EQ(dest.CopyFrom(source, 2), 2);
  EXPECT_EQ(ContentOf(dest), "012345678934");
  source.SetPosition(9);
  EXPECT_THROW(dest.CopyFrom(source, 5), EReadError);
}

class MemoryStreamFileTest : public ::testing::Test {
 protected:
  platform_test::TempFolder folder_{"stream_test"};
  const std::string& dir_ = folder_.path();
};

TEST_F(MemoryStreamFileTest, SaveReplacesTheFileAndLoadReadsItBack) {
  const std::string name = dir_ + "/ABL.vor";
  MemoryStream out;
  out.WriteBuffer("first", 5);
  out.SaveToFile(name);
  ::chmod(name.c_str(), 0640);
  out.Clear();
  out.WriteBuffer("second", 6);
  out.SaveToFile(name);

  MemoryStream in;
  in.LoadFromFile(name);
  EXPECT_EQ(ContentOf(in), "second");
  EXPECT_EQ(in.Position(), 0);
  struct stat st;
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's permissions stay
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);
}

// A save that fails part way (here: a file-size limit stops the write) raises and
// leaves the previous file whole, and no temporary file behind.
TEST_F(MemoryStreamFileTest, FailedSaveLeavesThePreviousFile) {
  const std::string name = dir_ + "/keep.vor";
  std::ofstream(name) << "precious";
  MemoryStream out;
  out.WriteBuffer("a longer new content", 20);

  struct rlimit old_limit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  EXPECT_THROW(out.SaveToFile(name), EFCreateError);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  MemoryStream in;
  in.LoadFromFile(name);
  EXPECT_EQ(ContentOf(in), "precious");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(MemoryStreamFileTest, SaveIntoAMissingFolderRaises) {
  MemoryStream out;
  out.WriteBuffer("x", 1);
  try {
    out.SaveToFile(dir_ + "/missing/file.vor");
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(
        std::string(e.what()).rfind("Cannot create file \"" + dir_ + "/missing/file.vor\". ", 0),
        0u);
  }
}

// A load that fails, before the file is opened or after, raises and leaves the
// stream as it was: content, size and position.
TEST_F(MemoryStreamFileTest, FailedLoadLeavesThePreviousContent) {
  const std::string unreadable = dir_ + "/locked.vor";
  std::ofstream(unreadable) << "secret";
  ::chmod(unreadable.c_str(), 0);
  const bool can_lock = ::access(unreadable.c_str(), R_OK) != 0;  // not as root

  for (const std::string& name : {dir_ + "/nothing.vor", dir_, unreadable}) {
    if (name == unreadable && !can_lock) continue;
    SCOPED_TRACE(name);
    MemoryStream in;
    in.WriteBuffer("old content", 11);
    in.SetPosition(4);
    EXPECT_THROW(in.LoadFromFile(name), EFOpenError);
    EXPECT_EQ(ContentOf(in), "old content");
    EXPECT_EQ(in.Position(), 4);
  }
}

TEST_F(MemoryStreamFileTest, LoadReplacesLongerAndShorterContent) {
  const std::string name = dir_ + "/five.vor";
  std::ofstream(name) << "12345";
  MemoryStream in;
  in.WriteBuffer("a much longer previous content", 30);
  in.LoadFromFile(name);
  EXPECT_EQ(ContentOf(in), "12345");
  EXPECT_EQ(in.Position(), 0);
  in.Clear();
  in.WriteBuffer("ab", 2);
  in.LoadFromFile(name);
  EXPECT_EQ(ContentOf(in), "12345");
  std::ofstream(name, std::ios::trunc).flush();
  in.LoadFromFile(name);
  EXPECT_EQ(in.Size(), 0);
}

}  // namespace
