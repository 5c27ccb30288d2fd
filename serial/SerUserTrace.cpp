// TSerBaseDispatcher: tracing (bytes taken and queued) and logging (timed events),
// kept in rings of fixed size and written to text files on request.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/comm.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "serial/SerExcept.h"
#include "serial/SerStrMgr.h"
#include "serial/SerTrace.h"
#include "serial/SerTraceRings.h"
#include "serial/SerUser.h"

namespace {

constexpr uint32_t kLogHeaderSize = 16;
constexpr const char* kLineEnd = "\r\n";  // the files are the system's text files

// A text file written byte for byte, remembering the first error.
class TextFile {
 public:
  TextFile(const std::string& name, bool append) {
    const std::string path = platform::ToOsPath(name);
    const bool exists = platform::FileExists(name);
    file_ = std::fopen(path.c_str(), append && exists ? "ab" : "wb");
    if (!file_) error_ = platform::WindowsErrorFromErrno(errno);
  }
  ~TextFile() { Close(); }
  bool is_open() const { return file_ != nullptr; }
  void Write(const std::string& text) {
    if (file_ && error_ == 0 && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
      error_ = FileError(errno);
    }
  }
  // Closes; the first error as a runtime file error number, or 0.
  int Close() {
    if (file_) {
      if (std::fclose(file_) != 0 && error_ == 0) error_ = FileError(errno);
      file_ = nullptr;
    }
    return error_;
  }

 private:
  static int FileError(int err) {
    return err == ENOSPC ? 101 : platform::WindowsErrorFromErrno(err);
  }
  std::FILE* file_ = nullptr;
  int error_ = 0;
};

// Writes items with the running column of both files.
class ColumnWriter {
 public:
  ColumnWriter(TextFile& file, bool log) : file_(file), log_(log) {}
  void set_column(int column) { column_ = column; }
  void Item(const std::string& text) {
    const int width = static_cast<int>(text.size());
    column_ += width;
    if (column_ > 78) {
      file_.Write(kLineEnd);
      if (log_) {
        file_.Write(std::string(44, ' '));
        column_ = width + 45;
      } else {
        column_ = width;
      }
    }
    file_.Write(text);
  }

 private:
  TextFile& file_;
  bool log_;
  int column_ = 0;
};

std::string LookUp(int32_t id) {
  return ErrorStrings().LookUpString(id);
}

}  // namespace

std::string FormatTraceByte(uint8_t byte, bool in_hex, bool all_hex, bool as_char) {
  char text[8];
  if (all_hex && !as_char) {
    std::snprintf(text, sizeof text, "[%02X]", byte);
  } else if (as_char || (byte >= (in_hex ? 0x21 : 0x20) && byte <= 0x7E)) {
    return std::string(1, static_cast<char>(byte));
  } else if (in_hex) {
    std::snprintf(text, sizeof text, "[%02X]", byte);
  } else {
    std::snprintf(text, sizeof text, "[%d]", byte);
  }
  return text;
}

std::string FormatLogTime(uint32_t ms) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", ms);
  std::string text = digits;
  // The point goes before the last three digits, however many there are.
  text.insert(text.size() - 3, ".");
  return text;
}

std::string OperatingSystemText() {
  return platform::OperatingSystemName().value_or("Unknown");
}

std::string HeaderSystemText(const std::string& system) {
  return system.substr(0, kMaxSystemText);
}

std::string CompilerName() {
#if defined(__clang__)
  return std::string("Clang ") + __clang_version__;
#elif defined(__GNUC__)
  return std::string("GNU C++ ") + __VERSION__;
#else
  return "C++";
#endif
}

// ---------------------------------------------------------------------------------
// Tracing

int TSerTraceRing::Start(uint32_t size) {
  if (!ring_.empty()) {
    Clear();
  } else {
    if (size > kMaxTraceSize) return ecBadArgument;
    ring_.assign(2 * static_cast<size_t>(size), 0);
    size_ = size;
    position_ = 0;
    wrapped_ = false;
  }
  on_ = true;
  return 0;
}

void TSerTraceRing::Add(char kind, uint8_t byte) {
  if (ring_.empty() || size_ == 0) return;
  ring_[2 * static_cast<size_t>(position_)] = static_cast<uint8_t>(kind);
  ring_[2 * static_cast<size_t>(position_) + 1] = byte;
  if (++position_ == size_) {
    position_ = 0;
    wrapped_ = true;
  }
}

void TSerTraceRing::Clear() {
  position_ = 0;
  wrapped_ = false;
}

void TSerTraceRing::Stop() {
  on_ = false;
  ring_.clear();
  ring_.shrink_to_fit();
  size_ = position_ = 0;
  wrapped_ = false;
}

int TSerTraceRing::Dump(const std::string& file_name, bool append, bool in_hex, bool all_hex) {
  if (ring_.empty()) return 0;
  on_ = false;
  if (!wrapped_ && position_ == 0) {
    Stop();
    return 0;
  }
  TextFile file(file_name, append);
  if (!file.is_open()) {
    const int error = file.Close();
    Stop();
    return -error;
  }
  ColumnWriter out(file, false);
  const uint32_t start = wrapped_ ? position_ : 0;
  const uint32_t count = wrapped_ ? size_ : position_;
  int previous = -1;
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t i = (start + k) % size_;
    const uint8_t kind = ring_[2 * static_cast<size_t>(i)];
    const uint8_t byte = ring_[2 * static_cast<size_t>(i) + 1];
    if (kind != previous) {
      if (previous != -1) {
        file.Write(kLineEnd);
        file.Write(kLineEnd);
      }
      if (kind == 'R') {
        file.Write("Receive: ");
      } else if (kind == 'T') {
        file.Write("Transmit: ");
      } else {
        file.Write(std::string("Special-") + static_cast<char>(kind) + ": ");
      }
      file.Write(kLineEnd);
      out.set_column(0);
      previous = kind;
    }
    out.Item(FormatTraceByte(byte, in_hex, all_hex, false));
  }
  file.Write(kLineEnd);
  const int error = file.Close();
  Stop();
  return -error;
}

// ---------------------------------------------------------------------------------
// Logging

int TSerLogRing::Start(uint32_t size) {
  if (!ring_.empty()) {
    Clear();
  } else {
    ring_.assign(size, 0);
    size_ = size;
    write_ = read_ = 0;
    free_ = size;
  }
  on_ = !ring_.empty();
  return 0;
}

void TSerLogRing::Write(const uint8_t* bytes, uint32_t length) {
  if (length >= size_) return;
  while (free_ < length) {
    if (!ReadEntry(nullptr, nullptr)) break;
  }
  for (uint32_t k = 0; k < length; ++k) {
    ring_[write_] = bytes[k];
    if (++write_ == size_) write_ = 0;
  }
  free_ -= length;
}

bool TSerLogRing::ReadEntry(uint8_t* header, std::vector<uint8_t>* data) {
  if (free_ >= size_) return false;
  uint8_t h[kLogHeaderSize];
  for (uint32_t k = 0; k < kLogHeaderSize; ++k) {
    h[k] = ring_[read_];
    if (++read_ == size_) read_ = 0;
  }
  free_ += kLogHeaderSize;
  const uint32_t length =
      h[12] | (h[13] << 8) | (h[14] << 16) | (static_cast<uint32_t>(h[15]) << 24);
  if (data) data->resize(length);
  for (uint32_t k = 0; k < length; ++k) {
    if (data) (*data)[k] = ring_[read_];
    if (++read_ == size_) read_ = 0;
  }
  free_ += length;
  if (header) std::memcpy(header, h, kLogHeaderSize);
  return true;
}

void TSerLogRing::Add(uint8_t kind, uint8_t sub_kind, uint32_t value, const uint8_t* data,
                      uint32_t length, uint32_t time) {
  if (ring_.empty()) return;
  if (!data) length = 0;
  // An entry is stored whole or not at all: header and data together must fit, and
  // room is made for both before either is written.
  const uint64_t total = uint64_t{kLogHeaderSize} + length;
  if (total >= size_) return;
  while (free_ < total) {
    if (!ReadEntry(nullptr, nullptr)) break;
  }
  uint8_t h[kLogHeaderSize] = {kind, sub_kind, 0, 0};
  for (int k = 0; k < 4; ++k) {
    h[4 + k] = static_cast<uint8_t>(time >> (8 * k));
    h[8 + k] = static_cast<uint8_t>(value >> (8 * k));
    h[12 + k] = static_cast<uint8_t>(length >> (8 * k));
  }
  Write(h, kLogHeaderSize);
  if (length) Write(data, length);
}

void TSerLogRing::Clear() {
  write_ = read_ = 0;
  free_ = size_;
}

void TSerLogRing::Stop() {
  on_ = false;
  ring_.clear();
  ring_.shrink_to_fit();
  size_ = write_ = read_ = free_ = 0;
}

int TSerLogRing::Dump(const std::string& file_name, bool append, bool in_hex, bool all_hex,
                      const std::string& device) {
  if (ring_.empty() || free_ >= size_) {
    Stop();
    return 0;
  }
  on_ = false;
  TextFile file(file_name, append);
  if (!file.is_open()) return -file.Close();
  file.Write(std::string("SERLIB ") + "v4.00" + kLineEnd);
  file.Write("Compiler : " + CompilerName() + kLineEnd);
  file.Write("Operating System : " + HeaderSystemText(OperatingSystemText()) + kLineEnd);
  file.Write("Device: " + device + kLineEnd);
  file.Write(LookUp(15501) + kLineEnd);
  file.Write(LookUp(15502) + kLineEnd);
  uint8_t h[kLogHeaderSize];
  std::vector<uint8_t> data;
  ColumnWriter out(file, true);
  while (ReadEntry(h, &data)) {
    const uint8_t kind = h[0];
    const uint8_t sub = h[1];
    const uint32_t time = h[4] | (h[5] << 8) | (h[6] << 16) | (static_cast<uint32_t>(h[7]) << 24);
    const uint32_t value =
        h[8] | (h[9] << 8) | (h[10] << 16) | (static_cast<uint32_t>(h[11]) << 24);
    const std::string kind_name = LookUp(15001 + kind);
    const std::string sub_name = sub != 0 ? LookUp(15100 + sub) : "";
    char columns[128];
    std::snprintf(columns, sizeof columns, "%8s  %-8s  %-12s  %08x  ", FormatLogTime(time).c_str(),
                  kind_name.c_str(), sub_name.c_str(), value);
    file.Write(columns);
    if (data.empty()) {
      if (kind == 10) {
        file.Write("[" + (value <= 42 ? LookUp(15700 + static_cast<int32_t>(value)) : "") + "]");
      }
    } else if (sub == 15 && (kind == 5 || kind == 6)) {
      static const char* const kStatusNames[] = {"(Not active)",         "(Modem status)",
                                                 "(Line status)",        "(Output buffer free)",
                                                 "(Output buffer used)", "(Output sent)"};
      if (data[0] < 6) file.Write(kStatusNames[data[0]]);
    } else {
      out.set_column(45);
      for (uint8_t byte : data)
        out.Item(FormatTraceByte(byte, in_hex, all_hex, kind == 19 && all_hex));
      if (sub == 4) {
        std::string names;
        for (int bit = 0; bit < 8; ++bit) {
          if (!(value & (1u << bit))) continue;
          if (!names.empty()) names += " ";
          names += LookUp(15601 + bit);
        }
        file.Write("(" + names + ")");
      }
    }
    file.Write(kLineEnd);
  }
  const int error = file.Close();
  Stop();
  return -error;
}

// ---------------------------------------------------------------------------------
// The dispatcher's tracing and logging: the rings under the main lock.

int TSerBaseDispatcher::StartTrace(uint32_t size) {
  TSerMutexLock lock(main_lock_);
  return trace_.Start(size);
}

void TSerBaseDispatcher::AddTraceEntry(char kind, uint8_t byte) {
  TSerMutexLock lock(main_lock_);
  trace_.Add(kind, byte);
}

int TSerBaseDispatcher::ClearTrace() {
  TSerMutexLock lock(main_lock_);
  trace_.Clear();
  return 0;
}

void TSerBaseDispatcher::PauseTrace() {
  TSerMutexLock lock(main_lock_);
  trace_.Pause();
}

void TSerBaseDispatcher::ResumeTrace() {
  TSerMutexLock lock(main_lock_);
  trace_.Resume();
}

void TSerBaseDispatcher::StopTrace() {
  TSerMutexLock lock(main_lock_);
  trace_.Stop();
}

bool TSerBaseDispatcher::Tracing() {
  TSerMutexLock lock(main_lock_);
  return trace_.On();
}

int TSerBaseDispatcher::DumpTrace(const std::string& file_name, bool append, bool in_hex,
                                  bool all_hex) {
  TSerMutexLock lock(main_lock_);
  return trace_.Dump(file_name, append, in_hex, all_hex);
}

int TSerBaseDispatcher::StartLog(uint32_t size) {
  TSerMutexLock lock(main_lock_);
  return log_.Start(size);
}

void TSerBaseDispatcher::AddLogEntry(uint8_t kind, uint8_t sub_kind, uint32_t value,
                                     const uint8_t* data, uint32_t length) {
  TSerMutexLock lock(main_lock_);
  AddLogEntryLocked(kind, sub_kind, value, data, length);
}

void TSerBaseDispatcher::AddLogEntryLocked(uint8_t kind, uint8_t sub_kind, uint32_t value,
                                           const uint8_t* data, uint32_t length) {
  log_.Add(kind, sub_kind, value, data, length, ElapsedMs() - time_of_opening_);
}

int TSerBaseDispatcher::ClearLog() {
  TSerMutexLock lock(main_lock_);
  log_.Clear();
  return 0;
}

void TSerBaseDispatcher::PauseLog() {
  TSerMutexLock lock(main_lock_);
  log_.Pause();
}

void TSerBaseDispatcher::ResumeLog() {
  TSerMutexLock lock(main_lock_);
  log_.Resume();
}

void TSerBaseDispatcher::StopLog() {
  TSerMutexLock lock(main_lock_);
  log_.Stop();
}

bool TSerBaseDispatcher::Logging() {
  TSerMutexLock lock(main_lock_);
  return log_.On();
}

int TSerBaseDispatcher::DumpLog(const std::string& file_name, bool append, bool in_hex,
                                bool all_hex) {
  TSerMutexLock lock(main_lock_);
  return log_.Dump(file_name, append, in_hex, all_hex, device_name_);
}
