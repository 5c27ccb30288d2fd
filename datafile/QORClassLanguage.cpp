#include "datafile/QORClassLanguage.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>

#include "platform/files.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/text_1252.h"

namespace {

// The module file by its exact name (matched without case, as Windows opens
// files), loaded; nothing when there is no such file or it is no module. Path
// becomes the file's path.
std::unique_ptr<platform::ResourceModule> LoadByName(const std::string& folder,
                                                     const std::string& name, std::string& path) {
  const std::optional<std::string> found = platform::FindNoCase(folder, name);
  if (!found || !platform::FileExists(*found)) return nullptr;
  path = *found;
  return platform::LoadModuleFile(*found);
}

}  // namespace

platform::LCID TLanguageManager::GetRegisteredLanguage(const std::string& key) {
  platform::TRegistry registry;
  if (registry.OpenKeyReadOnly(key) && registry.ValueExists("Language")) {
    try {
      return static_cast<platform::LCID>(registry.ReadInteger("Language"));
    } catch (const ERegistryException&) {
      // A value that is not an integer must not stop the program: the user's
      // default language serves as when there is none.
    }
  }
  return platform::DefaultLocaleId();
}

std::optional<TModuleRefusal> TLanguageManager::SetLanguage(platform::LCID lcid,
                                                            const FormTrial& trial) {
  std::optional<TModuleRefusal> refusal;
  if (LoadResourceModule(lcid, trial, &refusal)) ReloadForms();
  return refusal;
}

const platform::ResourceModule* TLanguageManager::LoadResourceModule(
    platform::LCID lcid, const FormTrial& trial, std::optional<TModuleRefusal>* refusal) {
  const std::string abbreviation = platform::LocaleAbbreviation(lcid);
  if (abbreviation.size() < 2) return nullptr;
  const std::string program = platform::ProgramPath();
  const size_t slash = program.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : program.substr(0, slash);
  std::string stem = slash == std::string::npos ? program : program.substr(slash + 1);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.erase(dot);
  if (stem.empty()) return nullptr;

  std::string path;
  std::unique_ptr<platform::ResourceModule> module =
      LoadByName(folder, stem + "." + abbreviation, path);
  if (!module) {
    // Another variant of the language: stem, ".", the two letters, one character.
    const std::string wanted = platform::UpperCase1252(stem + "." + abbreviation.substr(0, 2));
    std::vector<std::string> names = platform::ListFolder(folder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (name.size() != wanted.size() + 1 || platform::UpperCase1252(name).rfind(wanted, 0) != 0) {
        continue;
      }
      module = LoadByName(folder, name, path);
      if (module) break;
    }
  }
  if (!module) return nullptr;
  std::unique_ptr<platform::ResourceModule> previous =
      platform::ExchangeResourceModule(std::move(module));
  if (trial) {
    std::optional<std::string> failure;
    try {
      trial();
    } catch (const std::exception& error) {
      failure = error.what();
    } catch (...) {
      failure = "Unknown exception";
    }
    if (failure) {
      // The module goes; what was in use before serves on.
      platform::ExchangeResourceModule(std::move(previous));
      if (refusal) *refusal = TModuleRefusal{path, *failure};
      return nullptr;
    }
  }
  return platform::CurrentResourceModule();
}

void TLanguageManager::ReloadForms() {
  // A copy: reading a form may open or close others.
  const std::vector<platform::FormRoot*> forms = platform::ScreenForms();
  for (platform::FormRoot* form : forms) {
    const std::vector<platform::FormRoot*>& open = platform::ScreenForms();
    if (std::find(open.begin(), open.end(), form) != open.end()) ReloadForm(*form);
  }
}

bool TLanguageManager::ReloadForm(platform::FormRoot& form) {
  const platform::ResourceModule* module = platform::CurrentResourceModule();
  if (!module) module = platform::ProgramResources();
  if (!module) return false;
  const std::vector<std::string> chain = form.ClassChain();
  bool found = false;
  // Ancestors first, so that a descendant's resource has the last word.
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (*it == "TForm" || *it == "TComponent") continue;
    const std::optional<std::string> resource = module->FindData(*it);
    if (!resource) continue;
    TAsInheritedReader(*resource).ReadRootComponent(form);
    found = true;
  }
  return found;
}

void TAsInheritedReader::ReadPrefix(platform::FilerFlags& flags, int& child_pos) {
  platform::TReader::ReadPrefix(flags, child_pos);
  flags |= platform::ffInherited;
}
