// Replays the TCP stream decoders' fuzz corpus, so that every seed and every input
// that once found a fault runs with each build, under the sanitizers in their build.
#include <gtest/gtest.h>

#include "datafile/tests/corpus_replay.h"

namespace {

TEST(StreamFuzzCorpusTest, EveryInputRunsWithoutFault) {
  EXPECT_GT(qor_test::ReplayCorpus(QOR_STREAM_FUZZ_CORPUS_DIR), 0u);
}

}  // namespace
