#include "platform/system_info.h"

#include <signal.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::optional<std::string> OperatingSystemName() {
  utsname u;
  if (::uname(&u) != 0) return std::nullopt;
  return std::string(u.sysname) + " " + u.release + " " + u.version;
}

unsigned CurrentUserId() {
  return static_cast<unsigned>(::getuid());
}

bool ProcessIsGone(long pid) {
  return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace platform
