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
#include "serial/SerUser.h"

namespace {

constexpr uint32_t kMaxTraceSize = 4000000;
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

int TSerBaseDispatcher::StartTrace(uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (!trace_ring_.empty()) {
    ClearTrace();
  } else {
    if (size > kMaxTraceSize) return ecBadArgument;
    trace_ring_.assign(2 * static_cast<size_t>(size), 0);
    trace_size_ = size;
    trace_position_ = 0;
    trace_wrapped_ = false;
  }
  tracing_ = true;
  return 0;
}

void TSerBaseDispatcher::AddTraceEntry(char kind, uint8_t byte) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (trace_ring_.empty() || trace_size_ == 0) return;
  trace_ring_[2 * static_cast<size_t>(trace_position_)] = static_cast<uint8_t>(kind);
  trace_ring_[2 * static_cast<size_t>(trace_position_) + 1] = byte;
  if (++trace_position_ == trace_size_) {
    trace_position_ = 0;
    trace_wrapped_ = true;
  }
}

int TSerBaseDispatcher::ClearTrace() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  trace_position_ = 0;
  trace_wrapped_ = false;
  return 0;
}

void TSerBaseDispatcher::PauseTrace() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  tracing_ = false;
}

void TSerBaseDispatcher::ResumeTrace() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  tracing_ = !trace_ring_.empty();
}

void TSerBaseDispatcher::StopTrace() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  tracing_ = false;
  trace_ring_.clear();
  trace_ring_.shrink_to_fit();
  trace_size_ = trace_position_ = 0;
  trace_wrapped_ = false;
}

bool TSerBaseDispatcher::Tracing() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  return tracing_;
}

int TSerBaseDispatcher::DumpTrace(const std::string& file_name, bool append, bool in_hex,
                                  bool all_hex) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (trace_ring_.empty()) return 0;
  tracing_ = false;
  if (!trace_wrapped_ && trace_position_ == 0) {
    StopTrace();
    return 0;
  }
  TextFile file(file_name, append);
  if (!file.is_open()) {
    const int error = file.Close();
    StopTrace();
    return -error;
  }
  ColumnWriter out(file, false);
  const uint32_t start = trace_wrapped_ ? trace_position_ : 0;
  const uint32_t count = trace_wrapped_ ? trace_size_ : trace_position_;
  int previous = -1;
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t i = (start + k) % trace_size_;
    const uint8_t kind = trace_ring_[2 * static_cast<size_t>(i)];
    const uint8_t byte = trace_ring_[2 * static_cast<size_t>(i) + 1];
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
  StopTrace();
  return -error;
}

// ---------------------------------------------------------------------------------
// Logging

int TSerBaseDispatcher::StartLog(uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (!log_ring_.empty()) {
    ClearLog();
  } else {
    log_ring_.assign(size, 0);
    log_size_ = size;
    log_write_ = log_read_ = 0;
    log_free_ = size;
  }
  logging_ = !log_ring_.empty();
  return 0;
}

void TSerBaseDispatcher::WriteLogRing(const uint8_t* bytes, uint32_t length) {
  if (length >= log_size_) return;
  while (log_free_ < length) {
    if (!ReadLogEntry(nullptr, nullptr)) break;
  }
  for (uint32_t k = 0; k < length; ++k) {
    log_ring_[log_write_] = bytes[k];
    if (++log_write_ == log_size_) log_write_ = 0;
  }
  log_free_ -= length;
}

bool TSerBaseDispatcher::ReadLogEntry(uint8_t* header, std::vector<uint8_t>* data) {
  if (log_free_ >= log_size_) return false;
  uint8_t h[kLogHeaderSize];
  for (uint32_t k = 0; k < kLogHeaderSize; ++k) {
    h[k] = log_ring_[log_read_];
    if (++log_read_ == log_size_) log_read_ = 0;
  }
  log_free_ += kLogHeaderSize;
  const uint32_t length =
      h[12] | (h[13] << 8) | (h[14] << 16) | (static_cast<uint32_t>(h[15]) << 24);
  if (data) data->resize(length);
  for (uint32_t k = 0; k < length; ++k) {
    if (data) (*data)[k] = log_ring_[log_read_];
    if (++log_read_ == log_size_) log_read_ = 0;
  }
  log_free_ += length;
  if (header) std::memcpy(header, h, kLogHeaderSize);
  return true;
}

void TSerBaseDispatcher::AddLogEntry(uint8_t kind, uint8_t sub_kind, uint32_t value,
                                     const uint8_t* data, uint32_t length) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (log_ring_.empty()) return;
  if (!data) length = 0;
  // An entry is stored whole or not at all: header and data together must fit, and
  // room is made for both before either is written.
  const uint64_t total = uint64_t{kLogHeaderSize} + length;
  if (total >= log_size_) return;
  while (log_free_ < total) {
    if (!ReadLogEntry(nullptr, nullptr)) break;
  }
  const uint32_t time = ElapsedMs() - time_of_opening_;
  uint8_t h[kLogHeaderSize] = {kind, sub_kind, 0, 0};
  for (int k = 0; k < 4; ++k) {
    h[4 + k] = static_cast<uint8_t>(time >> (8 * k));
    h[8 + k] = static_cast<uint8_t>(value >> (8 * k));
    h[12 + k] = static_cast<uint8_t>(length >> (8 * k));
  }
  WriteLogRing(h, kLogHeaderSize);
  if (length) WriteLogRing(data, length);
}

int TSerBaseDispatcher::ClearLog() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  log_write_ = log_read_ = 0;
  log_free_ = log_size_;
  return 0;
}

void TSerBaseDispatcher::PauseLog() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  logging_ = false;
}

void TSerBaseDispatcher::ResumeLog() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  logging_ = !log_ring_.empty();
}

void TSerBaseDispatcher::StopLog() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  logging_ = false;
  log_ring_.clear();
  log_ring_.shrink_to_fit();
  log_size_ = log_write_ = log_read_ = log_free_ = 0;
}

bool TSerBaseDispatcher::Logging() {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  return logging_;
}

int TSerBaseDispatcher::DumpLog(const std::string& file_name, bool append, bool in_hex,
                                bool all_hex) {
  std::lock_guard<std::recursive_mutex> lock(main_lock_);
  if (log_ring_.empty() || log_free_ >= log_size_) {
    StopLog();
    return 0;
  }
  logging_ = false;
  TextFile file(file_name, append);
  if (!file.is_open()) return -file.Close();
  file.Write(std::string("SERLIB ") + "v4.00" + kLineEnd);
  file.Write("Compiler : " + CompilerName() + kLineEnd);
  file.Write("Operating System : " + OperatingSystemText().substr(0, 80) + kLineEnd);
  file.Write("Device: " + device_name_ + kLineEnd);
  file.Write(LookUp(15501) + kLineEnd);
  file.Write(LookUp(15502) + kLineEnd);
  uint8_t h[kLogHeaderSize];
  std::vector<uint8_t> data;
  ColumnWriter out(file, true);
  while (ReadLogEntry(h, &data)) {
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
  StopLog();
  return -error;
}
