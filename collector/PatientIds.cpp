#include "collector/PatientIds.h"

#include <algorithm>
#include <cstring>

#include "collector/RecordParsing.h"
#include "platform/exception.h"
#include "platform/files.h"

namespace {

void EraseFirst(std::string& text, char c) {
  if (const size_t at = text.find(c); at != std::string::npos) text.erase(at, 1);
}

std::string_view Part(std::string_view text, size_t from, size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string_view();
}

std::string WithNumber(const platform::ResourceString& resource, int number) {
  std::string text = platform::LoadResString(resource);
  const size_t at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(number));
  return text;
}

// The text for a log line: control characters, which could break the line, as "?".
std::string Printable(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return result;
}

constexpr uint8_t kTemplateTail[] = {
    0x2d, 0x00, 0x20, 0x68, 0xf6, 0x20, 0x62, 0x75, 0x6b, 0x00, 0x6f, 0x72, 0x61, 0x6c, 0x69, 0x00,
    0x30, 0x31, 0x3a, 0x30, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x2d, 0x00,
    0x04, 0x00, 0x00, 0x1c, 0x00, 0x31, 0x30, 0x37, 0x32, 0x30, 0x31, 0x30, 0x32, 0x2d, 0x30, 0x31,
    0x3a, 0x30, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x2d, 0x00, 0x72, 0x61,
    0x6c, 0x69, 0x00, 0x30, 0x31, 0x3a, 0x30, 0x30, 0x00, 0x01, 0x00, 0x00, 0x30, 0x34, 0x3a, 0x30,
    0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0xba, 0x34, 0x02, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xed, 0x03, 0x00, 0x00, 0x0a, 0x00, 0x05, 0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x01,
    0x00, 0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00,
    0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00,
    0x05, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00,
    0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00,
    0x32, 0x00, 0x05, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05,
    0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00,
    0x00, 0x00, 0x32, 0x00, 0x05, 0x00, 0x00,
};
static_assert(sizeof kTemplateTail == kPatientFileSize - 56);

constexpr std::array<uint8_t, kPatientFileSize> MakeTemplate() {
  std::array<uint8_t, kPatientFileSize> bytes{};
  bytes[0] = 0xF1;
  bytes[1] = 0x03;
  for (size_t i = 0; i < sizeof kTemplateTail; ++i)
    bytes[56 + i] = kTemplateTail[i];
  return bytes;
}

constexpr std::array<uint8_t, kPatientFileSize> kTemplate = MakeTemplate();

}  // namespace

std::string RemoveIdPunctuation(std::string_view id) {
  std::string result(id);
  EraseFirst(result, ',');
  EraseFirst(result, '.');
  EraseFirst(result, '-');
  return result;
}

std::string ReduceId(std::string_view id, bool use_first_ten) {
  if (id.empty()) return "NULL";
  if (id.size() <= 10) return std::string(id);
  return std::string(use_first_ten ? id.substr(0, 10) : id.substr(id.size() - 10));
}

std::string FolderNameOf(std::string_view id) {
  return std::string(Part(id, 0, 8)) + ".$" + std::string(Part(id, 8, 2));
}

std::string ShownIdOf(std::string_view id) {
  return std::string(Part(id, 0, 6)) + "-" + std::string(Part(id, 6, 4));
}

bool IsSafeNameText(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
           byte == 0x90 || byte == 0x9D || c == '/' || c == '\\';
  });
}

TRegisteredEntry ReadRegisteredEntry(std::string_view entry) {
  TRegisteredEntry result;
  if (entry.empty()) return result;
  const std::string_view folder = entry.substr(0, entry.find_first_of("\\/"));
  const size_t mark = folder.find(".$");
  if (mark == std::string_view::npos || !IsSafeNameText(folder)) {
    result.status = TRegisteredEntry::Status::kInvalid;
    return result;
  }
  std::string id(folder);
  id.erase(mark, 2);
  result.status = TRegisteredEntry::Status::kRegistered;
  result.folder_name = std::string(folder);
  result.shown_id = ShownIdOf(id);
  return result;
}

TPatientIdentity ResolvePatientId(std::string_view id_field, bool use_first_ten,
                                  const TRegisteredEntries& registered) {
  TPatientIdentity identity;
  const std::string id = RemoveIdPunctuation(id_field);
  if (id == "1" || id == "2" || id == "3") {
    const int number = id[0] - '0';
    const std::string& value = registered[number - 1];
    const TRegisteredEntry entry = ReadRegisteredEntry(value);
    if (entry.status == TRegisteredEntry::Status::kRegistered) {
      identity.accepted = true;
      identity.registered = true;
      identity.folder_name = entry.folder_name;
      identity.shown_id = entry.shown_id;
      return identity;
    }
    if (entry.status == TRegisteredEntry::Status::kInvalid) {
      identity.notices.push_back(WithNumber(SRegisteredIgnored, number) + " " + Printable(value));
    }
  }

  const std::string reduced = ReduceId(id, use_first_ten);
  if (!IsSafeNameText(reduced)) {
    identity.notices.push_back(platform::LoadResString(SIdRejected) + " " + Printable(id_field));
    return identity;
  }
  identity.accepted = true;
  identity.folder_name = FolderNameOf(reduced);
  identity.shown_id = ShownIdOf(reduced);
  return identity;
}

std::string PatientFolderPath(std::string_view data_dir, std::string_view folder_name) {
  return std::string(data_dir) + std::string(folder_name) + "/";
}

std::span<const uint8_t, kPatientFileSize> PatientFileTemplate() {
  return kTemplate;
}

std::string CopyToFixedField(std::string_view text, size_t length) {
  std::string field(text.substr(0, length));
  field.resize(length + 1, '\0');
  return field;
}

std::vector<uint8_t> BuildPatientFile(std::string_view shown_id, std::string_view first_name,
                                      std::string_view last_name) {
  const std::string fields = CopyToFixedField(last_name, 20) + CopyToFixedField(first_name, 20) +
                             CopyToFixedField(TrimBlanks(shown_id), 11);
  std::vector<uint8_t> bytes(kTemplate.begin(), kTemplate.end());
  std::memcpy(bytes.data() + 2, fields.data(), fields.size());
  return bytes;
}

bool WritePatientFile(const std::string& folder, const std::vector<uint8_t>& bytes) {
  const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
  const std::string path = folder + (separated ? "" : "/") + kPatientFileName;
  if (platform::CreateFileExclusively(path, bytes.data(), bytes.size())) return true;
  if (platform::FileExists(path)) return false;
  // A folder, or whatever else holds the name: the patient cannot have its file.
  throw EFCreateError("Cannot create file \"" + path + "\". File exists");
}

std::string PatientNameFromFile(std::span<const uint8_t> first_bytes) {
  std::string name;
  for (size_t i = 2; i < 22 && i < first_bytes.size() && first_bytes[i] != 0; ++i)
    name += static_cast<char>(first_bytes[i]);
  return name;
}
