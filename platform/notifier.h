// Message boxes that code without windows shows: a text for the user, with an OK
// button. The programs put their dialog interface in place at start; tests put a
// recorder there. Until then a message goes to the standard error stream, so that
// none is lost.
#pragma once

#include <functional>
#include <string>

namespace platform {

using MessageNotifier = std::function<void(const std::string& text)>;

// Shows Text (Windows-1252) through the notifier in force.
void ShowMessage(const std::string& text);

// Makes Notifier the one in force (none: back to the standard error stream).
void SetMessageNotifier(MessageNotifier notifier);

// Puts Notifier in place for the lifetime of this object.
class ScopedMessageNotifier {
 public:
  explicit ScopedMessageNotifier(MessageNotifier notifier);
  ~ScopedMessageNotifier();
  ScopedMessageNotifier(const ScopedMessageNotifier&) = delete;
  ScopedMessageNotifier& operator=(const ScopedMessageNotifier&) = delete;

 private:
  MessageNotifier previous_;
};

}  // namespace platform
