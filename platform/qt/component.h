// Components of the windows: the common ground of everything a form resource can
// place on a window, visual or not.
//
// A component is owned by its window (TForm holds it in a std::unique_ptr and frees
// it when the window is destroyed) and knows its window as Owner. Event handlers
// that a resource binds by name ("OnTimer = Timer1Timer") are looked up among the
// window's registered methods (FormRoot::RegisterMethod).
#pragma once

#include <functional>
#include <string>

#include "platform/form_reader.h"

namespace platform::qt {

class TForm;
// The window as the root of its form resource (TForm is one).
FormRoot* RootOf(TForm* form);

// The handler type of most events: the component that sent it.
class TComponentBase;
using TNotifyEvent = std::function<void(TComponentBase* sender)>;

class TComponentBase : public FormComponent {
 public:
  TComponentBase(TForm* owner, std::string name);
  ~TComponentBase() override = default;

  TForm* Owner() const { return owner_; }
  std::string ComponentName() const override { return name_; }
  void SetComponentName(const std::string& name) override { name_ = name; }
  void DefineProperties(PropertyList& list) override;
  // Set by the resource; free for the program's use.
  int Tag() const { return tag_; }

 protected:
  // The handler of that name, of type Function, from the owner's methods.
  template <typename Function>
  Function Method(const FormValue& value) const {
    FormRoot* root = RootOf(owner_);
    if (!root) throw EReadError("Invalid property value");
    return root->MethodAs<Function>(value.AsIdent());
  }

 private:
  TForm* owner_;
  std::string name_;
  int tag_ = 0;
};

}  // namespace platform::qt
