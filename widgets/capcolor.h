// Colour and integer helpers of the caption label's drawing.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

struct TCapRGB {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const TCapRGB&, const TCapRGB&) = default;
};

// The colour value a system colour stands for (the classic Windows scheme, which
// is what a desktop without a scheme of its own shows); an ordinary colour comes
// back as it is. Unknown system colour indexes give black, as GetSysColor does.
platform::Color CapResolveColor(platform::Color color);

// The red, green and blue bytes of a colour (red is the lowest byte), a system
// colour first resolved.
TCapRGB CapSplitColor(platform::Color color);
// The colour value of three channels.
platform::Color CapJoinColor(const TCapRGB& rgb);

inline int32_t CapMinI(int32_t a, int32_t b) {
  return a < b ? a : b;
}
inline int32_t CapMaxI(int32_t a, int32_t b) {
  return a > b ? a : b;
}

// X rounded to the nearest integer, halves to the even one (as the runtime's Round
// does), whatever the floating-point rounding mode. Values beyond the int32 range
// are clamped; NaN gives 0.
int32_t CapRound(double x);
