#include "collector/Unit1Automation.h"

#include <exception>

#include "platform/text_1252.h"

IVistameterAutoObject* CoVistameterAutoObject::Create() {
  void* object = nullptr;
  platform::OleCheck(
      platform::CoCreateInstance(kClsidVistameterAutoObject, kIidVistameterAutoObject, &object));
  return static_cast<IVistameterAutoObject*>(object);
}

TAutomation::~TAutomation() {
  SetAutoObject(nullptr);
}

void TAutomation::SetAutoObject(IVistameterAutoObject* object) {
  if (object_) {
    try {
      object_->Release();
    } catch (...) {
      // A server that fails to let go has nothing more to say to us.
    }
  }
  object_ = object;
  ok_ = true;
  last_failure_.clear();
}

template <typename Call>
bool TAutomation::Guarded(const char* operation, Call call) {
  if (!AutomationOK()) return true;
  try {
    platform::OleCheck(call());
    return true;
  } catch (const std::exception& error) {
    last_failure_ = std::string(operation) + ": " + error.what();
  } catch (...) {
    last_failure_ = std::string(operation) + ": Unknown exception";
  }
  DisableAutomation();
  return false;
}

bool TAutomation::TransferDone() {
  return Guarded("TransferDone", [&] { return object_->TransferDone(); });
}

bool TAutomation::AddValue(const std::string& patient_id, const std::string& parameter,
                           const std::string& unit, double sample_time, double value) {
  return Guarded("AddValue", [&] {
    const std::u16string id = platform::Win1252ToUtf16(patient_id);
    const std::u16string name = platform::Win1252ToUtf16(parameter);
    const std::u16string unit16 = platform::Win1252ToUtf16(unit);
    return object_->AddValue(id.c_str(), name.c_str(), unit16.c_str(), sample_time, value);
  });
}

bool TAutomation::AddValueWithSource(const std::string& patient_id, const std::string& parameter,
                                     const std::string& specimen_source, const std::string& unit,
                                     double sample_time, double value) {
  return Guarded("AddValueWithSource", [&] {
    const std::u16string id = platform::Win1252ToUtf16(patient_id);
    const std::u16string name = platform::Win1252ToUtf16(parameter);
    const std::u16string source = platform::Win1252ToUtf16(specimen_source);
    const std::u16string unit16 = platform::Win1252ToUtf16(unit);
    return object_->AddValueWithSource(id.c_str(), name.c_str(), source.c_str(), unit16.c_str(),
                                       sample_time, value);
  });
}
