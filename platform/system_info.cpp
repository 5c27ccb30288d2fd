#include "platform/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

namespace platform {

std::optional<std::string> OperatingSystemName() {
  utsname u;
  if (::uname(&u) != 0) return std::nullopt;
  return std::string(u.sysname) + " " + u.release + " " + u.version;
}

unsigned CurrentUserId() {
  return static_cast<unsigned>(::getuid());
}

}  // namespace platform
