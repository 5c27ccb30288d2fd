// The point pool: slots of each size, taken in address order, given back on any
// thread, and the slabs of a thread that ended passed on. Each test works in sizes
// of its own, which no point class has, so that the points other tests make on
// the same thread do not take the slots a test looks at.
#include "datamodel/PointPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "datamodel/PointsU.h"

namespace {

std::vector<void*> AllocateMany(size_t count, size_t size) {
  std::vector<void*> slots;
  for (size_t i = 0; i < count; ++i)
    slots.push_back(point_pool::Allocate(size));
  return slots;
}

void ReleaseAll(const std::vector<void*>& slots, size_t size) {
  for (void* slot : slots)
    point_pool::Release(slot, size);
}

TEST(PointPoolTest, SlotsAreDistinctAlignedAndHoldTheirBytes) {
  for (const size_t size : {1u, 24u, 25u, 33u, 127u, 128u}) {
    SCOPED_TRACE(size);
    std::vector<void*> slots = AllocateMany(5000, size);
    for (size_t i = 0; i < slots.size(); ++i) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(slots[i]) % 8, 0u);
      std::memset(slots[i], static_cast<int>(i & 0xFF), size);
    }
    std::vector<void*> sorted = slots;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i) {
      // No two slots overlap.
      EXPECT_GE(static_cast<char*>(sorted[i]) - static_cast<char*>(sorted[i - 1]),
                static_cast<std::ptrdiff_t>(size));
    }
    for (size_t i = 0; i < slots.size(); ++i) {
      const auto* bytes = static_cast<const unsigned char*>(slots[i]);
      EXPECT_EQ(bytes[0], i & 0xFF);
      EXPECT_EQ(bytes[size - 1], i & 0xFF);
    }
    ReleaseAll(slots, size);
  }
}

TEST(PointPoolTest, FreedSlotsAreTakenAgainInAddressOrder) {
  constexpr size_t kSize = 112;
  const std::vector<void*> first = AllocateMany(3000, kSize);
  const size_t held = point_pool::HeldBytes();
  // Freed in an order of their own (every third, then the rest backwards), the
  // slots come back lowest address first, and no new slab is taken.
  std::vector<void*> order;
  for (size_t i = 0; i < first.size(); i += 3)
    order.push_back(first[i]);
  for (size_t i = first.size(); i-- > 0;) {
    if (i % 3 != 0) order.push_back(first[i]);
  }
  ReleaseAll(order, kSize);
  const std::vector<void*> again = AllocateMany(first.size(), kSize);
  EXPECT_EQ(point_pool::HeldBytes(), held);
  std::vector<void*> sorted = first;
  std::sort(sorted.begin(), sorted.end());
  std::vector<void*> taken = again;
  std::sort(taken.begin(), taken.end());
  EXPECT_EQ(taken, sorted);
  // Within each slab, in rising addresses.
  size_t rising = 0;
  for (size_t i = 1; i < again.size(); ++i)
    rising += again[i] > again[i - 1];
  EXPECT_GE(rising, again.size() - 1 - again.size() / 100);
  ReleaseAll(again, kSize);
}

TEST(PointPoolTest, LargeRequestsComeFromTheHeap) {
  const size_t held = point_pool::HeldBytes();
  void* large = point_pool::Allocate(point_pool::kLargestSlot + 1);
  std::memset(large, 1, point_pool::kLargestSlot + 1);
  point_pool::Release(large, point_pool::kLargestSlot + 1);
  point_pool::Release(nullptr, 40);
  EXPECT_EQ(point_pool::HeldBytes(), held);
}

TEST(PointPoolTest, SlotsFreedOnAnotherThreadComeBack) {
  constexpr size_t kSize = 96;
  // Made here, freed on other threads, round after round: the slots come back to
  // this thread's slabs instead of new slabs being taken each round.
  size_t held_after_first = 0;
  for (int round = 0; round < 20; ++round) {
    std::vector<void*> slots = AllocateMany(4000, kSize);
    std::thread([&slots] { ReleaseAll(slots, kSize); }).join();
    if (round == 0) held_after_first = point_pool::HeldBytes();
  }
  EXPECT_LE(point_pool::HeldBytes(), held_after_first + 2 * 1024 * 1024);
}

TEST(PointPoolTest, TheSlabsOfAThreadThatEndedPassToTheNext) {
  constexpr size_t kSize = 80;
  // A thread that frees its slots and ends leaves its slabs to the next thread;
  // one that ends holding slots has them freed later on another thread.
  std::vector<void*> kept;
  std::thread([&kept] {
    ReleaseAll(AllocateMany(4000, kSize), kSize);
    kept = AllocateMany(1000, kSize);
  }).join();
  const size_t held = point_pool::HeldBytes();
  ReleaseAll(kept, kSize);
  std::thread([] { ReleaseAll(AllocateMany(4000, kSize), kSize); }).join();
  EXPECT_EQ(point_pool::HeldBytes(), held);
}

TEST(PointPoolTest, ThreadsAllocateAndFreeAtOnce) {
  // Each thread makes and frees its own slots and frees some of its neighbour's.
  constexpr int kThreads = 4;
  constexpr size_t kSize = 56;
  std::vector<std::vector<void*>> handed(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &handed] {
      for (int round = 0; round < 50; ++round) {
        std::vector<void*> slots = AllocateMany(500, kSize);
        for (void* slot : slots)
          std::memset(slot, t, kSize);
        ReleaseAll(slots, kSize);
      }
      handed[static_cast<size_t>(t)] = AllocateMany(1000, kSize);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  threads.clear();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back(
        [t, &handed] { ReleaseAll(handed[static_cast<size_t>((t + 1) % kThreads)], kSize); });
  }
  for (std::thread& thread : threads)
    thread.join();
}

TEST(PointPoolTest, PointsOfEveryClassGoAndComeBack) {
  std::vector<std::unique_ptr<TXYPoint>> points;
  for (int i = 0; i < 10000; ++i) {
    points.push_back(std::make_unique<TXYPoint>(i, i));
    points.push_back(std::make_unique<TEventPoint>(i, 0));
    points.push_back(std::make_unique<TMultivaluePoint>(i, 1));
    points.push_back(std::make_unique<TTarvoDataPoint>(i, 2));
  }
  static_cast<TEventPoint&>(*points[1]).SetText("a text too long for the string's own room");
  EXPECT_EQ(static_cast<TEventPoint&>(*points[1]).Text(),
            "a text too long for the string's own room");
  EXPECT_EQ(points[400]->XValue, 100);
  std::thread([&points] { points.resize(points.size() / 2); }).join();
  points.clear();
}

}  // namespace
