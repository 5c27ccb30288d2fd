// What the two TCP stream decoders share: the TCP analyzer feed (FeedLink.h) and
// the relay link between collectors (RelayLink.h). Both are fed the bytes of one
// connection as they arrive, in any pieces, and hand each completed message over as
// its own list of record lines (frame digit first, record type second), as the
// serial link does (AnalyzerLink.h). What they drop is reported with the serial
// link's notices.
//
// Every buffer is bounded: a record line by max_line_bytes, a message by
// max_message_lines and max_message_bytes. What goes beyond is dropped and reported,
// never kept.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "collector/AnalyzerLink.h"

// The longest record line taken, its frame digit aside.
inline constexpr size_t kMaxLineBytes = 65536;

struct TStreamLinkLimits {
  size_t max_line_bytes = kMaxLineBytes;
  size_t max_message_lines = kMaxMessageLines;
  size_t max_message_bytes = kMaxMessageBytes;
};

// What a stream decoder tells the window.
class TStreamLinkEvents {
 public:
  virtual ~TStreamLinkEvents() = default;
  // A complete message, never empty: its record lines in order. The window queues
  // it and walks it on its own turn.
  virtual void MessageComplete(std::vector<std::string> lines) = 0;
  // Something dropped, for the error line and the transfer log.
  virtual void LinkNotice(const TLinkNotice& notice) = 0;
  // A whole unit came from the relay server (a line, an EOT, a lifetick).
  virtual void SignOfLife() {}
};

// The record lines of the message being received, within the limits. A message
// that grows beyond them is dropped at once, with a notice, and stays marked as
// dropped until it ends, so that its later lines are forgotten too.
class TMessageLines {
 public:
  TMessageLines(TStreamLinkEvents& events, const TStreamLinkLimits& limits);

  void Add(std::string line);
  // The message has ended: it goes to MessageComplete unless it is empty or was
  // dropped; the next one starts empty.
  void Complete();
  // The message ends unfinished: dropped, with a notice of Kind when it held any
  // line or (Pending) bytes of an unfinished line.
  void Drop(TLinkNoticeKind kind, const platform::ResourceString& text, bool pending);
  // A line of this message grew beyond max_line_bytes and is dropped: the notice.
  void LineTooLong();

  size_t Count() const { return lines_.size(); }
  // Lines were received, or the message was dropped for its size, since it began.
  bool Started() const { return !lines_.empty() || overflowed_; }

 private:
  void Overflow(TLinkNoticeKind kind, const platform::ResourceString& text, size_t limit);
  void Reset();

  TStreamLinkEvents& events_;
  const TStreamLinkLimits& limits_;
  std::vector<std::string> lines_;
  size_t bytes_ = 0;
  bool overflowed_ = false;
};
