// What the collector's two banners (the status banner and the new-patient notice)
// share: windows that show themselves now and then.
#pragma once

#include <string>
#include <string_view>

#include "platform/exception.h"
#include "platform/qt/forms.h"

namespace banner {

// Closing a banner only hides it and never ends the program, even when it is the
// only window on the screen, as it is while the main window waits hidden behind
// the notification icon; and a banner shows without taking the keyboard from the
// window in use. Also makes the caption label known to the form reader.
void MakeBannerWindow(platform::qt::TForm& window);

// The component of that name and type that the window's form resource must have
// made; EReadError "Component <name> not found" when it did not.
template <typename T>
T* Required(platform::qt::TForm& window, std::string_view name) {
  T* component = window.Find<T>(name);
  if (!component) throw EReadError("Component " + std::string(name) + " not found");
  return component;
}

}  // namespace banner
