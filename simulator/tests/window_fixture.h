// The window under test with its surroundings: scripted dialogs, fake timers that
// also drive the stall rule's clock and the message times, a com-port folder for
// pseudo-terminals, and Gasbridge's receiver as the far end of a serial line.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QComboBox>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "collector/AnalyzerLink.h"
#include "platform/date_time.h"
#include "platform/dialogs.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/qt/timer.h"
#include "platform/tests/pty_pair.h"
#include "simulator/Unit1.h"

namespace simulator_test {

// 2024-03-05 07:08:09 when the fake timers start; the message times move with them.
inline platform::DateTime StartTime() {
  return platform::EncodeDate(2024, 3, 5) + platform::EncodeTime(7, 8, 9, 0);
}

// Everything that has come in on a descriptor so far, without waiting.
inline std::string ReadAvailable(int fd) {
  std::string out;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) break;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}

// Gasbridge's side of a serial line: its receiver on the master side of a
// pseudo-terminal whose slave is the simulator's port.
class CollectorEnd : public TAnalyzerLinkEvents {
 public:
  explicit CollectorEnd(platform_test::Pty& pty) : pty_(pty) {}

  void SendToAnalyzer(std::string_view bytes) override {
    for (char c : bytes)
      if (c == astm::kNAK) ++naks;
    pty_.Write(std::string(bytes));
  }
  void MessageComplete(std::vector<std::string> lines) override {
    messages.push_back(std::move(lines));
  }
  void LinkNotice(const TLinkNotice& notice) override { notices.push_back(notice.text); }

  // Hands what the simulator sent to the receiver.
  void Pump() {
    const std::string bytes = ReadAvailable(pty_.master());
    received += bytes;
    link_.Receive(bytes);
  }

  std::vector<std::vector<std::string>> messages;
  std::vector<std::string> notices;
  std::string received;
  int naks = 0;

 private:
  platform_test::Pty& pty_;
  TAnalyzerLink link_{*this};
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { platform_test::App(); }

  // The user picks an entry of the port list.
  void PickEntry(int index) {
    form->ComSel->SetItemIndex(index);
    emit static_cast<QComboBox*>(form->ComSel->Widget())->activated(index);
  }

  // Runs the event loop, pumping the far end, until Done.
  static bool RunUntil(const std::function<bool()>& done) { return platform_test::RunUntil(done); }

  platform::ScopedScriptedDialogs dialogs;
  platform::qt::ScopedFakeTimers timers;
  platform_test::ComPorts ports;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&timers.clock(), [this] {
    return StartTime() + static_cast<double>(timers->Now()) / 86400000.0;
  });
};

}  // namespace simulator_test
