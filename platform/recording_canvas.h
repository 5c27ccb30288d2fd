// A canvas for tests: it draws nothing and records every call, with the tools and
// the clip rectangle in force at the call, for tests to assert on.
//
// Text metrics are fixed so that a test can work a layout out by hand. With H the
// font's |height|:
// - a character (a byte) is max(H / 2, 1) pixels wide, a line max(H, 1) pixels high;
// - TextExtent never breaks lines: its width counts every byte, CR and LF too, and
//   its height is one line, even for the empty text.
// DrawText:
// - breaks lines at CR LF, LF and a lone CR; n breaks give n + 1 lines, so the empty
//   text is one empty line. With kSingleLine there is one line and CR and LF count
//   as characters.
// - kWordBreak (without kSingleLine) fills each line greedily with the words, split
//   at spaces, that fit the rectangle's width; a word wider than that stands alone
//   on its line, and the spaces at a break are dropped.
// - without kNoPrefix a single "&" has no width and "&&" is one character, as the
//   prefix marks of label and menu texts.
// - places each line by kCenter (left + (width - line width) / 2, rounded toward
//   zero) or else kRight, otherwise at the left; kVCenter (else kBottom) places the
//   line vertically, only with kSingleLine, as GDI does; otherwise lines start at
//   the top.
// - returns lines x line height. With kCalcRect it only sets Rect's right to left +
//   the widest line and its bottom to top + the height.
// - kExpandTabs, kEndEllipsis and kNoClip are recorded but change nothing.
// Clipping discards nothing; the clip in force is recorded with each call.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace platform {

enum class CanvasOp : uint8_t {
  kMoveTo,
  kLineTo,
  kPolyline,
  kPolygon,
  kRectangle,
  kRoundRect,
  kEllipse,
  kFillRect,
  kTextOut,
  kTextExtent,
  kDrawText,
  kSetClipRect,
  kCreateBitmap,
  kDraw,
};

// One call on a RecordingCanvas. Fields a call does not use stay at their defaults:
//   kMoveTo                   points {target}
//   kLineTo                   points {start (the pen position), end}
//   kPolyline, kPolygon       points as given
//   kRectangle, kEllipse,     rect
//   kFillRect
//   kRoundRect                rect, values {ellipse width, ellipse height}
//   kTextOut                  points {(x, y)}, text
//   kTextExtent               text, values {cx, cy} (the extent returned)
//   kDrawText                 rect as given, text, flags, points {top left of each
//                             line as laid out}, values {height returned}
//   kSetClipRect              clip: the clip the call sets
//   kCreateBitmap             values {width, height} (after the negative ones became 0)
//   kDraw                     points {(x, y)}, values {bitmap width, height},
//                             bitmap_calls: what the bitmap's canvas had recorded
//                             then, when it is a RecordingBitmap
struct CanvasCall {
  CanvasOp op = CanvasOp::kMoveTo;
  std::vector<Point> points;
  Rect rect;
  std::string text;
  uint32_t flags = 0;
  std::vector<int32_t> values;
  Pen pen;
  Brush brush;
  Font font;
  std::optional<Rect> clip;
  std::vector<CanvasCall> bitmap_calls;

  friend bool operator==(const CanvasCall&, const CanvasCall&) = default;
};

class RecordingCanvas : public Canvas {
 public:
  explicit RecordingCanvas(int pixels_per_inch = 96) : pixels_per_inch_(pixels_per_inch) {}

  const std::vector<CanvasCall>& calls() const { return calls_; }
  // Forgets the calls; the tools, pen position and clip stay, and so does the
  // memory of the record, for the next calls.
  void Clear();

  // The metrics of the font in force (see above).
  int32_t CharWidth() const;
  int32_t LineHeight() const;

  int PixelsPerInch() const override { return pixels_per_inch_; }

 protected:
  void DoMoveTo(int32_t x, int32_t y) override;
  void DoLineTo(int32_t x, int32_t y) override;
  void DoPolyline(std::span<const Point> points) override;
  void DoPolygon(std::span<const Point> points) override;
  void DoRectangle(const Rect& rect) override;
  void DoRoundRect(const Rect& rect, int32_t ellipse_width, int32_t ellipse_height) override;
  void DoEllipse(const Rect& rect) override;
  void DoFillRect(const Rect& rect) override;
  void DoTextOut(int32_t x, int32_t y, std::string_view text) override;
  Size DoTextExtent(std::string_view text) override;
  int32_t DoDrawText(std::string_view text, Rect& rect, uint32_t flags) override;
  void DoSetClipRect(const std::optional<Rect>& clip) override;
  std::unique_ptr<Bitmap> DoCreateBitmap(int32_t width, int32_t height) override;
  void DoDraw(int32_t x, int32_t y, const Bitmap& bitmap) override;

 private:
  // A call of Op carrying the tools and clip in force.
  CanvasCall NewCall(CanvasOp op) const;
  // The same with Points, made in place at the end of the record.
  CanvasCall& Append(CanvasOp op, std::span<const Point> points = {});

  int pixels_per_inch_;
  std::vector<CanvasCall> calls_;
  // Point lists of the calls Clear forgot.
  std::vector<std::vector<Point>> spare_points_;
};

// The bitmaps a RecordingCanvas creates: each records into a canvas of its own,
// with the pixels per inch of the canvas that created it.
class RecordingBitmap final : public Bitmap {
 public:
  RecordingBitmap(int32_t width, int32_t height, int pixels_per_inch = 96)
      : width_(width), height_(height), canvas_(pixels_per_inch) {}

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  RecordingCanvas& canvas() override { return canvas_; }
  const RecordingCanvas& canvas() const { return canvas_; }

 private:
  int32_t width_;
  int32_t height_;
  RecordingCanvas canvas_;
};

// Helpers for assertions; they take any list of calls, so bitmap_calls too.
std::vector<CanvasCall> CallsOf(const std::vector<CanvasCall>& calls, CanvasOp op);

// A line a LineTo drew, or one of the lines of a Polyline, with the pen of its call.
struct DrawnSegment {
  Point from;
  Point to;
  Pen pen;
  friend bool operator==(const DrawnSegment&, const DrawnSegment&) = default;
};
// The lines the calls drew, in order, whether line by line or as polylines.
std::vector<DrawnSegment> DrawnSegments(const std::vector<CanvasCall>& calls);
std::vector<CanvasOp> OpsOf(const std::vector<CanvasCall>& calls);
// The texts that reached the surface: TextOut's and DrawText's without kCalcRect.
std::vector<std::string> DrawnTexts(const std::vector<CanvasCall>& calls);

// For readable test failures.
std::ostream& operator<<(std::ostream& out, CanvasOp op);
std::ostream& operator<<(std::ostream& out, const CanvasCall& call);
std::ostream& operator<<(std::ostream& out, const Point& point);
std::ostream& operator<<(std::ostream& out, const Size& size);
std::ostream& operator<<(std::ostream& out, const Rect& rect);

}  // namespace platform
