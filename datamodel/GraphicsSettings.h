// Settings shared by everything that draws series and axes, set once at program
// start before any window exists: the default axis font, the palette of series
// colours, and the clipboard formats under which the programs of the family
// exchange data-model objects and plots.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/canvas.h"
#include "platform/resources.h"

inline constexpr platform::ResourceString SAxisFontName{"GraphicsSettings.SAxisFontName", "Arial"};

inline constexpr size_t kSeriesPaletteSize = 17;

// The default axis font ("Arial" or a language module's text, 10 points).
const std::string& AxisFontName();
int32_t AxisFontSize();
// Black, blue, red, green, navy, purple, lime, olive, fuchsia, teal, five random
// colours, white and white.
const std::array<platform::Color, kSeriesPaletteSize>& SeriesPalette();
// The formats "Vorta object" and "Vorta Plot object".
uint16_t ObjectClipboardFormat();
uint16_t PlotClipboardFormat();

// Sets the font, fills the palette in index order (the random entries from the
// program's generator) and registers the two formats. Once.
void InitGraphicsSettings();
