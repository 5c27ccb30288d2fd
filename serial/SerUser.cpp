// TSerBaseDispatcher: port state, buffers, line settings, flow control and triggers.
#include "serial/SerUser.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "serial/SerExcept.h"

namespace {

std::recursive_mutex& PortListMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// Guarded by the port-list lock.
std::vector<TSerBaseDispatcher*>& PortList() {
  static std::vector<TSerBaseDispatcher*> list;
  return list;
}
// The one-entry look-up cache beside the list.
int32_t cached_handle = -1;
TSerBaseDispatcher* cached_dispatcher = nullptr;

std::atomic<uint64_t> next_generation{1};

// Log kinds and sub-kinds.
constexpr uint8_t kLogDispatch = 1;
constexpr uint8_t kLogTrigger = 2;
constexpr uint8_t kSubReadCom = 1;
constexpr uint8_t kSubWriteCom = 2;
constexpr uint8_t kSubAvail = 5;
constexpr uint8_t kSubTimer = 6;
constexpr uint8_t kSubData = 7;
constexpr uint8_t kSubStatus = 8;
constexpr uint8_t kLogTriggerDataChange = 9;
constexpr uint8_t kSubAvailLength = 16;

}  // namespace

void LockPortList() {
  PortListMutex().lock();
}

void UnlockPortList() {
  PortListMutex().unlock();
}

TSerBaseDispatcher* FindPortListEntry(int32_t handle, uint64_t generation) {
  TPortListGuard guard;
  TSerBaseDispatcher* found = nullptr;
  if (handle == cached_handle && cached_dispatcher) {
    found = cached_dispatcher;
  } else if (handle >= 0 && handle < static_cast<int32_t>(PortList().size())) {
    found = PortList()[static_cast<size_t>(handle)];
    if (found) cached_handle = handle, cached_dispatcher = found;
  }
  if (found && generation != 0 && found->Generation() != generation) return nullptr;
  return found;
}

int32_t PortListCount() {
  TPortListGuard guard;
  return static_cast<int32_t>(PortList().size());
}

uint32_t ActualBaud(uint32_t value) {
  if (value == 0xFEFF) return 115200;
  static constexpr uint32_t kRates[] = {110,   300, 600, 1200,   2400, 4800, 9600, 14400,
                                        19200, 0,   0,   38400,  0,    0,    0,    56000,
                                        0,     0,   0,   128000, 0,    0,    0,    256000};
  if (value >= 0xFF10 && value <= 0xFF27 && kRates[value - 0xFF10] != 0) {
    return kRates[value - 0xFF10];
  }
  return value;
}

int LineSettingWaitMs(const platform::CommState& settings, uint32_t last_baud) {
  int bits = settings.byte_size + 2;
  if (settings.parity != platform::CommState::kNoParity) ++bits;
  if (settings.stop_bits != platform::CommState::kOneStopBit) ++bits;
  const uint32_t baud = std::max<uint32_t>(ActualBaud(last_baud), 1);
  // Eighteen character times, in units of 100 ns.
  uint64_t units = static_cast<uint64_t>(10000000 / baud) * static_cast<uint64_t>(bits) * 18;
  if (units < 10000) units *= 2;
  return static_cast<int>((units + 9999) / 10000);
}

// ---------------------------------------------------------------------------------

TSerBaseDispatcher::TSerBaseDispatcher(TSerCustomComPort* owner)
    : owner_(owner), generation_(next_generation++) {
  TPortListGuard guard;
  std::vector<TSerBaseDispatcher*>& list = PortList();
  auto empty = std::find(list.begin(), list.end(), nullptr);
  if (empty != list.end()) {
    *empty = this;
    port_handle_ = static_cast<int32_t>(empty - list.begin());
  } else {
    list.push_back(this);
    port_handle_ = static_cast<int32_t>(list.size() - 1);
  }
}

TSerBaseDispatcher::~TSerBaseDispatcher() {
  // The device layer has stopped the threads and closed its device in its own
  // destructor (the threads call its operations).
  ReleaseDispatchBuffers();
  TPortListGuard guard;
  std::vector<TSerBaseDispatcher*>& list = PortList();
  if (port_handle_ >= 0 && port_handle_ < static_cast<int32_t>(list.size())) {
    list[static_cast<size_t>(port_handle_)] = nullptr;
  }
  while (!list.empty() && list.back() == nullptr)
    list.pop_back();
  if (cached_dispatcher == this) cached_handle = -1, cached_dispatcher = nullptr;
}

void TSerBaseDispatcher::Delay(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int TSerBaseDispatcher::WriteWithoutWaiting(const uint8_t*, int, int*) {
  return -1;
}

void TSerBaseDispatcher::SyncCall(const std::function<void()>& fn) {
  fn();
}

void TSerBaseDispatcher::BoostThreads(uint8_t boost) {
  // Thread priorities above normal need privileges on Linux: the boost is kept for
  // the component to read back, and the threads run at normal priority.
  TSerMutexLock lock(main_lock_);
  priority_boost_ = boost;
}

void TSerBaseDispatcher::UpdateHandlerFlags(int kind) {
  TSerMutexLock lock(main_lock_);
  UpdateHandlerFlagsLocked(kind);
}

void TSerBaseDispatcher::UpdateHandlerFlagsLocked(int kind) {
  if (kind == 1) port_handler_installed_ = true;
  if (kind == 2) port_handler_installed_ = false;
  const bool others =
      window_handlers_.size() > 1 || !proc_handlers_.empty() || !event_handlers_.empty();
  handler_service_needed_ = others || port_handler_installed_;
}

// ---------------------------------------------------------------------------------
// Opening and closing

int TSerBaseDispatcher::InitPort(const std::string& device_name, int32_t baud, int parity,
                                 int data_bits, int stop_bits, int in_size, int out_size,
                                 uint32_t line_options) {
  dispatching_ = false;
  close_requested_ = false;
  thread_failed_ = false;
  ring_seen_ = false;
  {
    TSerMutexLock lock(main_lock_);
    handlers_removed_ = false;
  }
  event_arrived_ = std::make_unique<platform::CommEvent>();
  event_handled_ = std::make_unique<platform::CommEvent>();
  acknowledge_ = std::make_unique<platform::CommEvent>();
  output_ready_ = std::make_unique<platform::CommEvent>();
  stop_output_ = std::make_unique<platform::CommEvent>();
  for (auto* e : {&event_arrived_, &event_handled_, &acknowledge_, &output_ready_, &stop_output_}) {
    if (!(*e)->valid()) return ecOutOfMemory;
  }
  const int opened = OpenDevice(device_name, in_size, out_size);
  if (opened < 0) {
    const int code = opened == ecOutOfMemory ? ecOutOfMemory : -last_error_;
    DonePort();
    return code;
  }
  auto fail = [this](int code) {
    DonePort();
    return code;
  };
  if (!SetQueueSizes(in_size, out_size)) return fail(-last_error_);
  if (in_size <= 0 || out_size <= 0) return fail(ecBadArgument);
  in_size_ = in_size;
  out_size_ = out_size;
  pending_line_errors_ = 0;
  output_sent_ = false;
  {
    TSerMutexLock in(in_.mutex());
    TSerMutexLock main(main_lock_);
    TSerMutexLock out(out_.mutex());
    in_.Allocate();
    out_.Allocate(out_size);
    buffers_allocated_ = true;
    rs485_mode_ = false;
    base_address_ = 0;
    triggers_.Clear();
    modem_status_ = 0;
  }
  {
    TSerMutexLock lock(main_lock_);
    platform::CommState settings;
    if (ReadDcb(settings) == 0) {
      line_settings_ = settings;
      if (line_options & 16) {
        dtr_auto_ = true;
        settings.dtr_control = platform::CommState::kDtrHandshake;
      }
      if (line_options & 32) {
        rts_auto_ = true;
        settings.rts_control = platform::CommState::kRtsHandshake;
      }
      if (line_options & (16 | 32)) WriteDcb(settings);
    }
    if (!(line_options & 16)) SetDTRLocked(line_options & 1);
    if (!(line_options & 32)) SetRTSLocked(line_options & 2);
  }
  ResetStatusTriggers();
  {
    TSerMutexLock lock(main_lock_);
    ReadModemStatusLocked(0xF0);
    last_baud_ = 115200;
  }
  const int line = SetLine(baud, parity, data_bits, stop_bits);
  if (line != 0) return fail(line);
  RefreshComStatus();
  {
    TSerMutexLock lock(main_lock_);
    trace_.Stop();
    log_.Stop();
    time_of_opening_ = ElapsedMs();
  }
  StartThreads();
  return 0;
}

void TSerBaseDispatcher::SetDispatchExitHandler(std::function<void()> handler) {
  TSerMutexLock lock(main_lock_);
  dispatch_exit_handler_ = std::move(handler);
}

bool TSerBaseDispatcher::DonePort(bool inside_delivery) {
  if (inside_delivery && dispatching_) {
    // Called while a delivery is under way (from inside a handler): the dispatch
    // thread is waiting for it and must not be joined here. Stop the flow of bytes,
    // tell the threads to end, and let the dispatch thread report its end.
    FlushOutBuffer();
    FlushInBuffer();
    close_requested_ = true;  // before the kill, so that an exit on the kill sees it
    kill_threads_ = true;
    SetDeviceEventMask(0);
    if (event_handled_) event_handled_->Set();
    if (stop_output_) stop_output_->Set();
    return true;
  }
  StopThreads();
  if (buffers_allocated_) {
    FlushOutBuffer();
    FlushInBuffer();
  }
  ReleaseBuffers();
  CloseDevice();
  return false;
}

void TSerBaseDispatcher::FinishClose() {
  StopThreads();
  ReleaseBuffers();
  CloseDevice();
}

void TSerBaseDispatcher::ReleaseBuffers() {
  StopThreads();
  ReleaseDispatchBuffers();
}

void TSerBaseDispatcher::ReleaseDispatchBuffers() {
  TSerMutexLock in(in_.mutex());
  TSerMutexLock main(main_lock_);
  TSerMutexLock out(out_.mutex());
  in_.Release();
  out_.Release();
  buffers_allocated_ = false;
}

// ---------------------------------------------------------------------------------
// Line settings

platform::CommState TSerBaseDispatcher::CurrentSettings() {
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
  return s;
}

int TSerBaseDispatcher::SetLine(int32_t baud, int parity, int data_bits, int stop_bits) {
  if (stop_bits == 0) stop_bits = 1;
  if (stop_bits > 2 && stop_bits != 3) stop_bits = 2;
  {
    TSerMutexLock lock(main_lock_);
    const platform::CommState s = CurrentSettings();
    const uint32_t new_baud = baud == 0 ? s.baud_rate : static_cast<uint32_t>(baud);
    const int new_parity = parity == 5 ? s.parity : parity;
    const int new_size = data_bits == 9 ? s.byte_size : data_bits;
    int code = s.stop_bits;
    if (stop_bits == 1 || stop_bits == 2) {
      code = new_size == 5 ? platform::CommState::kOne5StopBits
                           : (stop_bits == 1 ? platform::CommState::kOneStopBit
                                             : platform::CommState::kTwoStopBits);
    } else if (data_bits == 5) {
      code = platform::CommState::kOne5StopBits;
    }
    if (new_baud == s.baud_rate && new_parity == s.parity && new_size == s.byte_size &&
        code == s.stop_bits) {
      return 0;
    }
  }
  DrainAndWait();
  TSerMutexLock lock(main_lock_);
  platform::CommState s = CurrentSettings();
  if (baud != 0) s.baud_rate = static_cast<uint32_t>(baud);
  if (parity != 5) s.parity = static_cast<uint8_t>(parity);
  if (data_bits != 9) s.byte_size = static_cast<uint8_t>(data_bits);
  if (stop_bits == 1 || stop_bits == 2) {
    s.stop_bits = s.byte_size == 5 ? platform::CommState::kOne5StopBits
                                   : (stop_bits == 1 ? platform::CommState::kOneStopBit
                                                     : platform::CommState::kTwoStopBits);
  } else if (data_bits == 5) {
    s.stop_bits = platform::CommState::kOne5StopBits;
  }
  return ApplyDeviceState(s);
}

void TSerBaseDispatcher::DrainAndWait() {
  for (int rounds = 0; OutBuffUsed() > 0 && rounds < kDrainRounds; ++rounds)
    Delay(kDrainRoundMs);
  platform::CommState s;
  uint32_t last_baud;
  {
    TSerMutexLock lock(main_lock_);
    s = CurrentSettings();
    last_baud = last_baud_;
  }
  Delay(LineSettingWaitMs(s, last_baud));
}

int TSerBaseDispatcher::ApplyDeviceState(platform::CommState& s) {
  if (!dtr_auto_) {
    s.dtr_control = dtr_state_ ? platform::CommState::kDtrEnable : platform::CommState::kDtrDisable;
  }
  if (!rts_auto_) {
    s.rts_control = rts_state_ ? platform::CommState::kRtsEnable : platform::CommState::kRtsDisable;
  }
  const int result = WriteDcb(s);
  if (result == 0) line_settings_ = s;
  last_baud_ = s.baud_rate;
  SetDTRLocked(dtr_state_);
  if (!rs485_mode_) SetRTSLocked(rts_state_);
  return result;
}

void TSerBaseDispatcher::GetLine(int32_t& baud, int& parity, int& data_bits, int& stop_bits) {
  TSerMutexLock lock(main_lock_);
  const platform::CommState s = CurrentSettings();
  baud = static_cast<int32_t>(ActualBaud(s.baud_rate));
  parity = s.parity;
  data_bits = s.byte_size;
  stop_bits = s.stop_bits == platform::CommState::kOneStopBit ? 1 : 2;
}

int TSerBaseDispatcher::SetDTR(bool on) {
  TSerMutexLock lock(main_lock_);
  return SetDTRLocked(on);
}

int TSerBaseDispatcher::SetDTRLocked(bool on) {
  if (dtr_auto_) return 1;
  const int result = LineEscape(on ? platform::kSetDtr : platform::kClrDtr);
  dtr_state_ = on;
  return result < 0 ? ecBadArgument : result;
}

int TSerBaseDispatcher::SetRTS(bool on) {
  TSerMutexLock lock(main_lock_);
  return SetRTSLocked(on);
}

int TSerBaseDispatcher::SetRTSLocked(bool on) {
  if (rts_auto_) return 1;
  const int result = LineEscape(on ? platform::kSetRts : platform::kClrRts);
  rts_state_ = on;
  return result < 0 ? ecBadArgument : result;
}

uint8_t TSerBaseDispatcher::ReadModemStatus(uint8_t keep_mask) {
  TSerMutexLock lock(main_lock_);
  return ReadModemStatusLocked(keep_mask);
}

uint8_t TSerBaseDispatcher::ReadModemStatusLocked(uint8_t keep_mask) {
  uint32_t status = (modem_status_ & 0x0F) | (ReadModemLines() & 0xF0);
  if (ring_seen_.exchange(false)) status |= 0x04;
  const auto result = static_cast<uint8_t>(status);
  modem_status_ = status & keep_mask;
  return result;
}

void TSerBaseDispatcher::RefreshModemDeltas() {
  TSerMutexLock lock(main_lock_);
  const uint32_t old = modem_status_;
  ReadModemStatusLocked(0xFF);
  modem_status_ |= ((old ^ modem_status_) >> 4) & 0x0F;
}

bool TSerBaseDispatcher::DSRState() {
  return (ReadModemStatus(0xFD) & 0x20) != 0;
}

int TSerBaseDispatcher::TakeLineError() {
  TSerMutexLock lock(main_lock_);
  const uint32_t pending = pending_line_errors_;
  int result = 0;
  if (pending & 0x01) {
    result = 1;
  } else if (pending & 0x02) {
    result = 2;
  } else if (pending & 0x04) {
    result = 3;
  } else if (pending & 0x08) {
    result = 4;
  } else if (pending & 0x10) {
    result = 9;
  }
  if (result != 0) pending_line_errors_.fetch_and(~0x0Fu);
  return result;
}

bool TSerBaseDispatcher::TakeBreak() {
  TSerMutexLock lock(main_lock_);
  return (pending_line_errors_.fetch_and(~0x10u) & 0x10) != 0;
}

// ---------------------------------------------------------------------------------
// Input

TDeviceStatus TSerBaseDispatcher::RefreshComStatus() {
  TDeviceStatus status;
  TSerMutexLock lock(out_.mutex());
  const uint32_t errors = ReadErrorState(status);
  status.out_queue = out_.Count();
  pending_line_errors_.fetch_or(errors & 0x1F);
  return status;
}

int TSerBaseDispatcher::InBuffUsed() {
  TSerMutexLock lock(in_.mutex());
  return in_.Unread();
}

int TSerBaseDispatcher::PeekChar(uint8_t& c, int n) {
  TSerMutexLock lock(in_.mutex());
  return in_.Peek(c, n);
}

int TSerBaseDispatcher::TakeChar(uint8_t& c) {
  TSerMutexLock lock(in_.mutex());
  const int result = in_.Take(c);
  if (result != 0) return result;
  TSerMutexLock main(main_lock_);
  if (trace_.On()) trace_.Add('R', c);
  return 0;
}

int TSerBaseDispatcher::TakeCharOutsideHandler(uint8_t& c) {
  TSerMutexLock lock(in_.mutex());
  const int result = in_.TakeOutside(c);
  if (result != 0) return result;
  TSerMutexLock main(main_lock_);
  if (trace_.On()) trace_.Add('R', c);
  return 0;
}

void TSerBaseDispatcher::FlushInBuffer() {
  PurgeQueues(1);
  TSerMutexLock in(in_.mutex());
  TSerMutexLock main(main_lock_);
  in_.Flush();
  triggers_.ForgetMatches();
}

void TSerBaseDispatcher::ReadFromDevice() {
  TSerMutexLock lock(in_.mutex());
  if (in_.Full() || !in_.Allocated()) return;
  const uint32_t waiting = RefreshComStatus().in_queue;
  in_.Fill(waiting, [this](uint8_t* at, int room) {
    const int n = std::max(0, ReadDevice(at, room));
    TSerMutexLock main(main_lock_);
    if (log_.On()) {
      AddLogEntryLocked(kLogDispatch, kSubReadCom, static_cast<uint32_t>(n), at,
                        static_cast<uint32_t>(n));
    }
    return n;
  });
}

// ---------------------------------------------------------------------------------
// Output

int TSerBaseDispatcher::PutBlock(const uint8_t* buffer, int length) {
  if (length == 0) return 0;
  if (length < 0 || !buffer) return ecBadArgument;
  // No output thread would write them (as when the device hung up).
  if (!buffers_allocated_ || thread_failed_) return ecPutBlockFail;
  RefreshComStatus();
  {
    TSerMutexLock lock(out_.mutex());
    // The room only grows meanwhile: the output thread is the one other user.
    const int free = out_.Size() - static_cast<int>(out_.Count());
    if (out_.Size() == 0) return ecPutBlockFail;
    if (free < length) return ecOutputBufferTooSmall;
    // With nothing queued or being written, the bytes go to the device at once:
    // waking the output thread for them would cost a thread hand-off on every
    // answer. What the device does not take now, and anything after a failed
    // write, is queued for the output thread as usual.
    int written = 0;
    if (out_.Idle()) {
      int error = 0;
      const int n = WriteWithoutWaiting(buffer, length, &error);
      if (n > 0 && (error == 0 || error == platform::kErrorOperationAborted)) written = n;
    }
    if (written < length && QueueOutput(buffer + written, length - written) <= 0) {
      return ecPutBlockFail;
    }
    output_sent_ = true;
  }
  TSerMutexLock lock(main_lock_);
  if (log_.On()) {
    AddLogEntryLocked(kLogDispatch, kSubWriteCom, static_cast<uint32_t>(length), buffer,
                      static_cast<uint32_t>(length));
  }
  if (trace_.On()) {
    for (int i = 0; i < length; ++i)
      trace_.Add('T', buffer[i]);
  }
  return 0;
}

int TSerBaseDispatcher::QueueIntoRing(const uint8_t* buffer, int n) {
  return out_.Queue(buffer, n);
}

void TSerBaseDispatcher::EmptyRing() {
  TSerMutexLock lock(out_.mutex());
  out_.Empty();
}

int TSerBaseDispatcher::OutBuffUsed() {
  return static_cast<int>(RefreshComStatus().out_queue);
}

int TSerBaseDispatcher::OutBuffFree() {
  return out_size_ - OutBuffUsed();
}

void TSerBaseDispatcher::FlushOutBuffer() {
  PurgeQueues(0);
}

// ---------------------------------------------------------------------------------
// Flow control

int TSerBaseDispatcher::SetHWFlowOptions(int buffer_full, int buffer_resume, uint32_t options) {
  if (buffer_full < buffer_resume || buffer_full > in_size_) return ecBadArgument;
  TSerMutexLock lock(main_lock_);
  platform::CommState s = CurrentSettings();
  s.outx_cts_flow = false;
  s.outx_dsr_flow = false;
  s.dtr_control = platform::CommState::kDtrDisable;
  s.rts_control = platform::CommState::kRtsDisable;
  dtr_auto_ = false;
  rts_auto_ = false;
  if (options & 1) {
    s.dtr_control = platform::CommState::kDtrHandshake;
    dtr_auto_ = true;
  } else if (dtr_state_) {
    s.dtr_control = platform::CommState::kDtrEnable;
  }
  if (options & 2) {
    s.rts_control = platform::CommState::kRtsHandshake;
    rts_auto_ = true;
  } else if (rts_state_) {
    s.rts_control = platform::CommState::kRtsEnable;
  }
  if (rs485_mode_) {
    s.rts_control = platform::CommState::kRtsToggle;
    rts_auto_ = true;
  }
  s.xoff_lim = static_cast<uint16_t>(in_size_ - buffer_full);
  s.xon_lim = static_cast<uint16_t>(buffer_resume);
  if (options & 4) s.outx_dsr_flow = true;
  if (options & 8) s.outx_cts_flow = true;
  return ApplyDeviceState(s);
}

int TSerBaseDispatcher::SetSWFlowOptions(int buffer_full, int buffer_resume, uint32_t options) {
  if (buffer_full < buffer_resume || buffer_full > in_size_) return ecBadArgument;
  TSerMutexLock lock(main_lock_);
  platform::CommState s = CurrentSettings();
  if (options & 2) {
    s.in_x = true;
    s.xoff_lim = static_cast<uint16_t>(in_size_ - buffer_full);
    s.xon_lim = static_cast<uint16_t>(buffer_resume);
  }
  if (options & 1) s.out_x = true;
  if (options & 3) {
    s.xon_char = 17;
    s.xoff_char = 19;
  }
  return ApplyDeviceState(s);
}

int TSerBaseDispatcher::SWFlowDisable() {
  TSerMutexLock lock(main_lock_);
  platform::CommState s = CurrentSettings();
  s.in_x = false;
  s.out_x = false;
  return ApplyDeviceState(s);
}

int TSerBaseDispatcher::SetFlowChars(char xon, char xoff) {
  TSerMutexLock lock(main_lock_);
  platform::CommState s = CurrentSettings();
  s.xon_char = xon;
  s.xoff_char = xoff;
  return ApplyDeviceState(s);
}

void TSerBaseDispatcher::GetFlowOptions(uint32_t& hw_options, uint32_t& sw_options, char& xon,
                                        char& xoff) {
  TSerMutexLock lock(main_lock_);
  const platform::CommState s = CurrentSettings();
  hw_options = 0;
  if (s.dtr_control == platform::CommState::kDtrHandshake) hw_options |= 1;
  if (s.rts_control == platform::CommState::kRtsHandshake) hw_options |= 2;
  if (s.outx_dsr_flow) hw_options |= 4;
  if (s.outx_cts_flow) hw_options |= 8;
  sw_options = (s.in_x ? 2u : 0u) | (s.out_x ? 1u : 0u);
  xon = s.xon_char;
  xoff = s.xoff_char;
}

// ---------------------------------------------------------------------------------
// Triggers

void TSerBaseDispatcher::SetTriggerLength(int32_t length) {
  TSerMutexLock lock(main_lock_);
  triggers_.SetTriggerLength(length);
  if (log_.On())
    AddLogEntryLocked(kLogTriggerDataChange, kSubAvailLength, static_cast<uint32_t>(length),
                      nullptr, 0);
}

int32_t TSerBaseDispatcher::TriggerLength() {
  TSerMutexLock lock(main_lock_);
  return triggers_.TriggerLength();
}

void TSerBaseDispatcher::ClearAllTriggers() {
  TSerMutexLock lock(main_lock_);
  triggers_.Clear();
}

void TSerBaseDispatcher::SaveTriggers(TSavedTriggers& saved) {
  TSerMutexLock lock(main_lock_);
  triggers_.Save(saved);
}

void TSerBaseDispatcher::RestoreTriggers(const TSavedTriggers& saved) {
  TSerMutexLock lock(main_lock_);
  triggers_.Restore(saved);
}

void TSerBaseDispatcher::FreeSavedTriggers(TSavedTriggers& saved) {
  saved = TSavedTriggers{};
}

void TSerBaseDispatcher::AnnouncePending() {
  {
    TSerMutexLock lock(in_.mutex());
    in_.AnnounceAgain();
  }
  if (event_arrived_) event_arrived_->Set();
}

bool TSerBaseDispatcher::CheckDataTriggers() {
  std::vector<std::pair<int32_t, int32_t>> matched;
  bool avail = false;
  uint32_t count = 0;
  // A handler still running holds the delivery: these bytes wait for its end.
  if (dispatching_) return false;
  {
    TSerMutexLock in(in_.mutex());
    TSerMutexLock main(main_lock_);
    if (!in_.Allocated()) return false;
    const int32_t trigger_length = triggers_.TriggerLength();
    if (!triggers_.HasDataTriggers()) in_.SkipScan();
    while (in_.Unscanned() > 0) {
      int position;
      const int32_t longest = triggers_.MatchByte(in_.NextUnscanned(position));
      if (longest == 0) continue;
      // Unread bytes up to and with this one, less the matched string.
      const int unread_here =
          (position - in_.Tail() + kDispatchBufferSize) % kDispatchBufferSize + 1;
      const int before = unread_here - longest;
      if (trigger_length != 0 && position != in_.NotifyPosition() && before >= trigger_length) {
        avail = true;
        count = static_cast<uint32_t>(before);
        in_.Notified(position, false);
      }
      matched = triggers_.TakeMatched();
      break;
    }
    if (matched.empty()) {
      const int used = in_.Unread();
      if (trigger_length != 0 && in_.ArrivedSinceNotify() && used >= trigger_length) {
        avail = true;
        count = static_cast<uint32_t>(used);
        in_.Notified(in_.Head(), true);
      }
    }
    if (avail && log_.On()) AddLogEntryLocked(kLogTrigger, kSubAvail, count, nullptr, 0);
  }
  bool result = false;
  if (avail) result = DispatchEvent(kMsgTriggerAvail, count, 0);
  for (const auto& [handle, length] : matched) {
    if (close_requested_ || dispatching_) return false;
    {
      TSerMutexLock lock(main_lock_);
      if (log_.On())
        AddLogEntryLocked(kLogTrigger, kSubData, static_cast<uint32_t>(handle), nullptr, 0);
    }
    result = DispatchEvent(kMsgTriggerData, static_cast<uint32_t>(handle),
                           static_cast<uint32_t>(length));
  }
  return result;
}

bool TSerBaseDispatcher::CheckStatusTriggers() {
  int32_t handle = 0;
  uint32_t count = 0;
  if (dispatching_) return false;
  {
    TSerMutexLock lock(main_lock_);
    const uint32_t modem = modem_status_;
    const auto holds = [this, modem](const TStatusTrigger& t, uint32_t& count) {
      switch (t.kind) {
        case kStatusModem:
          return (((modem & 0xFF) ^ (t.value & 0xFF)) & (t.value >> 8)) != 0;
        case kStatusLine:
          count = t.value & pending_line_errors_;
          return count != 0;
        case kStatusOutFree: {
          const int free = OutBuffFree();
          count = static_cast<uint32_t>(free);
          return free >= t.value;
        }
        case kStatusOutUsed: {
          const int used = OutBuffUsed();
          count = static_cast<uint32_t>(used);
          return used <= t.value;
        }
        case kStatusOutSent:
          return output_sent_.exchange(false);
        default:
          return false;
      }
    };
    if (!triggers_.FireStatus(holds, handle, count)) return false;
    status_hit_ = true;
    if (log_.On())
      AddLogEntryLocked(kLogTrigger, kSubStatus, static_cast<uint32_t>(handle), nullptr, 0);
  }
  return DispatchEvent(kMsgTriggerStatus, static_cast<uint32_t>(handle), count);
}

bool TSerBaseDispatcher::CheckTimerTriggers() {
  int32_t handle = 0;
  if (dispatching_) return false;
  {
    TSerMutexLock lock(main_lock_);
    if (!triggers_.FireTimer(handle)) return false;
    if (log_.On())
      AddLogEntryLocked(kLogTrigger, kSubTimer, static_cast<uint32_t>(handle), nullptr, 0);
  }
  return DispatchEvent(kMsgTriggerTimer, static_cast<uint32_t>(handle), 0);
}

void TSerBaseDispatcher::ResetStatusTriggers() {
  TSerMutexLock lock(main_lock_);
  triggers_.ResetStatus();
  status_hit_ = false;
}

void TSerBaseDispatcher::SetOptionFlags(uint32_t bits) {
  TSerMutexLock lock(main_lock_);
  option_flags_ |= bits;
}

void TSerBaseDispatcher::ClearOptionFlags(uint32_t bits) {
  TSerMutexLock lock(main_lock_);
  option_flags_ &= ~bits;
}

uint32_t TSerBaseDispatcher::OptionFlags() {
  TSerMutexLock lock(main_lock_);
  return option_flags_;
}

void TSerBaseDispatcher::SetRS485Mode(bool on) {
  // Linux, like Windows NT, switches RTS for each transmission in the driver (RTS
  // toggle in the line settings); the output thread has nothing to do by hand.
  TSerMutexLock lock(main_lock_);
  rs485_mode_ = on;
}

int TSerBaseDispatcher::BufferHead() {
  TSerMutexLock lock(in_.mutex());
  return in_.Head();
}

int TSerBaseDispatcher::BufferTail() {
  TSerMutexLock lock(in_.mutex());
  return in_.Tail();
}

bool TSerBaseDispatcher::BufferFull() {
  TSerMutexLock lock(in_.mutex());
  return in_.Full();
}
