// The transfer log: the lines the main window shows in Memo4 and keeps in the file
// "ABL 625 Logfile.txt" of the data folder.
//
// Before each entry the oldest lines go while more than kKeptLines remain, so the
// log holds at most kKeptLines + 1 lines; the file is then rewritten whole (through
// a temporary file and a rename, so a failed save leaves the previous log whole).
// The file holds Windows-1252 text with CR LF line ends, as the main application's
// tools have always read it; reading accepts any line end. Reading keeps only the
// newest lines, and only those wholly within the last kMaxReadBytes of a file, so a
// huge or foreign file cannot swamp the window.
//
// Entries are made from data off the wire: control characters in them (which would
// break the file's lines) become "?", and an entry (a loaded line too) longer than
// kMaxEntryBytes is cut to that many bytes, ending in kCutMark, so that the kept
// lines bound the file and the window (about 200 KiB at most).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TTransferLog {
 public:
  static constexpr size_t kKeptLines = 200;
  static constexpr size_t kMaxReadBytes = 1 << 20;
  static constexpr size_t kMaxEntryBytes = 1024;

  explicit TTransferLog(std::string file_name) : file_name_(std::move(file_name)) {}

  const std::string& FileName() const { return file_name_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Replaces the lines with the file's (its last kKeptLines + 1); false, leaving
  // the lines empty, when the file cannot be read.
  bool Load();
  // Replaces the lines with this one (a new log), without saving.
  void Reset(std::string_view line);
  // Removes the oldest lines while more than kKeptLines remain, then appends the
  // entry; then saves. False when the save failed (Error tells why); the entry is
  // in the lines either way.
  bool Add(std::string_view entry, std::string* error = nullptr);
  // Add without the save, for a caller that saves once after several entries.
  void Append(std::string_view entry);
  // Replaces the newest line (appends one to an empty log), without saving.
  void ReplaceLast(std::string_view entry);
  // Writes the whole log to the file; false (Error set) when it cannot.
  bool Save(std::string* error = nullptr) const;

 private:
  std::string file_name_;
  std::vector<std::string> lines_;
};

// What ends a text that was cut short.
inline constexpr std::string_view kCutMark = " [cut]";
// What an entry shows of one text from the wire within it (a parameter, a unit, a
// value that is not a number), so that one long text leaves room for the others.
inline constexpr size_t kMaxQuotedBytes = 64;

// Text fit for one line of a log or a window: control characters become "?", and
// at most kMaxEntryBytes bytes.
std::string OneLine(std::string_view text);
// Text of at most Bytes bytes: a longer one is cut to end in kCutMark.
std::string CutText(std::string_view text, size_t bytes);
// Entries of at most Bytes bytes that list Items after Head, "; " between them, each
// entry as many whole items as fit (and at least one, so that no item is left out
// for its size). At most MaxEntries entries: the items that find no room in them
// are counted at the end of the last, " and 12 more (20 in all)". A Head longer
// than half of Bytes is cut to that, so that items still find room after it.
std::vector<std::string> ListInEntries(std::string_view head, const std::vector<std::string>& items,
                                       size_t bytes, size_t max_entries);
