#include "platform/form_resource.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

std::string ParseError(std::string_view text) {
  try {
    ParseFormResource(text);
  } catch (const EParserError& e) {
    return e.what();
  }
  return "(parsed)";
}

TEST(FormResourceTest, ValuesAsWritten) {
  const FormObject form = ParseFormResource(
      "object Form1: TForm1 [2]\n"
      "  Caption = 'It''s '#13#10'two' +\n"
      "    ' lines'\n"
      "  Left = -12\n"
      "  Color = $FFFFFFFF\n"
      "  Scale = 1.5E2\n"
      "  Visible = True\n"
      "  Anchors = [akLeft, akTop]\n"
      "  Empty = []\n"
      "  ComSel.Items.Strings = (\n"
      "    'Disabled'\n"
      "    'COM1' 'COM2')\n"
      "  Data = {0A ff\n 00}\n"
      "  Umlaut = '\xC3\xB6'#246\n"
      "  inherited Button1: TButton\n"
      "    OnClick = Button1Click\n"
      "  end\n"
      "  object TTimer\n"
      "  end\n"
      "end\n");
  EXPECT_EQ(form.name, "Form1");
  EXPECT_EQ(form.class_name, "TForm1");
  EXPECT_EQ(form.child_position, 2);
  ASSERT_EQ(form.properties.size(), 10u);
  const auto& p = form.properties;
  EXPECT_EQ(p[0].value.AsString(), "It's \r\ntwo lines");
  EXPECT_EQ(p[1].value.AsInteger(), -12);
  EXPECT_EQ(p[2].value.AsInteger(), -1);
  EXPECT_DOUBLE_EQ(p[3].value.AsFloat(), 150);
  EXPECT_TRUE(p[4].value.AsBoolean());
  EXPECT_EQ(p[5].value.AsSet(), (std::vector<std::string>{"akLeft", "akTop"}));
  EXPECT_TRUE(p[6].value.AsSet().empty());
  EXPECT_EQ(p[7].name, "ComSel.Items.Strings");
  EXPECT_EQ(p[7].value.AsStrings(), (std::vector<std::string>{"Disabled", "COM1", "COM2"}));
  EXPECT_EQ(p[8].value.kind, FormValue::Kind::kBinary);
  EXPECT_EQ(p[8].value.text, std::string("\x0A\xFF\x00", 3));
  EXPECT_EQ(p[9].value.AsString(), "\xF6\xF6");
  EXPECT_EQ(p[9].line, 15);
  ASSERT_EQ(form.children.size(), 2u);
  EXPECT_EQ(form.children[0].prefix, FormObject::Prefix::kInherited);
  EXPECT_EQ(form.children[0].properties[0].value.AsIdent(), "Button1Click");
  EXPECT_EQ(form.children[1].name, "");
  EXPECT_EQ(form.children[1].class_name, "TTimer");
}

TEST(FormResourceTest, ConversionsRefuseOtherKinds) {
  const FormObject form = ParseFormResource("object F: T\n A = 1\n B = 'x'\n C = 5000000000\nend");
  EXPECT_THROW(form.properties[0].value.AsString(), EReadError);
  EXPECT_THROW(form.properties[1].value.AsInteger(), EReadError);
  EXPECT_THROW(form.properties[1].value.AsBoolean(), EReadError);
  EXPECT_THROW(form.properties[2].value.AsInteger(), EReadError);
  EXPECT_DOUBLE_EQ(form.properties[0].value.AsFloat(), 1);
}

TEST(FormResourceTest, BadTextRaisesTheParserErrorWithItsLine) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"", "Identifier expected on line 1"},
      {"thing F: T\nend", "'object' expected on line 1"},
      {"object F: T\n  A = 'open\nend", "Unterminated string on line 2"},
      {"object F: T\n  A = 1", "'end' expected on line 2"},
      {"object F: T\n  A 1\nend", "'=' expected on line 2"},
      {"object F: T\n  A = #300\nend", "Invalid string constant on line 2"},
      {"object F: T\n  A = {0}\nend", "Invalid binary value on line 2"},
      {"object F: T\n  A = {zz}\nend", "Invalid binary value on line 2"},
      {"object F: T\n  A = $100000000\nend", "Number expected on line 2"},
      {"object F: T\n  A = 99999999999999999999\nend", "Number expected on line 2"},
      {"object F: T\n  A = ('a' 1)\nend", "String expected on line 2"},
      {"object F: T\n  A = 'a' +\nend", "String expected on line 3"},
      {"object F: T\n  A = [a b]\nend", "',' expected on line 2"},
      {"object F: T\n  A = @\nend", "Invalid property value on line 2"},
      {"object F: T\nend\nobject G: T\nend", "End of file expected on line 3"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseError(c.text), c.message) << c.text;
  std::string deep;
  for (int i = 0; i < kMaxFormDepth + 1; ++i)
    deep += "object A: T\n";
  EXPECT_EQ(ParseError(deep),
            "Components nested too deeply on line " + std::to_string(kMaxFormDepth + 1));
}

// Objects nested Depth deep, each the only child of the one before.
std::string NestedObjects(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i)
    text += "object A: T\n";
  for (int i = 0; i < depth; ++i)
    text += "end\n";
  return text;
}

TEST(FormResourceTest, ComponentsNestUpToTheLimit) {
  const FormObject form = ParseFormResource(NestedObjects(kMaxFormDepth));
  int depth = 1;
  for (const FormObject* object = &form; !object->children.empty(); ++depth)
    object = &object->children[0];
  EXPECT_EQ(depth, kMaxFormDepth);
  EXPECT_EQ(ParseError(NestedObjects(kMaxFormDepth + 1)),
            "Components nested too deeply on line " + std::to_string(kMaxFormDepth + 1));
}

}  // namespace
}  // namespace platform
