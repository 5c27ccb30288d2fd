// Records of a chosen count and size, for the tests that feed a link a message at
// its bounds and one past them.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "collector/AnalyzerLink.h"

namespace collector_test {

// Lines records ("R|" and filler, no frame digit) whose record lines, each with
// its frame digit, hold Bytes bytes together: the measure the links bound a
// message by. Bytes must allow three bytes a line.
inline std::vector<std::string> SizedRecords(size_t lines, size_t bytes) {
  std::vector<std::string> records;
  records.reserve(lines);
  const size_t text = bytes - lines;  // the frame digits aside
  for (size_t i = 0; i < lines; ++i) {
    const size_t size = text / lines + (i < text % lines ? 1 : 0);
    std::string record = "R|";
    record.resize(size, 'x');
    records.push_back(std::move(record));
  }
  return records;
}

// The bytes of record lines together.
inline size_t LineBytes(const std::vector<std::string>& lines) {
  size_t bytes = 0;
  for (const std::string& line : lines)
    bytes += line.size();
  return bytes;
}

// A message at the links' default bounds (10,000 record lines, 8 MiB of them) and
// one past each: delivered whole, or dropped with a notice whose count is the lines
// held when the bound was passed.
struct TMessageBoundCase {
  size_t lines;
  size_t bytes;
  const char* notice;  // nullptr: delivered
  TLinkNoticeKind kind;
  size_t count;
};
inline constexpr TMessageBoundCase kMessageBoundCases[] = {
    {10000, 80000, nullptr, {}, 0},
    {10001, 80008, "Message dropped: more than 10000 record lines", TLinkNoticeKind::kTooManyLines,
     10000},
    {200, 8388608, nullptr, {}, 0},
    {200, 8388609, "Message dropped: more than 8388608 bytes of records",
     TLinkNoticeKind::kTooManyBytes, 199},
};

// What a link told Recorder (any recorder with `messages` and `notices`) of a
// message at or past its bounds, as the case says.
template <class Recorder>
void ExpectBoundOutcome(const TMessageBoundCase& c, const Recorder& recorder) {
  if (c.notice == nullptr) {
    ASSERT_EQ(recorder.messages.size(), 1u) << c.lines << " " << c.bytes;
    EXPECT_EQ(recorder.messages[0].size(), c.lines);
    EXPECT_EQ(LineBytes(recorder.messages[0]), c.bytes);
    EXPECT_TRUE(recorder.notices.empty());
  } else {
    EXPECT_TRUE(recorder.messages.empty()) << c.lines << " " << c.bytes;
    ASSERT_EQ(recorder.notices.size(), 1u) << c.lines << " " << c.bytes;
    EXPECT_EQ(recorder.notices[0].kind, c.kind);
    EXPECT_EQ(recorder.notices[0].text, c.notice);
    EXPECT_EQ(recorder.notices[0].count, c.count);
  }
}

}  // namespace collector_test
