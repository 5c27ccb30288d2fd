#include "datamodel/SaveITNewFile.h"

#include <string_view>

#include "datafile/QORClassFormat.h"
#include "datamodel/RecordTags.h"
#include "datamodel/SaveITNewItems.h"

namespace save_file {
namespace {

int32_t Int32At(const uint8_t* data, int64_t offset) {
  return qor::LoadLittleEndian<int32_t>(data + offset);
}

// The decimal number at the start of Text, and how many characters it took.
bool LeadingNumber(std::string_view text, int32_t& value, size_t& used) {
  used = 0;
  int64_t v = 0;
  while (used < text.size() && text[used] >= '0' && text[used] <= '9' && v < 1000000) {
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

WalkResult WalkRecords(const uint8_t* data, int64_t size, int64_t from,
                       std::vector<int32_t>* points_of_index) {
  int64_t position = from;
  while (position < size) {
    if (size - position < 8) return {position, true};  // not even a whole tag and size
    const int32_t tag = Int32At(data, position);
    const int32_t record_size = Int32At(data, position + 4);
    if (record_size < 0) return {size, false};
    const int64_t end = position + 8 + int64_t{record_size};
    if (end > size) {
      if (record_size <= kLongestAppendedRecord) return {position, true};
      return {size, false};
    }
    if (points_of_index && (tag == record_tag::kDataPoint || tag == record_tag::kAnalyzerPoint) &&
        record_size >= 2) {
      const uint16_t index = qor::LoadLittleEndian<uint16_t>(data + position + 8);
      if (index >= points_of_index->size()) points_of_index->resize(size_t{index} + 1, 0);
      ++(*points_of_index)[index];
    }
    position = end;
  }
  return {size, false};
}

}  // namespace save_file
