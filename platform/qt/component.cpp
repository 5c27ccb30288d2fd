#include "platform/qt/component.h"

namespace platform::qt {

TComponentBase::TComponentBase(TForm* owner, std::string name)
    : owner_(owner), name_(std::move(name)) {}

void TComponentBase::DefineProperties(PropertyList& list) {
  list.Add("Tag", [this](const FormValue& v) { tag_ = v.AsInteger(); });
}

}  // namespace platform::qt
