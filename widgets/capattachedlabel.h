// TCapAttachedLabel: a plain label that belongs to another control (an edit field
// and its caption, say) and keeps that control informed of where it is, so that
// the control can move it along. No window of this system places one; it is kept
// so that form resources naming the class can be read. A form loader with a class
// registry registers it under "TCapAttachedLabel" (when no class of that name is
// registered yet) from the code that creates TCapSupport.
//
// This is the label's model: the widget that shows it gives it its bounds and the
// nearest enclosing form or frame, and delivers the control's two notices as the
// toolkit's messages (0x7F0D sent, 0x7F0C posted).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/canvas.h"
#include "platform/object.h"

class TCapAttachedLabel;

// A control that a label can be attached to.
class TCapAttachableControl : public TComponent {
 public:
  using TComponent::TComponent;
  std::string_view ClassName() const override { return "TCapAttachableControl"; }

  // The label is attached to this control, or has moved (message 0x7F0D, sent).
  virtual void LabelAttached(TCapAttachedLabel& label) = 0;
  // Position the label again once the current event is over (message 0x7F0C,
  // posted).
  virtual void PostPositionLabel() = 0;
};

class TCapAttachedLabel : public TComponent {
 public:
  // Sizes itself to its text, takes its parent's font and is not transparent.
  explicit TCapAttachedLabel(TComponent* owner);
  // The same, attached to Control, which becomes its focus control.
  TCapAttachedLabel(TComponent* owner, TCapAttachableControl* control);
  ~TCapAttachedLabel() override;
  std::string_view ClassName() const override { return "TCapAttachedLabel"; }

  TCapAttachableControl* Control() const { return control_; }
  TCapAttachableControl* FocusControl() const { return focus_control_; }
  bool AutoSize() const { return auto_size_; }
  bool ParentFont() const { return parent_font_; }
  bool Transparent() const { return transparent_; }

  // The nearest form or frame that holds the label (null: none).
  void SetContainer(TComponent* container) { container_ = container; }

  // While loading from a form resource the control is not told of changes; Loaded
  // ends that and tells it once.
  void BeginLoading() { loading_ = true; }
  void Loaded();

  platform::Rect Bounds() const { return bounds_; }
  // A change of position or size tells the control.
  void SetBounds(const platform::Rect& bounds);

 private:
  void TellControl();

  TCapAttachableControl* control_ = nullptr;
  TCapAttachableControl* focus_control_ = nullptr;
  TComponent* container_ = nullptr;
  bool auto_size_ = true;
  bool parent_font_ = true;
  bool transparent_ = false;
  bool loading_ = false;
  bool destroying_ = false;
  platform::Rect bounds_{0, 0, 65, 17};
};
