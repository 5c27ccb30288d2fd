#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string FirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// The kernel tells the same through /proc.
TEST(SystemInfoTest, TheOperatingSystemsNameReleaseAndBuild) {
  const std::string expected = FirstLine("/proc/sys/kernel/ostype") + " " +
                               FirstLine("/proc/sys/kernel/osrelease") + " " +
                               FirstLine("/proc/sys/kernel/version");
  EXPECT_EQ(platform::OperatingSystemName(), expected);
}

TEST(SystemInfoTest, TheUserTheProcessRunsAs) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line) && line.rfind("Uid:", 0) != 0) {
  }
  std::istringstream fields(line.substr(4));
  unsigned real = 0;
  ASSERT_TRUE(fields >> real) << line;
  EXPECT_EQ(platform::CurrentUserId(), real);
}

}  // namespace
