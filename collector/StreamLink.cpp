#include "collector/StreamLink.h"

#include <utility>

TMessageLines::TMessageLines(TStreamLinkEvents& events, const TStreamLinkLimits& limits)
    : events_(events), limits_(limits) {}

void TMessageLines::Add(std::string line) {
  if (overflowed_) return;
  if (lines_.size() >= limits_.max_message_lines) {
    Overflow(TLinkNoticeKind::kTooManyLines, SLinkTooManyLines, limits_.max_message_lines);
    return;
  }
  if (bytes_ + line.size() > limits_.max_message_bytes) {
    Overflow(TLinkNoticeKind::kTooManyBytes, SLinkTooManyBytes, limits_.max_message_bytes);
    return;
  }
  bytes_ += line.size();
  lines_.push_back(std::move(line));
}

void TMessageLines::Complete() {
  if (overflowed_ || lines_.empty()) {
    Reset();
    return;
  }
  std::vector<std::string> message = std::move(lines_);
  Reset();
  events_.MessageComplete(std::move(message));
}

void TMessageLines::Drop(TLinkNoticeKind kind, const platform::ResourceString& text, bool pending) {
  // A message dropped for its size has been reported already.
  const bool report = !overflowed_ && (!lines_.empty() || pending);
  const size_t lines = lines_.size();
  Reset();
  if (report) events_.LinkNotice(TLinkNotice{kind, platform::LoadResString(text), lines});
}

void TMessageLines::LineTooLong() {
  events_.LinkNotice(TLinkNotice{TLinkNoticeKind::kLineTooLong,
                                 LinkNoticeText(SLinkLineTooLong, limits_.max_line_bytes),
                                 limits_.max_line_bytes + 1});
}

void TMessageLines::Overflow(TLinkNoticeKind kind, const platform::ResourceString& text,
                             size_t limit) {
  const size_t lines = lines_.size();
  Reset();
  overflowed_ = true;
  events_.LinkNotice(TLinkNotice{kind, LinkNoticeText(text, limit), lines});
}

void TMessageLines::Reset() {
  lines_.clear();
  lines_.shrink_to_fit();
  bytes_ = 0;
  overflowed_ = false;
}
