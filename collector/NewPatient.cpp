#include "collector/NewPatient.h"

#include <QCloseEvent>
#include <vector>

#include "collector/BannerWindow.h"
#include "collector/PatientIds.h"
#include "datafile/QORFunc.h"
#include "platform/files.h"

TfrmNewPatient::TfrmNewPatient(QWidget* parent) : TForm("TfrmNewPatient", parent) {
  banner::MakeBannerWindow(*this);
  RegisterMethod("Timer1Timer", platform::qt::TNotifyEvent(
                                    [this](platform::qt::TComponentBase* s) { Timer1Timer(s); }));
  InitializeFromResources();
  LblStatus = banner::Required<TCapLabelControl>(*this, "LblStatus");
  Timer1 = banner::Required<platform::qt::TTimer>(*this, "Timer1");
}

bool TfrmNewPatient::CreatePatient(const std::string& shown_id, const std::string& first_name,
                                   const std::string& last_name, const std::string& folder) {
  Timer1->SetEnabled(true);
  LblStatus->SetCaption("Created: " + shown_id + " (" + first_name + " " + last_name + ") - " +
                        folder);
  show();
  const std::vector<uint8_t> file = BuildPatientFile(shown_id, first_name, last_name);
  if (!ForceDirectory(folder)) return false;
  const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
  platform::WriteFileAtomically(folder + (separated ? "" : "/") + "Patient", file.data(),
                                file.size());
  return true;
}

void TfrmNewPatient::Timer1Timer(platform::qt::TComponentBase*) {
  Timer1->SetEnabled(false);
  hide();
}

void TfrmNewPatient::closeEvent(QCloseEvent* event) {
  TForm::closeEvent(event);
  if (event->isAccepted()) Timer1->SetEnabled(false);
}
