// A monotonic clock that shows the milliseconds a test keeps in a variable of its
// own and moves by hand (`clock_ms += 500`).
#pragma once

#include <cstdint>

#include "platform/monotonic_clock.h"

namespace collector_test {

class TManualClock final : public platform::MonotonicClock {
 public:
  explicit TManualClock(const int64_t& ms) : ms_(ms) {}
  int64_t Now() const override { return ms_; }

 private:
  const int64_t& ms_;
};

}  // namespace collector_test
