#include "platform/resources.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace platform {
namespace {

constexpr ResourceString kGreeting{"Test.SGreeting", "Good day"};
constexpr ResourceString kFarewell{"Test.SFarewell", "Good bye"};

class MapModule : public ResourceModule {
 public:
  MapModule(std::map<std::string, std::string, std::less<>> texts, bool* destroyed)
      : texts_(std::move(texts)), destroyed_(destroyed) {}
  ~MapModule() override {
    if (destroyed_) *destroyed_ = true;
  }
  std::optional<std::string> FindString(std::string_view id) const override {
    const auto it = texts_.find(id);
    if (it == texts_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::string, std::string, std::less<>> texts_;
  bool* destroyed_;
};

// The module is program-wide; every test leaves the program's own texts behind.
class ResourcesTest : public ::testing::Test {
 protected:
  void TearDown() override { SetResourceModule(nullptr); }
};

TEST_F(ResourcesTest, WithoutAModuleTheProgramsTextIsUsed) {
  EXPECT_EQ(CurrentResourceModule(), nullptr);
  EXPECT_EQ(LoadResString(kGreeting), "Good day");
}

TEST_F(ResourcesTest, AModuleOverridesOnlyTheTextsItHas) {
  // Windows-1252 bytes pass through unchanged ("Gr\xFC\xDF" is "Grüß").
  SetResourceModule(std::make_unique<MapModule>(
      std::map<std::string, std::string, std::less<>>{{"Test.SGreeting", "Gr\xFC\xDF Gott"}},
      nullptr));
  ASSERT_NE(CurrentResourceModule(), nullptr);
  EXPECT_EQ(LoadResString(kGreeting), "Gr\xFC\xDF Gott");
  EXPECT_EQ(LoadResString(kFarewell), "Good bye");
}

TEST_F(ResourcesTest, AnEmptyTranslationIsStillATranslation) {
  SetResourceModule(std::make_unique<MapModule>(
      std::map<std::string, std::string, std::less<>>{{"Test.SGreeting", ""}}, nullptr));
  EXPECT_EQ(LoadResString(kGreeting), "");
}

TEST_F(ResourcesTest, ReplacingOrResettingTheModuleReleasesTheOldOne) {
  bool first_destroyed = false;
  bool second_destroyed = false;
  SetResourceModule(std::make_unique<MapModule>(
      std::map<std::string, std::string, std::less<>>{{"Test.SGreeting", "first"}},
      &first_destroyed));
  SetResourceModule(std::make_unique<MapModule>(
      std::map<std::string, std::string, std::less<>>{{"Test.SGreeting", "second"}},
      &second_destroyed));
  EXPECT_TRUE(first_destroyed);
  EXPECT_EQ(LoadResString(kGreeting), "second");

  SetResourceModule(nullptr);
  EXPECT_TRUE(second_destroyed);
  EXPECT_EQ(CurrentResourceModule(), nullptr);
  EXPECT_EQ(LoadResString(kGreeting), "Good day");
}

TEST_F(ResourcesTest, ExchangingTheModuleHandsThePreviousOneBackUnreleased) {
  bool first_destroyed = false;
  SetResourceModule(std::make_unique<MapModule>(
      std::map<std::string, std::string, std::less<>>{{"Test.SGreeting", "first"}},
      &first_destroyed));
  std::unique_ptr<ResourceModule> first = ExchangeResourceModule(std::make_unique<MapModule>(
      std::map<std::string, std::string, std::less<>>{{"Test.SGreeting", "second"}}, nullptr));
  EXPECT_FALSE(first_destroyed);
  EXPECT_EQ(LoadResString(kGreeting), "second");
  // Put back, the first one serves again; the second comes back to the caller.
  std::unique_ptr<ResourceModule> second = ExchangeResourceModule(std::move(first));
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(LoadResString(kGreeting), "first");
  // Taken out again, it is the caller's to release.
  EXPECT_NE(ExchangeResourceModule(nullptr), nullptr);
  EXPECT_TRUE(first_destroyed);
  EXPECT_EQ(CurrentResourceModule(), nullptr);
}

}  // namespace
}  // namespace platform
