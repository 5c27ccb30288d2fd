#include "platform/activation.h"

#include <dlfcn.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/registry.h"

namespace platform {

HRESULT CoCreateInstance(const std::string& clsid, const std::string& iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly("Software\\Classes\\CLSID\\" + clsid + "\\InprocServer32")) {
      return REGDB_E_CLASSNOTREG;
    }
    const std::string library = registry.ReadString("");
    if (library.empty()) return REGDB_E_CLASSNOTREG;
    void* handle = ::dlopen(ToOsPath(library).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return CO_E_DLLNOTFOUND;
    auto factory = reinterpret_cast<FactoryFunction>(::dlsym(handle, kFactorySymbol));
    if (!factory) return CO_E_ERRORINDLL;
    void* object = nullptr;
    const HRESULT result = factory(clsid.c_str(), iid.c_str(), &object);
    if (!Succeeded(result) || !object) return Succeeded(result) ? E_NOINTERFACE : result;
    *out = object;
    return S_OK;
  } catch (...) {
    // Whatever the factory or the store threw stays on this side.
    return E_FAIL;
  }
}

std::string ActivationErrorText(HRESULT result) {
  switch (result) {
    case REGDB_E_CLASSNOTREG:
      return "Class not registered";
    case E_NOINTERFACE:
      return "Interface not supported";
    case E_POINTER:
      return "Invalid pointer";
    case CO_E_ERRORINDLL:
      return "Error in the DLL";
    case E_FAIL:
      return "Unspecified error";
    default:
      break;
  }
  if (result == CO_E_DLLNOTFOUND) return "DLL for class not found";
  char text[64];
  std::snprintf(text, sizeof text, "OLE error %08X", static_cast<uint32_t>(result));
  return text;
}

void OleCheck(HRESULT result) {
  if (!Succeeded(result)) throw EOleSysError(ActivationErrorText(result), result);
}

}  // namespace platform
