// The category pool: a non-visual component that keeps the categories, options,
// events and visualizers of a window together, and frees them with itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/object.h"

class TCategoryPool : public TComponent {
 public:
  using ObjectList = std::vector<std::unique_ptr<TObject>>;

  // The four lists, the fourth holding one default visualizer.
  explicit TCategoryPool(TComponent* owner);
  // Frees every object of every list, each list first to last.
  ~TCategoryPool() override;
  std::string_view ClassName() const override { return "TCategoryPool"; }

  // Published property; assigning it has no effect.
  std::string About() const { return "Project: Vorta (Wardvorta, Benchvorta)  Version: 1.1.0.44"; }
  void SetAbout(std::string_view) {}

  // What the first three lists hold is the business of whoever fills them; the
  // pool owns whatever is placed in any of them.
  ObjectList& Categories() { return categories_; }
  ObjectList& Options() { return options_; }
  ObjectList& Events() { return events_; }
  ObjectList& Visualizers() { return visualizers_; }
  const ObjectList& Categories() const { return categories_; }
  const ObjectList& Options() const { return options_; }
  const ObjectList& Events() const { return events_; }
  const ObjectList& Visualizers() const { return visualizers_; }

 private:
  ObjectList categories_;
  ObjectList options_;
  ObjectList events_;
  ObjectList visualizers_;
};
