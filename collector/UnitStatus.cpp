#include "collector/UnitStatus.h"

TfrmStatus::TfrmStatus(QWidget* parent, platform::qt::FormMaking making)
    : TBannerWindow("TfrmStatus", parent) {
  RegisterMethod("FormShow", platform::qt::TNotifyEvent(
                                 [this](platform::qt::TComponentBase* s) { FormShow(s); }));
  InitializeBanner(making);
}

void TfrmStatus::FormShow(platform::qt::TComponentBase*) {
  Timer1->SetEnabled(true);
}
