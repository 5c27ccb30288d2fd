#include "collector/Unit1Port.h"

#include <algorithm>

#include "platform/form_resource.h"
#include "platform/qt/event_loop.h"
#include "platform/text_1252.h"
#include "serial/SerPort.h"

namespace {

// The serial library's port. Its avail event runs on the thread that made it (the
// user-interface thread), where the window reads the bytes with GetChar.
class TSerialAnalyzerPort : public TAnalyzerPort {
 public:
  TSerialAnalyzerPort() : port_(nullptr) {
    port_.OnTriggerAvail = [this](TSerCustomComPort&, uint16_t count) {
      if (OnTriggerAvail) OnTriggerAvail(count);
    };
  }
  ~TSerialAnalyzerPort() override { port_.OnTriggerAvail = nullptr; }

  void Configure(const TLineSettings& settings) override {
    port_.SetBaud(settings.baud);
    port_.SetDataBits(settings.data_bits);
    port_.SetStopBits(settings.stop_bits);
    port_.SetParity(settings.parity ? pEven : pNone);
    port_.SetPromptForPort(settings.prompt_for_port);
    port_.SetBufferFull(settings.buffer_full);
    port_.SetBufferResume(settings.buffer_resume);
    port_.SetTapiMode(tmOff);
  }
  int ComNumber() const override { return port_.ComNumber(); }
  void SetComNumber(int number) override {
    port_.SetComNumber(static_cast<uint16_t>(std::clamp(number, 0, 0xFFFF)));
  }
  bool Open() const override { return port_.Open(); }
  void SetOpen(bool open) override { port_.SetOpen(open); }
  char GetChar() override { return port_.GetChar(); }
  void PutString(const std::string& bytes) override { port_.PutString(bytes); }
  bool GetDSR() override { return port_.GetDSR(); }

 private:
  TSerComPort port_;
};

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

std::unique_ptr<TAnalyzerPort> MakeSerialPort() {
  return std::make_unique<TSerialAnalyzerPort>();
}

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
           [this](const platform::FormValue& v) { settings_.prompt_for_port = v.AsBoolean(); });
  list.Add("BufferFull",
           [this](const platform::FormValue& v) { settings_.buffer_full = AsWord(v); });
  list.Add("BufferResume",
           [this](const platform::FormValue& v) { settings_.buffer_resume = AsWord(v); });
  list.Add("TapiMode", [this](const platform::FormValue& v) { tapi_mode_ = v.AsIdent(); });
  list.Add("OnTriggerAvail", [this](const platform::FormValue& v) {
    OnTriggerAvail = Method<TComPortAvailEvent>(v);
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
