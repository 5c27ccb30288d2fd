// Language modules: which language the main application is set to, loading the
// module file of that language beside the program, and reloading the open windows
// from it.
//
// A module is the file named like the program with the language's three-letter
// abbreviation as its extension (Gasbridge.SVE beside Gasbridge); how it is opened
// is the platform's (platform::LoadModuleFile). While it is loaded, resource
// strings and form resources come from it first (platform/resources.h).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/form_reader.h"
#include "platform/locale.h"
#include "platform/resources.h"

// A module that was found but not taken: its file and why.
struct TModuleRefusal {
  std::string path;
  std::string reason;  // what reading its forms raised
};

// Class-level operations only; the module in use is the platform's resource module.
class TLanguageManager {
 public:
  TLanguageManager() = delete;

  // Tries a module's forms before the module is taken: builds the program's
  // windows from the current resources, exactly as they will be built, and drops
  // them again; raises what reading their form resources raises. A module whose
  // forms cannot be read would otherwise stop the program at every start.
  using FormTrial = std::function<void()>;

  // The integer value "Language" of the key (below the current user's root); the
  // user's default locale when the key or the value is missing or the value is not
  // an integer.
  static platform::LCID GetRegisteredLanguage(const std::string& key);

  // Loads the language's module and, when one was loaded, reloads the open forms.
  // With a trial, see LoadResourceModule; the result names a refused module.
  static std::optional<TModuleRefusal> SetLanguage(platform::LCID lcid,
                                                   const FormTrial& trial = {});

  // Finds and loads the module file for the language and makes it the program's
  // resource module, replacing (and releasing) the previous one. The module is
  // looked for by the program's file name: its extension (the part after the last
  // "." of the file name itself, never of a folder) replaced by the abbreviation,
  // or the abbreviation appended when the name has none. Without that file, another
  // variant of the language is taken: the first file, by name, whose name is the
  // program's stem, ".", the abbreviation's first two letters and exactly one more
  // character, compared without case (P.ENG falls back to P.ENU). Returns the
  // module now in use, or nothing (and nothing changes) when none was loaded.
  //
  // With a trial, the module found is made the resource module only while the
  // trial runs; when the trial raises, the module is released, the resources in
  // use before stay in use, the search goes no further and Refusal (when given)
  // names the module's file and the error.
  static const platform::ResourceModule* LoadResourceModule(
      platform::LCID lcid, const FormTrial& trial = {},
      std::optional<TModuleRefusal>* refusal = nullptr);

  // Reloads every open form, in the screen's order, from the current resource
  // module: for each class from the oldest ancestor to the form's own, the form
  // resource named after the class is read into the existing form. True for a form
  // when any of its classes had a resource.
  static void ReloadForms();
  static bool ReloadForm(platform::FormRoot& form);
};

// Reads a form resource into an existing form: every object counts as inherited,
// so it updates the form's existing component of that name instead of creating one.
class TAsInheritedReader : public platform::TReader {
 public:
  using platform::TReader::TReader;

 protected:
  void ReadPrefix(platform::FilerFlags& flags, int& child_pos) override;
};
