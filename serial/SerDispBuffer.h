// The dispatch buffer of an open port: the 8192 bytes into which the dispatch
// thread moves what the device received, the handlers' get counts during an avail
// delivery, and the scan and notify positions of the avail rule. Its mutex is the
// dispatcher's dispatch lock; every operation but the lock itself needs it held.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "serial/SerLock.h"

constexpr int kDispatchBufferSize = 8192;

class TSerDispatchBuffer {
 public:
  TSerMutex& mutex() RETURN_CAPABILITY(mutex_) { return mutex_; }

  void Allocate() REQUIRES(mutex_);
  void Release() REQUIRES(mutex_);
  bool Allocated() const REQUIRES(mutex_) { return !data_.empty(); }
  // Indexes, scan and notify positions and get counts back to the start.
  void Reset() REQUIRES(mutex_);

  int Head() const REQUIRES(mutex_) { return head_; }
  int Tail() const REQUIRES(mutex_) { return tail_; }
  bool Full() const REQUIRES(mutex_) { return full_; }
  // Unread bytes (8192 when full).
  int Used() const REQUIRES(mutex_);
  // Unread bytes as the reader sees them: less the get count during a delivery.
  int Unread() const REQUIRES(mutex_);

  // Moves up to Waiting device bytes in: Read (at, room) reads into the buffer and
  // gives the bytes read; called at most twice (the buffer's end, then its start).
  void Fill(uint32_t waiting, const std::function<int(uint8_t* at, int room)>& read)
      REQUIRES(mutex_);

  // The Nth unread byte (1 the first): 0, or -3007 when fewer are unread.
  int Peek(uint8_t& c, int n) const REQUIRES(mutex_);
  // A handler's read: during an avail delivery the byte after those the handler has
  // read (the tail stays), else the byte at the tail.
  int Take(uint8_t& c) REQUIRES(mutex_);
  // A read from outside any handler: at the tail, unless a handler of the delivery
  // has read already (then the byte after the most any handler read, which it
  // counts in with them).
  int TakeOutside(uint8_t& c) REQUIRES(mutex_);
  // Discards what is unread: at the delivery's end during one.
  void Flush() REQUIRES(mutex_);

  // --- The delivery's share -----------------------------------------------------
  void BeginDelivery(bool avail_kind) REQUIRES(mutex_);
  bool InAvailDelivery() const REQUIRES(mutex_) { return in_avail_; }
  // Each handler reads with a fresh get count; EndHandler keeps the most.
  void BeginHandler() REQUIRES(mutex_) { get_count_ = 0; }
  void EndHandler() REQUIRES(mutex_);
  // The tail moves past the most any handler read; that count.
  uint32_t EndDelivery(bool advance) REQUIRES(mutex_);

  // --- The avail rule's positions -------------------------------------------------
  // Bytes read and not yet offered to the data triggers.
  int Unscanned() const REQUIRES(mutex_) { return unscanned_; }
  // The next unscanned byte and its position; the scan moves past it.
  uint8_t NextUnscanned(int& position) REQUIRES(mutex_);
  void SkipScan() REQUIRES(mutex_);
  int NotifyPosition() const REQUIRES(mutex_) { return notify_position_; }
  bool ArrivedSinceNotify() const REQUIRES(mutex_) { return arrived_since_notify_; }
  // An avail was sent at Position (the head for all unread bytes).
  void Notified(int position, bool all) REQUIRES(mutex_);
  // The next round announces the unread bytes again.
  void AnnounceAgain() REQUIRES(mutex_);
  void ArrivedAgain() REQUIRES(mutex_) { arrived_since_notify_ = true; }

 private:
  int FillChunk(int count, const std::function<int(uint8_t* at, int room)>& read) REQUIRES(mutex_);

  TSerMutex mutex_;
  std::vector<uint8_t> data_ GUARDED_BY(mutex_);
  int head_ GUARDED_BY(mutex_) = 0;
  int tail_ GUARDED_BY(mutex_) = 0;
  bool full_ GUARDED_BY(mutex_) = false;
  bool in_avail_ GUARDED_BY(mutex_) = false;
  uint32_t get_count_ GUARDED_BY(mutex_) = 0;
  uint32_t max_get_count_ GUARDED_BY(mutex_) = 0;
  int scan_position_ GUARDED_BY(mutex_) = 0;
  int unscanned_ GUARDED_BY(mutex_) = 0;        // read, not yet scanned
  int notify_position_ GUARDED_BY(mutex_) = 0;  // -1: announce again
  bool arrived_since_notify_ GUARDED_BY(mutex_) = false;
};
