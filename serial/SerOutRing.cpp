#include "serial/SerOutRing.h"

#include <algorithm>

void TSerOutputRing::Allocate(int size) {
  data_.assign(static_cast<size_t>(std::max(size, 0)), 0);
  size_ = static_cast<int>(data_.size());
  head_ = tail_ = 0;
  full_ = false;
  writing_ = false;
}

void TSerOutputRing::Release() {
  data_.clear();
  data_.shrink_to_fit();
  size_ = head_ = tail_ = 0;
  full_ = false;
  writing_ = false;
  ++epoch_;
}

int TSerOutputRing::Queue(const uint8_t* bytes, int n) {
  if (n <= 0 || n > size_) return 0;
  const int room = size_ - head_;
  if (n > room) {
    std::copy(bytes, bytes + room, data_.begin() + head_);
    std::copy(bytes + room, bytes + n, data_.begin());
    head_ = n - room;
  } else {
    std::copy(bytes, bytes + n, data_.begin() + head_);
    head_ += n;
    if (head_ == size_) head_ = 0;
  }
  // Set with the bytes in place, never before.
  if (head_ == tail_) full_ = true;
  return n;
}

uint32_t TSerOutputRing::Count() const {
  if (full_) return static_cast<uint32_t>(size_);
  if (tail_ < head_) return static_cast<uint32_t>(head_ - tail_);
  if (head_ < tail_) return static_cast<uint32_t>(size_ + head_ - tail_);
  return 0;
}

void TSerOutputRing::Empty() {
  head_ = tail_ = 0;
  full_ = false;
  ++epoch_;
}

bool TSerOutputRing::TakeBlock(std::vector<uint8_t>& block, uint64_t& epoch) {
  if (size_ == 0 || (!full_ && head_ == tail_)) return false;
  const uint8_t* ring = data_.data();
  if (tail_ < head_) {
    block.assign(ring + tail_, ring + head_);
  } else {
    block.assign(ring + tail_, ring + size_);
    block.insert(block.end(), ring, ring + head_);
  }
  epoch = epoch_;
  writing_ = true;
  return true;
}

bool TSerOutputRing::Advance(uint64_t epoch, int n) {
  writing_ = false;
  if (epoch != epoch_ || size_ == 0) return false;
  if (n > 0) {
    tail_ = (tail_ + n) % size_;
    if (tail_ == head_) tail_ = head_ = 0;
    full_ = false;
  }
  return true;
}
