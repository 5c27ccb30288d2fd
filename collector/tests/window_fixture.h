// The main window's test fixture: a data root and settings store of the test's own,
// a scripted serial port (or the serial library's), an in-memory save file (or the
// save component), a recording automation object, scripted dialogs and a clock the
// test moves.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "collector/Unit1.h"
#include "collector/tests/core_fakes.h"
#include "collector/tests/fake_save_file.h"
#include "collector/tests/manual_clock.h"
#include "collector/tests/scoped_env.h"
#include "platform/dialogs.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/qt/timer.h"
#include "platform/registry.h"
#include "platform/tests/temp_folder.h"

namespace collector_test {

// A serial port that the test drives: what the window sends is kept, bytes are
// delivered by the test, ports in Missing cannot be opened, and an open port hangs
// up when the test says so.
struct TPortScript {
  std::string sent;
  std::string incoming;
  int com_number = 0;
  bool open = false;
  bool dsr = true;
  bool hung_up = false;
  std::set<int> missing;
  std::vector<int> opened;
  int open_requests = 0;  // opened or not
  TSerPortSettings settings;
  TSerPortDevice* port = nullptr;

  // The line delivers bytes: the port's event tells how many are there.
  void Deliver(const std::string& bytes) {
    incoming += bytes;
    if (port->OnTriggerAvail) port->OnTriggerAvail(static_cast<uint16_t>(incoming.size()));
  }
};

class TScriptedPort : public TSerPortDevice {
 public:
  explicit TScriptedPort(TPortScript& script) : script_(script) { script_.port = this; }
  void Configure(const TSerPortSettings& settings) override { script_.settings = settings; }
  int ComNumber() const override { return script_.com_number; }
  void SetComNumber(int number) override { script_.com_number = number; }
  bool Open() const override { return script_.open; }
  void SetOpen(bool open) override {
    if (open) ++script_.open_requests;
    if (open && (script_.com_number <= 0 || script_.missing.count(script_.com_number))) {
      throw Exception("Port COM" + std::to_string(script_.com_number) + " does not exist");
    }
    if (open) script_.opened.push_back(script_.com_number);
    script_.open = open;
    if (!open) script_.hung_up = false;
  }
  char GetChar() override {
    if (script_.incoming.empty()) return '\0';
    const char c = script_.incoming.front();
    script_.incoming.erase(0, 1);
    return c;
  }
  void PutString(const std::string& bytes) override { script_.sent += bytes; }
  bool GetDSR() override { return script_.open && script_.dsr; }
  bool HungUp() override { return script_.open && script_.hung_up; }
  size_t OutputPending() override { return 0; }

 private:
  TPortScript& script_;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { std::filesystem::create_directories(root_ + "DATA"); }
  ~WindowTest() override {
    form_.reset();
    auto_object_.references = 0;
  }

  // The settings store: the data root, and more keys.
  void Store(const std::string& more = "") {
    std::ofstream(store_, std::ios::binary)
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
           "\"ZQTData\"=\""
        << root_ << "ZQTDATA.INI\"\n\n"
        << more;
  }

  TForm1& Start(const std::string& argument = "") {
    TForm1Setup setup;
    setup.argument = argument;
    if (!real_port_) setup.make_port = [this] { return std::make_unique<TScriptedPort>(port_); };
    if (!real_save_) {
      setup.make_save_file = [this] {
        auto save = std::make_unique<TFakeSaveFile>();
        save_ = save.get();
        return save;
      };
    }
    setup.create_auto_object = [this]() -> IVistameterAutoObject* {
      if (!automation_works_) throw Exception("Class not registered");
      return &auto_object_;
    };
    setup.relay_port = relay_port_;
    setup.analyzer_port = analyzer_port_;
    setup.refused_module = refused_module_;
    setup.clock = &clock_;
    setup.terminate = [this] { ++terminations_; };
    form_ = std::make_unique<TForm1>(std::move(setup));
    return *form_;
  }

  bool RegistryValue(const char* key, const char* name, std::string* text, int* number = nullptr) {
    platform::TRegistry registry(store_);
    if (!registry.OpenKeyReadOnly(key) || !registry.ValueExists(name)) return false;
    if (text) *text = registry.ReadString(name);
    if (number) *number = registry.ReadInteger(name);
    return true;
  }

  // The application first: it installs the dialogs that the scripted ones replace.
  bool app_ = (platform_test::App(), true);
  platform_test::TempFolder folder_{"gasbridge_window"};
  std::string root_ = folder_.path() + "/root/";
  std::string store_ = folder_.path() + "/registry.reg";
  ScopedEnv registry_env_{"QOR_REGISTRY", store_};
  ScopedEnv home_env_{"HOME", folder_.path()};
  ScopedEnv config_env_{"XDG_CONFIG_HOME", folder_.path() + "/config"};
  ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", folder_.path()};
  ScopedEnv drives_env_{"QOR_DRIVES", folder_.path() + "/drives"};
  platform::ScopedScriptedDialogs dialogs_;
  TPortScript port_;
  bool real_port_ = false;  // the serial library's port instead of the scripted one
  bool real_save_ = false;  // the save component instead of the in-memory file
  TFakeSaveFile* save_ = nullptr;
  TRecordingAutoObject auto_object_;
  bool automation_works_ = true;
  std::optional<int> relay_port_ = 0;
  std::optional<int> analyzer_port_;  // none: the setting's
  std::optional<TModuleRefusal> refused_module_;
  int64_t clock_ms_ = 1000000;
  TManualClock clock_{clock_ms_};
  int terminations_ = 0;
  std::optional<platform::qt::ScopedFakeTimers> timers_;  // outlives the window's timers
  std::unique_ptr<TForm1> form_;
};

}  // namespace collector_test
