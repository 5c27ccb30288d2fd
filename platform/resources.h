// Resources: the program's user-visible texts (resource strings), its form
// resources and its binary resources.
//
// A resource string carries an identifier and the program's own text. Form and
// binary resources are data blocks named like the RCDATA resources of Windows: a
// window's form resource is named after its class ("TForm1"), the patient-file
// template "DEFAULT", and so on.
//
// Resources come from two modules: the program's own (installed by the program,
// normally from Qt's resource system) and, while one is loaded, a language module
// (language modules: datafile/QORClassLanguage.h). The language module is asked
// first; texts it lacks stay the program's own.
#pragma once

#include <functional>
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
  // The data resource of that name (a form resource, a template, a bitmap).
  virtual std::optional<std::string> FindData(std::string_view /*name*/) const {
    return std::nullopt;
  }
};

// The module's text for the string when a module is loaded and has it, else the
// program's own text.
std::string LoadResString(const ResourceString& resource);

// Makes Module the program's resource module (none: the program's own texts),
// releasing the previous one.
void SetResourceModule(std::unique_ptr<ResourceModule> module);
// The same, handing the previous module back instead of releasing it, so that a
// module can be tried and the previous one put back.
std::unique_ptr<ResourceModule> ExchangeResourceModule(std::unique_ptr<ResourceModule> module);
const ResourceModule* CurrentResourceModule();

// The program's own module, for data resources (none until the program installs
// one).
void SetProgramResources(std::unique_ptr<ResourceModule> module);
const ResourceModule* ProgramResources();

// The data resource from the module that holds the program's resources: the
// language module when one is loaded and has it, else the program's own.
std::optional<std::string> LoadResourceData(std::string_view name);

// Language modules are files; how one is opened is the toolkit's (a Qt binary
// resource file in platform_qt). The loader returns nothing when the file cannot be
// opened as a module. Without an installed loader no module can be loaded.
using ModuleLoader = std::function<std::unique_ptr<ResourceModule>(const std::string& path)>;
void SetModuleLoader(ModuleLoader loader);
std::unique_ptr<ResourceModule> LoadModuleFile(const std::string& path);

}  // namespace platform
