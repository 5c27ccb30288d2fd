// Drawing and formatting helpers shared by the plots, the data files and the
// programs' windows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"
#include "platform/resources.h"

// The unit words of FormatTimeSpan; a language module may replace them.
inline constexpr platform::ResourceString SDays{"QORFunc.SDays", "days"};
inline constexpr platform::ResourceString SHours{"QORFunc.SHours", "h"};
inline constexpr platform::ResourceString SMinutes{"QORFunc.SMinutes", "min"};
inline constexpr platform::ResourceString SSeconds{"QORFunc.SSeconds", "s"};

// The magnitude RoundClamped keeps a value within.
inline constexpr int32_t kRoundClampedLimit = 2147483637;

// X clamped to -kRoundClampedLimit..kRoundClampedLimit and rounded to the nearest
// integer, halves to even whatever the floating-point rounding mode. NaN gives 0.
int32_t RoundClamped(long double x);

// Draws the line (X1, Y1)-(X2, Y2) with MoveTo/LineTo, clipped to ClipRect. With a
// Gap of pixels, GapMode 1 leaves the gap out at the start, 2 at the end and 3 at
// both ends; a line too short for its gaps is not drawn. The gap is measured along
// the whole line, so once clipped nothing of the line may remain.
void DrawClippedLine(platform::Canvas& canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     const platform::Rect& clip_rect, int32_t gap, int32_t gap_mode);

// A V-shaped arrow head pointing down, its tip at (X, Y + Size), its arms ending at
// (X -/+ Size / 2, Y - Size), drawn with a pen of width Size / 3 (at least 1). The
// pen keeps its width and ends at (X, Y).
void DrawArrowHead(platform::Canvas& canvas, int32_t x, int32_t y, int32_t size);

// Outlines the marker (a TPointMarker; the top bit is ignored) centred on (X, Y),
// Size pixels from the centre to each side, with the pen in force. pmCircle is an
// Ellipse and is filled with the brush in force as well. pmNone and unknown values
// draw nothing. With a pen one pixel wide the closed shapes (cube, triangles,
// diamond) are one Polyline each, back to their first corner, and leave the pen
// position alone; otherwise every line is a MoveTo and LineTo.
void DrawPointMarker(uint8_t marker, platform::Canvas& canvas, int32_t x, int32_t y, int32_t size);

// Text shortened to MaxLen characters, ending in "..." when it had to be cut. A
// MaxLen below 3 leaves no room for any text, and the cut text is then as many dots
// as fit ("." or ".."); a MaxLen of 0 or below gives "".
std::string TruncateWithEllipsis(std::string_view text, int32_t max_len);

// A span of days as "1 days 12 h 00 min 00 s" ("-" in front when negative), rounded
// to the millisecond, seconds shown whole. NaN gives the zero span; spans of 2^31
// days or more, infinities included, show as the largest span the days can count,
// "2147483647 days 23 h 59 min 59 s" with their sign.
std::string FormatTimeSpan(double span);

// Makes sure the folder and all its parents exist; "\" and "/" both separate
// folders. Returns whether the folder exists afterwards: false when a folder could
// not be created (a parent is a file, or access is denied). Raises Exception
// "Exception: Could not create directory" for an empty name and for a root ("/",
// "C:\") that does not exist.
bool ForceDirectory(std::string dir);

// Frees the objects of the list first to last and empties it. The order matters
// to objects that unregister themselves from the ones before them.
template <typename T>
void FreeListObjects(std::vector<std::unique_ptr<T>>& list) {
  for (std::unique_ptr<T>& object : list)
    object.reset();
  list.clear();
}

// The date-time value rounded to whole milliseconds, the date included: a value a
// fraction of a millisecond below midnight becomes the next day. The sign is kept
// (the absolute value is rounded). Values outside the valid dates (NaN, infinities,
// beyond the year 9999) come back unchanged.
double RoundDateTimeToMs(double value);

// The time of day of a date-time value as "hh:nn:ss"; invalid values give
// "00:00:00".
std::string FormatHMS(double value);
