// Replays the analyzer link's fuzz corpus through the walk's fuzz target: the two
// targets take the same input, so every input that exercises the link also runs
// through the queue, the walk and the filing.
#include <gtest/gtest.h>

#include "datafile/tests/corpus_replay.h"

namespace {

TEST(WalkFuzzCorpusTest, EveryInputRunsWithoutFault) {
  EXPECT_GT(qor_test::ReplayCorpus(QOR_LINK_FUZZ_CORPUS_DIR), 0u);
}

}  // namespace
