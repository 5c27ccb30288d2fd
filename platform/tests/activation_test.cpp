#include "platform/activation.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/registry.h"
#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

class ActivationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* store = std::getenv("QOR_REGISTRY");
    if (store) saved_ = store;
    ::setenv("QOR_REGISTRY", (folder_.path() + "/registry.reg").c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty())
      ::unsetenv("QOR_REGISTRY");
    else
      ::setenv("QOR_REGISTRY", saved_.c_str(), 1);
  }
  void Register(const std::string& clsid, const std::string& library) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Classes\\CLSID\\" + clsid + "\\InprocServer32", true));
    registry.WriteString("", library);
  }
  platform_test::TempFolder folder_{"qor_activation"};
  std::string saved_;
};

TEST_F(ActivationTest, CreatesTheObjectThroughTheRegisteredLibrary) {
  Register("{6EB172E1-23B9-11D1-AF5F-444553540000}", QOR_ACTIVATION_SERVER);
  void* object = nullptr;
  ASSERT_EQ(CoCreateInstance("{6EB172E1-23B9-11D1-AF5F-444553540000}", "{IID}", &object), S_OK);
  ASSERT_NE(object, nullptr);
  auto* unknown = static_cast<IUnknown*>(object);
  EXPECT_EQ(unknown->AddRef(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
}

TEST_F(ActivationTest, EveryFailureMeansCouldNotCreate) {
  Register("{FAIL}", QOR_ACTIVATION_SERVER);
  Register("{NULL}", QOR_ACTIVATION_SERVER);
  Register("{THROW}", QOR_ACTIVATION_SERVER);
  Register("{NOLIB}", folder_.path() + "/missing.so");
  Register("{NOSYMBOL}", QOR_ACTIVATION_NO_FACTORY);
  Register("{EMPTY}", "");
  const std::pair<const char*, HRESULT> cases[] = {
      {"{UNKNOWN}", REGDB_E_CLASSNOTREG},
      {"{EMPTY}", REGDB_E_CLASSNOTREG},
      {"{NOLIB}", CO_E_DLLNOTFOUND},
      {"{NOSYMBOL}", CO_E_ERRORINDLL},
      {"{FAIL}", E_FAIL},
      {"{NULL}", E_NOINTERFACE},
      {"{THROW}", E_FAIL},
  };
  for (const auto& [clsid, expected] : cases) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(clsid, "{IID}", &object), expected) << clsid;
    EXPECT_EQ(object, nullptr) << clsid;
  }
  EXPECT_EQ(CoCreateInstance("{FAIL}", "{IID}", nullptr), E_POINTER);
  try {
    OleCheck(REGDB_E_CLASSNOTREG);
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_STREQ(e.what(), "Class not registered");
    EXPECT_EQ(e.ErrorCode(), REGDB_E_CLASSNOTREG);
  }
  EXPECT_NO_THROW(OleCheck(S_OK));
}

}  // namespace
}  // namespace platform
