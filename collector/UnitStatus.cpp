#include "collector/UnitStatus.h"

TfrmStatus::TfrmStatus(QWidget* parent) : TBannerWindow("TfrmStatus", parent) {
  RegisterMethod("FormShow", platform::qt::TNotifyEvent(
                                 [this](platform::qt::TComponentBase* s) { FormShow(s); }));
  InitializeBanner();
}

void TfrmStatus::FormShow(platform::qt::TComponentBase*) {
  Timer1->SetEnabled(true);
}
