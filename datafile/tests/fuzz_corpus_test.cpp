// Replays the reader fuzzer's corpus.
#include <gtest/gtest.h>

#include "datafile/tests/corpus_replay.h"

namespace {

TEST(FuzzCorpusTest, EveryInputReadsWithoutFault) {
  EXPECT_GT(qor_test::ReplayCorpus(QOR_FUZZ_CORPUS_DIR), 0u);
}

}  // namespace
