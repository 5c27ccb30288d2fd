#include "platform/recording_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <iterator>
#include <ostream>

namespace platform {
namespace {

// Characters Line shows: with prefix processing a single "&" marks the next
// character and shows nothing, "&&" shows one "&".
int32_t VisibleChars(std::string_view line, bool prefix) {
  if (!prefix) return static_cast<int32_t>(line.size());
  int32_t count = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '&') {
      if (i + 1 < line.size() && line[i + 1] == '&') {
        ++count;
        ++i;
      }
      continue;
    }
    ++count;
  }
  return count;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

// Breaks Line at spaces into lines no wider than Width where the words allow.
void WrapLine(std::string_view line, int32_t width, int32_t char_width, bool prefix,
              std::vector<std::string_view>& out) {
  const auto word_end = [&](size_t from) {
    const size_t word = line.find_first_not_of(' ', from);
    if (word == std::string_view::npos) return line.size();
    const size_t end = line.find(' ', word);
    return end == std::string_view::npos ? line.size() : end;
  };
  const auto fits = [&](size_t start, size_t end) {
    return VisibleChars(line.substr(start, end - start), prefix) * char_width <= width;
  };

  size_t start = 0;
  while (true) {
    // The first word goes on the line however wide it is, so the loop always advances.
    size_t end = word_end(start);
    while (end < line.size() && fits(start, word_end(end)))
      end = word_end(end);
    out.push_back(line.substr(start, end - start));
    if (end >= line.size()) return;
    start = line.find_first_not_of(' ', end);
    if (start == std::string_view::npos) return;
  }
}

void PrintList(std::ostream& out, const auto& items) {
  out << '[';
  for (size_t i = 0; i < items.size(); ++i)
    out << (i ? ", " : "") << items[i];
  out << ']';
}

std::ostream& PrintHex(std::ostream& out, uint32_t value) {
  const std::ios_base::fmtflags flags = out.flags();
  out << "0x" << std::hex << std::uppercase << value;
  out.flags(flags);
  return out;
}

}  // namespace

int32_t RecordingCanvas::CharWidth() const {
  return std::max(std::abs(font().height) / 2, int32_t{1});
}

int32_t RecordingCanvas::LineHeight() const {
  return std::max(std::abs(font().height), int32_t{1});
}

CanvasCall RecordingCanvas::NewCall(CanvasOp op) const {
  CanvasCall call;
  call.op = op;
  call.pen = pen();
  call.brush = brush();
  call.font = font();
  call.clip = ClipRect();
  return call;
}

// The calls a plot makes by the hundred thousand are made in place at the end of the
// record, their point lists in memory that earlier calls left.
CanvasCall& RecordingCanvas::Append(CanvasOp op, std::span<const Point> points) {
  CanvasCall& call = calls_.emplace_back();
  call.op = op;
  call.pen = pen();
  call.brush = brush();
  call.font = font();
  call.clip = ClipRect();
  if (!points.empty()) {
    if (!spare_points_.empty()) {
      call.points = std::move(spare_points_.back());
      spare_points_.pop_back();
    }
    call.points.assign(points.begin(), points.end());
  }
  return call;
}

void RecordingCanvas::Clear() {
  for (CanvasCall& call : calls_) {
    if (call.points.capacity() > 0) spare_points_.push_back(std::move(call.points));
  }
  calls_.clear();
}

void RecordingCanvas::DoMoveTo(int32_t x, int32_t y) {
  const Point target{x, y};
  Append(CanvasOp::kMoveTo, {&target, 1});
}

void RecordingCanvas::DoLineTo(int32_t x, int32_t y) {
  const Point ends[] = {PenPos(), Point{x, y}};
  Append(CanvasOp::kLineTo, ends);
}

void RecordingCanvas::DoPolyline(std::span<const Point> points) {
  Append(CanvasOp::kPolyline, points);
}

void RecordingCanvas::DoPolygon(std::span<const Point> points) {
  Append(CanvasOp::kPolygon, points);
}

void RecordingCanvas::DoRectangle(const Rect& rect) {
  Append(CanvasOp::kRectangle).rect = rect;
}

void RecordingCanvas::DoRoundRect(const Rect& rect, int32_t ellipse_width, int32_t ellipse_height) {
  CanvasCall& call = Append(CanvasOp::kRoundRect);
  call.rect = rect;
  call.values = {ellipse_width, ellipse_height};
}

void RecordingCanvas::DoEllipse(const Rect& rect) {
  Append(CanvasOp::kEllipse).rect = rect;
}

void RecordingCanvas::DoFillRect(const Rect& rect) {
  Append(CanvasOp::kFillRect).rect = rect;
}

void RecordingCanvas::DoTextOut(int32_t x, int32_t y, std::string_view text) {
  CanvasCall call = NewCall(CanvasOp::kTextOut);
  call.points = {Point{x, y}};
  call.text = std::string(text);
  calls_.push_back(std::move(call));
}

Size RecordingCanvas::DoTextExtent(std::string_view text) {
  const Size extent{static_cast<int32_t>(text.size()) * CharWidth(), LineHeight()};
  CanvasCall call = NewCall(CanvasOp::kTextExtent);
  call.text = std::string(text);
  call.values = {extent.cx, extent.cy};
  calls_.push_back(std::move(call));
  return extent;
}

int32_t RecordingCanvas::DoDrawText(std::string_view text, Rect& rect, uint32_t flags) {
  const bool single_line = (flags & dt::kSingleLine) != 0;
  const bool prefix = (flags & dt::kNoPrefix) == 0;
  const int32_t char_width = CharWidth();
  const int32_t line_height = LineHeight();

  std::vector<std::string_view> lines;
  if (single_line) {
    lines.push_back(text);
  } else {
    for (std::string_view line : SplitLines(text)) {
      if (flags & dt::kWordBreak) {
        WrapLine(line, rect.Width(), char_width, prefix, lines);
      } else {
        lines.push_back(line);
      }
    }
  }

  const int32_t height = static_cast<int32_t>(lines.size()) * line_height;
  int32_t top = rect.top;
  if (single_line && (flags & dt::kVCenter)) {
    top = rect.top + (rect.Height() - height) / 2;
  } else if (single_line && (flags & dt::kBottom)) {
    top = rect.bottom - height;
  }

  CanvasCall call = NewCall(CanvasOp::kDrawText);
  call.rect = rect;
  call.text = std::string(text);
  call.flags = flags;
  call.values = {height};
  int32_t widest = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int32_t width = VisibleChars(lines[i], prefix) * char_width;
    widest = std::max(widest, width);
    int32_t left = rect.left;
    if (flags & dt::kCenter) {
      left = rect.left + (rect.Width() - width) / 2;
    } else if (flags & dt::kRight) {
      left = rect.right - width;
    }
    call.points.push_back(Point{left, top + static_cast<int32_t>(i) * line_height});
  }
  calls_.push_back(std::move(call));

  if (flags & dt::kCalcRect) {
    rect.right = rect.left + widest;
    rect.bottom = rect.top + height;
  }
  return height;
}

void RecordingCanvas::DoSetClipRect(const std::optional<Rect>& clip) {
  CanvasCall call = NewCall(CanvasOp::kSetClipRect);
  call.clip = clip;
  calls_.push_back(std::move(call));
}

std::unique_ptr<Bitmap> RecordingCanvas::DoCreateBitmap(int32_t width, int32_t height) {
  CanvasCall call = NewCall(CanvasOp::kCreateBitmap);
  call.values = {width, height};
  calls_.push_back(std::move(call));
  return std::make_unique<RecordingBitmap>(width, height, pixels_per_inch_);
}

void RecordingCanvas::DoDraw(int32_t x, int32_t y, const Bitmap& bitmap) {
  CanvasCall call = NewCall(CanvasOp::kDraw);
  call.points = {Point{x, y}};
  call.values = {bitmap.Width(), bitmap.Height()};
  // Copied before the call joins the list, so a bitmap drawn onto its own canvas
  // records what it held before.
  if (const auto* recording = dynamic_cast<const RecordingBitmap*>(&bitmap)) {
    call.bitmap_calls = recording->canvas().calls();
  }
  calls_.push_back(std::move(call));
}

std::vector<CanvasCall> CallsOf(const std::vector<CanvasCall>& calls, CanvasOp op) {
  std::vector<CanvasCall> result;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(result),
               [op](const CanvasCall& call) { return call.op == op; });
  return result;
}

std::vector<DrawnSegment> DrawnSegments(const std::vector<CanvasCall>& calls) {
  std::vector<DrawnSegment> segments;
  for (const CanvasCall& call : calls) {
    if (call.op != CanvasOp::kLineTo && call.op != CanvasOp::kPolyline) continue;
    for (size_t i = 1; i < call.points.size(); ++i)
      segments.push_back(DrawnSegment{call.points[i - 1], call.points[i], call.pen});
  }
  return segments;
}

std::vector<CanvasOp> OpsOf(const std::vector<CanvasCall>& calls) {
  std::vector<CanvasOp> ops;
  ops.reserve(calls.size());
  for (const CanvasCall& call : calls)
    ops.push_back(call.op);
  return ops;
}

std::vector<std::string> DrawnTexts(const std::vector<CanvasCall>& calls) {
  std::vector<std::string> texts;
  for (const CanvasCall& call : calls) {
    const bool drawn = call.op == CanvasOp::kTextOut ||
                       (call.op == CanvasOp::kDrawText && (call.flags & dt::kCalcRect) == 0);
    if (drawn) texts.push_back(call.text);
  }
  return texts;
}

std::ostream& operator<<(std::ostream& out, CanvasOp op) {
  static constexpr const char* kNames[] = {
      "MoveTo",   "LineTo",  "Polyline",   "Polygon",  "Rectangle",   "RoundRect",    "Ellipse",
      "FillRect", "TextOut", "TextExtent", "DrawText", "SetClipRect", "CreateBitmap", "Draw",
  };
  const auto index = static_cast<size_t>(op);
  if (index < std::size(kNames)) return out << kNames[index];
  return out << "CanvasOp(" << index << ')';
}

std::ostream& operator<<(std::ostream& out, const Point& point) {
  return out << '(' << point.x << ", " << point.y << ')';
}

std::ostream& operator<<(std::ostream& out, const Size& size) {
  return out << size.cx << 'x' << size.cy;
}

std::ostream& operator<<(std::ostream& out, const Rect& rect) {
  return out << '(' << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom
             << ')';
}

// Prints the fields that differ from a default call, then the tools, which every
// call carries.
std::ostream& operator<<(std::ostream& out, const CanvasCall& call) {
  const CanvasCall blank;
  out << call.op;
  if (!call.points.empty()) PrintList(out << " points=", call.points);
  if (call.rect != blank.rect) out << " rect=" << call.rect;
  if (!call.text.empty()) out << " text=" << std::quoted(call.text);
  if (call.flags != 0) PrintHex(out << " flags=", call.flags);
  if (!call.values.empty()) PrintList(out << " values=", call.values);
  if (call.clip) out << " clip=" << *call.clip;
  PrintHex(out << " pen={", call.pen.color)
      << ' ' << call.pen.width << ' ' << static_cast<int>(call.pen.style) << '}';
  PrintHex(out << " brush={", call.brush.color) << ' ' << static_cast<int>(call.brush.style) << '}';
  out << " font={" << std::quoted(call.font.name) << ' ' << call.font.height << ' ';
  PrintHex(out, call.font.color) << ' ' << call.font.weight;
  if (call.font.escapement != 0) out << " esc=" << call.font.escapement;
  if (call.font.italic) out << " italic";
  if (call.font.underline) out << " underline";
  if (call.font.strike_out) out << " strikeout";
  out << '}';
  if (!call.bitmap_calls.empty()) PrintList(out << " bitmap_calls=", call.bitmap_calls);
  return out;
}

}  // namespace platform
