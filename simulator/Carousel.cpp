#include "simulator/Carousel.h"

#include <QLineEdit>
#include <optional>

#include "platform/qt/event_loop.h"
#include "simulator/CarouselText.h"

TFloatEdit::TFloatEdit(platform::qt::TForm* owner, QWidget* parent, std::string name)
    : TEdit(owner, parent, std::move(name)) {
  // Connected after the edit control's own notification, so the filter runs after
  // OnChange, as the field's change handler calls the inherited one first.
  QObject::connect(edit_, &QLineEdit::textChanged,
                   [this](const QString&) { platform::RunGuarded([this] { Filter(); }); });
}

void TFloatEdit::DefineProperties(platform::PropertyList& list) {
  TEdit::DefineProperties(list);
  using platform::FormValue;
  // Read-only: a resource may carry it, and it stays as it is.
  list.Add("About", [](const FormValue& v) { v.AsString(); });
  list.Add("Value", [this](const FormValue& v) { SetValue(v.AsFloat()); });
}

std::string TFloatEdit::About() const {
  return std::string(kFloatEditAbout);
}

double TFloatEdit::Value() const {
  return FloatTextToValue(Text());
}

void TFloatEdit::SetValue(double value) {
  if (const std::optional<std::string> text = FloatValueToText(value)) SetText(*text);
}

void TFloatEdit::Filter() {
  const std::string text = Text();
  const std::string filtered = FilterFloatText(text);
  if (filtered != text) SetText(filtered);  // runs this again, with nothing left to filter
  edit_->setCursorPosition(static_cast<int>(edit_->text().size()));
}

void RegisterFloatEdit() {
  platform::qt::RegisterComponentClass(
      "TFloatEdit",
      [](platform::qt::TForm* owner, QWidget* parent,
         const std::string& name) -> std::unique_ptr<platform::qt::TComponentBase> {
        return std::make_unique<TFloatEdit>(owner, parent, name);
      });
}
