#include "collector/NewPatient.h"

#include <vector>

#include "collector/PatientIds.h"
#include "datafile/QORFunc.h"
#include "platform/files.h"

TfrmNewPatient::TfrmNewPatient(QWidget* parent) : TBannerWindow("TfrmNewPatient", parent) {
  InitializeBanner();
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
