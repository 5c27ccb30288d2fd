// Carries out Gasmimic's command line (GasmimicOptions.h) on its window, as a user
// would: it picks the entry of the port list, checks "Single CS Error", presses the
// buttons, and ends the program when the canned message has gone out or the time
// given has passed. The time never cuts a serial message short, which would leave
// the collector half a message: one in flight then is given the stall time to end.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>
#include <ostream>

#include "simulator/GasmimicOptions.h"
#include "simulator/Unit1.h"

class TGasmimicDriver : public QObject {
 public:
  // Quit ends the program with an exit code; Out and Err take the driver's reports.
  TGasmimicDriver(TForm1& form, TGasmimicOptions options, std::function<void(int)> quit,
                  std::ostream& out, std::ostream& err);

  // Applies the options to the window. An exit code when the program has to end at
  // once: 1 when the port asked for cannot be opened and a button was to be pressed.
  std::optional<int> Apply();

 private:
  // Whether the canned message has gone out whole: its EOT sent (the sample counted,
  // the timer stopped) and the port's output ring emptied onto the line.
  bool CannedMessageSent() const;
  // No serial message in flight, and what was sent has left the port.
  bool LineQuiet() const;
  void Poll();
  void QuitAfterTime();

  TForm1& form_;
  TGasmimicOptions options_;
  std::function<void(int)> quit_;
  std::ostream& out_;
  std::ostream& err_;
  int sample_before_send_ = 0;
  bool sending_ = false;
  // The time is up; the program ends once the line is quiet or this has passed.
  std::optional<std::chrono::steady_clock::time_point> quit_deadline_;
  QTimer poll_;
  QTimer quit_timer_;
};
