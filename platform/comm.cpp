#include "platform/comm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace platform {

namespace {

// How often a wait looks at what poll cannot watch: modem lines, line-error
// counters, and input that is waiting unread.
constexpr int kPollIntervalMs = 20;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// poll that goes on after a signal, with what is left of the time-out.
int PollRetry(pollfd* fds, nfds_t n, int timeout_ms) {
  const int64_t deadline = timeout_ms < 0 ? 0 : NowMs() + timeout_ms;
  for (;;) {
    int r = ::poll(fds, n, timeout_ms);
    if (r >= 0 || errno != EINTR) return r;
    if (timeout_ms >= 0) timeout_ms = static_cast<int>(std::max<int64_t>(0, deadline - NowMs()));
  }
}

struct BaudEntry {
  uint32_t rate;
  speed_t code;
};
constexpr BaudEntry kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(uint32_t rate, speed_t* code) {
  for (const BaudEntry& e : kBauds) {
    if (e.rate == rate) {
      *code = e.code;
      return true;
    }
  }
  return false;
}

uint32_t SpeedRate(speed_t code) {
  for (const BaudEntry& e : kBauds) {
    if (e.code == code) return e.rate;
  }
  return 0;
}

int ParsePortNumber(const std::string& name) {
  std::string_view s = name;
  if (s.substr(0, 4) == "\\\\.\\") s.remove_prefix(4);
  if (s.size() < 4) return -1;
  if (std::toupper(static_cast<unsigned char>(s[0])) != 'C' ||
      std::toupper(static_cast<unsigned char>(s[1])) != 'O' ||
      std::toupper(static_cast<unsigned char>(s[2])) != 'M') {
    return -1;
  }
  s.remove_prefix(3);
  int n = 0;
  for (char c : s) {
    if (c < '0' || c > '9' || n > 100000) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

int WindowsErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return 0;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTTY:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EROFS:
      return kErrorAccessDenied;
    case EBADF:
      return kErrorInvalidHandle;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EINVAL:
      return kErrorInvalidParameter;
    case EIO:
      return kErrorIoDevice;
    case ENOSPC:
      return 112;  // ERROR_DISK_FULL
    case EMFILE:
    case ENFILE:
      return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case ECANCELED:
      return kErrorOperationAborted;
    default:
      return kErrorGenFailure;
  }
}

std::string SystemErrorMessage(int windows_error) {
  switch (windows_error) {
    case kErrorFileNotFound:
      return "The system cannot find the file specified.\r\n";
    case kErrorPathNotFound:
      return "The system cannot find the path specified.\r\n";
    case 4:
      return "The system cannot open the file.\r\n";
    case kErrorAccessDenied:
      return "Access is denied.\r\n";
    case kErrorInvalidHandle:
      return "The handle is invalid.\r\n";
    case kErrorNotEnoughMemory:
      return "Not enough memory resources are available to process this command.\r\n";
    case kErrorNotReady:
      return "The device is not ready.\r\n";
    case kErrorBadCommand:
      return "The device does not recognize the command.\r\n";
    case kErrorGenFailure:
      return "A device attached to the system is not functioning.\r\n";
    case kErrorInvalidParameter:
      return "The parameter is incorrect.\r\n";
    case 112:
      return "There is not enough space on the disk.\r\n";
    case kErrorOperationAborted:
      return "The I/O operation has been aborted because of either a thread exit or an "
             "application request.\r\n";
    case kErrorIoDevice:
      return "The request could not be performed because of an I/O device error.\r\n";
    case kErrorDeviceNotConnected:
      return "The device is not connected.\r\n";
    default:
      return "";
  }
}

std::string ComPortFolder() {
  if (const char* folder = std::getenv("QOR_COMPORTS"); folder && *folder) return folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    return std::string(config) + "/qor/comports";
  }
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config/qor/comports";
}

std::string ResolveComPort(const std::string& name) {
  const int n = ParsePortNumber(name);
  if (n < 0) return name;
  const std::string link = ComPortFolder() + "/COM" + std::to_string(n);
  struct stat st;
  if (::lstat(link.c_str(), &st) == 0) return link;
  if (n == 0) return "/dev/ttyS-none";  // COM0 never names a device
  return "/dev/ttyS" + std::to_string(n - 1);
}

// ---------------------------------------------------------------------------------
// CommEvent

CommEvent::CommEvent(bool manual_reset)
    : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), manual_reset_(manual_reset) {}

CommEvent::~CommEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void CommEvent::Set() {
  const uint64_t one = 1;
  // A full counter (never reached) or a closed descriptor leaves nothing to do.
  [[maybe_unused]] ssize_t r = ::write(fd_, &one, sizeof one);
}

void CommEvent::Reset() {
  uint64_t value;
  [[maybe_unused]] ssize_t r = ::read(fd_, &value, sizeof value);
}

bool CommEvent::Consume() {
  if (manual_reset_) return true;
  uint64_t value;
  return ::read(fd_, &value, sizeof value) == sizeof value;
}

bool CommEvent::Wait(int timeout_ms) {
  return WaitAny({this}, timeout_ms) == 0;
}

int CommEvent::WaitAny(std::initializer_list<CommEvent*> events, int timeout_ms) {
  std::vector<pollfd> fds;
  fds.reserve(events.size());
  for (CommEvent* e : events)
    fds.push_back({e->fd_, POLLIN, 0});
  const int64_t deadline = timeout_ms < 0 ? 0 : NowMs() + timeout_ms;
  for (;;) {
    int left = timeout_ms < 0 ? -1 : static_cast<int>(std::max<int64_t>(0, deadline - NowMs()));
    int r = PollRetry(fds.data(), fds.size(), left);
    if (r < 0) return -1;
    if (r == 0) return -1;
    int i = 0;
    for (CommEvent* e : events) {
      if ((fds[i].revents & POLLIN) && e->Consume()) return i;
      ++i;
    }
    // Another waiter took the signal: wait for the rest of the time.
    if (timeout_ms >= 0 && NowMs() >= deadline) return -1;
  }
}

// ---------------------------------------------------------------------------------
// CommDevice

namespace {

// Takes the device's lock and opens it: the descriptor of a terminal, or -1 and
// *error set. Opening changes nothing on the line: no controlling terminal, no wait
// for a carrier.
int OpenLocked(const std::string& path, std::unique_ptr<CommLock>* lock, int* error,
               std::string* detail) {
  *error = 0;
  if (detail) detail->clear();
  // The lock is named after the device itself, whatever link led to it; a path that
  // leads nowhere fails in the open below.
  if (char* device = ::realpath(path.c_str(), nullptr)) {
    *lock = CommLock::Acquire(device, error, detail);
    std::free(device);
    if (!*lock) return -1;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A serial port without its hardware does not exist for the system.
    *error = errno == EIO ? kErrorFileNotFound : WindowsErrorFromErrno(errno);
    return -1;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    *error = kErrorFileNotFound;
    return -1;
  }
  return fd;
}

}  // namespace

int CommDevice::Probe(const std::string& path) {
  std::unique_ptr<CommLock> lock;
  int error = 0;
  const int fd = OpenLocked(path, &lock, &error, nullptr);
  if (fd >= 0) ::close(fd);
  return error;
}

std::unique_ptr<CommDevice> CommDevice::Open(const std::string& path, int* error,
                                             std::string* detail) {
  std::unique_ptr<CommLock> lock;
  const int fd = OpenLocked(path, &lock, error, detail);
  if (fd < 0) return nullptr;
  auto fail = [&](int err) -> std::unique_ptr<CommDevice> {
    *error = err;
    ::close(fd);
    return nullptr;
  };
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return fail(errno == EWOULDBLOCK ? kErrorAccessDenied : WindowsErrorFromErrno(errno));
  }
  termios tio;
  if (::tcgetattr(fd, &tio) != 0) return fail(WindowsErrorFromErrno(errno));
  const speed_t speed = ::cfgetospeed(&tio);
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return fail(WindowsErrorFromErrno(errno));

  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  int read_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0 || read_wake < 0) {
    if (wake >= 0) ::close(wake);
    if (read_wake >= 0) ::close(read_wake);
    return fail(kErrorNotEnoughMemory);
  }
  std::unique_ptr<CommDevice> device(new CommDevice(fd, wake, read_wake, std::move(lock)));
  int lines;
  device->has_modem_lines_ = ::ioctl(fd, TIOCMGET, &lines) == 0;
  serial_icounter_struct counts;
  device->has_counts_ = ::ioctl(fd, TIOCGICOUNT, &counts) == 0;
  uint32_t ignored;
  bool ignored_break;
  device->ReadCounts(&ignored, &ignored_break);
  device->reported_counts_ = device->cleared_counts_;
  device->last_modem_ = device->ModemStatus();
  device->shadow_.baud_rate = SpeedRate(speed);
  if (device->shadow_.baud_rate == 0) device->shadow_.baud_rate = 9600;
  return device;
}

CommDevice::CommDevice(int fd, int wake_fd, int read_wake_fd, std::unique_ptr<CommLock> lock)
    : fd_(fd), lock_(std::move(lock)), wake_fd_(wake_fd), read_wake_fd_(read_wake_fd) {}

CommDevice::~CommDevice() {
  Close();
  ::close(wake_fd_);
  ::close(read_wake_fd_);
}

void CommDevice::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t r = ::write(wake_fd_, &one, sizeof one);
}

int CommDevice::Close() {
  const int fd = fd_.exchange(-1);
  if (fd < 0) return kErrorInvalidHandle;
  Wake();
  ::close(fd);
  lock_.reset();
  return 0;
}

int CommDevice::GetState(CommState* state) const {
  // The settings as last written: a pseudo-terminal, for one, keeps no data size,
  // parity or stop bits of its own.
  if (fd_ < 0) return kErrorInvalidHandle;
  *state = shadow_;
  return 0;
}

int CommDevice::SetState(const CommState& state) {
  termios tio;
  if (::tcgetattr(fd_, &tio) != 0) return WindowsErrorFromErrno(errno);
  speed_t speed;
  if (!SpeedCode(state.baud_rate, &speed)) return kErrorInvalidParameter;
  tcflag_t size;
  switch (state.byte_size) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return kErrorInvalidParameter;
  }
  if (state.parity > CommState::kSpaceParity || state.stop_bits > CommState::kTwoStopBits) {
    return kErrorInvalidParameter;
  }
  // As the Windows driver: one and a half stop bits go with 5 data bits only, and
  // two stop bits never do.
  if ((state.stop_bits == CommState::kOne5StopBits) != (state.byte_size == 5) &&
      state.stop_bits != CommState::kOneStopBit) {
    return kErrorInvalidParameter;
  }
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= size | CLOCAL | CREAD;
  switch (state.parity) {
    case CommState::kOddParity:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case CommState::kEvenParity:
      tio.c_cflag |= PARENB;
      break;
    case CommState::kMarkParity:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case CommState::kSpaceParity:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // With five data bits the line sends one and a half stop bits for "two".
  if (state.stop_bits != CommState::kOneStopBit) tio.c_cflag |= CSTOPB;
  if (state.outx_cts_flow || state.rts_control == CommState::kRtsHandshake) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (state.out_x) tio.c_iflag |= IXON;
  if (state.in_x) tio.c_iflag |= IXOFF;
  if (state.parity_check) tio.c_iflag |= INPCK;
  tio.c_cc[VSTART] = static_cast<cc_t>(state.xon_char);
  tio.c_cc[VSTOP] = static_cast<cc_t>(state.xoff_char);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    // The C library reports EINVAL when the driver adapted a setting (a
    // pseudo-terminal keeps 8 data bits and no parity): that is no failure as long
    // as the speed took.
    const int err = errno;
    termios now;
    if (err != EINVAL || ::tcgetattr(fd_, &now) != 0 || ::cfgetospeed(&now) != speed) {
      return WindowsErrorFromErrno(err);
    }
  }
  shadow_ = state;
  if (state.dtr_control == CommState::kDtrEnable) Escape(kSetDtr);
  if (state.dtr_control == CommState::kDtrDisable) Escape(kClrDtr);
  if (state.rts_control == CommState::kRtsEnable) Escape(kSetRts);
  if (state.rts_control == CommState::kRtsDisable) Escape(kClrRts);
  return 0;
}

bool CommDevice::ReadCounts(uint32_t* errors, bool* break_seen) {
  *errors = 0;
  *break_seen = false;
  if (!has_counts_) return true;
  serial_icounter_struct c;
  if (::ioctl(fd_, TIOCGICOUNT, &c) != 0) return false;
  std::lock_guard<std::mutex> lock(counts_lock_);
  if (c.overrun != cleared_counts_.overrun) *errors |= kCeOverrun;
  if (c.buf_overrun != cleared_counts_.buf_overrun) *errors |= kCeRxOver;
  if (c.parity != cleared_counts_.parity) *errors |= kCeRxParity;
  if (c.frame != cleared_counts_.frame) *errors |= kCeFrame;
  if (c.brk != cleared_counts_.brk) *errors |= kCeBreak;
  *break_seen = (*errors & kCeBreak) != 0;
  cleared_counts_ = {c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
  return true;
}

bool CommDevice::ClearError(uint32_t* errors, CommStatus* status) {
  *errors = 0;
  *status = CommStatus{};
  int in = 0;
  if (::ioctl(fd_, FIONREAD, &in) != 0) return false;
  int out = 0;
  if (::ioctl(fd_, TIOCOUTQ, &out) != 0) out = 0;
  bool break_seen;
  if (!ReadCounts(errors, &break_seen)) return false;
  status->in_queue = static_cast<uint32_t>(std::max(in, 0));
  status->out_queue = static_cast<uint32_t>(std::max(out, 0));
  return true;
}

bool CommDevice::HungUp() const {
  if (hung_up_) return true;
  const int fd = fd_;
  if (fd < 0) return false;
  // A hang-up is final: a pseudo-terminal's other side cannot come back, and a
  // terminal that hung up fails every call on this descriptor.
  pollfd p{fd, 0, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR))) hung_up_ = true;
  return hung_up_;
}

uint32_t CommDevice::ModemStatus() const {
  // A pseudo-terminal would otherwise report its null-modem lines on for good.
  if (HungUp()) return 0;
  int lines = 0;
  if (!has_modem_lines_ || ::ioctl(fd_, TIOCMGET, &lines) != 0) {
    // No modem lines (a pseudo-terminal): as if wired by a null-modem cable.
    return has_modem_lines_ ? 0 : kMsCtsOn | kMsDsrOn | kMsRlsdOn;
  }
  uint32_t status = 0;
  if (lines & TIOCM_CTS) status |= kMsCtsOn;
  if (lines & TIOCM_DSR) status |= kMsDsrOn;
  if (lines & TIOCM_RNG) status |= kMsRingOn;
  if (lines & TIOCM_CAR) status |= kMsRlsdOn;
  return status;
}

bool CommDevice::Escape(int function) {
  int bits;
  unsigned long request;
  switch (function) {
    case kSetRts:
      bits = TIOCM_RTS, request = TIOCMBIS;
      break;
    case kClrRts:
      bits = TIOCM_RTS, request = TIOCMBIC;
      break;
    case kSetDtr:
      bits = TIOCM_DTR, request = TIOCMBIS;
      break;
    case kClrDtr:
      bits = TIOCM_DTR, request = TIOCMBIC;
      break;
    default:
      return false;
  }
  if (!has_modem_lines_) return true;  // nothing to switch on a pseudo-terminal
  return ::ioctl(fd_, request, &bits) == 0;
}

int CommDevice::Purge(uint32_t flags) {
  const bool out = flags & (kPurgeTxAbort | kPurgeTxClear);
  const bool in = flags & (kPurgeRxAbort | kPurgeRxClear);
  if (!out && !in) return 0;
  const int queue = out && in ? TCIOFLUSH : out ? TCOFLUSH : TCIFLUSH;
  if (::tcflush(fd_, queue) != 0) return WindowsErrorFromErrno(errno);
  return 0;
}

int CommDevice::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  ssize_t n;
  do {
    n = ::read(fd_, buffer, static_cast<size_t>(count));
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return 0;
  total_read_ += static_cast<uint64_t>(n);
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t r = ::write(read_wake_fd_, &one, sizeof one);
  return static_cast<int>(n);
}

int CommDevice::Write(const void* buffer, int count, CommEvent* stop, int* error) {
  *error = 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      *error = HungUp() ? kErrorDeviceNotConnected : WindowsErrorFromErrno(errno);
      return done;
    }
    pollfd fds[2] = {{fd_, POLLOUT, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
    if (PollRetry(fds, 2, -1) < 0) {
      *error = WindowsErrorFromErrno(errno);
      return done;
    }
    if ((fds[1].revents & POLLIN) && stop->Consume()) {
      *error = kErrorOperationAborted;
      return done;
    }
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      if (fds[0].revents & (POLLERR | POLLHUP)) hung_up_ = true;
      *error = kErrorDeviceNotConnected;
      return done;
    }
  }
  return done;
}

void CommDevice::SetEventMask(uint32_t mask) {
  event_mask_ = mask;
  Wake();
}

int CommDevice::WaitEvent(uint32_t* events) {
  *events = 0;
  // A wake-up meant for an earlier wait is no news for this one.
  uint64_t stale;
  [[maybe_unused]] ssize_t drained = ::read(wake_fd_, &stale, sizeof stale);
  for (;;) {
    const int fd = fd_;
    if (fd < 0) return kErrorInvalidHandle;
    const uint32_t mask = event_mask_;
    if (mask == 0) return 0;  // nothing to wait for: the mask was just cleared
    int waiting = 0;
    if (mask & kEvRxChar) {
      // The position in the input stream up to which bytes have arrived: the bytes
      // read so far and those waiting, taken again when a read came in between
      // (it would count its bytes twice). Beyond what was announced means new; less
      // means a purge dropped bytes.
      uint64_t read_before, read_after;
      do {
        read_before = total_read_;
        if (::ioctl(fd, FIONREAD, &waiting) != 0) return kErrorDeviceNotConnected;
        read_after = total_read_;
      } while (read_before != read_after);
      const uint64_t end = read_after + static_cast<uint64_t>(std::max(waiting, 0));
      if (end < announced_end_) announced_end_ = end;
      if (end > announced_end_) {
        announced_end_ = end;
        *events |= kEvRxChar;
      }
    }
    const bool watch_modem = has_modem_lines_ && (mask & (kEvCts | kEvDsr | kEvRlsd | kEvRing));
    if (watch_modem) {
      const uint32_t modem = ModemStatus();
      const uint32_t changed = modem ^ last_modem_;
      last_modem_ = modem;
      if ((changed & kMsCtsOn) && (mask & kEvCts)) *events |= kEvCts;
      if ((changed & kMsDsrOn) && (mask & kEvDsr)) *events |= kEvDsr;
      if ((changed & kMsRlsdOn) && (mask & kEvRlsd)) *events |= kEvRlsd;
      if ((changed & kMsRingOn) && !(modem & kMsRingOn) && (mask & kEvRing)) *events |= kEvRing;
    }
    const bool watch_errors = has_counts_ && (mask & (kEvErr | kEvBreak));
    if (watch_errors) {
      serial_icounter_struct c;
      if (::ioctl(fd, TIOCGICOUNT, &c) == 0) {
        Counts& r = reported_counts_;
        if (c.brk != r.brk && (mask & kEvBreak)) *events |= kEvBreak;
        if ((c.frame != r.frame || c.overrun != r.overrun || c.parity != r.parity ||
             c.buf_overrun != r.buf_overrun) &&
            (mask & kEvErr)) {
          *events |= kEvErr;
        }
        r = {c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
      }
    }
    if (*events) return 0;

    // Poll for input only while none is waiting unread, so that unread input does
    // not wake this wait again and again; look again after a while instead.
    const bool rx = mask & kEvRxChar;
    // A read wakes the wait too, so that it goes back to polling for input at once.
    pollfd fds[3] = {{fd, static_cast<short>(rx && waiting == 0 ? POLLIN : 0), 0},
                     {wake_fd_, POLLIN, 0},
                     {read_wake_fd_, POLLIN, 0}};
    const bool periodic = watch_modem || watch_errors || (rx && waiting > 0);
    if (PollRetry(fds, 3, periodic ? kPollIntervalMs : -1) < 0) return WindowsErrorFromErrno(errno);
    if (fds[2].revents & POLLIN) {
      uint64_t value;
      [[maybe_unused]] ssize_t r = ::read(read_wake_fd_, &value, sizeof value);
    }
    if (fds[1].revents & POLLIN) {
      uint64_t value;
      [[maybe_unused]] ssize_t r = ::read(wake_fd_, &value, sizeof value);
      return 0;  // the mask changed or the device closed: no event, as on Windows
    }
    if (fds[0].revents & (POLLHUP | POLLERR)) hung_up_ = true;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return kErrorDeviceNotConnected;
  }
}

}  // namespace platform
