// Milliseconds on a clock that only moves forward. Every interval the programs
// keep (time-outs, lifeticks, watchdogs, the stall rule) is measured on one, so
// setting the wall clock back or forward changes none of them. Code that measures
// takes a MonotonicClock and defaults to SteadyClock(); tests hand it a clock they
// move by hand (platform::qt::FakeTimerClock is one).
#pragma once

#include <cstdint>

namespace platform {

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  // Milliseconds from an origin fixed for the clock's lifetime; never smaller than
  // a reading before it.
  virtual int64_t Now() const = 0;
};

// The system's monotonic clock (std::chrono::steady_clock). It holds no state, so
// the one object is shared by every caller on any thread.
const MonotonicClock& SteadyClock();

}  // namespace platform
