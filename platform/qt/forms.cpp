#include "platform/qt/forms.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <limits>
#include <map>

#include "platform/qt/event_loop.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/sockets.h"
#include "platform/qt/timer.h"
#include "platform/resources.h"

namespace platform::qt {
namespace {

[[noreturn]] void InvalidValue() {
  throw EReadError("Invalid property value");
}

struct NamedColor {
  std::string_view name;
  Color color;
};

constexpr NamedColor kColorNames[] = {
    {"clBlack", kClBlack},
    {"clMaroon", kClMaroon},
    {"clGreen", kClGreen},
    {"clOlive", kClOlive},
    {"clNavy", kClNavy},
    {"clPurple", kClPurple},
    {"clTeal", kClTeal},
    {"clGray", kClGray},
    {"clSilver", kClSilver},
    {"clRed", kClRed},
    {"clLime", kClLime},
    {"clYellow", kClYellow},
    {"clBlue", kClBlue},
    {"clFuchsia", kClFuchsia},
    {"clAqua", kClAqua},
    {"clWhite", kClWhite},
    {"clBtnFace", kClBtnFace},
    {"clWindow", kClWindow},
    {"clWindowText", kClWindowText},
    {"clBtnText", kSystemColorFlag | 18},
    {"clInfoBk", kSystemColorFlag | 24},
    {"clHighlight", kSystemColorFlag | 13},
    {"clHighlightText", kSystemColorFlag | 14},
    {"clGrayText", kSystemColorFlag | 17},
    {"clBtnShadow", kSystemColorFlag | 16},
    {"clBtnHighlight", kSystemColorFlag | 20},
};

std::map<std::string, ComponentFactory, std::less<>>& Factories();

void Guarded(const TNotifyEvent& handler, TComponentBase* sender) {
  if (handler) RunGuarded([&] { handler(sender); });
}

class ClickableGroupBox : public QGroupBox {
 public:
  explicit ClickableGroupBox(QWidget* parent) : QGroupBox(parent) {}
  std::function<void()> clicked;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QGroupBox::mousePressEvent(event);
    if (clicked) clicked();
  }
};

class ClickableLabel : public QLabel {
 public:
  explicit ClickableLabel(QWidget* parent) : QLabel(parent) {}
  std::function<void()> clicked;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QLabel::mousePressEvent(event);
    if (clicked) clicked();
  }
};

}  // namespace

FormRoot* RootOf(TForm* form) {
  return form;
}

void RegisterComponentClass(const std::string& class_name, ComponentFactory factory) {
  Factories()[class_name] = std::move(factory);
}

bool IsComponentClassRegistered(std::string_view class_name) {
  return Factories().find(class_name) != Factories().end();
}

Color ColorFromForm(const FormValue& value) {
  if (value.kind == FormValue::Kind::kInteger) return static_cast<Color>(value.AsInteger());
  for (const NamedColor& named : kColorNames) {
    if (SameText1252(named.name, value.AsIdent())) return named.color;
  }
  InvalidValue();
}

void AddFontProperties(PropertyList& list, std::function<Font()> get,
                       std::function<void(const Font&)> set) {
  // Each setter changes one field of the font as it is now.
  const auto property = [&](const char* name, std::function<void(Font&, const FormValue&)> change) {
    list.Add(name, [get, set, change](const FormValue& v) {
      Font font = get();
      change(font, v);
      set(font);
    });
  };
  list.Add("Font.Charset", [](const FormValue& v) {
    if (v.kind != FormValue::Kind::kIdent) v.AsInteger();
  });
  property("Font.Color", [](Font& font, const FormValue& v) { font.color = ColorFromForm(v); });
  property("Font.Height", [](Font& font, const FormValue& v) { font.height = v.AsInteger(); });
  property("Font.Size",
           [](Font& font, const FormValue& v) { font.SetSizeInPoints(v.AsInteger(), 96); });
  property("Font.Name", [](Font& font, const FormValue& v) { font.name = v.AsString(); });
  property("Font.Style", [](Font& font, const FormValue& v) {
    font.weight = kFwNormal;
    font.italic = font.underline = font.strike_out = false;
    for (const std::string& style : v.AsSet()) {
      if (SameText1252(style, "fsBold"))
        font.weight = kFwBold;
      else if (SameText1252(style, "fsItalic"))
        font.italic = true;
      else if (SameText1252(style, "fsUnderline"))
        font.underline = true;
      else if (SameText1252(style, "fsStrikeOut"))
        font.strike_out = true;
      else
        InvalidValue();
    }
  });
}

void AddIgnoredProperties(PropertyList& list, std::initializer_list<const char*> names) {
  for (const char* name : names)
    list.Add(name, [](const FormValue&) {});
}

// ---- TControl ----

TControl::TControl(TForm* owner, std::string name, QWidget* widget)
    : TComponentBase(owner, std::move(name)), widget_(widget) {
  widget_->setObjectName(ToQString(ComponentName()));
}

TControl::~TControl() {
  // A container's widget may have taken this one with it already.
  delete widget_.data();
}

void TControl::DefineProperties(PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Left", [this](const FormValue& v) { widget_->move(v.AsInteger(), widget_->y()); });
  list.Add("Top", [this](const FormValue& v) { widget_->move(widget_->x(), v.AsInteger()); });
  list.Add("Width", [this](const FormValue& v) {
    widget_->resize(std::max(v.AsInteger(), 0), widget_->height());
  });
  list.Add("Height", [this](const FormValue& v) {
    widget_->resize(widget_->width(), std::max(v.AsInteger(), 0));
  });
  list.Add("Align", [this](const FormValue& v) {
    // alClient: the control fills its parent, the only alignment the system uses.
    if (SameText1252(v.AsIdent(), "alClient") && widget_->parentWidget()) {
      widget_->setGeometry(widget_->parentWidget()->rect());
    }
  });
  list.Add("Color", [this](const FormValue& v) { SetColor(ColorFromForm(v)); });
  AddFontProperties(
      list, [this] { return font_; },
      [this](const Font& font) {
        font_ = font;
        ApplyLook();
      });
  list.Add("Enabled", [this](const FormValue& v) { SetEnabled(v.AsBoolean()); });
  list.Add("Hint", [this](const FormValue& v) { SetHint(v.AsString()); });
  list.Add("Visible", [this](const FormValue& v) { SetVisible(v.AsBoolean()); });
  AddIgnoredProperties(list,
                       {"Anchors", "AutoSize", "Constraints", "Cursor", "ParentColor", "ParentFont",
                        "ParentShowHint", "ShowHint", "TabOrder", "TabStop", "TextHeight"});
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  widget_->setVisible(visible);
}

bool TControl::Enabled() const {
  return widget_->isEnabled();
}

void TControl::SetEnabled(bool enabled) {
  widget_->setEnabled(enabled);
}

Rect TControl::BoundsRect() const {
  const QRect r = widget_->geometry();
  return Rect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  widget_->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  widget_->setToolTip(ToQString(hint));
  widget_->setToolTipDuration(7000);
}

void TControl::SetFont(const Font& font) {
  font_ = font;
  ApplyLook();
}

void TControl::SetColor(Color color) {
  color_ = color;
  own_color_ = true;
  ApplyLook();
}

void TControl::ApplyLook() {
  widget_->setFont(ToQFont(font_));
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::WindowText, ToQColor(font_.color));
  palette.setColor(QPalette::Text, ToQColor(font_.color));
  palette.setColor(QPalette::ButtonText, ToQColor(font_.color));
  if (own_color_) {
    palette.setColor(QPalette::Window, ToQColor(color_));
    palette.setColor(QPalette::Base, ToQColor(color_));
    widget_->setAutoFillBackground(true);
  }
  widget_->setPalette(palette);
}

// ---- TForm ----

TForm::TForm(std::string class_name, QWidget* parent)
    : QWidget(parent, Qt::Window), class_name_(std::move(class_name)) {
  setObjectName(ToQString(class_name_));
}

TForm::~TForm() {
  if (OnDestroy) Guarded(OnDestroy, nullptr);
  // Children first: the controls delete their widgets while this one still exists.
  components_.clear();
}

void TForm::DefineProperties(PropertyList& list) {
  list.Add("Tag", [](const FormValue& v) { v.AsInteger(); });
  list.Add("Left", [this](const FormValue& v) { move(v.AsInteger(), y()); });
  list.Add("Top", [this](const FormValue& v) { move(x(), v.AsInteger()); });
  list.Add("Width", [this](const FormValue& v) { resize(std::max(v.AsInteger(), 0), height()); });
  list.Add("Height", [this](const FormValue& v) { resize(width(), std::max(v.AsInteger(), 0)); });
  list.Add("BorderIcons", [](const FormValue& v) { v.AsSet(); });
  list.Add("BorderStyle", [this](const FormValue& v) {
    const std::string& style = v.AsIdent();
    if (SameText1252(style, "bsNone")) {
      setWindowFlag(Qt::FramelessWindowHint, true);
    } else if (SameText1252(style, "bsSingle") || SameText1252(style, "bsDialog") ||
               SameText1252(style, "bsToolWindow")) {
      setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    }
  });
  list.Add("Caption", [this](const FormValue& v) { SetCaption(v.AsString()); });
  list.Add("ClientHeight", [this](const FormValue& v) {
    client_height_ = std::max(v.AsInteger(), 0);
    resize(width(), client_height_);
  });
  list.Add("ClientWidth", [this](const FormValue& v) {
    client_width_ = std::max(v.AsInteger(), 0);
    resize(client_width_, height());
  });
  list.Add("Color", [this](const FormValue& v) { SetColor(ColorFromForm(v)); });
  AddFontProperties(
      list, [this] { return font_; },
      [this](const Font& font) {
        font_ = font;
        setFont(ToQFont(font_));
      });
  list.Add("FormStyle", [this](const FormValue& v) {
    stay_on_top_ = SameText1252(v.AsIdent(), "fsStayOnTop");
    setWindowFlag(Qt::WindowStaysOnTopHint, stay_on_top_);
  });
  list.Add("Hint", [this](const FormValue& v) { setToolTip(ToQString(v.AsString())); });
  list.Add("Position", [this](const FormValue& v) { position_ = v.AsIdent(); });
  list.Add("Visible", [this](const FormValue& v) { visible_from_resource_ = v.AsBoolean(); });
  list.Add("OnCreate",
           [this](const FormValue& v) { OnCreate = MethodAs<TNotifyEvent>(v.AsIdent()); });
  list.Add("OnDestroy",
           [this](const FormValue& v) { OnDestroy = MethodAs<TNotifyEvent>(v.AsIdent()); });
  list.Add("OnShow", [this](const FormValue& v) { OnShow = MethodAs<TNotifyEvent>(v.AsIdent()); });
  list.Add("OnHide", [this](const FormValue& v) { OnHide = MethodAs<TNotifyEvent>(v.AsIdent()); });
  list.Add("OnCloseQuery",
           [this](const FormValue& v) { OnCloseQuery = MethodAs<TCloseQueryEvent>(v.AsIdent()); });
  AddIgnoredProperties(list,
                       {"OldCreateOrder", "PixelsPerInch", "TextHeight", "ShowHint", "Scaled"});
}

FormComponent* TForm::FindComponent(std::string_view name) {
  for (const auto& component : components_) {
    if (SameText1252(component->ComponentName(), name)) return component.get();
  }
  return nullptr;
}

FormComponent* TForm::CreateChild(std::string_view class_name, std::string_view name) {
  const auto it = Factories().find(class_name);
  if (it == Factories().end()) return nullptr;
  return Adopt(it->second(this, this, std::string(name)));
}

TComponentBase* TForm::Adopt(std::unique_ptr<TComponentBase> component) {
  components_.push_back(std::move(component));
  return components_.back().get();
}

void TForm::Loaded() {
  FormRoot::Loaded();
  if (client_width_ >= 0 || client_height_ >= 0) {
    resize(client_width_ >= 0 ? client_width_ : width(),
           client_height_ >= 0 ? client_height_ : height());
  }
  if (windowFlags() & Qt::MSWindowsFixedSizeDialogHint) setFixedSize(size());
}

void TForm::InitializeFromResources(FormMaking making) {
  const ResourceModule* language = CurrentResourceModule();
  const ResourceModule* own = ProgramResources();
  const std::vector<std::string> chain = ClassChain();
  bool found = false;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    std::optional<std::string> resource;
    if (language) resource = language->FindData(*it);
    if (!resource && own) resource = own->FindData(*it);
    if (!resource) continue;
    TReader(*resource).ReadRootComponent(*this);
    found = true;
  }
  if (!found) throw EReadError("Resource " + class_name_ + " not found");
  if (making == FormMaking::kOnTrial) return;
  if (OnCreate) Guarded(OnCreate, nullptr);
  if (visible_from_resource_) show();
}

std::string TForm::Caption() const {
  return FromQString(windowTitle());
}

void TForm::SetCaption(const std::string& caption) {
  setWindowTitle(ToQString(caption));
}

void TForm::SetColor(Color color) {
  color_ = color;
  QPalette p = palette();
  p.setColor(QPalette::Window, ToQColor(color));
  setPalette(p);
  setAutoFillBackground(true);
}

void TForm::ApplyPosition() {
  if (!SameText1252(position_, "poScreenCenter") && !SameText1252(position_, "poDesktopCenter") &&
      !SameText1252(position_, "poMainFormCenter")) {
    return;
  }
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) {
    ApplyPosition();
    if (OnShow) Guarded(OnShow, nullptr);
  }
}

void TForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous() && OnHide) Guarded(OnHide, nullptr);
}

void TForm::closeEvent(QCloseEvent* event) {
  bool can_close = true;
  if (OnCloseQuery) RunGuarded([&] { OnCloseQuery(nullptr, can_close); });
  if (can_close) {
    event->accept();
  } else {
    event->ignore();
  }
}

// ---- TLabel ----

TLabel::TLabel(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new ClickableLabel(parent)),
      label_(static_cast<QLabel*>(Widget())) {
  static_cast<ClickableLabel*>(label_)->clicked = [this] { Guarded(OnClick, this); };
  label_->setTextFormat(Qt::PlainText);
}

void TLabel::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Alignment", [this](const FormValue& v) {
    const std::string& a = v.AsIdent();
    label_->setAlignment((label_->alignment() & Qt::AlignVertical_Mask) |
                         (SameText1252(a, "taCenter")         ? Qt::AlignHCenter
                          : SameText1252(a, "taRightJustify") ? Qt::AlignRight
                                                              : Qt::AlignLeft));
  });
  list.Add("Caption", [this](const FormValue& v) { SetCaption(v.AsString()); });
  list.Add("Layout", [this](const FormValue& v) {
    const std::string& l = v.AsIdent();
    label_->setAlignment((label_->alignment() & Qt::AlignHorizontal_Mask) |
                         (SameText1252(l, "tlCenter")   ? Qt::AlignVCenter
                          : SameText1252(l, "tlBottom") ? Qt::AlignBottom
                                                        : Qt::AlignTop));
  });
  list.Add("ShowAccelChar", [this](const FormValue& v) { SetShowAccelChar(v.AsBoolean()); });
  list.Add("Transparent", [this](const FormValue& v) { SetTransparent(v.AsBoolean()); });
  list.Add("WordWrap", [this](const FormValue& v) { label_->setWordWrap(v.AsBoolean()); });
  list.Add("OnClick", [this](const FormValue& v) { OnClick = Method<TNotifyEvent>(v); });
}

void TLabel::SetCaption(const std::string& caption) {
  caption_ = caption;
  Refresh();
}

void TLabel::SetShowAccelChar(bool show) {
  show_accel_char_ = show;
  Refresh();
}

void TLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  label_->setAutoFillBackground(!transparent);
}

void TLabel::Refresh() {
  // A label shows "&x" as x with the accelerator; "&&" as "&".
  QString text = ToQString(caption_);
  if (show_accel_char_) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (text[i] == '&' && i + 1 < text.size())
        ++i;
      else if (text[i] == '&')
        continue;
      shown += text[i];
    }
    text = shown;
  }
  label_->setText(text);
}

// ---- TButton ----

TButton::TButton(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QPushButton(parent)),
      button_(static_cast<QPushButton*>(Widget())) {
  QObject::connect(button_, &QPushButton::clicked, [this] { Guarded(OnClick, this); });
}

void TButton::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Caption", [this](const FormValue& v) { SetCaption(v.AsString()); });
  list.Add("Default", [this](const FormValue& v) { button_->setDefault(v.AsBoolean()); });
  list.Add("OnClick", [this](const FormValue& v) { OnClick = Method<TNotifyEvent>(v); });
  AddIgnoredProperties(list,
                       {"Cancel", "Kind", "ModalResult", "Glyph.Data", "NumGlyphs", "Layout"});
}

void TButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  button_->setText(ToQString(caption));
}

void TButton::Click() {
  button_->click();
}

std::unique_ptr<TComponentBase> MakeBitBtn(TForm* owner, QWidget* parent, const std::string& name) {
  auto button = std::make_unique<TButton>(owner, parent, name);
  button->kind_ = "TBitBtn";
  return button;
}

// ---- TCheckBox ----

TCheckBox::TCheckBox(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QCheckBox(parent)),
      box_(static_cast<QCheckBox*>(Widget())) {
  QObject::connect(box_, &QCheckBox::toggled, [this](bool) {
    if (!IsLoading()) Guarded(OnClick, this);
  });
}

void TCheckBox::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Caption", [this](const FormValue& v) { SetCaption(v.AsString()); });
  list.Add("Checked", [this](const FormValue& v) { SetChecked(v.AsBoolean()); });
  list.Add("State",
           [this](const FormValue& v) { SetChecked(SameText1252(v.AsIdent(), "cbChecked")); });
  list.Add("OnClick", [this](const FormValue& v) { OnClick = Method<TNotifyEvent>(v); });
  AddIgnoredProperties(list, {"Alignment", "AllowGrayed"});
}

bool TCheckBox::Checked() const {
  return box_->isChecked();
}

void TCheckBox::SetChecked(bool checked) {
  box_->setChecked(checked);
}

void TCheckBox::SetCaption(const std::string& caption) {
  box_->setText(ToQString(caption));
}

// ---- TComboBox ----

TComboBox::TComboBox(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QComboBox(parent)),
      combo_(static_cast<QComboBox*>(Widget())) {
  QObject::connect(combo_, &QComboBox::activated, [this](int) { Guarded(OnChange, this); });
}

void TComboBox::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Style", [this](const FormValue& v) {
    combo_->setEditable(!SameText1252(v.AsIdent(), "csDropDownList"));
  });
  list.Add("Items.Strings", [this](const FormValue& v) { SetItems(v.AsStrings()); });
  list.Add("ItemIndex", [this](const FormValue& v) { SetItemIndex(v.AsInteger()); });
  list.Add("Text", [this](const FormValue& v) {
    if (combo_->isEditable()) combo_->setEditText(ToQString(v.AsString()));
  });
  list.Add("OnChange", [this](const FormValue& v) { OnChange = Method<TNotifyEvent>(v); });
  AddIgnoredProperties(list, {"ItemHeight", "DropDownCount", "Sorted"});
}

std::vector<std::string> TComboBox::Items() const {
  std::vector<std::string> items;
  for (int i = 0; i < combo_->count(); ++i)
    items.push_back(FromQString(combo_->itemText(i)));
  return items;
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
  combo_->clear();
  for (const std::string& item : items)
    combo_->addItem(ToQString(item));
  combo_->setCurrentIndex(-1);
}

int TComboBox::ItemIndex() const {
  return combo_->currentIndex();
}

void TComboBox::SetItemIndex(int index) {
  combo_->setCurrentIndex(index >= 0 && index < combo_->count() ? index : -1);
}

std::string TComboBox::Text() const {
  return FromQString(combo_->currentText());
}

// ---- TMemo ----

TMemo::TMemo(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QPlainTextEdit(parent)),
      edit_(static_cast<QPlainTextEdit*>(Widget())) {
  // The user edited the text: the lines are what the widget shows now.
  QObject::connect(edit_, &QPlainTextEdit::textChanged, [this] {
    if (rendering_) return;
    const QString text = edit_->toPlainText();
    lines_.clear();
    if (text.isEmpty()) return;
    for (const QString& line : text.split('\n'))
      lines_.push_back(FromQString(line));
  });
}

void TMemo::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Lines.Strings", [this](const FormValue& v) { SetLines(v.AsStrings()); });
  list.Add("ReadOnly", [this](const FormValue& v) { SetReadOnly(v.AsBoolean()); });
  list.Add("ScrollBars", [this](const FormValue& v) {
    const std::string& bars = v.AsIdent();
    const bool vertical = SameText1252(bars, "ssVertical") || SameText1252(bars, "ssBoth");
    const bool horizontal = SameText1252(bars, "ssHorizontal") || SameText1252(bars, "ssBoth");
    edit_->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit_->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn
                                                   : Qt::ScrollBarAlwaysOff);
  });
  list.Add("WordWrap", [this](const FormValue& v) {
    edit_->setLineWrapMode(v.AsBoolean() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  });
  AddIgnoredProperties(list, {"MaxLength", "WantReturns", "WantTabs"});
}

std::vector<std::string> TMemo::Lines() const {
  return lines_;
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  lines_ = lines;
  Render();
}

int TMemo::Count() const {
  return static_cast<int>(lines_.size());
}

void TMemo::Add(const std::string& line) {
  lines_.push_back(line);
  const Rendering rendering(rendering_);
  edit_->appendPlainText(ToQString(line));
  if (lines_.size() == 1 && line.empty()) Render();  // an empty first line is no text yet
}

void TMemo::Delete(int index) {
  if (index < 0 || index >= Count()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  lines_.erase(lines_.begin() + index);
  Render();
}

void TMemo::Clear() {
  lines_.clear();
  const Rendering rendering(rendering_);
  edit_->clear();
}

void TMemo::Render() {
  QStringList list;
  for (const std::string& line : lines_)
    list << ToQString(line);
  const Rendering rendering(rendering_);
  edit_->setPlainText(list.join('\n'));
}

void TMemo::SetReadOnly(bool read_only) {
  edit_->setReadOnly(read_only);
}

// ---- TListBox ----

TListBox::TListBox(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QListWidget(parent)),
      list_(static_cast<QListWidget*>(Widget())) {}

void TListBox::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Items.Strings", [this](const FormValue& v) {
    Clear();
    for (const std::string& item : v.AsStrings())
      Add(item);
  });
  AddIgnoredProperties(list, {"ItemHeight", "Sorted"});
}

std::vector<std::string> TListBox::Items() const {
  std::vector<std::string> items;
  for (int i = 0; i < list_->count(); ++i)
    items.push_back(FromQString(list_->item(i)->text()));
  return items;
}

int TListBox::Count() const {
  return list_->count();
}

void TListBox::Add(const std::string& item) {
  list_->addItem(ToQString(item));
}

void TListBox::Delete(int index) {
  if (index < 0 || index >= list_->count()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  delete list_->takeItem(index);
}

void TListBox::Clear() {
  list_->clear();
}

// ---- TGroupBox ----

TGroupBox::TGroupBox(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new ClickableGroupBox(parent)),
      group_(static_cast<QGroupBox*>(Widget())) {
  static_cast<ClickableGroupBox*>(group_)->clicked = [this] { Guarded(OnClick, this); };
}

void TGroupBox::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Caption", [this](const FormValue& v) { SetCaption(v.AsString()); });
  list.Add("OnClick", [this](const FormValue& v) { OnClick = Method<TNotifyEvent>(v); });
}

FormComponent* TGroupBox::CreateChild(std::string_view class_name, std::string_view name) {
  const auto it = Factories().find(class_name);
  if (it == Factories().end() || !Owner()) return nullptr;
  return Owner()->Adopt(it->second(Owner(), group_, std::string(name)));
}

void TGroupBox::SetCaption(const std::string& caption) {
  group_->setTitle(ToQString(caption));
}

// ---- TEdit ----

TEdit::TEdit(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QLineEdit(parent)),
      edit_(static_cast<QLineEdit*>(Widget())) {
  QObject::connect(edit_, &QLineEdit::textChanged, [this](const QString&) {
    if (!IsLoading()) Guarded(OnChange, this);
  });
}

void TEdit::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Text", [this](const FormValue& v) { SetText(v.AsString()); });
  list.Add("MaxLength", [this](const FormValue& v) {
    const int n = v.AsInteger();
    edit_->setMaxLength(n > 0 ? n : 32767);
  });
  list.Add("ReadOnly", [this](const FormValue& v) { edit_->setReadOnly(v.AsBoolean()); });
  list.Add("OnChange", [this](const FormValue& v) { OnChange = Method<TNotifyEvent>(v); });
}

std::string TEdit::Text() const {
  return FromQString(edit_->text());
}

void TEdit::SetText(const std::string& text) {
  edit_->setText(ToQString(text));
}

// ---- TSpinEdit ----

TSpinEdit::TSpinEdit(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QSpinBox(parent)),
      spin_(static_cast<QSpinBox*>(Widget())) {
  spin_->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  QObject::connect(spin_, &QSpinBox::valueChanged, [this](int) {
    if (!IsLoading()) Guarded(OnChange, this);
  });
}

void TSpinEdit::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("MaxValue", [this](const FormValue& v) { max_ = v.AsInteger(); });
  list.Add("MinValue", [this](const FormValue& v) { min_ = v.AsInteger(); });
  list.Add("Value", [this](const FormValue& v) { value_ = v.AsInteger(); });
  list.Add("OnChange", [this](const FormValue& v) { OnChange = Method<TNotifyEvent>(v); });
}

void TSpinEdit::Loaded() {
  TControl::Loaded();
  if (min_ == 0 && max_ == 0) {
    spin_->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  } else {
    spin_->setRange(min_, max_);
  }
  spin_->setValue(value_);
}

int TSpinEdit::Value() const {
  return spin_->value();
}

void TSpinEdit::SetValue(int value) {
  spin_->setValue(value);
}

// ---- TRadioGroup ----

TRadioGroup::TRadioGroup(TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QGroupBox(parent)),
      group_(static_cast<QGroupBox*>(Widget())),
      buttons_(new QButtonGroup(group_)) {
  new QGridLayout(group_);
  QObject::connect(buttons_, &QButtonGroup::idClicked, [this](int id) {
    index_ = id;
    Guarded(OnClick, this);
  });
}

void TRadioGroup::DefineProperties(PropertyList& list) {
  TControl::DefineProperties(list);
  list.Add("Caption", [this](const FormValue& v) { group_->setTitle(ToQString(v.AsString())); });
  list.Add("Columns", [this](const FormValue& v) { columns_ = std::max(v.AsInteger(), 1); });
  list.Add("ItemIndex", [this](const FormValue& v) { index_ = v.AsInteger(); });
  list.Add("Items.Strings", [this](const FormValue& v) { items_ = v.AsStrings(); });
  list.Add("OnClick", [this](const FormValue& v) { OnClick = Method<TNotifyEvent>(v); });
}

void TRadioGroup::Loaded() {
  TControl::Loaded();
  Rebuild();
}

void TRadioGroup::SetItemIndex(int index) {
  index_ = index;
  if (QAbstractButton* button = buttons_->button(index)) {
    button->setChecked(true);
  } else if (QAbstractButton* checked = buttons_->checkedButton()) {
    buttons_->setExclusive(false);
    checked->setChecked(false);
    buttons_->setExclusive(true);
  }
}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  Rebuild();
}

void TRadioGroup::Rebuild() {
  for (QAbstractButton* button : buttons_->buttons()) {
    buttons_->removeButton(button);
    delete button;
  }
  auto* layout = static_cast<QGridLayout*>(group_->layout());
  const int rows = (static_cast<int>(items_.size()) + columns_ - 1) / columns_;
  for (size_t i = 0; i < items_.size(); ++i) {
    auto* button = new QRadioButton(ToQString(items_[i]), group_);
    buttons_->addButton(button, static_cast<int>(i));
    const int index = static_cast<int>(i);
    layout->addWidget(button, rows ? index % rows : 0, rows ? index / rows : 0);
  }
  SetItemIndex(index_);
}

// ---- TPaintedControl ----

class PaintedWidget : public QWidget {
 public:
  PaintedWidget(QWidget* parent, TPaintedControl* control) : QWidget(parent), control_(control) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!control_->paint_) return;
    QPainter painter(this);
    QtCanvas canvas(painter, logicalDpiY() > 0 ? logicalDpiY() : 96);
    const Rect client{0, 0, width(), height()};
    RunGuarded([&] { control_->paint_(canvas, client); });
  }
  void mousePressEvent(QMouseEvent*) override { Guarded(control_->OnClick, control_); }

 private:
  TPaintedControl* control_;
};

TPaintedControl::TPaintedControl(TForm* owner, QWidget* parent, std::string name,
                                 std::string class_name)
    : TControl(owner, std::move(name), new PaintedWidget(parent, this)),
      class_name_(std::move(class_name)) {}

void TPaintedControl::Invalidate() {
  Widget()->update();
}

// ---- the class registry ----

namespace {

template <typename T>
ComponentFactory Factory() {
  return [](TForm* owner, QWidget* parent, const std::string& name) {
    return std::make_unique<T>(owner, parent, name);
  };
}

std::map<std::string, ComponentFactory, std::less<>>& Factories() {
  static std::map<std::string, ComponentFactory, std::less<>> factories = {
      {"TLabel", Factory<TLabel>()},
      {"TButton", Factory<TButton>()},
      {"TBitBtn", MakeBitBtn},
      {"TCheckBox", Factory<TCheckBox>()},
      {"TComboBox", Factory<TComboBox>()},
      {"TMemo", Factory<TMemo>()},
      {"TListBox", Factory<TListBox>()},
      {"TGroupBox", Factory<TGroupBox>()},
      {"TEdit", Factory<TEdit>()},
      {"TSpinEdit", Factory<TSpinEdit>()},
      {"TRadioGroup", Factory<TRadioGroup>()},
      {"TServerSocket",
       [](TForm* owner, QWidget*, const std::string& name) -> std::unique_ptr<TComponentBase> {
         return std::make_unique<TServerSocket>(owner, name);
       }},
      {"TClientSocket",
       [](TForm* owner, QWidget*, const std::string& name) -> std::unique_ptr<TComponentBase> {
         return std::make_unique<TClientSocket>(owner, name);
       }},
      {"TTimer",
       [](TForm* owner, QWidget*, const std::string& name) -> std::unique_ptr<TComponentBase> {
         return std::make_unique<TTimer>(owner, name);
       }},
  };
  return factories;
}

}  // namespace

}  // namespace platform::qt
