#include "platform/form_reader.h"

#include <algorithm>

#include "platform/text_1252.h"

namespace platform {
namespace {

std::vector<FormRoot*>& Forms() {
  static std::vector<FormRoot*> forms;
  return forms;
}

}  // namespace

void PropertyList::Add(std::string name, Setter setter) {
  entries_.emplace_back(std::move(name), std::move(setter));
}

int PropertyList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (SameText1252(entries_[i].first, name)) return static_cast<int>(i);
  }
  return -1;
}

bool FormRoot::NoCase::operator()(std::string_view a, std::string_view b) const {
  return UpperCase1252(a) < UpperCase1252(b);
}

FormRoot::FormRoot() {
  Forms().push_back(this);
}

FormRoot::~FormRoot() {
  std::vector<FormRoot*>& forms = Forms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

void FormRoot::RegisterMethod(std::string name, std::any handler) {
  methods_[std::move(name)] = std::move(handler);
}

const std::any* FormRoot::FindMethod(std::string_view name) const {
  const auto it = methods_.find(name);
  return it == methods_.end() ? nullptr : &it->second;
}

const std::vector<FormRoot*>& ScreenForms() {
  return Forms();
}

TReader::TReader(std::string_view form_text) : resource_(ParseFormResource(form_text)) {}

TReader::TReader(FormObject root) : resource_(std::move(root)) {}

void TReader::ReadPrefix(FilerFlags& flags, int& child_pos) {
  flags = 0;
  child_pos = -1;
  if (!current_) return;
  if (current_->prefix == FormObject::Prefix::kInherited) flags |= ffInherited;
  if (current_->prefix == FormObject::Prefix::kInline) flags |= ffInline;
  if (current_->child_position >= 0) {
    flags |= ffChildPos;
    child_pos = current_->child_position;
  }
}

void TReader::ReadRootComponent(FormRoot& root) {
  std::vector<FormComponent*> loaded;
  try {
    current_ = &resource_;
    FilerFlags flags = 0;
    int child_pos = -1;
    ReadPrefix(flags, child_pos);
    if (root.ComponentName().empty() && !resource_.name.empty()) {
      root.SetComponentName(resource_.name);
    }
    ReadObject(resource_, root, root, loaded);
  } catch (...) {
    for (FormComponent* component : loaded)
      component->EndLoadingWithoutLoaded();
    current_ = nullptr;
    throw;
  }
  current_ = nullptr;
  for (FormComponent* component : loaded)
    component->Loaded();
}

void TReader::ReadObject(const FormObject& object, FormComponent& component, FormRoot& root,
                         std::vector<FormComponent*>& loaded) {
  if (std::find(loaded.begin(), loaded.end(), &component) == loaded.end()) {
    component.BeginLoading();
    loaded.push_back(&component);
  }
  ReadProperties(object, component);
  for (const FormObject& child : object.children) {
    current_ = &child;
    FilerFlags flags = 0;
    int child_pos = -1;
    ReadPrefix(flags, child_pos);
    FormComponent* target = child.name.empty() ? nullptr : root.FindComponent(child.name);
    if (!target) {
      if (flags & ffInherited) throw EReadError("Ancestor for '" + child.name + "' not found");
      target = component.CreateChild(child.class_name, child.name);
      if (!target) throw EReadError("Class " + child.class_name + " not found");
    }
    ReadObject(child, *target, root, loaded);
  }
}

void TReader::ReadProperties(const FormObject& object, FormComponent& component) {
  PropertyList list;
  component.DefineProperties(list);
  // Published order; properties of one name keep their order in the text, so the
  // last one written wins.
  std::vector<std::pair<int, const FormProperty*>> ordered;
  ordered.reserve(object.properties.size());
  for (const FormProperty& property : object.properties) {
    const int index = list.IndexOf(property.name);
    if (index < 0) throw EReadError("Property " + property.name + " does not exist");
    ordered.emplace_back(index, &property);
  }
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [index, property] : ordered)
    list.SetterAt(index)(property->value);
}

}  // namespace platform
