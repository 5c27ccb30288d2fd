#include "platform/qt/event_loop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/exception.h"

namespace platform {
namespace {

std::mutex hook_mutex;
ExceptionHook& Hook() {
  static ExceptionHook hook;
  return hook;
}

// The life of one queued call. The state moves once from kPending to one of the
// others (and from kRunning to kFinished); the sender waits on it.
struct CallState {
  enum Stage { kPending, kRunning, kFinished, kWithdrawn, kTimedOut, kGone };
  std::mutex mutex;
  std::condition_variable changed;
  Stage stage = kPending;
  std::function<void()> fn;

  // Moves kPending to Next; false when the call has left kPending already.
  bool Leave(Stage next) {
    std::lock_guard lock(mutex);
    if (stage != kPending) return false;
    stage = next;
    // A start wakes no one: the sender waits for the end (or its time-out) anyway,
    // and waking it here would cost the receiving thread, before it runs the call.
    if (next != kRunning) changed.notify_all();
    return true;
  }
};

// Calls that may still be withdrawn, by receiver. Entries that have left
// kPending are pruned whenever the receiver gets a new call or is cancelled.
std::mutex pending_mutex;
std::map<const QObject*, std::vector<std::weak_ptr<CallState>>>& Pending() {
  static std::map<const QObject*, std::vector<std::weak_ptr<CallState>>> pending;
  return pending;
}

void Prune(std::vector<std::weak_ptr<CallState>>& calls) {
  std::erase_if(calls, [](const std::weak_ptr<CallState>& weak) {
    auto call = weak.lock();
    if (!call) return true;
    std::lock_guard lock(call->mutex);
    return call->stage != CallState::kPending;
  });
}

void Register(QObject* receiver, const std::shared_ptr<CallState>& call) {
  std::lock_guard lock(pending_mutex);
  auto [it, inserted] = Pending().try_emplace(receiver);
  if (inserted) {
    // The entry goes with its receiver; queued calls are then dropped by Qt.
    QObject::connect(receiver, &QObject::destroyed, [receiver] {
      std::lock_guard lock(pending_mutex);
      Pending().erase(receiver);
    });
  }
  Prune(it->second);
  it->second.push_back(call);
}

// Travels inside the queued event. When Qt drops the event unrun (its receiver
// was destroyed), the last copy's destructor tells the sender.
class Ticket {
 public:
  explicit Ticket(std::shared_ptr<CallState> call) : call_(std::move(call)) {}
  Ticket(const Ticket&) = delete;
  Ticket& operator=(const Ticket&) = delete;
  ~Ticket() { call_->Leave(CallState::kGone); }

  void Run() {
    if (!call_->Leave(CallState::kRunning)) return;
    RunGuarded(call_->fn);
    std::lock_guard lock(call_->mutex);
    call_->fn = nullptr;
    call_->stage = CallState::kFinished;
    call_->changed.notify_all();
  }

 private:
  std::shared_ptr<CallState> call_;
};

// Qt hands a queued call to the receiver's thread under its own locks, which
// thread checkers cannot see. Every handover therefore also passes this lock: the
// sender holds it while it posts, and the receiving side takes it before it
// touches what the sender built. Recursive, since the sender's copies of the
// carrier are destroyed inside the post.
std::recursive_mutex handoff_mutex;

// The functor that Qt queues. It carries the ticket across threads.
class Carrier {
 public:
  explicit Carrier(std::shared_ptr<Ticket> ticket) : ticket_(std::move(ticket)) {}
  Carrier(const Carrier&) = default;
  Carrier& operator=(const Carrier&) = delete;
  ~Carrier() {
    std::lock_guard lock(handoff_mutex);
    ticket_.reset();
  }

  void operator()() {
    std::shared_ptr<Ticket> ticket;
    {
      std::lock_guard lock(handoff_mutex);
      ticket = ticket_;
    }
    ticket->Run();
  }

 private:
  std::shared_ptr<Ticket> ticket_;
};

std::shared_ptr<CallState> Queue(QObject* receiver, std::function<void()> fn) {
  auto call = std::make_shared<CallState>();
  call->fn = std::move(fn);
  Register(receiver, call);
  std::lock_guard lock(handoff_mutex);
  QMetaObject::invokeMethod(receiver, Carrier(std::make_shared<Ticket>(call)),
                            Qt::QueuedConnection);
  return call;
}

}  // namespace

void SetExceptionHook(ExceptionHook hook) {
  std::lock_guard lock(hook_mutex);
  Hook() = std::move(hook);
}

namespace {

void CallHook(const std::exception& error) noexcept {
  ExceptionHook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = Hook();
  }
  try {
    if (hook) {
      hook(error);
      return;
    }
  } catch (const std::exception& nested) {
    std::fprintf(stderr, "exception in the exception hook: %s\n", nested.what());
  } catch (...) {
    std::fprintf(stderr, "unknown exception in the exception hook\n");
  }
  std::fprintf(stderr, "%s\n", error.what());
}

// Error as an exception pointer that outlives the caller's frame: the exception
// being handled when it is Error, else a copy of its message.
std::exception_ptr Held(const std::exception& error) {
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& handled) {
      if (&handled == &error) return current;
    } catch (...) {
    }
  }
  return std::make_exception_ptr(Exception(error.what()));
}

}  // namespace

void ReportException(const std::exception& error) noexcept {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && app->thread() != QThread::currentThread()) {
    try {
      // Raised again inside the posted call, where RunGuarded hands it to the hook.
      PostCall(app, [held = Held(error)] { std::rethrow_exception(held); });
      return;
    } catch (...) {
      // Out of memory for the post: the hook cannot run here, only stderr is safe.
      std::fprintf(stderr, "%s\n", error.what());
      return;
    }
  }
  CallHook(error);
}

void RunGuarded(const std::function<void()>& fn) noexcept {
  try {
    if (fn) fn();
  } catch (const std::exception& error) {
    ReportException(error);
  } catch (...) {
    ReportException(Exception("Unknown exception"));
  }
}

void PostCall(QObject* receiver, std::function<void()> fn) {
  if (!receiver) return;
  Queue(receiver, std::move(fn));
}

SendResult SendCall(QObject* receiver, std::function<void()> fn, std::chrono::milliseconds timeout,
                    StartedCall started) {
  if (!receiver) return SendResult::kReceiverGone;
  if (receiver->thread() == QThread::currentThread()) {
    RunGuarded(fn);
    return SendResult::kDone;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto call = Queue(receiver, std::move(fn));
  std::unique_lock lock(call->mutex);
  auto not_pending = [&] { return call->stage != CallState::kPending; };
  if (!call->changed.wait_until(lock, deadline, not_pending)) {
    // Still queued: withdraw it, so that it cannot run after the sender gave up.
    call->stage = CallState::kTimedOut;
    call->fn = nullptr;
    return SendResult::kTimedOut;
  }
  auto not_running = [&] { return call->stage != CallState::kRunning; };
  if (started == StartedCall::kReturn) {
    // The call owns its function (the ticket keeps the state alive), so it may run
    // on after the sender has gone.
    if (!call->changed.wait_until(lock, deadline, not_running)) return SendResult::kStillRunning;
  } else {
    call->changed.wait(lock, not_running);
  }
  switch (call->stage) {
    case CallState::kWithdrawn:
      return SendResult::kCancelled;
    case CallState::kGone:
      return SendResult::kReceiverGone;
    default:
      return SendResult::kDone;
  }
}

void CancelPendingCalls(QObject* receiver) {
  std::vector<std::weak_ptr<CallState>> calls;
  {
    std::lock_guard lock(pending_mutex);
    auto it = Pending().find(receiver);
    if (it == Pending().end()) return;
    calls.swap(it->second);
  }
  for (auto& weak : calls) {
    if (auto call = weak.lock()) call->Leave(CallState::kWithdrawn);
  }
}

}  // namespace platform
