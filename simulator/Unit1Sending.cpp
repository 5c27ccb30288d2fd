#include "simulator/Unit1Sending.h"

#include <algorithm>

#include "simulator/Unit1Message.h"

int IntervalMs(int seconds) {
  return std::clamp(seconds, kMinIntervalSeconds, kMaxIntervalSeconds) * 1000;
}

TMessageSender::TMessageSender(TSenderHost& host, const platform::MonotonicClock& clock)
    : host_(host), clock_(clock) {}

bool TMessageSender::Start(int interval_seconds) {
  // The list is switched even when there is no line, as the button always did: a
  // Send armed without a line then sends the built message once a line is chosen.
  const bool has_line = host_.CurrentLine() != TSendLine::kNone;
  ButtonPress press;
  press.list = TMessageList::kBuilt;
  if (has_line) press.timer_ms = IntervalMs(interval_seconds);
  Press(press);
  return has_line;
}

void TMessageSender::Send() {
  ButtonPress press;
  press.list = TMessageList::kCanned;
  press.timer_ms = kSendTickMs;
  press.restart = true;
  Press(press);
}

void TMessageSender::Press(const ButtonPress& press) {
  if (!in_flight_) {
    Apply(press);
    return;
  }
  // Several presses during one message add up as they would have one after the
  // other: the last list and the last interval count, and a Send's restart stays.
  if (!pending_) {
    pending_ = press;
    return;
  }
  pending_->list = press.list;
  if (press.timer_ms) pending_->timer_ms = press.timer_ms;
  pending_->restart = pending_->restart || press.restart;
}

void TMessageSender::Apply(const ButtonPress& press) {
  current_list_ = press.list;
  if (press.restart) {
    busy_ = true;
    last_send_.reset();
  }
  if (press.timer_ms) host_.StartTimer(*press.timer_ms);
}

void TMessageSender::EndMessage() {
  in_flight_ = false;
  frame_index_ = -1;
  lines_.clear();
  if (pending_) {
    const ButtonPress press = *pending_;
    pending_.reset();
    Apply(press);
  }
}

bool TMessageSender::Stalled() const {
  return !last_send_ || clock_.Now() - *last_send_ > kStallTime.count();
}

void TMessageSender::Tick() {
  if (Stalled()) {
    busy_ = false;
    if (in_flight_) EndMessage();
  }
  if (busy_) return;

  switch (host_.CurrentLine()) {
    case TSendLine::kSerial: {
      busy_ = true;
      std::vector<std::string> built = host_.RebuildMessage(sample_no_);
      lines_ = current_list_ == TMessageList::kBuilt ? std::move(built) : host_.CannedLines();
      frame_index_ = -1;
      in_flight_ = true;
      host_.SendSerial(std::string_view(&kENQ, 1));
      last_send_ = clock_.Now();
      break;
    }
    case TSendLine::kNetwork: {
      // The feed always carries the built message, and its sample number stays:
      // only a serial message ends with an EOT that counts.
      busy_ = true;
      for (const std::string& bytes : FeedSends(host_.RebuildMessage(sample_no_)))
        host_.SendNetwork(bytes);
      last_send_ = clock_.Now();
      break;
    }
    case TSendLine::kNone:
      break;
  }
}

void TMessageSender::Receive(std::string_view bytes) {
  for (char byte : bytes) {
    if (!in_flight_) continue;  // a late or stray reply
    if (byte == kNAK) {
      if (frame_index_ >= 0) SendFrame(frame_index_);
    } else if (byte == kACK) {
      ++frame_index_;
      SendFrame(frame_index_);
    }
  }
}

void TMessageSender::SendFrame(int index) {
  const auto count = static_cast<int>(lines_.size());
  if (index >= count) {
    ++sample_no_;
    last_send_ = clock_.Now();
    busy_ = false;
    if (current_list_ == TMessageList::kCanned) host_.StopTimer();
    EndMessage();
    host_.SendSerial(std::string_view(&kEOT, 1));
    return;
  }
  const bool corrupt = host_.TakeChecksumError();
  host_.SendSerial(FrameBytes(lines_[index], index == count - 1, corrupt));
  last_send_ = clock_.Now();
}
