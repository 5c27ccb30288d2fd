// The program's pseudo-random generator, replaceable in tests.
#pragma once

#include <cstdint>

namespace platform {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A value uniformly distributed in [0, 1).
  virtual double Uniform() = 0;
  // An integer uniformly distributed in [0, Bound); 0 when Bound <= 0.
  virtual int32_t Below(int32_t bound) = 0;
  // Seeds the generator from the clock.
  virtual void Randomize() = 0;
};

// The generator every caller draws from: the program's own unless a test has put
// another in its place.
RandomSource& Random();

// Puts Source in place of the program's generator for the lifetime of this object.
class ScopedRandomSource {
 public:
  explicit ScopedRandomSource(RandomSource& source);
  ~ScopedRandomSource();
  ScopedRandomSource(const ScopedRandomSource&) = delete;
  ScopedRandomSource& operator=(const ScopedRandomSource&) = delete;

 private:
  RandomSource* previous_;
};

}  // namespace platform
