#include "widgets/qt/caplabel_qt.h"

#include <QEvent>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/exception.h"
#include "platform/qt/qt_canvas.h"
#include "platform/text_1252.h"

namespace {

using platform::FormValue;

[[noreturn]] void InvalidValue() {
  throw EReadError("Invalid property value");
}

// The enumeration value of an identifier, by the label's own name lookup.
template <typename T>
T EnumOf(const FormValue& value, std::optional<T> (*from_name)(std::string_view)) {
  const std::optional<T> result = from_name(value.AsIdent());
  if (!result) InvalidValue();
  return *result;
}

TCapDepth DepthOf(const FormValue& value) {
  const int32_t depth = value.AsInteger();
  if (depth < 0 || depth > 255) InvalidValue();
  return static_cast<TCapDepth>(depth);
}

}  // namespace

TCapLabelControl::TCapLabelControl(platform::qt::TForm* owner, QWidget* parent, std::string name)
    : TPaintedControl(owner, parent, std::move(name), "TCapLabel") {
  SetPaintHandler([this](platform::Canvas& canvas, const platform::Rect& client) {
    Follow();
    label_.Paint(canvas, client);
  });
  label_.SetOnChange([this](TCapLabelChange change) { Changed(change); });
  Widget()->installEventFilter(this);
  if (parent) parent->installEventFilter(this);
  Follow();
}

TCapLabelControl::~TCapLabelControl() {
  // The widget goes with the base class, after this part of the object: it must
  // not report to a filter that is gone.
  if (QWidget* widget = Widget()) {
    widget->removeEventFilter(this);
    if (QWidget* parent = widget->parentWidget()) parent->removeEventFilter(this);
  }
}

void TCapLabelControl::DefineProperties(platform::PropertyList& list) {
  // The control's own properties, taken by name into the label's published order.
  platform::PropertyList base;
  TPaintedControl::DefineProperties(base);
  const auto take = [&](const char* name) {
    const int index = base.IndexOf(name);
    if (index >= 0) list.Add(base.NameAt(index), base.SetterAt(index));
  };
  take("Tag");
  take("Left");
  take("Top");
  take("Width");
  take("Height");
  list.Add("About", [](const FormValue& v) { v.AsString(); });  // writing it does nothing
  list.Add("Align", [this](const FormValue& v) {
    align_client_ = platform::SameText1252(v.AsIdent(), "alClient");
    Follow();
  });
  list.Add("Alignment",
           [this](const FormValue& v) { label_.SetAlignment(EnumOf(v, &CapAlignmentFromName)); });
  list.Add("Appearance",
           [this](const FormValue& v) { label_.SetAppearance(EnumOf(v, &CapAppearanceFromName)); });
  list.Add("Caption", [this](const FormValue& v) { label_.SetCaption(v.AsString()); });
  list.Add("Color",
           [this](const FormValue& v) { label_.SetColor(platform::qt::ColorFromForm(v)); });
  list.Add("ColorScheme", [this](const FormValue& v) {
    label_.SetColorScheme(EnumOf(v, &CapColorSchemeFromName));
  });
  platform::qt::AddIgnoredProperties(list, {"Cursor"});
  TCapCustomSettings& settings = label_.CustomSettings();
  list.Add("CustomSettings.GraduateFromColor", [&settings](const FormValue& v) {
    settings.SetGraduateFromColor(platform::qt::ColorFromForm(v));
  });
  list.Add("CustomSettings.GraduateStyle", [&settings](const FormValue& v) {
    settings.SetGraduateStyle(EnumOf(v, &CapGraduateStyleFromName));
  });
  list.Add("CustomSettings.HighlightColor", [&settings](const FormValue& v) {
    settings.SetHighlightColor(platform::qt::ColorFromForm(v));
  });
  list.Add("CustomSettings.HighlightDepth",
           [&settings](const FormValue& v) { settings.SetHighlightDepth(DepthOf(v)); });
  list.Add("CustomSettings.HighlightDirection", [&settings](const FormValue& v) {
    settings.SetHighlightDirection(EnumOf(v, &CapShadeDirectionFromName));
  });
  list.Add("CustomSettings.HighlightStyle", [&settings](const FormValue& v) {
    settings.SetHighlightStyle(EnumOf(v, &CapShadeStyleFromName));
  });
  list.Add("CustomSettings.ShadowColor", [&settings](const FormValue& v) {
    settings.SetShadowColor(platform::qt::ColorFromForm(v));
  });
  list.Add("CustomSettings.ShadowDepth",
           [&settings](const FormValue& v) { settings.SetShadowDepth(DepthOf(v)); });
  list.Add("CustomSettings.ShadowDirection", [&settings](const FormValue& v) {
    settings.SetShadowDirection(EnumOf(v, &CapShadeDirectionFromName));
  });
  list.Add("CustomSettings.ShadowStyle", [&settings](const FormValue& v) {
    settings.SetShadowStyle(EnumOf(v, &CapShadeStyleFromName));
  });
  platform::qt::AddIgnoredProperties(list, {"DragCursor", "DragMode"});
  take("Enabled");
  platform::qt::AddIgnoredProperties(list, {"FocusControl"});
  platform::qt::AddFontProperties(
      list, [this] { return label_.Font(); },
      [this](const platform::Font& font) { label_.SetFont(font); });
  platform::qt::AddIgnoredProperties(list, {"ParentColor", "ParentFont", "ParentShowHint"});
  list.Add("ShowAccelChar", [this](const FormValue& v) { label_.SetShowAccelChar(v.AsBoolean()); });
  platform::qt::AddIgnoredProperties(list, {"ShowHint"});
  take("Hint");
  list.Add("Transparent", [this](const FormValue& v) { label_.SetTransparent(v.AsBoolean()); });
  take("Visible");
  list.Add("WordWrap", [this](const FormValue& v) { label_.SetWordWrap(v.AsBoolean()); });
  list.Add("OnClick",
           [this](const FormValue& v) { OnClick = Method<platform::qt::TNotifyEvent>(v); });
}

void TCapLabelControl::BeginLoading() {
  TPaintedControl::BeginLoading();
  label_.BeginLoading();
}

void TCapLabelControl::Loaded() {
  TPaintedControl::Loaded();
  Follow();
  label_.Loaded();
}

bool TCapLabelControl::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::Move) Follow();
  return QObject::eventFilter(watched, event);
}

void TCapLabelControl::Follow() {
  QWidget* widget = Widget();
  if (!widget) return;
  if (align_client_ && widget->parentWidget() &&
      widget->geometry() != widget->parentWidget()->rect()) {
    widget->setGeometry(widget->parentWidget()->rect());
  }
  const platform::Rect bounds = BoundsRect();
  if (bounds == label_.Bounds()) return;
  following_ = true;
  label_.SetBounds(bounds);
  following_ = false;
}

void TCapLabelControl::Changed(TCapLabelChange change) {
  switch (change) {
    case TCapLabelChange::kTextChanged:
    case TCapLabelChange::kFontChanged:
      if (label_.AutoSize()) {
        platform::qt::QtBitmap measure(1, 1);
        label_.AdjustBounds(measure.canvas());
      }
      break;
    case TCapLabelChange::kBoundsChanged:
      if (!following_) {
        const platform::Rect& b = label_.Bounds();
        SetBounds(b.left, b.top, b.Width(), b.Height());
      }
      break;
    case TCapLabelChange::kRepaint:
    case TCapLabelChange::kColorChanged:
      break;
  }
  Invalidate();
}

void RegisterCapLabelClass() {
  platform::qt::RegisterComponentClass(
      "TCapLabel", [](platform::qt::TForm* owner, QWidget* parent, const std::string& name) {
        return std::make_unique<TCapLabelControl>(owner, parent, name);
      });
}
