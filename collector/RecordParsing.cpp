#include "collector/RecordParsing.h"

#include <cctype>

#include "platform/locale.h"

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The characters From to From + Count - 1 (from 0) of Text, as many as it has.
std::string_view Part(std::string_view text, size_t from, size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string_view();
}

// A part of a time field as a number; nothing unless it is all digits.
std::optional<int> Number(std::string_view part) {
  if (part.empty()) return std::nullopt;
  int value = 0;
  for (char c : part) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<platform::DateTime> ParseTime(std::string_view field, bool with_seconds) {
  const std::optional<int> year = Number(Part(field, 0, 4));
  const std::optional<int> month = Number(Part(field, 4, 2));
  const std::optional<int> day = Number(Part(field, 6, 2));
  const std::optional<int> hour = Number(Part(field, 8, 2));
  const std::optional<int> minute = Number(Part(field, 10, 2));
  const std::optional<int> second = with_seconds ? Number(Part(field, 12, 2)) : 0;
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  platform::DateTime date = 0;
  platform::DateTime time = 0;
  if (!platform::TryEncodeDate(*year, *month, *day, date)) return std::nullopt;
  if (!platform::TryEncodeTime(*hour, *minute, *second, 0, time)) return std::nullopt;
  return date + time;
}

}  // namespace

std::string GetPiece(int n, std::string_view line, char delimiter) {
  if (n < 1) return "";
  if (delimiter == '\0') return n == 1 ? std::string(line) : std::string();
  std::string_view rest = line;
  for (int i = 1; i < n; ++i) {
    const size_t at = rest.find(delimiter);
    if (at == std::string_view::npos) return "";
    rest.remove_prefix(at + 1);
  }
  return std::string(rest.substr(0, rest.find(delimiter)));
}

std::optional<double> StrToValue(std::string_view text, char decimal_separator) {
  if (text.empty()) return 0.0;
  std::string value(text);
  const char other = decimal_separator == '.' ? ',' : '.';
  if (const size_t at = value.find(other); at != std::string::npos) {
    value[at] = decimal_separator;
  }
  double result = 0;
  if (!platform::TryTextToFloat(value, result, decimal_separator)) return std::nullopt;
  return result;
}

std::string TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin]))
    ++begin;
  while (end > begin && blank(text[end - 1]))
    --end;
  return std::string(text.substr(begin, end - begin));
}

THeaderDelimiters ReadHeaderDelimiters(std::string_view header_line) {
  const auto at = [&](size_t i) { return i < header_line.size() ? header_line[i] : '\0'; };
  return THeaderDelimiters{at(2), at(3), at(4), at(5)};
}

std::string SenderIdentification(std::string_view header_line, char field_delimiter,
                                 char component_delimiter) {
  const std::string sender = GetPiece(5, header_line, field_delimiter);
  std::string text = GetPiece(1, sender, component_delimiter);
  const std::string detail = GetPiece(2, sender, component_delimiter);
  if (!detail.empty()) text += " - " + detail;
  return text;
}

std::optional<platform::DateTime> ParseOrderTime(std::string_view field) {
  return ParseTime(field, false);
}

std::optional<platform::DateTime> ParseResultTime(std::string_view field) {
  return ParseTime(field, true);
}

void TSampleTimeRule::OnOrder(std::string_view field8, platform::DateTime now) {
  if (const std::optional<platform::DateTime> time = ParseOrderTime(field8)) {
    sample_time_ = *time;
  } else {
    sample_time_ = now;
    time_from_result_ = true;
  }
}

platform::DateTime TSampleTimeRule::OnResult(std::string_view field12, platform::DateTime now) {
  if (time_from_result_) {
    time_from_result_ = false;
    sample_time_ = ParseResultTime(field12).value_or(now);
  }
  return sample_time_;
}

TSpecimen ReadSpecimen(std::string_view field16, char component_delimiter,
                       const TSpecimenTranslations& translations) {
  TSpecimen specimen{GetPiece(1, field16, component_delimiter),
                     GetPiece(2, field16, component_delimiter)};
  if (EqualNoCase(specimen.kind, "BLOOD")) {
    const std::pair<std::string_view, const std::string*> sources[] = {
        {"Venous", &translations.venous},
        {"Mixed-venous", &translations.mixed_venous},
        {"Not specified", &translations.not_specified},
        {"Arterial", &translations.arterial},
        {"Capillary", &translations.capillary},
    };
    for (const auto& [name, translation] : sources) {
      // An empty translation (no settings) keeps the source apart from the others.
      if (EqualNoCase(specimen.source, name) && !translation->empty()) {
        specimen.source = *translation;
        break;
      }
    }
  } else {
    std::string upper = specimen.kind;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper != platform::LoadResString(SNotSpecifiedKind)) {
      specimen.source += " " + specimen.kind;
    }
  }
  return specimen;
}

std::string ResultParameter(std::string_view field3, char component_delimiter,
                            std::string_view specimen_source, bool grouping) {
  std::string parameter = GetPiece(4, field3, component_delimiter);
  if (!grouping) parameter = std::string(specimen_source) + " " + parameter;
  return TrimBlanks(parameter);
}
