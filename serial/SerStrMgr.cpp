#include "serial/SerStrMgr.h"

#include <atomic>

#include "platform/text_1252.h"

namespace {

// The string manager's message ids in SERSTRMGR_STRINGS. (2 "Cannot lock resource"
// and 4 "Unable to open string resource: %s" have no cause here: a built-in table
// is always loaded and readable.)
constexpr int kStringNotFound = 1;
constexpr int kResourceNotFound = 3;
constexpr int kInvalidResource = 5;

// Set once LibraryStrings exists, so that a failure while it is being opened does
// not ask it for its own message.
std::atomic<bool> library_strings_ready{false};

// The message from LibraryStrings, or the same text when that table itself fails.
std::string ManagerMessage(int id) {
  static const char* const kFallback[] = {"",
                                          "String not found: %d",
                                          "Cannot lock resource",
                                          "String resource not found: %s",
                                          "Unable to open string resource: %s",
                                          "Invalid string resource"};
  if (library_strings_ready) {
    std::string text = LibraryStrings().LookUpString(id);
    if (!text.empty()) return text;
  }
  return kFallback[id];
}

std::string WithName(std::string format, std::string_view name) {
  const size_t at = format.find("%s");
  if (at != std::string::npos) format.replace(at, 2, std::string(name));
  return format;
}

}  // namespace

TSerStringResource::TSerStringResource(std::string_view resource_name) {
  const std::string_view name = resource_name.substr(0, kMaxResourceName);
  std::span<const uint8_t> found = FindSerialResource(name);
  if (found.empty())
    throw ETpsStringResourceError(WithName(ManagerMessage(kResourceNotFound), name));
  bytes_.assign(found.begin(), found.end());
  OpenTable();
}

TSerStringResource::TSerStringResource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
  OpenTable();
}

int32_t TSerStringResource::ReadInt32(size_t offset) const {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k)
    v = (v << 8) | bytes_[offset + k];
  return static_cast<int32_t>(v);
}

// Checks the whole table once, so that no lookup can read outside it: the magic, an
// entry table that fits, and every text inside the resource.
void TSerStringResource::OpenTable() {
  auto invalid = [] { return ETpsStringResourceError(ManagerMessage(kInvalidResource)); };
  if (bytes_.size() < 8 || bytes_[0] != 'S' || bytes_[1] != 'T' || bytes_[2] != 'R' ||
      bytes_[3] != '0') {
    throw invalid();
  }
  const int32_t count = ReadInt32(4);
  if (count < 0 || static_cast<uint64_t>(count) * 12 > bytes_.size() - 8) throw invalid();
  for (int32_t i = 0; i < count; ++i) {
    const int64_t offset = ReadInt32(8 + 12 * static_cast<size_t>(i) + 4);
    const int64_t length = ReadInt32(8 + 12 * static_cast<size_t>(i) + 8);
    if (offset < 0 || length < 0 || offset + 2 * length > static_cast<int64_t>(bytes_.size())) {
      throw invalid();
    }
  }
  count_ = count;
}

int32_t TSerStringResource::FindEntry(int32_t id) const {
  int32_t low = 0;
  int32_t high = count_ - 1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    const int32_t entry_id = ReadInt32(8 + 12 * static_cast<size_t>(middle));
    if (entry_id == id) return middle;
    if (entry_id < id) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return -1;
}

std::string TSerStringResource::LookUpString(int32_t id) const {
  const int32_t entry = FindEntry(id);
  if (entry < 0) {
    if (raise_on_missing_) {
      std::string message = ManagerMessage(kStringNotFound);
      const size_t at = message.find("%d");
      if (at != std::string::npos) message.replace(at, 2, std::to_string(id));
      throw ETpsStringResourceError(message);
    }
    return "";
  }
  const size_t offset = static_cast<size_t>(ReadInt32(8 + 12 * static_cast<size_t>(entry) + 4));
  const size_t length = static_cast<size_t>(ReadInt32(8 + 12 * static_cast<size_t>(entry) + 8));
  std::u16string text(length, u'\0');
  for (size_t k = 0; k < length; ++k) {
    text[k] = static_cast<char16_t>(bytes_[offset + 2 * k] | (bytes_[offset + 2 * k + 1] << 8));
  }
  return platform::Utf16ToWin1252(text);
}

const TSerStringResource& LibraryStrings() {
  static const TSerStringResource table = [] {
    TSerStringResource t("SERSTRMGR_STRINGS");
    library_strings_ready = true;
    return t;
  }();
  return table;
}

const TSerStringResource& ErrorStrings() {
  LibraryStrings();  // created first, as the library's units start
  static const TSerStringResource table("SERIAL_ERROR_STRINGS_ENGLISH");
  return table;
}
