#include <gtest/gtest.h>

#include "datamodel/GraphicsSettings.h"
#include "platform/clipboard.h"

namespace {

TEST(GraphicsSettingsTest, StartUpValues) {
  InitGraphicsSettings();
  const auto palette = SeriesPalette();
  InitGraphicsSettings();  // once only: the random colours stay
  EXPECT_EQ(SeriesPalette(), palette);

  EXPECT_EQ(AxisFontName(), "Arial");
  EXPECT_EQ(AxisFontSize(), 10);
  const platform::Color fixed[] = {0x000000, 0xFF0000, 0x0000FF, 0x008000, 0x800000,
                                   0x800080, 0x00FF00, 0x008080, 0xFF00FF, 0x808000};
  for (size_t i = 0; i < std::size(fixed); ++i)
    EXPECT_EQ(palette[i], fixed[i]) << i;
  for (size_t i = 10; i <= 14; ++i)
    EXPECT_LE(palette[i], 0xFFFFFEu) << i;
  EXPECT_EQ(palette[15], 0xFFFFFFu);
  EXPECT_EQ(palette[16], 0xFFFFFFu);

  EXPECT_NE(ObjectClipboardFormat(), 0);
  EXPECT_NE(PlotClipboardFormat(), 0);
  EXPECT_NE(ObjectClipboardFormat(), PlotClipboardFormat());
  EXPECT_EQ(platform::RegisterClipboardFormat("Vorta object"), ObjectClipboardFormat());
  EXPECT_EQ(platform::RegisterClipboardFormat("Vorta Plot object"), PlotClipboardFormat());
}

}  // namespace
