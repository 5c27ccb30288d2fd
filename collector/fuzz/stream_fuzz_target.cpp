// Feeds arbitrary bytes, in pieces, to one of the two TCP stream decoders: the
// analyzer feed's (FeedLink.h) or the relay link's (RelayLink.h). A crash, a hang, a
// sanitizer report, a buffer beyond its limit, a message beyond its limits or with
// a line the link could not have given is a fault; and every message the feed
// completes, relayed unit by unit, must come out of the relay decoder unchanged
// (when no line holds the relay link's own control bytes). Built as a libFuzzer
// target and, for replaying the corpus, into the tests.
//
// The first byte chooses the decoder (bit 0: the relay link), small limits now and
// then (bit 1), and whether the connection closes at the end (bit 2); the second
// how the rest is cut into pieces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "collector/FeedLink.h"
#include "collector/RelayLink.h"

namespace {

class Checker : public TStreamLinkEvents {
 public:
  Checker(const TStreamLinkLimits& limits, bool feed) : limits_(limits), feed_(feed) {}

  void MessageComplete(std::vector<std::string> lines) override {
    if (lines.empty() || lines.size() > limits_.max_message_lines) std::abort();
    size_t bytes = 0;
    for (const std::string& line : lines) {
      bytes += line.size();
      if (line.empty() || line.size() > limits_.max_line_bytes + TRelayLink::kUnitOverhead) {
        std::abort();
      }
      if (feed_ && line.size() > limits_.max_line_bytes + 1) std::abort();
      if (line.find_first_of(feed_ ? std::string_view("\r\n\0\x01\x04", 5)
                                   : std::string_view("\n\x05\x04", 3)) != std::string::npos) {
        std::abort();
      }
      if (feed_ && line[0] != '1') std::abort();
    }
    if (bytes > limits_.max_message_bytes) std::abort();
    if (feed_) RelayAgain(lines);
    ++messages;
  }
  void LinkNotice(const TLinkNotice& notice) override {
    if (notice.text.empty()) std::abort();
  }
  void SignOfLife() override {
    if (feed_) std::abort();
  }

  size_t messages = 0;

 private:
  // What the relay server makes of the message, read back by a relay client.
  static void RelayAgain(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      if (line.find_first_of("\x02\x03\x05\x17") != std::string::npos) return;
    }
    struct Collect : TStreamLinkEvents {
      std::vector<std::vector<std::string>> messages;
      void MessageComplete(std::vector<std::string> m) override {
        messages.push_back(std::move(m));
      }
      void LinkNotice(const TLinkNotice&) override { std::abort(); }
    } collect;
    TRelayLink relay(collect);
    for (const std::string& line : lines)
      relay.Receive(FrameRelayLine(line));
    relay.Receive(std::string(1, kRelayEndOfMessage));
    if (collect.messages.size() != 1 || collect.messages[0] != lines) std::abort();
  }

  TStreamLinkLimits limits_;
  bool feed_;
};

size_t Overhead(const TFeedLink&) {
  return 0;
}
size_t Overhead(const TRelayLink&) {
  return TRelayLink::kUnitOverhead;
}

template <typename Link>
void Run(std::string_view bytes, size_t piece, bool close, const TStreamLinkLimits& limits,
         bool feed) {
  Checker checker(limits, feed);
  Link link(checker, limits);
  while (!bytes.empty()) {
    link.Receive(bytes.substr(0, piece));
    bytes.remove_prefix(std::min(piece, bytes.size()));
    if (link.BufferedBytes() > limits.max_line_bytes + Overhead(link)) std::abort();
  }
  if (close) {
    link.ConnectionClosed();
    if (link.HalfMessage()) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TStreamLinkLimits limits;
  if (data[0] & 2) limits = TStreamLinkLimits{16, 4, 48};
  const size_t piece = 1 + data[1] % 16;
  const bool close = (data[0] & 4) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  if (data[0] & 1) {
    Run<TRelayLink>(bytes, piece, close, limits, false);
  } else {
    Run<TFeedLink>(bytes, piece, close, limits, true);
  }
  return 0;
}
