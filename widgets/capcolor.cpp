#include "widgets/capcolor.h"

#include <cmath>
#include <iterator>

namespace {

// GetSysColor's values of the classic scheme, by system colour index.
constexpr platform::Color kSystemColors[] = {
    0xC8C8C8,  // 0 scroll bar
    0xA56E3A,  // 1 desktop
    0x6A240A,  // 2 active caption
    0x808080,  // 3 inactive caption
    0xC8D0D4,  // 4 menu
    0xFFFFFF,  // 5 window
    0x000000,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0xFFFFFF,  // 9 caption text
    0xC8D0D4,  // 10 active border
    0xC8D0D4,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x6A240A,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xC8D0D4,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xC8D0D4,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3-D dark shadow
    0xC8D0D4,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xE1FFFF,  // 24 tooltip background
    0x000000,  // 25 (unused)
    0x800000,  // 26 hot-tracked item
    0xF0CAA6,  // 27 active caption gradient
    0xC0C0C0,  // 28 inactive caption gradient
    0xC56A31,  // 29 menu highlight
    0xC8D0D4,  // 30 menu bar
};

}  // namespace

platform::Color CapResolveColor(platform::Color color) {
  if ((color & platform::kSystemColorFlag) == 0) return color;
  const uint32_t index = color & 0xFF;
  return index < std::size(kSystemColors) ? kSystemColors[index] : 0;
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
