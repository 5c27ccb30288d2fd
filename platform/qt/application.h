// The application object of the two programs: Qt's QApplication with the rules the
// system expects of its toolkit's application.
// - Every event handler runs through the application-wide exception hook: an
//   exception that leaves a widget's event handler is caught in notify() and goes to
//   the hook (event_loop.h), never through Qt.
// - Terminate() ends the program as the toolkit's does: no window is asked (a
//   window that refuses to close does not keep the program alive), and every event
//   loop running ends, a message box's too. Asked before the event loop runs (a
//   second instance, a failed start), Run() returns at once and the loop never
//   runs.
// - The C library's numeric locale stays "C", whatever Qt sets from the
//   environment.
// - The title is the application title of platform/program.h.
// - Installs the Qt dialogs, the program's own resources (":/qor", see
//   resources_qt.h) and the loader of language modules.
#pragma once

#include <QApplication>
#include <string>

namespace platform::qt {

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);
  ~TApplication() override;

  static TApplication* Instance();

  bool notify(QObject* receiver, QEvent* event) override;

  std::string Title() const;
  void SetTitle(const std::string& title);

  // Ends the program: every running event loop ends, without asking the windows,
  // and Run() starts none after it.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Runs the event loop until Terminate or the last window closes; returns the exit
  // code; 0 at once when Terminate came first.
  int Run();

 private:
  bool terminated_ = false;
};

}  // namespace platform::qt
