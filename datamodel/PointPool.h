// The memory of the point objects. A monitor-data file brings hundreds of
// thousands of points, each its own object, and a reload frees them all and makes
// them again: one heap block each costs more in the allocator than the load itself.
// The pool cuts fixed-size slots out of 64 KiB slabs instead.
//
// - Slots come in sizes of 24 to 128 bytes in steps of 8 (aligned to 8, which is
//   all a point class needs); larger requests go to the global operator new.
// - Each slab marks its free slots in a bitmap, and a slot is taken from the
//   first slab that has one, at its lowest free address: after a reload has freed
//   the points of the one before, the new points take the memory again in address
//   order, as densely as they were made at first, rather than in the order the
//   old ones happened to be freed.
// - Each thread takes its slots from slabs of its own, without a lock. A slot freed
//   on another thread is handed to the slab's owner through a locked list; the
//   slabs of a thread that ended pass whole to the next thread that needs slabs.
// - The slabs are never given back to the system: what a large file needed stays
//   ready for the next one (as the heap keeps its freed blocks).
#pragma once

#include <cstddef>

namespace point_pool {

// The largest request served from slots; beyond it, the global operator new.
inline constexpr std::size_t kLargestSlot = 128;

// Memory for an object of Size bytes (never none: raises std::bad_alloc).
void* Allocate(std::size_t size);
// Gives back the memory Allocate returned for Size bytes, on any thread.
void Release(void* memory, std::size_t size) noexcept;
// The bytes the pool has taken from the heap for its slabs.
std::size_t HeldBytes();

}  // namespace point_pool
