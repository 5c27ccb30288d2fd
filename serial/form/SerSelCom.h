// TComSelectForm: the modal dialog that lists the COM ports present and returns the
// one the user picks. The port component shows it when asked to open port 0 with
// PromptForPort on; RegisterComSelectForm installs it there (the component itself
// needs no widgets).
#pragma once

#include <QDialog>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

class TComSelectForm : public QDialog {
 public:
  explicit TComSelectForm(QWidget* parent = nullptr);

  // Probes ports 1 to 50 and lists "COMn" for each present one; selects the first.
  void FormCreate();
  // The selected entry's number ("COM3" gives 3); nothing when none is selected.
  std::optional<int> SelectedPort() const;

  QLabel* Label1;
  QLabel* Label2;
  QFrame* Bevel1;
  QComboBox* PortsComboBox;
  QPushButton* OkBtn;
  QPushButton* AbortBtn;
};

// Makes the port component show TComSelectForm (modal, freed afterwards) when it
// needs a port number.
void RegisterComSelectForm();
