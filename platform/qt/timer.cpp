#include "platform/qt/timer.h"

#include <limits>

#include "platform/qt/event_loop.h"

namespace platform::qt {
namespace {

FakeTimerClock*& Fake() {
  static FakeTimerClock* fake = nullptr;
  return fake;
}

}  // namespace

void FakeTimerClock::Advance(int64_t ms) {
  const int64_t end = now_ + ms;
  while (true) {
    TTimer* next = nullptr;
    int64_t when = std::numeric_limits<int64_t>::max();
    for (const auto& [timer, due] : due_) {
      if (due < when) {
        when = due;
        next = timer;
      }
    }
    if (!next || when > end) break;
    now_ = when;
    due_[next] = when + interval_[next];
    next->Fire();  // may disarm, re-arm or destroy timers
  }
  now_ = end;
}

bool FakeTimerClock::IsArmed(const TTimer* timer) const {
  return due_.count(const_cast<TTimer*>(timer)) != 0;
}

void FakeTimerClock::Arm(TTimer* timer, int64_t interval) {
  due_[timer] = now_ + interval;
  interval_[timer] = interval;
}

void FakeTimerClock::Disarm(TTimer* timer) {
  due_.erase(timer);
  interval_.erase(timer);
}

ScopedFakeTimers::ScopedFakeTimers() : previous_(Fake()) {
  Fake() = &clock_;
}

ScopedFakeTimers::~ScopedFakeTimers() {
  Fake() = previous_;
}

TTimer::TTimer(TForm* owner, std::string name) : TComponentBase(owner, std::move(name)) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Fire(); });
  UpdateTimer();  // enabled, every second, from the start
}

void TTimer::BeginLoading() {
  TComponentBase::BeginLoading();
  UpdateTimer();  // stops it until Loaded
}

TTimer::~TTimer() {
  if (fake_) fake_->Disarm(this);
}

void TTimer::DefineProperties(PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Enabled", [this](const FormValue& v) { SetEnabled(v.AsBoolean()); });
  list.Add("Interval", [this](const FormValue& v) {
    const int32_t interval = v.AsInteger();
    if (interval < 0) throw EReadError("Invalid property value");
    SetInterval(static_cast<uint32_t>(interval));
  });
  list.Add("OnTimer", [this](const FormValue& v) { OnTimer = Method<TNotifyEvent>(v); });
  // Where the component sat in the designer; nothing to do at run time.
  list.Add("Left", [](const FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const FormValue& v) { v.AsInteger(); });
}

void TTimer::Loaded() {
  TComponentBase::Loaded();
  UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t interval) {
  if (interval == interval_) return;
  interval_ = interval;
  UpdateTimer();
}

bool TTimer::Running() const {
  return fake_ ? fake_->IsArmed(this) : timer_.isActive();
}

void TTimer::UpdateTimer() {
  timer_.stop();
  if (fake_) {
    fake_->Disarm(this);
    fake_ = nullptr;
  }
  if (IsLoading() || !enabled_ || interval_ == 0) return;
  if (FakeTimerClock* fake = Fake()) {
    fake_ = fake;
    fake->Arm(this, interval_);
    return;
  }
  timer_.start(static_cast<int>(std::min<uint32_t>(interval_, std::numeric_limits<int>::max())));
}

void TTimer::Fire() {
  if (!OnTimer) return;
  RunGuarded([this] { OnTimer(this); });
}

}  // namespace platform::qt
