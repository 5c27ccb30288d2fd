// Records what a TCP stream decoder (FeedLink.h, RelayLink.h) tells the window, in
// order, and cuts byte streams into pieces for the tests that feed them.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "collector/StreamLink.h"

namespace collector_test {

// The events in order: "message <number of lines>" (the lines in Messages),
// "notice <kind>", "life".
class StreamRecorder : public TStreamLinkEvents {
 public:
  void MessageComplete(std::vector<std::string> lines) override {
    events.push_back("message " + std::to_string(lines.size()));
    messages.push_back(std::move(lines));
  }
  void LinkNotice(const TLinkNotice& notice) override {
    events.push_back(NoticeEvent(notice.kind));
    notices.push_back(notice);
  }
  void SignOfLife() override { events.push_back("life"); }

  static std::string NoticeEvent(TLinkNoticeKind kind) {
    return "notice " + std::to_string(static_cast<int>(kind));
  }

  std::vector<std::string> events;
  std::vector<std::vector<std::string>> messages;
  std::vector<TLinkNotice> notices;
};

// Bytes cut at random points (the same cuts for the same seed).
inline std::vector<std::string> RandomPieces(const std::string& bytes, uint32_t seed,
                                             size_t longest = 40) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> length(1, longest);
  std::vector<std::string> pieces;
  for (size_t at = 0; at < bytes.size();) {
    const size_t n = length(random);
    pieces.push_back(bytes.substr(at, n));
    at += n;
  }
  return pieces;
}

inline std::string ReadFixture(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace collector_test
