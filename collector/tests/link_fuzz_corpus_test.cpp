// Replays the link fuzzer's corpus, so that every seed and every input that once
// found a fault runs with each build, under the sanitizers in their build.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(LinkFuzzCorpusTest, EveryInputRunsWithoutFault) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QOR_LINK_FUZZ_CORPUS_DIR)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  EXPECT_GT(inputs, 0u);
}

}  // namespace
