#include "platform/notifier.h"

#include <cstdio>
#include <utility>

#include "platform/text_1252.h"

namespace platform {
namespace {

MessageNotifier& Current() {
  static MessageNotifier notifier;
  return notifier;
}

}  // namespace

void ShowMessage(const std::string& text) {
  if (const MessageNotifier& notifier = Current()) {
    notifier(text);
    return;
  }
  std::fprintf(stderr, "%s\n", Win1252ToUtf8(text).c_str());
}

void SetMessageNotifier(MessageNotifier notifier) {
  Current() = std::move(notifier);
}

ScopedMessageNotifier::ScopedMessageNotifier(MessageNotifier notifier)
    : previous_(std::exchange(Current(), std::move(notifier))) {}

ScopedMessageNotifier::~ScopedMessageNotifier() {
  Current() = std::move(previous_);
}

}  // namespace platform
