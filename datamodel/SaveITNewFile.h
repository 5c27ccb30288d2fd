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

// Records appended after the data (data points, delimiters, analyzer points,
// video frames) are small. An incomplete record at the end is taken for a torn
// append only when it claims at most this size; a larger claim means damage,
// which is left for the reader to report rather than cut off.
inline constexpr int32_t kLongestAppendedRecord = 4096;

// Where the records of a plain file begin: right after its header text, for a
// file with the current header ("QOR Fluvantronics Save File Header " and a
// version of at least 1.2, whose sizes are four bytes and whose string lengths
// count the character-size field). -1 for any other file (with checksums, an old
// header, or not a data file), which is never walked.
int64_t FirstRecordOffset(const uint8_t* data, int64_t size);

struct TWalkResult {
  // The end of the last whole record: the walk's end when it met a torn record,
  // else Size (also when the walk met damage it cannot step over).
  int64_t whole_end = 0;
  // The bytes from whole_end on are an incomplete last record.
  bool torn = false;
};

// Walks the records in Data[From, Size). When PointsOfIndex is given, it counts
// the data points (records 220 and 221) of each series index (read as 16 bits
// without sign), growing the vector as indexes appear.
TWalkResult WalkRecords(const uint8_t* data, int64_t size, int64_t from,
                        std::vector<int32_t>* points_of_index = nullptr);

}  // namespace save_file
