// The serial devices of the platform: what the serial line library takes from the
// Windows communications API, on termios.
//
// COMn names a device through a per-user com-port folder: a link "COMn" there (the
// folder from QOR_COMPORTS, else $XDG_CONFIG_HOME/qor/comports, default
// ~/.config/qor/comports) is used when it exists, else /dev/ttyS<n-1>. Tests point
// COMn at a pseudo-terminal this way.
//
// Failures are reported as Windows error numbers (kErrorFileNotFound, ...), so that
// the library above maps them as it would on Windows. A pseudo-terminal has no modem
// lines: it reports CTS, DSR and DCD on, like a null-modem cable, and no line errors.
// A device that hung up (a USB adapter pulled out, the other side of a
// pseudo-terminal closed) reports every modem line off and fails every write.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

#include "platform/comm_lock.h"

namespace platform {

// Windows error numbers that this layer reports.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNotEnoughMemory = 8;
constexpr int kErrorNotReady = 21;
constexpr int kErrorBadCommand = 22;
constexpr int kErrorGenFailure = 31;
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorOperationAborted = 995;
constexpr int kErrorIoDevice = 1117;
constexpr int kErrorDeviceNotConnected = 1167;

// The Windows error number for an errno value (kErrorGenFailure for the unknown).
int WindowsErrorFromErrno(int err);
// The system's message for a Windows error number that this layer reports, ending in
// CR LF as the system's messages do; empty for any other number.
std::string SystemErrorMessage(int windows_error);

// The folder of COMn links (see above).
std::string ComPortFolder();
// The device path for a port name: "\\.\COMn" or "COMn" (any case) resolves as said
// above; any other name is taken as a path.
std::string ResolveComPort(const std::string& name);

// An event object that a wait on a device can include: Set wakes a waiter. With
// automatic reset one completed wait takes the signal; with manual reset it stays
// set until Reset.
class CommEvent {
 public:
  explicit CommEvent(bool manual_reset = false);
  ~CommEvent();
  CommEvent(const CommEvent&) = delete;
  CommEvent& operator=(const CommEvent&) = delete;

  bool valid() const { return fd_ >= 0; }
  void Set();
  void Reset();
  // Waits until set or until timeout_ms pass (-1: no limit); true when it was set.
  bool Wait(int timeout_ms);
  // Waits for the first of Events; its index, or -1 after timeout_ms.
  static int WaitAny(std::initializer_list<CommEvent*> events, int timeout_ms);

  int fd() const { return fd_; }
  // Takes the signal of an automatic-reset event that a poll found set; false when
  // another waiter was first.
  bool Consume();

 private:
  int fd_;
  bool manual_reset_;
};

// The line settings of a device (the Windows device control block).
struct CommState {
  enum DtrControl : uint8_t { kDtrDisable = 0, kDtrEnable = 1, kDtrHandshake = 2 };
  enum RtsControl : uint8_t { kRtsDisable = 0, kRtsEnable = 1, kRtsHandshake = 2, kRtsToggle = 3 };
  enum Parity : uint8_t {
    kNoParity = 0,
    kOddParity = 1,
    kEvenParity = 2,
    kMarkParity = 3,
    kSpaceParity = 4
  };
  enum StopBits : uint8_t { kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2 };

  uint32_t baud_rate = 9600;
  bool binary = true;
  bool parity_check = false;
  bool outx_cts_flow = false;  // output waits for CTS
  bool outx_dsr_flow = false;  // output waits for DSR (kept, not enforced: termios has none)
  uint8_t dtr_control = kDtrEnable;
  bool dsr_sensitivity = false;
  bool tx_continue_on_xoff = false;
  bool out_x = false;  // output obeys XON/XOFF
  bool in_x = false;   // input sends XON/XOFF
  bool error_char_on = false;
  bool null_strip = false;
  uint8_t rts_control = kRtsEnable;
  bool abort_on_error = false;
  uint16_t xon_lim = 2048;  // kept; the kernel chooses its own limits
  uint16_t xoff_lim = 512;
  uint8_t byte_size = 8;
  uint8_t parity = kNoParity;
  uint8_t stop_bits = kOneStopBit;
  char xon_char = 17;
  char xoff_char = 19;
  char error_char = 0;
  char eof_char = 0;
  char evt_char = 0;
};

// Device errors (ClearCommError's flags) and the counts beside them.
constexpr uint32_t kCeRxOver = 0x01;
constexpr uint32_t kCeOverrun = 0x02;
constexpr uint32_t kCeRxParity = 0x04;
constexpr uint32_t kCeFrame = 0x08;
constexpr uint32_t kCeBreak = 0x10;
struct CommStatus {
  uint32_t in_queue = 0;
  uint32_t out_queue = 0;
};

// Device events (WaitCommEvent's mask).
constexpr uint32_t kEvRxChar = 0x0001;
constexpr uint32_t kEvCts = 0x0008;
constexpr uint32_t kEvDsr = 0x0010;
constexpr uint32_t kEvRlsd = 0x0020;
constexpr uint32_t kEvBreak = 0x0040;
constexpr uint32_t kEvErr = 0x0080;
constexpr uint32_t kEvRing = 0x0100;

// Modem lines (GetCommModemStatus's bits).
constexpr uint32_t kMsCtsOn = 0x10;
constexpr uint32_t kMsDsrOn = 0x20;
constexpr uint32_t kMsRingOn = 0x40;
constexpr uint32_t kMsRlsdOn = 0x80;

// Line functions (EscapeCommFunction).
constexpr int kSetRts = 3;
constexpr int kClrRts = 4;
constexpr int kSetDtr = 5;
constexpr int kClrDtr = 6;

// Purge flags (PurgeComm).
constexpr uint32_t kPurgeTxAbort = 0x01;
constexpr uint32_t kPurgeRxAbort = 0x02;
constexpr uint32_t kPurgeTxClear = 0x04;
constexpr uint32_t kPurgeRxClear = 0x08;

// One open serial device. Reads and writes never block; WaitEvent and Write wait
// with poll, and can be ended from another thread.
class CommDevice {
 public:
  // Opens the device for reading and writing, alone among the programs that ask: the
  // device's lock file (platform/comm_lock.h) is taken first and honoured, and an
  // advisory lock on the device keeps out every other opener that asks for one. A
  // program that takes neither and opens the device is not kept out; the terminal's
  // exclusive mode is not used, since a holder that dies leaves it set on a
  // pseudo-terminal and then only root can open it. Puts the line into raw 8-bit
  // mode at its current speed. Nothing and *error set (kErrorFileNotFound for a
  // missing device or one that is no terminal, kErrorAccessDenied when it is in use
  // or forbidden, ...) on failure; *detail, when given, names a lock file that
  // blocks the device for good (see CommLock::Acquire).
  static std::unique_ptr<CommDevice> Open(const std::string& path, int* error,
                                          std::string* detail = nullptr);
  // Whether Open would find the device, without changing it: the lock file is
  // honoured and held as Open does, the device is opened as Open opens it (not as
  // the controlling terminal, without waiting for a carrier) and closed again, and
  // nothing else is done to it: its line settings and modem lines stay as its
  // holder set them. 0, or the Windows error of the failed open
  // (kErrorAccessDenied when another program holds the lock, or the device is
  // forbidden).
  static int Probe(const std::string& path);
  ~CommDevice();
  CommDevice(const CommDevice&) = delete;
  CommDevice& operator=(const CommDevice&) = delete;

  // Closes the device; ends a wait in progress. 0, or a Windows error when the
  // device was already closed.
  int Close();
  bool is_open() const { return fd_ >= 0; }

  // Line settings: 0 or a Windows error.
  int GetState(CommState* state) const;
  int SetState(const CommState& state);

  // Reads and clears the line errors (kCe... bits) and fills Status; false when the
  // device cannot be asked (it is gone).
  bool ClearError(uint32_t* errors, CommStatus* status);
  // The modem lines (kMs... bits); none after a hang-up.
  uint32_t ModemStatus() const;
  // Whether the device hung up; once it has, it stays so until closed.
  bool HungUp() const;
  // Performs a line function; false when the device refused it.
  bool Escape(int function);
  // Discards input and/or output (kPurge... flags); 0 or a Windows error.
  int Purge(uint32_t flags);

  // Reads up to Count bytes that are waiting; the bytes read (0 when none, or when
  // the device is gone).
  int Read(void* buffer, int count);
  // Writes Count bytes, waiting while the device cannot take more, until all are
  // written or Stop is set. Returns the bytes written; *error is 0 when all went,
  // kErrorOperationAborted when Stop ended the wait, kErrorDeviceNotConnected when
  // the device hung up, another Windows error when it failed.
  int Write(const void* buffer, int count, CommEvent* stop, int* error);

  // The events that WaitEvent reports (kEv... bits). Changing the mask ends a wait in
  // progress, which then reports no event (0), as on Windows.
  void SetEventMask(uint32_t mask);
  // Waits for the next event of the mask: received bytes are reported only when new
  // ones arrived since the last report (so unread input does not wake the waiter
  // again and again), modem-line changes and line errors as they happen. 0 and *events set; or a
  // Windows error when the device hung up or failed.
  int WaitEvent(uint32_t* events);

 private:
  CommDevice(int fd, int wake_fd, int read_wake_fd, std::unique_ptr<CommLock> lock);
  void Wake();
  bool ReadCounts(uint32_t* errors, bool* break_seen);

  std::atomic<int> fd_;
  mutable std::atomic<bool> hung_up_{false};
  std::unique_ptr<CommLock> lock_;  // released after the device is closed
  int wake_fd_;
  int read_wake_fd_;  // set by each read that took bytes
  std::atomic<uint32_t> event_mask_{0};
  std::atomic<uint64_t> total_read_{0};  // input bytes read so far
  uint64_t announced_end_ = 0;           // stream position up to which input was reported (waiter)
  bool has_modem_lines_ = false;
  bool has_counts_ = false;
  uint32_t last_modem_ = 0;  // by the waiting thread only
  // Line-error counters at the last ClearError, and at the last WaitEvent report.
  struct Counts {
    int frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
  };
  mutable std::mutex counts_lock_;  // ClearError runs on several threads
  Counts cleared_counts_;
  Counts reported_counts_;
  CommState shadow_;  // what termios cannot hold, as last written
};

}  // namespace platform
