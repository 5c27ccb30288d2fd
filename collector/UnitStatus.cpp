#include "collector/UnitStatus.h"

#include <QCloseEvent>

#include "collector/BannerWindow.h"

TfrmStatus::TfrmStatus(QWidget* parent) : TForm("TfrmStatus", parent) {
  banner::MakeBannerWindow(*this);
  RegisterMethod("FormShow", platform::qt::TNotifyEvent(
                                 [this](platform::qt::TComponentBase* s) { FormShow(s); }));
  RegisterMethod("Timer1Timer", platform::qt::TNotifyEvent(
                                    [this](platform::qt::TComponentBase* s) { Timer1Timer(s); }));
  InitializeFromResources();
  LblStatus = banner::Required<TCapLabelControl>(*this, "LblStatus");
  Timer1 = banner::Required<platform::qt::TTimer>(*this, "Timer1");
}

void TfrmStatus::FormShow(platform::qt::TComponentBase*) {
  Timer1->SetEnabled(true);
}

void TfrmStatus::Timer1Timer(platform::qt::TComponentBase*) {
  Timer1->SetEnabled(false);
  hide();
}

void TfrmStatus::closeEvent(QCloseEvent* event) {
  TForm::closeEvent(event);
  if (event->isAccepted()) Timer1->SetEnabled(false);
}
