// A server library for the activation tests: one class, whose behaviour the class
// identifier chooses.
#include <cstring>
#include <stdexcept>

#include "platform/activation.h"

namespace {

class Counter final : public platform::IUnknown {
 public:
  platform::HRESULT QueryInterface(const char*, void** out) override {
    *out = this;
    AddRef();
    return platform::S_OK;
  }
  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  uint32_t references_ = 1;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) platform::HRESULT QorCreateInstance(
    const char* clsid, const char*, void** out) {
  if (std::strcmp(clsid, "{FAIL}") == 0) return platform::E_FAIL;
  if (std::strcmp(clsid, "{NULL}") == 0) return platform::S_OK;
  if (std::strcmp(clsid, "{THROW}") == 0) throw std::runtime_error("inside the server");
  *out = static_cast<platform::IUnknown*>(new Counter);
  return platform::S_OK;
}
