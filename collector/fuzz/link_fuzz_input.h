// The input form of the analyzer link's fuzzer, which the walk's fuzzer shares so
// that their corpora serve each other: the first byte holds flags (bit 0: small
// link limits, so that the overflow paths are reached without megabytes of input;
// the other bits each target's own), the second how the rest is cut into pieces,
// and the rest is what the line carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "collector/AnalyzerLink.h"

struct TLinkFuzzInput {
  uint8_t flags = 0;
  TAnalyzerLinkLimits limits;
  size_t piece = 1;  // 1 to 16 bytes
  std::string_view bytes;
};

// Nothing for an input too short to hold the two control bytes.
inline std::optional<TLinkFuzzInput> ReadLinkFuzzInput(const uint8_t* data, size_t size) {
  if (size < 2) return std::nullopt;
  TLinkFuzzInput input;
  input.flags = data[0];
  if (input.flags & 1) input.limits = TAnalyzerLinkLimits{64, 8, 256};
  input.piece = 1 + data[1] % 16;
  input.bytes = std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2);
  return input;
}
