// TSerComPort: the serial-port component of both programs.
//
// It keeps the port's settings as properties, opens and closes the port through a
// dispatcher (TSerWin32Dispatcher over the platform's comm layer), and turns the
// dispatcher's trigger messages into events on the user-interface thread: an event
// window (a QObject on the thread that created the component) receives each message
// as a queued call that the dispatch thread waits for, at most 3000 ms. Negative
// results of the dispatcher are raised as exceptions through CheckException.
//
// Use from the user-interface thread only (the thread that owns the QObject event
// window and runs Qt's event loop):
//
//   TSerComPort port(nullptr);
//   port.SetBaud(9600);
//   port.SetPromptForPort(false);
//   port.OnTriggerAvail = [&](TSerCustomComPort& cp, uint16_t count) {
//     for (int i = 0; i < count; ++i) Handle(cp.GetChar());
//   };
//   port.SetComNumber(1);
//   port.SetOpen(true);         // raises EBadId, EAlreadyOpen, ENoPortSelected, ...
//   port.PutString("\x06");     // queues all bytes or raises EOutputBufferTooSmall
//   bool dsr = port.GetDSR();
//   port.SetOpen(false);        // also from inside an event handler (then deferred)
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/object.h"
#include "serial/SerUser.h"

enum TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
// Members of THWFlowOptionSet, as bits.
enum THWFlowOption : uint8_t {
  hwfUseDTR = 1,
  hwfUseRTS = 2,
  hwfRequireDSR = 4,
  hwfRequireCTS = 8,
};
using THWFlowOptionSet = uint8_t;
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

class TSerCustomComPort;
class TSerEventWindow;

using TNotifyEvent = std::function<void(TSerCustomComPort& sender)>;
using TTriggerEvent = std::function<void(TSerCustomComPort& cp, uint16_t msg,
                                         uint16_t trigger_handle, uint16_t data)>;
using TTriggerAvailEvent = std::function<void(TSerCustomComPort& cp, uint16_t count)>;
using TTriggerHandleEvent = std::function<void(TSerCustomComPort& cp, uint16_t trigger_handle)>;
using TTriggerLineErrorEvent =
    std::function<void(TSerCustomComPort& cp, uint16_t error, bool line_break)>;
using TWaitCharEvent = std::function<void(TSerCustomComPort& cp, char c)>;
// Told when the port opens (true) or is closing (false).
using TPortUserCallback = std::function<void(TSerCustomComPort& cp, bool opened)>;
// Makes the dispatcher of an open port (tests put a scripted device here).
using TDispatcherFactory = std::function<std::unique_ptr<TSerBaseDispatcher>(TSerCustomComPort&)>;
// Shows the port-selection form: the chosen port, or nothing when not confirmed.
using TPortSelector = std::function<std::optional<int>()>;

// The longest trace and log file names kept (short strings): a longer one is cut.
constexpr size_t kMaxTraceLogName = 255;

// Tells Port's dispatcher whether a trigger event is assigned (UpdateHandlerState).
void UpdatePortHandlerState(TSerCustomComPort& port);

// What an event holding an Fn takes: a function (or nullptr), not another event.
template <typename F, typename Fn, typename Event>
concept TSerTriggerEventValue =
    !std::is_same_v<std::remove_cvref_t<F>, Event> && std::is_assignable_v<Fn&, F>;

// One of the port's ten trigger events: a function of type Fn, assigned and called
// like one. Every assignment tells the dispatcher of an open port whether a trigger
// event is assigned now, without which it delivers none.
template <typename Fn>
class TSerTriggerEvent {
 public:
  explicit TSerTriggerEvent(TSerCustomComPort& port) : port_(port) {}
  TSerTriggerEvent(const TSerTriggerEvent&) = delete;
  // The function only; the port stays this event's own.
  TSerTriggerEvent& operator=(const TSerTriggerEvent& other) { return *this = other.fn_; }
  template <TSerTriggerEventValue<Fn, TSerTriggerEvent> F>
  TSerTriggerEvent& operator=(F&& fn) {
    fn_ = std::forward<F>(fn);
    UpdatePortHandlerState(port_);
    return *this;
  }
  explicit operator bool() const { return static_cast<bool>(fn_); }
  template <typename... Args>
  void operator()(Args&&... args) const {
    fn_(std::forward<Args>(args)...);
  }

 private:
  TSerCustomComPort& port_;
  Fn fn_;
};

// The form library installs the port-selection form here (serial_form); without it,
// an open that would show the form fails with ENoPortSelected.
void SetPortSelector(TPortSelector selector);

class TSerBaseComponent : public TComponent {
 public:
  using TComponent::TComponent;
  std::string_view ClassName() const override { return "TSerBaseComponent"; }
  std::string Version() const { return "v4.00"; }
  void SetVersion(const std::string&) {}  // read-only
};

class TSerCustomComPort : public TSerBaseComponent {
 public:
  explicit TSerCustomComPort(TComponent* owner);
  ~TSerCustomComPort() override;
  std::string_view ClassName() const override { return "TSerCustomComPort"; }

  // --- What the programs call ----------------------------------------------------
  uint16_t ComNumber() const { return com_number_; }
  void SetComNumber(uint16_t number);
  bool Open() const { return open_; }
  void SetOpen(bool open);
  char GetChar();
  void PutString(const std::string& s);
  bool GetDSR();
  // Whether the open port's device hung up (a USB adapter pulled out, the other
  // side of a pseudo-terminal closed): its modem lines then read off, PutString
  // fails with -3004 and GetChar, once the received bytes are read, with -3005.
  // The port stays open until closed; a new device under the same name needs a
  // close and an open. That open, with the number unchanged, goes through the path
  // of the open that hung up: the COMn link, whatever it points at by then; while
  // the link is gone the port is missing (EBadId), and /dev/ttyS<n-1>, where a first
  // open of a COMn without a link goes, is not tried. A port whose worker thread
  // ended on an exception answers the same (its lines aside) until it is closed:
  // the exception goes to the application's exception hook on the user-interface
  // thread.
  bool HungUp();

  // --- Properties -------------------------------------------------------------------
  TDeviceLayer DeviceLayer() const { return device_layer_; }
  void SetDeviceLayer(TDeviceLayer layer);
  int32_t Baud() const { return baud_; }
  void SetBaud(int32_t baud);
  bool PromptForPort() const { return prompt_for_port_; }
  void SetPromptForPort(bool prompt) { prompt_for_port_ = prompt; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  uint16_t DataBits() const { return data_bits_; }
  void SetDataBits(uint16_t bits);
  uint16_t StopBits() const { return stop_bits_; }
  void SetStopBits(uint16_t bits);
  uint16_t InSize() const { return in_size_; }
  void SetInSize(uint16_t size);
  uint16_t OutSize() const { return out_size_; }
  void SetOutSize(uint16_t size);
  bool AutoOpen() const { return auto_open_; }
  void SetAutoOpen(bool on) { auto_open_ = on; }
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  THWFlowOptionSet HWFlowOptions() const { return hw_flow_options_; }
  void SetHWFlowOptions(THWFlowOptionSet options);
  TSWFlowOptions SWFlowOptions() const { return sw_flow_options_; }
  void SetSWFlowOptions(TSWFlowOptions options);
  char XOnChar() const { return xon_char_; }
  void SetXOnChar(char c);
  char XOffChar() const { return xoff_char_; }
  void SetXOffChar(char c);
  uint16_t BufferFull() const { return buffer_full_; }
  void SetBufferFull(uint16_t value);
  uint16_t BufferResume() const { return buffer_resume_; }
  void SetBufferResume(uint16_t value);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState state);
  uint32_t TraceSize() const { return trace_size_; }
  void SetTraceSize(uint32_t size);
  const std::string& TraceName() const { return trace_name_; }
  void SetTraceName(const std::string& name) { trace_name_ = name.substr(0, kMaxTraceLogName); }
  bool TraceHex() const { return trace_hex_; }
  void SetTraceHex(bool on) { trace_hex_ = on; }
  bool TraceAllHex() const { return trace_all_hex_; }
  void SetTraceAllHex(bool on) { trace_all_hex_ = on; }
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState state);
  uint32_t LogSize() const { return log_size_; }
  void SetLogSize(uint32_t size);
  const std::string& LogName() const { return log_name_; }
  void SetLogName(const std::string& name) { log_name_ = name.substr(0, kMaxTraceLogName); }
  bool LogHex() const { return log_hex_; }
  void SetLogHex(bool on) { log_hex_ = on; }
  bool LogAllHex() const { return log_all_hex_; }
  void SetLogAllHex(bool on) { log_all_hex_ = on; }
  bool UseMSRShadow() const { return use_msr_shadow_; }
  void SetUseMSRShadow(bool) {}  // has no effect: the value stays true
  bool UseEventWord() const { return use_event_word_; }
  void SetUseEventWord(bool on);
  uint16_t CommNotificationLevel() const { return comm_notification_level_; }
  void SetCommNotificationLevel(uint16_t level) { comm_notification_level_ = level; }
  TTapiMode TapiMode() const { return tapi_mode_; }
  void SetTapiMode(TTapiMode mode) { tapi_mode_ = mode; }
  bool RS485Mode() const { return rs485_mode_; }
  void SetRS485Mode(bool on);

  // --- Events (the trigger events take effect on an open port when assigned) -------
  TNotifyEvent OnPortClose, OnPortOpen;
  TSerTriggerEvent<TTriggerEvent> OnTrigger{*this};
  TSerTriggerEvent<TTriggerAvailEvent> OnTriggerAvail{*this};
  TSerTriggerEvent<TTriggerHandleEvent> OnTriggerData{*this}, OnTriggerStatus{*this},
      OnTriggerTimer{*this};
  TSerTriggerEvent<TTriggerLineErrorEvent> OnTriggerLineError{*this};
  TSerTriggerEvent<TNotifyEvent> OnTriggerModemStatus{*this}, OnTriggerOutbuffFree{*this},
      OnTriggerOutbuffUsed{*this}, OnTriggerOutSent{*this};
  TWaitCharEvent OnWaitChar;

  // --- Other public operations ------------------------------------------------------
  TSerBaseDispatcher* GetDispatcher();
  TSerBaseDispatcher* RequireDispatcher();
  int ReadLineError();
  bool ReadLineBreak();
  void SetTriggerLength(uint16_t length);
  uint16_t TriggerLength() const { return trigger_length_; }
  void SetThreadBoost(uint8_t boost);
  void YieldTime();
  // Tells the dispatcher whether a trigger event is assigned (done at open and by
  // every assignment of a trigger event).
  virtual void UpdateHandlerState();
  void TraceBegin(uint32_t size = 0);
  void TraceWriteFile(const std::string& name, bool in_hex);
  void TraceAppendFile(const std::string& name, bool in_hex);
  void TraceClearBuffer();
  void TraceEnd();
  void TraceResume();
  void TracePause();
  void LogBegin(uint32_t size = 0);
  void LogWriteFile(const std::string& name, bool in_hex);
  void LogAppendFile(const std::string& name, bool in_hex);
  void LogClearBuffer();
  void LogEnd();
  void LogResume();
  void LogPause();
  // Copies another port's settings, events and (when it is open) triggers; this
  // port ends up closed.
  void Assign(const TPersistent& source) override;
  // Registered users, told when the port opens and closes; the id deregisters.
  int RegisterUserCallback(TPortUserCallback callback);
  void DeregisterUserCallback(int id);
  void SetDispatcherFactory(TDispatcherFactory factory) { factory_ = std::move(factory); }

  // Form loading: property writes are only stored while loading; Loaded opens the
  // port when Open was set (an open failure goes to the exception hook).
  void BeginLoading() { loading_ = true; }
  virtual void Loaded();
  bool Loading() const { return loading_; }

  // Code unchanged when 0 or more, or while loading; otherwise raised.
  int CheckException(int code) const;

  enum class State { kClosed = 0, kShuttingDown = 1, kOpen = 2 };
  State PortState() const { return state_; }

  // The event window's procedure: one trigger message (or the deferred close) for
  // the port at the message's port handle.
  static void EventWindowProc(uint16_t msg, uint32_t first, uint32_t second, uint64_t generation,
                              uint64_t delivery);

 protected:
  virtual std::unique_ptr<TSerBaseDispatcher> MakeDispatcher();
  virtual void DeviceLayerChanged() {}
  virtual void OpenLine();
  virtual void SetEventWindow(bool on);
  virtual void CheckPortNumber();
  virtual void FireTrigger(uint16_t msg, uint16_t trigger_handle, uint16_t data);
  virtual void FireTriggerAvail(uint16_t count);
  virtual void FireTriggerData(uint16_t trigger_handle);
  virtual void FireTriggerStatus(uint16_t trigger_handle);
  virtual void FireTriggerTimer(uint16_t trigger_handle);
  virtual void FireTriggerLineError(uint16_t error, bool line_break);
  virtual void FireTriggerModemStatus();
  virtual void FireTriggerOutbuffFree();
  virtual void FireTriggerOutbuffUsed();
  virtual void FireTriggerOutSent();
  virtual void FireWaitChar(char c);
  virtual void DonePort();
  virtual void InitPort();
  void PortOpened();
  void PortClosing();

 private:
  // The close: the trace and log dumps, then ShutDown; the first dump's failure is
  // returned, not raised (the port is closed all the same).
  std::exception_ptr DumpAndShutDown();
  // The close after the dumps: deferred when a handler of this port is running.
  void ShutDown();
  void DeferredClose(TSerBaseDispatcher* dispatcher);
  bool AnyTriggerEvent() const;
  void ApplyTraceState(TTraceLogState state, bool log);

  bool force_ = false;
  State state_ = State::kClosed;
  bool open_pending_ = false;
  bool force_open_ = false;
  bool copy_triggers_ = false;
  bool loading_ = false;
  bool handler_installed_ = false;
  int handler_depth_ = 0;  // trigger handlers of this port running now
  std::unique_ptr<TSerBaseDispatcher> dispatcher_;
  std::unique_ptr<TSerEventWindow> event_window_;
  TSavedTriggers saved_triggers_;
  TDispatcherFactory factory_;
  std::vector<std::pair<int, TPortUserCallback>> users_;
  int next_user_id_ = 1;
  // The device path of the last open (what COMn resolved to then), and whether the
  // next open goes through it again: after a close of a port whose device had hung
  // up, until the number changes.
  std::string device_path_;
  bool reopen_device_path_ = false;
  uint8_t thread_boost_ = 0;
  uint16_t trigger_length_ = 1;

  TDeviceLayer device_layer_ = dlWin32;
  uint16_t com_number_ = 0;
  int32_t baud_ = 19200;
  bool prompt_for_port_ = true;
  TParity parity_ = pNone;
  uint16_t data_bits_ = 8;
  uint16_t stop_bits_ = 1;
  uint16_t in_size_ = 4096;
  uint16_t out_size_ = 4096;
  bool auto_open_ = true;
  bool open_ = false;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptionSet hw_flow_options_ = 0;
  TSWFlowOptions sw_flow_options_ = swfNone;
  char xon_char_ = 17;
  char xoff_char_ = 19;
  uint16_t buffer_full_ = 0;
  uint16_t buffer_resume_ = 0;
  TTraceLogState tracing_ = tlOff;
  uint32_t trace_size_ = 10000;
  std::string trace_name_ = "SERLIB.TRC";
  bool trace_hex_ = true;
  bool trace_all_hex_ = false;
  TTraceLogState logging_ = tlOff;
  uint32_t log_size_ = 10000;
  std::string log_name_ = "SERLIB.LOG";
  bool log_hex_ = true;
  bool log_all_hex_ = false;
  bool use_msr_shadow_ = true;
  bool use_event_word_ = true;
  uint16_t comm_notification_level_ = 10;
  TTapiMode tapi_mode_ = tmAuto;
  bool rs485_mode_ = false;
};

// The component the programs place on their windows.
class TSerComPort : public TSerCustomComPort {
 public:
  using TSerCustomComPort::TSerCustomComPort;
  std::string_view ClassName() const override { return "TSerComPort"; }
};
