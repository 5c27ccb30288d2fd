#include "platform/paths.h"

#include <cstdlib>

namespace platform {
namespace {

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : "";
}

}  // namespace

std::string DriveFolder(char letter) {
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  std::string root = FromEnvironment("QOR_DRIVES");
  if (root.empty()) {
    root = FromEnvironment("XDG_DATA_HOME");
    if (root.empty()) {
      const std::string home = FromEnvironment("HOME");
      root = (home.empty() ? std::string(".") : home) + "/.local/share";
    }
    root += "/qor/drives";
  }
  while (root.size() > 1 && root.back() == '/')
    root.pop_back();
  return root + "/" + letter;
}

std::optional<char> DriveLetterOf(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return std::nullopt;
  const char c = path[0];
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return c;
  return std::nullopt;
}

}  // namespace platform
