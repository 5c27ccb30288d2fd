// The check the TCP stream decoders' tests share for a message at the links'
// default bounds and one past them.
#pragma once

#include <gtest/gtest.h>

#include "collector/tests/sized_records.h"
#include "collector/tests/stream_recorder.h"

namespace collector_test {

// What a link told Recorder of a message at or past its bounds, as the case says.
inline void ExpectBoundOutcome(const TMessageBoundCase& c, const StreamRecorder& recorder) {
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
