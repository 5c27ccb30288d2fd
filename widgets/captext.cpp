#include "widgets/captext.h"

namespace {

// The text as a zero-terminated string sees it.
size_t TextLength(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text.size() : nul;
}

}  // namespace

void CapDeleteChar(std::string& text, size_t pos) {
  if (pos < TextLength(text)) text.erase(pos, 1);
}

void CapInsertChar(std::string& text, char c, size_t pos) {
  const size_t length = TextLength(text);
  text.insert(pos < length ? pos : length, 1, c);
}

bool CapFindChar(std::string_view text, char c, size_t& pos) {
  const size_t found = text.substr(0, TextLength(text)).find(c);
  if (found == std::string_view::npos) return false;
  pos = found;
  return true;
}

bool CapFindSubstring(std::string_view text, std::string_view sub, size_t& pos) {
  const size_t found = text.substr(0, TextLength(text)).find(sub);
  if (found == std::string_view::npos) return false;
  pos = found;
  return true;
}
