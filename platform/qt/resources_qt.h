// Resources through Qt's resource system.
//
// The program's own resources are compiled in (qt_add_resources) under ":/qor":
//   :/qor/rcdata/<NAME>   data resources: form resources named after their window
//                         class ("TfrmStatus"), templates ("DEFAULT"), bitmaps
//                         ("POINTER"), the icon ("MAINICON")
//   :/qor/strings.txt     resource strings, one "identifier=text" a line (UTF-8;
//                         "\n", "\r" and "\\" stand for line breaks and a backslash)
// A language module is a Qt binary resource file (rcc --binary) with the same
// names; the loader registers it under a root of its own while it is loaded and
// unregisters it when the module is released.
#pragma once

#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/resources.h"

namespace platform::qt {

// A module over the resources under Root (":/qor" for the program's own).
class QtResourceModule : public ResourceModule {
 public:
  explicit QtResourceModule(QString root);
  std::optional<std::string> FindString(std::string_view id) const override;
  std::optional<std::string> FindData(std::string_view name) const override;

 private:
  QString root_;
  std::map<std::string, std::string, std::less<>> strings_;
};

// A language module: a binary resource file registered while the object lives.
// Nothing when the file is no resource file or lacks the ":/qor" layout.
std::unique_ptr<ResourceModule> LoadQtModuleFile(const std::string& path);

// Installs the program's own resources and the loader of language modules.
void InstallQtResources();

}  // namespace platform::qt
