#include "platform/monotonic_clock.h"

#include <chrono>

namespace platform {
namespace {

class SteadyMonotonicClock final : public MonotonicClock {
 public:
  int64_t Now() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace

const MonotonicClock& SteadyClock() {
  static const SteadyMonotonicClock clock;
  return clock;
}

}  // namespace platform
