// The trigger lists of an open port and their matching: which received bytes,
// line and buffer states and timers tell the application of something. Guarded by
// the dispatcher's main lock (it is a field GUARDED_BY it).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "serial/SerMisc.h"

constexpr int kMaxTriggerString = 22;

struct TTimerTrigger {
  int32_t handle = 0;
  TTimerRecord timer;
  bool active = false;
};

struct TDataTrigger {
  int32_t handle = 0;
  int32_t length = 0;                                  // of the match string
  std::array<int32_t, kMaxTriggerString> positions{};  // partial matches
  bool matched = false;
  bool ignore_case = false;
  std::array<char, kMaxTriggerString> text{};  // upper-cased when case is ignored
};

// Kinds of status triggers.
constexpr int32_t kStatusModem = 1;
constexpr int32_t kStatusLine = 2;
constexpr int32_t kStatusOutFree = 3;
constexpr int32_t kStatusOutUsed = 4;
constexpr int32_t kStatusOutSent = 5;

struct TStatusTrigger {
  int32_t handle = 0;
  int32_t kind = 0;
  uint16_t value = 0;
  bool armed = false;
  bool fired = false;
};

// Triggers kept by the port component across a close and a reopen.
struct TSavedTriggers {
  int32_t trigger_length = 0;
  std::vector<TTimerTrigger> timers;
  std::vector<TDataTrigger> data;
  std::vector<TStatusTrigger> status;
};

class TSerTriggerLists {
 public:
  // The avail threshold in bytes; 0: no avail messages.
  int32_t TriggerLength() const { return trigger_length_; }
  void SetTriggerLength(int32_t length) { trigger_length_ = length; }

  void Clear();
  void Save(TSavedTriggers& saved) const;
  void Restore(const TSavedTriggers& saved);

  bool HasDataTriggers() const { return !data_.empty(); }
  // Offers a received byte to every data trigger: the longest string it completes,
  // or 0.
  int32_t MatchByte(uint8_t byte);
  // The completed triggers, last in the list first, each cleared: (handle, length).
  std::vector<std::pair<int32_t, int32_t>> TakeMatched();
  // Every partial match is forgotten (the input was flushed).
  void ForgetMatches();

  // The first armed status trigger not yet fired whose condition Holds (which may
  // set the message's count) fires: disarmed and marked. Its handle, or nothing.
  bool FireStatus(const std::function<bool(const TStatusTrigger&, uint32_t& count)>& holds,
                  int32_t& handle, uint32_t& count);
  void ResetStatus();
  // The first active timer trigger that expired is deactivated.
  bool FireTimer(int32_t& handle);

 private:
  static bool Match(TDataTrigger& trigger, uint8_t byte);

  int32_t trigger_length_ = 0;
  std::vector<TTimerTrigger> timers_;
  std::vector<TDataTrigger> data_;
  std::vector<TStatusTrigger> status_;
};
