// The drawing surface of the system, in the manner of a GDI device context.
//
// A canvas carries the tools in force (pen, brush, font), the pen position and an
// optional clip rectangle; the public operations update that state and hand the
// drawing to the implementation's Do... operations, which see the tools through
// pen(), brush() and font(). Coordinates are pixels, y downwards. As in GDI, a line
// leaves out its end pixel and filled shapes leave out their right and bottom edges.
//
// Two implementations exist: RecordingCanvas (recording_canvas.h), for tests, and
// one over Qt's painter for the windows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// A Windows colour value: 0x00BBGGRR; with the top bit set, the low byte names a
// system colour (kClBtnFace is the face colour of buttons).
using Color = uint32_t;
constexpr Color kClBlack = 0x000000;
constexpr Color kClMaroon = 0x000080;
constexpr Color kClGreen = 0x008000;
constexpr Color kClOlive = 0x008080;
constexpr Color kClNavy = 0x800000;
constexpr Color kClPurple = 0x800080;
constexpr Color kClTeal = 0x808000;
constexpr Color kClGray = 0x808080;
constexpr Color kClSilver = 0xC0C0C0;
constexpr Color kClRed = 0x0000FF;
constexpr Color kClLime = 0x00FF00;
constexpr Color kClYellow = 0x00FFFF;
constexpr Color kClBlue = 0xFF0000;
constexpr Color kClFuchsia = 0xFF00FF;
constexpr Color kClAqua = 0xFFFF00;
constexpr Color kClWhite = 0xFFFFFF;
constexpr Color kSystemColorFlag = 0x80000000;
constexpr Color kClBtnFace = kSystemColorFlag | 15;
constexpr Color kClWindow = kSystemColorFlag | 5;
constexpr Color kClWindowText = kSystemColorFlag | 8;

// The value of system colour Index (COLOR_BTNFACE is 15) as 0x00BBGGRR, from the
// classic Windows scheme, so that the system's windows and drawings look the same
// on every desktop; 0 for an index the scheme does not have, as GetSysColor gives.
Color SystemColor(int index);
// Color itself, or for a system colour (top bit set) the SystemColor of its low
// byte.
Color ResolveColor(Color color);

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// The intersection of A and B, as GDI's IntersectRect: an empty intersection gives
// the all-zero rectangle and false.
bool IntersectRect(Rect& result, const Rect& a, const Rect& b);

enum class PenStyle : uint8_t { kSolid, kDash, kDot, kDashDot, kDashDotDot, kClear, kInsideFrame };
enum class BrushStyle : uint8_t {
  kSolid,
  kClear,
  kHorizontal,
  kVertical,
  kFDiagonal,
  kBDiagonal,
  kCross,
  kDiagCross
};

struct Pen {
  Color color = kClBlack;
  int32_t width = 1;
  PenStyle style = PenStyle::kSolid;
  friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
  Color color = kClWhite;
  BrushStyle style = BrushStyle::kSolid;
  friend bool operator==(const Brush&, const Brush&) = default;
};

constexpr int32_t kFwNormal = 400;
constexpr int32_t kFwBold = 700;

struct Font {
  std::string name = "MS Sans Serif";  // face name, Windows-1252
  // Height in pixels as GDI takes it: negative for the character height (the usual
  // case, from a size in points), positive for the cell height.
  int32_t height = -11;
  Color color = kClWindowText;
  int32_t weight = kFwNormal;
  int32_t escapement = 0;  // angle of the baseline, tenths of a degree anticlockwise
  bool italic = false;
  bool underline = false;
  bool strike_out = false;

  // The size in points at Pixels per inch (> 0), and the height for a size in points,
  // both rounded half away from zero. A negative size stands for a cell height: a
  // positive height gives a negative size, which SetSizeInPoints takes back to it.
  int32_t SizeInPoints(int pixels_per_inch) const;
  void SetSizeInPoints(int32_t points, int pixels_per_inch);
  friend bool operator==(const Font&, const Font&) = default;
};

// Flags of DrawText, with the values GDI gives them.
namespace dt {
constexpr uint32_t kLeft = 0x0000;
constexpr uint32_t kTop = 0x0000;
constexpr uint32_t kCenter = 0x0001;
constexpr uint32_t kRight = 0x0002;
constexpr uint32_t kVCenter = 0x0004;
constexpr uint32_t kBottom = 0x0008;
constexpr uint32_t kWordBreak = 0x0010;
constexpr uint32_t kSingleLine = 0x0020;
constexpr uint32_t kExpandTabs = 0x0040;
constexpr uint32_t kNoClip = 0x0100;
constexpr uint32_t kCalcRect = 0x0400;
constexpr uint32_t kNoPrefix = 0x0800;
constexpr uint32_t kEndEllipsis = 0x8000;
}  // namespace dt

class Bitmap;

class Canvas {
 public:
  Canvas() = default;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  virtual ~Canvas() = default;

  // Tools in force.
  const Pen& pen() const { return pen_; }
  const Brush& brush() const { return brush_; }
  const Font& font() const { return font_; }
  void SetPen(const Pen& pen) { pen_ = pen; }
  void SetPenColor(Color color) { pen_.color = color; }
  void SetPenWidth(int32_t width) { pen_.width = width; }
  void SetPenStyle(PenStyle style) { pen_.style = style; }
  void SetBrush(const Brush& brush) { brush_ = brush; }
  void SetBrushColor(Color color) { brush_.color = color; }
  void SetBrushStyle(BrushStyle style) { brush_.style = style; }
  void SetFont(const Font& font) { font_ = font; }

  Point PenPos() const { return pen_pos_; }

  // Lines, from the pen position; the pen position moves to the end point.
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  // Connected lines through the points; the pen position is not used or moved.
  void Polyline(std::span<const Point> points);

  // Shapes outlined with the pen and filled with the brush.
  void Polygon(std::span<const Point> points);
  void Rectangle(const Rect& rect);
  void RoundRect(const Rect& rect, int32_t ellipse_width, int32_t ellipse_height);
  void Ellipse(const Rect& rect);
  // Fills with the brush only.
  void FillRect(const Rect& rect);

  // Text in the font, its top left corner at (X, Y) (rotated by the escapement);
  // the background is filled with the brush unless its style is kClear.
  void TextOut(int32_t x, int32_t y, std::string_view text);
  Size TextExtent(std::string_view text);
  int32_t TextWidth(std::string_view text) { return TextExtent(text).cx; }
  int32_t TextHeight(std::string_view text) { return TextExtent(text).cy; }
  // Formats text in Rect by the dt:: flags; returns the height of the text. With
  // dt::kCalcRect nothing is drawn and Rect is set to the text's extent.
  int32_t DrawText(std::string_view text, Rect& rect, uint32_t flags);

  // Drawing outside the clip rectangle is discarded; none: the whole surface.
  void SetClipRect(const std::optional<Rect>& clip);
  const std::optional<Rect>& ClipRect() const { return clip_; }

  // Off-screen drawing: a bitmap compatible with this canvas (a negative size counts
  // as 0), and copying one here.
  std::unique_ptr<Bitmap> CreateBitmap(int32_t width, int32_t height);
  void Draw(int32_t x, int32_t y, const Bitmap& bitmap);

  // Pixels per inch of the surface: the screen's, 96 without a display.
  virtual int PixelsPerInch() const { return 96; }

 protected:
  // Each runs before the public operation updates the state, so DoLineTo still sees
  // the line's start as PenPos() and DoSetClipRect the clip it replaces.
  virtual void DoMoveTo(int32_t x, int32_t y) = 0;
  virtual void DoLineTo(int32_t x, int32_t y) = 0;
  virtual void DoPolyline(std::span<const Point> points) = 0;
  virtual void DoPolygon(std::span<const Point> points) = 0;
  virtual void DoRectangle(const Rect& rect) = 0;
  virtual void DoRoundRect(const Rect& rect, int32_t ellipse_width, int32_t ellipse_height) = 0;
  virtual void DoEllipse(const Rect& rect) = 0;
  virtual void DoFillRect(const Rect& rect) = 0;
  virtual void DoTextOut(int32_t x, int32_t y, std::string_view text) = 0;
  virtual Size DoTextExtent(std::string_view text) = 0;
  virtual int32_t DoDrawText(std::string_view text, Rect& rect, uint32_t flags) = 0;
  virtual void DoSetClipRect(const std::optional<Rect>& clip) = 0;
  virtual std::unique_ptr<Bitmap> DoCreateBitmap(int32_t width, int32_t height) = 0;
  virtual void DoDraw(int32_t x, int32_t y, const Bitmap& bitmap) = 0;

 private:
  Pen pen_;
  Brush brush_;
  Font font_;
  Point pen_pos_;
  std::optional<Rect> clip_;
};

// An off-screen image with a canvas of its own.
class Bitmap {
 public:
  virtual ~Bitmap() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual Canvas& canvas() = 0;
};

}  // namespace platform
