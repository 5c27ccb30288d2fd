#include "platform/qt/application.h"

#include <QAbstractEventDispatcher>
#include <clocale>
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
  // Qt puts the C library under the user's locale; its numbers stay in the C
  // locale's terms (a file, a log or a peer must never see "7,4" for 7.4). The
  // user's conventions come from platform/locale.h instead.
  std::setlocale(LC_NUMERIC, "C");
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
  // exit(), not quit(): Qt's quit() first asks every window to close and gives up
  // when one refuses, and the toolkit's end asks no window. exit() ends the loops
  // running now, the nested ones (a message box's) too. A loop started after it
  // (a message box that the start-up shows next) is ended as soon as it would wait,
  // and the main loop is not started at all (Run).
  if (!terminated_) {
    terminated_ = true;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
      connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
              [] { QCoreApplication::exit(0); });
    }
  }
  QCoreApplication::exit(0);
}

int TApplication::Run() {
  if (terminated_) return 0;
  return exec();
}

}  // namespace platform::qt
