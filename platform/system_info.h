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

// Whether no process of that id runs any more. A process of another user counts as
// running (the system answers that it may not be signalled, not that it is gone).
bool ProcessIsGone(long pid);

}  // namespace platform
