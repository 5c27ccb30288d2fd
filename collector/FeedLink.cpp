#include "collector/FeedLink.h"

#include <utility>

#include "collector/Unit1TransferLog.h"

TFeedLink::TFeedLink(TStreamLinkEvents& events, TStreamLinkLimits limits)
    : events_(events), limits_(limits), lines_(events_, limits_) {}

void TFeedLink::Receive(std::string_view bytes) {
  for (const char c : bytes) {
    switch (c) {
      case '\0':
      case astm::kLF:
        break;
      case astm::kCR:
        EndLine();
        break;
      case astm::kEOT:
        DropUnendedLine();
        lines_.Complete();
        break;
      case astm::kSOH: {
        const bool pending = !line_.empty() || skipping_;
        line_.clear();
        skipping_ = false;
        lines_.Drop(TLinkNoticeKind::kRestarted, SLinkRestarted, pending);
        break;
      }
      default:
        if (skipping_) break;
        if (line_.size() >= limits_.max_line_bytes) {
          // Nothing this long is a record; keeping it would let one sender fill
          // the memory.
          line_.clear();
          line_.shrink_to_fit();
          skipping_ = true;
          lines_.LineTooLong();
          break;
        }
        line_.push_back(c);
        break;
    }
  }
}

void TFeedLink::EndLine() {
  skipping_ = false;
  if (line_.empty()) return;
  std::string line;
  line.reserve(line_.size() + 1);
  line += '1';
  line += line_;
  line_.clear();
  lines_.Add(std::move(line));
}

void TFeedLink::DropUnendedLine() {
  // A line too long has been reported already.
  if (!line_.empty() && !skipping_) {
    events_.LinkNotice(TLinkNotice{
        TLinkNoticeKind::kLineUnended,
        platform::LoadResString(SLinkLineUnended) + OneLine(CutText(line_, kShownBytes)), 1});
  }
  line_.clear();
  skipping_ = false;
}

void TFeedLink::ConnectionClosed() {
  const bool pending = !line_.empty() || skipping_;
  line_.clear();
  line_.shrink_to_fit();
  skipping_ = false;
  lines_.Drop(TLinkNoticeKind::kClosed, SLinkClosed, pending);
}
