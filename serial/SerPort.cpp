#include "serial/SerPort.h"

#include <QObject>
#include <algorithm>
#include <chrono>
#include <exception>

#include "platform/comm.h"
#include "platform/qt/event_loop.h"
#include "serial/SerExcept.h"
#include "serial/SerTraceRings.h"
#include "serial/SerWin32.h"

namespace {

TPortSelector& PortSelector() {
  static TPortSelector selector;
  return selector;
}

// An exception that ended a worker thread of a port, on that thread: the
// application hears of it as of any other failure, through its exception hook,
// which ReportException runs on the user-interface thread.
void ReportThreadFailure(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    platform::ReportException(e);
  } catch (...) {
    platform::ReportException(Exception("Unknown exception"));
  }
}

}  // namespace

void UpdatePortHandlerState(TSerCustomComPort& port) {
  port.UpdateHandlerState();
}

void SetPortSelector(TPortSelector selector) {
  PortSelector() = std::move(selector);
}

// The hidden event window: receives trigger messages as queued calls on the thread
// that created the port (the user-interface thread).
class TSerEventWindow : public QObject, public TSerTriggerWindow {
 public:
  TDeliveryOutcome SendTriggerMessage(uint16_t msg, uint32_t first, uint32_t second,
                                      uint64_t generation, uint64_t delivery) override {
    // The call carries its values, not references: a handler that outruns the
    // time-out runs on after this returns.
    const platform::SendResult result = platform::SendCall(
        this, [=] { TSerCustomComPort::EventWindowProc(msg, first, second, generation, delivery); },
        std::chrono::milliseconds(kHandlerTimeoutMs), platform::StartedCall::kReturn);
    switch (result) {
      case platform::SendResult::kDone:
        return TDeliveryOutcome::kDone;
      case platform::SendResult::kStillRunning:
        return TDeliveryOutcome::kStillRunning;
      default:
        return TDeliveryOutcome::kWithdrawn;
    }
  }
  void CancelPendingDeliveries() override { platform::CancelPendingCalls(this); }
};

// ---------------------------------------------------------------------------------

TSerCustomComPort::TSerCustomComPort(TComponent* owner) : TSerBaseComponent(owner) {}

TSerCustomComPort::~TSerCustomComPort() {
  try {
    DonePort();
  } catch (const std::exception& e) {
    platform::ReportException(e);
  }
  // A close still deferred (or one requested from inside a handler of a port that
  // is now being destroyed) is finished here: its threads are joined by this thread.
  if (dispatcher_) {
    dispatcher_->SetDispatchExitHandler(nullptr);
    dispatcher_->FinishClose();
    if (event_window_) dispatcher_->DeregisterWindowHandler(event_window_.get());
    dispatcher_.reset();
  }
  if (event_window_) {
    event_window_->CancelPendingDeliveries();
    event_window_.release()->deleteLater();
  }
}

int TSerCustomComPort::CheckException(int code) const {
  if (code >= 0 || loading_) return code;
  RaiseSerialError(code);
}

// ---------------------------------------------------------------------------------
// Opening and closing

std::unique_ptr<TSerBaseDispatcher> TSerCustomComPort::MakeDispatcher() {
  if (factory_) return factory_(*this);
  if (device_layer_ != dlWin32) {
    CheckException(ecNullApi);
    return nullptr;
  }
  return std::make_unique<TSerWin32Dispatcher>(this);
}

void TSerCustomComPort::CheckPortNumber() {
  if (com_number_ != 0) return;
  if (!prompt_for_port_ || !PortSelector()) {
    CheckException(ecNoPortSelected);
    return;
  }
  const std::optional<int> chosen = PortSelector()();
  if (!chosen || *chosen <= 0 || *chosen > 0xFFFF) {
    CheckException(ecNoPortSelected);
    return;
  }
  com_number_ = static_cast<uint16_t>(*chosen);
}

void TSerCustomComPort::OpenLine() {
  // The number is resolved here rather than in the device layer, so that the open
  // after a hang-up can go where the open that hung up went.
  const std::string path = reopen_device_path_
                               ? device_path_
                               : platform::ResolveComPort("COM" + std::to_string(com_number_));
  uint32_t flags = 0;
  if (dtr_) flags |= 1;
  if (rts_) flags |= 2;
  if (hw_flow_options_ & hwfUseDTR) flags |= 16;
  if (hw_flow_options_ & hwfUseRTS) flags |= 32;
  int result = dispatcher_->InitPort(path, baud_, parity_, data_bits_, stop_bits_, in_size_,
                                     out_size_, flags);
  // As Windows reports them: in use (access denied) and missing.
  if (result == -5) result = ecAlreadyOpen;
  if (result == -2 || result == -3) result = ecBadId;
  // A port blocked by a lock file that will not go away by itself says which.
  const std::string& detail = dispatcher_->last_error_detail();
  if (result == ecAlreadyOpen && !detail.empty() && !loading_) {
    throw EAlreadyOpen(result, ErrorMessageText(result) + ": " + detail);
  }
  if (result != 0) {
    CheckException(result);
    return;
  }
  device_path_ = path;
  reopen_device_path_ = false;
}

void TSerCustomComPort::InitPort() {
  if (tapi_mode_ != tmOn) CheckPortNumber();
  if (com_number_ == 0 && tapi_mode_ != tmOn) return;  // only while loading
  dispatcher_ = MakeDispatcher();
  if (!dispatcher_) return;
  dispatcher_->SetDeviceName("COM" + std::to_string(com_number_));
  dispatcher_->SetThreadFailureHandler(ReportThreadFailure);
  try {
    if (tapi_mode_ == tmOn) CheckException(ecNotOpenedByTapi);  // no telephony here
    OpenLine();
    state_ = State::kOpen;
    UpdateHandlerState();
    const bool old_force = force_;
    force_ = true;
    SetTracing(tracing_);
    SetLogging(logging_);
    SetHWFlowOptions(hw_flow_options_);
    SetSWFlowOptions(sw_flow_options_);
    SetXOnChar(xon_char_);
    SetXOffChar(xoff_char_);
    SetTriggerLength(trigger_length_);
    SetDTR(dtr_);
    SetRTS(rts_);
    SetUseEventWord(use_event_word_);
    SetRS485Mode(rs485_mode_);
    SetThreadBoost(thread_boost_);
    force_ = old_force;
    open_ = true;
    SetEventWindow(true);
    if (copy_triggers_) {
      copy_triggers_ = false;
      dispatcher_->RestoreTriggers(saved_triggers_);
    }
    // Bytes that came before the event window was there are announced now.
    dispatcher_->AnnouncePending();
    PortOpened();
  } catch (...) {
    open_ = false;
    state_ = State::kClosed;
    if (event_window_) {
      dispatcher_->DeregisterWindowHandler(event_window_.get());
    }
    dispatcher_.reset();
    event_window_.reset();
    throw;
  }
}

void TSerCustomComPort::DonePort() {
  if (const std::exception_ptr dump_error = DumpAndShutDown()) std::rethrow_exception(dump_error);
}

std::exception_ptr TSerCustomComPort::DumpAndShutDown() {
  open_ = false;
  if (state_ != State::kOpen) return nullptr;
  // A device that hung up is looked for where it was: behind the same link, and
  // when that link is gone, not at the fallback of a number without one (which
  // is another device, as often as not the serial console).
  reopen_device_path_ = dispatcher_->HungUp();
  // A dump that fails (a trace file in a folder that is gone) must not keep the
  // port open: the close goes on, and the first failure is raised once it is done.
  std::exception_ptr dump_error;
  for (const bool log : {false, true}) {
    try {
      log ? SetLogging(tlDump) : SetTracing(tlDump);
    } catch (...) {
      if (!dump_error) dump_error = std::current_exception();
    }
  }
  ShutDown();
  return dump_error;
}

void TSerCustomComPort::ShutDown() {
  state_ = State::kShuttingDown;
  PortClosing();
  dispatcher_->SaveTriggers(saved_triggers_);
  copy_triggers_ = true;
  // Should the close have to wait for a delivery in progress, the dispatch thread
  // posts the deferred close as its last act.
  TSerEventWindow* window = event_window_.get();
  const int32_t handle = dispatcher_->PortHandle();
  const uint64_t generation = dispatcher_->Generation();
  dispatcher_->SetDispatchExitHandler([window, handle, generation] {
    platform::PostCall(window, [handle, generation] {
      EventWindowProc(kMsgDeferredClose, 0, static_cast<uint32_t>(handle) << 16, generation, 0);
    });
  });
  if (dispatcher_->DonePort(handler_depth_ > 0)) {
    // A delivery that waits unstarted for this thread is withdrawn; the one running
    // (when this close comes from a handler) finishes first.
    if (window) window->CancelPendingDeliveries();
    return;
  }
  dispatcher_->SetDispatchExitHandler(nullptr);
  SetEventWindow(false);
  dispatcher_.reset();
  state_ = State::kClosed;
}

void TSerCustomComPort::DeferredClose(TSerBaseDispatcher* dispatcher) {
  if (dispatcher != dispatcher_.get()) return;
  dispatcher_->SetDispatchExitHandler(nullptr);
  dispatcher_->FinishClose();
  // This runs inside a call to the event window: it goes once the call is done.
  if (event_window_) {
    dispatcher_->DeregisterWindowHandler(event_window_.get());
    event_window_.release()->deleteLater();
  }
  dispatcher_.reset();
  state_ = State::kClosed;
  if (open_pending_) {
    open_pending_ = false;
    InitPort();
  }
}

void TSerCustomComPort::SetEventWindow(bool on) {
  if (on) {
    if (!event_window_) event_window_ = std::make_unique<TSerEventWindow>();
    dispatcher_->RegisterWindowHandler(event_window_.get());
  } else if (event_window_) {
    if (dispatcher_) dispatcher_->DeregisterWindowHandler(event_window_.get());
    event_window_->CancelPendingDeliveries();
    event_window_.reset();
  }
}

void TSerCustomComPort::SetOpen(bool open) {
  // The last value wins: a reopen asked for while a close is deferred is dropped
  // again by a later close.
  if (!open && state_ == State::kShuttingDown) open_pending_ = false;
  if (open == open_ && !(open && state_ == State::kShuttingDown)) return;
  if (loading_) {
    open_ = open;
    if (open) force_open_ = true;
    return;
  }
  if (!open) {
    DonePort();
    return;
  }
  if (state_ == State::kClosed) {
    InitPort();
  } else if (state_ == State::kShuttingDown) {
    open_pending_ = true;
  }
}

void TSerCustomComPort::Loaded() {
  loading_ = false;
  if (force_open_) open_ = true;
  if (!open_) return;
  force_open_ = false;
  open_ = false;
  try {
    InitPort();
  } catch (const std::exception& e) {
    open_ = false;
    platform::ReportException(e);
  }
}

void TSerCustomComPort::SetComNumber(uint16_t number) {
  if (number == com_number_) return;
  if (loading_ || state_ != State::kOpen) {
    com_number_ = number;
    reopen_device_path_ = false;
    return;
  }
  dispatcher_->SaveTriggers(saved_triggers_);
  const TTraceLogState tracing = tracing_;
  const TTraceLogState logging = logging_;
  // A dump that fails has not kept the port open (see DonePort): the renumber goes
  // on, and the dump's failure is raised once the port is open on the new number,
  // as the close raises it once it is closed. Stopping at the closed old number
  // would leave the caller a closed port that a second try only renumbers.
  const std::exception_ptr dump_error = DumpAndShutDown();
  com_number_ = number;
  reopen_device_path_ = false;
  SetTracing(tracing);
  SetLogging(logging);
  SetOpen(true);  // a failed reopen raises its own error
  if (dispatcher_) dispatcher_->RestoreTriggers(saved_triggers_);
  if (dump_error) std::rethrow_exception(dump_error);
}

TSerBaseDispatcher* TSerCustomComPort::GetDispatcher() {
  if (!dispatcher_ && auto_open_ && !loading_ && state_ == State::kClosed) SetOpen(true);
  return dispatcher_.get();
}

TSerBaseDispatcher* TSerCustomComPort::RequireDispatcher() {
  TSerBaseDispatcher* d = GetDispatcher();
  if (!d) CheckException(ecCommNotOpen);
  return d;
}

void TSerCustomComPort::PortOpened() {
  for (auto it = users_.rbegin(); it != users_.rend(); ++it) {
    if (it->second) it->second(*this, true);
  }
  if (OnPortOpen) OnPortOpen(*this);
}

void TSerCustomComPort::PortClosing() {
  for (auto it = users_.rbegin(); it != users_.rend(); ++it) {
    if (it->second) it->second(*this, false);
  }
  if (OnPortClose) OnPortClose(*this);
}

int TSerCustomComPort::RegisterUserCallback(TPortUserCallback callback) {
  users_.emplace_back(next_user_id_, std::move(callback));
  return next_user_id_++;
}

void TSerCustomComPort::DeregisterUserCallback(int id) {
  std::erase_if(users_, [id](const auto& u) { return u.first == id; });
}

// ---------------------------------------------------------------------------------
// Reading and writing

char TSerCustomComPort::GetChar() {
  if (state_ == State::kShuttingDown) return '\0';
  TSerBaseDispatcher* d = RequireDispatcher();
  if (!d) return '\0';
  uint8_t c = 0;
  // Only a handler's reads belong to the delivery under way; any other read on this
  // thread takes its byte at once.
  int result = handler_depth_ > 0 ? d->TakeChar(c) : d->TakeCharOutsideHandler(c);
  if (result == 0) return static_cast<char>(c);
  // Nothing more will come: not the empty buffer of a line that is still there.
  if (result == ecBufferIsEmpty && d->LineLost()) result = ecGetBlockFail;
  CheckException(result);
  return '\0';
}

void TSerCustomComPort::PutString(const std::string& s) {
  if (state_ == State::kShuttingDown) return;
  TSerBaseDispatcher* d = RequireDispatcher();
  if (!d) return;
  CheckException(
      d->PutBlock(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size())));
}

bool TSerCustomComPort::GetDSR() {
  return state_ == State::kOpen && dispatcher_ && dispatcher_->DSRState();
}

bool TSerCustomComPort::HungUp() {
  return state_ == State::kOpen && dispatcher_ && dispatcher_->LineLost();
}

int TSerCustomComPort::ReadLineError() {
  if (state_ != State::kOpen || !dispatcher_) return 0;
  return CheckException(dispatcher_->TakeLineError());
}

bool TSerCustomComPort::ReadLineBreak() {
  return state_ == State::kOpen && dispatcher_ && dispatcher_->TakeBreak();
}

void TSerCustomComPort::YieldTime() {
  if (state_ == State::kShuttingDown) return;
  if (TSerBaseDispatcher* d = RequireDispatcher()) CheckException(d->YieldSlice());
}

// ---------------------------------------------------------------------------------
// Events

bool TSerCustomComPort::AnyTriggerEvent() const {
  return OnTrigger || OnTriggerAvail || OnTriggerData || OnTriggerStatus || OnTriggerTimer ||
         OnTriggerLineError || OnTriggerModemStatus || OnTriggerOutbuffFree ||
         OnTriggerOutbuffUsed || OnTriggerOutSent;
}

void TSerCustomComPort::UpdateHandlerState() {
  if (state_ != State::kOpen || !dispatcher_) return;
  const bool installed = AnyTriggerEvent();
  dispatcher_->UpdateHandlerFlags(installed ? 1 : 2);
  // Bytes that came while nothing was assigned are announced to the new handler.
  if (installed && !handler_installed_) dispatcher_->AnnouncePending();
  handler_installed_ = installed;
}

void TSerCustomComPort::EventWindowProc(uint16_t msg, uint32_t first, uint32_t second,
                                        uint64_t generation, uint64_t delivery) {
  TPortListGuard guard;
  const int32_t handle = static_cast<int32_t>(second >> 16);
  TSerBaseDispatcher* d = FindPortListEntry(handle, generation);
  if (!d || !d->Owner()) return;
  TSerCustomComPort& port = *d->Owner();
  if (msg == kMsgDeferredClose) {
    port.DeferredClose(d);
    return;
  }
  // A message of a delivery that has ended, or for a port no longer open, is late.
  if (port.state_ != State::kOpen || port.dispatcher_.get() != d || !d->BeginHandler(delivery)) {
    return;
  }
  // Tells the dispatcher when the handlers return, by whatever way; it may have
  // gone meanwhile (a port destroyed from inside its own handler).
  struct HandlerEnd {
    int32_t handle;
    uint64_t generation, delivery;
    ~HandlerEnd() {
      if (TSerBaseDispatcher* d = FindPortListEntry(handle, generation)) d->EndHandler(delivery);
    }
  } handler_end{handle, generation, delivery};
  // Bytes may have been taken outside any handler since the message was sent: the
  // count is what is unread now.
  if (msg == kMsgTriggerAvail) {
    first = std::min<uint32_t>(first, static_cast<uint32_t>(std::max(0, d->InBuffUsed())));
    if (first == 0) return;
  }
  // A close from one of the handlers below must be deferred (the dispatch thread
  // waits for them); a close from anywhere else need not be.
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
  } depth(port.handler_depth_);
  const auto trigger = static_cast<uint16_t>(first);
  port.FireTrigger(
      msg, trigger,
      msg == kMsgTriggerAvail ? static_cast<uint16_t>(first) : static_cast<uint16_t>(second));
  switch (msg) {
    case kMsgTriggerAvail:
      port.FireTriggerAvail(static_cast<uint16_t>(first));
      break;
    case kMsgTriggerData:
      port.FireTriggerData(trigger);
      break;
    case kMsgTriggerTimer:
      port.FireTriggerTimer(trigger);
      break;
    case kMsgTriggerStatus:
      port.FireTriggerStatus(trigger);
      switch (trigger & 7) {
        case kStatusModem:
          port.FireTriggerModemStatus();
          break;
        case kStatusLine: {
          const int error = port.ReadLineError();
          port.FireTriggerLineError(static_cast<uint16_t>(error), port.ReadLineBreak());
          break;
        }
        case kStatusOutFree:
          port.FireTriggerOutbuffFree();
          break;
        case kStatusOutUsed:
          port.FireTriggerOutbuffUsed();
          break;
        case kStatusOutSent:
          port.FireTriggerOutSent();
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

void TSerCustomComPort::FireTrigger(uint16_t msg, uint16_t handle, uint16_t data) {
  if (OnTrigger) OnTrigger(*this, msg, handle, data);
}
void TSerCustomComPort::FireTriggerAvail(uint16_t count) {
  if (OnTriggerAvail) OnTriggerAvail(*this, count);
}
void TSerCustomComPort::FireTriggerData(uint16_t handle) {
  if (OnTriggerData) OnTriggerData(*this, handle);
}
void TSerCustomComPort::FireTriggerStatus(uint16_t handle) {
  if (OnTriggerStatus) OnTriggerStatus(*this, handle);
}
void TSerCustomComPort::FireTriggerTimer(uint16_t handle) {
  if (OnTriggerTimer) OnTriggerTimer(*this, handle);
}
void TSerCustomComPort::FireTriggerLineError(uint16_t error, bool line_break) {
  if (OnTriggerLineError) OnTriggerLineError(*this, error, line_break);
}
void TSerCustomComPort::FireTriggerModemStatus() {
  if (OnTriggerModemStatus) OnTriggerModemStatus(*this);
}
void TSerCustomComPort::FireTriggerOutbuffFree() {
  if (OnTriggerOutbuffFree) OnTriggerOutbuffFree(*this);
}
void TSerCustomComPort::FireTriggerOutbuffUsed() {
  if (OnTriggerOutbuffUsed) OnTriggerOutbuffUsed(*this);
}
void TSerCustomComPort::FireTriggerOutSent() {
  if (OnTriggerOutSent) OnTriggerOutSent(*this);
}
void TSerCustomComPort::FireWaitChar(char c) {
  if (OnWaitChar) OnWaitChar(*this, c);
}

// ---------------------------------------------------------------------------------
// Properties

void TSerCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
  // Only the one allowed layer, and only while closed.
  if (state_ != State::kClosed || layer != dlWin32) return;
  device_layer_ = layer;
  DeviceLayerChanged();
}

namespace {
template <typename T>
bool Changed(T& field, T value, bool force) {
  if (field == value && !force) return false;
  field = value;
  return true;
}
}  // namespace

void TSerCustomComPort::SetBaud(int32_t baud) {
  baud_ = baud;
  if (state_ == State::kOpen)
    CheckException(dispatcher_->SetLine(baud_, parity_, data_bits_, stop_bits_));
}

void TSerCustomComPort::SetParity(TParity parity) {
  parity_ = parity;
  if (state_ == State::kOpen)
    CheckException(dispatcher_->SetLine(baud_, parity_, data_bits_, stop_bits_));
}

void TSerCustomComPort::SetDataBits(uint16_t bits) {
  data_bits_ = bits;
  if (state_ == State::kOpen)
    CheckException(dispatcher_->SetLine(baud_, parity_, data_bits_, stop_bits_));
}

void TSerCustomComPort::SetStopBits(uint16_t bits) {
  stop_bits_ = bits;
  if (state_ == State::kOpen)
    CheckException(dispatcher_->SetLine(baud_, parity_, data_bits_, stop_bits_));
}

void TSerCustomComPort::SetInSize(uint16_t size) {
  in_size_ = size;
  if (state_ == State::kOpen) dispatcher_->SetQueueSizes(in_size_, out_size_);  // outcome ignored
}

void TSerCustomComPort::SetOutSize(uint16_t size) {
  out_size_ = size;
  if (state_ == State::kOpen) dispatcher_->SetQueueSizes(in_size_, out_size_);
}

void TSerCustomComPort::SetDTR(bool on) {
  if (on == dtr_ && !force_) return;
  if (state_ != State::kOpen) {
    dtr_ = on;
    return;
  }
  if (CheckException(dispatcher_->SetDTR(on)) == 0) dtr_ = on;
}

void TSerCustomComPort::SetRTS(bool on) {
  if (on == rts_ && !force_) return;
  if (state_ != State::kOpen) {
    rts_ = on;
    return;
  }
  if (CheckException(dispatcher_->SetRTS(on)) == 0) rts_ = on;
}

void TSerCustomComPort::SetHWFlowOptions(THWFlowOptionSet options) {
  if (options == hw_flow_options_ && !force_) return;
  if (options != 0) {
    if (buffer_full_ == 0 || buffer_full_ > in_size_) {
      buffer_full_ = static_cast<uint16_t>(in_size_ * 9 / 10);
    }
    if (buffer_resume_ == 0 || buffer_resume_ > buffer_full_) {
      buffer_resume_ = static_cast<uint16_t>(in_size_ / 10);
    }
  }
  if (state_ == State::kOpen) {
    CheckException(dispatcher_->SetHWFlowOptions(buffer_full_, buffer_resume_, options));
  }
  hw_flow_options_ = options;
  if (options & (hwfUseRTS | hwfRequireCTS)) SetRS485Mode(false);
}

void TSerCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
  if (options == sw_flow_options_ && !force_) return;
  const uint32_t code = options == swfBoth       ? 3
                        : options == swfTransmit ? 1
                        : options == swfReceive  ? 2
                                                 : 0;
  if (code != 0) {
    if (buffer_full_ == 0 || buffer_full_ > in_size_) {
      buffer_full_ = static_cast<uint16_t>(in_size_ * 3 / 4);
    }
    if (buffer_resume_ == 0 || buffer_resume_ > buffer_full_) {
      buffer_resume_ = static_cast<uint16_t>(in_size_ / 4);
    }
  }
  if (state_ == State::kOpen) {
    CheckException(code != 0 ? dispatcher_->SetSWFlowOptions(buffer_full_, buffer_resume_, code)
                             : dispatcher_->SWFlowDisable());
  }
  sw_flow_options_ = options;
}

void TSerCustomComPort::SetXOnChar(char c) {
  xon_char_ = c;
  if (state_ == State::kOpen) CheckException(dispatcher_->SetFlowChars(xon_char_, xoff_char_));
}

void TSerCustomComPort::SetXOffChar(char c) {
  xoff_char_ = c;
  if (state_ == State::kOpen) CheckException(dispatcher_->SetFlowChars(xon_char_, xoff_char_));
}

void TSerCustomComPort::SetBufferFull(uint16_t value) {
  buffer_full_ = value > in_size_ ? static_cast<uint16_t>(value * 9 / 10) : value;
  const bool old = force_;
  force_ = true;
  SetHWFlowOptions(hw_flow_options_);
  SetSWFlowOptions(sw_flow_options_);
  force_ = old;
}

void TSerCustomComPort::SetBufferResume(uint16_t value) {
  buffer_resume_ = value > buffer_full_ ? static_cast<uint16_t>(buffer_full_ / 10) : value;
  const bool old = force_;
  force_ = true;
  SetHWFlowOptions(hw_flow_options_);
  SetSWFlowOptions(sw_flow_options_);
  force_ = old;
}

void TSerCustomComPort::SetUseEventWord(bool on) {
  use_event_word_ = on;
  if (state_ != State::kOpen) return;
  if (on) {
    dispatcher_->SetOptionFlags(4);
  } else {
    dispatcher_->ClearOptionFlags(4);
  }
}

void TSerCustomComPort::SetRS485Mode(bool on) {
  rs485_mode_ = on;
  if (state_ == State::kOpen) dispatcher_->SetRS485Mode(on);
  if (on) {
    hw_flow_options_ &= static_cast<THWFlowOptionSet>(~(hwfUseRTS | hwfRequireCTS));
    SetRTS(false);
  }
}

void TSerCustomComPort::SetTriggerLength(uint16_t length) {
  trigger_length_ = length;
  if (state_ == State::kOpen) dispatcher_->SetTriggerLength(length);
}

void TSerCustomComPort::SetThreadBoost(uint8_t boost) {
  thread_boost_ = boost;
  if (state_ == State::kOpen) dispatcher_->BoostThreads(boost);
}

// ---------------------------------------------------------------------------------
// Tracing and logging

void TSerCustomComPort::ApplyTraceState(TTraceLogState state, bool log) {
  TTraceLogState& field = log ? logging_ : tracing_;
  if (state == field && !force_) return;
  if (state_ != State::kOpen) {
    field = state == tlOn ? tlOn : tlOff;
    return;
  }
  const TTraceLogState old = field;
  const bool active = old == tlOn || old == tlPause;
  const std::string& name = log ? log_name_ : trace_name_;
  const bool hex = log ? log_hex_ : trace_hex_;
  switch (state) {
    case tlOff:
      if (active) log ? LogEnd() : TraceEnd();
      field = tlOff;
      break;
    case tlOn:
      if (old == tlPause) {
        log ? LogResume() : TraceResume();
      } else {
        log ? LogBegin(log_size_) : TraceBegin(trace_size_);
      }
      field = tlOn;
      break;
    case tlDump:
    case tlAppend:
      if (active) {
        log ? LogResume() : TraceResume();
        field = tlOff;
        if (state == tlDump) {
          log ? LogWriteFile(name, hex) : TraceWriteFile(name, hex);
        } else {
          log ? LogAppendFile(name, hex) : TraceAppendFile(name, hex);
        }
      }
      field = tlOff;
      break;
    case tlClear:
      if (active) log ? LogClearBuffer() : TraceClearBuffer();
      break;
    case tlPause:
      if (old == tlOn) {
        log ? LogPause() : TracePause();
        field = tlPause;
      }
      break;
  }
}

void TSerCustomComPort::SetTracing(TTraceLogState state) {
  ApplyTraceState(state, false);
}

void TSerCustomComPort::SetLogging(TTraceLogState state) {
  ApplyTraceState(state, true);
}

void TSerCustomComPort::SetTraceSize(uint32_t size) {
  trace_size_ = std::min(size, kMaxTraceSize);
  if (state_ == State::kOpen && (tracing_ == tlOn || tracing_ == tlPause)) {
    const TTraceLogState previous = tracing_;
    TraceEnd();
    tracing_ = tlOff;
    SetTracing(previous);
  }
}

void TSerCustomComPort::SetLogSize(uint32_t size) {
  log_size_ = std::min(size, kMaxLogSize);
  if (state_ == State::kOpen && (logging_ == tlOn || logging_ == tlPause)) {
    const TTraceLogState previous = logging_;
    LogEnd();
    logging_ = tlOff;
    SetLogging(previous);
  }
}

void TSerCustomComPort::TraceBegin(uint32_t size) {
  if (state_ == State::kShuttingDown) return;
  if (size != 0) trace_size_ = std::min(size, kMaxTraceSize);
  if (TSerBaseDispatcher* d = RequireDispatcher()) CheckException(d->StartTrace(trace_size_));
}
void TSerCustomComPort::TraceWriteFile(const std::string& name, bool in_hex) {
  if (state_ == State::kShuttingDown) return;
  if (TSerBaseDispatcher* d = RequireDispatcher()) {
    CheckException(d->DumpTrace(name, false, in_hex, trace_all_hex_));
  }
}
void TSerCustomComPort::TraceAppendFile(const std::string& name, bool in_hex) {
  if (state_ == State::kShuttingDown) return;
  if (TSerBaseDispatcher* d = RequireDispatcher()) {
    CheckException(d->DumpTrace(name, true, in_hex, trace_all_hex_));
  }
}
void TSerCustomComPort::TraceClearBuffer() {
  if (state_ == State::kShuttingDown) return;
  if (TSerBaseDispatcher* d = RequireDispatcher()) CheckException(d->ClearTrace());
}
void TSerCustomComPort::TraceEnd() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->StopTrace();
}
void TSerCustomComPort::TraceResume() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->ResumeTrace();
}
void TSerCustomComPort::TracePause() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->PauseTrace();
}
void TSerCustomComPort::LogBegin(uint32_t size) {
  if (state_ == State::kShuttingDown) return;
  if (size != 0) log_size_ = std::min(size, kMaxLogSize);
  if (TSerBaseDispatcher* d = RequireDispatcher()) d->StartLog(log_size_);
}
void TSerCustomComPort::LogWriteFile(const std::string& name, bool in_hex) {
  if (state_ == State::kShuttingDown) return;
  if (TSerBaseDispatcher* d = RequireDispatcher()) {
    CheckException(d->DumpLog(name, false, in_hex, log_all_hex_));
  }
}
void TSerCustomComPort::LogAppendFile(const std::string& name, bool in_hex) {
  if (state_ == State::kShuttingDown) return;
  if (TSerBaseDispatcher* d = RequireDispatcher()) {
    CheckException(d->DumpLog(name, true, in_hex, log_all_hex_));
  }
}
void TSerCustomComPort::LogClearBuffer() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->ClearLog();
}
void TSerCustomComPort::LogEnd() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->StopLog();
}
void TSerCustomComPort::LogResume() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->ResumeLog();
}
void TSerCustomComPort::LogPause() {
  if (state_ != State::kShuttingDown && dispatcher_) dispatcher_->PauseLog();
}

// ---------------------------------------------------------------------------------

void TSerCustomComPort::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TSerCustomComPort*>(&source);
  if (!other) return;
  users_ = other->users_;
  if (other->state_ == State::kOpen && other->dispatcher_) {
    other->dispatcher_->SaveTriggers(saved_triggers_);
    copy_triggers_ = true;
  }
  force_ = other->force_;
  device_layer_ = other->device_layer_;
  com_number_ = other->com_number_;
  baud_ = other->baud_;
  parity_ = other->parity_;
  data_bits_ = other->data_bits_;
  stop_bits_ = other->stop_bits_;
  in_size_ = other->in_size_;
  out_size_ = other->out_size_;
  auto_open_ = other->auto_open_;
  prompt_for_port_ = other->prompt_for_port_;
  rs485_mode_ = other->rs485_mode_;
  thread_boost_ = other->thread_boost_;
  dtr_ = other->dtr_;
  rts_ = other->rts_;
  buffer_full_ = other->buffer_full_;
  buffer_resume_ = other->buffer_resume_;
  hw_flow_options_ = other->hw_flow_options_;
  sw_flow_options_ = other->sw_flow_options_;
  xon_char_ = other->xon_char_;
  xoff_char_ = other->xoff_char_;
  tracing_ = other->tracing_;
  trace_size_ = other->trace_size_;
  trace_name_ = other->trace_name_;
  trace_hex_ = other->trace_hex_;
  trace_all_hex_ = other->trace_all_hex_;
  logging_ = other->logging_;
  log_size_ = other->log_size_;
  log_name_ = other->log_name_;
  log_hex_ = other->log_hex_;
  log_all_hex_ = other->log_all_hex_;
  trigger_length_ = other->trigger_length_;
  OnTrigger = other->OnTrigger;
  OnTriggerAvail = other->OnTriggerAvail;
  OnTriggerData = other->OnTriggerData;
  OnTriggerStatus = other->OnTriggerStatus;
  OnTriggerTimer = other->OnTriggerTimer;
  OnPortOpen = other->OnPortOpen;
  OnPortClose = other->OnPortClose;
  tapi_mode_ = other->tapi_mode_;
  SetOpen(false);
}
