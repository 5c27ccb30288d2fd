#include "collector/BannerWindow.h"

#include <QCloseEvent>

TBannerWindow::TBannerWindow(std::string class_name, QWidget* parent)
    : TForm(std::move(class_name), parent) {
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  RegisterCapLabelClass();
  RegisterMethod("Timer1Timer", platform::qt::TNotifyEvent(
                                    [this](platform::qt::TComponentBase* s) { Timer1Timer(s); }));
}

void TBannerWindow::InitializeBanner(platform::qt::FormMaking making) {
  InitializeFromResources(making);
  LblStatus = Required<TCapLabelControl>("LblStatus");
  Timer1 = Required<platform::qt::TTimer>("Timer1");
}

void TBannerWindow::Timer1Timer(platform::qt::TComponentBase*) {
  Timer1->SetEnabled(false);
  hide();
}

void TBannerWindow::closeEvent(QCloseEvent* event) {
  TForm::closeEvent(event);
  if (event->isAccepted()) Timer1->SetEnabled(false);
}
