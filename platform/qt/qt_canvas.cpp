#include "platform/qt/qt_canvas.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QPolygon>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/qt/qt_text.h"

namespace platform::qt {
namespace {

QRect ToQRect(const Rect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

Qt::PenStyle ToQPenStyle(PenStyle style) {
  switch (style) {
    case PenStyle::kSolid:
    case PenStyle::kInsideFrame:
      return Qt::SolidLine;
    case PenStyle::kDash:
      return Qt::DashLine;
    case PenStyle::kDot:
      return Qt::DotLine;
    case PenStyle::kDashDot:
      return Qt::DashDotLine;
    case PenStyle::kDashDotDot:
      return Qt::DashDotDotLine;
    case PenStyle::kClear:
      break;
  }
  return Qt::NoPen;
}

Qt::BrushStyle ToQBrushStyle(BrushStyle style) {
  switch (style) {
    case BrushStyle::kSolid:
      return Qt::SolidPattern;
    case BrushStyle::kClear:
      return Qt::NoBrush;
    case BrushStyle::kHorizontal:
      return Qt::HorPattern;
    case BrushStyle::kVertical:
      return Qt::VerPattern;
    case BrushStyle::kFDiagonal:
      return Qt::FDiagPattern;
    case BrushStyle::kBDiagonal:
      return Qt::BDiagPattern;
    case BrushStyle::kCross:
      return Qt::CrossPattern;
    case BrushStyle::kDiagCross:
      return Qt::DiagCrossPattern;
  }
  return Qt::SolidPattern;
}

// The end point one pixel short, towards the start, as GDI leaves the last pixel.
QPoint ShortEnd(QPoint from, QPoint to) {
  const int dx = to.x() - from.x();
  const int dy = to.y() - from.y();
  const int steps = std::max(std::abs(dx), std::abs(dy));
  if (steps == 0) return to;
  return QPoint(to.x() - static_cast<int>(std::lround(static_cast<double>(dx) / steps)),
                to.y() - static_cast<int>(std::lround(static_cast<double>(dy) / steps)));
}

}  // namespace

QColor ToQColor(Color color) {
  color = ResolveColor(color);
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>(color >> 8 & 0xFF),
                static_cast<int>(color >> 16 & 0xFF));
}

QFont ToQFont(const Font& font) {
  QFont q(ToQString(font.name));
  // A negative height is the character height; a positive one the cell height, of
  // which the character takes about this share in the usual faces.
  const int pixels = font.height < 0 ? -font.height : font.height * 4 / 5;
  q.setPixelSize(std::max(pixels, 1));
  q.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 100, 900)));
  q.setItalic(font.italic);
  q.setUnderline(font.underline);
  q.setStrikeOut(font.strike_out);
  return q;
}

QtCanvas::QtCanvas(QPainter& painter, int pixels_per_inch)
    : painter_(painter), pixels_per_inch_(pixels_per_inch) {}

void QtCanvas::ApplyPen() {
  const Pen& p = pen();
  if (p.style == PenStyle::kClear) {
    painter_.setPen(Qt::NoPen);
    return;
  }
  QPen q(ToQColor(p.color));
  q.setWidth(std::max(p.width, 1));
  q.setCosmetic(p.width <= 1);
  q.setStyle(ToQPenStyle(p.style));
  q.setCapStyle(Qt::FlatCap);
  q.setJoinStyle(Qt::MiterJoin);
  painter_.setPen(q);
}

void QtCanvas::ApplyBrush() {
  painter_.setBrush(QBrush(ToQColor(brush().color), ToQBrushStyle(brush().style)));
}

void QtCanvas::ApplyFont() {
  painter_.setFont(ToQFont(font()));
  painter_.setPen(ToQColor(font().color));
}

void QtCanvas::DoMoveTo(int32_t, int32_t) {}

void QtCanvas::DoLineTo(int32_t x, int32_t y) {
  ApplyPen();
  const QPoint from(PenPos().x, PenPos().y);
  const QPoint to(x, y);
  if (from == to) return;
  // Qt's thin (cosmetic) lines with flat caps leave out the end pixel as GDI's do;
  // wide ones end at the point.
  painter_.drawLine(from, pen().width <= 1 ? to : ShortEnd(from, to));
}

void QtCanvas::DoPolyline(std::span<const Point> points) {
  ApplyPen();
  for (size_t i = 1; i < points.size(); ++i) {
    const QPoint from(points[i - 1].x, points[i - 1].y);
    const QPoint to(points[i].x, points[i].y);
    if (from != to) painter_.drawLine(from, to);
  }
}

void QtCanvas::DoPolygon(std::span<const Point> points) {
  ApplyPen();
  ApplyBrush();
  QPolygon polygon;
  for (const Point& p : points)
    polygon << QPoint(p.x, p.y);
  painter_.drawPolygon(polygon);
}

void QtCanvas::DoRectangle(const Rect& rect) {
  ApplyPen();
  ApplyBrush();
  // GDI's rectangle covers left..right-1; Qt's outline adds the pen's width.
  painter_.drawRect(QRect(rect.left, rect.top, rect.Width() - 1, rect.Height() - 1));
}

void QtCanvas::DoRoundRect(const Rect& rect, int32_t ellipse_width, int32_t ellipse_height) {
  ApplyPen();
  ApplyBrush();
  painter_.drawRoundedRect(QRect(rect.left, rect.top, rect.Width() - 1, rect.Height() - 1),
                           ellipse_width / 2.0, ellipse_height / 2.0);
}

void QtCanvas::DoEllipse(const Rect& rect) {
  ApplyPen();
  ApplyBrush();
  painter_.drawEllipse(QRect(rect.left, rect.top, rect.Width() - 1, rect.Height() - 1));
}

void QtCanvas::DoFillRect(const Rect& rect) {
  painter_.fillRect(ToQRect(rect), QBrush(ToQColor(brush().color), ToQBrushStyle(brush().style)));
}

void QtCanvas::DoTextOut(int32_t x, int32_t y, std::string_view text) {
  ApplyFont();
  const QString q = ToQString(text);
  const QFontMetrics metrics(painter_.font());
  painter_.save();
  painter_.translate(x, y);
  if (font().escapement != 0) painter_.rotate(-font().escapement / 10.0);
  if (brush().style != BrushStyle::kClear) {
    painter_.fillRect(QRect(0, 0, metrics.horizontalAdvance(q), metrics.height()),
                      ToQColor(brush().color));
  }
  painter_.drawText(QPoint(0, metrics.ascent()), q);
  painter_.restore();
}

Size DoTextExtentOf(QPainter& painter, const Font& font, std::string_view text) {
  const QFontMetrics metrics(ToQFont(font), painter.device());
  return Size{metrics.horizontalAdvance(ToQString(text)), metrics.height()};
}

Size QtCanvas::DoTextExtent(std::string_view text) {
  return DoTextExtentOf(painter_, font(), text);
}

int32_t QtCanvas::DoDrawText(std::string_view text, Rect& rect, uint32_t flags) {
  int qt_flags = 0;
  qt_flags |= (flags & dt::kCenter)  ? Qt::AlignHCenter
              : (flags & dt::kRight) ? Qt::AlignRight
                                     : Qt::AlignLeft;
  if (flags & dt::kSingleLine) {
    qt_flags |= Qt::TextSingleLine;
    qt_flags |= (flags & dt::kVCenter)  ? Qt::AlignVCenter
                : (flags & dt::kBottom) ? Qt::AlignBottom
                                        : Qt::AlignTop;
  } else {
    qt_flags |= Qt::AlignTop;
  }
  if (flags & dt::kWordBreak) qt_flags |= Qt::TextWordWrap;
  if (flags & dt::kExpandTabs) qt_flags |= Qt::TextExpandTabs;
  if (flags & dt::kNoClip) qt_flags |= Qt::TextDontClip;
  // Windows hides a single "&" and shows "&&" as one; Qt does the same with
  // TextShowMnemonic, which also underlines the next character, as Windows does.
  QString q = ToQString(text);
  if (!(flags & dt::kNoPrefix)) qt_flags |= Qt::TextShowMnemonic;
  const QFont qfont = ToQFont(font());
  const QFontMetrics metrics(qfont, painter_.device());
  const QRect bounds = metrics.boundingRect(ToQRect(rect), qt_flags, q);
  if (flags & dt::kCalcRect) {
    rect.right = rect.left + bounds.width();
    rect.bottom = rect.top + bounds.height();
    return bounds.height();
  }
  ApplyFont();
  if (brush().style != BrushStyle::kClear) painter_.fillRect(bounds, ToQColor(brush().color));
  painter_.drawText(ToQRect(rect), qt_flags, q);
  return bounds.height();
}

void QtCanvas::DoSetClipRect(const std::optional<Rect>& clip) {
  if (clip) {
    painter_.setClipRect(ToQRect(*clip));
  } else {
    painter_.setClipping(false);
  }
}

std::unique_ptr<Bitmap> QtCanvas::DoCreateBitmap(int32_t width, int32_t height) {
  return std::make_unique<QtBitmap>(std::max(width, 0), std::max(height, 0), pixels_per_inch_);
}

void QtCanvas::DoDraw(int32_t x, int32_t y, const Bitmap& bitmap) {
  if (const auto* image = dynamic_cast<const QtBitmap*>(&bitmap)) {
    painter_.drawImage(QPoint(x, y), const_cast<QtBitmap*>(image)->Image());
  }
}

QtBitmap::QtBitmap(int32_t width, int32_t height, int pixels_per_inch)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      image_(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32) {
  image_.fill(Qt::white);
  painter_ = std::make_unique<QPainter>(&image_);
  canvas_ = std::make_unique<QtCanvas>(*painter_, pixels_per_inch);
}

QtBitmap::~QtBitmap() {
  canvas_.reset();
  painter_->end();
}

const QImage& QtBitmap::Image() {
  // Flush what the painter holds so far: end and begin again.
  painter_->end();
  painter_->begin(&image_);
  return image_;
}

}  // namespace platform::qt
