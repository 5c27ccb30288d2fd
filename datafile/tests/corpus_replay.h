// Replays a fuzzer's corpus through its target, so that every input that once found
// a fault (and every seed) runs with each build, under the sanitizers in their
// build.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace qor_test {

// Feeds every file of Folder to the fuzz target linked into the test; returns how
// many there were.
inline size_t ReplayCorpus(const char* folder) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  return inputs;
}

}  // namespace qor_test
