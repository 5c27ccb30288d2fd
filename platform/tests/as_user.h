// Runs a piece of a test as another user, in a forked child: root passes every
// permission check, so what an unprivileged user meets is tried as one (user 65534,
// or another user in its group). The piece reports what it saw as a text, which the
// parent compares; "" is the usual "all as expected".
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace platform_test {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

// Job's text, run in a child as it is, or as the user Uid in the one group Gid (which
// needs root); or what kept the child from giving one.
inline std::string RunInChild(const std::function<std::string()>& job, bool switch_user = false,
                              uid_t uid = 0, gid_t gid = 0) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child < 0) return "no child";
  if (child == 0) {
    ::close(pipe_ends[0]);
    std::string text;
    if (switch_user && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      text = "no switch to user " + std::to_string(uid);
    } else {
      try {
        text = job();
      } catch (const std::exception& error) {
        text = std::string("raised: ") + error.what();
      }
    }
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(pipe_ends[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(pipe_ends[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child died: " + text;
  return text;
}

inline std::string RunAs(uid_t uid, gid_t gid, const std::function<std::string()>& job) {
  return RunInChild(job, true, uid, gid);
}

// While it lives, the process has no free file descriptor below a low limit (those
// open stay open), as a process that ran out of them has: for a child only. The
// sanitizers' runtime needs descriptors of its own to report, so a test ends it
// before it looks at what it got.
class TNoDescriptorsLeft {
 public:
  TNoDescriptorsLeft() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    const rlimit limit{64, saved_.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
      opened_.push_back(fd);
    exhausted_ = errno == EMFILE;
  }
  ~TNoDescriptorsLeft() {
    for (const int fd : opened_)
      ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved_);
  }
  TNoDescriptorsLeft(const TNoDescriptorsLeft&) = delete;
  TNoDescriptorsLeft& operator=(const TNoDescriptorsLeft&) = delete;

  bool Exhausted() const { return exhausted_; }

 private:
  rlimit saved_{};
  std::vector<int> opened_;
  bool exhausted_ = false;
};

}  // namespace platform_test
