// The widget tests run with the application object in place from the start.
#include <gtest/gtest.h>

#include "platform/qt/tests/qt_app.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  platform_test::App();
  return RUN_ALL_TESTS();
}
