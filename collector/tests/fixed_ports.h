// The fixed ports 14000 and 14001 of the tests that run real gasbridge programs:
// the machine-wide lock that keeps the runs of several build trees apart, and who
// listens on a port, read from the kernel's tables. Reading the tables takes no
// port, where a probe that binds one could take it from a collector that binds it
// at that moment.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace collector_test {

// Holds the machine-wide lock of the fixed ports 14000 and 14001 for as long as it
// lives, so that runs of other build trees on the same machine wait rather than
// collide (ctest's RESOURCE_LOCK covers one run only). Every test that starts a
// gasbridge program takes it: the program listens on 14001 for its whole run.
class TFixedPortsLock {
 public:
  TFixedPortsLock() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "qor-gasbridge-ports-14000-14001.lock").string();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~TFixedPortsLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFixedPortsLock(const TFixedPortsLock&) = delete;
  TFixedPortsLock& operator=(const TFixedPortsLock&) = delete;

 private:
  int fd_ = -1;
};

// The inodes of the sockets that listen on the TCP Port (IPv4 or IPv6).
inline std::set<std::string> ListeningSockets(int port) {
  char local[16];
  std::snprintf(local, sizeof local, ":%04X", port);
  std::set<std::string> inodes;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
      // sl local remote st tx:rx tr:when retransmits uid timeout inode
      std::istringstream fields(line);
      std::string slot, local_address, remote, state, queues, timer, retransmits, uid, timeout,
          inode;
      fields >> slot >> local_address >> remote >> state >> queues >> timer >> retransmits >> uid >>
          timeout >> inode;
      if (state == "0A" && local_address.size() > 5 &&
          local_address.compare(local_address.size() - 5, 5, local) == 0) {
        inodes.insert(inode);
      }
    }
  }
  return inodes;
}

// Whether something listens on the TCP Port.
inline bool Listening(int port) {
  return !ListeningSockets(port).empty();
}

// Whether the process Pid itself listens on the TCP Port.
inline bool ListensOn(pid_t pid, int port) {
  const std::set<std::string> inodes = ListeningSockets(port);
  if (inodes.empty() || pid <= 0) return false;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code ignored;
    const std::string target = std::filesystem::read_symlink(entry.path(), ignored).string();
    // "socket:[12345]"
    if (target.size() > 9 && target.compare(0, 8, "socket:[") == 0 &&
        inodes.count(target.substr(8, target.size() - 9)) > 0) {
      return true;
    }
  }
  return false;
}

}  // namespace collector_test
