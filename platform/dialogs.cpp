#include "platform/dialogs.h"

#include <cstdio>
#include <mutex>

#include "platform/text_1252.h"

namespace platform {
namespace {

// Nobody to ask: messages go to the standard error output, boxes get the answer
// that changes nothing.
class UnattendedDialogs final : public Dialogs {
 public:
  ModalResult MessageDlg(const std::string& text, MsgDlgType, MsgDlgButtons buttons) override {
    std::fprintf(stderr, "%s\n", Win1252ToUtf8(text).c_str());
    return UnattendedAnswer(buttons);
  }
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "%s\n", Win1252ToUtf8(text).c_str());
  }
  bool InputQuery(const std::string&, const std::string&, std::string&) override { return false; }
};

struct Installed {
  std::mutex mutex;
  std::unique_ptr<Dialogs> dialogs;
};

Installed& TheInstalled() {
  static Installed installed;
  return installed;
}

std::unique_ptr<Dialogs> Exchange(std::unique_ptr<Dialogs> dialogs) {
  Installed& installed = TheInstalled();
  std::lock_guard lock(installed.mutex);
  std::swap(installed.dialogs, dialogs);
  return dialogs;
}

}  // namespace

ModalResult UnattendedAnswer(MsgDlgButtons buttons) {
  if (buttons & mb::kCancel) return mrCancel;
  if (buttons & mb::kNo) return mrNo;
  if (buttons & mb::kOk) return mrOk;
  static constexpr std::pair<MsgDlgButtons, ModalResult> kOrder[] = {
      {mb::kYes, mrYes}, {mb::kAbort, mrAbort}, {mb::kRetry, mrRetry}, {mb::kIgnore, mrIgnore}};
  for (const auto& [button, result] : kOrder) {
    if (buttons & button) return result;
  }
  return mrOk;
}

Dialogs& CurrentDialogs() {
  static UnattendedDialogs unattended;
  Installed& installed = TheInstalled();
  std::lock_guard lock(installed.mutex);
  return installed.dialogs ? *installed.dialogs : static_cast<Dialogs&>(unattended);
}

void SetDialogs(std::unique_ptr<Dialogs> dialogs) {
  Exchange(std::move(dialogs));
}

ModalResult MessageDlg(const std::string& text, MsgDlgType type, MsgDlgButtons buttons) {
  return CurrentDialogs().MessageDlg(text, type, buttons);
}

void ShowMessage(const std::string& text) {
  CurrentDialogs().ShowMessage(text);
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  return CurrentDialogs().InputQuery(caption, prompt, value);
}

ModalResult ScriptedDialogs::MessageDlg(const std::string& text, MsgDlgType type,
                                        MsgDlgButtons buttons) {
  questions_.push_back({Kind::kMessageDlg, text, "", "", type, buttons});
  if (message_answers_.empty()) return UnattendedAnswer(buttons);
  const ModalResult answer = message_answers_.front();
  message_answers_.pop_front();
  return answer;
}

void ScriptedDialogs::ShowMessage(const std::string& text) {
  questions_.push_back({Kind::kShowMessage, text, "", "", MsgDlgType::kInformation, mb::kOk});
}

bool ScriptedDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                                 std::string& value) {
  questions_.push_back({Kind::kInputQuery, prompt, caption, value, MsgDlgType::kCustom, 0});
  if (input_answers_.empty()) return false;
  std::optional<std::string> answer = std::move(input_answers_.front());
  input_answers_.pop_front();
  if (!answer) return false;
  value = std::move(*answer);
  return true;
}

ScopedScriptedDialogs::ScopedScriptedDialogs() {
  auto scripted = std::make_unique<ScriptedDialogs>();
  scripted_ = scripted.get();
  previous_ = Exchange(std::move(scripted));
}

ScopedScriptedDialogs::~ScopedScriptedDialogs() {
  Exchange(std::move(previous_));
}

}  // namespace platform
