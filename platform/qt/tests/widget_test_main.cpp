// The widget tests run with the application object in place from the start.
#include <gtest/gtest.h>

#include "platform/qt/tests/qt_app.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  platform_test::App();
  return RUN_ALL_TESTS();
}

// Fontconfig keeps a cache for the life of the process, which the leak checker of
// the sanitizer build would report as ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
