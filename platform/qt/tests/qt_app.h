// The application object of the widget tests: one TApplication for the whole
// program, on the offscreen platform, made on first use.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "platform/canvas.h"
#include "platform/qt/application.h"

namespace platform_test {

inline platform::qt::TApplication& App() {
  static int argc = 1;
  static char name[] = "platform_qt_widget_tests";
  static char* argv[] = {name, nullptr};
  static platform::qt::TApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new platform::qt::TApplication(argc, argv);
  }();
  return *app;
}

// Runs the event loop until Done holds; false when it still does not after the
// limit (a safety net for broken code, never a measure of speed).
inline bool RunUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  App();
  QEventLoop loop;
  QTimer poll;
  QTimer give_up;
  bool timed_out = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  QObject::connect(&give_up, &QTimer::timeout, [&] {
    timed_out = true;
    loop.quit();
  });
  if (done()) return true;
  poll.start(1);
  give_up.start(limit);
  loop.exec();
  return !timed_out || done();
}

// Whether the image holds a pixel of that colour (0x00BBGGRR), for screenshots
// whose look is checked by what is there rather than pixel by pixel.
inline bool HasColor(const QImage& image, platform::Color color) {
  const QRgb wanted = qRgb(color & 0xFF, color >> 8 & 0xFF, color >> 16 & 0xFF) & 0xFFFFFF;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == wanted) return true;
    }
  }
  return false;
}

}  // namespace platform_test
