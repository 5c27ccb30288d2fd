// The label's drawing on the recording canvas, for each appearance, shading style
// and graduated fill. The rectangles and colours below are worked out by hand from
// the drawing rules: with R the client rectangle and minOff/maxOff the least and
// greatest offset of the deepest copies (0 included), a copy at depth m in direction
// (dx, dy) is drawn into R moved by (m*dx - minOff - xAdj, m*dy - minOff), the face
// into R moved by (-minOff - xAdj, -minOff); xAdj is (maxOff - minOff) div 2 for
// centred text, maxOff - minOff for right-aligned text, else 0.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/recording_canvas.h"
#include "widgets/caplabel.h"

namespace {

using platform::CanvasCall;
using platform::CanvasOp;
using platform::Color;
using platform::Rect;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// DrawText with the label's default flags: expand tabs, word break, no prefix.
constexpr uint32_t kFlags = 0x40 | 0x10 | 0x800;

// One text drawn: where, in which colour, with which flags and under which clip.
struct Drawn {
  Rect rect;
  Color color;
  uint32_t flags = kFlags;
  friend bool operator==(const Drawn&, const Drawn&) = default;
};

std::ostream& operator<<(std::ostream& out, const Drawn& d) {
  return out << d.rect << " colour 0x" << std::hex << d.color << " flags 0x" << d.flags << std::dec;
}

std::vector<Drawn> TextsOf(const platform::RecordingCanvas& canvas) {
  std::vector<Drawn> drawn;
  for (const CanvasCall& call : CallsOf(canvas.calls(), CanvasOp::kDrawText))
    drawn.push_back(Drawn{call.rect, call.font.color, call.flags});
  return drawn;
}

std::vector<Rect> ClipsOfTexts(const platform::RecordingCanvas& canvas) {
  std::vector<Rect> clips;
  for (const CanvasCall& call : CallsOf(canvas.calls(), CanvasOp::kDrawText))
    clips.push_back(call.clip.value_or(Rect{-1, -1, -1, -1}));
  return clips;
}

// A label of 150 x 35 in the fonts of the recording canvas: 19 pixels high, so a
// character is 9 pixels wide. Face grey, highlight white, shadow black.
void Prepare(TCapLabel& label, const char* caption) {
  platform::Font font;
  font.name = "MS Sans Serif";
  font.height = -19;
  font.color = platform::kClGray;
  label.SetFont(font);
  label.SetCaption(caption);
}

constexpr Color kWhite = platform::kClWhite;
constexpr Color kBlack = platform::kClBlack;
constexpr Color kGray = platform::kClGray;

TEST(CapLabelPaintTest, RaisedLeftAligned) {
  TCapLabel label;
  Prepare(label, "Caption");
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  // Shadow two pixels right and down of the highlight, face in between.
  EXPECT_THAT(TextsOf(canvas),
              ElementsAre(Drawn{{2, 2, 152, 37}, kBlack}, Drawn{{0, 0, 150, 35}, kWhite},
                          Drawn{{1, 1, 151, 36}, kGray}));
  EXPECT_EQ(DrawnTexts(canvas.calls()),
            (std::vector<std::string>{"Caption", "Caption", "Caption"}));
  // Transparent: no background; drawing clipped to the label, the clip restored.
  EXPECT_THAT(OpsOf(canvas.calls()),
              ElementsAre(CanvasOp::kSetClipRect, CanvasOp::kDrawText, CanvasOp::kDrawText,
                          CanvasOp::kDrawText, CanvasOp::kSetClipRect));
  EXPECT_THAT(ClipsOfTexts(canvas),
              ElementsAre(Rect{0, 0, 150, 35}, Rect{0, 0, 150, 35}, Rect{0, 0, 150, 35}));
  for (const CanvasCall& call : CallsOf(canvas.calls(), CanvasOp::kDrawText))
    EXPECT_EQ(call.brush.style, platform::BrushStyle::kClear);
  EXPECT_EQ(canvas.ClipRect(), std::nullopt);
}

TEST(CapLabelPaintTest, AlignmentShiftsByTheShading) {
  struct Case {
    TCapAlignment alignment;
    uint32_t flags;
    int x_adj;
  };
  const Case cases[] = {{TCapAlignment::taCenter, kFlags | 0x1, 1},
                        {TCapAlignment::taRightJustify, kFlags | 0x2, 2}};
  for (const Case& c : cases) {
    TCapLabel label;
    Prepare(label, "Caption");
    label.SetAlignment(c.alignment);
    platform::RecordingCanvas canvas;
    label.Paint(canvas);
    const int x = -c.x_adj;
    EXPECT_THAT(TextsOf(canvas), ElementsAre(Drawn{{x + 2, 2, x + 152, 37}, kBlack, c.flags},
                                             Drawn{{x, 0, x + 150, 35}, kWhite, c.flags},
                                             Drawn{{x + 1, 1, x + 151, 36}, kGray, c.flags}))
        << CapAlignmentName(c.alignment);
  }
}

TEST(CapLabelPaintTest, EachAppearance) {
  struct Case {
    TCapAppearance appearance;
    std::vector<Drawn> drawn;  // shadow copies, highlight copies, face
  };
  const Case cases[] = {
      // Both runs at depth 0: every copy under the face.
      {apNone, {{{0, 0, 150, 35}, kBlack}, {{0, 0, 150, 35}, kWhite}, {{0, 0, 150, 35}, kGray}}},
      // Shadow up-left, highlight down-right.
      {apSunken, {{{0, 0, 150, 35}, kBlack}, {{2, 2, 152, 37}, kWhite}, {{1, 1, 151, 36}, kGray}}},
      // Shadow two pixels down-right, highlight under the face.
      {apShadow, {{{2, 2, 152, 37}, kBlack}, {{0, 0, 150, 35}, kWhite}, {{0, 0, 150, 35}, kGray}}},
      // A plain shadow of depth 5 is one copy; the highlight takes the shadow colour.
      {apFlying, {{{5, 5, 155, 40}, kBlack}, {{1, 1, 151, 36}, kBlack}, {{0, 0, 150, 35}, kGray}}},
  };
  for (const Case& c : cases) {
    TCapLabel label;
    Prepare(label, "Caption");
    label.SetAppearance(c.appearance);
    platform::RecordingCanvas canvas;
    label.Paint(canvas);
    EXPECT_THAT(TextsOf(canvas), ElementsAreArray(c.drawn)) << CapAppearanceName(c.appearance);
  }
}

TEST(CapLabelPaintTest, ShadowDepthZeroLiesUnderTheFace) {
  TCapLabel label;
  Prepare(label, "Caption");
  label.CustomSettings().SetShadowDepth(0);
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  // minOff -1 (the highlight), maxOff 0.
  EXPECT_THAT(TextsOf(canvas),
              ElementsAre(Drawn{{1, 1, 151, 36}, kBlack}, Drawn{{0, 0, 150, 35}, kWhite},
                          Drawn{{1, 1, 151, 36}, kGray}));
}

TEST(CapLabelPaintTest, ExtrudedShadowDrawsEveryDepthInOneColour) {
  TCapLabel label;
  Prepare(label, "Caption");
  label.SetAppearance(apFlying);
  label.CustomSettings().SetShadowStyle(ssExtrude);
  label.CustomSettings().SetShadowColor(platform::kClNavy);
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  const Color navy = platform::kClNavy;
  EXPECT_THAT(TextsOf(canvas),
              ElementsAre(Drawn{{5, 5, 155, 40}, navy}, Drawn{{4, 4, 154, 39}, navy},
                          Drawn{{3, 3, 153, 38}, navy}, Drawn{{2, 2, 152, 37}, navy},
                          Drawn{{1, 1, 151, 36}, navy}, Drawn{{1, 1, 151, 36}, kBlack},
                          Drawn{{0, 0, 150, 35}, kGray}));
}

TEST(CapLabelPaintTest, GraduatedShadowBlendsTowardsTheFace) {
  TCapLabel label;
  Prepare(label, "Caption");
  label.SetAppearance(apFlying);
  label.CustomSettings().SetShadowStyle(ssGraduated);
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  // Black to grey (0x80) in four steps of 32.
  EXPECT_THAT(TextsOf(canvas),
              ElementsAre(Drawn{{5, 5, 155, 40}, 0x000000}, Drawn{{4, 4, 154, 39}, 0x202020},
                          Drawn{{3, 3, 153, 38}, 0x404040}, Drawn{{2, 2, 152, 37}, 0x606060},
                          Drawn{{1, 1, 151, 36}, 0x808080}, Drawn{{1, 1, 151, 36}, kBlack},
                          Drawn{{0, 0, 150, 35}, kGray}));

  // Steps of 2.5 per channel round halves to even: 0, 2, 5, 8, 10.
  label.SetFontColor(0x0A0A0A);
  canvas.Clear();
  label.Paint(canvas);
  const std::vector<Drawn> drawn = TextsOf(canvas);
  ASSERT_EQ(drawn.size(), 7u);
  EXPECT_EQ(drawn[0].color, 0x000000u);
  EXPECT_EQ(drawn[1].color, 0x020202u);
  EXPECT_EQ(drawn[2].color, 0x050505u);
  EXPECT_EQ(drawn[3].color, 0x080808u);
  EXPECT_EQ(drawn[4].color, 0x0A0A0Au);
}

TEST(CapLabelPaintTest, GraduatedHighlightRunsTheSameWay) {
  TCapLabel label;
  Prepare(label, "Caption");
  label.CustomSettings().SetHighlightDepth(3);
  label.CustomSettings().SetHighlightStyle(ssGraduated);
  label.CustomSettings().SetHighlightColor(0x000080);  // red 128 to the grey face
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  // minOff -3 (highlight up-left 3), maxOff 1 (shadow).
  EXPECT_THAT(TextsOf(canvas),
              ElementsAre(Drawn{{4, 4, 154, 39}, kBlack}, Drawn{{0, 0, 150, 35}, 0x000080},
                          Drawn{{1, 1, 151, 36}, 0x404080}, Drawn{{2, 2, 152, 37}, 0x808080},
                          Drawn{{3, 3, 153, 38}, kGray}));
}

TEST(CapLabelPaintTest, OpaqueLabelFillsItsBackgroundFirst) {
  TCapLabel label;
  Prepare(label, "Caption");
  label.SetColor(platform::kClAqua);
  label.SetTransparent(false);
  platform::RecordingCanvas canvas;
  label.Paint(canvas, Rect{10, 20, 110, 60});
  const std::vector<CanvasCall> fills = CallsOf(canvas.calls(), CanvasOp::kFillRect);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].rect, (Rect{10, 20, 110, 60}));
  EXPECT_EQ(fills[0].brush, (platform::Brush{platform::kClAqua, platform::BrushStyle::kSolid}));
  EXPECT_EQ(canvas.calls()[1].op, CanvasOp::kFillRect);
  // Everything else moves with the client rectangle.
  EXPECT_THAT(TextsOf(canvas),
              ElementsAre(Drawn{{12, 22, 112, 62}, kBlack}, Drawn{{10, 20, 110, 60}, kWhite},
                          Drawn{{11, 21, 111, 61}, kGray}));
}

TEST(CapLabelPaintTest, CaptionsShowAmpersandsAsTheyAre) {
  TCapLabel label;
  Prepare(label, "Anna & Bo");
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  for (const CanvasCall& call : CallsOf(canvas.calls(), CanvasOp::kDrawText)) {
    EXPECT_EQ(call.text, "Anna & Bo");
    EXPECT_NE(call.flags & platform::dt::kNoPrefix, 0u);
  }
  label.SetShowAccelChar(true);
  label.SetWordWrap(false);
  canvas.Clear();
  label.Paint(canvas);
  for (const CanvasCall& call : CallsOf(canvas.calls(), CanvasOp::kDrawText))
    EXPECT_EQ(call.flags, 0x40u);
}

TEST(CapLabelPaintTest, KeepsTheCanvasToolsAndClip) {
  TCapLabel label;
  Prepare(label, "Caption");
  platform::RecordingCanvas canvas;
  canvas.SetClipRect(Rect{0, 0, 50, 30});
  canvas.SetBrush(platform::Brush{platform::kClRed, platform::BrushStyle::kSolid});
  platform::Font font;
  font.name = "Arial";
  canvas.SetFont(font);
  canvas.Clear();
  label.Paint(canvas);
  // Drawn within both the label and the clip already in force.
  EXPECT_THAT(ClipsOfTexts(canvas),
              ElementsAre(Rect{0, 0, 50, 30}, Rect{0, 0, 50, 30}, Rect{0, 0, 50, 30}));
  EXPECT_EQ(canvas.ClipRect(), (Rect{0, 0, 50, 30}));
  EXPECT_EQ(canvas.brush(), (platform::Brush{platform::kClRed, platform::BrushStyle::kSolid}));
  EXPECT_EQ(canvas.font(), font);

  // A label wholly outside the clip, or of no size, draws nothing.
  canvas.Clear();
  label.Paint(canvas, Rect{60, 0, 100, 30});
  label.Paint(canvas, Rect{0, 0, 0, 30});
  EXPECT_TRUE(canvas.calls().empty());
}

// Horizontal graduated fill of "ABCDEFGHIJ" (90 pixels wide) from grey to black,
// left-aligned and raised: x0 = -minOff = 1, span 89, band step 89 / 15; colour
// step -128 / 15 per channel.
TEST(CapLabelPaintTest, HorizontalGraduatedFaceInSixteenBands) {
  TCapLabel label;
  Prepare(label, "ABCDEFGHIJ");
  label.SetFontColor(kBlack);
  label.CustomSettings().SetGraduateStyle(gsHorizontal);
  platform::RecordingCanvas canvas;
  label.Paint(canvas);

  const int band_edges[] = {0, 6, 12, 18, 24, 30, 36, 42, 47, 53, 59, 65, 71, 77, 83, 89, 95};
  const int grey[] = {128, 119, 111, 102, 94, 85, 77, 68, 60, 51, 43, 34, 26, 17, 9, 0};
  std::vector<Drawn> expected = {Drawn{{2, 2, 152, 37}, kBlack}, Drawn{{0, 0, 150, 35}, kWhite}};
  std::vector<Rect> clips = {Rect{0, 0, 150, 35}, Rect{0, 0, 150, 35}};
  for (int i = 0; i < 16; ++i) {
    const Color color = grey[i] * 0x010101u;
    expected.push_back(Drawn{{1, 1, 151, 36}, color});
    clips.push_back(Rect{1 + band_edges[i], 0, 1 + band_edges[i + 1], 35});
  }
  EXPECT_THAT(TextsOf(canvas), ElementsAreArray(expected));
  EXPECT_THAT(ClipsOfTexts(canvas), ElementsAreArray(clips));
  // The caption's width is measured in the label's font.
  const std::vector<CanvasCall> extents = CallsOf(canvas.calls(), CanvasOp::kTextExtent);
  ASSERT_EQ(extents.size(), 1u);
  EXPECT_EQ(extents[0].text, "ABCDEFGHIJ");
  EXPECT_EQ(extents[0].font.height, -19);
  EXPECT_EQ(canvas.ClipRect(), std::nullopt);
}

TEST(CapLabelPaintTest, GraduatedBandsStartWhereTheFaceStarts) {
  struct Case {
    TCapAlignment alignment;
    int x0;
  };
  // Centred: (150 - 90) div 2 - minOff - xAdj = 30 + 1 - 1; right: 150 - maxOff - 90.
  const Case cases[] = {{TCapAlignment::taCenter, 30}, {TCapAlignment::taRightJustify, 59}};
  for (const Case& c : cases) {
    TCapLabel label;
    Prepare(label, "ABCDEFGHIJ");
    label.SetAlignment(c.alignment);
    label.CustomSettings().SetGraduateStyle(gsHorizontal);
    platform::RecordingCanvas canvas;
    label.Paint(canvas);
    const std::vector<Rect> clips = ClipsOfTexts(canvas);
    ASSERT_EQ(clips.size(), 18u);
    EXPECT_EQ(clips[2], (Rect{c.x0, 0, c.x0 + 6, 35}));
    EXPECT_EQ(clips[17], (Rect{c.x0 + 89, 0, std::min(c.x0 + 95, 150), 35}));
  }
}

// Vertical fill: span 34 (height - 1), band step 34 / 15, bands moved down by
// -minOff = 1. The last band lies below the label and is not drawn.
TEST(CapLabelPaintTest, VerticalGraduatedFace) {
  TCapLabel label;
  Prepare(label, "ABCDEFGHIJ");
  label.CustomSettings().SetGraduateStyle(gsVertical);
  label.CustomSettings().SetGraduateFromColor(0x0000FF);  // red to the grey face
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  const int band_edges[] = {0, 2, 5, 7, 9, 11, 14, 16, 18, 20, 23, 25, 27, 29, 32, 34};
  const std::vector<Rect> clips = ClipsOfTexts(canvas);
  ASSERT_EQ(clips.size(), 2u + 15u);
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ(clips[2 + i], (Rect{0, 1 + band_edges[i], 150, 1 + band_edges[i + 1]})) << i;
  const std::vector<Drawn> drawn = TextsOf(canvas);
  EXPECT_EQ(drawn[2].color, 0x0000FFu);
  // Band 14: red 255 + round(14 * -127 / 15) = 255 - 119 = 136, green and blue
  // round(14 * 128 / 15) = 119.
  EXPECT_EQ(drawn[16].color, 0x777788u);
}

TEST(CapLabelPaintTest, EmptyCaptionGraduatedDrawsNoBands) {
  TCapLabel label;
  Prepare(label, "");
  label.CustomSettings().SetGraduateStyle(gsHorizontal);
  platform::RecordingCanvas canvas;
  label.Paint(canvas);
  EXPECT_EQ(TextsOf(canvas).size(), 2u);  // the two copies only
}

}  // namespace
