#include "platform/program.h"

#include <unistd.h>

#include <mutex>
#include <optional>

#include "platform/text_1252.h"

namespace platform {
namespace {

struct Identity {
  std::mutex mutex;
  std::optional<std::string> path_override;
  std::optional<std::string> title;
};

Identity& TheIdentity() {
  static Identity identity;
  return identity;
}

std::string ExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return "";
  buffer.resize(static_cast<size_t>(n));
  return Utf8ToWin1252(buffer);
}

}  // namespace

std::string ProgramPath() {
  Identity& identity = TheIdentity();
  {
    std::lock_guard lock(identity.mutex);
    if (identity.path_override) return *identity.path_override;
  }
  static const std::string path = ExecutablePath();
  return path;
}

ScopedProgramPath::ScopedProgramPath(std::string path) {
  Identity& identity = TheIdentity();
  std::lock_guard lock(identity.mutex);
  had_previous_ = identity.path_override.has_value();
  previous_ = identity.path_override.value_or("");
  identity.path_override = std::move(path);
}

ScopedProgramPath::~ScopedProgramPath() {
  Identity& identity = TheIdentity();
  std::lock_guard lock(identity.mutex);
  if (had_previous_) {
    identity.path_override = previous_;
  } else {
    identity.path_override.reset();
  }
}

std::string ApplicationTitle() {
  Identity& identity = TheIdentity();
  {
    std::lock_guard lock(identity.mutex);
    if (identity.title) return *identity.title;
  }
  std::string name = ProgramPath();
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

void SetApplicationTitle(std::string title) {
  Identity& identity = TheIdentity();
  std::lock_guard lock(identity.mutex);
  identity.title = std::move(title);
}

}  // namespace platform
