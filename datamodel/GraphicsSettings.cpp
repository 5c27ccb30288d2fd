#include "datamodel/GraphicsSettings.h"

#include "platform/clipboard.h"
#include "platform/random.h"

namespace {

struct Settings {
  std::string axis_font_name;
  int32_t axis_font_size = 0;
  std::array<platform::Color, kSeriesPaletteSize> palette{};
  uint16_t object_format = 0;
  uint16_t plot_format = 0;
};

Settings& Shared() {
  static Settings settings;
  return settings;
}

constexpr int32_t kDefaultAxisFontSize = 10;
constexpr size_t kFirstRandomColor = 10;
constexpr size_t kLastRandomColor = 14;
constexpr int32_t kRandomColorBound = 0xFFFFFF;  // colours 0 .. 0xFFFFFE

}  // namespace

const std::string& AxisFontName() {
  return Shared().axis_font_name;
}

int32_t AxisFontSize() {
  return Shared().axis_font_size;
}

const std::array<platform::Color, kSeriesPaletteSize>& SeriesPalette() {
  return Shared().palette;
}

uint16_t ObjectClipboardFormat() {
  return Shared().object_format;
}

uint16_t PlotClipboardFormat() {
  return Shared().plot_format;
}

void InitGraphicsSettings() {
  static const bool done = [] {
    Settings& settings = Shared();
    settings.axis_font_name = platform::LoadResString(SAxisFontName);
    settings.axis_font_size = kDefaultAxisFontSize;
    settings.palette = {platform::kClBlack,
                        platform::kClBlue,
                        platform::kClRed,
                        platform::kClGreen,
                        platform::kClNavy,
                        platform::kClPurple,
                        platform::kClLime,
                        platform::kClOlive,
                        platform::kClFuchsia,
                        platform::kClTeal,
                        0,
                        0,
                        0,
                        0,
                        0,
                        platform::kClWhite,
                        platform::kClWhite};
    for (size_t i = kFirstRandomColor; i <= kLastRandomColor; ++i)
      settings.palette[i] =
          static_cast<platform::Color>(platform::Random().Below(kRandomColorBound));
    settings.object_format = platform::RegisterClipboardFormat("Vorta object");
    settings.plot_format = platform::RegisterClipboardFormat("Vorta Plot object");
    return true;
  }();
  (void)done;
}
