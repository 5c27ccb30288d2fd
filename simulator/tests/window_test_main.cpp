// The window tests run on the offscreen platform with the application object in
// place from the start, and with a home of their own, so that nothing the toolkit
// or the program keeps (caches, settings) lands in the user's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/qt/tests/qt_app.h"
#include "platform/tests/temp_folder.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const platform_test::TempFolder home("gasmimic_home");
  ::setenv("HOME", home.path().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home.path() + "/.config").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (home.path() + "/.cache").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home.path() + "/.local/share").c_str(), 1);
  ::setenv("QOR_REGISTRY", (home.path() + "/registry.reg").c_str(), 1);
  const std::string runtime = home.path() + "/runtime";
  std::filesystem::create_directory(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  platform_test::App();
  return RUN_ALL_TESTS();
}
