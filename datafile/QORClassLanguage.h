// Language modules: which language the main application is set to, loading the
// module file of that language beside the program, and reloading the open windows
// from it.
//
// A module is the file named like the program with the language's three-letter
// abbreviation as its extension (Gasbridge.SVE beside Gasbridge); how it is opened
// is the platform's (platform::LoadModuleFile). While it is loaded, resource
// strings and form resources come from it first (platform/resources.h).
#pragma once

#include <string>

#include "platform/form_reader.h"
#include "platform/locale.h"
#include "platform/resources.h"

// Class-level operations only; the module in use is the platform's resource module.
class TLanguageManager {
 public:
  TLanguageManager() = delete;

  // The integer value "Language" of the key (below the current user's root); the
  // user's default locale when the key or the value is missing or the value is not
  // an integer.
  static platform::LCID GetRegisteredLanguage(const std::string& key);

  // Loads the language's module and, when one was loaded, reloads the open forms.
  static void SetLanguage(platform::LCID lcid);

  // Finds and loads the module file for the language and makes it the program's
  // resource module, replacing (and releasing) the previous one. The module is
  // looked for by the program's file name: its extension (the part after the last
  // "." of the file name itself, never of a folder) replaced by the abbreviation,
  // or the abbreviation appended when the name has none. Without that file, another
  // variant of the language is taken: the first file, by name, whose name is the
  // program's stem, ".", the abbreviation's first two letters and exactly one more
  // character, compared without case (P.ENG falls back to P.ENU). Returns the
  // module now in use, or nothing (and nothing changes) when none was loaded.
  static const platform::ResourceModule* LoadResourceModule(platform::LCID lcid);

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
