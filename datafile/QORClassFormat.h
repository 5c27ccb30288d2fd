// The tagged data-file format shared by writer and reader.
//
// A file is a sequence of fields: int32 tag, int32 size, size payload bytes, all
// integers little-endian. A record is a field whose payload holds further fields;
// it is either a folding (followed by a checksum byte when the file is written with
// checksums) or a group (never a checksum byte). The checksum byte of a folding is
// the byte sum, mod 256, of its tag, its size and its whole body, nested records
// included with every byte, their checksum bytes too; a complete folding therefore
// adds twice its checksum byte to the sum of the folding around it.
//
// The file starts with the header record, tag 1, whose first field, tag 9, holds the
// header text and the version: "*QOR Fluvantronics Save File Header 2.0" for a file
// with checksums, the same without "*" for a plain one.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/object.h"

namespace platform {
class Stream;
}

namespace qor {

static_assert(std::endian::native == std::endian::little,
              "the data files are little-endian and are read and written by copying bytes");

inline constexpr std::string_view kChecksumHeaderText = "*QOR Fluvantronics Save File Header ";
inline constexpr std::string_view kPlainHeaderText = "QOR Fluvantronics Save File Header ";
inline constexpr int32_t kHeaderRecordTag = 1;
inline constexpr int32_t kHeaderTextTag = 9;

template <typename T>
inline T LoadLittleEndian(const void* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

}  // namespace qor

// Base of writer and reader: the version of the file, the running checksum and the
// stream being written or read (not owned). Each keeps its own stack of open
// records, whose entries differ between the two.
class TQORReadWriter : public TPersistent {
 public:
  std::string_view ClassName() const override { return "TQORReadWriter"; }

  virtual void BeginFolding(int32_t tag) = 0;
  virtual bool EndFolding() = 0;

  int32_t MajorVersion() const { return major_version_; }
  int32_t MinorVersion() const { return minor_version_; }
  uint8_t Checksum() const { return checksum_; }
  platform::Stream* Stream() const { return stream_; }

  // Adds each of Count bytes to the checksum, mod 256. Inline: it runs for every
  // value read or written.
  void AddToChecksum(const void* buffer, int64_t count) {
    // Summed wide and reduced once: the sum mod 256 is the same, without a
    // byte-wide dependency chain.
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    uint32_t sum = checksum_;
    for (int64_t i = 0; i < count; ++i)
      sum += bytes[i];
    checksum_ = static_cast<uint8_t>(sum);
  }
  // The sum of the four bytes of Value, mod 256.
  static uint8_t ByteSumOfInt(int32_t value);

 protected:
  int32_t major_version_ = 2;
  int32_t minor_version_ = 0;
  uint8_t checksum_ = 0;
  platform::Stream* stream_ = nullptr;
};
