// Creating automation objects by class identifier, in place of COM activation.
//
// A class identifier ("{6EB172E1-...}") is looked up in the settings store under
// "Software\Classes\CLSID\<clsid>\InprocServer32"; its default value names a shared
// library, which is loaded and asked for the object through its exported factory
//
//   extern "C" HRESULT QorCreateInstance(const char* clsid, const char* iid, void** out);
//
// Interfaces are C++ abstract classes derived from IUnknown with their operations in
// a fixed order, HRESULT results and UTF-16 texts. No key, no library, no factory, a
// failure result or an exception inside the factory all mean "could not create": the
// result is a failure code and no exception crosses the library boundary. A loaded
// library stays loaded for the rest of the run, as objects from it may live on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/exception.h"

namespace platform {

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x80040195);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);

inline bool Succeeded(HRESULT result) {
  return result >= 0;
}

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const char* iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

constexpr const char* kFactorySymbol = "QorCreateInstance";
using FactoryFunction = HRESULT (*)(const char* clsid, const char* iid, void** out);

// Creates the object of the class with the interface; S_OK and *Out set, or a
// failure code and *Out null. Never raises.
HRESULT CoCreateInstance(const std::string& clsid, const std::string& iid, void** out) noexcept;

// The operating system's message for the failure, as automation errors carry it.
std::string ActivationErrorText(HRESULT result);

// An automation call's failure at the call site: "<message>" with its code.
class EOleSysError : public Exception {
 public:
  EOleSysError(const std::string& message, HRESULT code) : Exception(message), code_(code) {}
  HRESULT ErrorCode() const { return code_; }

 private:
  HRESULT code_;
};

// Raises EOleSysError for a failure result.
void OleCheck(HRESULT result);

}  // namespace platform
