// TCapAttachedLabel (widgets/capattachedlabel.h) on the Qt windows: a plain label
// that form resources naming the class can create. No window of this system
// places one, and no control of the Qt windows takes an attached label, so it
// shows its caption as any label does while its model keeps the label's bounds.
#pragma once

#include <string>

#include "platform/qt/forms.h"
#include "widgets/capattachedlabel.h"

class TCapAttachedLabelControl : public platform::qt::TLabel {
 public:
  TCapAttachedLabelControl(platform::qt::TForm* owner, QWidget* parent, std::string name);

  std::string FormClassName() const override { return "TCapAttachedLabel"; }
  void DefineProperties(platform::PropertyList& list) override;
  void BeginLoading() override;
  void Loaded() override;

  // The model, its bounds those of the widget now.
  TCapAttachedLabel& Model();

 private:
  TCapAttachedLabel model_{nullptr};
};

// Registers "TCapAttachedLabel" with the form reader's classes, when no class of
// that name is registered yet; the program calls it at start-up with the caption
// label's support work (widgets/capsupport.h).
void RegisterCapAttachedLabelClass();
