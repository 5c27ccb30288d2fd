// The output ring of an open port: bytes queued by PutBlock at the head, written to
// the device by the output thread from the tail. Its mutex is the dispatcher's
// output lock; every operation but the lock itself needs it held.
#pragma once

#include <cstdint>
#include <vector>

#include "serial/SerLock.h"

class TSerOutputRing {
 public:
  TSerMutex& mutex() RETURN_CAPABILITY(mutex_) { return mutex_; }

  // Size bytes, empty; Release frees them (Queue then takes nothing).
  void Allocate(int size) REQUIRES(mutex_);
  void Release() REQUIRES(mutex_);
  int Size() const REQUIRES(mutex_) { return size_; }
  // Copies N bytes in at the head (the caller checked the room); bytes taken.
  int Queue(const uint8_t* bytes, int n) REQUIRES(mutex_);
  // Bytes waiting: the ring's size when full.
  uint32_t Count() const REQUIRES(mutex_);
  // Discards everything waiting (a purge). A write in progress then moves nothing.
  void Empty() REQUIRES(mutex_);
  // Everything waiting as one block (a wrapped ring in its two pieces), and the
  // purge count to hand back to Advance; false when nothing waits. The block is
  // being written until Advance.
  bool TakeBlock(std::vector<uint8_t>& block, uint64_t& epoch) REQUIRES(mutex_);
  // N bytes of the block taken at Epoch were written (or dropped); nothing when the
  // ring was purged meanwhile (false).
  bool Advance(uint64_t epoch, int n) REQUIRES(mutex_);
  // Nothing waits and no block is being written: bytes may go to the device at once
  // without overtaking any.
  bool Idle() const REQUIRES(mutex_) { return !writing_ && Count() == 0; }

 private:
  TSerMutex mutex_;
  std::vector<uint8_t> data_ GUARDED_BY(mutex_);
  int size_ GUARDED_BY(mutex_) = 0;
  int head_ GUARDED_BY(mutex_) = 0;
  int tail_ GUARDED_BY(mutex_) = 0;
  bool full_ GUARDED_BY(mutex_) = false;
  uint64_t epoch_ GUARDED_BY(mutex_) = 0;  // counts purges and releases
  bool writing_ GUARDED_BY(mutex_) = false;
};
