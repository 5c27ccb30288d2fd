// Replays the save component's fuzz corpus.
#include <gtest/gtest.h>

#include "datafile/tests/corpus_replay.h"

namespace {

TEST(SaveItNewFuzzCorpusTest, EveryInputLoadsAndExtendsWithoutFault) {
  EXPECT_GT(qor_test::ReplayCorpus(QOR_SAVE_FUZZ_CORPUS_DIR), 0u);
}

}  // namespace
