// What the program may tell about the machine and the user it runs for.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The operating system's name, release and build ("Linux 6.1.0-18-amd64 #1 SMP ..."),
// or nothing when the system does not tell.
std::optional<std::string> OperatingSystemName();

// The numeric id of the user the process runs as (its real user id).
unsigned CurrentUserId();

}  // namespace platform
