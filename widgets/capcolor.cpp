#include "widgets/capcolor.h"

#include <cmath>

platform::Color CapResolveColor(platform::Color color) {
  return platform::ResolveColor(color);
}

TCapRGB CapSplitColor(platform::Color color) {
  const platform::Color value = CapResolveColor(color);
  return TCapRGB{static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
                 static_cast<uint8_t>((value >> 16) & 0xFF)};
}

platform::Color CapJoinColor(const TCapRGB& rgb) {
  return platform::Color{rgb.red} | (platform::Color{rgb.green} << 8) |
         (platform::Color{rgb.blue} << 16);
}

int32_t CapRound(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return 2147483647;
  if (x <= -2147483648.0) return -2147483647 - 1;
  const double floor = std::floor(x);
  const double fraction = x - floor;
  double result = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) result += 1.0;
  return static_cast<int32_t>(result);
}
