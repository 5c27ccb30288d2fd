#include "platform/qt/dialogs_qt.h"

#include <QInputDialog>
#include <QMessageBox>

#include "platform/program.h"
#include "platform/qt/qt_text.h"

namespace platform::qt {
namespace {

struct ButtonMap {
  MsgDlgButtons button;
  QMessageBox::StandardButton qt;
  ModalResult result;
};

constexpr ButtonMap kButtons[] = {
    {mb::kYes, QMessageBox::Yes, mrYes},
    {mb::kNo, QMessageBox::No, mrNo},
    {mb::kOk, QMessageBox::Ok, mrOk},
    {mb::kCancel, QMessageBox::Cancel, mrCancel},
    {mb::kAbort, QMessageBox::Abort, mrAbort},
    {mb::kRetry, QMessageBox::Retry, mrRetry},
    {mb::kIgnore, QMessageBox::Ignore, mrIgnore},
};

}  // namespace

ModalResult QtDialogs::MessageDlg(const std::string& text, MsgDlgType type, MsgDlgButtons buttons) {
  QMessageBox box;
  // The toolkit's captions of the kinds of message.
  static constexpr const char* kCaptions[] = {"Warning", "Error", "Information", "Confirm", ""};
  const char* caption = kCaptions[static_cast<int>(type)];
  box.setWindowTitle(*caption ? QString(caption) : ToQString(ApplicationTitle()));
  box.setText(ToQString(text));
  box.setIcon(type == MsgDlgType::kWarning        ? QMessageBox::Warning
              : type == MsgDlgType::kError        ? QMessageBox::Critical
              : type == MsgDlgType::kInformation  ? QMessageBox::Information
              : type == MsgDlgType::kConfirmation ? QMessageBox::Question
                                                  : QMessageBox::NoIcon);
  QMessageBox::StandardButtons standard;
  for (const ButtonMap& b : kButtons) {
    if (buttons & b.button) standard |= b.qt;
  }
  if (!standard) standard = QMessageBox::Ok;
  box.setStandardButtons(standard);
  const int chosen = box.exec();
  for (const ButtonMap& b : kButtons) {
    if (chosen == b.qt) return b.result;
  }
  return UnattendedAnswer(buttons);
}

void QtDialogs::ShowMessage(const std::string& text) {
  QMessageBox box;
  box.setWindowTitle(ToQString(ApplicationTitle()));
  box.setText(ToQString(text));
  box.exec();
}

bool QtDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                           std::string& value) {
  bool ok = false;
  const QString answer = QInputDialog::getText(nullptr, ToQString(caption), ToQString(prompt),
                                               QLineEdit::Normal, ToQString(value), &ok);
  if (!ok) return false;
  value = FromQString(answer);
  return true;
}

}  // namespace platform::qt
