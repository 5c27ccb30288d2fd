// The receiving end of the TCP analyzer feed: what an analyzer (or Gasmimic) sends
// to Gasbridge's analyzer server, one decoder per connection.
//
//   SOH                 a message begins
//   record CR           one per record, the record type first, no frame digit
//   ...
//   EOT                 the message is complete
//
// No bytes go back: there is no acknowledgement, checksum or establishment. Every
// received line gets the frame digit "1".
//
// TFeedLink takes the bytes in any pieces and handles each in arrival order, so two
// messages in one read are two messages, and what follows an EOT belongs to the
// next one:
// - NUL and LF bytes are dropped wherever they stand.
// - CR ends a line; an empty line (two CRs in a row) adds nothing.
// - EOT ends the message, which goes to MessageComplete (an empty one is ignored).
//   A last line whose CR was left out is dropped, with a notice that shows its
//   first kShownBytes: such a line may have been cut short, and a value cut short
//   is a wrong result.
// - SOH begins a message. Lines without an SOH before them are taken as well; an
//   SOH in the middle of a message (lines, or bytes of a line, received since the
//   last EOT) drops that half message with a notice, as an analyzer that starts
//   over means it.
// - The connection closing in the middle of a message drops the half message, with
//   a notice (ConnectionClosed).
// - A line longer than max_line_bytes is dropped up to its CR, with a notice; the
//   rest of the message is still taken. A message beyond its limits is dropped
//   whole (StreamLink.h).
#pragma once

#include <string>
#include <string_view>

#include "collector/StreamLink.h"

class TFeedLink {
 public:
  // What a notice shows of a dropped line.
  static constexpr size_t kShownBytes = 80;

  explicit TFeedLink(TStreamLinkEvents& events, TStreamLinkLimits limits = {});

  // The bytes as they came from the connection, in order.
  void Receive(std::string_view bytes);
  // The connection has closed: a half message is dropped, with a notice.
  void ConnectionClosed();

  // Part of a message has been received and not yet completed or dropped.
  bool HalfMessage() const { return lines_.Started() || !line_.empty() || skipping_; }
  // The bytes held for a line not yet ended.
  size_t BufferedBytes() const { return line_.size(); }

 private:
  void EndLine();
  void DropUnendedLine();

  TStreamLinkEvents& events_;
  const TStreamLinkLimits limits_;
  TMessageLines lines_;
  std::string line_;       // the line being received, without its frame digit
  bool skipping_ = false;  // the line grew too long: dropped up to its end
};
