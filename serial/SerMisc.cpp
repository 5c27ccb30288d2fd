#include "serial/SerMisc.h"

#include <chrono>

#include "platform/files.h"

uint32_t ElapsedMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool TimerExpiredAt(const TTimerRecord& timer, uint32_t now) {
  if (timer.expire_ticks < now) return true;
  // The clock wrapped since the start: 39045157 ticks of 55 ms are 2^31 ms.
  return now < timer.start_ticks && timer.expire_ticks < now + 39045157u;
}

bool TimerExpired(const TTimerRecord& timer) {
  return TimerExpiredAt(timer, ElapsedMs() / 55);
}

uint32_t FlagIsSet(uint32_t flags, uint32_t bit) {
  return (flags & bit) ? 0xFFFFFFFFu : 0;
}

uint32_t FileExistsZ(const char* name) {
  return name && platform::FileExists(name) ? 0xFFFFFFFFu : 0;
}
