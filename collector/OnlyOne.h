// The single-instance guard: a second start of the program brings the running one
// forward and ends before it collects anything.
//
// Liveness is a lock the system releases when a process ends, however it ends: the
// first instance holds an flock on a lock file for its whole run, so a crashed or
// killed instance never blocks a later start. The first instance also listens on a
// local socket; a second one sends it a request and the first comes forward (shown
// when hidden, restored when minimised, then raised). The guard is scoped by the
// application title and the settings store in use (QOR_REGISTRY), known by its
// resolved path whatever the spelling, so collectors with stores of their own run
// side by side and two on one store never do. The lock file and the socket live in
// $XDG_RUNTIME_DIR (else the temporary folder).
//
// The program decides before it makes any window: right after the application
// object, TOnlyOne::CheckAtStart(); when it is false the program returns from main
// at once, so a second instance never opens the serial port, binds the relay
// port, writes the autostart entry or shows a window. The TOnlyOne component on the
// main window (EnforceOnlyOne) then finds the guard held by its own process and
// only becomes what comes forward: its owner window.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "platform/qt/component.h"

class TOnlyOne : public QObject, public platform::qt::TComponentBase {
  Q_OBJECT

 public:
  TOnlyOne(platform::qt::TForm* owner, std::string name);
  // Releases the guard when this component took it; a guard taken by
  // CheckAtStart is held until the process ends.
  ~TOnlyOne() override;

  std::string FormClassName() const override { return "TOnlyOne"; }
  void DefineProperties(platform::PropertyList& list) override;
  // Decides as soon as the owner's form resource is read, before the window's
  // creation handler runs and before any window shows.
  void Loaded() override;

  bool EnforceOnlyOne() const { return enforce_; }
  void SetEnforceOnlyOne(bool enforce) { enforce_ = enforce; }

  // The program's decision before its first window: true when this is the only
  // instance (the process now holds the guard for its run, or held it already);
  // false when another runs: that one was asked to come forward, this one's title
  // became "destroy me" and the end of this program was requested.
  static bool CheckAtStart();

  // The same decision for the component: true when this process holds the guard
  // (taking it when free), and this component is then what a later start brings
  // forward.
  bool CheckOnlyOne();

  // What coming forward means; the default shows the owner window (restored when
  // minimised) and raises it.
  std::function<void()> OnBringForward;

  // The name both the lock file and the socket are made from, for this program's
  // title and store.
  static std::string GuardName();
  // The lock file and the socket the first instance holds.
  static std::string LockFilePath();
  static std::string SocketPath();

 private:
  void BringForward();

  bool enforce_ = true;
  std::string guard_name_;  // the guard this component took or came forward for
};
