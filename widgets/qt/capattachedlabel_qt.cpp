#include "widgets/qt/capattachedlabel_qt.h"

#include <memory>

TCapAttachedLabelControl::TCapAttachedLabelControl(platform::qt::TForm* owner, QWidget* parent,
                                                   std::string name)
    : TLabel(owner, parent, std::move(name)) {
  SetTransparent(model_.Transparent());
}

void TCapAttachedLabelControl::DefineProperties(platform::PropertyList& list) {
  TLabel::DefineProperties(list);
  // The control it belongs to; none of the Qt controls takes an attached label.
  platform::qt::AddIgnoredProperties(list, {"FocusControl"});
}

void TCapAttachedLabelControl::BeginLoading() {
  TLabel::BeginLoading();
  model_.BeginLoading();
}

void TCapAttachedLabelControl::Loaded() {
  TLabel::Loaded();
  model_.SetBounds(BoundsRect());
  model_.Loaded();
}

TCapAttachedLabel& TCapAttachedLabelControl::Model() {
  model_.SetBounds(BoundsRect());
  return model_;
}

void RegisterCapAttachedLabelClass() {
  if (platform::qt::IsComponentClassRegistered("TCapAttachedLabel")) return;
  platform::qt::RegisterComponentClass(
      "TCapAttachedLabel",
      [](platform::qt::TForm* owner, QWidget* parent, const std::string& name) {
        return std::make_unique<TCapAttachedLabelControl>(owner, parent, name);
      });
}
