#include "platform/clipboard.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr uint32_t kFirstFormat = 0xC000;
constexpr uint32_t kLastFormat = 0xFFFF;

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

uint16_t RegisterClipboardFormat(std::string_view name) {
  static std::mutex mutex;
  static std::vector<std::string> names;  // index i holds format kFirstFormat + i
  if (name.empty()) return 0;
  std::lock_guard<std::mutex> lock(mutex);
  for (size_t i = 0; i < names.size(); ++i) {
    if (SameName(names[i], name)) return static_cast<uint16_t>(kFirstFormat + i);
  }
  if (kFirstFormat + names.size() > kLastFormat) return 0;
  names.emplace_back(name);
  return static_cast<uint16_t>(kFirstFormat + names.size() - 1);
}

}  // namespace platform
