// Walking the records of a plain data file without reading them: where its last
// whole record ends, so that a record cut short by a crash or a full disk can be
// left out of a load and cut off before the next append.
//
// In a plain file everything after the header text is a sequence of records and
// fields at one level, each an int32 tag, an int32 size and that many bytes (the
// header record's own size is not used: a plain file is read to its end). A walk
// steps over them by their sizes, checking each against the bytes that are there.
#pragma once

#include <cstdint>
#include <vector>

namespace save_file {

// Only the last record of an interrupted append is taken for torn: a record of a
// kind appended after the data (data points, delimiters, analyzer points, video
// frames), running past the end of the file with the size its kind has (an
// analyzer point's, which holds its vial id, at most this), so that nothing whole
// can follow it. Any other record that runs past the end is damage: a damaged size
// field, whose record may well be followed by whole ones, is never cut off.
inline constexpr int32_t kLongestAppendedRecord = 4096;

// A torn tail is cut off only when it is the component's own interrupted append,
// or when the file has not been modified for more than this many whole seconds:
// a program copying over the file (which ignores the writers' lock) leaves a torn
// record at the end of each chunk, and the rest of that record arrives with its
// next one. Measured on the real clock, as the modification time is.
inline constexpr int64_t kTornTailQuietSeconds = 30;

// Whether a file last modified at ModifiedNs (nanoseconds since 1970-01-01 UTC) has
// been left alone for more than kTornTailQuietSeconds at NowNs, in whole seconds. A
// modification time ahead of the clock is taken as recent.
bool QuietSince(int64_t modified_ns, int64_t now_ns);

// Where the records of a plain file begin: right after its header text, for a
// file with the current header ("QOR Fluvantronics Save File Header " and a
// version of at least 1.2, whose sizes are four bytes and whose string lengths
// count the character-size field). -1 for any other file (with checksums, an old
// header, or not a data file), which is never walked.
int64_t FirstRecordOffset(const uint8_t* data, int64_t size);

struct TWalkResult {
  // The end of the last whole record: where a torn record begins, else Size
  // (damage included: nothing is cut off behind it).
  int64_t whole_end = 0;
  // The bytes from whole_end on are the torn tail of an interrupted append.
  bool torn = false;
  // Where a record that cannot be stepped over begins (a negative size, a size
  // other than its kind's fixed one, or one running past the end that is no torn
  // append), or -1.
  int64_t damage_at = -1;
  // Where the last whole record the walk stepped over begins, or -1.
  int64_t last_start = -1;
};

// Walks the records in Data[From, Size). When PointsOfIndex is given, it counts
// the data points (records 220 and 221) of each series index (read as 16 bits
// without sign), growing the vector as indexes appear.
TWalkResult WalkRecords(const uint8_t* data, int64_t size, int64_t from,
                        std::vector<int32_t>* points_of_index = nullptr);

}  // namespace save_file
