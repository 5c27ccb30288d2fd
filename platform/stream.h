// Byte streams: the abstract stream and the growable memory stream that the data
// files are built in and read from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace platform {

enum class SeekOrigin { kBegin, kCurrent, kEnd };

class Stream {
 public:
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  virtual ~Stream() = default;

  // Reads at most Count bytes at the position; returns how many were read.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes Count bytes at the position; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position and returns the new one.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::kBegin); }

  // Reads exactly Count bytes or raises EReadError.
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly Count bytes or raises EWriteError.
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies Count bytes from Source's position to this stream's position; a Count
  // of 0 copies the whole of Source from its start. Returns the bytes copied.
  int64_t CopyFrom(Stream& source, int64_t count);
};

// A stream over a growable block of memory. The position may be set past the end;
// writing there first fills the gap with zero bytes, and growing the size with
// SetSize adds zero bytes as well, so that no stale memory ever reaches a file.
class MemoryStream final : public Stream {
 public:
  MemoryStream() = default;
  ~MemoryStream() override;

  int64_t Read(void* buffer, int64_t count) override { return ReadInline(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return WriteInline(buffer, count); }
  int64_t Seek(int64_t offset, SeekOrigin origin) override;

  // The same as Read and Write, for callers that know the stream is a memory
  // stream and read or write many small values: no virtual call, inlined.
  int64_t ReadInline(void* buffer, int64_t count) {
    // All of it there first: inlined with a constant Count, the copy is a move.
    if (count > 0 && count <= size_ - position_) {
      std::memcpy(buffer, data_ + position_, static_cast<size_t>(count));
      position_ += count;
      return count;
    }
    if (count <= 0 || position_ >= size_) return 0;
    const int64_t n = size_ - position_;
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
    position_ = size_;
    return n;
  }
  int64_t WriteInline(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t end = position_ + count;
    if (end > capacity_ || position_ > size_) return WriteGrowing(buffer, count);
    std::memcpy(data_ + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    if (end > size_) size_ = end;
    return count;
  }
  int64_t PositionInline() const { return position_; }
  int64_t Size() const override { return size_; }
  void SetSize(int64_t size) override;

  // The stream's bytes; valid until the next operation that changes the size.
  const uint8_t* Memory() const { return data_; }
  uint8_t* Memory() { return data_; }
  // Makes room for at least Capacity bytes without changing size or position.
  void Reserve(int64_t capacity);
  // Empties the stream: size and position 0. The memory is kept for reuse.
  void Clear() {
    size_ = 0;
    position_ = 0;
  }

  // Replaces the content with the whole file and sets the position to 0.
  // Raises EFOpenError when the file cannot be read, leaving the content, size
  // and position as they were.
  void LoadFromFile(const std::string& file_name);
  // Replaces the file with the whole content, atomically: the bytes go to a
  // temporary file in the same folder, which then takes the file's name, so a
  // failed save leaves the previous file as it was. Raises EFCreateError.
  void SaveToFile(const std::string& file_name) const;
  // Replaces the content with the rest of Source from its position.
  void LoadFromStream(Stream& source);
  // Writes the whole content to Dest at its position.
  void SaveToStream(Stream& dest) const;

 private:
  void Grow(int64_t needed);
  int64_t WriteGrowing(const void* buffer, int64_t count);

  uint8_t* data_ = nullptr;
  int64_t size_ = 0;
  int64_t capacity_ = 0;
  int64_t position_ = 0;
};

}  // namespace platform
