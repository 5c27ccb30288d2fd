// Visualizers: how a category's values are drawn along the time axis. Each draws
// one value at a pixel: its number, a small symbol, or a text from a list.
//
// A visualizer writes a folding of its record type; only the text visualizer has
// fields (its texts, each as field 2014). The default visualizer has no prototype,
// so its record is not recreated by type when a file is read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "platform/canvas.h"

class TVistaReader;
class TVistaWriter;

inline constexpr int32_t kDefaultCategoryVisualizerRecord = -16;
inline constexpr int32_t kSymbolCategoryVisualizerRecord = -15;
inline constexpr int32_t kTextCategoryVisualizerRecord = -12;
// A text of the text visualizer.
inline constexpr int32_t kVisualizerTextField = 2014;

class TAbstractCategoryVisualizer : public TPersistIt {
 public:
  std::string_view ClassName() const override { return "TAbstractCategoryVisualizer"; }

  // Dest must be a visualizer (otherwise the assignment error); the base copies
  // nothing.
  void AssignTo(TPersistent& dest) const override;
  // A folding of the record type holding WriteFields.
  bool WriteTo(TVistaWriter& writer) override;
  virtual void WriteFields(TVistaWriter& /*writer*/) const {}
  // Draws value Index at (X, Y) in Colour; FontHeight is the height of the texts
  // around it in pixels.
  virtual void Draw(int32_t index, platform::Canvas& canvas, int32_t x, int32_t y,
                    int32_t font_height, platform::Color color) const = 0;
};

// The decimal number of the value, centred on the pixel.
class TDefaultCategoryVisualizer : public TAbstractCategoryVisualizer {
 public:
  std::string_view ClassName() const override { return "TDefaultCategoryVisualizer"; }
  int32_t RecordType() const override { return kDefaultCategoryVisualizerRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  // Text colour Colour on a clear brush, which is solid again afterwards.
  void Draw(int32_t index, platform::Canvas& canvas, int32_t x, int32_t y, int32_t font_height,
            platform::Color color) const override;
};

// A small rounded square, whatever the value.
class TSymbolCategoryVisualizer : public TAbstractCategoryVisualizer {
 public:
  std::string_view ClassName() const override { return "TSymbolCategoryVisualizer"; }
  int32_t RecordType() const override { return kSymbolCategoryVisualizerRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override;
  // Pen colour Colour; (X - 3, Y - 3) to (X + 3, Y + 3) with 9 x 9 corners.
  void Draw(int32_t index, platform::Canvas& canvas, int32_t x, int32_t y, int32_t font_height,
            platform::Color color) const override;
};

// Text Index of a list, its top left corner on the pixel.
class TTextCategoryVisualizer : public TAbstractCategoryVisualizer {
 public:
  std::string_view ClassName() const override { return "TTextCategoryVisualizer"; }
  std::vector<std::string> Texts;

  // When Dest is a text visualizer its texts become a copy of these.
  void AssignTo(TPersistent& dest) const override;
  // Each 2014 field's string is appended to Texts; other fields are skipped.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kTextCategoryVisualizerRecord; }
  // Each text as field 2014, in list order.
  void WriteFields(TVistaWriter& writer) const override;
  std::unique_ptr<TObject> CreateEmpty() const override;
  // Font FontHeight pixels high in Colour on a clear brush, which is solid again
  // afterwards. "List index out of bounds (Index)" (EListError) when there is no
  // text Index; nothing is drawn then.
  void Draw(int32_t index, platform::Canvas& canvas, int32_t x, int32_t y, int32_t font_height,
            platform::Color color) const override;
};
