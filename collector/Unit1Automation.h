// The main application's automation object, through which Gasbridge hands it every
// result it files.
//
// The object lives in a server library that the activation layer loads
// (platform/activation.h): the class {6EB172E1-...} is looked up in the settings
// store and its library's factory asked for the interface {6EB172E0-...}. The
// interface's operations follow IDispatch's in a fixed order; Gasbridge calls three
// of them by their place (no late binding): TransferDone (1), AddValue (7) and
// AddValueWithSource (9). The other six are the main application's own business;
// the stand-in server library implements them by logging the call.
//
// Texts cross as UTF-16 (zero-terminated), times as days since 1899-12-30.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/activation.h"

inline constexpr char kClsidVistameterAutoObject[] = "{6EB172E1-23B9-11D1-AF5F-444553540000}";
inline constexpr char kIidVistameterAutoObject[] = "{6EB172E0-23B9-11D1-AF5F-444553540000}";

constexpr platform::HRESULT E_NOTIMPL = static_cast<platform::HRESULT>(0x80004001);

// A text as the automation interface passes it: UTF-16, zero-terminated.
using BSTR = const char16_t*;

class IDispatch : public platform::IUnknown {
 public:
  virtual platform::HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual platform::HRESULT GetTypeInfo(uint32_t index, uint32_t lcid, void** info) = 0;
  virtual platform::HRESULT GetIDsOfNames(const char* iid, const BSTR* names, uint32_t count,
                                          uint32_t lcid, int32_t* ids) = 0;
  virtual platform::HRESULT Invoke(int32_t id, const char* iid, uint32_t lcid, uint16_t flags,
                                   void* params, void* result, void* exception_info,
                                   uint32_t* argument_error) = 0;

 protected:
  ~IDispatch() = default;
};

class IVistameterAutoObject : public IDispatch {
 public:
  // 1: the results of one message of a known patient have all been handed over.
  virtual platform::HRESULT TransferDone() = 0;
  // 2-6: not called by Gasbridge.
  virtual platform::HRESULT Reserved2() = 0;
  virtual platform::HRESULT Reserved3() = 0;
  virtual platform::HRESULT Reserved4() = 0;
  virtual platform::HRESULT Reserved5() = 0;
  virtual platform::HRESULT Reserved6() = 0;
  // 7: one result while results are not grouped by specimen source (Parameter then
  // carries the source in front).
  virtual platform::HRESULT AddValue(BSTR patient_id, BSTR parameter, BSTR unit, double sample_time,
                                     double value) = 0;
  // 8: not called by Gasbridge.
  virtual platform::HRESULT Reserved8() = 0;
  // 9: one result while results are grouped by specimen source.
  virtual platform::HRESULT AddValueWithSource(BSTR patient_id, BSTR parameter,
                                               BSTR specimen_source, BSTR unit, double sample_time,
                                               double value) = 0;

 protected:
  ~IVistameterAutoObject() = default;
};

// Creating the object (CoVistameterAutoObject.Create): raises EOleSysError with the
// activation's failure.
class CoVistameterAutoObject {
 public:
  static IVistameterAutoObject* Create();
};

// The collector's hold on the object for the whole run: calls are made while
// AutomationOK is set; the first call that fails (a failure result or an exception)
// clears it for the rest of the run, and the failure is kept for the one report the
// collector makes of it.
class TAutomation {
 public:
  TAutomation() = default;
  ~TAutomation();
  TAutomation(const TAutomation&) = delete;
  TAutomation& operator=(const TAutomation&) = delete;

  // Takes over one reference to Object (none: no object, calls are not made);
  // calls are made again.
  void SetAutoObject(IVistameterAutoObject* object);
  IVistameterAutoObject* AutoObject() const { return object_; }
  bool AutomationOK() const { return ok_ && object_ != nullptr; }
  void DisableAutomation() { ok_ = false; }

  // The three calls. Each returns false when it failed just now (AutomationOK is
  // then clear and LastFailure tells why); true otherwise, also when no call was
  // made because automation is off.
  bool TransferDone();
  bool AddValue(const std::string& patient_id, const std::string& parameter,
                const std::string& unit, double sample_time, double value);
  bool AddValueWithSource(const std::string& patient_id, const std::string& parameter,
                          const std::string& specimen_source, const std::string& unit,
                          double sample_time, double value);
  const std::string& LastFailure() const { return last_failure_; }

 private:
  template <typename Call>
  bool Guarded(const char* operation, Call call);

  IVistameterAutoObject* object_ = nullptr;
  bool ok_ = true;
  std::string last_failure_;
};
