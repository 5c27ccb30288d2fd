#include "widgets/caplabel.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "widgets/capcolor.h"

namespace {

constexpr std::string_view kGraduateStyleNames[] = {"gsNone", "gsHorizontal", "gsVertical"};
constexpr std::string_view kShadeStyleNames[] = {"ssPlain", "ssExtrude", "ssGraduated"};
constexpr std::string_view kShadeDirectionNames[] = {"sdNone",     "sdUp",        "sdUpRight",
                                                     "sdRight",    "sdDownRight", "sdDown",
                                                     "sdDownLeft", "sdLeft",      "sdUpLeft"};
constexpr std::string_view kAppearanceNames[] = {"apNone",   "apCustom", "apFlying",
                                                 "apRaised", "apSunken", "apShadow"};
constexpr std::string_view kColorSchemeNames[] = {"csCustom",   "csText", "csWindows",
                                                  "csEmbossed", "csGold", "csSteel"};
constexpr std::string_view kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};

template <size_t N>
std::string_view NameOf(const std::string_view (&names)[N], size_t value) {
  return value < N ? names[value] : std::string_view();
}

// Identifiers in form resources are matched without case, as the toolkit reads them.
template <typename T, size_t N>
std::optional<T> ValueOf(const std::string_view (&names)[N], std::string_view name) {
  for (size_t i = 0; i < N; ++i) {
    const bool equal =
        std::equal(names[i].begin(), names[i].end(), name.begin(), name.end(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        });
    if (equal) return static_cast<T>(i);
  }
  return std::nullopt;
}

// How far the shading reaches beyond the face: the least and greatest offset of
// the deepest highlight and shadow copies in x and y, 0 included.
struct ShadeExtent {
  int32_t min_off;
  int32_t max_off;
};

ShadeExtent ExtentOf(const TCapCustomSettings& settings) {
  const platform::Point h = CapDirectionOffset(settings.HighlightDirection());
  const platform::Point s = CapDirectionOffset(settings.ShadowDirection());
  const int32_t hd = settings.HighlightDepth();
  const int32_t sd = settings.ShadowDepth();
  const int32_t offsets[] = {h.x * hd, s.x * sd, h.y * hd, s.y * sd};
  ShadeExtent extent{0, 0};
  for (int32_t offset : offsets) {
    extent.min_off = CapMinI(extent.min_off, offset);
    extent.max_off = CapMaxI(extent.max_off, offset);
  }
  return extent;
}

uint8_t ClampChannel(int32_t value) {
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// From + round(Count x Step) per channel, Step being the real step from From
// towards To over Steps steps.
TCapRGB Blend(const TCapRGB& from, const TCapRGB& to, int32_t count, int32_t steps) {
  const auto channel = [&](uint8_t a, uint8_t b) {
    const double step = (static_cast<double>(b) - a) / steps;
    return ClampChannel(a + CapRound(count * step));
  };
  return TCapRGB{channel(from.red, to.red), channel(from.green, to.green),
                 channel(from.blue, to.blue)};
}

platform::Rect Offset(const platform::Rect& rect, int32_t dx, int32_t dy) {
  return platform::Rect{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

}  // namespace

platform::Point CapDirectionOffset(TCapShadeDirection direction) {
  static constexpr platform::Point kOffsets[] = {{0, 0}, {0, -1}, {1, -1}, {1, 0},  {1, 1},
                                                 {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};
  return direction < std::size(kOffsets) ? kOffsets[direction] : platform::Point{};
}

std::string_view CapGraduateStyleName(TCapGraduateStyle value) {
  return NameOf(kGraduateStyleNames, value);
}
std::string_view CapShadeStyleName(TCapShadeStyle value) {
  return NameOf(kShadeStyleNames, value);
}
std::string_view CapShadeDirectionName(TCapShadeDirection value) {
  return NameOf(kShadeDirectionNames, value);
}
std::string_view CapAppearanceName(TCapAppearance value) {
  return NameOf(kAppearanceNames, value);
}
std::string_view CapColorSchemeName(TCapColorScheme value) {
  return NameOf(kColorSchemeNames, value);
}
std::string_view CapAlignmentName(TCapAlignment value) {
  return NameOf(kAlignmentNames, static_cast<size_t>(value));
}
std::optional<TCapGraduateStyle> CapGraduateStyleFromName(std::string_view name) {
  return ValueOf<TCapGraduateStyle>(kGraduateStyleNames, name);
}
std::optional<TCapShadeStyle> CapShadeStyleFromName(std::string_view name) {
  return ValueOf<TCapShadeStyle>(kShadeStyleNames, name);
}
std::optional<TCapShadeDirection> CapShadeDirectionFromName(std::string_view name) {
  return ValueOf<TCapShadeDirection>(kShadeDirectionNames, name);
}
std::optional<TCapAppearance> CapAppearanceFromName(std::string_view name) {
  return ValueOf<TCapAppearance>(kAppearanceNames, name);
}
std::optional<TCapColorScheme> CapColorSchemeFromName(std::string_view name) {
  return ValueOf<TCapColorScheme>(kColorSchemeNames, name);
}
std::optional<TCapAlignment> CapAlignmentFromName(std::string_view name) {
  return ValueOf<TCapAlignment>(kAlignmentNames, name);
}

// ---------------------------------------------------------------------------
// TCapCustomSettings

template <typename T>
void TCapCustomSettings::Store(T& field, T value, const std::function<void()>& notify) {
  if (field == value) return;
  field = value;
  if (!updating_ && notify) notify();
}

void TCapCustomSettings::SetGraduateFromColor(platform::Color value) {
  Store(graduate_from_color_, value, on_color_change_);
}
void TCapCustomSettings::SetGraduateStyle(TCapGraduateStyle value) {
  Store(graduate_style_, value, on_style_change_);
}
void TCapCustomSettings::SetHighlightColor(platform::Color value) {
  Store(highlight_color_, value, on_color_change_);
}
void TCapCustomSettings::SetHighlightDepth(TCapDepth value) {
  Store(highlight_depth_, value, on_style_change_);
}
void TCapCustomSettings::SetHighlightDirection(TCapShadeDirection value) {
  Store(highlight_direction_, value, on_style_change_);
}
void TCapCustomSettings::SetHighlightStyle(TCapShadeStyle value) {
  Store(highlight_style_, value, on_style_change_);
}
void TCapCustomSettings::SetShadowColor(platform::Color value) {
  Store(shadow_color_, value, on_color_change_);
}
void TCapCustomSettings::SetShadowDepth(TCapDepth value) {
  Store(shadow_depth_, value, on_style_change_);
}
void TCapCustomSettings::SetShadowDirection(TCapShadeDirection value) {
  Store(shadow_direction_, value, on_style_change_);
}
void TCapCustomSettings::SetShadowStyle(TCapShadeStyle value) {
  Store(shadow_style_, value, on_style_change_);
}

void TCapCustomSettings::EndUpdate() {
  updating_ = false;
  if (on_color_change_) on_color_change_();
  if (on_style_change_) on_style_change_();
}

void TCapCustomSettings::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TCapCustomSettings*>(&source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  graduate_from_color_ = other->graduate_from_color_;
  graduate_style_ = other->graduate_style_;
  highlight_color_ = other->highlight_color_;
  highlight_depth_ = other->highlight_depth_;
  highlight_direction_ = other->highlight_direction_;
  highlight_style_ = other->highlight_style_;
  shadow_color_ = other->shadow_color_;
  shadow_depth_ = other->shadow_depth_;
  shadow_direction_ = other->shadow_direction_;
  shadow_style_ = other->shadow_style_;
}

// ---------------------------------------------------------------------------
// TCapCustomLabel

TCapCustomLabel::TCapCustomLabel(TComponent* owner) : TComponent(owner) {
  schemes_[csCustom] = {platform::kClWhite, platform::kClBlack, platform::kClGray};
  schemes_[csText] = {platform::kClWhite, platform::kClGray, platform::kClBlack};
  schemes_[csWindows] = {platform::kClWhite, platform::kClBlack, platform::kClGray};
  schemes_[csEmbossed] = {platform::kClWhite, platform::kClBlack, platform::kClSilver};
  schemes_[csGold] = {platform::kClYellow, platform::kClBlack, platform::kClOlive};
  schemes_[csSteel] = {platform::kClAqua, platform::kClNavy, platform::kClTeal};

  font_.name = "Times New Roman";
  font_.SetSizeInPoints(20, 96);
  font_.color = schemes_[csWindows].font;
  settings_.SetHighlightColor(schemes_[csWindows].highlight);
  settings_.SetShadowColor(schemes_[csWindows].shadow);
  settings_.SetOnColorChange([this] { ColorChanged(); });
  settings_.SetOnStyleChange([this] { StyleChanged(); });
}

void TCapCustomLabel::Notify(TCapLabelChange change) const {
  if (on_change_) on_change_(change);
}

void TCapCustomLabel::SetAppearance(TCapAppearance value) {
  if (value == appearance_) return;
  appearance_updating_ = true;
  appearance_ = value;
  settings_.BeginUpdate();
  settings_.SetHighlightColor(schemes_[color_scheme_].highlight);
  const auto shade = [this](TCapShadeDirection highlight, TCapShadeDirection shadow,
                            TCapDepth highlight_depth, TCapDepth shadow_depth) {
    settings_.SetHighlightDirection(highlight);
    settings_.SetShadowDirection(shadow);
    settings_.SetHighlightDepth(highlight_depth);
    settings_.SetShadowDepth(shadow_depth);
  };
  switch (value) {
    case apNone:
      shade(sdNone, sdNone, 0, 0);
      break;
    case apCustom:
      break;
    case apFlying:
      shade(sdDownRight, sdDownRight, 1, 5);
      settings_.SetHighlightColor(schemes_[color_scheme_].shadow);
      break;
    case apRaised:
      shade(sdUpLeft, sdDownRight, 1, 1);
      break;
    case apSunken:
      shade(sdDownRight, sdUpLeft, 1, 1);
      break;
    case apShadow:
      shade(sdNone, sdDownRight, 0, 2);
      break;
  }
  settings_.EndUpdate();
  appearance_updating_ = false;
  Notify(TCapLabelChange::kTextChanged);
}

void TCapCustomLabel::SetColorScheme(TCapColorScheme value) {
  if (value == color_scheme_) return;
  scheme_updating_ = true;
  color_scheme_ = value;
  const TCapSchemeColors colors = schemes_[value];
  settings_.BeginUpdate();
  settings_.SetHighlightColor(colors.highlight);
  SetFontColor(colors.font);
  settings_.SetShadowColor(colors.shadow);
  if (value != csCustom) schemes_[csCustom] = colors;
  settings_.EndUpdate();
  scheme_updating_ = false;
  Notify(TCapLabelChange::kTextChanged);
}

void TCapCustomLabel::ColorChanged() {
  if (loading_) return;
  Notify(TCapLabelChange::kRepaint);
  if (!scheme_updating_) {
    color_scheme_ = csCustom;
    Notify(TCapLabelChange::kColorChanged);
  }
}

void TCapCustomLabel::StyleChanged() {
  if (loading_) return;
  Notify(TCapLabelChange::kRepaint);
  if (!appearance_updating_) {
    appearance_ = apCustom;
    Notify(TCapLabelChange::kTextChanged);
  }
}

void TCapCustomLabel::SetCaption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  Notify(TCapLabelChange::kTextChanged);
}

void TCapCustomLabel::SetFont(const platform::Font& value) {
  if (value == font_) return;
  font_ = value;
  Notify(TCapLabelChange::kFontChanged);
}

void TCapCustomLabel::SetFontColor(platform::Color value) {
  if (value == font_.color) return;
  font_.color = value;
  Notify(TCapLabelChange::kFontChanged);
}

void TCapCustomLabel::SetColor(platform::Color value) {
  if (value == color_) return;
  color_ = value;
  Notify(TCapLabelChange::kColorChanged);
}

void TCapCustomLabel::SetAlignment(TCapAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Notify(TCapLabelChange::kRepaint);
}

void TCapCustomLabel::SetWordWrap(bool value) {
  if (value == word_wrap_) return;
  word_wrap_ = value;
  Notify(TCapLabelChange::kTextChanged);
}

void TCapCustomLabel::SetShowAccelChar(bool value) {
  if (value == show_accel_char_) return;
  show_accel_char_ = value;
  Notify(TCapLabelChange::kTextChanged);
}

void TCapCustomLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Notify(TCapLabelChange::kRepaint);
}

void TCapCustomLabel::SetAutoSize(bool value) {
  if (value == auto_size_) return;
  auto_size_ = value;
  Notify(TCapLabelChange::kTextChanged);
}

void TCapCustomLabel::SetBounds(const platform::Rect& value) {
  bounds_ = value;
}

void TCapCustomLabel::Loaded() {
  loading_ = false;
  Notify(TCapLabelChange::kTextChanged);
}

uint32_t TCapCustomLabel::TextFlags() const {
  uint32_t flags = platform::dt::kExpandTabs;
  if (alignment_ == TCapAlignment::taRightJustify) flags |= platform::dt::kRight;
  if (alignment_ == TCapAlignment::taCenter) flags |= platform::dt::kCenter;
  if (word_wrap_) flags |= platform::dt::kWordBreak;
  if (!show_accel_char_) flags |= platform::dt::kNoPrefix;
  return flags;
}

platform::Size TCapCustomLabel::TextSize(platform::Canvas& canvas) const {
  const platform::Font saved_font = canvas.font();
  canvas.SetFont(font_);
  // An empty caption (or a lone prefix mark) still takes one line.
  std::string text = caption_;
  if (text.empty() || (show_accel_char_ && text == "&")) text += ' ';
  uint32_t flags = platform::dt::kExpandTabs | platform::dt::kCalcRect;
  if (word_wrap_) flags |= platform::dt::kWordBreak;
  if (!show_accel_char_) flags |= platform::dt::kNoPrefix;
  platform::Rect rect{0, 0, Width(), 0};
  canvas.DrawText(text, rect, flags);
  canvas.SetFont(saved_font);
  const ShadeExtent extent = ExtentOf(settings_);
  const int32_t shading = extent.max_off - extent.min_off;
  return platform::Size{rect.Width() + shading, rect.Height() + shading};
}

void TCapCustomLabel::AdjustBounds(platform::Canvas& canvas) {
  if (!auto_size_ || loading_) return;
  const platform::Size size = TextSize(canvas);
  int32_t left = bounds_.left;
  if (alignment_ == TCapAlignment::taRightJustify) left += Width() - size.cx;
  const platform::Rect bounds{left, bounds_.top, left + size.cx, bounds_.top + size.cy};
  if (bounds == bounds_) return;
  bounds_ = bounds;
  Notify(TCapLabelChange::kBoundsChanged);
}

void TCapCustomLabel::Paint(platform::Canvas& canvas, const platform::Rect& client) const {
  const uint32_t flags = TextFlags();
  const ShadeExtent extent = ExtentOf(settings_);
  int32_t x_adj = 0;
  if (flags & platform::dt::kCenter) x_adj = (extent.max_off - extent.min_off) / 2;
  if (flags & platform::dt::kRight) x_adj = extent.max_off - extent.min_off;

  const platform::Font saved_font = canvas.font();
  const platform::Brush saved_brush = canvas.brush();
  const std::optional<platform::Rect> saved_clip = canvas.ClipRect();
  if (client.IsEmpty()) return;
  platform::Rect clip = client;
  if (saved_clip && !platform::IntersectRect(clip, client, *saved_clip)) return;

  canvas.SetClipRect(clip);
  if (!transparent_) {
    canvas.SetBrush(platform::Brush{color_, platform::BrushStyle::kSolid});
    canvas.FillRect(client);
  }
  canvas.SetBrushStyle(platform::BrushStyle::kClear);
  canvas.SetFont(font_);

  DrawCopies(canvas, client, flags, settings_.ShadowColor(), settings_.ShadowStyle(),
             settings_.ShadowDepth(), settings_.ShadowDirection(), extent.min_off, x_adj);
  DrawCopies(canvas, client, flags, settings_.HighlightColor(), settings_.HighlightStyle(),
             settings_.HighlightDepth(), settings_.HighlightDirection(), extent.min_off, x_adj);

  const platform::Rect face = Offset(client, -extent.min_off - x_adj, -extent.min_off);
  if (settings_.GraduateStyle() == gsNone) {
    canvas.SetFont(font_);
    platform::Rect rect = face;
    canvas.DrawText(caption_, rect, flags);
  } else {
    DrawGraduatedFace(canvas, client, face, flags, extent.min_off, extent.max_off, x_adj, clip);
  }

  canvas.SetClipRect(saved_clip);
  canvas.SetFont(saved_font);
  canvas.SetBrush(saved_brush);
}

// The copies of one run, deepest first, so that the one next to the face is drawn
// last. A plain run (or one of depth 0 or 1) is a single copy at its depth.
void TCapCustomLabel::DrawCopies(platform::Canvas& canvas, const platform::Rect& client,
                                 uint32_t flags, platform::Color color, TCapShadeStyle style,
                                 TCapDepth depth, TCapShadeDirection direction, int32_t min_off,
                                 int32_t x_adj) const {
  const TCapRGB base = CapSplitColor(color);
  const TCapRGB face = CapSplitColor(font_.color);
  const platform::Point unit = CapDirectionOffset(direction);
  const auto draw_copy = [&](int32_t m, const TCapRGB& rgb) {
    platform::Font font = font_;
    font.color = CapJoinColor(rgb);
    canvas.SetFont(font);
    platform::Rect rect = Offset(client, m * unit.x - min_off - x_adj, m * unit.y - min_off);
    canvas.DrawText(caption_, rect, flags);
  };

  if (style == ssPlain || depth <= 1) {
    draw_copy(depth, base);
    return;
  }
  for (int32_t m = depth; m >= 1; --m) {
    const int32_t k = depth - m;
    draw_copy(m, style == ssGraduated ? Blend(base, face, k, depth - 1) : base);
  }
}

// The face in 16 bands of colour, from GraduateFromColor to the font colour, left
// to right (or top to bottom): each band shows the part of the face that falls in
// it. Only the face takes the bands' colours; the shading and the background keep
// theirs, whatever colour they are.
void TCapCustomLabel::DrawGraduatedFace(platform::Canvas& canvas, const platform::Rect& client,
                                        const platform::Rect& face, uint32_t flags, int32_t min_off,
                                        int32_t max_off, int32_t x_adj,
                                        const platform::Rect& clip) const {
  const int32_t width = client.Width();
  const int32_t height = client.Height();
  platform::Font font = font_;
  canvas.SetFont(font);
  const int32_t w = canvas.TextExtent(caption_).cx;

  int32_t x0 = -min_off;
  if (flags & platform::dt::kCenter) x0 = (width - w) / 2 - min_off - x_adj;
  if (flags & platform::dt::kRight) x0 = width - max_off - w;

  const bool vertical = settings_.GraduateStyle() == gsVertical;
  const double band_step = (vertical ? height - 1 : w - 1) / 15.0;
  const TCapRGB from = CapSplitColor(settings_.GraduateFromColor());
  const TCapRGB to = CapSplitColor(font_.color);

  for (int32_t i = 0; i < 16; ++i) {
    const int32_t start = CapRound(i * band_step);
    const int32_t end = CapRound((i + 1) * band_step);
    const platform::Rect band = vertical ? platform::Rect{0, start - min_off, width, end - min_off}
                                         : platform::Rect{x0 + start, 0, x0 + end, height};
    platform::Rect band_clip;
    if (!platform::IntersectRect(band_clip, Offset(band, client.left, client.top), clip)) {
      continue;
    }
    canvas.SetClipRect(band_clip);
    font.color = CapJoinColor(Blend(from, to, i, 15));
    canvas.SetFont(font);
    platform::Rect rect = face;
    canvas.DrawText(caption_, rect, flags);
  }
}
