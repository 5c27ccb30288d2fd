#include "datamodel/SaveITNewFile.h"

#include <algorithm>
#include <string_view>

#include "datafile/QORClassFormat.h"
#include "datamodel/RecordTags.h"
#include "datamodel/SaveITNewItems.h"

namespace save_file {
namespace {

int32_t Int32At(const uint8_t* data, int64_t offset) {
  return qor::LoadLittleEndian<int32_t>(data + offset);
}

// A version number is read while it is below this, so that no string of digits
// overflows it: 9,999,999 is the largest read, and a file with a larger one is
// taken for none of the current header.
constexpr int64_t kVersionNumberReadBelow = 1000000;

// The decimal number at the start of Text, and how many characters it took.
bool LeadingNumber(std::string_view text, int32_t& value, size_t& used) {
  used = 0;
  int64_t v = 0;
  while (used < text.size() && text[used] >= '0' && text[used] <= '9' &&
         v < kVersionNumberReadBelow) {
    v = v * 10 + (text[used] - '0');
    ++used;
  }
  value = static_cast<int32_t>(v);
  return used > 0;
}

}  // namespace

int64_t FirstRecordOffset(const uint8_t* data, int64_t size) {
  // int32 1, int32 size, int32 9, int32 length, int32 character size 1, the text.
  if (size < 20 || Int32At(data, 0) != qor::kHeaderRecordTag ||
      Int32At(data, 8) != qor::kHeaderTextTag || Int32At(data, 16) != 1)
    return -1;
  const int32_t length = Int32At(data, 12);
  if (length < 4 || length - 4 > size - 20) return -1;
  const std::string_view text(reinterpret_cast<const char*>(data + 20),
                              static_cast<size_t>(length - 4));
  if (text.substr(0, qor::kPlainHeaderText.size()) != qor::kPlainHeaderText) return -1;
  const std::string_view version = text.substr(qor::kPlainHeaderText.size());
  int32_t major = 0;
  int32_t minor = 0;
  size_t used = 0;
  if (!LeadingNumber(version, major, used) || used >= version.size() || version[used] != '.')
    return -1;
  const std::string_view rest = version.substr(used + 1);
  if (!LeadingNumber(rest, minor, used) || used != rest.size()) return -1;
  if (major < 1 || (major == 1 && minor < 2)) return -1;
  return 16 + int64_t{length};
}

bool QuietSince(int64_t modified_ns, int64_t now_ns) {
  constexpr int64_t kNanosecondsPerSecond = 1000000000;
  if (now_ns < modified_ns) return false;
  return (now_ns - modified_ns) / kNanosecondsPerSecond > kTornTailQuietSeconds;
}

namespace {

bool IsAppendedKind(int32_t tag) {
  return tag == record_tag::kDataPoint || tag == record_tag::kRecordDelimiterPoint ||
         tag == record_tag::kAnalyzerPoint || tag == record_tag::kVideoFrame;
}

// The size a record of an appended kind always has, or 0 for the analyzer point,
// whose size depends on its vial id.
int32_t FixedSizeOf(int32_t tag) {
  if (tag == record_tag::kDataPoint || tag == record_tag::kRecordDelimiterPoint)
    return record_tag::kDataPointBodySize;
  if (tag == record_tag::kVideoFrame) return record_tag::kVideoFrameBodySize;
  return 0;
}

// An analyzer point's body: int16 index, two Doubles, one byte, the vial id (int32
// length counting the character-size field, int32 character size, the text), int32
// attempt number.
constexpr int32_t kAnalyzerIdLengthAt = 19;
constexpr int32_t kAnalyzerBodyBeyondId = 27;
constexpr int32_t kShortestAnalyzerBody = kAnalyzerBodyBeyondId + 4;

// The value of the first Count (< 4) bytes of a little-endian int32.
int64_t LowBytes(const uint8_t* data, int64_t count) {
  int64_t value = 0;
  for (int64_t i = count - 1; i >= 0; --i)
    value = value << 8 | data[i];
  return value;
}

// Whether the Available bytes at Record, the last of the file and fewer than the
// record needs, are what an interrupted append leaves: a beginning of a record of
// an appended kind with the size its kind has.
bool IsTornAppend(const uint8_t* record, int64_t available) {
  if (available < 4) {
    // The tag itself is cut short: its bytes must begin one of the appended tags.
    for (const int32_t tag : {record_tag::kDataPoint, record_tag::kRecordDelimiterPoint,
                              record_tag::kAnalyzerPoint, record_tag::kVideoFrame}) {
      if (LowBytes(record, available) == (tag & ((int64_t{1} << (8 * available)) - 1))) return true;
    }
    return false;
  }
  const int32_t tag = Int32At(record, 0);
  if (!IsAppendedKind(tag)) return false;
  const int64_t size_bytes = std::min<int64_t>(available - 4, 4);
  const int64_t size_low = LowBytes(record + 4, size_bytes);
  const int32_t fixed = FixedSizeOf(tag);
  if (fixed > 0) return size_low == (fixed & ((int64_t{1} << (8 * size_bytes)) - 1));
  // An analyzer point. With two or more of its size's bytes there, the size is
  // known to be below 65,536, so it must lie in the kind's range; with fewer any
  // value still could.
  if (size_bytes < 2) return true;
  if (size_low < kShortestAnalyzerBody || size_low > kLongestAppendedRecord) return false;
  if (size_bytes < 4) return true;
  // The vial id's length, once there, tells the whole record's size.
  const int64_t body = available - 8;
  if (body < kAnalyzerIdLengthAt + 4) return true;
  const int64_t id_length = Int32At(record, 8 + kAnalyzerIdLengthAt);
  return id_length >= 4 && size_low == kAnalyzerBodyBeyondId + id_length;
}

}  // namespace

TWalkResult WalkRecords(const uint8_t* data, int64_t size, int64_t from,
                        std::vector<int32_t>* points_of_index) {
  TWalkResult result;
  int64_t position = from;
  const auto torn_or_damaged = [&] {
    if (IsTornAppend(data + position, size - position)) {
      result.whole_end = position;
      result.torn = true;
    } else {
      result.whole_end = size;
      result.damage_at = position;
    }
    return result;
  };
  while (position < size) {
    if (size - position < 8) return torn_or_damaged();  // not even a whole tag and size
    const int32_t tag = Int32At(data, position);
    const int32_t record_size = Int32At(data, position + 4);
    const int64_t end = position + 8 + int64_t{record_size};
    // A record of a kind with a fixed size that states another is damaged right
    // here: stepping over it by that size would lose step and blame a later one.
    const int32_t fixed = FixedSizeOf(tag);
    if (record_size < 0 || (fixed > 0 && record_size != fixed)) {
      result.whole_end = size;
      result.damage_at = position;
      return result;
    }
    if (end > size) return torn_or_damaged();
    if (points_of_index && (tag == record_tag::kDataPoint || tag == record_tag::kAnalyzerPoint) &&
        record_size >= 2) {
      const uint16_t index = qor::LoadLittleEndian<uint16_t>(data + position + 8);
      if (index >= points_of_index->size()) points_of_index->resize(size_t{index} + 1, 0);
      ++(*points_of_index)[index];
    }
    result.last_start = position;
    position = end;
  }
  result.whole_end = size;
  return result;
}

}  // namespace save_file
