#include <gtest/gtest.h>

#include <vector>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/QORFuncGlyph.h"
#include "platform/exception.h"
#include "platform/recording_canvas.h"
#include "platform/stream.h"

namespace {

// Records every colour it is given, to show which paths go through SetColor.
class ColorLoggingGlyph final : public TGlyph {
 public:
  void SetColor(platform::Color value) override {
    colors.push_back(value);
    TGlyph::SetColor(value);
  }
  std::vector<platform::Color> colors;
};

TEST(GlyphTest, BoundsAreLeftTopWidthHeight) {
  struct Case {
    platform::Rect bounds;
    int32_t width, height;
  };
  const Case cases[] = {
      {{10, 20, 40, 70}, 30, 50},
      {{-5, -8, 5, 2}, 10, 10},
      {{40, 70, 10, 20}, -30, -50},  // kept as given, not normalised
      {{3, 4, 3, 4}, 0, 0},
  };
  for (const Case& c : cases) {
    TGlyph glyph;
    glyph.SetBounds(c.bounds);
    EXPECT_EQ(glyph.Left(), c.bounds.left);
    EXPECT_EQ(glyph.Top(), c.bounds.top);
    EXPECT_EQ(glyph.Width(), c.width);
    EXPECT_EQ(glyph.Height(), c.height);
    EXPECT_EQ(glyph.GetBounds(), c.bounds);
  }
}

TEST(GlyphTest, TheBaseIsNeverHitAndDrawsNothing) {
  TGlyph glyph;
  glyph.SetBounds({0, 0, 100, 100});
  EXPECT_FALSE(glyph.HitTest({50, 50}, nullptr));
  platform::RecordingCanvas canvas;
  glyph.DrawOn(canvas);
  glyph.Paint();
  EXPECT_TRUE(canvas.calls().empty());
}

TEST(GlyphTest, AssignsToAnyGlyphThroughSetColor) {
  TGlyph source;
  source.SetColor(platform::kClTeal);
  source.SetBounds({1, 2, 11, 22});
  ColorLoggingGlyph target;
  target.SetColor(platform::kClRed);
  target.colors.clear();

  target.Assign(source);
  EXPECT_EQ(target.colors, std::vector<platform::Color>{platform::kClTeal});
  EXPECT_EQ(target.GetColor(), platform::kClTeal);
  EXPECT_EQ(target.GetBounds(), (platform::Rect{1, 2, 11, 22}));
}

TEST(GlyphTest, AssigningToOrFromAnotherClassRaises) {
  TGlyph glyph;
  TPersistent other;
  try {
    glyph.AssignTo(other);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TGlyph to a TPersistent");
  }
  try {
    glyph.Assign(other);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TPersistent to a TGlyph");
  }
}

TEST(GlyphTest, HasNoRecordOfItsOwn) {
  TGlyph glyph;
  EXPECT_THROW(glyph.RecordType(), Exception);
  platform::MemoryStream stream;
  TVistaWriter writer;
  writer.SetStream(&stream);
  glyph.WriteTo(writer);
  EXPECT_EQ(stream.Size(), 0);
}

// ---------------------------------------------------------------------------
// Reading

constexpr int32_t kGlyphRecord = 300;

struct ReadContext {
  TGlyph* glyph;
};

// Enters the glyph's record and hands its fields to the glyph; skips the rest.
void GlyphHandler(void* user_data, int32_t tag, TVistaReader& reader) {
  TGlyph* glyph = static_cast<ReadContext*>(user_data)->glyph;
  if (reader.CurrentObject() == glyph) {
    glyph->ReadField(tag, reader);
  } else if (tag == kGlyphRecord) {
    reader.BeginFolding(tag);
    reader.SetCurrentObject(glyph);
  } else {
    reader.SkipField();
  }
}

TEST(GlyphTest, ReadsTheColourFromEachOfItsTagsAndSkipsTheRest) {
  platform::MemoryStream stream;
  TVistaWriter writer;
  writer.SetStream(&stream);
  writer.WriteHeader();
  writer.WriteIntegerField(16, 0x111111);  // outside the glyph's record
  writer.BeginFolding(kGlyphRecord);
  writer.WriteIntegerField(16, 0x0000FF);
  writer.WriteStringField(17, "not a colour");
  writer.WriteIntegerField(86, 0x00FF00);
  writer.WriteIntegerField(15, 0x222222);
  writer.WriteIntegerField(109, static_cast<int32_t>(platform::kClBtnFace));
  writer.EndFolding();
  writer.WriteIntegerField(109, 0x333333);  // after it
  writer.FinishFile();

  ColorLoggingGlyph glyph;
  ReadContext context{&glyph};
  stream.SetPosition(0);
  TVistaReader reader;
  EXPECT_TRUE(reader.Read(stream, GlyphHandler, &context));

  EXPECT_EQ(glyph.colors, (std::vector<platform::Color>{0x0000FF, 0x00FF00, platform::kClBtnFace}));
  EXPECT_EQ(glyph.GetColor(), platform::kClBtnFace);
  EXPECT_EQ(reader.Position(), stream.Size());
}

}  // namespace
