#include "platform/qt/application.h"

#include <QTimer>
#include <exception>

#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/program.h"
#include "platform/qt/dialogs_qt.h"
#include "platform/qt/event_loop.h"
#include "platform/qt/resources_qt.h"
#include "platform/text_1252.h"

namespace platform::qt {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setQuitOnLastWindowClosed(true);
  setApplicationName(QString::fromStdString(Win1252ToUtf8(ApplicationTitle())));
  SetDialogs(std::make_unique<QtDialogs>());
  InstallQtResources();
}

TApplication::~TApplication() {
  SetDialogs(nullptr);
}

TApplication* TApplication::Instance() {
  return qobject_cast<TApplication*>(QCoreApplication::instance());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportException(error);
  } catch (...) {
    ReportException(Exception("Unknown exception"));
  }
  return false;
}

std::string TApplication::Title() const {
  return ApplicationTitle();
}

void TApplication::SetTitle(const std::string& title) {
  SetApplicationTitle(title);
  setApplicationName(QString::fromStdString(Win1252ToUtf8(title)));
}

void TApplication::Terminate() {
  terminated_ = true;
  quit();
}

int TApplication::Run() {
  if (terminated_) return 0;
  return exec();
}

}  // namespace platform::qt
