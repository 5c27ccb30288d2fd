// Form resources: a window's components and their published properties, in a text
// format modelled on the toolkit's text form files.
//
//   // A comment runs to the end of the line.
//   object Form1: TForm1
//     Caption = 'ABL Data Input Module'
//     ClientWidth = 688
//     Color = clBtnFace
//     Anchors = [akLeft, akTop]
//     Hint = 'First line'#13#10'second line'
//     ComSel.Items.Strings = (
//       'Disabled'
//       'COM1')
//     object BitBtn1: TBitBtn
//       Caption = '&Close'
//       OnClick = BitBtn1Click
//     end
//   end
//
// Values: integers (decimal, or hexadecimal after "$"), decimal fractions,
// 'quoted' texts ('' for a quote) joined with #nnn character codes and "+" across
// lines, identifiers (True, clRed, method names), sets [a, b], lists of texts
// ( 'a' 'b' ) and binary data {hex digits}. An object may start with "inherited"
// (it updates a component of an ancestor form) or "inline". The file is UTF-8; texts
// are Windows-1252 in memory, and #nnn names a Windows-1252 byte.
//
// Parsing checks everything it reads and raises EParserError "<what> on line <n>"
// for anything else: truncated text, stray characters, numbers out of range, nesting
// deeper than kMaxFormDepth.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

class EParserError : public Exception {
 public:
  using Exception::Exception;
};

namespace platform {

constexpr int kMaxFormDepth = 64;

struct FormValue {
  enum class Kind : uint8_t { kInteger, kFloat, kString, kIdent, kSet, kStrings, kBinary };
  Kind kind = Kind::kInteger;
  int64_t integer = 0;
  double number = 0;
  std::string text;                // kString (Windows-1252), kIdent, kBinary (the bytes)
  std::vector<std::string> items;  // kSet (identifiers), kStrings (texts)

  // Conversions for property setters; each raises EReadError "Invalid property
  // value" when the value is not of that kind.
  std::string AsString() const;                       // a text
  int32_t AsInteger() const;                          // an integer within 32 bits
  double AsFloat() const;                             // a number
  bool AsBoolean() const;                             // True or False, without case
  const std::string& AsIdent() const;                 // an identifier
  const std::vector<std::string>& AsStrings() const;  // a list of texts
  const std::vector<std::string>& AsSet() const;      // a set
  friend bool operator==(const FormValue&, const FormValue&) = default;
};

struct FormProperty {
  std::string name;  // dotted for a property of a property: "Font.Name"
  FormValue value;
  int line = 0;
  friend bool operator==(const FormProperty&, const FormProperty&) = default;
};

struct FormObject {
  enum class Prefix : uint8_t { kObject, kInherited, kInline };
  Prefix prefix = Prefix::kObject;
  std::string name;
  std::string class_name;
  int child_position = -1;  // "[n]" after the class; -1 without
  std::vector<FormProperty> properties;
  std::vector<FormObject> children;
  int line = 0;
};

// Parses a whole form resource: exactly one object, then nothing but blanks.
FormObject ParseFormResource(std::string_view text);

}  // namespace platform
