#include "serial/SerDispBuffer.h"

#include <algorithm>

#include "serial/SerExcept.h"

namespace {

int Wrap(int index) {
  return index >= kDispatchBufferSize ? index - kDispatchBufferSize : index;
}

}  // namespace

void TSerDispatchBuffer::Allocate() {
  data_.assign(kDispatchBufferSize, 0);
  Reset();
}

void TSerDispatchBuffer::Release() {
  data_.clear();
  data_.shrink_to_fit();
  head_ = tail_ = 0;
  full_ = false;
}

void TSerDispatchBuffer::Reset() {
  head_ = tail_ = 0;
  full_ = false;
  in_avail_ = false;
  get_count_ = max_get_count_ = 0;
  scan_position_ = unscanned_ = notify_position_ = 0;
  arrived_since_notify_ = false;
}

int TSerDispatchBuffer::Used() const {
  if (head_ == tail_) return full_ ? kDispatchBufferSize : 0;
  if (head_ > tail_) return head_ - tail_;
  return head_ - tail_ + kDispatchBufferSize;
}

int TSerDispatchBuffer::Unread() const {
  return in_avail_ ? Used() - static_cast<int>(get_count_) : Used();
}

void TSerDispatchBuffer::Fill(uint32_t waiting,
                              const std::function<int(uint8_t* at, int room)>& read) {
  if (full_ || data_.empty() || waiting == 0) return;
  const int free = head_ == tail_ ? kDispatchBufferSize
                                  : (tail_ - head_ + kDispatchBufferSize) % kDispatchBufferSize;
  const int first = tail_ <= head_ ? kDispatchBufferSize - head_ : free;
  int second =
      std::max(0, std::min(free, static_cast<int>(std::min<uint32_t>(waiting, 1 << 30))) - first);
  if (first > 0) {
    const int n = FillChunk(first, read);
    if (n < first) second = 0;
    if (head_ == kDispatchBufferSize) head_ = 0;
    if (n > 0) full_ = head_ == tail_;
  }
  if (second > 0) {
    FillChunk(second, read);
    if (head_ == kDispatchBufferSize) head_ = 0;
    full_ = head_ == tail_;
  }
}

int TSerDispatchBuffer::FillChunk(int count,
                                  const std::function<int(uint8_t* at, int room)>& read) {
  const int n = std::max(0, read(data_.data() + head_, count));
  head_ += n;
  unscanned_ += n;
  if (n > 0) arrived_since_notify_ = true;
  return n;
}

int TSerDispatchBuffer::Peek(uint8_t& c, int n) const {
  if (n < 1 || data_.empty() || Used() < n) return ecBufferIsEmpty;
  c = data_[static_cast<size_t>((tail_ + n - 1) % kDispatchBufferSize)];
  return 0;
}

int TSerDispatchBuffer::Take(uint8_t& c) {
  if (in_avail_) {
    const int result = Peek(c, static_cast<int>(get_count_) + 1);
    if (result == 0) ++get_count_;
    return result;
  }
  const int result = Peek(c, 1);
  if (result != 0) return result;
  tail_ = Wrap(tail_ + 1);
  full_ = false;
  return 0;
}

int TSerDispatchBuffer::TakeOutside(uint8_t& c) {
  // Once a handler of the delivery has read, the bytes it saw are its own: this read
  // takes the first byte no handler has read, and counts with the most any handler
  // read, so that the delivery's end moves the tail past it too. (The handler that
  // read most may have ended already; its count is then only in the most.)
  if (in_avail_ && (get_count_ != 0 || max_get_count_ != 0)) {
    const uint32_t read = std::max(get_count_, max_get_count_);
    const int result = Peek(c, static_cast<int>(read) + 1);
    if (result != 0) return result;
    get_count_ = max_get_count_ = read + 1;
    return 0;
  }
  const int result = Peek(c, 1);
  if (result != 0) return result;
  tail_ = Wrap(tail_ + 1);
  full_ = false;
  return 0;
}

void TSerDispatchBuffer::Flush() {
  if (in_avail_) {
    // The whole content counts as consumed when the delivery ends.
    max_get_count_ = static_cast<uint32_t>(Used());
  } else {
    tail_ = head_;
    get_count_ = 0;
    // What was unread is gone: nothing is left to scan or announce.
    scan_position_ = head_;
    unscanned_ = 0;
  }
  full_ = false;
}

void TSerDispatchBuffer::BeginDelivery(bool avail_kind) {
  max_get_count_ = 0;
  get_count_ = 0;
  in_avail_ = avail_kind;
}

void TSerDispatchBuffer::EndHandler() {
  max_get_count_ = std::max(max_get_count_, get_count_);
}

uint32_t TSerDispatchBuffer::EndDelivery(bool advance) {
  const uint32_t taken = max_get_count_;
  if (in_avail_ && advance && !data_.empty()) {
    tail_ = (tail_ + static_cast<int>(taken)) % kDispatchBufferSize;
    if (taken > 0) full_ = false;
  }
  in_avail_ = false;
  get_count_ = max_get_count_ = 0;
  return taken;
}

uint8_t TSerDispatchBuffer::NextUnscanned(int& position) {
  position = scan_position_;
  const uint8_t byte = data_[static_cast<size_t>(position)];
  scan_position_ = Wrap(position + 1);
  --unscanned_;
  return byte;
}

void TSerDispatchBuffer::SkipScan() {
  scan_position_ = head_;
  unscanned_ = 0;
}

void TSerDispatchBuffer::Notified(int position, bool all) {
  notify_position_ = position;
  if (all) arrived_since_notify_ = false;
}

void TSerDispatchBuffer::AnnounceAgain() {
  arrived_since_notify_ = true;
  notify_position_ = -1;
}
