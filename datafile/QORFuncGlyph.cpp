#include "datafile/QORFuncGlyph.h"

#include "datafile/QORClassReader.h"

namespace {

constexpr int32_t kColorTags[] = {16, 86, 109};

}  // namespace

void TGlyph::SetColor(platform::Color value) {
  if (value != color_) color_ = value;
}

bool TGlyph::HitTest(const platform::Point&, void*) const {
  return false;
}

void TGlyph::DrawOn(platform::Canvas&) {}

void TGlyph::ReadField(int32_t tag, TVistaReader& reader) {
  for (const int32_t color_tag : kColorTags) {
    if (tag == color_tag) {
      // The field holds the colour's 32 bits as a signed integer.
      SetColor(static_cast<platform::Color>(reader.ReadIntegerField()));
      return;
    }
  }
  TPersistIt::ReadField(tag, reader);
}

void TGlyph::AssignTo(TPersistent& dest) const {
  auto* glyph = dynamic_cast<TGlyph*>(&dest);
  if (!glyph) {
    TPersistIt::AssignTo(dest);
    return;
  }
  glyph->SetColor(color_);
  glyph->left_ = left_;
  glyph->top_ = top_;
  glyph->width_ = width_;
  glyph->height_ = height_;
}

// Sums and differences wrap round like the 32-bit pixel arithmetic of the
// drawing calls rather than overflow.
platform::Rect TGlyph::GetBounds() const {
  return platform::Rect{left_, top_, static_cast<int32_t>(int64_t{left_} + width_),
                        static_cast<int32_t>(int64_t{top_} + height_)};
}

void TGlyph::SetBounds(const platform::Rect& bounds) {
  left_ = bounds.left;
  top_ = bounds.top;
  width_ = static_cast<int32_t>(int64_t{bounds.right} - bounds.left);
  height_ = static_cast<int32_t>(int64_t{bounds.bottom} - bounds.top);
}
