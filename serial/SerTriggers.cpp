#include "serial/SerTriggers.h"

#include <algorithm>
#include <cctype>

void TSerTriggerLists::Clear() {
  timers_.clear();
  data_.clear();
  status_.clear();
}

void TSerTriggerLists::Save(TSavedTriggers& saved) const {
  saved = TSavedTriggers{};
  saved.trigger_length = trigger_length_;
  saved.timers = timers_;
  saved.data = data_;
  saved.status = status_;
}

void TSerTriggerLists::Restore(const TSavedTriggers& saved) {
  trigger_length_ = saved.trigger_length;
  timers_ = saved.timers;
  data_ = saved.data;
  status_ = saved.status;
}

bool TSerTriggerLists::Match(TDataTrigger& t, uint8_t byte) {
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

int32_t TSerTriggerLists::MatchByte(uint8_t byte) {
  int32_t longest = 0;
  for (TDataTrigger& t : data_) {
    if (Match(t, byte)) longest = std::max(longest, t.length);
  }
  return longest;
}

std::vector<std::pair<int32_t, int32_t>> TSerTriggerLists::TakeMatched() {
  std::vector<std::pair<int32_t, int32_t>> matched;
  for (auto t = data_.rbegin(); t != data_.rend(); ++t) {
    if (!t->matched) continue;
    t->matched = false;
    matched.emplace_back(t->handle, t->length);
  }
  return matched;
}

void TSerTriggerLists::ForgetMatches() {
  for (TDataTrigger& t : data_) {
    t.positions.fill(0);
    t.matched = false;
  }
}

bool TSerTriggerLists::FireStatus(
    const std::function<bool(const TStatusTrigger&, uint32_t& count)>& holds, int32_t& handle,
    uint32_t& count) {
  for (TStatusTrigger& t : status_) {
    if (!t.armed || t.fired) continue;
    count = 0;
    if (holds(t, count)) {
      t.armed = false;
      t.fired = true;
      handle = t.handle;
      return true;
    }
  }
  count = 0;
  return false;
}

void TSerTriggerLists::ResetStatus() {
  for (TStatusTrigger& t : status_)
    t.fired = false;
}

bool TSerTriggerLists::FireTimer(int32_t& handle) {
  auto t = std::find_if(timers_.begin(), timers_.end(),
                        [](const TTimerTrigger& t) { return t.active && TimerExpired(t.timer); });
  if (t == timers_.end()) return false;
  t->active = false;
  handle = t->handle;
  return true;
}
