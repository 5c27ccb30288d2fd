#include "platform/random.h"

#include <chrono>
#include <random>

namespace platform {
namespace {

class DefaultRandomSource final : public RandomSource {
 public:
  double Uniform() override {
    // The top 53 bits scaled by 2^-53 fill the double's mantissa exactly, so the
    // result can never round up to 1 the way generate_canonical may.
    return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
  }

  int32_t Below(int32_t bound) override {
    if (bound <= 0) return 0;
    return std::uniform_int_distribution<int32_t>(0, bound - 1)(engine_);
  }

  void Randomize() override {
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    std::seed_seq seed{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
    engine_.seed(seed);
  }

 private:
  // Left at its fixed default seed until Randomize, so a run that never calls it
  // repeats its sequence.
  std::mt19937_64 engine_;
};

RandomSource& DefaultSource() {
  static DefaultRandomSource source;
  return source;
}

// The source a ScopedRandomSource put in place; none: the default.
RandomSource* current_source = nullptr;

}  // namespace

RandomSource& Random() {
  return current_source ? *current_source : DefaultSource();
}

ScopedRandomSource::ScopedRandomSource(RandomSource& source) : previous_(current_source) {
  current_source = &source;
}

ScopedRandomSource::~ScopedRandomSource() {
  current_source = previous_;
}

}  // namespace platform
