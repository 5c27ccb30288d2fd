#include "datamodel/PointPool.h"

#include <atomic>
#include <bit>
#include <cstdint>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace point_pool {
namespace {

constexpr std::size_t kStep = 8;
constexpr std::size_t kSmallestSlot = 24;
constexpr std::size_t kClasses = (kLargestSlot - kSmallestSlot) / kStep + 1;
// Slabs are aligned to their size, so that a slot finds its slab's header by its
// address alone.
constexpr std::size_t kSlabBytes = 64 * 1024;
// Slabs are taken from the heap this many at a time.
constexpr std::size_t kSlabsPerChunk = 16;
constexpr std::size_t kChunkBytes = kSlabBytes * kSlabsPerChunk;
constexpr std::size_t kBitmapWords = (kSlabBytes / kSmallestSlot + 63) / 64;

struct Pool;

// The header at the start of a slab; its slots follow it.
struct alignas(64) Slab {
  Pool* owner;
  uint32_t size_class;
  uint32_t slot_size;
  // ceil(2^32 / slot_size): (offset * reciprocal) >> 32 is offset / slot_size for
  // every offset within a slab, without a division.
  uint32_t reciprocal;
  uint32_t free;
  // No bitmap word before this one has a free slot.
  uint32_t cursor;
  // The slab's position in its owner's list of slabs of its size.
  uint32_t position;
  // One bit per slot, set while the slot is free.
  uint64_t bits[kBitmapWords];
};
static_assert(sizeof(Slab) < kSlabBytes / 64);

std::size_t ClassOf(std::size_t size) {
  return (size <= kSmallestSlot ? 0 : size - kSmallestSlot + kStep - 1) / kStep;
}

Slab& SlabOf(void* slot) {
  return *reinterpret_cast<Slab*>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t{kSlabBytes - 1});
}

std::byte* FirstSlot(Slab& slab) {
  return reinterpret_cast<std::byte*>(&slab) + sizeof(Slab);
}

// The slabs of one size a pool owns. No slab before FirstFree has a free slot.
struct ClassSlabs {
  std::vector<Slab*> slabs;
  std::size_t first_free = 0;
};

// The slabs one thread takes its slots from. Pools are never freed: the pool of a
// thread that ended waits, with its slabs, for the next thread that needs one.
struct Pool {
  ClassSlabs classes[kClasses];
  // Slots of this pool freed on other threads, linked through their first word.
  std::mutex remote_mutex;
  void* remote = nullptr;
  std::atomic<bool> remote_waiting{false};
  Pool* next_waiting = nullptr;
};

// Pools and slabs shared among the threads.
struct Registry {
  std::mutex mutex;
  // Pools whose threads have ended.
  Pool* waiting = nullptr;
  // The pool of threads whose own pool has gone (while their thread-local objects
  // are destroyed), used only under its own lock (taken before the other one).
  std::mutex late_mutex;
  Pool* late = nullptr;
  // Slabs taken from the heap and not yet given to a pool.
  std::byte* spare = nullptr;
  std::size_t spare_count = 0;
  std::size_t held_bytes = 0;
};
// Never destroyed: points held by static objects are freed after the main
// thread's thread-local objects are gone.
static_assert(std::is_trivially_destructible_v<Registry>);
constinit Registry registry;

// kUnarmed: the thread has not used the pool yet; kLive: it has a pool of its
// own; kDead: its thread-local objects are being destroyed, its pool has gone
// back to the registry, and what it still allocates comes from the late pool.
enum class State : uint8_t { kUnarmed, kLive, kDead };

struct ThreadState {
  Pool* pool;
  State state;
};
// Trivially destructible, so it stays usable while the thread's other
// thread-local objects (and, on the main thread, the static ones) are destroyed.
thread_local ThreadState current;

// A new slab for Pool's size class, its slots all free.
void AddSlab(Pool& pool, std::size_t size_class) {
  std::byte* memory;
  {
    std::lock_guard lock(registry.mutex);
    if (registry.spare_count == 0) {
      registry.spare =
          static_cast<std::byte*>(::operator new (kChunkBytes, std::align_val_t{kSlabBytes}));
      registry.spare_count = kSlabsPerChunk;
      registry.held_bytes += kChunkBytes;
    }
    memory = registry.spare;
    registry.spare += kSlabBytes;
    --registry.spare_count;
  }
  ClassSlabs& own = pool.classes[size_class];
  auto* slab = new (memory) Slab{};
  slab->owner = &pool;
  slab->size_class = static_cast<uint32_t>(size_class);
  slab->slot_size = static_cast<uint32_t>(kSmallestSlot + size_class * kStep);
  slab->reciprocal =
      static_cast<uint32_t>(((uint64_t{1} << 32) + slab->slot_size - 1) / slab->slot_size);
  const uint32_t slots = static_cast<uint32_t>((kSlabBytes - sizeof(Slab)) / slab->slot_size);
  slab->free = slots;
  for (uint32_t word = 0; word < slots / 64; ++word)
    slab->bits[word] = ~uint64_t{0};
  if (slots % 64) slab->bits[slots / 64] = (uint64_t{1} << (slots % 64)) - 1;
  slab->position = static_cast<uint32_t>(own.slabs.size());
  // The slab is the pool's from now on, even if the list cannot take it: it is
  // lost then, as any allocation that fails half way.
  own.slabs.push_back(slab);
}

// Marks Slot free in its slab, which belongs to Pool, on Pool's own thread.
void PutSlot(Pool& pool, void* slot) {
  Slab& slab = SlabOf(slot);
  const auto offset = static_cast<uint64_t>(static_cast<std::byte*>(slot) - FirstSlot(slab));
  const auto index = static_cast<uint32_t>((offset * slab.reciprocal) >> 32);
  const uint32_t word = index / 64;
  slab.bits[word] |= uint64_t{1} << (index % 64);
  if (word < slab.cursor) slab.cursor = word;
  ++slab.free;
  ClassSlabs& own = pool.classes[slab.size_class];
  if (slab.position < own.first_free) own.first_free = slab.position;
}

// Takes back the slots of Pool that other threads have freed.
void TakeRemote(Pool& pool) {
  if (!pool.remote_waiting.load(std::memory_order_relaxed)) return;
  void* list;
  {
    std::lock_guard lock(pool.remote_mutex);
    list = std::exchange(pool.remote, nullptr);
    pool.remote_waiting.store(false, std::memory_order_relaxed);
  }
  while (list) {
    void* const next = *static_cast<void**>(list);
    PutSlot(pool, list);
    list = next;
  }
}

// A free slot of Pool's size class, on Pool's own thread: the lowest free one of
// the first slab that has one.
void* TakeSlot(Pool& pool, std::size_t size_class) {
  ClassSlabs& own = pool.classes[size_class];
  if (own.first_free == own.slabs.size()) [[unlikely]] {
    TakeRemote(pool);
    if (own.first_free == own.slabs.size()) AddSlab(pool, size_class);
  }
  Slab& slab = *own.slabs[own.first_free];
  uint32_t word = slab.cursor;
  while (slab.bits[word] == 0)
    ++word;
  const uint64_t bits = slab.bits[word];
  slab.bits[word] = bits & (bits - 1);
  slab.cursor = word;
  if (--slab.free == 0) {
    while (own.first_free < own.slabs.size() && own.slabs[own.first_free]->free == 0)
      ++own.first_free;
  }
  const std::size_t index =
      std::size_t{word} * 64 + static_cast<std::size_t>(std::countr_zero(bits));
  return FirstSlot(slab) + index * slab.slot_size;
}

// Gives the thread a pool (one whose thread has ended, else a new one) and hands
// it back to the registry when the thread ends.
struct PoolHolder {
  PoolHolder() {
    Pool* pool;
    {
      std::lock_guard lock(registry.mutex);
      pool = registry.waiting;
      if (pool) registry.waiting = pool->next_waiting;
    }
    if (!pool) pool = new Pool;
    current.pool = pool;
    current.state = State::kLive;
  }
  ~PoolHolder() {
    std::lock_guard lock(registry.mutex);
    current.pool->next_waiting = registry.waiting;
    registry.waiting = current.pool;
    current.pool = nullptr;
    current.state = State::kDead;
  }
  PoolHolder(const PoolHolder&) = delete;
  PoolHolder& operator=(const PoolHolder&) = delete;
};

[[gnu::noinline]] void* AllocateSlow(std::size_t size_class) {
  if (current.state == State::kUnarmed) {
    try {
      thread_local PoolHolder holder;
    } catch (...) {
      // Without memory for a pool the thread takes its slots from the late pool.
    }
  }
  if (current.pool) return TakeSlot(*current.pool, size_class);
  std::lock_guard lock(registry.late_mutex);
  if (!registry.late) registry.late = new Pool;
  return TakeSlot(*registry.late, size_class);
}

// A slot freed on a thread other than its pool's: it waits in the pool's list.
[[gnu::noinline]] void ReleaseRemote(void* slot) noexcept {
  Pool& owner = *SlabOf(slot).owner;
  std::lock_guard lock(owner.remote_mutex);
  *static_cast<void**>(slot) = owner.remote;
  owner.remote = slot;
  owner.remote_waiting.store(true, std::memory_order_relaxed);
}

}  // namespace

void* Allocate(std::size_t size) {
  if (size > kLargestSlot) return ::operator new(size);
  if (Pool* const pool = current.pool) [[likely]]
    return TakeSlot(*pool, ClassOf(size));
  return AllocateSlow(ClassOf(size));
}

void Release(void* memory, std::size_t size) noexcept {
  if (!memory) return;
  if (size > kLargestSlot) {
    ::operator delete(memory);
    return;
  }
  Pool* const owner = SlabOf(memory).owner;
  if (owner == current.pool) [[likely]] {
    PutSlot(*owner, memory);
    return;
  }
  ReleaseRemote(memory);
}

std::size_t HeldBytes() {
  std::lock_guard lock(registry.mutex);
  return registry.held_bytes;
}

}  // namespace point_pool
