// The label's model: defaults, the settings' notifications, appearances and colour
// schemes, loading, and sizing. Drawing is in caplabel_paint_test.cpp.
#include "widgets/caplabel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/exception.h"
#include "platform/recording_canvas.h"

namespace {

using ::testing::ElementsAre;
using Change = TCapLabelChange;

// Records what the label tells its widget.
struct ChangeLog {
  explicit ChangeLog(TCapCustomLabel& label) {
    label.SetOnChange([this](Change change) { changes.push_back(change); });
  }
  std::vector<Change> changes;
};

TEST(CapLabelTest, ConstructorDefaults) {
  const TCapLabel label;
  EXPECT_EQ(label.Width(), 150);
  EXPECT_EQ(label.Height(), 35);
  EXPECT_FALSE(label.AutoSize());
  EXPECT_TRUE(label.Transparent());
  EXPECT_TRUE(label.WordWrap());
  EXPECT_FALSE(label.ShowAccelChar());
  EXPECT_EQ(label.Alignment(), TCapAlignment::taLeftJustify);
  EXPECT_EQ(label.Font().name, "Times New Roman");
  EXPECT_EQ(label.Font().height, -27);  // 20 points at 96 pixels per inch
  EXPECT_EQ(label.Font().color, platform::kClGray);
  EXPECT_EQ(label.Appearance(), apRaised);
  EXPECT_EQ(label.ColorScheme(), csWindows);
  EXPECT_EQ(label.About(), "v4.06");

  const TCapCustomSettings& s = label.CustomSettings();
  EXPECT_EQ(s.GraduateFromColor(), platform::kClGray);
  EXPECT_EQ(s.GraduateStyle(), gsNone);
  EXPECT_EQ(s.HighlightColor(), platform::kClWhite);
  EXPECT_EQ(s.HighlightDepth(), 1);
  EXPECT_EQ(s.HighlightDirection(), sdUpLeft);
  EXPECT_EQ(s.HighlightStyle(), ssPlain);
  EXPECT_EQ(s.ShadowColor(), platform::kClBlack);
  EXPECT_EQ(s.ShadowDepth(), 1);
  EXPECT_EQ(s.ShadowDirection(), sdDownRight);
  EXPECT_EQ(s.ShadowStyle(), ssPlain);
  EXPECT_FALSE(s.Updating());

  const TCapSchemeColors schemes[] = {
      {0xFFFFFF, 0x000000, 0x808080},  // csCustom
      {0xFFFFFF, 0x808080, 0x000000},  // csText
      {0xFFFFFF, 0x000000, 0x808080},  // csWindows
      {0xFFFFFF, 0x000000, 0xC0C0C0},  // csEmbossed
      {0x00FFFF, 0x000000, 0x008080},  // csGold
      {0xFFFF00, 0x800000, 0x808000},  // csSteel
  };
  for (int scheme = csCustom; scheme <= csSteel; ++scheme)
    EXPECT_EQ(label.SchemeColors(TCapColorScheme(scheme)), schemes[scheme]) << scheme;
}

TEST(CapLabelTest, AboutCannotBeWritten) {
  TCapLabel label;
  label.SetAbout("v9");
  EXPECT_EQ(label.About(), "v4.06");
}

TEST(CapLabelTest, DirectionOffsets) {
  const platform::Point expected[] = {{0, 0}, {0, -1}, {1, -1}, {1, 0},  {1, 1},
                                      {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};
  for (int d = sdNone; d <= sdUpLeft; ++d)
    EXPECT_EQ(CapDirectionOffset(TCapShadeDirection(d)), expected[d]) << d;
}

TEST(CapLabelTest, NamesOfTheValues) {
  EXPECT_EQ(CapAppearanceName(apSunken), "apSunken");
  EXPECT_EQ(CapAppearanceFromName("APRAISED"), apRaised);
  EXPECT_EQ(CapColorSchemeFromName("csGold"), csGold);
  EXPECT_EQ(CapShadeDirectionName(sdDownLeft), "sdDownLeft");
  EXPECT_EQ(CapShadeDirectionFromName("sdUpLeft"), sdUpLeft);
  EXPECT_EQ(CapShadeStyleFromName("ssExtrude"), ssExtrude);
  EXPECT_EQ(CapGraduateStyleFromName("gsVertical"), gsVertical);
  EXPECT_EQ(CapAlignmentFromName("taCenter"), TCapAlignment::taCenter);
  EXPECT_EQ(CapAlignmentName(TCapAlignment::taRightJustify), "taRightJustify");
  EXPECT_EQ(CapAppearanceFromName("apRaise"), std::nullopt);
  EXPECT_EQ(CapColorSchemeFromName(""), std::nullopt);
  EXPECT_EQ(CapAppearanceName(TCapAppearance(77)), "");
}

TEST(CapCustomSettingsTest, NotifiesNewValuesOnly) {
  TCapCustomSettings settings;
  std::vector<char> sent;
  settings.SetOnColorChange([&] { sent.push_back('c'); });
  settings.SetOnStyleChange([&] { sent.push_back('s'); });

  settings.SetHighlightColor(platform::kClWhite);  // the value it has
  settings.SetShadowDepth(1);
  EXPECT_TRUE(sent.empty());

  settings.SetGraduateFromColor(platform::kClRed);
  settings.SetGraduateStyle(gsVertical);
  settings.SetHighlightColor(platform::kClYellow);
  settings.SetHighlightDepth(3);
  settings.SetHighlightDirection(sdUp);
  settings.SetHighlightStyle(ssExtrude);
  settings.SetShadowColor(platform::kClNavy);
  settings.SetShadowDepth(4);
  settings.SetShadowDirection(sdLeft);
  settings.SetShadowStyle(ssGraduated);
  EXPECT_EQ(sent, (std::vector<char>{'c', 's', 'c', 's', 's', 's', 'c', 's', 's', 's'}));
}

TEST(CapCustomSettingsTest, UpdateHoldsNotificationsAndEndUpdateSendsBoth) {
  TCapCustomSettings settings;
  std::vector<char> sent;
  settings.SetOnColorChange([&] { sent.push_back('c'); });
  settings.SetOnStyleChange([&] { sent.push_back('s'); });
  settings.BeginUpdate();
  EXPECT_TRUE(settings.Updating());
  settings.SetShadowColor(platform::kClRed);
  settings.SetShadowDepth(3);
  EXPECT_TRUE(sent.empty());
  settings.EndUpdate();
  EXPECT_EQ(sent, (std::vector<char>{'c', 's'}));

  sent.clear();
  settings.BeginUpdate();  // nothing changed: both are still sent
  settings.EndUpdate();
  EXPECT_EQ(sent, (std::vector<char>{'c', 's'}));
  EXPECT_EQ(settings.ShadowColor(), platform::kClRed);
  EXPECT_EQ(settings.ShadowDepth(), 3);
}

TEST(CapCustomSettingsTest, AssignCopiesTheTenValuesSilently) {
  TCapCustomSettings source;
  source.SetGraduateFromColor(1);
  source.SetGraduateStyle(gsHorizontal);
  source.SetHighlightColor(2);
  source.SetHighlightDepth(7);
  source.SetHighlightDirection(sdDown);
  source.SetHighlightStyle(ssGraduated);
  source.SetShadowColor(3);
  source.SetShadowDepth(9);
  source.SetShadowDirection(sdUpRight);
  source.SetShadowStyle(ssExtrude);

  TCapCustomSettings target;
  int sent = 0;
  target.SetOnColorChange([&] { ++sent; });
  target.SetOnStyleChange([&] { ++sent; });
  target.Assign(source);
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(target.GraduateFromColor(), 1u);
  EXPECT_EQ(target.GraduateStyle(), gsHorizontal);
  EXPECT_EQ(target.HighlightColor(), 2u);
  EXPECT_EQ(target.HighlightDepth(), 7);
  EXPECT_EQ(target.HighlightDirection(), sdDown);
  EXPECT_EQ(target.HighlightStyle(), ssGraduated);
  EXPECT_EQ(target.ShadowColor(), 3u);
  EXPECT_EQ(target.ShadowDepth(), 9);
  EXPECT_EQ(target.ShadowDirection(), sdUpRight);
  EXPECT_EQ(target.ShadowStyle(), ssExtrude);

  const TCapLabel label;
  try {
    target.Assign(label);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TCapLabel to a TCapCustomSettings");
  }
}

TEST(CapLabelTest, EachAppearanceSetsItsShading) {
  struct Case {
    TCapAppearance appearance;
    TCapShadeDirection highlight_direction, shadow_direction;
    TCapDepth highlight_depth, shadow_depth;
    platform::Color highlight_color;
  };
  // From csWindows: highlight white, shadow black. apFlying takes the shadow colour.
  const Case cases[] = {
      {apNone, sdNone, sdNone, 0, 0, platform::kClWhite},
      {apFlying, sdDownRight, sdDownRight, 1, 5, platform::kClBlack},
      {apSunken, sdDownRight, sdUpLeft, 1, 1, platform::kClWhite},
      {apShadow, sdNone, sdDownRight, 0, 2, platform::kClWhite},
  };
  for (const Case& c : cases) {
    TCapLabel label;
    label.SetAppearance(c.appearance);
    const TCapCustomSettings& s = label.CustomSettings();
    EXPECT_EQ(label.Appearance(), c.appearance);
    EXPECT_EQ(s.HighlightDirection(), c.highlight_direction) << c.appearance;
    EXPECT_EQ(s.ShadowDirection(), c.shadow_direction) << c.appearance;
    EXPECT_EQ(s.HighlightDepth(), c.highlight_depth) << c.appearance;
    EXPECT_EQ(s.ShadowDepth(), c.shadow_depth) << c.appearance;
    EXPECT_EQ(s.HighlightColor(), c.highlight_color) << c.appearance;
    // Its EndUpdate sent the colour notification: the scheme became custom.
    EXPECT_EQ(label.ColorScheme(), csCustom) << c.appearance;
  }

  // Back to apRaised from another look, and apCustom, which changes no shading.
  TCapLabel label;
  label.SetAppearance(apFlying);
  label.SetAppearance(apRaised);
  EXPECT_EQ(label.CustomSettings().HighlightDirection(), sdUpLeft);
  EXPECT_EQ(label.CustomSettings().ShadowDirection(), sdDownRight);
  EXPECT_EQ(label.CustomSettings().ShadowDepth(), 1);
  label.CustomSettings().SetShadowDepth(4);
  EXPECT_EQ(label.Appearance(), apCustom);
  label.SetAppearance(apShadow);
  label.SetAppearance(apCustom);
  EXPECT_EQ(label.CustomSettings().ShadowDepth(), 2);
  EXPECT_EQ(label.CustomSettings().ShadowDirection(), sdDownRight);
}

TEST(CapLabelTest, AppearanceNotifiesInOrder) {
  TCapLabel label;
  ChangeLog log(label);
  label.SetAppearance(apShadow);
  // Colour notification: repaint and the scheme turns custom; style notification:
  // repaint only; then the text-changed notice.
  EXPECT_THAT(log.changes, ElementsAre(Change::kRepaint, Change::kColorChanged, Change::kRepaint,
                                       Change::kTextChanged));
  log.changes.clear();
  label.SetAppearance(apShadow);
  EXPECT_TRUE(log.changes.empty());
}

TEST(CapLabelTest, EachColorSchemeSetsItsColours) {
  const TCapColorScheme schemes[] = {csText, csEmbossed, csGold, csSteel, csWindows};
  for (TCapColorScheme scheme : schemes) {
    TCapLabel label;
    label.SetColorScheme(csGold);  // start from another scheme
    label.SetColorScheme(scheme);
    const TCapSchemeColors colors = label.SchemeColors(scheme);
    EXPECT_EQ(label.ColorScheme(), scheme);
    EXPECT_EQ(label.CustomSettings().HighlightColor(), colors.highlight) << scheme;
    EXPECT_EQ(label.CustomSettings().ShadowColor(), colors.shadow) << scheme;
    EXPECT_EQ(label.Font().color, colors.font) << scheme;
    EXPECT_EQ(label.SchemeColors(csCustom), colors) << scheme;
    // Its EndUpdate sent the style notification: the appearance became custom.
    EXPECT_EQ(label.Appearance(), apCustom) << scheme;
  }
}

TEST(CapLabelTest, CustomSchemeTakesTheLastChosenScheme) {
  TCapLabel label;
  label.SetColorScheme(csSteel);
  label.SetColorScheme(csCustom);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), platform::kClAqua);
  EXPECT_EQ(label.CustomSettings().ShadowColor(), platform::kClNavy);
  EXPECT_EQ(label.Font().color, platform::kClTeal);
  EXPECT_EQ(label.SchemeColors(csSteel).font, platform::kClTeal);
}

TEST(CapLabelTest, ColorSchemeNotifiesInOrder) {
  TCapLabel label;
  ChangeLog log(label);
  label.SetColorScheme(csGold);
  // Highlight and shadow held back; the font colour is the label's own; then the
  // colour notification (repaint only, the scheme is being set), the style
  // notification (repaint, appearance turns custom, text changed), text changed.
  EXPECT_THAT(log.changes, ElementsAre(Change::kFontChanged, Change::kRepaint, Change::kRepaint,
                                       Change::kTextChanged, Change::kTextChanged));
}

TEST(CapLabelTest, ChangingASettingMakesSchemeOrAppearanceCustom) {
  TCapLabel label;
  ChangeLog log(label);
  label.CustomSettings().SetShadowColor(platform::kClRed);
  EXPECT_EQ(label.ColorScheme(), csCustom);
  EXPECT_EQ(label.Appearance(), apRaised);
  EXPECT_THAT(log.changes, ElementsAre(Change::kRepaint, Change::kColorChanged));

  log.changes.clear();
  label.CustomSettings().SetHighlightDirection(sdUp);
  EXPECT_EQ(label.Appearance(), apCustom);
  EXPECT_THAT(log.changes, ElementsAre(Change::kRepaint, Change::kTextChanged));

  label.SetColorScheme(csGold);
  label.CustomSettings().SetGraduateFromColor(platform::kClBlue);
  EXPECT_EQ(label.ColorScheme(), csCustom);
  label.SetAppearance(apSunken);
  label.CustomSettings().SetGraduateStyle(gsHorizontal);
  EXPECT_EQ(label.Appearance(), apCustom);
}

TEST(CapLabelTest, WhileLoadingTheValuesStandAsRead) {
  TCapLabel label;
  ChangeLog log(label);
  label.BeginLoading();
  EXPECT_TRUE(label.Loading());
  label.SetAppearance(apShadow);
  label.SetColorScheme(csGold);
  label.CustomSettings().SetHighlightColor(platform::kClRed);
  label.CustomSettings().SetShadowDepth(6);
  label.Loaded();
  EXPECT_FALSE(label.Loading());
  EXPECT_EQ(label.Appearance(), apShadow);
  EXPECT_EQ(label.ColorScheme(), csGold);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), platform::kClRed);
  EXPECT_EQ(label.CustomSettings().ShadowDepth(), 6);
  EXPECT_EQ(log.changes.back(), Change::kTextChanged);
  EXPECT_EQ(std::count(log.changes.begin(), log.changes.end(), Change::kColorChanged), 0);
}

// The banner and the new-patient notice, as their windows store them.
TEST(CapLabelTest, GasbridgeBannerConfiguration) {
  TCapLabel label;
  label.BeginLoading();
  label.SetColor(platform::kClAqua);
  label.SetColorScheme(csCustom);
  label.CustomSettings().SetHighlightColor(platform::kClYellow);
  platform::Font font;
  font.name = "MS Sans Serif";
  font.height = -19;
  font.color = platform::kClOlive;
  label.SetFont(font);
  label.SetTransparent(false);
  label.SetAlignment(TCapAlignment::taCenter);
  label.Loaded();

  EXPECT_EQ(label.Appearance(), apRaised);
  EXPECT_EQ(label.ColorScheme(), csCustom);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), platform::kClYellow);
  EXPECT_EQ(label.CustomSettings().ShadowColor(), platform::kClBlack);
  EXPECT_EQ(label.CustomSettings().HighlightDirection(), sdUpLeft);
  EXPECT_EQ(label.CustomSettings().ShadowDirection(), sdDownRight);
  EXPECT_EQ(label.Font().color, platform::kClOlive);
  EXPECT_EQ(label.CustomSettings().GraduateStyle(), gsNone);

  // The program changes only the caption.
  ChangeLog log(label);
  label.SetCaption("Created: 123456-7890 (Anna & Bo Ek) - DATA/12345678.$90/");
  EXPECT_THAT(log.changes, ElementsAre(Change::kTextChanged));
  EXPECT_EQ(label.Appearance(), apRaised);
}

TEST(CapLabelTest, PropertiesNotifyOnlyNewValues) {
  TCapLabel label;
  ChangeLog log(label);
  label.SetCaption("");
  label.SetColor(label.Color());
  label.SetFont(label.Font());
  label.SetWordWrap(true);
  label.SetTransparent(true);
  EXPECT_TRUE(log.changes.empty());

  label.SetCaption("x");
  label.SetColor(platform::kClRed);
  label.SetFontColor(platform::kClBlue);
  label.SetAlignment(TCapAlignment::taRightJustify);
  label.SetWordWrap(false);
  label.SetShowAccelChar(true);
  label.SetTransparent(false);
  label.SetAutoSize(true);
  EXPECT_THAT(log.changes,
              ElementsAre(Change::kTextChanged, Change::kColorChanged, Change::kFontChanged,
                          Change::kRepaint, Change::kTextChanged, Change::kTextChanged,
                          Change::kRepaint, Change::kTextChanged));
}

// A font of 19-pixel characters: on the recording canvas a character is then
// |height| / 2 = 9 pixels wide and a line 19 high.
void SetSmallFont(TCapLabel& label) {
  platform::Font font;
  font.height = -19;
  label.SetFont(font);
}

TEST(CapLabelTest, TextSizeCoversTheLinesAndTheShading) {
  platform::RecordingCanvas canvas;
  TCapLabel label;
  SetSmallFont(label);
  label.SetCaption("Hello");
  // apRaised reaches one pixel each way: two pixels more in both directions.
  EXPECT_EQ(label.TextSize(canvas), (platform::Size{47, 21}));
  EXPECT_EQ(canvas.font(), platform::Font{});  // the canvas keeps its own font

  label.SetBounds(platform::Rect{0, 0, 50, 35});
  label.SetCaption("aaaa bbbb");  // wrapped at the label's width: two lines
  EXPECT_EQ(label.TextSize(canvas), (platform::Size{38, 40}));
  label.SetWordWrap(false);
  EXPECT_EQ(label.TextSize(canvas), (platform::Size{83, 21}));

  label.SetCaption("");  // an empty caption still takes a line
  EXPECT_EQ(label.TextSize(canvas), (platform::Size{11, 21}));

  label.SetCaption("a&b");  // shown as it is...
  EXPECT_EQ(label.TextSize(canvas).cx, 29);
  label.SetShowAccelChar(true);  // ...unless prefixes are asked for
  EXPECT_EQ(label.TextSize(canvas).cx, 20);
}

TEST(CapLabelTest, AdjustBoundsOnlyWithAutoSize) {
  platform::RecordingCanvas canvas;
  TCapLabel label;
  SetSmallFont(label);
  label.SetCaption("Hello");
  label.SetBounds(platform::Rect{10, 5, 160, 40});
  ChangeLog log(label);
  label.AdjustBounds(canvas);
  EXPECT_EQ(label.Bounds(), (platform::Rect{10, 5, 160, 40}));

  label.SetAutoSize(true);
  label.AdjustBounds(canvas);
  EXPECT_EQ(label.Bounds(), (platform::Rect{10, 5, 57, 26}));
  EXPECT_EQ(log.changes.back(), Change::kBoundsChanged);

  // Right-aligned: the right edge stays.
  label.SetAlignment(TCapAlignment::taRightJustify);
  label.SetCaption("Hi");
  label.AdjustBounds(canvas);
  EXPECT_EQ(label.Bounds(), (platform::Rect{37, 5, 57, 26}));

  log.changes.clear();
  label.AdjustBounds(canvas);  // already that size
  EXPECT_TRUE(log.changes.empty());
  label.BeginLoading();
  label.SetCaption("Hello again");
  label.AdjustBounds(canvas);
  EXPECT_EQ(label.Bounds(), (platform::Rect{37, 5, 57, 26}));
}

}  // namespace
