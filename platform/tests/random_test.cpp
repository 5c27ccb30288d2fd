#include "platform/random.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace platform {
namespace {

// The bounds below are several standard deviations wide, so the tests do not fail
// by chance in any realistic number of runs.

TEST(RandomTest, UniformIsUniformInTheHalfOpenInterval) {
  constexpr int kDraws = 200000;
  std::array<int, 10> buckets{};
  double sum = 0;
  for (int i = 0; i < kDraws; ++i) {
    const double value = Random().Uniform();
    ASSERT_GE(value, 0.0);
    ASSERT_LT(value, 1.0);
    sum += value;
    ++buckets[static_cast<size_t>(value * 10)];
  }
  EXPECT_NEAR(sum / kDraws, 0.5, 0.005);
  for (int count : buckets)
    EXPECT_NEAR(count, kDraws / 10, 1000);
}

TEST(RandomTest, BelowCoversZeroToBoundExclusive) {
  constexpr int kDraws = 100000;
  std::array<int, 10> counts{};
  for (int i = 0; i < kDraws; ++i) {
    const int32_t value = Random().Below(10);
    ASSERT_GE(value, 0);
    ASSERT_LT(value, 10);
    ++counts[static_cast<size_t>(value)];
  }
  for (int count : counts)
    EXPECT_NEAR(count, kDraws / 10, 600);
}

TEST(RandomTest, BelowAtTheEdgesOfItsRange) {
  for (int32_t bound : {0, -1, std::numeric_limits<int32_t>::min()}) {
    EXPECT_EQ(Random().Below(bound), 0) << bound;
  }
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(Random().Below(1), 0);

  // The whole positive range is reachable: some of 100 draws lie in the upper half.
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  bool upper_half = false;
  for (int i = 0; i < 100; ++i) {
    const int32_t value = Random().Below(kMax);
    ASSERT_GE(value, 0);
    ASSERT_LT(value, kMax);
    upper_half = upper_half || value > kMax / 2;
  }
  EXPECT_TRUE(upper_half);
}

TEST(RandomTest, RandomizeReseeds) {
  const auto draw = [] {
    std::vector<int32_t> values;
    for (int i = 0; i < 8; ++i)
      values.push_back(Random().Below(1 << 30));
    return values;
  };
  Random().Randomize();
  const std::vector<int32_t> first = draw();
  Random().Randomize();
  EXPECT_NE(draw(), first);
}

class FixedSource : public RandomSource {
 public:
  explicit FixedSource(int32_t value) : value_(value) {}
  double Uniform() override { return 0.25; }
  int32_t Below(int32_t) override { return value_; }
  void Randomize() override { ++randomized_; }
  int randomized_ = 0;

 private:
  int32_t value_;
};

TEST(RandomTest, ScopedSourcesNestAndRestore) {
  RandomSource* const program_source = &Random();
  FixedSource outer(1);
  FixedSource inner(2);
  {
    ScopedRandomSource use_outer(outer);
    EXPECT_EQ(&Random(), &outer);
    EXPECT_EQ(Random().Below(100), 1);
    {
      ScopedRandomSource use_inner(inner);
      EXPECT_EQ(Random().Below(100), 2);
      Random().Randomize();
    }
    EXPECT_EQ(&Random(), &outer);
    EXPECT_EQ(outer.randomized_, 0);
    EXPECT_EQ(inner.randomized_, 1);
  }
  EXPECT_EQ(&Random(), program_source);
}

}  // namespace
}  // namespace platform
