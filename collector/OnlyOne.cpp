#include "collector/OnlyOne.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>

#include "platform/lock_file.h"
#include "platform/program.h"
#include "platform/qt/application.h"
#include "platform/qt/event_loop.h"
#include "platform/qt/forms.h"
#include "platform/registry.h"
#include "platform/system_info.h"

namespace {

std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return runtime;
  const char* temp = std::getenv("TMPDIR");
  return temp && *temp ? temp : "/tmp";
}

// A guard this process holds, by guard name. The program holds one; tests that
// change the store hold one per store.
struct HeldGuard {
  platform::LockFile lock;
  QPointer<QLocalServer> server;  // a child of the application object
  TOnlyOne* taken_by = nullptr;   // the component that took it; none: for the run
  TOnlyOne* forward = nullptr;    // what comes forward when asked
};

std::map<std::string, HeldGuard>& Held() {
  static std::map<std::string, HeldGuard> held;
  return held;
}

// Takes the guard of that name when no living process holds it.
HeldGuard* Take(const std::string& name) {
  const std::string lock_path = TOnlyOne::LockFilePath();
  platform::LockFile lock;
  const platform::LockFile::Result taken = lock.TryTake(lock_path);
  if (taken == platform::LockFile::Result::kCannotOpen) {
    // No place for the lock: nothing can tell whether another instance runs, and
    // refusing to start would stop the collecting for good. Start unguarded.
    std::fprintf(stderr, "single-instance guard: cannot open %s\n", lock_path.c_str());
    return &Held()[name];
  }
  if (taken == platform::LockFile::Result::kHeldByAnother) return nullptr;
  HeldGuard& guard = Held()[name];
  guard.lock = std::move(lock);
  // A socket left by a dead instance is in the way; the lock says it is dead.
  const QString socket = QString::fromStdString(TOnlyOne::SocketPath());
  QLocalServer::removeServer(socket);
  auto* server = new QLocalServer(QCoreApplication::instance());
  server->setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(server, &QLocalServer::newConnection, server, [server, name] {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
      peer->deleteLater();
      const auto it = Held().find(name);
      if (it == Held().end() || !it->second.forward) continue;
      TOnlyOne* forward = it->second.forward;
      if (forward->OnBringForward) platform::RunGuarded([forward] { forward->OnBringForward(); });
    }
  });
  server->listen(socket);
  guard.server = server;
  return &guard;
}

void Release(const std::string& name) {
  const auto it = Held().find(name);
  if (it == Held().end()) return;
  // Later: the release may come from a handler of the server's own signal.
  if (QLocalServer* server = it->second.server.data()) server->deleteLater();
  it->second.lock.Release();  // releases the guard
  Held().erase(it);
}

// How long a second start waits on the first instance, to connect and then to hand
// over its request: one that does not take it by then is not asked, and the second
// start ends all the same, so a hung first instance never holds it up for long.
constexpr int kGiveWayWaitMs = 1000;

// Another instance holds the guard: ask it to come forward, then end.
void GiveWay() {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(TOnlyOne::SocketPath()));
  if (socket.waitForConnected(kGiveWayWaitMs)) {
    socket.write("show\n");
    socket.waitForBytesWritten(kGiveWayWaitMs);
    socket.disconnectFromServer();
  }
  platform::SetApplicationTitle("destroy me");
  if (auto* app = platform::qt::TApplication::Instance()) app->Terminate();
}

}  // namespace

TOnlyOne::TOnlyOne(platform::qt::TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)) {
  OnBringForward = [this] { BringForward(); };
}

TOnlyOne::~TOnlyOne() {
  const auto it = Held().find(guard_name_);
  if (guard_name_.empty() || it == Held().end()) return;
  if (it->second.taken_by == this) {
    Release(guard_name_);
  } else if (it->second.forward == this) {
    it->second.forward = nullptr;
  }
}

void TOnlyOne::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("EnforceOnlyOne", [this](const platform::FormValue& v) { enforce_ = v.AsBoolean(); });
  list.Add("Left", [](const platform::FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const platform::FormValue& v) { v.AsInteger(); });
}

void TOnlyOne::Loaded() {
  TComponentBase::Loaded();
  if (enforce_) CheckOnlyOne();
}

std::string TOnlyOne::GuardName() {
  // "OnlyOne" and the title's first 20 characters, as the guard has always been
  // named, made safe for a file name, then the user and the store.
  std::string title = platform::ApplicationTitle().substr(0, 20);
  for (char& c : title) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) c = '_';
  }
  // The store by its resolved path: "./registry.reg" beside "registry.reg" is one
  // store, "registry.reg" in two folders two.
  const size_t store = std::hash<std::string>{}(platform::ResolvedRegistryStorePath());
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, "-%u-%016zx", platform::CurrentUserId(), store);
  return "OnlyOne" + title + suffix;
}

std::string TOnlyOne::LockFilePath() {
  return RuntimeFolder() + "/" + GuardName() + ".lock";
}

std::string TOnlyOne::SocketPath() {
  return RuntimeFolder() + "/" + GuardName() + ".socket";
}

bool TOnlyOne::CheckAtStart() {
  const std::string name = GuardName();
  if (Held().count(name)) return true;
  if (Take(name)) return true;
  GiveWay();
  return false;
}

bool TOnlyOne::CheckOnlyOne() {
  const std::string name = GuardName();
  HeldGuard* guard = nullptr;
  if (const auto it = Held().find(name); it != Held().end()) {
    guard = &it->second;
  } else if ((guard = Take(name))) {
    guard->taken_by = this;
  } else {
    GiveWay();
    return false;
  }
  guard->forward = this;
  guard_name_ = name;
  return true;
}

void TOnlyOne::BringForward() {
  if (platform::qt::TForm* window = Owner()) {
    if (window->isMinimized()) {
      window->showNormal();
    } else {
      window->show();
    }
    window->raise();
    window->activateWindow();
  }
}
