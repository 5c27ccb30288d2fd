#include "collector/Unit1SaveIt.h"

#include "platform/form_resource.h"
#include "platform/qt/forms.h"

TSaveItComponent::TSaveItComponent(platform::qt::TForm* owner, std::string name,
                                   std::unique_ptr<TSaveFileAccess> save)
    : TComponentBase(owner, std::move(name)), save_(std::move(save)) {}

TSaveItComponent::~TSaveItComponent() = default;

void TSaveItComponent::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("MinimumReservedSpaceForMonitorParameters", [this](const platform::FormValue& v) {
    reserved_space_ = v.AsInteger();
    save_->SetMinimumReservedSpaceForMonitorParameters(reserved_space_);
  });
  // The file type is the loaded file's; a resource can only give its start value.
  list.Add("FileType", [](const platform::FormValue& v) { v.AsIdent(); });
  list.Add("IsReadOnly", [this](const platform::FormValue& v) { read_only_ = v.AsBoolean(); });
  platform::qt::AddIgnoredProperties(list, {"Left", "Top"});
}
