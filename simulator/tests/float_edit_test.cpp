// The numeric edit field as a widget: typing through the filter, the order of the
// change notifications, the caret, and Value read and written.
#include "simulator/Carousel.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "platform/qt/tests/qt_app.h"

namespace {

class FloatEditTest : public ::testing::Test {
 protected:
  FloatEditTest() {
    platform_test::App();
    edit.OnChange = [this](platform::qt::TComponentBase*) { changes.push_back(edit.Text()); };
  }

  QLineEdit* Line() { return static_cast<QLineEdit*>(edit.Widget()); }
  // Types Keys one character at a time at the caret, as the keyboard does.
  void Type(const std::string& keys) {
    for (char key : keys)
      Line()->insert(QString(QChar(key)));
  }

  TFloatEdit edit{nullptr, nullptr, "feTest"};
  std::vector<std::string> changes;
};

TEST_F(FloatEditTest, TypingKeepsAnUnsignedDecimalNumber) {
  struct Case {
    std::string keys;
    std::string text;
  };
  const Case cases[] = {
      {"1,5", "1.5"}, {"1.2.3", "1.23"}, {"-7a", "7"},      {" 4 2 ", "42"},
      {",5", ".5"},   {"+1e-3", "13"},   {"1,2,3", "1.23"}, {"..", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    edit.SetText("");
    Type(c.keys);
    EXPECT_EQ(edit.Text(), c.text);
  }
}

TEST_F(FloatEditTest, TheInheritedNotificationRunsFirstThenTheFilteredTextNotifiesAgain) {
  Type("1");
  EXPECT_EQ(changes, (std::vector<std::string>{"1"}));
  changes.clear();
  Type(",");
  EXPECT_EQ(changes, (std::vector<std::string>{"1,", "1."}));
  changes.clear();
  Type("x");  // filtered back to the text it was
  EXPECT_EQ(changes, (std::vector<std::string>{"1.x", "1."}));
}

TEST_F(FloatEditTest, TheCaretGoesToTheEndAfterEachChange) {
  edit.SetText("123");
  Line()->setCursorPosition(1);
  Type("4");
  EXPECT_EQ(edit.Text(), "1423");
  EXPECT_EQ(Line()->cursorPosition(), 4);
  Line()->setCursorPosition(0);
  Type("-");
  EXPECT_EQ(edit.Text(), "1423");
  EXPECT_EQ(Line()->cursorPosition(), 4);
}

TEST_F(FloatEditTest, TextSetByCodeIsFilteredToo) {
  edit.SetText("-3,5 mmol");
  EXPECT_EQ(edit.Text(), "3.5");
}

TEST_F(FloatEditTest, ValueIsReadFromTheText) {
  edit.SetText("3.9");
  EXPECT_DOUBLE_EQ(edit.Value(), 3.9);
  {
    // A system whose separator is the comma reads the "." through the second try.
    platform::LocaleSettings comma;
    comma.decimal_separator = ',';
    platform::ScopedLocaleSettings pinned(comma);
    EXPECT_DOUBLE_EQ(edit.Value(), 3.9);
  }
  edit.SetText("");
  try {
    edit.Value();
    FAIL() << "an empty field has no value";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid floating point value");
  }
  edit.SetText(".");
  EXPECT_THROW(edit.Value(), EConvertError);
}

TEST_F(FloatEditTest, ValueIsWrittenInFixedNotationWithAPoint) {
  platform::LocaleSettings comma;
  comma.decimal_separator = ',';
  platform::ScopedLocaleSettings pinned(comma);
  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {3.9, "3.9"}, {21, "21"}, {1e-6, "0.000001"}, {1.5e20, "150000000000000000000"}, {0, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    edit.SetValue(c.value);
    EXPECT_EQ(edit.Text(), c.text);
    EXPECT_DOUBLE_EQ(edit.Value(), c.value);
  }
  // What the field cannot show leaves the text as it was, and raises nothing.
  edit.SetText("7.62");
  for (double value :
       {-1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_NO_THROW(edit.SetValue(value));
    EXPECT_EQ(edit.Text(), "7.62");
  }
}

TEST_F(FloatEditTest, AboutIsTheFieldsVersion) {
  EXPECT_EQ(edit.About(), "v1.0, 990523");
}

}  // namespace
