// Test support: byte sequences built by hand, field by field, for comparing with
// what the writer produced or feeding to the reader; and exception messages.
#pragma once

#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassWriter.h"
#include "platform/stream.h"
#include "platform/tests/message_of.h"

namespace qor_test {

class Bytes {
 public:
  Bytes& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  Bytes& I16(int16_t v) { return Raw(&v, 2); }
  Bytes& I32(int32_t v) { return Raw(&v, 4); }
  Bytes& F64(double v) { return Raw(&v, 8); }
  Bytes& Text(std::string_view text) { return Raw(text.data(), text.size()); }
  // A string as the writer stores it: length (4 + characters), size 1, characters.
  Bytes& Str(std::string_view text) {
    return I32(static_cast<int32_t>(text.size() + 4)).I32(1).Text(text);
  }
  Bytes& Append(const Bytes& other) {
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    return *this;
  }
  Bytes& Raw(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
    return *this;
  }
  // The sum of all bytes so far, mod 256: the checksum byte of a folding built here.
  uint8_t Sum() const {
    uint8_t s = 0;
    for (uint8_t b : bytes_)
      s = static_cast<uint8_t>(s + b);
    return s;
  }
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& vec() const { return bytes_; }
  std::vector<uint8_t>& vec() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A folding of a file with checksums: tag, size (body + 1), body, check byte.
inline Bytes CheckedRecord(int32_t tag, const Bytes& body) {
  Bytes record = Bytes().I32(tag).I32(static_cast<int32_t>(body.size() + 1)).Append(body);
  return record.U8(record.Sum());
}

// A record of a plain file: tag, size, body.
inline Bytes PlainRecord(int32_t tag, const Bytes& body) {
  return Bytes().I32(tag).I32(static_cast<int32_t>(body.size())).Append(body);
}

inline std::vector<uint8_t> Contents(const platform::MemoryStream& stream) {
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

inline void Fill(platform::MemoryStream& stream, const std::vector<uint8_t>& bytes) {
  stream.Clear();
  stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
}

// Writes a whole file into File, with or without checksums: the header, whatever
// Body writes in the header record, the end of the header record. The file is left
// at position 0.
template <typename F>
void WriteFile(platform::MemoryStream& file, bool checksums, F&& body) {
  TVistaWriter writer;
  writer.SetUseChecksums(checksums);
  writer.SetStream(&file);
  writer.WriteHeader();
  body(writer);
  writer.FinishFile();
  file.SetPosition(0);
}

using platform_test::MessageOf;

}  // namespace qor_test
