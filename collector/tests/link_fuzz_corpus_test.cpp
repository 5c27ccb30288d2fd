// Replays the link fuzzer's corpus, so that every seed and every input that once
// found a fault runs with each build, under the sanitizers in their build.
#include <gtest/gtest.h>

#include "datafile/tests/corpus_replay.h"

namespace {

TEST(LinkFuzzCorpusTest, EveryInputRunsWithoutFault) {
  EXPECT_GT(qor_test::ReplayCorpus(QOR_LINK_FUZZ_CORPUS_DIR), 0u);
}

}  // namespace
