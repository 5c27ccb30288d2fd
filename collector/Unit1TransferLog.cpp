#include "collector/Unit1TransferLog.h"

#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include "platform/file_ends.h"
#include "platform/files.h"

namespace {

// The lines that lie wholly within the last kMaxReadBytes of the file; false when
// it cannot be read.
bool ReadTail(const std::string& path, std::string& text) {
  // The byte before the last kMaxReadBytes too, to tell whether they start a line.
  std::optional<platform::FileTail> tail =
      platform::ReadFileTail(path, TTransferLog::kMaxReadBytes + 1);
  if (!tail) return false;
  text = std::move(tail->bytes);
  // Cut from a larger file: drop through the first line end (a CR LF is one), which
  // leaves a line that started before the tail, or only the end of the line before.
  if (tail->offset > 0 || text.size() > TTransferLog::kMaxReadBytes) {
    size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos) {
      end = text.size();
    } else if (text[end++] == '\r' && end < text.size() && text[end] == '\n') {
      ++end;
    }
    text.erase(0, end);
  }
  return true;
}

}  // namespace

std::string CutText(std::string_view text, size_t bytes) {
  if (text.size() <= bytes) return std::string(text);
  if (bytes <= kCutMark.size()) return std::string(kCutMark.substr(0, bytes));
  std::string cut(text.substr(0, bytes - kCutMark.size()));
  cut += kCutMark;
  return cut;
}

std::vector<std::string> ListInEntries(std::string_view head, const std::vector<std::string>& items,
                                       size_t bytes, size_t max_entries) {
  const std::string start = CutText(head, bytes / 2);
  const auto more = [&items](size_t rest) {
    return " and " + std::to_string(rest) + " more (" + std::to_string(items.size()) + " in all)";
  };
  std::vector<std::string> entries;
  size_t next = 0;
  while (next < items.size()) {
    const bool last = entries.size() + 1 >= max_entries;
    // The last entry keeps room for the longest count there can be, unless all the
    // items left fit in it.
    size_t room = 0;
    if (last) {
      size_t all = start.size();
      for (size_t i = next; i < items.size(); ++i)
        all += (i > next ? 2 : 0) + items[i].size();
      if (all > bytes) room = more(items.size()).size();
    }
    std::string entry = start;
    for (size_t taken = 0; next < items.size(); ++taken, ++next) {
      const std::string_view separator = taken > 0 ? "; " : "";
      if (taken > 0 && entry.size() + separator.size() + items[next].size() + room > bytes) break;
      entry += separator;
      entry += items[next];
    }
    if (last && next < items.size()) {
      entry += more(items.size() - next);
      next = items.size();
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string OneLine(std::string_view text) {
  std::string line = CutText(text, TTransferLog::kMaxEntryBytes);
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return line;
}

bool TTransferLog::Load() {
  lines_.clear();
  std::string text;
  if (!ReadTail(file_name_, text)) return false;
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find_first_of("\r\n", pos);
    if (eol == std::string::npos) eol = text.size();
    lines.push_back(CutText(std::string_view(text).substr(pos, eol - pos), kMaxEntryBytes));
    pos = eol;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  const size_t keep = kKeptLines + 1;
  if (lines.size() > keep) lines.erase(lines.begin(), lines.end() - keep);
  lines_ = std::move(lines);
  return true;
}

void TTransferLog::Reset(std::string_view line) {
  lines_.assign(1, OneLine(line));
}

bool TTransferLog::Add(std::string_view entry, std::string* error) {
  Append(entry);
  return Save(error);
}

void TTransferLog::Append(std::string_view entry) {
  if (lines_.size() > kKeptLines) lines_.erase(lines_.begin(), lines_.end() - kKeptLines);
  lines_.push_back(OneLine(entry));
}

void TTransferLog::ReplaceLast(std::string_view entry) {
  if (lines_.empty()) {
    lines_.push_back(OneLine(entry));
  } else {
    lines_.back() = OneLine(entry);
  }
}

bool TTransferLog::Save(std::string* error) const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  try {
    platform::WriteFileAtomically(file_name_, text.data(), text.size());
    return true;
  } catch (const std::exception& failure) {
    if (error) *error = failure.what();
    return false;
  }
}
