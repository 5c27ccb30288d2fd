// TSerBaseDispatcher: port state, buffers, line settings, flow control and triggers.
#include "serial/SerUser.h"

#include <algorithm>
#include <cctype>
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

int Wrap(int index) {
  return index >= kDispatchBufferSize ? index - kDispatchBufferSize : index;
}

}  // namespace

void LockPortList() {
  PortListMutex().lock();
}

void UnlockPortList() {
  PortListMutex().unlock();
}

TSerBaseDispatcher* FindPortListEntry(int32_t handle, uint64_t generation) {
  PortListGuard guard;
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
  PortListGuard guard;
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
  PortListGuard guard;
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
  PortListGuard guard;
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

void TSerBaseDispatcher::SyncCall(const std::function<void()>& fn) {
  fn();
}

void TSerBaseDispatcher::BoostThreads(uint8_t boost) {
  // Thread priorities above normal need privileges on Linux: the boost is kept for
  // the component to read back, and the threads run at normal priority.
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  priority_boost_ = boost;
}

void TSerBaseDispatcher::UpdateHandlerFlags(int kind) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
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
  handlers_removed_ = false;
  close_requested_ = false;
  ring_seen_ = false;
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
  {
    std::scoped_lock locks(dispatch_lock_, main_lock_, output_lock_);
    dispatch_buffer_.assign(kDispatchBufferSize, 0);
    out_ring_.assign(static_cast<size_t>(out_size), 0);
    buffers_allocated_ = true;
    ring_head_ = ring_tail_ = 0;
    ring_full_ = false;
    in_size_ = in_size;
    out_size_ = out_size;
    pending_line_errors_ = 0;
    output_sent_ = false;
    dispatch_full_ = false;
    get_count_ = max_get_count_ = 0;
    last_line_error_ = last_modem_status_ = 0;
    rs485_mode_ = false;
    base_address_ = 0;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
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
    if (!(line_options & 16)) SetDTR(line_options & 1);
    if (!(line_options & 32)) SetRTS(line_options & 2);
  }
  {
    std::scoped_lock locks(dispatch_lock_, main_lock_);
    data_scan_position_ = 0;
    ClearAllTriggers();
    buffer_head_ = buffer_tail_ = 0;
    notify_position_ = 0;
    bytes_unscanned_ = 0;
    arrived_since_notify_ = false;
    in_avail_dispatch_ = false;
    modem_status_ = 0;
  }
  ResetStatusTriggers();
  ReadModemStatus(0xF0);
  last_baud_ = 115200;
  const int line = SetLine(baud, parity, data_bits, stop_bits);
  if (line != 0) return fail(line);
  RefreshComStatus();
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    trace_ring_.clear();
    trace_size_ = trace_position_ = 0;
    trace_wrapped_ = tracing_ = false;
    log_ring_.clear();
    log_size_ = log_write_ = log_read_ = log_free_ = 0;
    logging_ = false;
    time_of_opening_ = ElapsedMs();
  }
  StartThreads();
  return 0;
}

void TSerBaseDispatcher::SetDispatchExitHandler(std::function<void()> handler) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
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
  std::scoped_lock locks(dispatch_lock_, main_lock_, output_lock_);
  dispatch_buffer_.clear();
  dispatch_buffer_.shrink_to_fit();
  out_ring_.clear();
  out_ring_.shrink_to_fit();
  buffers_allocated_ = false;
  buffer_head_ = buffer_tail_ = 0;
  ring_head_ = ring_tail_ = 0;
  ring_full_ = false;
  dispatch_full_ = false;
}

// ---------------------------------------------------------------------------------
// Line settings

int TSerBaseDispatcher::SetLine(int32_t baud, int parity, int data_bits, int stop_bits) {
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    platform::CommState s;
    if (ReadDcb(s) != 0) s = line_settings_;
    if (stop_bits == 0) stop_bits = 1;
    if (stop_bits > 2 && stop_bits != 3) stop_bits = 2;
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
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
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
  for (int rounds = 0; OutBuffUsed() > 0 && rounds < 5000; ++rounds)
    Delay(2);
  platform::CommState s;
  uint32_t last_baud;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    if (ReadDcb(s) != 0) s = line_settings_;
    last_baud = last_baud_;
  }
  Delay(LineSettingWaitMs(s, last_baud));
}

int TSerBaseDispatcher::ApplyDeviceState(platform::CommState& s) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (!dtr_auto_) {
    s.dtr_control = dtr_state_ ? platform::CommState::kDtrEnable : platform::CommState::kDtrDisable;
  }
  if (!rts_auto_) {
    s.rts_control = rts_state_ ? platform::CommState::kRtsEnable : platform::CommState::kRtsDisable;
  }
  const int result = WriteDcb(s);
  if (result == 0) line_settings_ = s;
  last_baud_ = s.baud_rate;
  SetDTR(dtr_state_);
  if (!rs485_mode_) SetRTS(rts_state_);
  return result;
}

void TSerBaseDispatcher::GetLine(int32_t& baud, int& parity, int& data_bits, int& stop_bits) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
  baud = static_cast<int32_t>(ActualBaud(s.baud_rate));
  parity = s.parity;
  data_bits = s.byte_size;
  stop_bits = s.stop_bits == platform::CommState::kOneStopBit ? 1 : 2;
}

int TSerBaseDispatcher::SetDTR(bool on) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (dtr_auto_) return 1;
  const int result = LineEscape(on ? platform::kSetDtr : platform::kClrDtr);
  dtr_state_ = on;
  return result < 0 ? ecBadArgument : result;
}

int TSerBaseDispatcher::SetRTS(bool on) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (rts_auto_) return 1;
  const int result = LineEscape(on ? platform::kSetRts : platform::kClrRts);
  rts_state_ = on;
  return result < 0 ? ecBadArgument : result;
}

uint8_t TSerBaseDispatcher::ReadModemStatus(uint8_t keep_mask) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  uint32_t status = (modem_status_ & 0x0F) | (ReadModemLines() & 0xF0);
  if (ring_seen_.exchange(false)) status |= 0x04;
  const auto result = static_cast<uint8_t>(status);
  modem_status_ = status & keep_mask;
  return result;
}

void TSerBaseDispatcher::RefreshModemDeltas() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  const uint32_t old = modem_status_;
  ReadModemStatus(0xFF);
  modem_status_ |= ((old ^ modem_status_) >> 4) & 0x0F;
}

bool TSerBaseDispatcher::DSRState() {
  return (ReadModemStatus(0xFD) & 0x20) != 0;
}

int TSerBaseDispatcher::TakeLineError() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
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
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  return (pending_line_errors_.fetch_and(~0x10u) & 0x10) != 0;
}

// ---------------------------------------------------------------------------------
// Input

void TSerBaseDispatcher::RefreshComStatus() {
  std::lock_guard<std::recursive_mutex> lock(output_lock_);
  const uint32_t errors = ReadErrorState(device_status_);
  pending_line_errors_.fetch_or(errors & 0x1F);
}

int TSerBaseDispatcher::InBuffUsedLocked() const {
  if (buffer_head_ == buffer_tail_) return dispatch_full_ ? kDispatchBufferSize : 0;
  if (buffer_head_ > buffer_tail_) return buffer_head_ - buffer_tail_;
  return buffer_head_ - buffer_tail_ + kDispatchBufferSize;
}

int TSerBaseDispatcher::InBuffUsed() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  const int used = InBuffUsedLocked();
  return in_avail_dispatch_ ? used - static_cast<int>(get_count_) : used;
}

int TSerBaseDispatcher::PeekChar(uint8_t& c, int n) {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  if (n < 1 || !buffers_allocated_ || InBuffUsedLocked() < n) return ecBufferIsEmpty;
  c = dispatch_buffer_[static_cast<size_t>((buffer_tail_ + n - 1) % kDispatchBufferSize)];
  return 0;
}

int TSerBaseDispatcher::TakeChar(uint8_t& c) {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  if (in_avail_dispatch_) {
    const int result = PeekChar(c, static_cast<int>(get_count_) + 1);
    if (result != 0) return result;
    ++get_count_;
  } else {
    const int result = PeekChar(c, 1);
    if (result != 0) return result;
    buffer_tail_ = Wrap(buffer_tail_ + 1);
    dispatch_full_ = false;
  }
  std::lock_guard<std::recursive_mutex> main(main_lock_);
  if (tracing_) AddTraceEntry('R', c);
  return 0;
}

int TSerBaseDispatcher::TakeCharOutsideHandler(uint8_t& c) {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  // Once a handler of the delivery has read, the bytes it saw are its own: later
  // reads follow them, as the handler's next read would.
  if (!in_avail_dispatch_ || (get_count_ == 0 && max_get_count_ == 0)) {
    const int result = PeekChar(c, 1);
    if (result != 0) return result;
    buffer_tail_ = Wrap(buffer_tail_ + 1);
    dispatch_full_ = false;
    std::lock_guard<std::recursive_mutex> main(main_lock_);
    if (tracing_) AddTraceEntry('R', c);
    return 0;
  }
  return TakeChar(c);
}

void TSerBaseDispatcher::FlushInBuffer() {
  PurgeQueues(1);
  std::scoped_lock locks(dispatch_lock_, main_lock_);
  if (in_avail_dispatch_) {
    // The whole content counts as consumed when the delivery ends.
    max_get_count_ = static_cast<uint32_t>(InBuffUsedLocked());
  } else {
    buffer_tail_ = buffer_head_;
    get_count_ = 0;
    // What was unread is gone: nothing is left to scan or announce.
    data_scan_position_ = buffer_head_;
    bytes_unscanned_ = 0;
  }
  dispatch_full_ = false;
  for (TDataTrigger& t : data_triggers_) {
    t.positions.fill(0);
    t.matched = false;
  }
}

void TSerBaseDispatcher::ReadFromDevice() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  if (dispatch_full_ || !buffers_allocated_) return;
  RefreshComStatus();
  uint32_t waiting;
  {
    std::lock_guard<std::recursive_mutex> out(output_lock_);
    waiting = device_status_.in_queue;
  }
  if (waiting == 0) return;
  const int free = buffer_head_ == buffer_tail_
                       ? kDispatchBufferSize
                       : (buffer_tail_ - buffer_head_ + kDispatchBufferSize) % kDispatchBufferSize;
  const int first = buffer_tail_ <= buffer_head_ ? kDispatchBufferSize - buffer_head_ : free;
  int second =
      std::max(0, std::min(free, static_cast<int>(std::min<uint32_t>(waiting, 1 << 30))) - first);
  auto read = [this](int count) {
    int n = ReadDevice(dispatch_buffer_.data() + buffer_head_, count);
    if (n < 0) n = 0;
    {
      std::lock_guard<std::recursive_mutex> main(main_lock_);
      if (logging_) {
        AddLogEntry(kLogDispatch, kSubReadCom, static_cast<uint32_t>(n),
                    dispatch_buffer_.data() + buffer_head_, static_cast<uint32_t>(n));
      }
    }
    buffer_head_ += n;
    bytes_unscanned_ += n;
    if (n > 0) arrived_since_notify_ = true;
    return n;
  };
  if (first > 0) {
    const int n = read(first);
    if (n < first) second = 0;
    if (buffer_head_ == kDispatchBufferSize) buffer_head_ = 0;
    if (n > 0) dispatch_full_ = buffer_head_ == buffer_tail_;
  }
  if (second > 0) {
    read(second);
    if (buffer_head_ == kDispatchBufferSize) buffer_head_ = 0;
    dispatch_full_ = buffer_head_ == buffer_tail_;
  }
}

// ---------------------------------------------------------------------------------
// Output

int TSerBaseDispatcher::PutBlock(const uint8_t* buffer, int length) {
  if (length == 0) return 0;
  if (length < 0 || !buffer) return ecBadArgument;
  {
    std::lock_guard<std::recursive_mutex> lock(output_lock_);
    if (!buffers_allocated_) return ecPutBlockFail;
    RefreshComStatus();
    const int free = out_size_ - static_cast<int>(device_status_.out_queue);
    if (free < length) return ecOutputBufferTooSmall;
    if (QueueOutput(buffer, length) <= 0) {
      RefreshComStatus();
      return ecPutBlockFail;
    }
    output_sent_ = true;
  }
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (logging_) {
    AddLogEntry(kLogDispatch, kSubWriteCom, static_cast<uint32_t>(length), buffer,
                static_cast<uint32_t>(length));
  }
  if (tracing_) {
    for (int i = 0; i < length; ++i)
      AddTraceEntry('T', buffer[i]);
  }
  return 0;
}

int TSerBaseDispatcher::QueueIntoRing(const uint8_t* buffer, int n) {
  std::lock_guard<std::recursive_mutex> lock(output_lock_);
  if (n <= 0 || n > out_size_ || !buffers_allocated_) return 0;
  const int room = out_size_ - ring_head_;
  if (n > room) {
    std::copy(buffer, buffer + room, out_ring_.begin() + ring_head_);
    std::copy(buffer + room, buffer + n, out_ring_.begin());
    ring_head_ = n - room;
  } else {
    std::copy(buffer, buffer + n, out_ring_.begin() + ring_head_);
    ring_head_ += n;
    if (ring_head_ == out_size_) ring_head_ = 0;
  }
  // Set with the bytes in place, never before.
  if (ring_head_ == ring_tail_) ring_full_ = true;
  return n;
}

uint32_t TSerBaseDispatcher::RingCount() {
  std::lock_guard<std::recursive_mutex> lock(output_lock_);
  if (ring_full_) return static_cast<uint32_t>(out_size_);
  if (ring_tail_ < ring_head_) return static_cast<uint32_t>(ring_head_ - ring_tail_);
  if (ring_head_ < ring_tail_) return static_cast<uint32_t>(out_size_ + ring_head_ - ring_tail_);
  return 0;
}

void TSerBaseDispatcher::EmptyRing() {
  std::lock_guard<std::recursive_mutex> lock(output_lock_);
  ring_head_ = ring_tail_ = 0;
  ring_full_ = false;
  ++ring_epoch_;
}

int TSerBaseDispatcher::OutBuffUsed() {
  std::lock_guard<std::recursive_mutex> lock(output_lock_);
  RefreshComStatus();
  return static_cast<int>(device_status_.out_queue);
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
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
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
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
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
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
  s.in_x = false;
  s.out_x = false;
  return ApplyDeviceState(s);
}

int TSerBaseDispatcher::SetFlowChars(char xon, char xoff) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
  s.xon_char = xon;
  s.xoff_char = xoff;
  return ApplyDeviceState(s);
}

void TSerBaseDispatcher::GetFlowOptions(uint32_t& hw_options, uint32_t& sw_options, char& xon,
                                        char& xoff) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  platform::CommState s;
  if (ReadDcb(s) != 0) s = line_settings_;
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
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  trigger_length_ = length;
  if (logging_)
    AddLogEntry(kLogTriggerDataChange, kSubAvailLength, static_cast<uint32_t>(length), nullptr, 0);
}

int32_t TSerBaseDispatcher::TriggerLength() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  return trigger_length_;
}

void TSerBaseDispatcher::ClearAllTriggers() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  timer_triggers_.clear();
  data_triggers_.clear();
  status_triggers_.clear();
}

void TSerBaseDispatcher::SaveTriggers(TSavedTriggers& saved) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  FreeSavedTriggers(saved);
  saved.trigger_length = trigger_length_;
  saved.timers = timer_triggers_;
  saved.data = data_triggers_;
  saved.status = status_triggers_;
}

void TSerBaseDispatcher::RestoreTriggers(const TSavedTriggers& saved) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  trigger_length_ = saved.trigger_length;
  timer_triggers_ = saved.timers;
  data_triggers_ = saved.data;
  status_triggers_ = saved.status;
}

void TSerBaseDispatcher::FreeSavedTriggers(TSavedTriggers& saved) {
  saved = TSavedTriggers{};
}

void TSerBaseDispatcher::AnnouncePending() {
  {
    std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
    arrived_since_notify_ = true;
    notify_position_ = -1;
  }
  if (event_arrived_) event_arrived_->Set();
}

bool TSerBaseDispatcher::MatchDataTrigger(TDataTrigger& t, uint8_t byte) {
  if (t.length <= 0 || t.length > kMaxTriggerString) return false;
  const char c = t.ignore_case ? static_cast<char>(std::toupper(byte)) : static_cast<char>(byte);
  const auto done = [&t] {
    t.positions.fill(0);
    t.matched = true;
    return true;
  };
  // Follow every partial match that the byte continues; drop the others.
  for (int i = 0; i < t.length; ++i) {
    int32_t& p = t.positions[static_cast<size_t>(i)];
    if (p <= 0) continue;
    if (t.text[static_cast<size_t>(p)] == c) {
      if (++p == t.length) return done();
    } else {
      p = 0;
    }
  }
  // A byte equal to the first character begins a new one beside them.
  if (t.text[0] == c) {
    if (t.length == 1) return done();
    for (int i = 0; i < t.length; ++i) {
      if (t.positions[static_cast<size_t>(i)] == 0) {
        t.positions[static_cast<size_t>(i)] = 1;
        break;
      }
    }
  }
  return false;
}

bool TSerBaseDispatcher::CheckDataTriggers() {
  struct Matched {
    int32_t handle;
    int32_t length;
  };
  std::vector<Matched> matched;
  bool avail = false;
  uint32_t count = 0;
  // A handler still running holds the delivery: these bytes wait for its end.
  if (dispatching_) return false;
  {
    std::scoped_lock locks(dispatch_lock_, main_lock_);
    if (!buffers_allocated_) return false;
    if (data_triggers_.empty()) {
      data_scan_position_ = buffer_head_;
      bytes_unscanned_ = 0;
    }
    while (bytes_unscanned_ > 0) {
      const int position = data_scan_position_;
      const uint8_t byte = dispatch_buffer_[static_cast<size_t>(position)];
      int32_t longest = 0;
      for (TDataTrigger& t : data_triggers_) {
        if (MatchDataTrigger(t, byte)) longest = std::max(longest, t.length);
      }
      data_scan_position_ = Wrap(position + 1);
      --bytes_unscanned_;
      if (longest == 0) continue;
      // Unread bytes up to and with this one, less the matched string.
      const int unread_here =
          (position - buffer_tail_ + kDispatchBufferSize) % kDispatchBufferSize + 1;
      const int before = unread_here - longest;
      if (trigger_length_ != 0 && position != notify_position_ && before >= trigger_length_) {
        avail = true;
        count = static_cast<uint32_t>(before);
        notify_position_ = position;
      }
      for (auto t = data_triggers_.rbegin(); t != data_triggers_.rend(); ++t) {
        if (!t->matched) continue;
        t->matched = false;
        matched.push_back({t->handle, t->length});
      }
      break;
    }
    if (matched.empty()) {
      const int used = InBuffUsedLocked();
      if (trigger_length_ != 0 && arrived_since_notify_ && used >= trigger_length_) {
        avail = true;
        count = static_cast<uint32_t>(used);
        notify_position_ = buffer_head_;
        arrived_since_notify_ = false;
      }
    }
    if (avail && logging_) AddLogEntry(kLogTrigger, kSubAvail, count, nullptr, 0);
  }
  bool result = false;
  if (avail) result = DispatchEvent(kMsgTriggerAvail, count, 0);
  for (const Matched& m : matched) {
    if (close_requested_ || dispatching_) return false;
    {
      std::lock_guard<std::recursive_mutex> lock(main_lock_);
      if (logging_) AddLogEntry(kLogTrigger, kSubData, static_cast<uint32_t>(m.handle), nullptr, 0);
    }
    result = DispatchEvent(kMsgTriggerData, static_cast<uint32_t>(m.handle),
                           static_cast<uint32_t>(m.length));
  }
  return result;
}

bool TSerBaseDispatcher::CheckStatusTriggers() {
  int32_t handle = 0;
  uint32_t count = 0;
  if (dispatching_) return false;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    TStatusTrigger* fire = nullptr;
    for (TStatusTrigger& t : status_triggers_) {
      if (!t.armed || t.fired) continue;
      bool hit = false;
      switch (t.kind) {
        case kStatusModem:
          hit = (((modem_status_ & 0xFF) ^ (t.value & 0xFF)) & (t.value >> 8)) != 0;
          break;
        case kStatusLine:
          count = t.value & pending_line_errors_;
          hit = count != 0;
          break;
        case kStatusOutFree: {
          const int free = OutBuffFree();
          hit = free >= t.value;
          count = static_cast<uint32_t>(free);
          break;
        }
        case kStatusOutUsed: {
          const int used = OutBuffUsed();
          hit = used <= t.value;
          count = static_cast<uint32_t>(used);
          break;
        }
        case kStatusOutSent:
          hit = output_sent_.exchange(false);
          count = 0;
          break;
        default:
          break;
      }
      if (hit) {
        fire = &t;
        break;
      }
      count = 0;
    }
    if (!fire) return false;
    fire->armed = false;
    fire->fired = true;
    status_hit_ = true;
    handle = fire->handle;
    if (logging_) AddLogEntry(kLogTrigger, kSubStatus, static_cast<uint32_t>(handle), nullptr, 0);
  }
  return DispatchEvent(kMsgTriggerStatus, static_cast<uint32_t>(handle), count);
}

bool TSerBaseDispatcher::CheckTimerTriggers() {
  int32_t handle = 0;
  if (dispatching_) return false;
  {
    std::lock_guard<std::recursive_mutex> lock(main_lock_);
    auto t = std::find_if(timer_triggers_.begin(), timer_triggers_.end(),
                          [](const TTimerTrigger& t) { return t.active && TimerExpired(t.timer); });
    if (t == timer_triggers_.end()) return false;
    t->active = false;
    handle = t->handle;
    if (logging_) AddLogEntry(kLogTrigger, kSubTimer, static_cast<uint32_t>(handle), nullptr, 0);
  }
  return DispatchEvent(kMsgTriggerTimer, static_cast<uint32_t>(handle), 0);
}

void TSerBaseDispatcher::ResetStatusTriggers() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  for (TStatusTrigger& t : status_triggers_)
    t.fired = false;
  status_hit_ = false;
}

void TSerBaseDispatcher::SetOptionFlags(uint32_t bits) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  option_flags_ |= bits;
}

void TSerBaseDispatcher::ClearOptionFlags(uint32_t bits) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  option_flags_ &= ~bits;
}

uint32_t TSerBaseDispatcher::OptionFlags() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  return option_flags_;
}

void TSerBaseDispatcher::SetRS485Mode(bool on) {
  // Linux, like Windows NT, switches RTS for each transmission in the driver (RTS
  // toggle in the line settings); the output thread has nothing to do by hand.
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  rs485_mode_ = on;
}

int TSerBaseDispatcher::BufferHead() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  return buffer_head_;
}

int TSerBaseDispatcher::BufferTail() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  return buffer_tail_;
}

bool TSerBaseDispatcher::BufferFull() {
  std::lock_guard<std::recursive_mutex> lock(dispatch_lock_);
  return dispatch_full_;
}
