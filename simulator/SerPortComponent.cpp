#include "simulator/SerPortComponent.h"

#include <array>
#include <limits>
#include <string_view>

#include "platform/qt/forms.h"
#include "platform/text_1252.h"

namespace simulator {

namespace {

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

TSerPortComponent::TSerPortComponent(platform::qt::TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)), port_(nullptr) {
  port_.SetName(ComponentName());
}

void TSerPortComponent::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  using platform::FormValue;
  list.Add("Baud", [this](const FormValue& v) { port_.SetBaud(v.AsInteger()); });
  list.Add("ComNumber", [this](const FormValue& v) { port_.SetComNumber(Word(v)); });
  list.Add("DataBits", [this](const FormValue& v) { port_.SetDataBits(Word(v)); });
  list.Add("StopBits", [this](const FormValue& v) { port_.SetStopBits(Word(v)); });
  list.Add("Parity",
           [this](const FormValue& v) { port_.SetParity(EnumOf<TParity>(v, kParityNames)); });
  list.Add("PromptForPort", [this](const FormValue& v) { port_.SetPromptForPort(v.AsBoolean()); });
  list.Add("InSize", [this](const FormValue& v) { port_.SetInSize(Word(v)); });
  list.Add("OutSize", [this](const FormValue& v) { port_.SetOutSize(Word(v)); });
  list.Add("BufferFull", [this](const FormValue& v) { port_.SetBufferFull(Word(v)); });
  list.Add("BufferResume", [this](const FormValue& v) { port_.SetBufferResume(Word(v)); });
  list.Add("TapiMode",
           [this](const FormValue& v) { port_.SetTapiMode(EnumOf<TTapiMode>(v, kTapiModeNames)); });
  list.Add("TraceName", [this](const FormValue& v) { port_.SetTraceName(v.AsString()); });
  list.Add("LogName", [this](const FormValue& v) { port_.SetLogName(v.AsString()); });
  list.Add("Open", [this](const FormValue& v) { port_.SetOpen(v.AsBoolean()); });
  list.Add("OnTriggerAvail",
           [this](const FormValue& v) { port_.OnTriggerAvail = Method<TTriggerAvailEvent>(v); });
  // Where the component sat in the designer.
  list.Add("Left", [](const FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const FormValue& v) { v.AsInteger(); });
}

void TSerPortComponent::BeginLoading() {
  TComponentBase::BeginLoading();
  port_.BeginLoading();
}

void TSerPortComponent::Loaded() {
  TComponentBase::Loaded();
  port_.Loaded();
}

void RegisterSerPortComponent() {
  platform::qt::RegisterComponentClass(
      "TSerComPort",
      [](platform::qt::TForm* owner, QWidget*,
         const std::string& name) -> std::unique_ptr<platform::qt::TComponentBase> {
        return std::make_unique<TSerPortComponent>(owner, name);
      });
}

}  // namespace simulator
