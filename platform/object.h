// The root classes of the system's object model.
//
// TObject gives every class its name (used in messages such as "Cannot assign a %s
// to a %s") and a virtual destructor, so that owning containers can hold objects of
// any class. TPersistent adds assignment between objects of compatible classes;
// TComponent adds an owner and a name.
#pragma once

#include <string>
#include <string_view>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  virtual std::string_view ClassName() const { return "TObject"; }
};

class TPersistent : public TObject {
 public:
  std::string_view ClassName() const override { return "TPersistent"; }

  // Copies Source into this object by asking Source to assign itself to it.
  // Raises EConvertError "Cannot assign a <source class> to a <target class>" when
  // Source does not know this object's class.
  virtual void Assign(const TPersistent& source);

  // Copies this object into Dest; the default knows no target class and raises.
  virtual void AssignTo(TPersistent& dest) const;

 protected:
  // Raises the assignment error for Source (or "nil" when there is none) into this.
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

// A component: an object with a name that is placed on an owner (a window or
// another component). The owner is recorded, not given ownership: whoever created
// the component holds it (normally as a std::unique_ptr member of the owner).
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner) : owner_(owner) {}
  std::string_view ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

 private:
  TComponent* owner_;
  std::string name_;
};
