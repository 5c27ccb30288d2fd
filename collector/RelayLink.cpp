#include "collector/RelayLink.h"

#include <utility>

std::string FrameRelayLine(std::string_view line) {
  std::string unit;
  unit.reserve(line.size() + 5);
  unit += astm::kENQ;
  unit += astm::kSTX;
  unit += line;
  unit += astm::kCR;
  unit += astm::kLF;
  unit += astm::kETX;
  return unit;
}

TRelayLink::TRelayLink(TStreamLinkEvents& events, TStreamLinkLimits limits)
    : events_(events), limits_(limits), lines_(events_, limits_) {}

void TRelayLink::Receive(std::string_view bytes) {
  for (const char c : bytes) {
    if (state_ == State::kBetweenUnits) {
      BetweenUnits(c);
      continue;
    }
    switch (c) {
      case astm::kENQ:
      case astm::kEOT:
        CutLine();
        BetweenUnits(c);
        break;
      case astm::kLF:
        if (state_ == State::kLine) {
          EndLine();
        } else {
          state_ = State::kBetweenUnits;
        }
        break;
      default:
        if (state_ == State::kSkippingLine) break;
        if (line_.size() >= limits_.max_line_bytes + kUnitOverhead) {
          line_.clear();
          line_.shrink_to_fit();
          state_ = State::kSkippingLine;
          lines_.LineTooLong();
          break;
        }
        line_.push_back(c);
        break;
    }
  }
}

void TRelayLink::BetweenUnits(char c) {
  switch (c) {
    case astm::kENQ:
      state_ = State::kLine;
      line_.clear();
      break;
    case astm::kEOT:
      lines_.Complete();
      events_.SignOfLife();
      break;
    case astm::kCR:
      events_.SignOfLife();
      break;
    default:
      // The ETX that closes a line unit, or a stray byte: nothing to take.
      break;
  }
}

void TRelayLink::EndLine() {
  std::string_view text(line_);
  if (!text.empty() && text.back() == astm::kCR) text.remove_suffix(1);
  if (const size_t stx = text.find(astm::kSTX); stx != std::string_view::npos) {
    text.remove_prefix(stx + 1);
  }
  size_t end = text.find(astm::kETB);
  if (end == std::string_view::npos) end = text.find(astm::kETX);
  if (end != std::string_view::npos) text = text.substr(0, end);
  std::string line(text);
  line_.clear();
  state_ = State::kBetweenUnits;
  if (line.size() > limits_.max_line_bytes + 1) {
    // Within the unit's bound, but only because the unit lacked its STX or CR.
    lines_.LineTooLong();
  } else if (!line.empty()) {
    lines_.Add(std::move(line));
  }
  events_.SignOfLife();
}

void TRelayLink::CutLine() {
  if (state_ == State::kLine) {
    events_.LinkNotice(TLinkNotice{TLinkNoticeKind::kLineCut, platform::LoadResString(SLinkLineCut),
                                   line_.size()});
  }
  line_.clear();
  state_ = State::kBetweenUnits;
}

void TRelayLink::ConnectionClosed() {
  const bool pending = state_ != State::kBetweenUnits;
  line_.clear();
  line_.shrink_to_fit();
  state_ = State::kBetweenUnits;
  lines_.Drop(TLinkNoticeKind::kClosed, SLinkClosed, pending);
}
