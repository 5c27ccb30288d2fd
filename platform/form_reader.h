// Reading form resources (form_resource.h) into windows and their components.
//
// A component that can be read exposes its published properties, in published
// order (an ancestor's before its own), as named setters. Reading a resource:
// 1. puts every component the resource names into its loading state (BeginLoading)
//    as it is reached, the window first;
// 2. sets each object's properties in the component's published order, whatever
//    their order in the text (so a timer's Interval is in place before Enabled);
//    a property the component does not publish raises EReadError "Property <name>
//    does not exist"; a setter refuses a value of the wrong kind with EReadError
//    "Invalid property value";
// 3. finds each child object's component by name among the window's components,
//    or, for an object that is not inherited, creates it (the parent decides how,
//    by class name); an inherited object whose component is missing raises
//    EReadError "Ancestor for '<name>' not found";
// 4. when all is read, calls Loaded on every component read, in reading order.
// On an error the components read so far leave their loading state without Loaded.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/form_resource.h"

namespace platform {

// The published properties of one component, in published order.
class PropertyList {
 public:
  using Setter = std::function<void(const FormValue&)>;

  void Add(std::string name, Setter setter);
  // The property's position (names without case); -1 when there is none.
  int IndexOf(std::string_view name) const;
  const std::string& NameAt(int index) const { return entries_[index].first; }
  const Setter& SetterAt(int index) const { return entries_[index].second; }
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  std::vector<std::pair<std::string, Setter>> entries_;
};

class FormComponent {
 public:
  FormComponent() = default;
  FormComponent(const FormComponent&) = delete;
  FormComponent& operator=(const FormComponent&) = delete;
  virtual ~FormComponent() = default;

  // The class name the resources know the component by ("TButton", "TForm1").
  virtual std::string FormClassName() const = 0;
  virtual std::string ComponentName() const = 0;
  virtual void SetComponentName(const std::string& name) = 0;

  // Adds the published properties: a derived class adds its ancestor's first.
  virtual void DefineProperties(PropertyList& list) = 0;

  // A new component of the class, named Name, placed on this one (its owner is this
  // component's window). Nothing when this component holds no children or does not
  // know the class.
  virtual FormComponent* CreateChild(std::string_view /*class_name*/, std::string_view /*name*/) {
    return nullptr;
  }

  // csLoading: set while a resource is read into the component.
  bool IsLoading() const { return loading_; }
  virtual void BeginLoading() { loading_ = true; }
  // Runs after the whole resource has been read; the default ends the loading state.
  virtual void Loaded() { loading_ = false; }
  void EndLoadingWithoutLoaded() { loading_ = false; }

 private:
  bool loading_ = false;
};

// A window: the root of a form resource. It knows its components by name and its
// event handlers (methods) by name, and it is on the screen's list of forms from
// construction to destruction.
class FormRoot : public FormComponent {
 public:
  FormRoot();
  ~FormRoot() override;

  // The component owned by this window with that name (without case); nothing when
  // there is none.
  virtual FormComponent* FindComponent(std::string_view name) = 0;

  // The window's class and its ancestors up to, not including, the toolkit's form
  // class, most derived first: a form resource exists per class.
  virtual std::vector<std::string> ClassChain() const { return {FormClassName()}; }

  // Event handlers by name, as the resource binds them ("OnClick = BitBtn1Click").
  // A handler is a std::function of the event's type, kept in a std::any.
  void RegisterMethod(std::string name, std::any handler);
  const std::any* FindMethod(std::string_view name) const;

  // The handler of that name as the event's function type; EReadError "Invalid
  // property value" when there is none or it is of another type.
  template <typename Function>
  Function MethodAs(std::string_view name) const {
    const std::any* method = FindMethod(name);
    if (!method) throw EReadError("Invalid property value");
    if (const Function* typed = std::any_cast<Function>(method)) return *typed;
    throw EReadError("Invalid property value");
  }

 private:
  struct NoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  std::map<std::string, std::any, NoCase> methods_;
};

// The open windows, in the order they were created (the screen's form list).
const std::vector<FormRoot*>& ScreenForms();

enum FilerFlag : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };
using FilerFlags = uint8_t;

class TReader {
 public:
  // Parses the resource text (EParserError when it is not one).
  explicit TReader(std::string_view form_text);
  explicit TReader(FormObject root);
  virtual ~TReader() = default;
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  // Reads the resource into the window and its components.
  void ReadRootComponent(FormRoot& root);

 protected:
  // Reads the prefix of the object about to be read: its flags and child position.
  virtual void ReadPrefix(FilerFlags& flags, int& child_pos);

 private:
  void ReadObject(const FormObject& object, FormComponent& component, FormRoot& root,
                  std::vector<FormComponent*>& loaded);
  void ReadProperties(const FormObject& object, FormComponent& component);

  FormObject resource_;
  const FormObject* current_ = nullptr;
};

}  // namespace platform
