#include "collector/NewPatient.h"

#include <vector>

#include "collector/PatientIds.h"
#include "datafile/QORFunc.h"
#include "platform/files.h"

TfrmNewPatient::TfrmNewPatient(QWidget* parent, platform::qt::FormMaking making)
    : TBannerWindow("TfrmNewPatient", parent) {
  InitializeBanner(making);
}

bool TfrmNewPatient::CreatePatient(const std::string& shown_id, const std::string& first_name,
                                   const std::string& last_name, const std::string& folder) {
  ShowNotice("Created: " + shown_id + " (" + first_name + " " + last_name + ") - " + folder);
  const std::vector<uint8_t> file = BuildPatientFile(shown_id, first_name, last_name);
  if (!ForceDirectory(folder)) return false;
  const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
  platform::WriteFileAtomically(folder + (separated ? "" : "/") + "Patient", file.data(),
                                file.size());
  return true;
}

void TfrmNewPatient::ShowNotice(const std::string& caption) {
  Timer1->SetEnabled(true);
  LblStatus->SetCaption(caption);
  show();
}
