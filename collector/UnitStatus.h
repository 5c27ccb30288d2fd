// The status banner: a small window, always on top, that shows the transfer log's
// latest entry for three seconds.
//
// The main window sets LblStatus's caption and shows the banner; FormShow starts
// Timer1 and Timer1Timer hides the banner when it runs out. Showing the banner
// while it is visible changes only its text: Timer1 keeps counting from the first
// show, since enabling a running timer does not restart it.
//
// Closing the banner by hand only hides it (BannerWindow.h) and stops its timer,
// so that the next show has its full time.
#pragma once

#include <QWidget>
#include <string>

#include "platform/qt/forms.h"
#include "platform/qt/timer.h"
#include "widgets/qt/caplabel_qt.h"

class QCloseEvent;

class TfrmStatus : public platform::qt::TForm {
  Q_OBJECT

 public:
  explicit TfrmStatus(QWidget* parent = nullptr);

  // Components from the form resource, owned by the window.
  TCapLabelControl* LblStatus = nullptr;
  platform::qt::TTimer* Timer1 = nullptr;

  void FormShow(platform::qt::TComponentBase* sender);
  void Timer1Timer(platform::qt::TComponentBase* sender);

 protected:
  void closeEvent(QCloseEvent* event) override;
};
