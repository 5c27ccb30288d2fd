// A gasbridge program of its own, for the tests and benchmarks that run real
// collectors side by side: a data root, a settings store and an automation log of
// its own in a folder given to it, the stand-in automation server, the offscreen
// platform. It is ended (SIGTERM) when the object goes. A descriptor limit of its
// own can be set before it starts.
//
// Needs QOR_GASBRIDGE and QOR_STANDIN_LIBRARY (the two programs' paths) defined.
#pragma once

#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
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
    std::string program = program_;
    std::string argument = source;
    std::string quit = "--quit-after=" + std::to_string(quit_after);
    char* argv[] = {program.data(), argument.data(), quit.data(), nullptr};
    bool started = false;
    if (run_as_ || descriptor_limit_ > 0) {
      // posix_spawn changes neither the user nor the limits: a child of our own
      // does, then runs the program (with only the calls a forked child of a
      // threaded process may make).
      const rlimit limit{descriptor_limit_, descriptor_limit_};
      pid_ = ::fork();
      if (pid_ == 0) {
        if (descriptor_limit_ > 0 && ::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(127);
        if (::chdir(folder_.c_str()) != 0) ::_exit(127);
        if (run_as_ &&
            (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0)) {
          ::_exit(127);
        }
        ::execve(program.c_str(), argv, envp.data());
        ::_exit(127);
      }
      started = pid_ > 0;
    } else {
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
      started = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) == 0;
      posix_spawn_file_actions_destroy(&actions);
    }
    if (!started) pid_ = -1;
    return started;
  }

  // The program file to start instead of the build's (a link to it or a copy,
  // beside a language module of the test's own).
  void SetProgram(std::string program) { program_ = std::move(program); }

  // The exit code once the program has ended by itself (128 + the signal when a
  // signal ended it); nothing when it still runs after Limit (a safety net, never a
  // measure).
  std::optional<int> WaitForExit(std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
      int status = 0;
      const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
      if (ended == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (ended < 0 || std::chrono::steady_clock::now() > give_up) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

  // The next Start runs the program as that user, in that one group (needs root);
  // the folder must be theirs by then.
  void RunAs(uid_t uid, gid_t gid) {
    run_as_ = true;
    uid_ = uid;
    gid_ = gid;
  }

  // The program's descriptor limit (RLIMIT_NOFILE, soft and hard) from its next
  // start on; 0: this process's own.
  void SetDescriptorLimit(rlim_t limit) { descriptor_limit_ = limit; }

  // The CPU time the program has used so far, user and system (-1 when it is not
  // running).
  double CpuSeconds() const {
    const std::string stat = Read("/proc/" + std::to_string(pid_) + "/stat");
    // The name in parentheses may hold spaces; the fields after it are counted
    // from the state, the third field: utime and stime are the 14th and 15th.
    const size_t name_end = stat.rfind(')');
    if (pid_ <= 0 || name_end == std::string::npos) return -1;
    std::istringstream fields(stat.substr(name_end + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
      fields >> skipped;
    long long user = 0;
    long long system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
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
  std::string program_ = QOR_GASBRIDGE;
  pid_t pid_ = -1;
  bool run_as_ = false;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  rlim_t descriptor_limit_ = 0;
};

}  // namespace collector_test
