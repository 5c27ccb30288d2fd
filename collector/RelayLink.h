// The relay link between collectors: what a Gasbridge's relay server sends to each
// connected data client (another Gasbridge's relay client), and the client's
// decoder.
//
//   ENQ STX line CR LF ETX   one record line as processed (frame digit first)
//   EOT                      after the message's last line
//   CR                       lifetick, whenever nothing has been sent for 60 s
//
// No bytes go back, and there is no checksum or acknowledgement.
//
// TRelayLink reads the stream as a stream: one unit after another, whatever the
// read boundaries, each byte in arrival order, so a line whose end arrives with the
// next line's ENQ, or the lines of the next message arriving with an EOT, all land
// where they belong.
// - A line unit runs from ENQ to the first LF; its CR before the LF is removed,
//   then everything up to and including its first STX, and everything from its
//   first ETB (else its first ETX) on. The ETX after the LF closes the unit. An
//   empty line adds nothing.
// - EOT ends the message, which goes to MessageComplete (an empty one is ignored).
// - A CR outside a line unit is a lifetick.
// - Every whole unit (line, EOT, lifetick) is a sign of life (SignOfLife), which
//   the watchdog waits for.
// - ENQ or EOT within a line unit means the line was cut short: it is dropped with
//   a notice, and the ENQ or EOT then does what it always does. Other bytes
//   outside a unit (a stray ETX, LF, NUL) are skipped.
// - A line longer than max_line_bytes (its frame digit aside, so that every line
//   the other links take passes) is dropped up to its LF, with a notice; the rest
//   of the message is still taken. A message beyond its limits is dropped whole
//   (StreamLink.h).
// - The connection closing in the middle of a message drops the half message, with
//   a notice (ConnectionClosed).
#pragma once

#include <string>
#include <string_view>

#include "collector/StreamLink.h"

// The relay server's units: a record line framed, and the two bare ones.
std::string FrameRelayLine(std::string_view line);
inline constexpr char kRelayEndOfMessage = astm::kEOT;
inline constexpr char kRelayLifetick = astm::kCR;

class TRelayLink {
 public:
  explicit TRelayLink(TStreamLinkEvents& events, TStreamLinkLimits limits = {});

  // The bytes as they came from the relay server, in order.
  void Receive(std::string_view bytes);
  // The connection has ended: a half message is dropped, with a notice, and the
  // next connection starts afresh.
  void ConnectionClosed();

  // Part of a message has been received and not yet completed or dropped.
  bool HalfMessage() const { return lines_.Started() || state_ != State::kBetweenUnits; }
  // The bytes held for a line unit not yet ended: at most max_line_bytes and
  // kUnitOverhead.
  size_t BufferedBytes() const { return line_.size(); }
  // What a unit holds besides the line's text: its STX and CR, and the frame digit.
  static constexpr size_t kUnitOverhead = 3;

 private:
  enum class State : uint8_t { kBetweenUnits, kLine, kSkippingLine };

  void BetweenUnits(char c);
  void EndLine();
  void CutLine();

  TStreamLinkEvents& events_;
  const TStreamLinkLimits limits_;
  TMessageLines lines_;
  State state_ = State::kBetweenUnits;
  std::string line_;  // the line unit since its ENQ
};
