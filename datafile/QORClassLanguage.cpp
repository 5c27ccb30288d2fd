#include "datafile/QORClassLanguage.h"

#include <algorithm>
#include <optional>

#include "platform/files.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/text_1252.h"

namespace {

// The module file by its exact name (matched without case, as Windows opens
// files), loaded; nothing when there is no such file or it is no module.
std::unique_ptr<platform::ResourceModule> LoadByName(const std::string& folder,
                                                     const std::string& name) {
  const std::optional<std::string> path = platform::FindNoCase(folder, name);
  if (!path || !platform::FileExists(*path)) return nullptr;
  return platform::LoadModuleFile(*path);
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

void TLanguageManager::SetLanguage(platform::LCID lcid) {
  if (LoadResourceModule(lcid)) ReloadForms();
}

const platform::ResourceModule* TLanguageManager::LoadResourceModule(platform::LCID lcid) {
  const std::string abbreviation = platform::LocaleAbbreviation(lcid);
  if (abbreviation.size() < 2) return nullptr;
  const std::string program = platform::ProgramPath();
  const size_t slash = program.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : program.substr(0, slash);
  std::string stem = slash == std::string::npos ? program : program.substr(slash + 1);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.erase(dot);
  if (stem.empty()) return nullptr;

  std::unique_ptr<platform::ResourceModule> module = LoadByName(folder, stem + "." + abbreviation);
  if (!module) {
    // Another variant of the language: stem, ".", the two letters, one character.
    const std::string wanted = platform::UpperCase1252(stem + "." + abbreviation.substr(0, 2));
    std::vector<std::string> names = platform::ListFolder(folder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (name.size() != wanted.size() + 1 || platform::UpperCase1252(name).rfind(wanted, 0) != 0) {
        continue;
      }
      module = LoadByName(folder, name);
      if (module) break;
    }
  }
  if (!module) return nullptr;
  platform::SetResourceModule(std::move(module));
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
