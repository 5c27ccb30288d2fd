// The single-instance guard: a second start of the program brings the running one
// forward and ends before it collects anything.
//
// Liveness is a lock the system releases when a process ends, however it ends: the
// first instance holds an flock on a lock file for its whole run, so a crashed or
// killed instance never blocks a later start. The first instance also listens on a
// local socket; a second one sends it a request and the first comes forward (shown
// when hidden or minimised, then raised). The guard is scoped by the application
// title and the settings store in use (QOR_REGISTRY), so collectors with stores of
// their own run side by side. The lock file and the socket live in
// $XDG_RUNTIME_DIR (else the temporary folder).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "platform/qt/component.h"

class QLocalServer;

class TOnlyOne : public QObject, public platform::qt::TComponentBase {
  Q_OBJECT

 public:
  TOnlyOne(platform::qt::TForm* owner, std::string name);
  ~TOnlyOne() override;

  std::string FormClassName() const override { return "TOnlyOne"; }
  void DefineProperties(platform::PropertyList& list) override;
  // Decides as soon as the owner's form resource is read, before the window's
  // creation handler runs and before any window shows.
  void Loaded() override;

  bool EnforceOnlyOne() const { return enforce_; }
  void SetEnforceOnlyOne(bool enforce) { enforce_ = enforce; }

  // True when this is the only instance (it now holds the guard); false when
  // another runs: that one was asked to come forward, this one's title became
  // "destroy me" and the end of this program was requested.
  bool CheckOnlyOne();
  bool IsFirstInstance() const { return lock_fd_ >= 0; }

  // What coming forward means; the default shows the owner window (restored when
  // minimised) and raises it.
  std::function<void()> OnBringForward;

  // The name both the lock file and the socket are made from, for this program's
  // title and store.
  static std::string GuardName();
  // The lock file the first instance holds.
  static std::string LockFilePath();

 private:
  void BringForward();

  bool enforce_ = true;
  int lock_fd_ = -1;
  std::unique_ptr<QLocalServer> server_;
};
