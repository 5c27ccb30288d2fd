#include "datafile/QORClassLanguage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/tests/temp_folder.h"

namespace {

constexpr platform::ResourceString kClose{"Test.SClose", "Close"};

// A module made from a plain file: its first line is the translation of kClose and
// the name the tests know it by; the rest is the form resource of TLangForm.
class FileModule : public platform::ResourceModule {
 public:
  explicit FileModule(const std::string& path) {
    std::ifstream in(path);
    std::getline(in, text_);
    std::stringstream rest;
    rest << in.rdbuf();
    form_ = rest.str();
  }
  std::optional<std::string> FindString(std::string_view id) const override {
    if (id == kClose.id) return text_;
    return std::nullopt;
  }
  std::optional<std::string> FindData(std::string_view name) const override {
    if (name == "TLangForm" && !form_.empty()) return form_;
    return std::nullopt;
  }

 private:
  std::string text_;
  std::string form_;
};

class LangForm : public platform::FormRoot {
 public:
  std::string FormClassName() const override { return "TLangForm"; }
  std::string ComponentName() const override { return "LangForm"; }
  void SetComponentName(const std::string&) override {}
  void DefineProperties(platform::PropertyList& list) override {
    list.Add("Caption", [this](const platform::FormValue& v) { caption = v.AsString(); });
  }
  platform::FormComponent* FindComponent(std::string_view) override { return nullptr; }
  std::vector<std::string> ClassChain() const override { return {"TLangForm", "TForm"}; }
  std::string caption = "Program's own";
};

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* store = std::getenv("QOR_REGISTRY");
    saved_store_ = store ? std::optional<std::string>(store) : std::nullopt;
    ::setenv("QOR_REGISTRY", (folder_.path() + "/registry.reg").c_str(), 1);
    platform::SetModuleLoader(
        [](const std::string& path) -> std::unique_ptr<platform::ResourceModule> {
          if (path.ends_with(".corrupt")) return nullptr;
          return std::make_unique<FileModule>(platform::ToOsPath(path));
        });
  }
  void TearDown() override {
    platform::SetResourceModule(nullptr);
    platform::SetModuleLoader(nullptr);
    if (saved_store_)
      ::setenv("QOR_REGISTRY", saved_store_->c_str(), 1);
    else
      ::unsetenv("QOR_REGISTRY");
  }

  // A module file beside the program, named Name, whose translation is Text.
  void Module(const std::string& folder, const std::string& name, const std::string& text) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/" + name)
        << text << "\nobject LangForm: TLangForm\n  Caption = '" << text << "'\nend\n";
  }

  platform_test::TempFolder folder_{"qor_language"};
  std::optional<std::string> saved_store_;
};

TEST_F(LanguageTest, RegisteredLanguageWithItsDefaults) {
  platform::ScopedLocaleSettings locale(platform::LocaleSettings{.default_lcid = 2057});
  const std::string key = "Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\General";
  EXPECT_EQ(TLanguageManager::GetRegisteredLanguage(key), 2057u);  // no key
  platform::TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(key, true));
  EXPECT_EQ(TLanguageManager::GetRegisteredLanguage(key), 2057u);  // no value
  registry.WriteInteger("Language", 1053);
  EXPECT_EQ(TLanguageManager::GetRegisteredLanguage("\\" + key), 1053u);
  // A value that is not an integer: the default, not a failed start.
  registry.WriteString("Language", "1053");
  EXPECT_EQ(TLanguageManager::GetRegisteredLanguage(key), 2057u);
}

TEST_F(LanguageTest, FindsTheModuleOfTheLanguage) {
  struct Case {
    const char* program;             // below the temporary folder
    std::vector<std::string> files;  // beside it
    platform::LCID lcid;
    const char* expected;  // the module loaded, "" for none
  };
  const Case cases[] = {
      {"bin/P.exe", {"P.SVE"}, 1053, "P.SVE"},
      {"bin/P.exe", {"p.sve"}, 1053, "p.sve"},
      {"bin/P", {"P.SVE"}, 1053, "P.SVE"},  // no extension: appended
      {"b.in/P", {"b.SVE"}, 1053, ""},      // a dot in a folder is no extension
      {"b.in/P", {"P.SVE"}, 1053, "P.SVE"},
      {"bin/P.exe", {"P.ENU"}, 2057, "P.ENU"},           // the pattern fallback
      {"bin/P.exe", {"P.ENU", "P.ENA"}, 2057, "P.ENA"},  // first by name
      {"bin/P.exe", {"P.EN", "P.ENU.bak", "PX.ENU", "P.ENUU"}, 2057, ""},
      {"bin/P.exe", {"P.corrupt", "P.ENG.corrupt"}, 2057, ""},
      {"bin/P.exe", {"P.DEU"}, 1053, ""},
      {"bin/P.exe", {"P.SVE"}, 99999, ""},  // no abbreviation
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + std::string(" ") + std::to_string(c.lcid));
    const std::string root = folder_.path() + "/" + std::to_string(n++);
    const std::string program = root + "/" + c.program;
    const std::string beside = program.substr(0, program.rfind('/'));
    for (const std::string& file : c.files)
      Module(beside, file, file);
    platform::SetResourceModule(nullptr);
    platform::ScopedProgramPath path(program);
    const platform::ResourceModule* module = TLanguageManager::LoadResourceModule(c.lcid);
    EXPECT_EQ(module != nullptr, *c.expected != '\0');
    EXPECT_EQ(platform::LoadResString(kClose), *c.expected ? c.expected : "Close");
  }
}

TEST_F(LanguageTest, SetLanguageSwitchesTheModuleAndReloadsOpenForms) {
  platform::ScopedProgramPath path(folder_.path() + "/P.exe");
  Module(folder_.path(), "P.SVE", "St\xC3\xA4ng");
  Module(folder_.path(), "P.DEU", "Schliessen");
  LangForm form;
  // No module for the language: nothing changes.
  TLanguageManager::SetLanguage(1036);
  EXPECT_EQ(form.caption, "Program's own");
  EXPECT_EQ(platform::LoadResString(kClose), "Close");

  TLanguageManager::SetLanguage(1053);
  EXPECT_EQ(form.caption, "St\xE4ng");
  EXPECT_EQ(platform::LoadResString(kClose), "St\xC3\xA4ng");  // the file's bytes as they are
  const platform::ResourceModule* swedish = platform::CurrentResourceModule();

  TLanguageManager::SetLanguage(1031);
  EXPECT_NE(platform::CurrentResourceModule(), swedish);
  EXPECT_EQ(form.caption, "Schliessen");
  EXPECT_EQ(platform::LoadResString(kClose), "Schliessen");
}

TEST_F(LanguageTest, AFormWithoutAResourceInTheModuleIsSkipped) {
  platform::ScopedProgramPath path(folder_.path() + "/P.exe");
  std::ofstream(folder_.path() + "/P.SVE") << "Only a string\n";
  LangForm form;
  TLanguageManager::SetLanguage(1053);
  EXPECT_EQ(form.caption, "Program's own");
  EXPECT_FALSE(TLanguageManager::ReloadForm(form));
  EXPECT_EQ(platform::LoadResString(kClose), "Only a string");
}

// A module whose form cannot be read is never taken: the trial builds the form from
// the module as a window would, and the resources in use before stay.
TEST_F(LanguageTest, AModuleWhoseFormsFailTheirTrialIsRefused) {
  platform::ScopedProgramPath path(folder_.path() + "/P.exe");
  Module(folder_.path(), "P.DEU", "Schliessen");
  std::vector<std::string> tried;  // the captions the trial's forms were built with
  const TLanguageManager::FormTrial trial = [&tried] {
    LangForm form;
    const std::optional<std::string> resource = platform::LoadResourceData("TLangForm");
    if (resource) platform::TReader(*resource).ReadRootComponent(form);
    tried.push_back(form.caption);
  };
  LangForm open;
  EXPECT_EQ(TLanguageManager::SetLanguage(1031, trial), std::nullopt);
  const platform::ResourceModule* german = platform::CurrentResourceModule();
  ASSERT_NE(german, nullptr);
  EXPECT_EQ(tried, std::vector<std::string>{"Schliessen"});
  EXPECT_EQ(open.caption, "Schliessen");

  struct Case {
    const char* form;    // the module's form resource
    const char* reason;  // what the refusal says
  };
  const Case cases[] = {
      {"object LangForm: TLangForm\n  Caption = 'St", "Unterminated string on line 2"},
      {"object LangForm: TLangForm\n  Color = 1\nend\n", "Property Color does not exist"},
      {"object LangForm: TLangForm\n  Caption = 12\nend\n", "Invalid property value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    std::ofstream(folder_.path() + "/P.SVE", std::ios::trunc) << "St\xC3\xA4ng\n" << c.form;
    tried.clear();
    const std::optional<TModuleRefusal> refusal = TLanguageManager::SetLanguage(1053, trial);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->path, folder_.path() + "/P.SVE");
    EXPECT_EQ(refusal->reason, c.reason);
    EXPECT_TRUE(tried.empty());
    // The German module serves on, its texts and its form unchanged.
    EXPECT_EQ(platform::CurrentResourceModule(), german);
    EXPECT_EQ(platform::LoadResString(kClose), "Schliessen");
    EXPECT_EQ(open.caption, "Schliessen");
  }
  // Without a module in use before, the program's own resources stay.
  platform::SetResourceModule(nullptr);
  EXPECT_NE(TLanguageManager::SetLanguage(1053, trial), std::nullopt);
  EXPECT_EQ(platform::CurrentResourceModule(), nullptr);
  EXPECT_EQ(platform::LoadResString(kClose), "Close");
}

TEST(AsInheritedReaderTest, MarksEveryObjectInherited) {
  class Probe : public TAsInheritedReader {
   public:
    using TAsInheritedReader::TAsInheritedReader;
    platform::FilerFlags Flags() {
      platform::FilerFlags flags = 0;
      int child_pos = 0;
      ReadPrefix(flags, child_pos);
      return flags;
    }
  };
  Probe probe("object F: T\nend");
  EXPECT_TRUE(probe.Flags() & platform::ffInherited);
}

}  // namespace
