// The window timer component (SetTimer's rules):
// - Enabled (default true) and Interval (ms, default 1000); OnTimer runs every
//   Interval while enabled, through the application-wide exception hook;
// - enabling a running timer does not restart it; setting a different interval
//   restarts it, the same interval changes nothing; an interval of 0 never fires;
// - while the component is being loaded from its form resource nothing starts; it
//   starts in Loaded with the values read.
// Timers run on Qt's event loop, measured on the monotonic clock. Tests put a
// FakeTimerClock in place (ScopedFakeTimers), whose Advance fires due timers in
// time order without waiting.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/monotonic_clock.h"
#include "platform/qt/component.h"

namespace platform::qt {

class TTimer;

// A clock that tests advance by hand; timers started while it is in place run on it,
// and so can the intervals of code that takes a MonotonicClock.
class FakeTimerClock : public MonotonicClock {
 public:
  int64_t Now() const override { return now_; }
  // Moves the clock by Ms, firing every timer that falls due on the way, in time
  // order (a timer due several times fires several times).
  void Advance(int64_t ms);
  bool IsArmed(const TTimer* timer) const;

 private:
  friend class TTimer;
  void Arm(TTimer* timer, int64_t interval);
  void Disarm(TTimer* timer);

  int64_t now_ = 0;
  std::map<TTimer*, int64_t> due_;  // the time each armed timer fires next
  std::map<TTimer*, int64_t> interval_;
};

class ScopedFakeTimers {
 public:
  ScopedFakeTimers();
  ~ScopedFakeTimers();
  ScopedFakeTimers(const ScopedFakeTimers&) = delete;
  ScopedFakeTimers& operator=(const ScopedFakeTimers&) = delete;
  FakeTimerClock& clock() { return clock_; }
  FakeTimerClock* operator->() { return &clock_; }

 private:
  FakeTimerClock clock_;
  FakeTimerClock* previous_;
};

class TTimer : public QObject, public TComponentBase {
  Q_OBJECT

 public:
  TTimer(TForm* owner, std::string name);
  ~TTimer() override;

  std::string FormClassName() const override { return "TTimer"; }
  void DefineProperties(PropertyList& list) override;
  void BeginLoading() override;
  void Loaded() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t interval);
  TNotifyEvent OnTimer;

  // Whether the timer is counting now (enabled, an interval above 0, a handler).
  bool Running() const;

 private:
  friend class FakeTimerClock;
  void UpdateTimer();
  void Fire();

  bool enabled_ = true;
  uint32_t interval_ = 1000;
  QTimer timer_;
  FakeTimerClock* fake_ = nullptr;  // the clock it is armed on, if fake
};

}  // namespace platform::qt
