// The trace and log histories of an open port: fixed-size rings of what was taken
// and queued (trace) and of timed events (log), written to text files on request.
// Guarded by the dispatcher's main lock (they are fields GUARDED_BY it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The largest rings a port keeps, in entries (trace) and bytes (log): a larger size
// asked for is refused by the trace ring and cut to these by the port component.
constexpr uint32_t kMaxTraceSize = 4000000;
constexpr uint32_t kMaxLogSize = 16000000;

class TSerTraceRing {
 public:
  // Starts (or clears a started trace) with room for Size entries: 0, or -1002
  // when too large.
  int Start(uint32_t size);
  bool On() const { return on_; }
  void Add(char kind, uint8_t byte);
  void Clear();
  void Pause() { on_ = false; }
  void Resume() { on_ = !ring_.empty(); }
  void Stop();
  // Writes the entries oldest first and ends the trace: 0 or minus the file error.
  int Dump(const std::string& file_name, bool append, bool in_hex, bool all_hex);

 private:
  std::vector<uint8_t> ring_;  // kind and byte per entry
  uint32_t size_ = 0, position_ = 0;
  bool wrapped_ = false, on_ = false;
};

class TSerLogRing {
 public:
  int Start(uint32_t size);
  bool On() const { return on_; }
  // One entry at Time ms since the port opened; whole old entries make room.
  void Add(uint8_t kind, uint8_t sub_kind, uint32_t value, const uint8_t* data, uint32_t length,
           uint32_t time);
  void Clear();
  void Pause() { on_ = false; }
  void Resume() { on_ = !ring_.empty(); }
  void Stop();
  // Writes a header naming Device and the entries, and ends the log: 0 or minus the
  // file error.
  int Dump(const std::string& file_name, bool append, bool in_hex, bool all_hex,
           const std::string& device);

 private:
  void Write(const uint8_t* bytes, uint32_t length);
  bool ReadEntry(uint8_t* header, std::vector<uint8_t>* data);

  std::vector<uint8_t> ring_;
  uint32_t size_ = 0, write_ = 0, read_ = 0, free_ = 0;
  bool on_ = false;
};
