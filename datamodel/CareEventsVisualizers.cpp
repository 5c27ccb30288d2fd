#include "datamodel/CareEventsVisualizers.h"

#include <string>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/Axis.h"
#include "platform/exception.h"

namespace {

constexpr int32_t kSymbolHalfSize = 3;
constexpr int32_t kSymbolCorner = 9;

// Text in Colour on a clear brush; the brush is solid again afterwards.
void DrawTransparentText(platform::Canvas& canvas, int32_t x, int32_t y, const std::string& text,
                         platform::Color color) {
  platform::Font font = canvas.font();
  font.color = color;
  canvas.SetFont(font);
  canvas.SetBrushStyle(platform::BrushStyle::kClear);
  canvas.TextOut(x, y, text);
  canvas.SetBrushStyle(platform::BrushStyle::kSolid);
}

}  // namespace

void TAbstractCategoryVisualizer::AssignTo(TPersistent& dest) const {
  if (!dynamic_cast<TAbstractCategoryVisualizer*>(&dest)) TPersistIt::AssignTo(dest);
}

bool TAbstractCategoryVisualizer::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  WriteFields(writer);
  return writer.EndFolding();
}

// ---------------------------------------------------------------------------

std::unique_ptr<TObject> TDefaultCategoryVisualizer::CreateEmpty() const {
  return std::make_unique<TDefaultCategoryVisualizer>();
}

void TDefaultCategoryVisualizer::Draw(int32_t index, platform::Canvas& canvas, int32_t x, int32_t y,
                                      int32_t, platform::Color color) const {
  const std::string text = std::to_string(index);
  const platform::Size extent = canvas.TextExtent(text);
  DrawTransparentText(canvas, MovePixel(x, -(extent.cx / 2)), MovePixel(y, -(extent.cy / 2)), text,
                      color);
}

// ---------------------------------------------------------------------------

std::unique_ptr<TObject> TSymbolCategoryVisualizer::CreateEmpty() const {
  return std::make_unique<TSymbolCategoryVisualizer>();
}

void TSymbolCategoryVisualizer::Draw(int32_t, platform::Canvas& canvas, int32_t x, int32_t y,
                                     int32_t, platform::Color color) const {
  canvas.SetPenColor(color);
  canvas.RoundRect({MovePixel(x, -kSymbolHalfSize), MovePixel(y, -kSymbolHalfSize),
                    MovePixel(x, kSymbolHalfSize), MovePixel(y, kSymbolHalfSize)},
                   kSymbolCorner, kSymbolCorner);
}

// ---------------------------------------------------------------------------

void TTextCategoryVisualizer::AssignTo(TPersistent& dest) const {
  TAbstractCategoryVisualizer::AssignTo(dest);
  if (auto* visualizer = dynamic_cast<TTextCategoryVisualizer*>(&dest)) visualizer->Texts = Texts;
}

void TTextCategoryVisualizer::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kVisualizerTextField) {
    Texts.push_back(reader.ReadStringField());
    return;
  }
  reader.SkipField();
}

void TTextCategoryVisualizer::WriteFields(TVistaWriter& writer) const {
  for (const std::string& text : Texts)
    writer.WriteStringField(kVisualizerTextField, text);
}

std::unique_ptr<TObject> TTextCategoryVisualizer::CreateEmpty() const {
  return std::make_unique<TTextCategoryVisualizer>();
}

void TTextCategoryVisualizer::Draw(int32_t index, platform::Canvas& canvas, int32_t x, int32_t y,
                                   int32_t font_height, platform::Color color) const {
  if (index < 0 || static_cast<size_t>(index) >= Texts.size())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  // A height in pixels: the cell height of the texts drawn around the value.
  platform::Font font = canvas.font();
  font.height = font_height;
  canvas.SetFont(font);
  DrawTransparentText(canvas, x, y, Texts[static_cast<size_t>(index)], color);
}
