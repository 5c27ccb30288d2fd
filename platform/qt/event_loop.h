// The glue between the program's threads and Qt's event loop, in place of the
// window messages of the desktop the system was first written for.
//
// A posted message becomes a call queued on the receiving object's thread; a
// message sent from a worker thread with a time-out becomes a queued call that the
// sender waits for, at most that long when it asks not to wait for a call that has
// started (see SendCall). Every call, and every event handler of the
// programs, runs through RunGuarded, so that an exception never leaves a Qt slot:
// it reaches the application-wide exception hook instead (the programs show it in
// their error line).
#pragma once

#include <chrono>
#include <exception>
#include <functional>

class QObject;

namespace platform {

using ExceptionHook = std::function<void(const std::exception&)>;

// Installs the application-wide exception hook (an empty hook: report on stderr).
void SetExceptionHook(ExceptionHook hook);

// Runs Fn; an exception it raises goes to the hook (a non-standard one as
// "Unknown exception"). An exception raised by the hook itself is reported on
// stderr and dropped.
void RunGuarded(const std::function<void()>& fn) noexcept;

// Hands an exception caught elsewhere to the hook, as RunGuarded does. The hook
// runs on the user-interface thread (the application's), as the programs' hooks
// touch their windows: called there, at once; called on another thread while an
// application exists, later, posted to it. A posted report carries the exception
// itself when it is the one being handled (ReportException inside its catch), else
// an Exception with its message. Without an application the hook runs on the
// calling thread.
void ReportException(const std::exception& error) noexcept;

// A posted message: Fn runs later on Receiver's thread, through RunGuarded. It is
// dropped when the receiver is destroyed first, or withdrawn by CancelPendingCalls.
void PostCall(QObject* receiver, std::function<void()> fn);

enum class SendResult {
  kDone,          // Fn ran to its end (an exception in it went to the hook)
  kTimedOut,      // Fn had not started when the time-out passed; it never runs
  kCancelled,     // CancelPendingCalls withdrew it before it started
  kReceiverGone,  // the receiver was destroyed before Fn started
  kStillRunning,  // Fn started and had not ended when the time-out passed (only
                  // with StartedCall::kReturn); it runs on to its end
};

// What SendCall does with a call that has started when the time-out passes.
enum class StartedCall {
  kWaitForEnd,  // waits until it ends, however long that is
  kReturn,      // returns kStillRunning; Fn must then own everything it uses
};

// A message sent with a time-out, from any thread: Fn is queued on Receiver's
// thread and the caller waits. A call that has not started when the time-out
// passes is withdrawn, so a late delivery can never run after its sender gave up.
// A call that has started is waited for until it ends, or, with kReturn, until the
// time-out (counted from the send) passes. On the receiver's own thread Fn runs at
// once.
SendResult SendCall(QObject* receiver, std::function<void()> fn, std::chrono::milliseconds timeout,
                    StartedCall started = StartedCall::kWaitForEnd);

// Withdraws every queued call to Receiver that has not started, and wakes the
// senders waiting for them. For a thread that must join workers which may be
// waiting on it in SendCall.
void CancelPendingCalls(QObject* receiver);

}  // namespace platform
