#include "datafile/QORFunc.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <span>

#include "datafile/QORClassPersist.h"
#include "platform/date_time.h"
#include "platform/exception.h"
#include "platform/files.h"

namespace {

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int size = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text(static_cast<size_t>(std::max(size, 0)), '\0');
  if (size > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

// Coordinates a few pixels beyond the int32 range are pinned to its ends rather
// than wrapped round to the far side of the surface.
int32_t Pinned(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Narrows the parameter range [t0, t1] of the line to the part whose coordinate
// A(t) = (1 - t) * A1 + t * A2 lies in Low..High. False when no part can.
bool ClipAxis(int32_t a1, int32_t a2, int32_t low, int32_t high, long double& t0, long double& t1) {
  if (a1 == a2) return a1 >= low && a1 <= high;
  const long double span = static_cast<long double>(a2) - a1;
  long double u = (static_cast<long double>(low) - a1) / span;
  long double v = (static_cast<long double>(high) - a1) / span;
  if (u > v) std::swap(u, v);
  t0 = std::max(t0, u);
  t1 = std::min(t1, v);
  return true;
}

// The outline through Points and back to the first. With a pen one pixel wide it is
// one polyline: its lines are the very lines of the outline drawn line by line, each
// leaving out its end pixel for the next to draw, and a plot outlines its markers
// by the hundred thousand. A wider pen draws the lines one by one, as a surface
// ends wide lines apart from a polyline's corners.
void DrawClosed(platform::Canvas& canvas, std::initializer_list<platform::Point> points) {
  if (canvas.pen().width <= 1 && points.size() < 5) {
    std::array<platform::Point, 5> ring;
    std::copy(points.begin(), points.end(), ring.begin());
    ring[points.size()] = *points.begin();
    canvas.Polyline(std::span<const platform::Point>(ring.data(), points.size() + 1));
    return;
  }
  const platform::Point& first = *points.begin();
  canvas.MoveTo(first.x, first.y);
  for (const platform::Point* p = points.begin() + 1; p != points.end(); ++p) {
    canvas.LineTo(p->x, p->y);
  }
  canvas.LineTo(first.x, first.y);
}

void DrawLine(platform::Canvas& canvas, platform::Point from, platform::Point to) {
  canvas.MoveTo(from.x, from.y);
  canvas.LineTo(to.x, to.y);
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// A lone separator, or a drive's root such as "C:\".
bool IsRoot(std::string_view path) {
  if (path.size() == 1) return IsSeparator(path[0]);
  return path.size() == 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         IsSeparator(path[2]);
}

}  // namespace

int32_t RoundClamped(long double x) {
  // This runs twice for every point of a plot. Nearly always X is well inside the
  // range and not within a hair of a half: then X as a double (within 2^-23 of it
  // below 2^31) rounds to the same integer, and that is found in double precision,
  // whose conversions truncate without switching the x87 unit's rounding mode as a
  // long double's do.
  const double near = static_cast<double>(x);
  if (std::fabs(near) < 2147483000.0) {
    const auto whole = static_cast<int64_t>(near);
    const double fraction = near - static_cast<double>(whole);
    if (std::fabs(std::fabs(fraction) - 0.5) > 0x1p-20)
      return static_cast<int32_t>(whole + (fraction > 0.5) - (fraction < -0.5));
  }
  constexpr long double kLimit = kRoundClampedLimit;
  if (std::isnan(x)) return 0;
  x = std::clamp(x, -kLimit, kLimit);
  // Rounded by hand: std::nearbyint would follow whatever rounding mode a library
  // has left behind. The integer to start from lies within one of X; what is left
  // is exact, and it is moved into -0.5 .. 0.5, halves going to the even neighbour.
  int64_t whole = static_cast<int64_t>(static_cast<double>(x));
  long double fraction = x - static_cast<long double>(whole);
  if (fraction > 0.5L || (fraction == 0.5L && (whole & 1) != 0)) {
    ++whole;
    fraction -= 1;
  }
  if (fraction < -0.5L || (fraction == -0.5L && (whole & 1) != 0)) --whole;
  return static_cast<int32_t>(whole);
}

void DrawClippedLine(platform::Canvas& canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     const platform::Rect& clip_rect, int32_t gap, int32_t gap_mode) {
  constexpr int32_t kMinCoordinate = std::numeric_limits<int32_t>::min();
  // The line's box. Drawn backwards or along one axis it reaches one pixel further
  // on its low side, which keeps the box of a horizontal or vertical line from
  // being empty.
  platform::Rect box;
  if (x1 < x2) {
    box.left = x1;
    box.right = x2;
  } else {
    box.left = x2 == kMinCoordinate ? x2 : x2 - 1;
    box.right = x1;
  }
  if (y1 < y2) {
    box.top = y1;
    box.bottom = y2;
  } else {
    box.top = y2 == kMinCoordinate ? y2 : y2 - 1;
    box.bottom = y1;
  }

  long double t0 = 0;
  long double t1 = 1;
  platform::Rect inside;
  if (!platform::IntersectRect(inside, box, clip_rect)) return;
  if (inside != box) {
    if (!ClipAxis(x1, x2, clip_rect.left, clip_rect.right, t0, t1)) return;
    if (!ClipAxis(y1, y2, clip_rect.top, clip_rect.bottom, t0, t1)) return;
    if (t0 > t1) return;
  }

  if (gap_mode != 0 && gap > 0) {
    const int64_t length = std::max(std::llabs(static_cast<int64_t>(x2) - x1),
                                    std::llabs(static_cast<int64_t>(y2) - y1));
    if (length < gap) return;
    if (gap_mode == 3 && length < 2 * static_cast<int64_t>(gap)) return;
    const long double step = static_cast<long double>(gap) / length;
    if (gap_mode & 1) t0 += step;
    if (gap_mode & 2) t1 -= step;
  }
  // The gaps are measured along the whole line, not along its clipped part: they
  // can swallow that part, and the start then lies past the end, outside the clip.
  if (t0 > t1) return;

  const auto at = [&](long double t) {
    return platform::Point{RoundClamped((1 - t) * x1 + t * x2),
                           RoundClamped((1 - t) * y1 + t * y2)};
  };
  const platform::Point start = at(t0);
  const platform::Point end = at(t1);
  canvas.MoveTo(start.x, start.y);
  canvas.LineTo(end.x, end.y);
}

void DrawArrowHead(platform::Canvas& canvas, int32_t x, int32_t y, int32_t size) {
  const int64_t half = size / 2;
  const int32_t left = Pinned(x - half);
  const int32_t right = Pinned(x + half);
  const int32_t back = Pinned(static_cast<int64_t>(y) - size);
  const int32_t width = size / 3 >= 2 ? size / 3 : 1;

  const int32_t previous_width = canvas.pen().width;
  canvas.SetPenWidth(width);
  canvas.MoveTo(left, back);
  canvas.LineTo(x, Pinned(static_cast<int64_t>(y) + size));
  canvas.LineTo(right, back);
  // Callers go on drawing the shaft from the head's anchor.
  canvas.MoveTo(x, y);
  canvas.SetPenWidth(previous_width);
}

void DrawPointMarker(uint8_t marker, platform::Canvas& canvas, int32_t x, int32_t y, int32_t size) {
  const int32_t l = Pinned(static_cast<int64_t>(x) - size);
  const int32_t r = Pinned(static_cast<int64_t>(x) + size);
  const int32_t t = Pinned(static_cast<int64_t>(y) - size);
  const int32_t b = Pinned(static_cast<int64_t>(y) + size);
  const auto draw_plus = [&] {
    DrawLine(canvas, {x, b}, {x, t});
    DrawLine(canvas, {r, y}, {l, y});
  };
  const auto draw_x = [&] {
    DrawLine(canvas, {l, t}, {r, b});
    DrawLine(canvas, {l, b}, {r, t});
  };

  // The top bit marks a selected point in the series and has no shape of its own.
  switch (marker & 0x7F) {
    case pmCube:
      DrawClosed(canvas, {{l, t}, {r, t}, {r, b}, {l, b}});
      break;
    case pmTriangle:
      DrawClosed(canvas, {{x, t}, {l, b}, {r, b}});
      break;
    case pmCircle:
      canvas.Ellipse(platform::Rect{l, t, r, b});
      break;
    case pmStar:
      draw_plus();
      draw_x();
      break;
    case pmTopTriangle:
      DrawClosed(canvas, {{x, b}, {l, t}, {r, t}});
      break;
    case pmPlus:
      draw_plus();
      break;
    case pmX:
      draw_x();
      break;
    case pmDiamond:
      DrawClosed(canvas, {{x, t}, {r, y}, {x, b}, {l, y}});
      break;
    default:
      break;
  }
}

std::string TruncateWithEllipsis(std::string_view text, int32_t max_len) {
  constexpr std::string_view kEllipsis = "...";
  if (max_len <= 0) return {};
  const size_t limit = static_cast<size_t>(max_len);
  if (text.size() <= limit) return std::string(text);
  if (limit < kEllipsis.size()) return std::string(kEllipsis.substr(0, limit));
  std::string result(text.substr(0, limit - kEllipsis.size()));
  result += kEllipsis;
  return result;
}

std::string FormatTimeSpan(double span) {
  constexpr int64_t kMsPerDay = 86400000;
  // Days are shown as an int32; 2^31 days is the first span it cannot count.
  constexpr double kDaysLimit = 2147483648.0;
  constexpr int64_t kLargestMs = static_cast<int64_t>(kDaysLimit) * kMsPerDay - 1;

  int64_t ms = 0;
  if (!std::isnan(span)) {
    // Rounding the whole value first carries a fraction of a millisecond below the
    // next day into that day instead of showing it as 24 h.
    const double magnitude = std::min(std::fabs(span), kDaysLimit);
    ms = std::min<int64_t>(std::llround(magnitude * static_cast<double>(kMsPerDay)), kLargestMs);
  }
  const int32_t days = static_cast<int32_t>(ms / kMsPerDay);
  const int64_t of_day = ms % kMsPerDay;
  const int hours = static_cast<int>(of_day / 3600000);
  const int minutes = static_cast<int>(of_day / 60000 % 60);
  const int seconds = static_cast<int>(of_day / 1000 % 60);

  const std::string days_word = platform::LoadResString(SDays);
  const std::string hours_word = platform::LoadResString(SHours);
  const std::string minutes_word = platform::LoadResString(SMinutes);
  const std::string seconds_word = platform::LoadResString(SSeconds);
  if (span < 0) {
    return Format("-%d %s %.2d %s %.2d %s %.2d %s", days, days_word.c_str(), hours,
                  hours_word.c_str(), minutes, minutes_word.c_str(), seconds, seconds_word.c_str());
  }
  return Format("%d %s %.2d %s %.2d %s %.2d %s", days, days_word.c_str(), hours, hours_word.c_str(),
                minutes, minutes_word.c_str(), seconds, seconds_word.c_str());
}

bool ForceDirectory(std::string dir) {
  // The folder's name without trailing separators; a root keeps its own, and a
  // bare drive ("C:") is its root.
  if (!dir.empty() && !IsSeparator(dir.back())) dir += '\\';
  while (dir.size() > 1 && IsSeparator(dir.back()) && !IsRoot(dir))
    dir.pop_back();

  if (platform::DirectoryExists(dir)) return true;

  const size_t last_separator = dir.find_last_of("\\/");
  const std::string parent =
      last_separator == std::string::npos ? std::string() : dir.substr(0, last_separator + 1);
  // Only an empty name and a root are their own parents.
  if (dir == parent) throw Exception("Exception: Could not create directory");

  // Another program may create the folder between the test above and ours; it
  // exists then all the same.
  const auto create = [&dir] { return platform::CreateDir(dir) || platform::DirectoryExists(dir); };
  // A relative path's first folder has the working folder as parent, which exists.
  if (parent.empty()) return create();
  return ForceDirectory(parent) && create();
}

double RoundDateTimeToMs(double value) {
  const double magnitude = std::fabs(value);
  if (!platform::IsValidDateTime(magnitude)) return value;
  // Date and time decode from the same value rounded to the millisecond, so a
  // value just below midnight gives the next day at 00:00, never 24:00.
  const platform::DateParts date = platform::DecodeDate(magnitude);
  const platform::TimeParts time = platform::DecodeTime(magnitude);
  const double rounded =
      platform::EncodeDate(date.year, date.month, date.day) +
      platform::EncodeTime(time.hour, time.minute, time.second, time.millisecond);
  return value < 0 ? -rounded : rounded;
}

std::string FormatHMS(double value) {
  const platform::TimeParts time = platform::DecodeTime(value);
  return Format("%.2d:%.2d:%.2d", time.hour, time.minute, time.second);
}
