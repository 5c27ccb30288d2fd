// The clipboard formats, file attributes and the steady clock.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/monotonic_clock.h"
#include "platform/tests/temp_folder.h"

namespace {

TEST(ClipboardTest, FormatsAreRegisteredByNameWithoutCase) {
  const uint16_t object = platform::RegisterClipboardFormat("Test object format");
  const uint16_t plot = platform::RegisterClipboardFormat("Test plot format");
  EXPECT_GE(object, 0xC000);
  EXPECT_GE(plot, 0xC000);
  EXPECT_NE(object, plot);
  EXPECT_EQ(platform::RegisterClipboardFormat("TEST OBJECT FORMAT"), object);
  EXPECT_EQ(platform::RegisterClipboardFormat(""), 0);
}

TEST(SteadyClockTest, ReadsTheSteadyClockInMilliseconds) {
  const auto steady_ms = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  const int64_t before = steady_ms();
  const int64_t now = platform::SteadyClock().Now();
  EXPECT_LE(before, now);
  EXPECT_LE(now, steady_ms());
  EXPECT_EQ(&platform::SteadyClock(), &platform::SteadyClock());
}

TEST(FileAttributesTest, ReadOnlyFilesAndFolders) {
  platform_test::TempFolder folder("attributes_test");
  const std::string file = folder.path() + "/file";
  std::ofstream(file) << "x";
  EXPECT_FALSE(platform::GetFileAttributes(folder.path() + "/none"));
  EXPECT_FALSE(platform::GetFileAttributes(""));
  auto attributes = platform::GetFileAttributes(file);
  ASSERT_TRUE(attributes);
  EXPECT_FALSE(attributes->directory);
  EXPECT_FALSE(attributes->read_only);
  ASSERT_EQ(chmod(platform::ToOsPath(file).c_str(), 0444), 0);
  EXPECT_TRUE(platform::GetFileAttributes(file)->read_only);
  attributes = platform::GetFileAttributes(folder.path() + "\\");
  ASSERT_TRUE(attributes);
  EXPECT_TRUE(attributes->directory);
}

}  // namespace
