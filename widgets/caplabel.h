// TCapLabel: a caption label that draws its text three-dimensionally. Behind the
// face it draws a run of shadow copies and a run of highlight copies of the text,
// each offset in one of eight directions by up to a given depth, in plain, extruded
// (all one colour) or graduated colours; the face itself may be filled with a
// 16-band colour gradient.
//
// The class is the label's model and painter and knows no toolkit: a widget that
// shows it forwards its bounds and paint events and listens to its changes (see
// TCapLabelChange). What the toolkit gives every control (visibility, enabling,
// cursors, hints, mouse and drag events, alignment within the parent, parent font
// and colour) stays with that widget.
//
// Captions show their text as it is: "&" is an ordinary character unless
// ShowAccelChar is turned on, since the captions of this system are made from
// analyzer and patient data, where an "&" is part of a name and never a key prefix.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/canvas.h"
#include "platform/object.h"

enum TCapGraduateStyle : uint8_t { gsNone, gsHorizontal, gsVertical };
enum TCapShadeStyle : uint8_t { ssPlain, ssExtrude, ssGraduated };
enum TCapShadeDirection : uint8_t {
  sdNone,
  sdUp,
  sdUpRight,
  sdRight,
  sdDownRight,
  sdDown,
  sdDownLeft,
  sdLeft,
  sdUpLeft
};
enum TCapAppearance : uint8_t { apNone, apCustom, apFlying, apRaised, apSunken, apShadow };
enum TCapColorScheme : uint8_t { csCustom, csText, csWindows, csEmbossed, csGold, csSteel };
using TCapDepth = uint8_t;

// The toolkit's text alignment of labels.
enum class TCapAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

// The unit offset of a direction, x to the right and y downwards.
platform::Point CapDirectionOffset(TCapShadeDirection direction);

// The names form resources store the values under ("gsNone", "sdUpLeft",
// "apRaised", "csWindows", "taCenter", ...), and back; an unknown name gives
// nothing.
std::string_view CapGraduateStyleName(TCapGraduateStyle value);
std::string_view CapShadeStyleName(TCapShadeStyle value);
std::string_view CapShadeDirectionName(TCapShadeDirection value);
std::string_view CapAppearanceName(TCapAppearance value);
std::string_view CapColorSchemeName(TCapColorScheme value);
std::string_view CapAlignmentName(TCapAlignment value);
std::optional<TCapGraduateStyle> CapGraduateStyleFromName(std::string_view name);
std::optional<TCapShadeStyle> CapShadeStyleFromName(std::string_view name);
std::optional<TCapShadeDirection> CapShadeDirectionFromName(std::string_view name);
std::optional<TCapAppearance> CapAppearanceFromName(std::string_view name);
std::optional<TCapColorScheme> CapColorSchemeFromName(std::string_view name);
std::optional<TCapAlignment> CapAlignmentFromName(std::string_view name);

// The shading settings of a label, with two notifications: one when a colour
// changes, one when a style, depth or direction changes.
class TCapCustomSettings : public TPersistent {
 public:
  std::string_view ClassName() const override { return "TCapCustomSettings"; }

  platform::Color GraduateFromColor() const { return graduate_from_color_; }
  TCapGraduateStyle GraduateStyle() const { return graduate_style_; }
  platform::Color HighlightColor() const { return highlight_color_; }
  TCapDepth HighlightDepth() const { return highlight_depth_; }
  TCapShadeDirection HighlightDirection() const { return highlight_direction_; }
  TCapShadeStyle HighlightStyle() const { return highlight_style_; }
  platform::Color ShadowColor() const { return shadow_color_; }
  TCapDepth ShadowDepth() const { return shadow_depth_; }
  TCapShadeDirection ShadowDirection() const { return shadow_direction_; }
  TCapShadeStyle ShadowStyle() const { return shadow_style_; }

  // Writing the current value does nothing; a new value is stored and its
  // notification sent, unless an update is open.
  void SetGraduateFromColor(platform::Color value);
  void SetGraduateStyle(TCapGraduateStyle value);
  void SetHighlightColor(platform::Color value);
  void SetHighlightDepth(TCapDepth value);
  void SetHighlightDirection(TCapShadeDirection value);
  void SetHighlightStyle(TCapShadeStyle value);
  void SetShadowColor(platform::Color value);
  void SetShadowDepth(TCapDepth value);
  void SetShadowDirection(TCapShadeDirection value);
  void SetShadowStyle(TCapShadeStyle value);

  // Holds the notifications back; EndUpdate sends the colour notification and then
  // the style notification, whether or not anything changed meanwhile.
  void BeginUpdate() { updating_ = true; }
  void EndUpdate();
  bool Updating() const { return updating_; }

  void SetOnColorChange(std::function<void()> handler) { on_color_change_ = std::move(handler); }
  void SetOnStyleChange(std::function<void()> handler) { on_style_change_ = std::move(handler); }

  // From another TCapCustomSettings: copies the ten values, without notifications.
  // Anything else raises EConvertError as every TPersistent does.
  void Assign(const TPersistent& source) override;

 private:
  template <typename T>
  void Store(T& field, T value, const std::function<void()>& notify);

  platform::Color graduate_from_color_ = platform::kClGray;
  TCapGraduateStyle graduate_style_ = gsNone;
  platform::Color highlight_color_ = platform::kClWhite;
  TCapDepth highlight_depth_ = 1;
  TCapShadeDirection highlight_direction_ = sdUpLeft;
  TCapShadeStyle highlight_style_ = ssPlain;
  platform::Color shadow_color_ = platform::kClBlack;
  TCapDepth shadow_depth_ = 1;
  TCapShadeDirection shadow_direction_ = sdDownRight;
  TCapShadeStyle shadow_style_ = ssPlain;
  bool updating_ = false;
  std::function<void()> on_color_change_;
  std::function<void()> on_style_change_;
};

// What a label tells the widget that shows it.
enum class TCapLabelChange : uint8_t {
  kRepaint,        // draw again
  kTextChanged,    // the toolkit's text-changed notice: draw again, and size again when AutoSize
  kColorChanged,   // the toolkit's colour-changed notice: draw again
  kFontChanged,    // draw again, and size again when AutoSize
  kBoundsChanged,  // Bounds changed (AdjustBounds)
};

// One colour scheme: the highlight, shadow and font colours it sets.
struct TCapSchemeColors {
  platform::Color highlight;
  platform::Color shadow;
  platform::Color font;
  friend bool operator==(const TCapSchemeColors&, const TCapSchemeColors&) = default;
};

class TCapCustomLabel : public TComponent {
 public:
  explicit TCapCustomLabel(TComponent* owner = nullptr);
  std::string_view ClassName() const override { return "TCapCustomLabel"; }

  // Appearance: sets the directions and depths of the shading for a look, and
  // always ends with ColorScheme csCustom.
  TCapAppearance Appearance() const { return appearance_; }
  void SetAppearance(TCapAppearance value);
  // ColorScheme: sets the highlight, shadow and font colours from the scheme table,
  // and always ends with Appearance apCustom. Choosing a scheme other than csCustom
  // also copies its colours into the table's csCustom row.
  TCapColorScheme ColorScheme() const { return color_scheme_; }
  void SetColorScheme(TCapColorScheme value);
  const TCapSchemeColors& SchemeColors(TCapColorScheme scheme) const { return schemes_[scheme]; }

  // The shading settings. Changing a colour makes the scheme csCustom, changing a
  // style, depth or direction makes the appearance apCustom (not while loading).
  TCapCustomSettings& CustomSettings() { return settings_; }
  const TCapCustomSettings& CustomSettings() const { return settings_; }
  void SetCustomSettings(const TCapCustomSettings& value) { settings_.Assign(value); }

  const std::string& Caption() const { return caption_; }  // Windows-1252
  void SetCaption(std::string value);
  const platform::Font& Font() const { return font_; }
  void SetFont(const platform::Font& value);
  void SetFontColor(platform::Color value);
  platform::Color Color() const { return color_; }  // the background when not transparent
  void SetColor(platform::Color value);
  TCapAlignment Alignment() const { return alignment_; }
  void SetAlignment(TCapAlignment value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value);

  // Position and size within the parent, in pixels.
  const platform::Rect& Bounds() const { return bounds_; }
  void SetBounds(const platform::Rect& value);
  int32_t Width() const { return bounds_.Width(); }
  int32_t Height() const { return bounds_.Height(); }

  // While loading from a form resource, the settings' notifications change neither
  // the scheme nor the appearance, so the values stand as read. Loaded ends it.
  void BeginLoading() { loading_ = true; }
  void Loaded();
  bool Loading() const { return loading_; }

  void SetOnChange(std::function<void(TCapLabelChange)> handler) {
    on_change_ = std::move(handler);
  }

  // The size the text needs in the label's font, measured on Canvas: its lines as
  // wrapped at the label's width (when WordWrap) plus the room the shading takes.
  platform::Size TextSize(platform::Canvas& canvas) const;
  // With AutoSize on (and not loading), takes the size of TextSize; a right-aligned
  // label keeps its right edge. Sends kBoundsChanged when the bounds change.
  void AdjustBounds(platform::Canvas& canvas);

  // The DrawText flags of the caption.
  uint32_t TextFlags() const;
  // Draws the label into Client (the label's client rectangle on Canvas): the
  // background unless transparent, the shadow copies, the highlight copies, then
  // the face, plain or graduated. Drawing is clipped to Client (within any clip in
  // force); Canvas's tools and clip are as before afterwards.
  void Paint(platform::Canvas& canvas, const platform::Rect& client) const;
  // The same into the label's own size at the canvas origin.
  void Paint(platform::Canvas& canvas) const {
    Paint(canvas, platform::Rect{0, 0, Width(), Height()});
  }

 private:
  void ColorChanged();
  void StyleChanged();
  void Notify(TCapLabelChange change) const;
  void DrawCopies(platform::Canvas& canvas, const platform::Rect& client, uint32_t flags,
                  platform::Color color, TCapShadeStyle style, TCapDepth depth,
                  TCapShadeDirection direction, int32_t min_off, int32_t x_adj) const;
  void DrawGraduatedFace(platform::Canvas& canvas, const platform::Rect& client,
                         const platform::Rect& face, uint32_t flags, int32_t min_off,
                         int32_t max_off, int32_t x_adj, const platform::Rect& clip) const;

  TCapAppearance appearance_ = apRaised;
  TCapColorScheme color_scheme_ = csWindows;
  std::array<TCapSchemeColors, 6> schemes_;
  TCapCustomSettings settings_;
  bool scheme_updating_ = false;
  bool appearance_updating_ = false;
  bool loading_ = false;

  std::string caption_;
  platform::Font font_;
  platform::Color color_ = platform::kClBtnFace;
  TCapAlignment alignment_ = TCapAlignment::taLeftJustify;
  bool word_wrap_ = true;
  bool show_accel_char_ = false;
  bool transparent_ = true;
  bool auto_size_ = false;
  platform::Rect bounds_{0, 0, 150, 35};

  std::function<void(TCapLabelChange)> on_change_;
};

// The published label, with the version text of the widget set.
class TCapLabel : public TCapCustomLabel {
 public:
  using TCapCustomLabel::TCapCustomLabel;
  std::string_view ClassName() const override { return "TCapLabel"; }

  std::string About() const { return "v4.06"; }
  void SetAbout(std::string_view) {}
};
