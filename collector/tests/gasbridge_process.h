// A gasbridge program of its own, for the tests and benchmarks that run real
// collectors side by side: a data root, a settings store and an automation log of
// its own in a folder given to it, the stand-in automation server, the offscreen
// platform. It is ended (SIGTERM) when the object goes.
//
// Needs QOR_GASBRIDGE and QOR_STANDIN_LIBRARY (the two programs' paths) defined.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "collector/tests/fixed_ports.h"

extern char** environ;

namespace collector_test {

class TGasbridgeProcess {
 public:
  // Folder: where everything of this collector goes (created). Settings: more
  // values under the collector's settings key, in the store's text form.
  TGasbridgeProcess(std::string folder, const std::string& settings = "")
      : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_ + "/root/DATA");
    // The folder is also the program's runtime folder, which Qt wants private.
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    std::ofstream(folder_ + "/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
           "{6EB172E1-23B9-11D1-AF5F-444553540000}\\InprocServer32]\n"
           "@=\"" QOR_STANDIN_LIBRARY
           "\"\n\n"
           "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
           "\"ZQTData\"=\""
        << folder_
        << "/root/ZQTDATA.INI\"\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External "
           "Collect\\1.0\\ABL]\n"
        << settings;
  }
  ~TGasbridgeProcess() { Stop(); }
  TGasbridgeProcess(const TGasbridgeProcess&) = delete;
  TGasbridgeProcess& operator=(const TGasbridgeProcess&) = delete;

  // Starts the program with Source ("ABL", "WARDVORTA127.0.0.1", "COM1"), and Env
  // ("NAME=value") besides its own; it ends by itself after QuitAfter seconds at the
  // latest.
  bool Start(const std::string& source, int quit_after = 120,
             const std::vector<std::string>& more_env = {}) {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                    "QOR_REGISTRY=" + folder_ + "/registry.reg",
                                    "QOR_AUTOMATION_LOG=" + AutomationLog(),
                                    "XDG_RUNTIME_DIR=" + folder_,
                                    "XDG_CONFIG_HOME=" + folder_ + "/config",
                                    "QOR_DRIVES=" + folder_ + "/drives",
                                    "HOME=" + folder_};
    for (const char* name :
         {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    env.insert(env.end(), more_env.begin(), more_env.end());
    std::vector<char*> envp;
    for (std::string& entry : env)
      envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = QOR_GASBRIDGE;
    std::string argument = source;
    std::string quit = "--quit-after=" + std::to_string(quit_after);
    char* argv[] = {program.data(), argument.data(), quit.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
    const bool started =
        ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) pid_ = -1;
    return started;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Whether it is still running. One that has ended is reaped, and its id forgotten,
  // so that no later Stop signals a process that took the id over.
  bool Running() {
    if (pid_ <= 0) return false;
    if (::waitpid(pid_, nullptr, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
  }
  pid_t Pid() const { return pid_; }

  std::string Root() const { return folder_ + "/root/"; }
  std::string DataDir() const { return Root() + "DATA/"; }
  std::string AutomationLog() const { return folder_ + "/automation.log"; }
  std::string TransferLog() const { return DataDir() + "ABL 625 Logfile.txt"; }

  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // How often Text stands in the automation log.
  size_t AutomationCalls(const std::string& text) const {
    const std::string log = Read(AutomationLog());
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++count;
    return count;
  }

 private:
  std::string folder_;
  pid_t pid_ = -1;
};

}  // namespace collector_test
