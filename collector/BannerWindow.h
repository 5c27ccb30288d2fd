// What the collector's two banners (the status banner and the new-patient notice)
// share: a window that shows a caption label now and then and hides itself when
// its timer runs out.
#pragma once

#include <QWidget>
#include <string>

#include "platform/qt/forms.h"
#include "platform/qt/timer.h"
#include "widgets/qt/caplabel_qt.h"

class QCloseEvent;

class TBannerWindow : public platform::qt::TForm {
  Q_OBJECT

 public:
  // Components from the form resource, owned by the window.
  TCapLabelControl* LblStatus = nullptr;
  platform::qt::TTimer* Timer1 = nullptr;

  // Disables Timer1 and hides the window.
  void Timer1Timer(platform::qt::TComponentBase* sender);

 protected:
  // Closing the window only hides it and never ends the program, even when it is
  // the only window on the screen, as it is while the main window waits hidden
  // behind the notification icon; and it shows without taking the keyboard from
  // the window in use.
  TBannerWindow(std::string class_name, QWidget* parent);
  // Reads the form resources (the derived window has registered its handlers)
  // and finds LblStatus and Timer1: EReadError "Component <name> not found" when
  // the resource did not make them. On trial, so much and no more.
  void InitializeBanner(platform::qt::FormMaking making);
  // Closing by hand also stops Timer1, so that the next show has its full time.
  void closeEvent(QCloseEvent* event) override;
};
