// The canvas interface (platform/canvas.h) over Qt's painter, for the windows.
//
// A QtCanvas paints with a QPainter that the caller owns (in a widget's paint event,
// or over a QImage). Colours are Windows colour values; the system colours (top bit
// set) come from platform::SystemColor, the classic Windows scheme, so that
// windows look the same on every desktop. Fonts: a negative height is the
// character height in pixels, a positive one the cell height; the face name is
// taken as it is (Qt finds the nearest installed face). Lines leave out their end
// pixel, as GDI's do.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <memory>

#include "platform/canvas.h"

namespace platform::qt {

// The colour for a Windows colour value (system colours by the table).
QColor ToQColor(Color color);
// The QFont for a canvas font.
QFont ToQFont(const Font& font);

class QtCanvas : public Canvas {
 public:
  // Paints with Painter, whose device has PixelsPerInch (96 off-screen).
  explicit QtCanvas(QPainter& painter, int pixels_per_inch = 96);

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
  void ApplyPen();
  void ApplyBrush();
  void ApplyFont();

  QPainter& painter_;
  int pixels_per_inch_;
};

// An off-screen image with a QtCanvas of its own.
class QtBitmap final : public Bitmap {
 public:
  QtBitmap(int32_t width, int32_t height, int pixels_per_inch = 96);
  ~QtBitmap() override;

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  Canvas& canvas() override { return *canvas_; }
  // The image as drawn so far.
  const QImage& Image();

 private:
  int32_t width_;
  int32_t height_;
  QImage image_;  // at least 1 x 1, which Qt needs to paint on
  std::unique_ptr<QPainter> painter_;
  std::unique_ptr<QtCanvas> canvas_;
};

}  // namespace platform::qt
