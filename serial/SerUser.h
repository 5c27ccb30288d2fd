// TSerBaseDispatcher: the device-independent core of one open serial port.
//
// It owns the line settings, the modem and line-error state, the 8192-byte dispatch
// buffer into which received bytes are moved, the output ring from which the output
// thread writes, the trigger lists that decide when the application hears of
// something, the handlers that hear it, and the tracing and logging histories. The
// device is reached through the abstract operations that TSerWin32Dispatcher
// (SerWin32.h) implements on the platform's comm layer.
//
// Threads (SerUserThreads.cpp): per open port a comm thread waits for device events,
// a dispatch thread moves input into the dispatch buffer and checks the triggers (a
// round at least every 50 ms), an output thread writes the output ring. Trigger
// messages reach the registered handlers; the port component registers its event
// window, which hands them to the user-interface thread and waits at most
// kHandlerTimeoutMs. A thread that ends on an exception leaves the port answering as
// a hung-up one (LineLost), and the exception goes to the failure handler.
//
// Parts: the output ring (SerOutRing.h) with its mutex, the output lock; the
// dispatch buffer with the handlers' get counts and the avail rule's positions
// (SerDispBuffer.h) with its mutex, the dispatch lock; the trigger lists and their
// matching (SerTriggers.h) and the trace and log rings (SerTraceRings.h), guarded by
// the main lock, which also guards the line settings, modem state and handlers.
//
// Lock order: dispatch lock, then main lock, then output lock; none is recursive.
// Reading input takes the main lock inside the dispatch lock for logging and
// tracing; a status refresh takes the output lock inside either. PutBlock releases
// the output lock before it takes the main lock; SetLine releases the main lock
// while it drains. The order is declared on the fields (ACQUIRED_AFTER) and the
// guarded fields carry GUARDED_BY, so that clang's thread-safety analysis checks
// both (scripts/test.sh builds the library so).
//
// Shutting down: the threads are told to end and woken, then joined (never by a
// thread that a handler is waiting on), then the buffers are released, and the device
// is closed last. A close from inside a handler only sets close-requested: the
// dispatch thread ends after the delivery and tells the owner (deferred close).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm.h"
#include "serial/SerDispBuffer.h"
#include "serial/SerLock.h"
#include "serial/SerMisc.h"
#include "serial/SerOutRing.h"
#include "serial/SerTraceRings.h"
#include "serial/SerTriggers.h"

class TSerCustomComPort;

// The device status: line-error flags, bytes waiting in the device, bytes queued
// for output (the output ring's count).
struct TDeviceStatus {
  uint32_t errors = 0;
  uint32_t in_queue = 0;
  uint32_t out_queue = 0;
};

// How a trigger message fared with a window handler.
enum class TDeliveryOutcome {
  kDone,          // the handler ran to its end
  kWithdrawn,     // it never started (time-out, cancel, receiver gone)
  kStillRunning,  // it started and had not returned within the time-out
};

// How long a trigger message waits for its window handler on the user-interface
// thread: one that has not started by then is withdrawn (and announced again), one
// that runs longer is left running (see SendTriggerMessage).
constexpr int kHandlerTimeoutMs = 3000;

// The drain before new line settings: at most this many rounds of this many ms
// while output waits; then the settings are written all the same.
constexpr int kDrainRounds = 5000;
constexpr int kDrainRoundMs = 2;

// Receives trigger messages on the user-interface thread (the port component's event
// window).
class TSerTriggerWindow {
 public:
  virtual ~TSerTriggerWindow() = default;
  // Hands the message over and waits for its handler, at most kHandlerTimeoutMs. Generation
  // names the dispatcher and Delivery this delivery, so that the receiver can tell a
  // message for a dispatcher or a delivery that is gone. A handler that runs longer
  // is not waited for (kStillRunning): it brackets its work with BeginHandler and
  // EndHandler of the dispatcher, and EndHandler finishes the delivery.
  virtual TDeliveryOutcome SendTriggerMessage(uint16_t msg, uint32_t first, uint32_t second,
                                              uint64_t generation, uint64_t delivery) = 0;
  // Withdraws a message that waits unstarted for the user-interface thread.
  virtual void CancelPendingDeliveries() = 0;
};

// A handler called on the dispatch thread.
using TProcTriggerHandler = std::function<void(uint16_t msg, uint32_t first, uint32_t second)>;
// A handler with user data; with run-on-main-thread it runs on the user-interface
// thread (through SyncCall) while the dispatch thread waits.
using TEventTriggerHandler =
    std::function<void(void* user, uint16_t msg, uint32_t first, uint32_t second)>;

class TSerBaseDispatcher {
 public:
  explicit TSerBaseDispatcher(TSerCustomComPort* owner);
  virtual ~TSerBaseDispatcher();
  TSerBaseDispatcher(const TSerBaseDispatcher&) = delete;
  TSerBaseDispatcher& operator=(const TSerBaseDispatcher&) = delete;

  // --- Device operations (TSerWin32Dispatcher) ----------------------------------
  // Line function: 3/4 raise/lower RTS, 5/6 raise/lower DTR, 10 RS-485 set-up; < 0 on
  // failure.
  virtual int LineEscape(int func) = 0;
  // 0: discard the output ring and device output; 1: discard device input. 0 or
  // minus the system error.
  virtual int PurgeQueues(int which) = 0;
  // Reads and clears the device's error flags (returned); fills Status but for its
  // output count, which the caller takes from the output ring. Called with the
  // output lock held, which keeps the device's error counts to one reader.
  virtual uint32_t ReadErrorState(TDeviceStatus& status) = 0;
  virtual int ReadEventMask(int32_t mask) = 0;
  virtual int ReadDcb(platform::CommState& settings) = 0;
  // Reads up to Count waiting bytes without waiting; bytes read.
  virtual int ReadDevice(uint8_t* buffer, int count) = 0;
  virtual int WriteDcb(const platform::CommState& settings) = 0;
  // Copies Count bytes into the output ring (the caller, holding the output lock,
  // checked the room) and wakes the output thread; bytes taken.
  virtual int QueueOutput(const uint8_t* buffer, int count) REQUIRES(out_.mutex()) = 0;
  // Waits for the next device event into Mask: 1 when one came (or the wait was
  // ended), 0 when the wait failed.
  virtual int WaitDeviceEvent(uint32_t& mask) = 0;
  virtual bool SetQueueSizes(int in_size, int out_size) = 0;
  // Stops the threads when they run, frees the output ring and the dispatch buffer.
  virtual void ReleaseBuffers();
  virtual void StartThreads() = 0;
  virtual void StopThreads() = 0;
  // The device handle (>= 0), -1 with the system error in last_error(), or -8.
  virtual int OpenDevice(const std::string& name, int in_size, int out_size) = 0;
  virtual int CloseDevice() = 0;
  virtual int YieldSlice() = 0;
  // Whether the device hung up while open (it is gone, or its other side closed).
  virtual bool HungUp() { return false; }
  virtual void BoostThreads(uint8_t boost);
  virtual void UpdateHandlerFlags(int kind);

  // --- Opening and closing ---------------------------------------------------------
  // Opens the device and starts the threads; 0 or a negative code.
  int InitPort(const std::string& device_name, int32_t baud, int parity, int data_bits,
               int stop_bits, int in_size, int out_size, uint32_t line_options);
  // Closes the port. Called from inside a delivery (Inside_delivery, and a delivery
  // is under way) it only requests the close (see above) and says so: true when the
  // close was deferred. From anywhere else the threads are joined at once.
  bool DonePort(bool inside_delivery = true);
  // Whether a delivery is under way (a close now must be deferred).
  bool Dispatching() const { return dispatching_; }
  bool CloseRequested() const { return close_requested_; }
  int32_t LiveThreads() const { return live_threads_; }
  // Whether a worker thread ended on an exception. Its work then stays undone (no
  // device events, no input moved in, or no output written), so the port answers as
  // a hung-up one until it is closed: see LineLost.
  bool ThreadFailed() const { return thread_failed_; }
  // Whether the port can carry no more bytes: its device hung up, or a worker
  // thread failed.
  bool LineLost() { return thread_failed_ || HungUp(); }
  // Told of the exception that ended a worker thread, on that thread, after
  // ThreadFailed turned true (the port component reports it on the user-interface
  // thread); without a handler it is written to stderr.
  void SetThreadFailureHandler(std::function<void(std::exception_ptr)> handler);
  // Called by the dispatch thread as its last act after a requested close.
  void SetDispatchExitHandler(std::function<void()> handler);
  // Ends the threads after a requested close (their owner, on its own thread, once
  // the dispatch thread has said it ended), then releases the buffers and closes
  // the device.
  void FinishClose();

  // --- Line settings, control lines, modem and line status --------------------------
  // Values meaning "keep": baud 0, parity 5, data bits 9, stop bits 3.
  int SetLine(int32_t baud, int parity, int data_bits, int stop_bits);
  void GetLine(int32_t& baud, int& parity, int& data_bits, int& stop_bits);
  int SetDTR(bool on);
  int SetRTS(bool on);
  uint8_t ReadModemStatus(uint8_t keep_mask);
  void RefreshModemDeltas();
  bool DSRState();
  int TakeLineError();
  bool TakeBreak();
  uint32_t PendingLineErrors() const { return pending_line_errors_; }

  // --- Input -----------------------------------------------------------------------
  int PeekChar(uint8_t& c, int n);
  // A read by a trigger handler: during an avail delivery it counts from the tail
  // with the handler's get count.
  int TakeChar(uint8_t& c);
  // A read from outside any handler: it takes the byte at the tail even while a
  // delivery waits for its handler, which then counts from the new tail.
  int TakeCharOutsideHandler(uint8_t& c);
  int InBuffUsed();
  void FlushInBuffer();
  // Moves waiting device input into the dispatch buffer (dispatch thread).
  void ReadFromDevice();

  // --- Output ----------------------------------------------------------------------
  int PutBlock(const uint8_t* buffer, int length);
  int OutBuffUsed();
  int OutBuffFree();
  void FlushOutBuffer();
  int OutputSize() const { return out_size_; }

  // --- Flow control ----------------------------------------------------------------
  int SetHWFlowOptions(int buffer_full, int buffer_resume, uint32_t options);
  int SetSWFlowOptions(int buffer_full, int buffer_resume, uint32_t options);
  int SWFlowDisable();
  int SetFlowChars(char xon, char xoff);
  void GetFlowOptions(uint32_t& hw_options, uint32_t& sw_options, char& xon, char& xoff);

  // --- Triggers --------------------------------------------------------------------
  void SetTriggerLength(int32_t length);
  int32_t TriggerLength();
  void ClearAllTriggers();
  void SaveTriggers(TSavedTriggers& saved);
  void RestoreTriggers(const TSavedTriggers& saved);
  static void FreeSavedTriggers(TSavedTriggers& saved);
  // The avail rule and the data triggers over the newly received bytes; true to be
  // called again, false when nothing was delivered or a handler left bytes unread.
  bool CheckDataTriggers();
  bool CheckStatusTriggers();
  bool CheckTimerTriggers();
  void ResetStatusTriggers();
  // Makes the next round announce the unread bytes again, and wakes the dispatch
  // thread: for bytes that came while no handler could hear of them.
  void AnnouncePending();

  void SetOptionFlags(uint32_t bits);
  void ClearOptionFlags(uint32_t bits);
  uint32_t OptionFlags();
  void SetRS485Mode(bool on);

  // --- Handlers and delivery (SerUserThreads.cpp) -----------------------------------
  void RegisterWindowHandler(TSerTriggerWindow* window);
  void DeregisterWindowHandler(TSerTriggerWindow* window);
  void RegisterProcHandler(TProcTriggerHandler handler);
  void RegisterEventHandler(TEventTriggerHandler handler, void* user, bool run_on_main_thread);
  // Delivers one trigger message to every handler; true to go on checking triggers
  // of the same kind.
  bool DispatchEvent(uint16_t msg, uint32_t first, uint32_t extra);
  // A window handler of Delivery starts on the calling thread: false when the
  // delivery has ended or given the handler up (the message is then late and must
  // not run). EndHandler, called when it returns, finishes a delivery that stopped
  // waiting for it.
  bool BeginHandler(uint64_t delivery);
  void EndHandler(uint64_t delivery);
  // Each round of the dispatch thread.
  void ProcessComEvent();
  void ProcessStatusAndTimers();
  // Writes the output ring to the device until it is empty or the write is stopped.
  void WriteOutRingToDevice();

  // --- Tracing and logging (SerUserTrace.cpp) ---------------------------------------
  int StartTrace(uint32_t size);
  void AddTraceEntry(char kind, uint8_t byte);
  int ClearTrace();
  void PauseTrace();
  void ResumeTrace();
  void StopTrace();
  int DumpTrace(const std::string& file_name, bool append, bool in_hex, bool all_hex);
  bool Tracing();
  int StartLog(uint32_t size);
  void AddLogEntry(uint8_t kind, uint8_t sub_kind, uint32_t value, const uint8_t* data,
                   uint32_t length);
  int ClearLog();
  void PauseLog();
  void ResumeLog();
  void StopLog();
  int DumpLog(const std::string& file_name, bool append, bool in_hex, bool all_hex);
  bool Logging();

  // --- Identity ----------------------------------------------------------------------
  TSerCustomComPort* Owner() const { return owner_; }
  int32_t PortHandle() const { return port_handle_; }
  uint64_t Generation() const { return generation_; }
  void SetDeviceName(const std::string& name) { device_name_ = name; }
  const std::string& DeviceName() const { return device_name_; }
  // The system error behind the last failed OpenDevice (Windows number).
  int last_error() const { return last_error_; }
  // What the user must know of that failure beyond the number (a lock file that
  // blocks the port); usually empty.
  const std::string& last_error_detail() const { return last_error_detail_; }

  // Test hooks: the buffer indexes, and whether an avail or data delivery is on.
  int BufferHead();
  int BufferTail();
  bool BufferFull();

 protected:
  // The device write of the output thread: writes Count bytes, waiting while the
  // device cannot take more, until done or the stop-output event; *error as
  // platform::CommDevice::Write.
  virtual int WriteBlock(const uint8_t* buffer, int count, int* error) = 0;
  // Writes what the device takes now of Count bytes, without waiting: the bytes
  // written, with *error kErrorOperationAborted when it took fewer; -1 when the
  // device cannot (then everything goes through the output thread).
  virtual int WriteWithoutWaiting(const uint8_t* buffer, int count, int* error);
  // The comm thread's device set-up: the event mask (0 ends a wait in progress).
  virtual void SetDeviceEventMask(uint32_t mask) = 0;
  // The modem lines in bits 4-7 (CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80).
  virtual uint32_t ReadModemLines() = 0;
  // Sleeps (line-setting waits); a fake device records instead.
  virtual void Delay(int ms);
  // Runs Fn on the user-interface thread and waits (event handlers with
  // run-on-main-thread).
  virtual void SyncCall(const std::function<void()>& fn);

  // The thread routines and their bookkeeping.
  void ComThreadMain();
  void DispThreadMain();
  void OutThreadMain();
  void ThreadStarted();
  void ThreadDone(int which);
  // The end of a thread on an exception: ThreadFailed, then the handler is told.
  void ThreadEndedBy(std::exception_ptr error);
  // Ends a delivery that an exception broke off, the bytes its handlers read taken,
  // so that nothing waits for it and nothing is read twice; one left to a handler
  // still running is that handler's to end.
  void AbandonDelivery() EXCLUDES(in_.mutex(), main_lock_);
  // Starts the three threads (StartThreads of the device layer).
  void StartWorkerThreads();
  // Tells the threads to end, wakes them and joins them, keeping deliveries that
  // wait for this (the user-interface) thread from holding the join up.
  void StopWorkerThreads();

  // The output ring's share of the device layer: copy a block in at the head (the
  // caller checked the room), and a purge.
  int QueueIntoRing(const uint8_t* buffer, int count) REQUIRES(out_.mutex());
  void EmptyRing() EXCLUDES(out_.mutex());

  // The device status, and its line errors added to the pending ones.
  TDeviceStatus RefreshComStatus() EXCLUDES(out_.mutex());
  int ApplyDeviceState(platform::CommState& settings) REQUIRES(main_lock_);
  int SetDTRLocked(bool on) REQUIRES(main_lock_);
  int SetRTSLocked(bool on) REQUIRES(main_lock_);
  uint8_t ReadModemStatusLocked(uint8_t keep_mask) REQUIRES(main_lock_);
  void UpdateHandlerFlagsLocked(int kind) REQUIRES(main_lock_);
  void AddLogEntryLocked(uint8_t kind, uint8_t sub_kind, uint32_t value, const uint8_t* data,
                         uint32_t length) REQUIRES(main_lock_);
  // The settings as the device has them, else the last written.
  platform::CommState CurrentSettings() REQUIRES(main_lock_);
  void DrainAndWait();
  void ReleaseDispatchBuffers();
  // Whether a status trigger fired since the last reset.
  bool StatusHit() EXCLUDES(main_lock_);
  // The end of a delivery: the tail moves past the most any handler took,
  // deregistered handlers go; the result of DispatchEvent.
  bool FinishDelivery(bool stopped) REQUIRES(in_.mutex(), main_lock_);

  // DispatchEvent's steps, on the dispatch thread: one delivery of a message to the
  // event handlers, the procedure handlers and the window handlers in turn.
  struct TDelivery {
    uint16_t msg = 0;
    uint32_t first = 0, second = 0;
    uint64_t id = 0;
    bool stopped = false;   // a close stopped it
    bool detached = false;  // a window handler runs on past the time-out
  };
  // Makes Delivery the current one: false while a handler that outran the time-out
  // still holds the last.
  bool BeginDelivery(TDelivery& delivery) EXCLUDES(in_.mutex(), main_lock_);
  // Runs one handler with a fresh get count; false when a close stops the delivery
  // or a window handler is left running past the time-out.
  bool RunHandler(TDelivery& delivery, const std::function<TDeliveryOutcome()>& call)
      EXCLUDES(in_.mutex());
  void DeliverToEventHandlers(TDelivery& delivery) EXCLUDES(main_lock_);
  void DeliverToProcHandlers(TDelivery& delivery) EXCLUDES(main_lock_);
  // Only when the port component's handler is installed or a window handler besides it.
  void DeliverToWindowHandlers(TDelivery& delivery) EXCLUDES(main_lock_);

  // The parts and their locks, in the order they are taken.
  TSerDispatchBuffer in_;
  mutable TSerMutex main_lock_ ACQUIRED_AFTER(in_.mutex()) ACQUIRED_BEFORE(out_.mutex());
  TSerTriggerLists triggers_ GUARDED_BY(main_lock_);
  TSerTraceRing trace_ GUARDED_BY(main_lock_);
  TSerLogRing log_ GUARDED_BY(main_lock_);
  TSerOutputRing out_;

  TSerCustomComPort* owner_;
  int32_t port_handle_ = -1;
  uint64_t generation_;
  int last_error_ = 0;
  std::string last_error_detail_;
  std::atomic<uint32_t> pending_line_errors_{0};
  // Set at open, before the threads start.
  int in_size_ = 0;
  int out_size_ = 0;
  uint32_t modem_status_ GUARDED_BY(main_lock_) = 0;
  platform::CommState line_settings_ GUARDED_BY(main_lock_);  // the last written
  uint32_t last_baud_ GUARDED_BY(main_lock_) = 115200;
  uint32_t option_flags_ GUARDED_BY(main_lock_) = 0;
  bool dtr_state_ GUARDED_BY(main_lock_) = false;
  bool dtr_auto_ GUARDED_BY(main_lock_) = false;
  bool rts_state_ GUARDED_BY(main_lock_) = false;
  bool rts_auto_ GUARDED_BY(main_lock_) = false;
  bool rs485_mode_ GUARDED_BY(main_lock_) = false;
  uint16_t base_address_ GUARDED_BY(main_lock_) = 0;
  bool port_handler_installed_ GUARDED_BY(main_lock_) = false;
  std::atomic<bool> handler_service_needed_{false};

  struct WindowHandler {
    TSerTriggerWindow* window;
    bool deleted;
  };
  struct ProcHandler {
    TProcTriggerHandler routine;
    bool deleted;
  };
  struct EventHandler {
    TEventTriggerHandler routine;
    void* user;
    bool deleted;
    bool run_on_main_thread;
  };
  std::vector<WindowHandler> window_handlers_ GUARDED_BY(main_lock_);
  std::vector<ProcHandler> proc_handlers_ GUARDED_BY(main_lock_);
  std::vector<EventHandler> event_handlers_ GUARDED_BY(main_lock_);
  bool handlers_removed_ GUARDED_BY(main_lock_) = false;
  std::function<void()> dispatch_exit_handler_ GUARDED_BY(main_lock_);
  std::function<void(std::exception_ptr)> thread_failure_handler_ GUARDED_BY(main_lock_);
  bool status_hit_ GUARDED_BY(main_lock_) = false;
  uint8_t priority_boost_ GUARDED_BY(main_lock_) = 0;
  uint32_t time_of_opening_ GUARDED_BY(main_lock_) = 0;

  // The delivery under way (dispatch lock): its number (0: none), and the window
  // handler being sent: whether BeginHandler may still accept it, whether it began,
  // whether it runs now; and, once the dispatch thread stopped waiting for it, what
  // EndHandler needs to finish the delivery.
  uint64_t current_delivery_ GUARDED_BY(in_.mutex()) = 0;
  uint64_t delivery_counter_ GUARDED_BY(in_.mutex()) = 0;
  bool handler_accepting_ GUARDED_BY(in_.mutex()) = false;
  bool handler_began_ GUARDED_BY(in_.mutex()) = false;
  bool handler_running_ GUARDED_BY(in_.mutex()) = false;
  bool delivery_detached_ GUARDED_BY(in_.mutex()) = false;
  uint16_t delivery_msg_ GUARDED_BY(in_.mutex()) = 0;
  uint32_t delivery_first_ GUARDED_BY(in_.mutex()) = 0;
  bool delivery_withdrawn_ GUARDED_BY(in_.mutex()) = false;

  std::atomic<bool> kill_threads_{false};

  // The events that connect the threads (created at open).
  std::unique_ptr<platform::CommEvent> event_arrived_;
  std::unique_ptr<platform::CommEvent> event_handled_;
  std::unique_ptr<platform::CommEvent> acknowledge_;
  std::unique_ptr<platform::CommEvent> output_ready_;
  std::unique_ptr<platform::CommEvent> stop_output_;
  std::atomic<uint32_t> event_mask_{0};
  std::atomic<bool> ring_seen_{false};

  std::atomic<bool> dispatching_{false};
  std::atomic<bool> close_requested_{false};
  std::atomic<bool> output_sent_{false};
  std::atomic<bool> thread_failed_{false};

  std::thread comm_thread_, disp_thread_, out_thread_;
  std::atomic<bool> threads_started_{false};
  std::atomic<int32_t> live_threads_{0};
  std::string device_name_;
  std::atomic<bool> buffers_allocated_{false};
};

// The global list of open dispatchers, indexed by port handle, with its own lock.
void LockPortList();
void UnlockPortList();
class TPortListGuard {
 public:
  TPortListGuard() { LockPortList(); }
  ~TPortListGuard() { UnlockPortList(); }
  TPortListGuard(const TPortListGuard&) = delete;
  TPortListGuard& operator=(const TPortListGuard&) = delete;
};
// The dispatcher at Handle when its generation is Generation (0: any), or none. Call
// with the list locked.
TSerBaseDispatcher* FindPortListEntry(int32_t handle, uint64_t generation);
int32_t PortListCount();

// The performance helpers of the line-setting wait, for tests: the wait after the
// output drained, in milliseconds, for the settings and the last baud.
int LineSettingWaitMs(const platform::CommState& settings, uint32_t last_baud);
// 0xFEFF and the rate indexes 0xFF10 to 0xFF27 translate to rates; others stay.
uint32_t ActualBaud(uint32_t value);
