// Resource strings: the user-visible texts of the program, each with an identifier
// and the program's own text. A language module, while one is loaded, supplies
// translated texts under the same identifiers; texts it lacks stay the program's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct ResourceString {
  std::string_view id;    // e.g. "QORFunc.SDays"
  std::string_view text;  // the program's own text, Windows-1252
};

class ResourceModule {
 public:
  virtual ~ResourceModule() = default;
  virtual std::optional<std::string> FindString(std::string_view id) const = 0;
};

// The module's text for the string when a module is loaded and has it, else the
// program's own text.
std::string LoadResString(const ResourceString& resource);

// Makes Module the program's resource module (none: the program's own texts),
// releasing the previous one.
void SetResourceModule(std::unique_ptr<ResourceModule> module);
const ResourceModule* CurrentResourceModule();

}  // namespace platform
