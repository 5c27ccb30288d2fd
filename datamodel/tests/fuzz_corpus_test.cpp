// Replays the model fuzzer's corpus.
#include <gtest/gtest.h>

#include "datafile/tests/corpus_replay.h"

namespace {

TEST(ModelFuzzCorpusTest, EveryInputReadsWithoutFault) {
  EXPECT_GT(qor_test::ReplayCorpus(QOR_MODEL_FUZZ_CORPUS_DIR), 0u);
}

}  // namespace
