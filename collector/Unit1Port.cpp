#include "collector/Unit1Port.h"

#include "platform/form_resource.h"
#include "platform/qt/event_loop.h"
#include "platform/text_1252.h"

namespace {

uint16_t AsWord(const platform::FormValue& value) {
  const int32_t number = value.AsInteger();
  if (number < 0 || number > 0xFFFF) throw EReadError("Invalid property value");
  return static_cast<uint16_t>(number);
}

// Properties of the designer that mean nothing here.
void AddIgnored(platform::PropertyList& list, std::initializer_list<const char*> names) {
  for (const char* name : names)
    list.Add(name, [](const platform::FormValue&) {});
}

}  // namespace

TComPortComponent::TComPortComponent(platform::qt::TForm* owner, std::string name,
                                     std::unique_ptr<TAnalyzerPort> port)
    : TComponentBase(owner, std::move(name)), port_(std::move(port)) {
  port_->OnTriggerAvail = [this](uint16_t count) {
    if (OnTriggerAvail) platform::RunGuarded([&] { OnTriggerAvail(this, count); });
  };
}

TComPortComponent::~TComPortComponent() {
  port_->OnTriggerAvail = nullptr;
}

void TComPortComponent::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Baud", [this](const platform::FormValue& v) { settings_.baud = v.AsInteger(); });
  list.Add("DataBits", [this](const platform::FormValue& v) { settings_.data_bits = AsWord(v); });
  list.Add("StopBits", [this](const platform::FormValue& v) { settings_.stop_bits = AsWord(v); });
  list.Add("Parity", [this](const platform::FormValue& v) {
    settings_.parity = !platform::SameText1252(v.AsIdent(), "pNone");
  });
  list.Add("PromptForPort",
           [this](const platform::FormValue& v) { prompt_for_port_ = v.AsBoolean(); });
  list.Add("BufferFull",
           [this](const platform::FormValue& v) { settings_.buffer_full = AsWord(v); });
  list.Add("BufferResume",
           [this](const platform::FormValue& v) { settings_.buffer_resume = AsWord(v); });
  list.Add("TapiMode", [this](const platform::FormValue& v) { tapi_mode_ = v.AsIdent(); });
  list.Add("OnTriggerAvail", [this](const platform::FormValue& v) {
    OnTriggerAvail = Method<TTriggerAvailEvent>(v);
  });
  AddIgnored(list, {"Left", "Top"});
}

void TComPortComponent::Loaded() {
  TComponentBase::Loaded();
  port_->Configure(settings_);
}

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
  AddIgnored(list, {"Left", "Top"});
}
