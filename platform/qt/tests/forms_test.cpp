#include "platform/qt/forms.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QResource>

#include "platform/qt/event_loop.h"
#include "platform/qt/resources_qt.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/qt/timer.h"
#include "platform/resources.h"

namespace platform::qt {
namespace {

class TestWindow : public TForm {
 public:
  explicit TestWindow(FormMaking making = FormMaking::kForUse) : TForm("TTestWindow") {
    RegisterMethod("FormCreate", TNotifyEvent([this](TComponentBase*) {
                     created_with_timer = Find<TTimer>("Timer1") != nullptr;
                   }));
    RegisterMethod("Timer1Timer", TNotifyEvent([this](TComponentBase*) { ++ticks; }));
    RegisterMethod("Check1Click", TNotifyEvent([this](TComponentBase*) { ++clicks; }));
    InitializeFromResources(making);
  }
  std::vector<std::string> ClassChain() const override { return {"TTestWindow", "TTestBase"}; }
  bool created_with_timer = false;
  int ticks = 0;
  int clicks = 0;
};

TEST(FormsTest, AWindowIsBuiltFromItsFormResources) {
  TestWindow window;
  EXPECT_TRUE(window.created_with_timer);
  EXPECT_EQ(window.Caption(), "Test &window");
  EXPECT_EQ(window.size(), QSize(300, 200));
  EXPECT_TRUE(window.StayOnTop());
  EXPECT_EQ(window.GetColor(), kClAqua);
  TLabel* label = window.Find<TLabel>("Label1");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Caption(), "A&B");
  EXPECT_EQ(static_cast<QLabel*>(label->Widget())->text(), "AB");  // the accelerator mark hidden
  label->SetShowAccelChar(false);
  EXPECT_EQ(static_cast<QLabel*>(label->Widget())->text(), "A&B");  // shown as it is
  EXPECT_EQ(label->GetFont().weight, kFwBold);
  EXPECT_EQ(label->BoundsRect(), (Rect{8, 8, 208, 24}));
  // Loading set the check box without a click; a change by code clicks.
  TCheckBox* check = window.Find<TCheckBox>("Check1");
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(window.clicks, 0);
  check->SetChecked(false);
  EXPECT_EQ(window.clicks, 1);
  // A component of a group box belongs to the window.
  TComboBox* combo = window.Find<TComboBox>("Combo1");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Items(), (std::vector<std::string>{"Disabled", "COM1"}));
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Widget()->parentWidget(), window.Find<TGroupBox>("Group1")->Widget());
  TMemo* memo = window.Find<TMemo>("Memo1");
  ASSERT_NE(memo, nullptr);
  EXPECT_FALSE(memo->Visible());
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"first", "second"}));
  memo->Delete(0);
  memo->Add("third");
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"second", "third"}));
  memo->Clear();
  EXPECT_EQ(memo->Count(), 0);
  memo->Add("");
  EXPECT_EQ(memo->Count(), 1);
  EXPECT_THROW(memo->Delete(5), EListError);
  TTimer* timer = window.Find<TTimer>("Timer1");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Interval(), 500u);
  EXPECT_FALSE(timer->Enabled());
}

TEST(FormsTest, AComponentTheCodeRequiresIsThereOrTheWindowDoesNotFit) {
  TestWindow window;
  EXPECT_EQ(window.Required<TLabel>("label1"), window.Find<TLabel>("Label1"));  // without case
  for (const char* name : {"Label9", "Check1"}) {  // none, and one of another type
    try {
      window.Required<TLabel>(name);
      ADD_FAILURE() << name;
    } catch (const EReadError& error) {
      EXPECT_EQ(error.Message(), std::string("Component ") + name + " not found");
    }
  }
}

TEST(FormsTest, WhatTheUserTypesIntoAMemoBecomesItsLines) {
  TestWindow window;
  TMemo* memo = window.Find<TMemo>("Memo1");
  ASSERT_NE(memo, nullptr);
  auto* edit = static_cast<QPlainTextEdit*>(memo->Widget());
  edit->setPlainText("one\ntwo");
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"one", "two"}));
  edit->moveCursor(QTextCursor::End);
  edit->insertPlainText("\nthree\xC3\xA5");  // U+00E5 is 0xE5 in Windows-1252
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"one", "two", "three\xE5"}));
  edit->clear();
  EXPECT_EQ(memo->Count(), 0);
  // Changes made through the memo keep their lines exactly, an empty one too.
  memo->Add("");
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{""}));
  memo->SetLines({"a", "", "b"});
  EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"a", "", "b"}));
}

TEST(FormsTest, ResourceStringsAndDataComeFromTheProgramsResources) {
  constexpr ResourceString kHello{"Test.SHello", "Program's hello"};
  constexpr ResourceString kLines{"Test.SLines", ""};
  constexpr ResourceString kMissing{"Test.SMissing", "Own text"};
  // Resource strings come from a module; the program's own table is one too.
  SetResourceModule(std::make_unique<QtResourceModule>(":/qor"));
  EXPECT_EQ(LoadResString(kHello), "Hello");
  EXPECT_EQ(LoadResString(kLines), "one\r\ntwo");
  EXPECT_EQ(LoadResString(kMissing), "Own text");
  SetResourceModule(nullptr);
  EXPECT_EQ(LoadResourceData("DEFAULT"), std::string("\xF1\x03\x00\x01", 4));
  EXPECT_FALSE(LoadResourceData("NOTHING"));
  EXPECT_FALSE(LoadResourceData("../strings.txt"));
}

TEST(FormsTest, AWindowWithoutAResourceCannotBeMade) {
  TForm window("TNoSuchWindow");
  try {
    window.InitializeFromResources();
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Resource TNoSuchWindow not found");
  }
}

// A window made on trial reads its resources, with their errors, and nothing more.
TEST(FormsTest, AWindowMadeOnTrialOnlyReadsItsResources) {
  {
    TestWindow window(FormMaking::kOnTrial);
    EXPECT_FALSE(window.created_with_timer);  // no OnCreate
    EXPECT_EQ(window.Caption(), "Test &window");
    EXPECT_NE(window.Find<TTimer>("Timer1"), nullptr);
    EXPECT_FALSE(window.isVisible());
  }
  class Damaged : public ResourceModule {
   public:
    std::optional<std::string> FindString(std::string_view) const override { return std::nullopt; }
    std::optional<std::string> FindData(std::string_view name) const override {
      if (name != "TTestWindow") return std::nullopt;
      return "object TestWindow: TTestWindow\n  object Bogus1: TBogusClass\n  end\nend\n";
    }
  };
  SetResourceModule(std::make_unique<Damaged>());
  const size_t windows = ScreenForms().size();
  for (const FormMaking making : {FormMaking::kForUse, FormMaking::kOnTrial}) {
    try {
      TestWindow window(making);
      ADD_FAILURE() << "a window with an unknown class was made";
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), "Class TBogusClass not found");
    }
    EXPECT_EQ(ScreenForms().size(), windows);
  }
  SetResourceModule(nullptr);
}

TEST(FormsTest, ALanguageModuleFileSuppliesTextsAndForms) {
  const std::string module = std::string(QOR_TEST_MODULE_DIR) + "/test.SVE";
  std::unique_ptr<ResourceModule> loaded = LoadQtModuleFile(module);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->FindString("Test.SHello"), "Hej");
  ASSERT_TRUE(loaded->FindData("TTestWindow"));
  SetResourceModule(std::move(loaded));
  {
    TestWindow window;
    EXPECT_EQ(window.Caption(), "Testf\xF6nster");
    EXPECT_EQ(window.Find<TLabel>("Label1")->Caption(), "Fr\xE5n basen");
  }
  SetResourceModule(nullptr);
  EXPECT_EQ(LoadQtModuleFile(std::string(QOR_TEST_MODULE_DIR) + "/none.SVE"), nullptr);
}

TEST(FormsTest, CloseQueryDecidesAndHandlersRunThroughTheHook) {
  std::vector<std::string> hooked;
  SetExceptionHook([&](const std::exception& e) { hooked.push_back(e.what()); });
  TestWindow window;
  bool allow = false;
  window.OnCloseQuery = [&](TComponentBase*, bool& can_close) { can_close = allow; };
  window.show();
  window.Close();
  EXPECT_TRUE(window.isVisible());
  allow = true;
  window.Close();
  EXPECT_FALSE(window.isVisible());
  window.OnShow = [](TComponentBase*) { throw Exception("in OnShow"); };
  window.show();
  SetExceptionHook(nullptr);
  EXPECT_EQ(hooked, (std::vector<std::string>{"in OnShow"}));
}

}  // namespace
}  // namespace platform::qt
