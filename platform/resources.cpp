#include "platform/resources.h"

namespace platform {
namespace {

// The program's resource module: one per program, as the module list records it.
std::unique_ptr<ResourceModule>& Module() {
  static std::unique_ptr<ResourceModule> module;
  return module;
}

}  // namespace

std::string LoadResString(const ResourceString& resource) {
  if (const ResourceModule* module = Module().get()) {
    if (std::optional<std::string> text = module->FindString(resource.id)) return *text;
  }
  return std::string(resource.text);
}

void SetResourceModule(std::unique_ptr<ResourceModule> module) {
  Module() = std::move(module);
}

const ResourceModule* CurrentResourceModule() {
  return Module().get();
}

}  // namespace platform
