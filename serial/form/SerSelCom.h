// TComSelectForm: the modal dialog that lists the COM ports present and returns the
// one the user picks. Its layout is the form resource TComSelectForm
// (forms/TComSelectForm.frm), so that a language module can translate it. The port
// component shows it when asked to open port 0 with PromptForPort on;
// RegisterComSelectForm installs it there (the component itself needs no widgets).
#pragma once

#include <optional>

#include "platform/qt/forms.h"

class QEventLoop;

// The toolkit's bevel: a sunken frame around other controls.
class TBevel : public platform::qt::TControl {
 public:
  TBevel(platform::qt::TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TBevel"; }
  void DefineProperties(platform::PropertyList& list) override;
};

class TComSelectForm : public platform::qt::TForm {
 public:
  // Reads the form resource (the program's resources must be installed).
  explicit TComSelectForm(QWidget* parent = nullptr);
  ~TComSelectForm() override;

  // Probes ports 1 to 50 and lists "COMn" for each present one; selects the first.
  void FormCreate();
  // The selected entry's number ("COM3" gives 3); nothing when none is selected.
  std::optional<int> SelectedPort() const;
  // Shows the dialog application-modal until a button closes it: OK (1), Cancel (3),
  // or 2 when the window was closed otherwise.
  int ShowModal();
  int ModalResult() const { return modal_result_; }

  // The resource's controls (EReadError "Component <name> not found" at
  // construction when one is missing).
  platform::qt::TLabel* Label1 = nullptr;
  platform::qt::TLabel* Label2 = nullptr;
  TBevel* Bevel1 = nullptr;
  platform::qt::TComboBox* PortsComboBox = nullptr;
  platform::qt::TButton* OkBtn = nullptr;
  platform::qt::TButton* AbortBtn = nullptr;

 private:
  void FindControls();
  void CloseWith(int result);

  int modal_result_ = 0;
  QEventLoop* modal_loop_ = nullptr;
};

// Makes the port component show TComSelectForm (modal, freed afterwards) when it
// needs a port number.
void RegisterComSelectForm();
