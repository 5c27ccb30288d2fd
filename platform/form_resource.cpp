#include "platform/form_resource.h"

#include <charconv>
#include <limits>

#include "platform/text_1252.h"

namespace platform {
namespace {

[[noreturn]] void InvalidValue() {
  throw EReadError("Invalid property value");
}

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentChar(char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
  }

  FormObject ParseRoot() {
    SkipBlanks();
    FormObject root = ParseObject(0);
    SkipBlanks();
    if (pos_ < text_.size()) Error("End of file expected");
    return root;
  }

 private:
  [[noreturn]] void Error(const std::string& what) const {
    throw EParserError(what + " on line " + std::to_string(line_));
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipBlanks() {
    while (!AtEnd()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (!AtEnd() && text_[pos_] != '\n')
          ++pos_;
      } else {
        break;
      }
    }
  }

  void Expect(char c) {
    SkipBlanks();
    if (Peek() != c) Error(std::string("'") + c + "' expected");
    ++pos_;
  }

  std::string Identifier() {
    SkipBlanks();
    if (!IsIdentStart(Peek())) Error("Identifier expected");
    const size_t start = pos_;
    while (!AtEnd() && IsIdentChar(text_[pos_]))
      ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  // A property name: identifiers joined by dots.
  std::string DottedName() {
    std::string name = Identifier();
    while (Peek() == '.') {
      ++pos_;
      name += '.';
      name += Identifier();
    }
    return name;
  }

  FormObject ParseObject(int depth) {
    if (depth >= kMaxFormDepth) Error("Components nested too deeply");
    FormObject object;
    object.line = line_;
    const std::string keyword = Identifier();
    if (SameText1252(keyword, "object")) {
      object.prefix = FormObject::Prefix::kObject;
    } else if (SameText1252(keyword, "inherited")) {
      object.prefix = FormObject::Prefix::kInherited;
    } else if (SameText1252(keyword, "inline")) {
      object.prefix = FormObject::Prefix::kInline;
    } else {
      Error("'object' expected");
    }
    object.name = Identifier();
    SkipBlanks();
    if (Peek() == ':') {
      ++pos_;
      object.class_name = Identifier();
    } else {
      // "object TClass" without a name.
      object.class_name = std::move(object.name);
      object.name.clear();
    }
    SkipBlanks();
    if (Peek() == '[') {
      ++pos_;
      const FormValue position = Number();
      if (position.kind != FormValue::Kind::kInteger || position.integer < 0 ||
          position.integer > std::numeric_limits<int32_t>::max()) {
        Error("Number expected");
      }
      object.child_position = static_cast<int>(position.integer);
      Expect(']');
    }
    while (true) {
      SkipBlanks();
      if (AtEnd()) Error("'end' expected");
      const size_t mark = pos_;
      const int mark_line = line_;
      const std::string word = DottedName();
      if (SameText1252(word, "end")) return object;
      if (SameText1252(word, "object") || SameText1252(word, "inherited") ||
          SameText1252(word, "inline")) {
        SkipBlanks();
        // "object = 1" would be a property of that name; only a name follows a keyword.
        if (Peek() != '=') {
          pos_ = mark;
          line_ = mark_line;
          object.children.push_back(ParseObject(depth + 1));
          continue;
        }
      }
      FormProperty property;
      property.name = word;
      property.line = mark_line;
      Expect('=');
      property.value = Value();
      object.properties.push_back(std::move(property));
    }
  }

  FormValue Value() {
    SkipBlanks();
    const char c = Peek();
    if (c == '\'' || c == '#') return StringValue();
    if (IsDigit(c) || c == '-' || c == '+' || c == '$') return Number();
    if (IsIdentStart(c)) {
      FormValue value;
      value.kind = FormValue::Kind::kIdent;
      value.text = Identifier();
      return value;
    }
    if (c == '[') return SetValue();
    if (c == '(') return StringList();
    if (c == '{') return Binary();
    if (AtEnd()) Error("Value expected");
    Error(std::string("Invalid property value"));
  }

  FormValue Number() {
    SkipBlanks();
    FormValue value;
    bool negative = false;
    if (Peek() == '-' || Peek() == '+') {
      negative = Peek() == '-';
      ++pos_;
    }
    if (Peek() == '$') {
      ++pos_;
      const size_t start = pos_;
      while (!AtEnd() && HexValue(text_[pos_]) >= 0)
        ++pos_;
      uint64_t magnitude = 0;
      const auto [end, error] =
          std::from_chars(text_.data() + start, text_.data() + pos_, magnitude, 16);
      if (pos_ == start || error != std::errc() || magnitude > 0xFFFFFFFFull) {
        Error("Number expected");
      }
      // Hexadecimal names 32 bits: $FFFFFFFF is -1, as colour and flag values are.
      value.integer = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
      if (negative) value.integer = -value.integer;
      return value;
    }
    const size_t start = pos_;
    while (!AtEnd() && IsDigit(text_[pos_]))
      ++pos_;
    if (pos_ == start) Error("Number expected");
    bool fraction = false;
    if (Peek() == '.' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1])) {
      fraction = true;
      ++pos_;
      while (!AtEnd() && IsDigit(text_[pos_]))
        ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      fraction = true;
      ++pos_;
      if (Peek() == '-' || Peek() == '+') ++pos_;
      const size_t digits = pos_;
      while (!AtEnd() && IsDigit(text_[pos_]))
        ++pos_;
      if (pos_ == digits) Error("Number expected");
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    if (fraction) {
      double number = 0;
      const auto [end, error] = std::from_chars(first, last, number);
      if (error != std::errc() || end != last) Error("Number expected");
      value.kind = FormValue::Kind::kFloat;
      value.number = negative ? -number : number;
      return value;
    }
    int64_t integer = 0;
    const auto [end, error] = std::from_chars(first, last, integer);
    if (error != std::errc() || end != last) Error("Number expected");
    value.integer = negative ? -integer : integer;
    return value;
  }

  // One text: quoted runs and #nnn codes, joined by "+" across lines.
  std::string Text() {
    SkipBlanks();
    std::string utf8_run;
    std::string out;
    bool any = false;
    while (true) {
      const char c = Peek();
      if (c == '\'') {
        any = true;
        ++pos_;
        std::string run;
        while (true) {
          if (AtEnd() || text_[pos_] == '\n') Error("Unterminated string");
          if (text_[pos_] == '\'') {
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
              run += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          run += text_[pos_++];
        }
        out += Utf8ToWin1252(run);
      } else if (c == '#') {
        any = true;
        ++pos_;
        const FormValue code = Number();
        if (code.kind != FormValue::Kind::kInteger || code.integer < 0 || code.integer > 255) {
          Error("Invalid string constant");
        }
        out += static_cast<char>(code.integer);
      } else {
        break;
      }
      // Runs written side by side join ('a'#13#10'b'); a "+" joins them across
      // blanks and lines.
      if (Peek() == '\'' || Peek() == '#') continue;
      const size_t mark = pos_;
      const int mark_line = line_;
      SkipBlanks();
      if (Peek() == '+') {
        ++pos_;
        SkipBlanks();
        if (Peek() != '\'' && Peek() != '#') Error("String expected");
        continue;
      }
      pos_ = mark;
      line_ = mark_line;
      break;
    }
    if (!any) Error("String expected");
    return out;
  }

  FormValue StringValue() {
    FormValue value;
    value.kind = FormValue::Kind::kString;
    value.text = Text();
    return value;
  }

  FormValue SetValue() {
    Expect('[');
    FormValue value;
    value.kind = FormValue::Kind::kSet;
    SkipBlanks();
    if (Peek() == ']') {
      ++pos_;
      return value;
    }
    while (true) {
      value.items.push_back(Identifier());
      SkipBlanks();
      if (Peek() == ']') {
        ++pos_;
        return value;
      }
      Expect(',');
    }
  }

  FormValue StringList() {
    Expect('(');
    FormValue value;
    value.kind = FormValue::Kind::kStrings;
    while (true) {
      SkipBlanks();
      if (Peek() == ')') {
        ++pos_;
        return value;
      }
      if (AtEnd()) Error("')' expected");
      value.items.push_back(Text());
    }
  }

  FormValue Binary() {
    Expect('{');
    FormValue value;
    value.kind = FormValue::Kind::kBinary;
    int high = -1;
    while (true) {
      SkipBlanks();
      if (AtEnd()) Error("'}' expected");
      const char c = text_[pos_++];
      if (c == '}') break;
      const int digit = HexValue(c);
      if (digit < 0) Error("Invalid binary value");
      if (high < 0) {
        high = digit;
      } else {
        value.text += static_cast<char>(high << 4 | digit);
        high = -1;
      }
    }
    if (high >= 0) Error("Invalid binary value");
    return value;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

std::string FormValue::AsString() const {
  if (kind != Kind::kString) InvalidValue();
  return text;
}

int32_t FormValue::AsInteger() const {
  if (kind != Kind::kInteger || integer < std::numeric_limits<int32_t>::min() ||
      integer > std::numeric_limits<int32_t>::max()) {
    InvalidValue();
  }
  return static_cast<int32_t>(integer);
}

double FormValue::AsFloat() const {
  if (kind == Kind::kFloat) return number;
  if (kind == Kind::kInteger) return static_cast<double>(integer);
  InvalidValue();
}

bool FormValue::AsBoolean() const {
  if (kind == Kind::kIdent) {
    if (SameText1252(text, "True")) return true;
    if (SameText1252(text, "False")) return false;
  }
  InvalidValue();
}

const std::string& FormValue::AsIdent() const {
  if (kind != Kind::kIdent) InvalidValue();
  return text;
}

const std::vector<std::string>& FormValue::AsStrings() const {
  if (kind != Kind::kStrings) InvalidValue();
  return items;
}

const std::vector<std::string>& FormValue::AsSet() const {
  if (kind != Kind::kSet) InvalidValue();
  return items;
}

FormObject ParseFormResource(std::string_view text) {
  return Parser(text).ParseRoot();
}

}  // namespace platform
