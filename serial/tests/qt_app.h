// A headless Qt application for the port tests, and a bounded event-loop spin.
#pragma once

#include <QCoreApplication>
#include <chrono>

namespace serial_test {

inline QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "serial_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

// Runs the event loop until Done holds; false when it did not within the guard
// (a guard against a hang, not a measure of time).
template <class Pred>
bool SpinUntil(Pred done, std::chrono::seconds guard = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + guard;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents();
  }
  return true;
}

}  // namespace serial_test
