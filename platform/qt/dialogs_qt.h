// The dialog interface (platform/dialogs.h) with Qt's message and input boxes.
#pragma once

#include "platform/dialogs.h"

namespace platform::qt {

class QtDialogs : public Dialogs {
 public:
  ModalResult MessageDlg(const std::string& text, MsgDlgType type, MsgDlgButtons buttons) override;
  void ShowMessage(const std::string& text) override;
  bool InputQuery(const std::string& caption, const std::string& prompt,
                  std::string& value) override;
};

}  // namespace platform::qt
