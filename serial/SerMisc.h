// Shared helpers of the serial library: the millisecond clock, timer records, flag
// helpers, and the numbers that the dispatcher and the port component share.
#pragma once

#include <cstdint>

// Trigger messages from the dispatcher to the port component's event window, and the
// component's own messages.
constexpr uint16_t kMsgTriggerAvail = 0x7E01;
constexpr uint16_t kMsgTriggerData = 0x7E02;
constexpr uint16_t kMsgTriggerTimer = 0x7E03;
constexpr uint16_t kMsgTriggerStatus = 0x7E04;
constexpr uint16_t kMsgPortOpen = 0x7E08;
constexpr uint16_t kMsgPortClosing = 0x7E09;
constexpr uint16_t kMsgDeferredClose = 0x7E0A;

// Milliseconds on the monotonic clock, 32 bits, wrapping.
uint32_t ElapsedMs();

// A timer in 55 ms ticks of ElapsedMs.
struct TTimerRecord {
  uint32_t start_ticks = 0;
  uint32_t expire_ticks = 0;
};
// Whether the timer has expired; a clock that wrapped since the start is allowed for.
bool TimerExpired(const TTimerRecord& timer);
// The same rule at a given tick count (for tests).
bool TimerExpiredAt(const TTimerRecord& timer, uint32_t now_ticks);

// All ones when Flags and Bit share a bit, else 0.
uint32_t FlagIsSet(uint32_t flags, uint32_t bit);
// All ones when the file exists, else 0.
uint32_t FileExistsZ(const char* name);
