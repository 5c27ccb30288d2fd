#include "platform/form_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace {

// A journal shared by the test components: what happened, in order.
using Journal = std::vector<std::string>;

class TestComponent : public FormComponent {
 public:
  TestComponent(std::string class_name, std::string name, Journal& journal, class TestForm* owner)
      : class_name_(std::move(class_name)),
        name_(std::move(name)),
        journal_(journal),
        owner_(owner) {}

  std::string FormClassName() const override { return class_name_; }
  std::string ComponentName() const override { return name_; }
  void SetComponentName(const std::string& name) override { name_ = name; }
  void DefineProperties(PropertyList& list) override {
    list.Add("Interval", [this](const FormValue& v) { Note("Interval", v.AsInteger()); });
    list.Add("Enabled", [this](const FormValue& v) { Note("Enabled", v.AsBoolean()); });
    list.Add("Caption", [this](const FormValue& v) {
      caption = v.AsString();
      journal_.push_back(name_ + ".Caption=" + caption);
    });
    list.Add("OnClick", [this](const FormValue& v) { Bind(v); });
  }
  void BeginLoading() override {
    FormComponent::BeginLoading();
    journal_.push_back(name_ + " loading");
  }
  void Loaded() override {
    FormComponent::Loaded();
    journal_.push_back(name_ + " Loaded");
  }
  FormComponent* CreateChild(std::string_view class_name, std::string_view name) override;

  std::string caption;
  std::function<void()> on_click;

 private:
  template <typename T>
  void Note(const char* what, T value) {
    journal_.push_back(name_ + "." + what + "=" + std::to_string(value) +
                       (IsLoading() ? " (loading)" : ""));
  }
  void Bind(const FormValue& v);

  std::string class_name_;
  std::string name_;
  Journal& journal_;
  TestForm* owner_;
};

class TestForm : public FormRoot {
 public:
  explicit TestForm(Journal& journal) : journal_(journal) {
    components_.push_back(std::make_unique<TestComponent>("TTimer", "Timer1", journal, this));
    RegisterMethod("Button1Click", std::function<void()>([this] { ++clicks; }));
    RegisterMethod("WrongType", std::function<void(int)>([](int) {}));
  }
  std::string FormClassName() const override { return "TTestForm"; }
  std::string ComponentName() const override { return name_; }
  void SetComponentName(const std::string& name) override { name_ = name; }
  void DefineProperties(PropertyList& list) override {
    list.Add("Caption", [this](const FormValue& v) {
      caption = v.AsString();
      journal_.push_back("form.Caption=" + caption);
    });
  }
  void BeginLoading() override {
    FormRoot::BeginLoading();
    journal_.push_back("form loading");
  }
  void Loaded() override {
    FormRoot::Loaded();
    journal_.push_back("form Loaded");
  }
  FormComponent* FindComponent(std::string_view name) override {
    for (auto& component : components_) {
      if (component->ComponentName() == name) return component.get();
    }
    return nullptr;
  }
  FormComponent* CreateChild(std::string_view class_name, std::string_view name) override {
    if (class_name != "TButton") return nullptr;
    components_.push_back(std::make_unique<TestComponent>(std::string(class_name),
                                                          std::string(name), journal_, this));
    journal_.push_back("created " + std::string(name));
    return components_.back().get();
  }
  TestComponent* Get(std::string_view name) {
    return static_cast<TestComponent*>(FindComponent(name));
  }

  std::string caption;
  int clicks = 0;
  std::vector<std::unique_ptr<TestComponent>> components_;

 private:
  Journal& journal_;
  std::string name_;
};

FormComponent* TestComponent::CreateChild(std::string_view class_name, std::string_view name) {
  return owner_->CreateChild(class_name, name);
}

void TestComponent::Bind(const FormValue& v) {
  on_click = owner_->MethodAs<std::function<void()>>(v.AsIdent());
}

// Marks every object inherited, as the language manager's reader does.
class InheritingReader : public TReader {
 public:
  using TReader::TReader;

 protected:
  void ReadPrefix(FilerFlags& flags, int& child_pos) override {
    TReader::ReadPrefix(flags, child_pos);
    flags |= ffInherited;
  }
};

TEST(FormReaderTest, PropertiesInPublishedOrderThenLoadedInReadingOrder) {
  Journal journal;
  TestForm form(journal);
  TReader reader(
      "object Form1: TTestForm\n"
      "  Caption = 'Main'\n"
      "  object Timer1: TTimer\n"
      "    Enabled = False\n"
      "    Interval = 500\n"
      "  end\n"
      "  object Button1: TButton\n"
      "    OnClick = Button1Click\n"
      "    Caption = '&Close'\n"
      "  end\n"
      "end\n");
  reader.ReadRootComponent(form);
  EXPECT_EQ(journal, (Journal{"form loading", "form.Caption=Main", "Timer1 loading",
                              "Timer1.Interval=500 (loading)", "Timer1.Enabled=0 (loading)",
                              "created Button1", "Button1 loading", "Button1.Caption=&Close",
                              "form Loaded", "Timer1 Loaded", "Button1 Loaded"}));
  EXPECT_EQ(form.ComponentName(), "Form1");
  ASSERT_NE(form.Get("Button1"), nullptr);
  form.Get("Button1")->on_click();
  EXPECT_EQ(form.clicks, 1);
  EXPECT_FALSE(form.IsLoading());
  EXPECT_FALSE(form.Get("Timer1")->IsLoading());
}

TEST(FormReaderTest, InheritedReadingUpdatesComponentsInPlace) {
  Journal journal;
  TestForm form(journal);
  TReader("object Form1: TTestForm\n object Button1: TButton\n Caption = 'a'\n end\nend")
      .ReadRootComponent(form);
  TestComponent* button = form.Get("Button1");
  InheritingReader(
      "object Form1: TTestForm\n Caption = 'Huvud'\n object Button1: TButton\n"
      " Caption = '&St\xC3\xA4ng'\n end\nend")
      .ReadRootComponent(form);
  EXPECT_EQ(form.Get("Button1"), button);
  EXPECT_EQ(button->caption, "&St\xE4ng");
  EXPECT_EQ(form.caption, "Huvud");
  EXPECT_EQ(form.components_.size(), 2u);
  // An inherited object needs its component.
  try {
    InheritingReader("object Form1: TTestForm\n object Nothing: TButton\n end\nend")
        .ReadRootComponent(form);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Ancestor for 'Nothing' not found");
  }
}

TEST(FormReaderTest, ErrorsNameWhatIsWrongAndEndTheLoadingState) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"object F: TTestForm\n Width = 3\nend", "Property Width does not exist"},
      {"object F: TTestForm\n object T: TEdit\n end\nend", "Class TEdit not found"},
      {"object F: TTestForm\n object Timer1: TTimer\n Interval = 'x'\n end\nend",
       "Invalid property value"},
      {"object F: TTestForm\n object B: TButton\n OnClick = Missing\n end\nend",
       "Invalid property value"},
      {"object F: TTestForm\n object B: TButton\n OnClick = WrongType\n end\nend",
       "Invalid property value"},
  };
  for (const Case& c : cases) {
    Journal journal;
    TestForm form(journal);
    try {
      TReader(c.text).ReadRootComponent(form);
      ADD_FAILURE() << c.text;
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
    EXPECT_FALSE(form.IsLoading());
    EXPECT_FALSE(form.Get("Timer1")->IsLoading());
    for (const std::string& line : journal)
      EXPECT_EQ(line.find("Loaded"), std::string::npos) << c.text;
  }
}

TEST(FormReaderTest, TheScreenListsOpenFormsInCreationOrder) {
  Journal journal;
  const size_t before = ScreenForms().size();
  auto first = std::make_unique<TestForm>(journal);
  auto second = std::make_unique<TestForm>(journal);
  ASSERT_EQ(ScreenForms().size(), before + 2);
  EXPECT_EQ(ScreenForms()[before], first.get());
  EXPECT_EQ(ScreenForms()[before + 1], second.get());
  first.reset();
  ASSERT_EQ(ScreenForms().size(), before + 1);
  EXPECT_EQ(ScreenForms()[before], second.get());
}

}  // namespace
}  // namespace platform
