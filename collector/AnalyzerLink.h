// The receiving end of the serial analyzer link: the low-level framing by which an
// analyzer hands Gasbridge one result message, in the manner of ASTM E1381.
//
//   analyzer                      Gasbridge
//   ENQ                      ->
//                            <-   ACK
//   STX d record CR ETB cc CR LF ->      (one frame per record; d the frame digit,
//                            <-   ACK     cc the checksum; NAK asks for it again)
//   ...  the last frame ends ETX instead of ETB
//   EOT                      ->           the message is complete
//
// TAnalyzerLink is a state machine fed with the bytes as they arrive, in any
// pieces; it knows no port. What it has to say goes to a TAnalyzerLinkEvents that
// the main window implements: bytes to send back (ACK, NAK), each completed message
// as its own list of record lines, and notices of what it dropped, for the error
// line and the transfer log.
//
// Every byte is handled in arrival order, so a frame, an EOT and the next ENQ that
// arrive together are all answered and acted on at once:
// - NUL bytes are ignored everywhere. STX starts a frame; bytes before it are
//   dropped. A frame without STX is still taken when its checksum holds.
// - A frame ends with its end mark (ETX or ETB) and two checksum characters; the
//   CR LF after them are optional. The checksum is the sum of the bytes from the
//   frame digit through the end mark, modulo 256, as two upper-case hex digits;
//   any other text, lower-case included, draws NAK.
// - A good frame is answered ACK. Its text (frame digit first) gives one record
//   line per CR-ended record, each with the frame's digit in front; a record that a
//   frame ending ETB leaves without its CR continues in the next frame (whose digit
//   is dropped for it). A frame repeated because our ACK was lost (the same digit
//   and text as the frame accepted just before) is answered ACK and stored once.
// - ENQ is answered ACK at once. An ENQ while a message is half received means the
//   analyzer gave up and starts over: the half message is dropped, with a notice.
// - EOT completes the message, which then goes to MessageComplete, unless the
//   sender gave up part-way: when the message has no terminator (L) record and its
//   last frame ended ETB, or its last frame was rejected, it is dropped with a
//   notice (E1381 senders send the whole message again). A message with its L
//   record is complete however its last frame ended. An empty message (ENQ, EOT)
//   is ignored without a notice.
// - Frames of up to max_frame_bytes (frame digit through end mark) are taken; a
//   longer one is dropped unanswered, with a notice. Bytes that never end a frame
//   are kept until they fill the receive buffer (ReceiveBufferBytes, about twice
//   that); then the oldest go, with a notice.
// - A message of more record lines or bytes than its limits is dropped, with a
//   notice; its frames are still answered, so the analyzer moves on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"

// The control bytes of the link.
namespace astm {
constexpr char kSOH = 0x01;
constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;
constexpr char kEOT = 0x04;
constexpr char kENQ = 0x05;
constexpr char kACK = 0x06;
constexpr char kLF = 0x0A;
constexpr char kCR = 0x0D;
constexpr char kNAK = 0x15;
constexpr char kETB = 0x17;
}  // namespace astm

// "0"-"9" for 0-9, "A"-"F" for 10-15; only the low four bits of Value count.
char NibbleToHex(uint8_t value);
// Two hex digits, the high nibble first.
std::string ByteToHex(uint8_t value);
// The frame checksum of Text (frame digit through end mark): the byte sum modulo
// 256 as two upper-case hex digits.
std::string Checksum(std::string_view text);

inline constexpr platform::ResourceString SLinkRestarted{
    "AnalyzerLink.SRestarted", "Message dropped: the analyzer started it again before its end"};
inline constexpr platform::ResourceString SLinkGaveUp{
    "AnalyzerLink.SGaveUp", "Message dropped: the analyzer ended it before its last record"};
inline constexpr platform::ResourceString SLinkRejected{
    "AnalyzerLink.SRejected", "Message dropped: the analyzer gave up after a rejected frame"};
inline constexpr platform::ResourceString SLinkSourceChanged{
    "AnalyzerLink.SSourceChanged", "Message dropped: the data source changed before its end"};
inline constexpr platform::ResourceString SLinkTooManyLines{
    "AnalyzerLink.STooManyLines", "Message dropped: more than %d record lines"};
inline constexpr platform::ResourceString SLinkTooManyBytes{
    "AnalyzerLink.STooManyBytes", "Message dropped: more than %d bytes of records"};
inline constexpr platform::ResourceString SLinkFrameTooLong{"AnalyzerLink.SFrameTooLong",
                                                            "Frame dropped: more than %d bytes"};
inline constexpr platform::ResourceString SLinkBytesDropped{
    "AnalyzerLink.SBytesDropped", "Receive buffer full: %d bytes dropped"};
// The TCP links' own (FeedLink.h, RelayLink.h).
inline constexpr platform::ResourceString SLinkClosed{
    "AnalyzerLink.SClosed", "Message dropped: the connection closed before its end"};
inline constexpr platform::ResourceString SLinkLineTooLong{
    "AnalyzerLink.SLineTooLong", "Record line dropped: more than %d bytes"};
inline constexpr platform::ResourceString SLinkLineCut{
    "AnalyzerLink.SLineCut", "Record line dropped: the next unit began before its end"};
inline constexpr platform::ResourceString SLinkLineUnended{
    "AnalyzerLink.SLineUnended", "Record line dropped: the message ended before its CR: "};

enum class TLinkNoticeKind : uint8_t {
  kRestarted,      // ENQ within a message
  kGaveUp,         // EOT after an ETB frame, no L record
  kRejected,       // EOT after a rejected frame, no L record
  kSourceChanged,  // DropHalfMessage
  kTooManyLines,   // more record lines than the limit
  kTooManyBytes,   // more bytes of records than the limit
  kFrameTooLong,   // a frame longer than the limit
  kBytesDropped,   // the receive buffer overflowed
  kClosed,         // the connection closed within a message (TCP links)
  kLineTooLong,    // a record line longer than the limit (TCP links)
  kLineCut,        // a relayed line cut short by the next unit (relay link)
  kLineUnended,    // a last line without its CR before the EOT (analyzer feed)
};

// A notice's text: Resource with its first "%d" replaced by Number.
std::string LinkNoticeText(const platform::ResourceString& resource, size_t number);

// Something the link dropped. Text is the line for the error line and the
// transfer log; Count the record lines of a dropped message (the bytes, for
// kBytesDropped and kFrameTooLong).
struct TLinkNotice {
  TLinkNoticeKind kind;
  std::string text;
  size_t count = 0;
};

// What the link tells the window. A handler may raise (a port that fails to send):
// the exception leaves Receive, with the link in a consistent state; the bytes of
// that call after the one being handled are not looked at.
class TAnalyzerLinkEvents {
 public:
  virtual ~TAnalyzerLinkEvents() = default;
  // Bytes for the analyzer: ACK or NAK.
  virtual void SendToAnalyzer(std::string_view bytes) = 0;
  // A complete message: its record lines in order, each frame digit first and
  // record type second. The window queues it and walks it on its own turn.
  virtual void MessageComplete(std::vector<std::string> lines) = 0;
  // Something dropped, to be shown in the error line and written to the log.
  virtual void LinkNotice(const TLinkNotice& notice) = 0;
};

// The bounds of one message, on the serial link and the TCP links (StreamLink.h)
// alike: its record lines, and the bytes of their text (frame digits included).
inline constexpr size_t kMaxMessageLines = 10000;
inline constexpr size_t kMaxMessageBytes = 8 << 20;
// The longest frame taken: frame digit through end mark.
inline constexpr size_t kMaxFrameBytes = 65536;

struct TAnalyzerLinkLimits {
  size_t max_frame_bytes = kMaxFrameBytes;
  size_t max_message_lines = kMaxMessageLines;
  size_t max_message_bytes = kMaxMessageBytes;

  // The unended bytes that fill the receive buffer: when the bytes since the last
  // frame's end reach this many, the oldest go and the newest max_frame_bytes stay
  // (they may still hold the start of a frame sent without STX).
  constexpr size_t ReceiveBufferBytes() const { return 2 * max_frame_bytes + 2; }
};

class TAnalyzerLink {
 public:
  explicit TAnalyzerLink(TAnalyzerLinkEvents& events, TAnalyzerLinkLimits limits = {});

  // The bytes as they came from the line, in order.
  void Receive(std::string_view bytes);

  // The data source changes: a half-received message is dropped (with a notice)
  // and any bytes of an unfinished frame forgotten.
  void DropHalfMessage();

  // Whether part of a message has been received and not yet completed or dropped.
  bool HalfMessage() const;
  // The bytes held for a frame not yet ended.
  size_t BufferedBytes() const { return frame_.size(); }

 private:
  enum class State : uint8_t { kText, kChecksum1, kChecksum2, kTrailer };

  void HandleByte(char c);
  void EndOfFrame();
  void StoreRecords(std::string_view text, char end_mark);
  void AddLine(std::string line);
  void EndOfMessage();
  void ResetMessage();
  void Overflow(TLinkNoticeKind kind, const platform::ResourceString& text, size_t limit);
  void Notice(TLinkNoticeKind kind, std::string text, size_t count);
  void Send(char byte);

  TAnalyzerLinkEvents& events_;
  const TAnalyzerLinkLimits limits_;

  // The frame being received.
  State state_ = State::kText;
  std::string frame_;  // since STX (or the previous frame's end), end mark included
  char checksum_[2] = {0, 0};
  bool trailer_cr_ = false;  // the CR of a frame's trailer has been seen

  // The message being received.
  std::vector<std::string> lines_;
  size_t message_bytes_ = 0;
  std::optional<std::string> partial_;  // a record continued over an ETB frame
  std::string last_frame_;              // the frame accepted last, for repeats
  char last_end_mark_ = 0;
  bool has_terminator_ = false;
  bool rejected_last_ = false;
  bool overflowed_ = false;
};
