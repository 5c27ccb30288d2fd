// The clipboard formats and file attributes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
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
