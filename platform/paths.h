// Drive paths of the Windows world on Linux.
//
// The system's settings name folders such as "C:\ZQT\". A path that starts with a
// drive letter and a colon maps to a per-user folder for that drive:
//   $QOR_DRIVES/<letter>/...  when QOR_DRIVES is set (tests point it at a temporary
//                             folder), else
//   $XDG_DATA_HOME/qor/drives/<letter>/...  (XDG_DATA_HOME defaulting to
//                             ~/.local/share)
// with the letter in lower case, so "C:\ZQT\DATA\" is ~/.local/share/qor/drives/c/ZQT/DATA/.
// ToOsPath (files.h) applies the mapping, so every file operation of the platform
// understands drive paths; the rest of the path keeps its case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The folder standing for the drive (UTF-8, "/" separated, no trailing "/"). A drive
// whose folder does not exist is a drive that is not there: nothing can be created
// on it (scripts/run.sh makes the folder of drive C:).
std::string DriveFolder(char letter);

// The drive letter of a path "X:..." (X a letter), else nothing.
std::optional<char> DriveLetterOf(std::string_view path);

}  // namespace platform
