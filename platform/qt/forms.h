// Windows and their controls, built from form resources (platform/form_reader.h).
//
// TForm is a top-level window and the root of its form resource. A program's window
// class derives from it, registers its event handlers by name, and calls
// InitializeFromResources() at the end of its constructor: the form resources of its
// class chain are read (oldest ancestor first, each from the language module when
// one is loaded and has it, else from the program's own resources), the components
// they name are created, set in their loading state, given their published
// properties and then Loaded; then OnCreate runs, and the window shows when the
// resource made it Visible. Components are owned by the window and freed with it.
//
// The controls are thin components over Qt widgets with the published properties
// the system's windows use. Texts are Windows-1252 and converted here. Captions of
// labels, buttons and check boxes show "&" as an accelerator prefix, as the
// toolkit's do; a label whose ShowAccelChar is False shows its text as it is (for
// texts built from data). Every event handler runs through the exception hook.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"
#include "platform/qt/component.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QButtonGroup;

namespace platform::qt {

using TCloseQueryEvent = std::function<void(TComponentBase* sender, bool& can_close)>;

// How a window is made from its resources. For use: they are read, OnCreate runs
// and the window shows when they make it Visible. On trial: they are only read,
// with the same errors, to learn whether they can be before the window is made
// for use (a language module is tried so); a window made on trial is dropped.
enum class FormMaking : uint8_t { kForUse, kOnTrial };

// Makes components of a class by name, for the objects of form resources that the
// window's code did not create. Factory(owner, parent widget, name).
using ComponentFactory = std::function<std::unique_ptr<TComponentBase>(
    TForm* owner, QWidget* parent, const std::string&)>;
void RegisterComponentClass(const std::string& class_name, ComponentFactory factory);
bool IsComponentClassRegistered(std::string_view class_name);

// For the property setters of components made outside this library: a colour as
// resources store it (clRed, clBtnFace, or a number); EReadError "Invalid property
// value" for anything else.
Color ColorFromForm(const FormValue& value);
// Adds the Font.* properties (Charset, Color, Height, Size, Name, Style): each
// takes the font from Get, changes the one field and hands it to Set.
void AddFontProperties(PropertyList& list, std::function<Font()> get,
                       std::function<void(const Font&)> set);
// Adds properties the component accepts and drops (designer state, and toolkit
// rules that mean nothing here); their values are still checked to be values.
void AddIgnoredProperties(PropertyList& list, std::initializer_list<const char*> names);

class TControl : public TComponentBase {
 public:
  TControl(TForm* owner, std::string name, QWidget* widget);
  ~TControl() override;

  void DefineProperties(PropertyList& list) override;
  QWidget* Widget() const { return widget_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const;
  void SetEnabled(bool enabled);
  Rect BoundsRect() const;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& font);
  Color GetColor() const { return color_; }
  void SetColor(Color color);

 protected:
  // Applies the font (face, height, style, colour) and the colour to the widget.
  virtual void ApplyLook();

 private:
  QPointer<QWidget> widget_;
  bool visible_ = true;
  std::string hint_;
  Font font_;
  Color color_ = kClBtnFace;
  bool own_color_ = false;
};

class TForm : public QWidget, public FormRoot {
  Q_OBJECT

 public:
  explicit TForm(std::string class_name, QWidget* parent = nullptr);
  ~TForm() override;

  std::string FormClassName() const override { return class_name_; }
  std::string ComponentName() const override { return name_; }
  void SetComponentName(const std::string& name) override { name_ = name; }
  void DefineProperties(PropertyList& list) override;
  FormComponent* FindComponent(std::string_view name) override;
  FormComponent* CreateChild(std::string_view class_name, std::string_view name) override;
  void Loaded() override;

  // Reads the form resources and runs OnCreate (see above); on trial only reads
  // them. EResNotFound-like EReadError "Resource <class> not found" when no class
  // of the chain has one.
  void InitializeFromResources(FormMaking making = FormMaking::kForUse);

  // The component of that name and type; nothing when there is none or it is of
  // another type.
  template <typename T>
  T* Find(std::string_view name) {
    return dynamic_cast<T*>(FindComponent(name));
  }
  // The component of that name and type, which the window's code cannot do
  // without: EReadError "Component <name> not found" when there is none or it is
  // of another type (a form resource that does not fit its window).
  template <typename T>
  T* Required(std::string_view name) {
    T* component = Find<T>(name);
    if (!component) throw EReadError("Component " + std::string(name) + " not found");
    return component;
  }
  // Takes a component made by code (or a factory) into the window's ownership.
  TComponentBase* Adopt(std::unique_ptr<TComponentBase> component);
  const std::vector<std::unique_ptr<TComponentBase>>& Components() const { return components_; }

  std::string Caption() const;
  void SetCaption(const std::string& caption);
  Color GetColor() const { return color_; }
  void SetColor(Color color);
  bool StayOnTop() const { return stay_on_top_; }

  // Closes the window as the toolkit does: OnCloseQuery decides; when it refuses,
  // the window stays.
  void Close() { close(); }

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplyPosition();

  std::string class_name_;
  std::string name_;
  std::vector<std::unique_ptr<TComponentBase>> components_;
  Color color_ = kClBtnFace;
  Font font_;
  std::string position_ = "poDesigned";
  bool stay_on_top_ = false;
  bool visible_from_resource_ = false;
  int32_t client_width_ = -1;
  int32_t client_height_ = -1;
};

class TLabel : public TControl {
 public:
  TLabel(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TLabel"; }
  void DefineProperties(PropertyList& list) override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  // False: "&" is shown as it is, not as an accelerator prefix.
  void SetShowAccelChar(bool show);
  void SetTransparent(bool transparent);
  TNotifyEvent OnClick;

 private:
  void Refresh();
  QLabel* label_;
  std::string caption_;
  bool show_accel_char_ = true;
  bool transparent_ = false;
};

class TButton : public TControl {
 public:
  TButton(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return kind_; }
  void DefineProperties(PropertyList& list) override;
  void SetCaption(const std::string& caption);
  const std::string& Caption() const { return caption_; }
  void Click();
  TNotifyEvent OnClick;

 private:
  friend std::unique_ptr<TComponentBase> MakeBitBtn(TForm*, QWidget*, const std::string&);
  QPushButton* button_;
  std::string caption_;
  std::string kind_ = "TButton";
};

class TCheckBox : public TControl {
 public:
  TCheckBox(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TCheckBox"; }
  void DefineProperties(PropertyList& list) override;
  bool Checked() const;
  // Changing the state runs OnClick, as the toolkit's check box does (not while
  // the component is being loaded).
  void SetChecked(bool checked);
  void SetCaption(const std::string& caption);
  TNotifyEvent OnClick;

 private:
  QCheckBox* box_;
};

// A list of texts with a selected index; Style csDropDownList (the only one the
// system uses) allows no typing.
class TComboBox : public TControl {
 public:
  TComboBox(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TComboBox"; }
  void DefineProperties(PropertyList& list) override;
  std::vector<std::string> Items() const;
  void SetItems(const std::vector<std::string>& items);
  int ItemIndex() const;
  // Selecting by code runs no OnChange, as with the toolkit.
  void SetItemIndex(int index);
  std::string Text() const;
  // Runs when the user picks an entry.
  TNotifyEvent OnChange;

 private:
  QComboBox* combo_;
};

// A multi-line text (the toolkit's memo), used as a list of lines. What the user
// types changes the lines (an empty text is no line at all).
class TMemo : public TControl {
 public:
  TMemo(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TMemo"; }
  void DefineProperties(PropertyList& list) override;
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
  int Count() const;
  void Add(const std::string& line);
  void Delete(int index);
  void Clear();
  void SetReadOnly(bool read_only);

 private:
  // Set while the code changes the widget's text, which is no edit of the user's.
  struct Rendering {
    explicit Rendering(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~Rendering() { flag_ = old_; }
    bool& flag_;
    bool old_;
  };
  void Render();
  QPlainTextEdit* edit_;
  std::vector<std::string> lines_;  // the lines; the widget shows them
  bool rendering_ = false;
};

class TListBox : public TControl {
 public:
  TListBox(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TListBox"; }
  void DefineProperties(PropertyList& list) override;
  std::vector<std::string> Items() const;
  int Count() const;
  void Add(const std::string& item);
  void Delete(int index);
  void Clear();

 private:
  QListWidget* list_;
};

class TGroupBox : public TControl {
 public:
  TGroupBox(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TGroupBox"; }
  void DefineProperties(PropertyList& list) override;
  FormComponent* CreateChild(std::string_view class_name, std::string_view name) override;
  void SetCaption(const std::string& caption);
  TNotifyEvent OnClick;

 private:
  QGroupBox* group_;
};

class TEdit : public TControl {
 public:
  TEdit(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TEdit"; }
  void DefineProperties(PropertyList& list) override;
  std::string Text() const;
  void SetText(const std::string& text);
  TNotifyEvent OnChange;

 protected:
  QLineEdit* edit_;
};

// A whole number field; MinValue and MaxValue both 0 mean no bounds.
class TSpinEdit : public TControl {
 public:
  TSpinEdit(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TSpinEdit"; }
  void DefineProperties(PropertyList& list) override;
  void Loaded() override;
  int Value() const;
  void SetValue(int value);
  TNotifyEvent OnChange;

 private:
  QSpinBox* spin_;
  int min_ = 0;
  int max_ = 0;
  int value_ = 0;
};

class TRadioGroup : public TControl {
 public:
  TRadioGroup(TForm* owner, QWidget* parent, std::string name);
  std::string FormClassName() const override { return "TRadioGroup"; }
  void DefineProperties(PropertyList& list) override;
  void Loaded() override;
  int ItemIndex() const { return index_; }
  void SetItemIndex(int index);
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);
  TNotifyEvent OnClick;

 private:
  void Rebuild();
  QGroupBox* group_;
  QButtonGroup* buttons_;
  std::vector<std::string> items_;
  int index_ = -1;
  int columns_ = 1;
};

// A control drawn through the canvas interface by a paint handler: the host of
// the system's own painted controls (the caption label).
class TPaintedControl : public TControl {
 public:
  using PaintHandler = std::function<void(Canvas& canvas, const Rect& client)>;
  TPaintedControl(TForm* owner, QWidget* parent, std::string name, std::string class_name);
  std::string FormClassName() const override { return class_name_; }
  void SetPaintHandler(PaintHandler paint) { paint_ = std::move(paint); }
  // Asks for a repaint.
  void Invalidate();
  TNotifyEvent OnClick;

 private:
  friend class PaintedWidget;
  std::string class_name_;
  PaintHandler paint_;
};

}  // namespace platform::qt
