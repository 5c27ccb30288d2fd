// TGlyph: the base of everything drawn on a plot that the user can point at.
#pragma once

#include <cstdint>
#include <string_view>

#include "datafile/QORClassPersist.h"
#include "platform/canvas.h"

class TGlyph : public TPersistIt {
 public:
  std::string_view ClassName() const override { return "TGlyph"; }

  // Every change of colour goes through SetColor, reading and assignment included,
  // so a descendant that repaints on a new colour overrides only this.
  virtual void SetColor(platform::Color value);
  virtual platform::Color GetColor() const { return color_; }

  // Whether the glyph lies under Point (pixels). Info, which may be null, is where
  // a descendant that is hit reports what was hit; each descendant settles what it
  // points to. The base is never hit.
  virtual bool HitTest(const platform::Point& point, void* info) const;
  // Draws the glyph where it is shown / on Canvas. The base has nothing to draw.
  virtual void Paint() {}
  virtual void DrawOn(platform::Canvas& canvas);

  // Fields 16, 86 and 109 each carry the colour: records written by different
  // versions use different tags for it.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // A glyph is copied into any glyph, whatever its descendant class.
  void AssignTo(TPersistent& dest) const override;

  platform::Rect GetBounds() const;
  void SetBounds(const platform::Rect& bounds);
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetLeft(int32_t value) { left_ = value; }
  void SetTop(int32_t value) { top_ = value; }
  void SetWidth(int32_t value) { width_ = value; }
  void SetHeight(int32_t value) { height_ = value; }

 protected:
  platform::Color color_ = platform::kClBlack;
  int32_t height_ = 0;
  int32_t left_ = 0;
  int32_t top_ = 0;
  int32_t width_ = 0;
};
