// Gasbridge's program start: the toolkit, the single-instance guard, the language
// module the main application's settings name, the main window, the status banner
// and the new-patient notice, the message loop.
//
//   gasbridge [SOURCE] [--quit-after=SECONDS]
//
// SOURCE is the data source, as the autostart entry gives it: "COM3", "ABL" or
// "WARDVORTA" and a host. Options of our own start with "--" and never count as the
// source: --quit-after ends the program after that many seconds, 1 to
// kMaxQuitAfterSeconds (for running it without a person, e.g. on the offscreen
// platform); another value ends the program at once, with exit code 2. Qt's own
// options (-platform offscreen, ...) are taken by Qt.
//
// A language module is taken only when the program's windows can be made from it:
// they are made on trial first, and a module whose forms cannot be read is not
// used, which the main window's error line and transfer log then say.
#include <QStringList>
#include <QTimer>
#include <iostream>
#include <optional>
#include <string>

#include "collector/NewPatient.h"
#include "collector/OnlyOne.h"
#include "collector/Unit1.h"
#include "collector/Unit1Settings.h"
#include "collector/UnitStatus.h"
#include "datafile/QORClassLanguage.h"
#include "datamodel/DataModel.h"
#include "platform/qt/application.h"
#include "platform/qt/qt_text.h"
#include "widgets/capsupport.h"
#include "widgets/qt/capattachedlabel_qt.h"

int main(int argc, char** argv) {
  platform::qt::TApplication app(argc, argv);
  // The program ends when the main window closes, not when a banner does.
  app.setQuitOnLastWindowClosed(false);
  app.SetTitle("Gasbridge");

  std::string argument;
  bool have_argument = false;
  std::optional<int> quit_after;
  const QStringList arguments = app.arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg.startsWith("--quit-after=")) {
      quit_after = QuitAfterSeconds(platform::qt::FromQString(arg.mid(13)));
      if (!quit_after) {
        std::cerr << "gasbridge: --quit-after takes seconds from 1 to " << kMaxQuitAfterSeconds
                  << "\n";
        return 2;
      }
    } else if (!arg.startsWith("--") && !have_argument) {
      argument = platform::qt::FromQString(arg);
      have_argument = true;
    }
  }

  // A second start brings the first forward and ends before it makes a window,
  // takes a port or writes a setting.
  if (!TOnlyOne::CheckAtStart()) return 0;
  RegisterDataModel();
  const TCapMapProfile caption_settings;
  const TCapSupport caption_support(caption_settings);
  RegisterCapAttachedLabelClass();

  const std::optional<TModuleRefusal> refused = TLanguageManager::SetLanguage(
      TLanguageManager::GetRegisteredLanguage(kLanguageKey), TryCollectorWindows);

  // The end asks no window (the main window would refuse until the user confirms)
  // and ends every event loop, a message box's too.
  const auto end = [&app] { app.Terminate(); };
  // Set first, so that it also ends a start-up waiting for a person (a message
  // box on a screen no one sees).
  if (quit_after) QTimer::singleShot(*quit_after * 1000, &app, end);
  TForm1Setup setup;
  setup.argument = argument;
  setup.refused_module = refused;
  TForm1 form(std::move(setup));
  form.OnMainWindowClosed = end;
  TfrmStatus status;
  TfrmNewPatient notice;
  TFormBanners banners(status, notice);
  form.SetBanners(&banners);
  // The message loop starts with the main window shown; it hides itself at once
  // when its icon is in the notification area.
  if (!app.Terminated()) form.show();
  return app.Run();
}
