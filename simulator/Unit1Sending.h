// How Gasmimic sends: the sending tick, the serial replies and the two buttons, as
// one state machine that the window drives and that knows no window, port, socket
// or timer of its own.
//
// Over the serial line a message goes as ENQ, then one frame per record line, each
// sent after the ACK of the one before and repeated after a NAK, then EOT once the
// last frame is acknowledged. Over TCP the tick sends the whole built message at
// once in the feed's framing. A message whose replies stop is abandoned after 15 s
// without a send (the stall rule), and the next tick starts over with a rebuilt
// message.
//
// Unlike the analyzer's simple original, the machine:
// - ignores ACK and NAK while no serial message is in flight (before the first
//   message, after EOT, after a stalled message was abandoned): a late or stray
//   reply sends nothing and counts no sample;
// - lets a press of Start or Send during a serial message take effect when that
//   message ends (EOT, or abandoned by the stall rule), so a message never mixes the
//   header and patient of one list with the results of another;
// - sends the lines of the list as they stood at the message's ENQ, so editing a
//   list while it goes out cannot mix two versions either;
// - measures the 15 s on a monotonic clock, so setting the wall clock back or
//   forward changes nothing;
// - bounds the interval to 1 s .. 2,147,483 s, the range a millisecond timer holds.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/monotonic_clock.h"

// A message that has seen no send for longer than this is abandoned.
inline constexpr std::chrono::milliseconds kStallTime{15000};
// The bounds of the sending interval, in seconds.
inline constexpr int kMinIntervalSeconds = 1;
inline constexpr int kMaxIntervalSeconds = 2147483;
// The tick interval after Send.
inline constexpr int kSendTickMs = 1000;

// Timer1's interval for an interval field showing Seconds: bounded to
// kMinIntervalSeconds .. kMaxIntervalSeconds, in milliseconds.
int IntervalMs(int seconds);

// The line messages go out on.
enum class TSendLine {
  kNone,     // no port and not "Network": nothing to send on
  kSerial,   // a serial port is set (its ComNumber is not 0)
  kNetwork,  // "Network" is selected
};

// The two lists of the window: Memo1, the built message, and Memo2, the canned one.
enum class TMessageList { kBuilt, kCanned };

// What the machine needs of the window. Calls may raise (a port or a socket that
// fails); the exception leaves the machine's call with the machine consistent.
class TSenderHost {
 public:
  virtual ~TSenderHost() = default;
  // The serial port when one is set, else "Network" when selected, else none.
  virtual TSendLine CurrentLine() = 0;
  // Rebuilds the built-message list for SampleNo and returns its lines.
  virtual std::vector<std::string> RebuildMessage(int sample_no) = 0;
  // The canned list's lines as they stand.
  virtual std::vector<std::string> CannedLines() = 0;
  // Whether "Single CS Error" is checked; unchecks it when it was.
  virtual bool TakeChecksumError() = 0;
  virtual void SendSerial(std::string_view bytes) = 0;
  virtual void SendNetwork(std::string_view bytes) = 0;
  // Timer1: set its interval and enable it; disable it.
  virtual void StartTimer(int interval_ms) = 0;
  virtual void StopTimer() = 0;
};

// The sending state machine; user-interface thread only, like its host.
class TMessageSender {
 public:
  TMessageSender(TSenderHost& host, const platform::MonotonicClock& clock);
  TMessageSender(const TMessageSender&) = delete;
  TMessageSender& operator=(const TMessageSender&) = delete;

  // Start: periodic sending of the built message every IntervalSeconds (bounded by
  // IntervalMs). False, with no timer started, when there is no line to send on
  // (the window then shows "Please set Com Number first"); the list to send is
  // the built one either way.
  bool Start(int interval_seconds);
  // Send: the canned message once over the serial line, at the next 1 s tick.
  // (With "Network" selected the tick sends the built message, every 16 s.)
  void Send();
  // Timer1's tick.
  void Tick();
  // Bytes received on the serial line.
  void Receive(std::string_view bytes);

  int sample_no() const { return sample_no_; }
  bool busy() const { return busy_; }
  // A serial message has been started (ENQ) and has neither ended nor been
  // abandoned.
  bool in_flight() const { return in_flight_; }
  // The line being sent; -1 after ENQ.
  int frame_index() const { return frame_index_; }
  TMessageList current_list() const { return current_list_; }
  // A press waits for the message in flight to end.
  bool press_pending() const { return pending_.has_value(); }

 private:
  // The effect of one or more presses of the buttons, in order.
  struct ButtonPress {
    TMessageList list = TMessageList::kBuilt;
    std::optional<int> timer_ms;  // start Timer1 with this interval
    bool restart = false;         // Send: Busy set and the last send long ago
  };

  void Press(const ButtonPress& press);
  void Apply(const ButtonPress& press);
  void EndMessage();
  void SendFrame(int index);
  bool Stalled() const;

  TSenderHost& host_;
  const platform::MonotonicClock& clock_;
  std::vector<std::string> lines_;  // the message in flight, as it stood at ENQ
  int frame_index_ = -1;
  int sample_no_ = 1;
  // None: never, or long ago (after Send), so the stall rule holds at once.
  std::optional<int64_t> last_send_;  // the clock's milliseconds
  bool busy_ = false;
  bool in_flight_ = false;
  TMessageList current_list_ = TMessageList::kBuilt;
  std::optional<ButtonPress> pending_;
};
