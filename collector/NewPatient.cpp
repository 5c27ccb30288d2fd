#include "collector/NewPatient.h"

#include <vector>

#include "collector/PatientIds.h"
#include "datafile/QORFunc.h"

TfrmNewPatient::TfrmNewPatient(QWidget* parent, platform::qt::FormMaking making)
    : TBannerWindow("TfrmNewPatient", parent) {
  InitializeBanner(making);
}

bool TfrmNewPatient::CreatePatient(const std::string& shown_id, const std::string& first_name,
                                   const std::string& last_name, const std::string& folder) {
  ShowNotice("Created: " + shown_id + " (" + first_name + " " + last_name + ") - " + folder);
  const std::vector<uint8_t> file = BuildPatientFile(shown_id, first_name, last_name);
  if (!ForceDirectory(folder)) return false;
  // A patient file that is there already is the patient's, kept as it is.
  WritePatientFile(folder, file);
  return true;
}

void TfrmNewPatient::ShowNotice(const std::string& caption) {
  Timer1->SetEnabled(true);
  LblStatus->SetCaption(caption);
  show();
}
