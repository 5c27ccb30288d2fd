#include "widgets/capattachedlabel.h"

TCapAttachedLabel::TCapAttachedLabel(TComponent* owner) : TComponent(owner) {}

TCapAttachedLabel::TCapAttachedLabel(TComponent* owner, TCapAttachableControl* control)
    : TCapAttachedLabel(owner) {
  control_ = control;
  focus_control_ = control;
}

TCapAttachedLabel::~TCapAttachedLabel() {
  destroying_ = true;
}

void TCapAttachedLabel::Loaded() {
  loading_ = false;
  TellControl();
}

void TCapAttachedLabel::SetBounds(const platform::Rect& bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
  TellControl();
}

void TCapAttachedLabel::TellControl() {
  if (loading_ || destroying_ || control_ == nullptr || container_ == nullptr) return;
  // Only a control of the same form: one elsewhere may be gone before the label.
  if (control_->Owner() != container_) return;
  control_->LabelAttached(*this);
  control_->PostPositionLabel();
}
