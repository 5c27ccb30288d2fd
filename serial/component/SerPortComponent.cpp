#include "serial/component/SerPortComponent.h"

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <string_view>

#include "platform/qt/event_loop.h"
#include "platform/qt/forms.h"
#include "platform/text_1252.h"

namespace {

// The serial library's port. Its avail event runs on the thread that made it (the
// user-interface thread), where the window reads the bytes with GetChar.
class TSerComPortDevice : public TSerPortDevice {
 public:
  TSerComPortDevice() : port_(nullptr) {
    port_.OnTriggerAvail = [this](TSerCustomComPort&, uint16_t count) {
      if (OnTriggerAvail) OnTriggerAvail(count);
    };
  }
  ~TSerComPortDevice() override { port_.OnTriggerAvail = nullptr; }

  // In the published order, which the port's own rules follow (BufferFull is
  // measured against InSize).
  void Configure(const TSerPortSettings& settings) override {
    port_.SetBaud(settings.baud);
    port_.SetDataBits(settings.data_bits);
    port_.SetStopBits(settings.stop_bits);
    port_.SetParity(settings.parity);
    port_.SetPromptForPort(settings.prompt_for_port);
    port_.SetInSize(settings.in_size);
    port_.SetOutSize(settings.out_size);
    port_.SetBufferFull(settings.buffer_full);
    port_.SetBufferResume(settings.buffer_resume);
    port_.SetTapiMode(settings.tapi_mode);
    port_.SetTraceName(settings.trace_name);
    port_.SetLogName(settings.log_name);
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
  bool HungUp() override { return port_.HungUp(); }
  size_t OutputPending() override {
    if (!port_.Open()) return 0;
    TSerBaseDispatcher* dispatcher = port_.GetDispatcher();
    const int used = dispatcher ? dispatcher->OutBuffUsed() : 0;
    return used > 0 ? static_cast<size_t>(used) : 0;
  }

 private:
  TSerComPort port_;
};

[[noreturn]] void InvalidValue() {
  throw EReadError("Invalid property value");
}

// An enumeration's value by its identifier, without case.
template <typename Enum, size_t N>
Enum EnumOf(const platform::FormValue& value, const std::array<std::string_view, N>& names) {
  for (size_t i = 0; i < N; ++i) {
    if (platform::SameText1252(names[i], value.AsIdent())) return static_cast<Enum>(i);
  }
  InvalidValue();
}

uint16_t Word(const platform::FormValue& value) {
  const int32_t number = value.AsInteger();
  if (number < 0 || number > std::numeric_limits<uint16_t>::max()) InvalidValue();
  return static_cast<uint16_t>(number);
}

constexpr std::array<std::string_view, 5> kParityNames{"pNone", "pOdd", "pEven", "pMark", "pSpace"};
constexpr std::array<std::string_view, 4> kTapiModeNames{"tmNone", "tmAuto", "tmOn", "tmOff"};

}  // namespace

std::unique_ptr<TSerPortDevice> MakeSerComPortDevice() {
  return std::make_unique<TSerComPortDevice>();
}

TSerPortComponent::TSerPortComponent(platform::qt::TForm* owner, std::string name,
                                     std::unique_ptr<TSerPortDevice> port)
    : TComponentBase(owner, std::move(name)), port_(std::move(port)) {
  port_->OnTriggerAvail = [this](uint16_t count) {
    if (OnTriggerAvail) platform::RunGuarded([&] { OnTriggerAvail(this, count); });
  };
}

TSerPortComponent::~TSerPortComponent() {
  port_->OnTriggerAvail = nullptr;
}

void TSerPortComponent::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  using platform::FormValue;
  list.Add("Baud", [this](const FormValue& v) { settings_.baud = v.AsInteger(); });
  list.Add("ComNumber", [this](const FormValue& v) { com_number_ = Word(v); });
  list.Add("DataBits", [this](const FormValue& v) { settings_.data_bits = Word(v); });
  list.Add("StopBits", [this](const FormValue& v) { settings_.stop_bits = Word(v); });
  list.Add("Parity",
           [this](const FormValue& v) { settings_.parity = EnumOf<TParity>(v, kParityNames); });
  list.Add("PromptForPort",
           [this](const FormValue& v) { settings_.prompt_for_port = v.AsBoolean(); });
  list.Add("InSize", [this](const FormValue& v) { settings_.in_size = Word(v); });
  list.Add("OutSize", [this](const FormValue& v) { settings_.out_size = Word(v); });
  list.Add("BufferFull", [this](const FormValue& v) { settings_.buffer_full = Word(v); });
  list.Add("BufferResume", [this](const FormValue& v) { settings_.buffer_resume = Word(v); });
  list.Add("TapiMode", [this](const FormValue& v) {
    settings_.tapi_mode = EnumOf<TTapiMode>(v, kTapiModeNames);
  });
  list.Add("TraceName", [this](const FormValue& v) { settings_.trace_name = v.AsString(); });
  list.Add("LogName", [this](const FormValue& v) { settings_.log_name = v.AsString(); });
  list.Add("Open", [this](const FormValue& v) { open_ = v.AsBoolean(); });
  list.Add("OnTriggerAvail",
           [this](const FormValue& v) { OnTriggerAvail = Method<TSerPortAvailEvent>(v); });
  // Where the component sat in the designer.
  platform::qt::AddIgnoredProperties(list, {"Left", "Top"});
}

void TSerPortComponent::Loaded() {
  TComponentBase::Loaded();
  port_->Configure(settings_);
  if (com_number_) port_->SetComNumber(*com_number_);
  if (!open_) return;
  try {
    port_->SetOpen(true);
  } catch (const std::exception& error) {
    platform::ReportException(error);
  }
}

void RegisterSerPortComponent() {
  platform::qt::RegisterComponentClass(
      "TSerComPort",
      [](platform::qt::TForm* owner, QWidget*,
         const std::string& name) -> std::unique_ptr<platform::qt::TComponentBase> {
        return std::make_unique<TSerPortComponent>(owner, name);
      });
}
