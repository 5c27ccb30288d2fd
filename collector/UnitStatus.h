// The status banner: a small window, always on top, that shows the transfer log's
// latest entry for three seconds.
//
// The main window sets LblStatus's caption and shows the banner; FormShow starts
// Timer1 and Timer1Timer hides the banner when it runs out. Showing the banner
// while it is visible changes only its text: Timer1 keeps counting from the first
// show, since enabling a running timer does not restart it. Closing it by hand
// only hides it (BannerWindow.h).
#pragma once

#include <QWidget>

#include "collector/BannerWindow.h"

class TfrmStatus : public TBannerWindow {
  Q_OBJECT

 public:
  explicit TfrmStatus(QWidget* parent = nullptr,
                      platform::qt::FormMaking making = platform::qt::FormMaking::kForUse);

  void FormShow(platform::qt::TComponentBase* sender);
};
