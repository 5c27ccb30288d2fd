#include "platform/stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/exception.h"
#include "platform/files.h"

namespace platform {

void Stream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError();
}

void Stream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError();
}

int64_t Stream::CopyFrom(Stream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = int64_t{64} * 1024;
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= n;
  }
  return count;
}

MemoryStream::~MemoryStream() {
  std::free(data_);
}

// realloc rather than new[]: large blocks then grow in place (the C library remaps
// their pages), so building a file never holds two copies of it.
void MemoryStream::Grow(int64_t needed) {
  if (needed > capacity_) Reserve(std::max<int64_t>({needed, capacity_ + capacity_ / 2, 256}));
}

void MemoryStream::Reserve(int64_t capacity) {
  if (capacity <= capacity_) return;
  void* data = std::realloc(data_, static_cast<size_t>(capacity));
  if (!data) throw std::bad_alloc();
  data_ = static_cast<uint8_t*>(data);
  capacity_ = capacity;
}

int64_t MemoryStream::WriteGrowing(const void* buffer, int64_t count) {
  const int64_t end = position_ + count;
  Grow(end);
  if (position_ > size_) std::memset(data_ + size_, 0, static_cast<size_t>(position_ - size_));
  size_ = end;
  std::memcpy(data_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t MemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = 0;
  switch (origin) {
    case SeekOrigin::kBegin:
      base = 0;
      break;
    case SeekOrigin::kCurrent:
      base = position_;
      break;
    case SeekOrigin::kEnd:
      base = size_;
      break;
  }
  // A position before the start is taken as the start, as the runtime's stream does.
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void MemoryStream::SetSize(int64_t size) {
  size = std::max<int64_t>(0, size);
  if (size > size_) {
    Grow(size);
    std::memset(data_ + size_, 0, static_cast<size_t>(size - size_));
  }
  size_ = size;
  position_ = std::min(position_, size_);
}

void MemoryStream::LoadFromFile(const std::string& file_name) {
  // The content is replaced only once the whole file has been read: the bytes go
  // to a block of their own, which takes the place of the old one at the end. An
  // empty stream has nothing to keep and reads into the memory it already has.
  std::unique_ptr<uint8_t, decltype(&std::free)> fresh(nullptr, &std::free);
  int64_t loaded = 0;
  ReadWholeFile(file_name, [&](int64_t size) {
    loaded = size;
    if (size_ == 0 && size <= capacity_) return data_;
    fresh.reset(
        static_cast<uint8_t*>(std::malloc(static_cast<size_t>(std::max<int64_t>(size, 1)))));
    if (!fresh) throw std::bad_alloc();
    return fresh.get();
  });
  if (fresh) {
    std::free(data_);
    data_ = fresh.release();
    capacity_ = std::max<int64_t>(loaded, 1);
  }
  size_ = loaded;
  position_ = 0;
}

void MemoryStream::SaveToFile(const std::string& file_name) const {
  WriteFileAtomically(file_name, data_, static_cast<size_t>(size_));
}

void MemoryStream::LoadFromStream(Stream& source) {
  const int64_t count = std::max<int64_t>(0, source.Size() - source.Position());
  Clear();
  SetSize(count);
  source.ReadBuffer(data_, count);
  position_ = 0;
}

void MemoryStream::SaveToStream(Stream& dest) const {
  dest.WriteBuffer(data_, size_);
}

}  // namespace platform
