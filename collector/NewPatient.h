// The new-patient notice: shown for five seconds when the collector creates a
// patient's folder and patient file for a patient the analyzer sent.
//
// CreatePatient starts Timer1, shows the notice and writes the patient file;
// Timer1Timer hides the notice. Closing it by hand only hides it
// (BannerWindow.h).
#pragma once

#include <QWidget>
#include <string>

#include "collector/BannerWindow.h"

class TfrmNewPatient : public TBannerWindow {
  Q_OBJECT

 public:
  explicit TfrmNewPatient(QWidget* parent = nullptr,
                          platform::qt::FormMaking making = platform::qt::FormMaking::kForUse);

  // Shows "Created: <id> (<first name> <last name>) - <folder>", whatever follows;
  // then makes the folder (with its parents) and creates the patient file "Patient"
  // in it (WritePatientFile: whole or not at all, and a patient file that is there
  // already stays as it is). False when the folder could not be made: nothing is
  // written. Raises when the folder's root does not exist (ForceDirectory's
  // exception) or the file cannot be written. The folder is the caller's, made from
  // a checked patient id (collector/PatientIds.h).
  bool CreatePatient(const std::string& shown_id, const std::string& first_name,
                     const std::string& last_name, const std::string& folder);

  // Shows the notice with this caption for five seconds. The collector's main
  // window writes the patient file itself and shows the notice only when the file
  // is on the disk, so that a failed creation never looks like a success.
  void ShowNotice(const std::string& caption);
};
