// Gasbridge and Gasmimic as the real programs, on the offscreen platform, wired as
// run.sh wires them: a demonstration data root of a test's own (settings store, the
// registered demonstration patient, the stand-in automation server) and a serial
// cable between Gasbridge's COM1 and Gasmimic's COM2.
//
// The cable is two pseudo-terminal pairs whose master sides a thread of ours joins,
// so that the tests see every byte in each direction (ACK, NAK) and the benchmark
// can pace the bytes as a real line at a given baud rate would.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "collector/PatientIds.h"
#include "collector/tests/fixed_ports.h"
#include "platform/tests/pty_pair.h"
#include "platform/tests/temp_folder.h"

extern char** environ;

namespace system_test {

using Clock = std::chrono::steady_clock;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Polls Done until it holds or Limit passed (a guard against a hang, never a
// measure): false when it still does not hold.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const Clock::time_point end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// ---- The serial cable ----

// What one side of the cable sent, byte by byte, with the time each byte reached
// the cable.
struct Traffic {
  std::string bytes;
  std::vector<Clock::time_point> times;
};

// A null-modem cable between COMa and COMb of a com-port folder. Unpaced, the bytes
// pass as soon as they come; paced, each byte takes SecondsPerByte on the line, one
// after the other in each direction, as a serial line's bits do.
class PtyCable {
 public:
  PtyCable(platform_test::ComPorts& ports, int com_a, int com_b, double seconds_per_byte = 0)
      : a_(ports.Add(com_a)),
        b_(ports.Add(com_b)),
        byte_time_(std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(seconds_per_byte))) {
    if (::pipe(stop_) != 0) throw std::runtime_error("pipe failed");
    for (int fd : {a_.master(), b_.master()})
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
  }
  ~PtyCable() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(stop_[1], &byte, 1);
    thread_.join();
    ::close(stop_[0]);
    ::close(stop_[1]);
  }
  PtyCable(const PtyCable&) = delete;
  PtyCable& operator=(const PtyCable&) = delete;

  // The device each end's program opens (the slave of its pseudo-terminal).
  const std::string& DeviceA() const { return a_.slave_path(); }
  const std::string& DeviceB() const { return b_.slave_path(); }
  // What the program on each end has sent so far.
  Traffic FromA() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return from_a_.traffic;
  }
  Traffic FromB() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return from_b_.traffic;
  }

 private:
  struct Direction {
    int from = -1;
    int to = -1;
    Traffic traffic;
    // Bytes on the line: each with the time its last bit arrives at the far end.
    std::deque<std::pair<char, Clock::time_point>> on_line;
    Clock::time_point line_free{};
  };

  void Run() {
    from_a_.from = a_.master();
    from_a_.to = b_.master();
    from_b_.from = b_.master();
    from_b_.to = a_.master();
    for (;;) {
      // Wake for input, for the stop, or when the next byte on the line arrives.
      std::optional<Clock::time_point> next;
      for (Direction* d : {&from_a_, &from_b_}) {
        if (!d->on_line.empty() && (!next || d->on_line.front().second < *next))
          next = d->on_line.front().second;
      }
      timespec timeout{1, 0};
      if (next) {
        const auto wait = std::max(Clock::duration::zero(), *next - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        timeout = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
      }
      pollfd fds[3] = {{stop_[0], POLLIN, 0}, {a_.master(), POLLIN, 0}, {b_.master(), POLLIN, 0}};
      ::ppoll(fds, 3, &timeout, nullptr);
      if (fds[0].revents & POLLIN) return;
      Take(from_a_);
      Take(from_b_);
      Deliver(from_a_);
      Deliver(from_b_);
    }
  }

  // Reads what the program sent and puts it on the line.
  void Take(Direction& d) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(d.from, buffer, sizeof buffer);
      if (n <= 0) return;
      const Clock::time_point now = Clock::now();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        d.traffic.bytes.append(buffer, static_cast<size_t>(n));
        d.traffic.times.insert(d.traffic.times.end(), static_cast<size_t>(n), now);
      }
      for (ssize_t i = 0; i < n; ++i) {
        d.line_free = std::max(d.line_free, now) + byte_time_;
        d.on_line.emplace_back(buffer[i], d.line_free);
      }
    }
  }

  // Hands the far end every byte that has arrived there.
  void Deliver(Direction& d) {
    std::string bytes;
    const Clock::time_point now = Clock::now();
    while (!d.on_line.empty() && d.on_line.front().second <= now) {
      bytes += d.on_line.front().first;
      d.on_line.pop_front();
    }
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(d.to, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else {
        pollfd p{d.to, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0) return;  // the far end reads nothing: drop
      }
    }
  }

  platform_test::Pty& a_;
  platform_test::Pty& b_;
  const Clock::duration byte_time_;
  int stop_[2] = {-1, -1};
  mutable std::mutex mutex_;
  Direction from_a_, from_b_;
  std::thread thread_;
};

// ---- The programs ----

// A program started with an environment of its own, its output in files.
class Program {
 public:
  Program(const std::string& path, const std::vector<std::string>& args,
          const std::vector<std::string>& env, const std::string& output_base)
      : out_path_(output_base + ".out"), err_path_(output_base + ".err") {
    std::vector<std::string> argv_text{path};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text = env;
    std::vector<char*> envp;
    for (std::string& entry : env_text)
      envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int started =
        ::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) throw std::runtime_error("cannot start " + path);
  }
  ~Program() { Stop(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }
  bool Running() {
    Reap(false);
    return !status_;
  }
  // The exit code (128 + the signal for a program killed), once it has ended within
  // Limit.
  std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    WaitFor([this] { return !Running(); }, limit);
    return status_;
  }
  // Ends the program (SIGTERM) unless it has ended.
  void Stop() {
    if (!Running()) return;
    ::kill(pid_, SIGTERM);
    Reap(true);
  }
  std::string Out() const { return ReadFile(out_path_); }
  std::string Err() const { return ReadFile(err_path_); }

  // Whether the program holds Device open (the serial port it was told to use).
  bool HoldsOpen(const std::string& device) const {
    std::error_code error;
    const std::string fds = "/proc/" + std::to_string(pid_) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
      std::error_code ignored;
      if (std::filesystem::read_symlink(entry.path(), ignored) == device) return true;
    }
    return false;
  }

 private:
  void Reap(bool wait) {
    if (status_ || pid_ <= 0) return;
    int status = 0;
    if (::waitpid(pid_, &status, wait ? 0 : WNOHANG) != pid_) return;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string out_path_, err_path_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// A TCP port no one listens on now, for the collector's analyzer server.
inline int FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

// Whether something listens on the TCP Port (IPv4 or IPv6), from the kernel's tables.
inline bool Listening(int port) {
  char local[16];
  std::snprintf(local, sizeof local, ":%04X", port);
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::istringstream lines(ReadFile(table));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream fields(line);
      std::string slot, local_address, remote_address, state;
      fields >> slot >> local_address >> remote_address >> state;
      if (state == "0A" && local_address.size() > 5 &&
          local_address.compare(local_address.size() - 5, 5, local) == 0) {
        return true;
      }
    }
  }
  return false;
}

// ---- The demonstration data root ----

// The registered demonstration patient: the id "1" of both of Gasmimic's messages
// names it (ZQTDATA.INI, [Registered] 1=12345678.$90\PATIENT.).
inline constexpr char kPatientFolder[] = "12345678.$90";
inline constexpr char kPatientShownId[] = "123456-7890";
inline constexpr char kPatientLastName[] = "Demo";
inline constexpr char kPatientFirstName[] = "Patient";

// A data root, a settings store and a com-port folder of their own, and the two
// programs started on them, under the machine-wide lock of the fixed ports.
class DemoSystem {
 public:
  // AblPort: the collector's analyzer server port (ABLSocketPort).
  DemoSystem(const std::string& gasbridge, const std::string& gasmimic, const std::string& standin,
             int abl_port = 14000)
      : gasbridge_(gasbridge), gasmimic_(gasmimic) {
    const std::string& base = folder_.path();
    std::filesystem::create_directories(base + "/root/DATA/" + kPatientFolder);
    std::filesystem::create_directories(base + "/home");
    std::filesystem::create_directories(base + "/runtime");
    std::filesystem::permissions(base + "/runtime", std::filesystem::perms::owner_all);
    std::ofstream(base + "/root/ZQTDATA.INI") << "[Registered]\r\n1=12345678.$90\\PATIENT.\r\n";
    const std::vector<uint8_t> patient =
        BuildPatientFile(kPatientShownId, kPatientFirstName, kPatientLastName);
    std::ofstream(PatientFolder() + "Patient", std::ios::binary)
        .write(reinterpret_cast<const char*>(patient.data()),
               static_cast<std::streamsize>(patient.size()));
    std::ofstream(base + "/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\"
           "{6EB172E1-23B9-11D1-AF5F-444553540000}\\InprocServer32]\n"
           "@=\""
        << standin
        << "\"\n\n"
           "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
           "\"ZQTData\"=\""
        << base
        << "/root/ZQTDATA.INI\"\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External "
           "Collect\\1.0\\ABL]\n"
           "\"AutoCreate\"=dword:00000000\n"
           "\"ABLSocketPort\"=dword:"
        << Hex8(abl_port) << "\n";
    // The toolkit's font cache lives as long as a program: not a leak of ours.
    std::ofstream(base + "/lsan.supp") << "leak:libfontconfig.so\n";
  }

  platform_test::ComPorts& Ports() { return ports_; }
  std::string PatientFolder() const {
    return folder_.path() + "/root/DATA/" + kPatientFolder + "/";
  }
  std::string SaveFile() const { return PatientFolder() + "ABL.vor"; }
  std::string TransferLog() const { return folder_.path() + "/root/DATA/ABL 625 Logfile.txt"; }
  std::string AutomationLog() const { return ReadFile(folder_.path() + "/automation.log"); }
  // How many messages the collector has told the automation object it finished.
  int MessagesDone() const {
    const std::string log = AutomationLog();
    int count = 0;
    for (size_t at = log.find("TransferDone()"); at != std::string::npos;
         at = log.find("TransferDone()", at + 1)) {
      ++count;
    }
    return count;
  }

  // Gasbridge with Source (e.g. "COM1"), ended after a minute and a half whatever
  // happens.
  Program& StartGasbridge(const std::string& source) {
    gasbridge_program_ =
        std::make_unique<Program>(gasbridge_, std::vector<std::string>{source, "--quit-after=90"},
                                  Environment(), folder_.path() + "/gasbridge");
    return *gasbridge_program_;
  }
  // Gasmimic with Args, ended by the test.
  Program& StartGasmimic(const std::vector<std::string>& args) {
    gasmimic_program_ =
        std::make_unique<Program>(gasmimic_, args, Environment(), folder_.path() + "/gasmimic");
    return *gasmimic_program_;
  }

 private:
  static std::string Hex8(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
  }

  std::vector<std::string> Environment() const {
    const std::string& base = folder_.path();
    const std::vector<std::string> ours = {
        "QT_QPA_PLATFORM=offscreen",
        "QOR_REGISTRY=" + base + "/registry.reg",
        "QOR_COMPORTS=" + ports_.path(),
        "QOR_AUTOMATION_LOG=" + base + "/automation.log",
        "QOR_DRIVES=" + base + "/drives",
        "HOME=" + base + "/home",
        "XDG_CONFIG_HOME=" + base + "/home/.config",
        "XDG_DATA_HOME=" + base + "/home/.local/share",
        "XDG_CACHE_HOME=" + base + "/home/.cache",
        "XDG_RUNTIME_DIR=" + base + "/runtime",
        "LSAN_OPTIONS=suppressions=" + base + "/lsan.supp",
    };
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
      const std::string text = *entry;
      const std::string name = text.substr(0, text.find('='));
      bool replaced = false;
      for (const std::string& own : ours)
        replaced = replaced || own.compare(0, name.size() + 1, name + "=") == 0;
      if (!replaced && name != "DISPLAY" && name != "WAYLAND_DISPLAY") env.push_back(text);
    }
    env.insert(env.end(), ours.begin(), ours.end());
    return env;
  }

  // Taken before Gasbridge starts and let go after it has ended: it listens on the
  // relay port 14001 for its whole run.
  collector_test::TFixedPortsLock lock_;
  platform_test::TempFolder folder_{"gasbridge_gasmimic"};
  platform_test::ComPorts ports_;
  std::string gasbridge_, gasmimic_;
  std::unique_ptr<Program> gasbridge_program_;
  std::unique_ptr<Program> gasmimic_program_;
};

}  // namespace system_test
