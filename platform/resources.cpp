#include "platform/resources.h"

#include <utility>

namespace platform {
namespace {

// The program's resource module: one per program, as the module list records it.
std::unique_ptr<ResourceModule>& Module() {
  static std::unique_ptr<ResourceModule> module;
  return module;
}

std::unique_ptr<ResourceModule>& OwnModule() {
  static std::unique_ptr<ResourceModule> module;
  return module;
}

ModuleLoader& Loader() {
  static ModuleLoader loader;
  return loader;
}

}  // namespace

std::string LoadResString(const ResourceString& resource) {
  if (const ResourceModule* module = Module().get()) {
    if (std::optional<std::string> text = module->FindString(resource.id)) return *text;
  }
  return std::string(resource.text);
}

void SetResourceModule(std::unique_ptr<ResourceModule> module) {
  ExchangeResourceModule(std::move(module));
}

std::unique_ptr<ResourceModule> ExchangeResourceModule(std::unique_ptr<ResourceModule> module) {
  return std::exchange(Module(), std::move(module));
}

const ResourceModule* CurrentResourceModule() {
  return Module().get();
}

void SetProgramResources(std::unique_ptr<ResourceModule> module) {
  OwnModule() = std::move(module);
}

const ResourceModule* ProgramResources() {
  return OwnModule().get();
}

std::optional<std::string> LoadResourceData(std::string_view name) {
  for (const ResourceModule* module : {Module().get(), OwnModule().get()}) {
    if (!module) continue;
    if (std::optional<std::string> data = module->FindData(name)) return data;
  }
  return std::nullopt;
}

void SetModuleLoader(ModuleLoader loader) {
  Loader() = std::move(loader);
}

std::unique_ptr<ResourceModule> LoadModuleFile(const std::string& path) {
  if (!Loader()) return nullptr;
  return Loader()(path);
}

}  // namespace platform
