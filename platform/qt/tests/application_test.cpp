// The application object's end of the program. A program has one application
// object and its end is for good, so each case runs in a process of its own (a
// death test) and reports what it saw in its exit code: 0 when all went as the
// toolkit has it, else the bits of what did not.
#include "platform/qt/application.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

// A main window that refuses to close until the user confirms, as Gasbridge's does.
class RefusingWindow : public QWidget {
 public:
  int asked = 0;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++asked;
    event->ignore();
  }
};

// Runs Case with a fresh application object in this process and ends the process
// with the code it returns.
[[noreturn]] void RunInOwnProcess(const std::function<int(platform::qt::TApplication&)>& run) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int code = 0;
  {
    static int argc = 1;
    static char name[] = "platform_qt_application_tests";
    static char* argv[] = {name, nullptr};
    platform::qt::TApplication app(argc, argv);
    // A safety net for a broken end (not a measure of time): a main loop still
    // running then ends with a code of its own.
    QTimer::singleShot(std::chrono::seconds(20), &app, [] { QCoreApplication::exit(64); });
    code = run(app);
  }
  std::exit(code);
}

// Spins a nested event loop, as a message box does, until something ends it;
// Ended stays false when nothing did (a safety net for a broken end, not a
// measure of time).
void NestedLoop(bool& ended) {
  QEventLoop loop;
  bool gave_up = false;
  QTimer::singleShot(std::chrono::seconds(20), &loop, [&] {
    gave_up = true;
    loop.quit();
  });
  loop.exec();
  ended = !gave_up;
}

class ApplicationTest : public ::testing::Test {
 protected:
  ApplicationTest() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ApplicationTest, AnEndBeforeTheLoopMeansTheLoopNeverRuns) {
  EXPECT_EXIT(RunInOwnProcess([](platform::qt::TApplication& app) {
                bool timer_ran = false;
                QTimer::singleShot(0, &app, [&] { timer_ran = true; });
                app.Terminate();
                int failures = app.Terminated() ? 0 : 1;
                if (app.Run() != 0) failures |= 2;
                if (timer_ran) failures |= 4;
                return failures;
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(ApplicationTest, TheEndAsksNoWindow) {
  EXPECT_EXIT(RunInOwnProcess([](platform::qt::TApplication& app) {
                app.setQuitOnLastWindowClosed(false);
                RefusingWindow window;
                window.show();
                QTimer::singleShot(0, &app, [&app] { app.Terminate(); });
                int failures = app.Run() == 0 ? 0 : 1;
                if (window.asked != 0) failures |= 2;
                if (!window.isVisible()) failures |= 4;
                return failures;
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(ApplicationTest, TheEndEndsANestedLoopAndTheMainLoop) {
  EXPECT_EXIT(RunInOwnProcess([](platform::qt::TApplication& app) {
                bool nested_ended = false;
                QTimer::singleShot(0, &app, [&] {
                  QTimer::singleShot(0, &app, [&app] { app.Terminate(); });
                  NestedLoop(nested_ended);
                });
                int failures = app.Run() == 0 ? 0 : 1;
                if (!nested_ended) failures |= 2;
                return failures;
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(ApplicationTest, TheCLibrarysNumbersStayInTheCLocale) {
  EXPECT_EXIT(
      {
        // Qt takes the C library's locale from the environment.
        ::setenv("LC_ALL", "C.UTF-8", 1);
        RunInOwnProcess([](platform::qt::TApplication&) {
          char text[16];
          std::snprintf(text, sizeof text, "%.1f", 7.4);
          int failures = std::string(std::setlocale(LC_NUMERIC, nullptr)) == "C" ? 0 : 1;
          if (std::string(text) != "7.4") failures |= 2;
          return failures;
        });
      },
      ::testing::ExitedWithCode(0), "");
}

// A start-up waiting for a person (a message box that no one sees) is ended from a
// timer: that box ends, a box the start-up shows after it ends at once, and the
// main loop never runs.
TEST_F(ApplicationTest, AnEndDuringTheStartEndsEveryLoopAfterIt) {
  EXPECT_EXIT(RunInOwnProcess([](platform::qt::TApplication& app) {
                bool first_ended = false;
                bool second_ended = false;
                QTimer::singleShot(0, &app, [&app] { app.Terminate(); });
                NestedLoop(first_ended);
                NestedLoop(second_ended);
                bool main_loop_ran = false;
                QTimer::singleShot(0, &app, [&] { main_loop_ran = true; });
                int failures = app.Run() == 0 ? 0 : 1;
                if (!first_ended || !second_ended) failures |= 2;
                if (main_loop_ran) failures |= 4;
                return failures;
              }),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
