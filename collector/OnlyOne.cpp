#include "collector/OnlyOne.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/program.h"
#include "platform/qt/application.h"
#include "platform/qt/event_loop.h"
#include "platform/qt/forms.h"
#include "platform/registry.h"

namespace {

std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return runtime;
  const char* temp = std::getenv("TMPDIR");
  return temp && *temp ? temp : "/tmp";
}

}  // namespace

TOnlyOne::TOnlyOne(platform::qt::TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)) {}

TOnlyOne::~TOnlyOne() {
  server_.reset();
  if (lock_fd_ >= 0) ::close(lock_fd_);  // releases the guard
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
  // named, made safe for a file name, then the store and the user.
  std::string title = platform::ApplicationTitle().substr(0, 20);
  for (char& c : title) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) c = '_';
  }
  const size_t store = std::hash<std::string>{}(platform::RegistryStorePath());
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, "-%u-%016zx", static_cast<unsigned>(::getuid()), store);
  return "OnlyOne" + title + suffix;
}

std::string TOnlyOne::LockFilePath() {
  return RuntimeFolder() + "/" + GuardName() + ".lock";
}

bool TOnlyOne::CheckOnlyOne() {
  if (lock_fd_ >= 0) return true;
  const std::string name = GuardName();
  const std::string lock_path = LockFilePath();
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lock_fd_ = fd;
    // A socket left by a dead instance is in the way; the lock says it is dead.
    QLocalServer::removeServer(QString::fromStdString(name));
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] {
      while (QLocalSocket* peer = server_->nextPendingConnection()) {
        peer->deleteLater();
        platform::RunGuarded([this] { BringForward(); });
      }
    });
    server_->listen(QString::fromStdString(name));
    return true;
  }
  if (fd >= 0) ::close(fd);
  // Another instance holds the guard: ask it to come forward, then end.
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(name));
  if (socket.waitForConnected(1000)) {
    socket.write("show\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
  }
  platform::SetApplicationTitle("destroy me");
  if (auto* app = platform::qt::TApplication::Instance()) app->Terminate();
  return false;
}

void TOnlyOne::BringForward() {
  if (OnBringForward) {
    OnBringForward();
    return;
  }
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
