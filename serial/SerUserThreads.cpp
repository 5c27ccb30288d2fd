// TSerBaseDispatcher: the worker threads, their handshakes, and the delivery of
// trigger messages to the handlers.
#include <algorithm>
#include <cstdio>

#include "platform/exception.h"
#include "serial/SerUser.h"

namespace {

// The device events the comm thread waits for: received character, CTS, DSR,
// carrier detect, break, line error, ring.
constexpr uint32_t kCommEventMask = 0x1F9;
constexpr uint32_t kModemEvents = 0x2138;
constexpr uint8_t kLogHandlerAdded = 7;
constexpr uint8_t kLogHandlerRemoved = 8;
constexpr uint8_t kSubWindow = 17;
// How long the start waits for each thread to say it runs; one that is later is not
// waited for (the open goes on).
constexpr int kThreadStartWaitMs = 3000;

enum Thread { kCommThread, kDispatchThread, kOutputThread };

template <typename List>
void EraseDeleted(List& list) {
  list.erase(std::remove_if(list.begin(), list.end(), [](const auto& h) { return h.deleted; }),
             list.end());
}

}  // namespace

// ---------------------------------------------------------------------------------
// Handlers

void TSerBaseDispatcher::RegisterWindowHandler(TSerTriggerWindow* window) {
  TSerMutexLock lock(main_lock_);
  window_handlers_.push_back({window, false});
  handler_service_needed_ = true;
  if (log_.On()) {
    AddLogEntryLocked(kLogHandlerAdded, kSubWindow,
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), nullptr, 0);
  }
}

void TSerBaseDispatcher::DeregisterWindowHandler(TSerTriggerWindow* window) {
  TSerMutexLock lock(main_lock_);
  auto found = std::find_if(window_handlers_.begin(), window_handlers_.end(),
                            [window](const WindowHandler& h) { return h.window == window; });
  if (found != window_handlers_.end()) {
    if (dispatching_) {
      found->deleted = true;
      handlers_removed_ = true;
    } else {
      window_handlers_.erase(found);
    }
    if (log_.On()) {
      AddLogEntryLocked(kLogHandlerRemoved, kSubWindow,
                        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), nullptr, 0);
    }
  }
  UpdateHandlerFlagsLocked(0);
}

void TSerBaseDispatcher::RegisterProcHandler(TProcTriggerHandler handler) {
  TSerMutexLock lock(main_lock_);
  proc_handlers_.push_back({std::move(handler), false});
  handler_service_needed_ = true;
}

void TSerBaseDispatcher::RegisterEventHandler(TEventTriggerHandler handler, void* user,
                                              bool run_on_main_thread) {
  TSerMutexLock lock(main_lock_);
  event_handlers_.push_back({std::move(handler), user, false, run_on_main_thread});
  handler_service_needed_ = true;
}

bool TSerBaseDispatcher::BeginHandler(uint64_t delivery) {
  TSerMutexLock lock(in_.mutex());
  if (delivery == 0 || current_delivery_ != delivery || !handler_accepting_) return false;
  handler_began_ = true;
  handler_running_ = true;
  return true;
}

void TSerBaseDispatcher::EndHandler(uint64_t delivery) {
  bool finished = false;
  {
    TSerMutexLock in(in_.mutex());
    TSerMutexLock main(main_lock_);
    if (delivery == 0 || current_delivery_ != delivery || !handler_running_) return;
    handler_running_ = false;
    if (delivery_detached_) {
      // The dispatch thread went on without this handler: its reads end the
      // delivery here, and the next round announces what came meanwhile.
      in_.EndHandler();
      FinishDelivery(close_requested_);
      finished = true;
    }
  }
  if (finished && event_arrived_) event_arrived_->Set();
}

// ---------------------------------------------------------------------------------
// Delivery

bool TSerBaseDispatcher::DispatchEvent(uint16_t msg, uint32_t first, uint32_t extra) {
  if (!handler_service_needed_) return true;
  TDelivery delivery;
  delivery.msg = msg;
  delivery.first = first;
  delivery.second = (static_cast<uint32_t>(port_handle_) << 16) + extra;
  if (!BeginDelivery(delivery)) return false;
  DeliverToEventHandlers(delivery);
  if (!delivery.stopped) DeliverToProcHandlers(delivery);
  if (!delivery.stopped && !delivery.detached) DeliverToWindowHandlers(delivery);
  // Left to the running handler: the handlers after it do not get this message
  // (an avail is announced again with every unread byte once it returns).
  if (delivery.detached) return false;
  TSerMutexLock in(in_.mutex());
  TSerMutexLock main(main_lock_);
  return FinishDelivery(delivery.stopped);
}

bool TSerBaseDispatcher::BeginDelivery(TDelivery& delivery) {
  TSerMutexLock in(in_.mutex());
  TSerMutexLock main(main_lock_);
  if (dispatching_) return false;
  dispatching_ = true;
  in_.BeginDelivery(delivery.msg == kMsgTriggerAvail || delivery.msg == kMsgTriggerData);
  delivery.id = ++delivery_counter_;
  current_delivery_ = delivery.id;
  delivery_detached_ = false;
  delivery_msg_ = delivery.msg;
  delivery_first_ = delivery.first;
  delivery_withdrawn_ = false;
  return true;
}

bool TSerBaseDispatcher::RunHandler(TDelivery& delivery,
                                    const std::function<TDeliveryOutcome()>& call) {
  {
    TSerMutexLock lock(in_.mutex());
    in_.BeginHandler();
    handler_accepting_ = true;
    handler_began_ = handler_running_ = false;
  }
  const TDeliveryOutcome outcome = call();
  TSerMutexLock lock(in_.mutex());
  handler_accepting_ = false;
  if (outcome == TDeliveryOutcome::kStillRunning) {
    if (handler_running_) {
      // The handler goes on, reading at the tail with its get count while this
      // thread goes back to the device; EndHandler finishes the delivery.
      delivery_detached_ = true;
      delivery.detached = true;
      return false;
    }
    // It ended just now, or never got past its start: as withdrawn then.
    if (!handler_began_) delivery_withdrawn_ = true;
  } else if (outcome == TDeliveryOutcome::kWithdrawn) {
    delivery_withdrawn_ = true;
  }
  if (close_requested_) {
    delivery.stopped = true;
    return false;
  }
  in_.EndHandler();
  return true;
}

// The handler lists are copied out one entry at a time under the main lock, so that
// a handler may register or deregister others while it runs.

void TSerBaseDispatcher::DeliverToEventHandlers(TDelivery& delivery) {
  for (size_t i = 0;; ++i) {
    EventHandler h;
    {
      TSerMutexLock lock(main_lock_);
      if (i >= event_handlers_.size()) return;
      h = event_handlers_[i];
    }
    const bool went_on = RunHandler(delivery, [&] {
      if (h.deleted) return TDeliveryOutcome::kDone;
      auto call = [&] { h.routine(h.user, delivery.msg, delivery.first, delivery.second); };
      if (h.run_on_main_thread) {
        SyncCall(call);
      } else {
        call();
      }
      return TDeliveryOutcome::kDone;
    });
    if (!went_on) return;
  }
}

void TSerBaseDispatcher::DeliverToProcHandlers(TDelivery& delivery) {
  for (size_t i = 0;; ++i) {
    ProcHandler h;
    {
      TSerMutexLock lock(main_lock_);
      if (i >= proc_handlers_.size()) return;
      h = proc_handlers_[i];
    }
    const bool went_on = RunHandler(delivery, [&] {
      if (!h.deleted && h.routine) h.routine(delivery.msg, delivery.first, delivery.second);
      return TDeliveryOutcome::kDone;
    });
    if (!went_on) return;
  }
}

void TSerBaseDispatcher::DeliverToWindowHandlers(TDelivery& delivery) {
  {
    TSerMutexLock lock(main_lock_);
    if (window_handlers_.size() <= 1 && !port_handler_installed_) return;
  }
  for (size_t i = 0;; ++i) {
    WindowHandler h;
    {
      TSerMutexLock lock(main_lock_);
      if (i >= window_handlers_.size()) return;
      h = window_handlers_[i];
    }
    const bool went_on = RunHandler(delivery, [&] {
      if (h.deleted) return TDeliveryOutcome::kDone;
      return h.window->SendTriggerMessage(delivery.msg, delivery.first, delivery.second,
                                          generation_, delivery.id);
    });
    if (!went_on) return;
  }
}

bool TSerBaseDispatcher::FinishDelivery(bool stopped) {
  const uint16_t msg = delivery_msg_;
  bool result = !stopped && !delivery_detached_;
  const uint32_t taken = in_.EndDelivery(!stopped);
  if (!stopped && msg == kMsgTriggerAvail) {
    if (taken != delivery_first_) result = false;
    // A message withdrawn unread (the user-interface thread was held up past the
    // time-out) is announced again in the next round rather than lost.
    if (delivery_withdrawn_) in_.ArrivedAgain();
  }
  current_delivery_ = 0;
  delivery_detached_ = false;
  handler_accepting_ = handler_began_ = handler_running_ = false;
  dispatching_ = false;
  if (handlers_removed_) {
    EraseDeleted(event_handlers_);
    EraseDeleted(proc_handlers_);
    EraseDeleted(window_handlers_);
    handlers_removed_ = false;
    UpdateHandlerFlagsLocked(0);
  }
  return result;
}

// ---------------------------------------------------------------------------------
// Rounds of the dispatch thread

bool TSerBaseDispatcher::StatusHit() {
  TSerMutexLock lock(main_lock_);
  return status_hit_;
}

void TSerBaseDispatcher::ProcessComEvent() {
  const uint32_t mask = event_mask_;
  auto status_loop = [this] {
    while (CheckStatusTriggers()) {
      if (close_requested_) return false;
    }
    return true;
  };
  if (mask & kModemEvents) {
    RefreshModemDeltas();
    if (!dispatching_ && !status_loop()) return;
    if (StatusHit()) ResetStatusTriggers();
  }
  if ((mask & 0xFF) >= 64) {
    RefreshComStatus();
    if (!dispatching_ && !status_loop()) return;
  }
  ReadFromDevice();
  if (!dispatching_) {
    if (!status_loop()) return;
    while (CheckDataTriggers()) {
      if (close_requested_) return;
    }
  }
  if (StatusHit()) ResetStatusTriggers();
  if (event_handled_) event_handled_->Set();
}

void TSerBaseDispatcher::ProcessStatusAndTimers() {
  if (close_requested_ || dispatching_) return;
  {
    TSerMutexLock lock(main_lock_);
    status_hit_ = false;
  }
  while (!close_requested_ && (CheckStatusTriggers() || CheckTimerTriggers())) {
  }
  if (StatusHit()) ResetStatusTriggers();
}

// ---------------------------------------------------------------------------------
// Output

void TSerBaseDispatcher::WriteOutRingToDevice() {
  std::vector<uint8_t> block;
  for (;;) {
    uint64_t epoch;
    {
      TSerMutexLock lock(out_.mutex());
      // One write covers everything waiting: a wrapped ring is taken in two pieces.
      if (!out_.TakeBlock(block, epoch)) return;
    }
    int error = 0;
    const int written = WriteBlock(block.data(), static_cast<int>(block.size()), &error);
    {
      TSerMutexLock lock(out_.mutex());
      // A failed write drops the block; a stopped one keeps what was not written.
      int advance = written;
      if (error != 0 && error != platform::kErrorOperationAborted) {
        advance = static_cast<int>(block.size());
      }
      // A purge emptied the ring meanwhile: what was written is no longer in it.
      if (!out_.Advance(epoch, advance)) {
        if (kill_threads_) return;
        continue;
      }
    }
    if (kill_threads_ || close_requested_) return;
  }
}

// ---------------------------------------------------------------------------------
// Threads

void TSerBaseDispatcher::ThreadStarted() {
  ++live_threads_;
}

void TSerBaseDispatcher::SetThreadFailureHandler(std::function<void(std::exception_ptr)> handler) {
  TSerMutexLock lock(main_lock_);
  thread_failure_handler_ = std::move(handler);
}

void TSerBaseDispatcher::ThreadEndedBy(std::exception_ptr error) {
  // First the port turns deaf, so that whoever hears of the failure finds it so.
  thread_failed_ = true;
  std::function<void(std::exception_ptr)> handler;
  {
    TSerMutexLock lock(main_lock_);
    handler = thread_failure_handler_;
  }
  if (handler) {
    handler(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Serial worker thread: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Serial worker thread: unknown exception\n");
  }
}

void TSerBaseDispatcher::AbandonDelivery() {
  TSerMutexLock in(in_.mutex());
  TSerMutexLock main(main_lock_);
  if (!dispatching_ || delivery_detached_) return;
  in_.EndHandler();
  FinishDelivery(false);
}

void TSerBaseDispatcher::ThreadDone(int which) {
  std::function<void()> exit_handler;
  if (which == kDispatchThread && close_requested_) {
    TSerMutexLock lock(main_lock_);
    exit_handler = dispatch_exit_handler_;
  }
  --live_threads_;
  // The owner frees the dispatcher once it hears of this: nothing of it is touched
  // afterwards.
  if (exit_handler) exit_handler();
}

void TSerBaseDispatcher::ComThreadMain() {
  ThreadStarted();
  try {
    SetDeviceEventMask(kCommEventMask);
    acknowledge_->Set();
    while (!kill_threads_) {
      uint32_t mask = 0;
      if (!WaitDeviceEvent(mask)) {
        // The device failed or went away: the dispatch thread's rounds go on.
        acknowledge_->Set();
        break;
      }
      if (mask & (0x2000 | 0x100)) ring_seen_ = true;
      event_mask_ = mask;
      if (kill_threads_) {
        acknowledge_->Set();
        break;
      }
      // Only the answer to this event counts: a round that ended on its own time-out
      // has left its signal behind.
      // (The kill is checked too: the stop's signal may have come before the reset.)
      event_handled_->Reset();
      event_arrived_->Set();
      while (!event_handled_->Wait(100) && !kill_threads_) {
      }
    }
  } catch (...) {
    acknowledge_->Set();
    ThreadEndedBy(std::current_exception());
  }
  ThreadDone(kCommThread);
}

void TSerBaseDispatcher::DispThreadMain() {
  ThreadStarted();
  acknowledge_->Set();
  try {
    while (!kill_threads_ && !close_requested_) {
      event_arrived_->Wait(50);
      if (kill_threads_ || close_requested_) break;
      ProcessComEvent();
      ProcessStatusAndTimers();
    }
  } catch (...) {
    AbandonDelivery();
    ThreadEndedBy(std::current_exception());
  }
  acknowledge_->Set();
  ThreadDone(kDispatchThread);
}

void TSerBaseDispatcher::OutThreadMain() {
  ThreadStarted();
  acknowledge_->Set();
  try {
    while (!kill_threads_ && !close_requested_) {
      const int which = platform::CommEvent::WaitAny({output_ready_.get(), stop_output_.get()}, -1);
      if (kill_threads_) break;
      // A stop without kill came from a purge, which empties the ring itself.
      if (which == 0) WriteOutRingToDevice();
    }
  } catch (...) {
    ThreadEndedBy(std::current_exception());
  }
  ThreadDone(kOutputThread);
}

void TSerBaseDispatcher::StartWorkerThreads() {
  if (threads_started_) throw Exception("Dispatcher already started");
  threads_started_ = true;
  kill_threads_ = false;
  comm_thread_ = std::thread([this] { ComThreadMain(); });
  acknowledge_->Wait(kThreadStartWaitMs);
  disp_thread_ = std::thread([this] { DispThreadMain(); });
  acknowledge_->Wait(kThreadStartWaitMs);
  out_thread_ = std::thread([this] { OutThreadMain(); });
  acknowledge_->Wait(kThreadStartWaitMs);
}

void TSerBaseDispatcher::StopWorkerThreads() {
  if (!comm_thread_.joinable() && !disp_thread_.joinable() && !out_thread_.joinable()) {
    threads_started_ = false;
    return;
  }
  kill_threads_ = true;
  SetDeviceEventMask(0);  // ends the comm thread's wait
  if (stop_output_) stop_output_->Set();
  if (event_handled_) event_handled_->Set();
  if (event_arrived_) event_arrived_->Set();
  if (out_thread_.joinable()) out_thread_.join();
  if (comm_thread_.joinable()) comm_thread_.join();
  // The dispatch thread may be waiting for this thread in a delivery: withdraw it
  // until the thread has seen the kill flag and ended.
  while (live_threads_ > 0) {
    std::vector<TSerTriggerWindow*> windows;
    {
      TSerMutexLock lock(main_lock_);
      for (const WindowHandler& h : window_handlers_)
        windows.push_back(h.window);
    }
    for (TSerTriggerWindow* w : windows)
      w->CancelPendingDeliveries();
    if (event_arrived_) event_arrived_->Set();
    if (acknowledge_) acknowledge_->Wait(10);
  }
  if (disp_thread_.joinable()) disp_thread_.join();
  threads_started_ = false;
}
