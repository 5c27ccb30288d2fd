#include "collector/AnalyzerLink.h"

#include <utility>

namespace {

bool IsTerminatorRecord(std::string_view line) {
  return line.size() >= 2 && line[1] == 'L';
}

}  // namespace

std::string LinkNoticeText(const platform::ResourceString& resource, size_t number) {
  std::string text = platform::LoadResString(resource);
  const size_t at = text.find("%d");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(number));
  return text;
}

char NibbleToHex(uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return kDigits[value & 0x0F];
}

std::string ByteToHex(uint8_t value) {
  return std::string{NibbleToHex(static_cast<uint8_t>(value >> 4)), NibbleToHex(value)};
}

std::string Checksum(std::string_view text) {
  uint8_t sum = 0;
  for (char c : text)
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  return ByteToHex(sum);
}

TAnalyzerLink::TAnalyzerLink(TAnalyzerLinkEvents& events, TAnalyzerLinkLimits limits)
    : events_(events), limits_(limits) {}

void TAnalyzerLink::Receive(std::string_view bytes) {
  for (char c : bytes)
    HandleByte(c);
}

bool TAnalyzerLink::HalfMessage() const {
  return !lines_.empty() || partial_.has_value() || overflowed_;
}

void TAnalyzerLink::DropHalfMessage() {
  state_ = State::kText;
  frame_.clear();
  const size_t lines = lines_.size();
  const bool report = (!lines_.empty() || partial_) && !overflowed_;
  ResetMessage();
  if (report) {
    Notice(TLinkNoticeKind::kSourceChanged, platform::LoadResString(SLinkSourceChanged), lines);
  }
}

void TAnalyzerLink::HandleByte(char c) {
  switch (c) {
    case '\0':
      return;
    case astm::kENQ: {
      state_ = State::kText;
      frame_.clear();
      const size_t lines = lines_.size();
      const bool restarted = (!lines_.empty() || partial_) && !overflowed_;
      ResetMessage();
      Send(astm::kACK);
      if (restarted) {
        Notice(TLinkNoticeKind::kRestarted, platform::LoadResString(SLinkRestarted), lines);
      }
      return;
    }
    case astm::kEOT:
      state_ = State::kText;
      frame_.clear();
      EndOfMessage();
      return;
    case astm::kSTX:
      state_ = State::kText;
      frame_.clear();
      return;
    default:
      break;
  }

  switch (state_) {
    case State::kTrailer:
      // The CR LF after a frame's checksum, either of them missing.
      if (c == astm::kCR && !trailer_cr_) {
        trailer_cr_ = true;
        return;
      }
      state_ = State::kText;
      if (c == astm::kLF) return;
      [[fallthrough]];
    case State::kText:
      frame_.push_back(c);
      if (c == astm::kETX || c == astm::kETB) {
        state_ = State::kChecksum1;
      } else if (frame_.size() >= limits_.ReceiveBufferBytes()) {
        // Nothing this long ends a frame we take; keep the newest bytes, which may
        // still hold the start of a frame without STX.
        const size_t dropped = frame_.size() - limits_.max_frame_bytes;
        frame_.erase(0, dropped);
        Notice(TLinkNoticeKind::kBytesDropped, LinkNoticeText(SLinkBytesDropped, dropped), dropped);
      }
      return;
    case State::kChecksum1:
      checksum_[0] = c;
      state_ = State::kChecksum2;
      return;
    case State::kChecksum2:
      checksum_[1] = c;
      state_ = State::kTrailer;
      trailer_cr_ = false;
      EndOfFrame();
      return;
  }
}

void TAnalyzerLink::EndOfFrame() {
  const std::string body = std::move(frame_);
  frame_.clear();
  if (body.size() > limits_.max_frame_bytes) {
    // Asking for it again would bring the same frame back for ever.
    Notice(TLinkNoticeKind::kFrameTooLong,
           LinkNoticeText(SLinkFrameTooLong, limits_.max_frame_bytes), body.size());
    return;
  }
  if (std::string_view(checksum_, 2) != Checksum(body)) {
    rejected_last_ = true;
    Send(astm::kNAK);
    return;
  }
  rejected_last_ = false;
  if (body != last_frame_) {
    last_frame_ = body;
    last_end_mark_ = body.back();
    StoreRecords(std::string_view(body).substr(0, body.size() - 1), body.back());
  }
  Send(astm::kACK);
}

void TAnalyzerLink::StoreRecords(std::string_view text, char end_mark) {
  const std::string digit =
      !text.empty() && text[0] != astm::kCR ? std::string(1, text[0]) : std::string();
  size_t pos = digit.size();
  while (true) {
    const size_t cr = text.find(astm::kCR, pos);
    const std::string_view piece =
        text.substr(pos, cr == std::string_view::npos ? std::string_view::npos : cr - pos);
    if (cr == std::string_view::npos && piece.empty() && !partial_) return;

    std::string line = partial_ ? std::move(*partial_) : digit;
    partial_.reset();
    line += piece;
    if (cr != std::string_view::npos || end_mark == astm::kETX) {
      AddLine(std::move(line));
    } else if (!overflowed_) {
      // The record goes on in the next frame.
      if (message_bytes_ + line.size() > limits_.max_message_bytes) {
        Overflow(TLinkNoticeKind::kTooManyBytes, SLinkTooManyBytes, limits_.max_message_bytes);
      } else {
        partial_ = std::move(line);
      }
    }
    if (cr == std::string_view::npos) return;
    pos = cr + 1;
  }
}

void TAnalyzerLink::AddLine(std::string line) {
  if (overflowed_) return;
  if (lines_.size() >= limits_.max_message_lines) {
    Overflow(TLinkNoticeKind::kTooManyLines, SLinkTooManyLines, limits_.max_message_lines);
    return;
  }
  if (message_bytes_ + line.size() > limits_.max_message_bytes) {
    Overflow(TLinkNoticeKind::kTooManyBytes, SLinkTooManyBytes, limits_.max_message_bytes);
    return;
  }
  message_bytes_ += line.size();
  if (IsTerminatorRecord(line)) has_terminator_ = true;
  lines_.push_back(std::move(line));
}

// The message is dropped at once, but stays marked until its EOT or the next ENQ,
// so that its later frames are answered and forgotten.
void TAnalyzerLink::Overflow(TLinkNoticeKind kind, const platform::ResourceString& text,
                             size_t limit) {
  const size_t lines = lines_.size();
  lines_.clear();
  lines_.shrink_to_fit();
  partial_.reset();
  message_bytes_ = 0;
  overflowed_ = true;
  Notice(kind, LinkNoticeText(text, limit), lines);
}

void TAnalyzerLink::EndOfMessage() {
  if (overflowed_ || (lines_.empty() && !partial_)) {
    ResetMessage();
    return;
  }
  const size_t lines = lines_.size();
  std::optional<TLinkNoticeKind> dropped;
  if (!has_terminator_ && rejected_last_) {
    dropped = TLinkNoticeKind::kRejected;
  } else if (!has_terminator_ && last_end_mark_ == astm::kETB) {
    dropped = TLinkNoticeKind::kGaveUp;
  }
  std::vector<std::string> message = std::move(lines_);
  ResetMessage();
  if (dropped == TLinkNoticeKind::kRejected) {
    Notice(*dropped, platform::LoadResString(SLinkRejected), lines);
  } else if (dropped == TLinkNoticeKind::kGaveUp) {
    Notice(*dropped, platform::LoadResString(SLinkGaveUp), lines);
  } else {
    events_.MessageComplete(std::move(message));
  }
}

void TAnalyzerLink::ResetMessage() {
  lines_.clear();
  message_bytes_ = 0;
  partial_.reset();
  last_frame_.clear();
  last_end_mark_ = 0;
  has_terminator_ = false;
  rejected_last_ = false;
  overflowed_ = false;
}

void TAnalyzerLink::Notice(TLinkNoticeKind kind, std::string text, size_t count) {
  events_.LinkNotice(TLinkNotice{kind, std::move(text), count});
}

void TAnalyzerLink::Send(char byte) {
  events_.SendToAnalyzer(std::string_view(&byte, 1));
}
