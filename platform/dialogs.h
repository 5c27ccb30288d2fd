// Message boxes and input boxes, declared without any toolkit so that every part of
// the system may ask the user something. The program installs the toolkit's
// implementation (platform_qt); tests install ScriptedDialogs, which answers from a
// script and records every question. Without an installed implementation a message
// box gets the UnattendedAnswer and an input box is cancelled, so that nothing ever
// waits for a person who is not there (the text goes to the standard error output).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class MsgDlgType : uint8_t { kWarning, kError, kInformation, kConfirmation, kCustom };

// Buttons of a message box, combined as a set.
using MsgDlgButtons = uint32_t;
namespace mb {
constexpr MsgDlgButtons kYes = 0x001;
constexpr MsgDlgButtons kNo = 0x002;
constexpr MsgDlgButtons kOk = 0x004;
constexpr MsgDlgButtons kCancel = 0x008;
constexpr MsgDlgButtons kAbort = 0x010;
constexpr MsgDlgButtons kRetry = 0x020;
constexpr MsgDlgButtons kIgnore = 0x040;
constexpr MsgDlgButtons kYesNoCancel = kYes | kNo | kCancel;
constexpr MsgDlgButtons kOkCancel = kOk | kCancel;
}  // namespace mb

// The answer: which button closed the box, with the toolkit's values.
enum ModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A message box with the buttons; the answer is the button chosen (Cancel, or No
  // without Cancel, when it is closed otherwise).
  virtual ModalResult MessageDlg(const std::string& text, MsgDlgType type,
                                 MsgDlgButtons buttons) = 0;
  // A plain message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Asks for a text: Value is the initial text and, when the user confirms, the
  // answer; false (Value untouched) when the user cancels.
  virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                          std::string& value) = 0;
};

// The answer a box gets when no one can give one: the button that stands for
// "leave things as they are": Cancel, else No, else OK, else the first offered.
ModalResult UnattendedAnswer(MsgDlgButtons buttons);

// The implementation in use, and installing another (none: the unattended one).
Dialogs& CurrentDialogs();
void SetDialogs(std::unique_ptr<Dialogs> dialogs);

// Shortcuts through the implementation in use.
ModalResult MessageDlg(const std::string& text, MsgDlgType type, MsgDlgButtons buttons);
void ShowMessage(const std::string& text);
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// Answers from a script, in order, and records every question. A question with no
// scripted answer left gets the unattended answer (message boxes) or is cancelled
// (input boxes).
class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind : uint8_t { kMessageDlg, kShowMessage, kInputQuery };
  struct Question {
    Kind kind = Kind::kMessageDlg;
    std::string text;     // message, or the input box's prompt
    std::string caption;  // input box only
    std::string initial;  // input box only
    MsgDlgType type = MsgDlgType::kInformation;
    MsgDlgButtons buttons = 0;
  };

  void AnswerMessage(ModalResult answer) { message_answers_.push_back(answer); }
  // An input box confirmed with Value.
  void AnswerInput(std::string value) { input_answers_.push_back(std::move(value)); }
  // An input box cancelled.
  void CancelInput() { input_answers_.push_back(std::nullopt); }

  const std::vector<Question>& questions() const { return questions_; }

  ModalResult MessageDlg(const std::string& text, MsgDlgType type, MsgDlgButtons buttons) override;
  void ShowMessage(const std::string& text) override;
  bool InputQuery(const std::string& caption, const std::string& prompt,
                  std::string& value) override;

 private:
  std::deque<ModalResult> message_answers_;
  std::deque<std::optional<std::string>> input_answers_;
  std::vector<Question> questions_;
};

// Installs a ScriptedDialogs for the lifetime of this object and puts back the
// implementation that was in use before.
class ScopedScriptedDialogs {
 public:
  ScopedScriptedDialogs();
  ~ScopedScriptedDialogs();
  ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
  ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;
  ScriptedDialogs& operator*() { return *scripted_; }
  ScriptedDialogs* operator->() { return scripted_; }

 private:
  ScriptedDialogs* scripted_;
  std::unique_ptr<Dialogs> previous_;
};

}  // namespace platform
