#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

struct LocaleEntry {
  LCID lcid;
  std::string_view abbreviation;
  std::string_view language;   // ISO 639 code
  std::string_view territory;  // ISO 3166 code; "" for the language's default
};

// The locales a language module may be made for; the first entry of a language
// without territory is its default.
constexpr std::array<LocaleEntry, 30> kLocales = {{
    {1033, "ENU", "en", ""},   {1033, "ENU", "en", "US"}, {2057, "ENG", "en", "GB"},
    {3081, "ENA", "en", "AU"}, {4105, "ENC", "en", "CA"}, {5129, "ENZ", "en", "NZ"},
    {6153, "ENI", "en", "IE"}, {1053, "SVE", "sv", ""},   {2077, "SVF", "sv", "FI"},
    {1031, "DEU", "de", ""},   {2055, "DES", "de", "CH"}, {3079, "DEA", "de", "AT"},
    {1030, "DAN", "da", ""},   {1044, "NOR", "nb", ""},   {1044, "NOR", "no", ""},
    {2068, "NON", "nn", ""},   {1035, "FIN", "fi", ""},   {1036, "FRA", "fr", ""},
    {2060, "FRB", "fr", "BE"}, {3084, "FRC", "fr", "CA"}, {4108, "FRS", "fr", "CH"},
    {1043, "NLD", "nl", ""},   {2067, "NLB", "nl", "BE"}, {1040, "ITA", "it", ""},
    {3082, "ESN", "es", ""},   {2070, "PTG", "pt", ""},   {1046, "PTB", "pt", "BR"},
    {1045, "PLK", "pl", ""},   {1039, "ISL", "is", ""},   {1061, "ETI", "et", ""},
}};

constexpr LCID kUsEnglish = 1033;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The locale name the environment gives for a category, as setlocale would take it.
std::string LocaleNameFor(const char* category_variable) {
  for (const char* name : {"LC_ALL", category_variable, "LANG"}) {
    std::string value = Environment(name);
    if (!value.empty()) return value;
  }
  return "C";
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// An ASCII separator from a locale's text, or Fallback when it has none (or one
// that takes more than a byte).
char SeparatorOf(const char* text, char fallback) {
  if (text && std::strlen(text) == 1 && static_cast<unsigned char>(text[0]) < 0x80) return text[0];
  return fallback;
}

// A strftime pattern of dates or times turned into ours; Separator receives the
// first literal character found between the fields, which the pattern then names
// by "/" (dates) or ":" (times).
std::string FromStrftime(const char* pattern, char marker, char& separator) {
  std::string result;
  bool have_separator = false;
  for (const char* p = pattern; *p; ++p) {
    if (*p != '%') {
      if (std::isalpha(static_cast<unsigned char>(*p)) || *p == ' ') {
        result += *p;
        continue;
      }
      if (!have_separator) {
        separator = *p;
        have_separator = true;
      }
      result += *p == separator ? marker : *p;
      continue;
    }
    ++p;
    while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0')
      ++p;
    switch (*p) {
      case 'd':
        result += "dd";
        break;
      case 'e':
        result += "d";
        break;
      case 'm':
        result += "mm";
        break;
      case 'b':
      case 'h':
        result += "mmm";
        break;
      case 'B':
        result += "mmmm";
        break;
      case 'y':
        result += "yy";
        break;
      case 'Y':
      case 'C':
        result += "yyyy";
        break;
      case 'H':
      case 'k':
        result += "hh";
        break;
      case 'I':
      case 'l':
        result += "hh";
        break;
      case 'M':
        result += "nn";
        break;
      case 'S':
        result += "ss";
        break;
      case 'p':
      case 'P':
        result += "AMPM";
        break;
      case 'D':
        result += "mm/dd/yy";
        separator = '/';
        have_separator = true;
        break;
      case 'F':
        result += "yyyy/mm/dd";
        separator = '-';
        have_separator = true;
        break;
      case 'T':
        result += "hh:nn:ss";
        separator = ':';
        have_separator = true;
        break;
      case 'R':
        result += "hh:nn";
        separator = ':';
        have_separator = true;
        break;
      case 'r':
        result += "hh:nn:ss AMPM";
        separator = ':';
        have_separator = true;
        break;
      case '\0':
        return result;
      default:
        break;
    }
  }
  return result;
}

// The two pictures of a locale's time format: the long time, and the short time
// (the long one without its seconds).
void ReadTimeFormat(const std::string& format, LocaleSettings& settings) {
  char separator = settings.time_separator;
  const std::string picture = FromStrftime(format.c_str(), ':', separator);
  if (picture.find('h') == std::string::npos) return;
  settings.long_time_format = picture;
  settings.time_separator = separator;
  const size_t seconds = picture.find(":ss");
  settings.short_time_format = seconds == std::string::npos
                                   ? picture
                                   : picture.substr(0, seconds) + picture.substr(seconds + 3);
}

std::string LangInfo(nl_item item, locale_t locale) {
  const char* text = ::nl_langinfo_l(item, locale);
  return text ? text : "";
}

LocaleConventions ReadUserConventions() {
  LocaleConventions conventions;
  // Each category on its own, so that one that is not installed leaves the others
  // the user's. The name "" takes the environment's, as setlocale does.
  if (locale_t numeric = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr))) {
    conventions.radix = LangInfo(RADIXCHAR, numeric);
    conventions.thousands_separator = LangInfo(THOUSEP, numeric);
    ::freelocale(numeric);
  }
  if (locale_t time = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr))) {
    conventions.date_format = LangInfo(D_FMT, time);
    conventions.time_format = LangInfo(T_FMT, time);
    ::freelocale(time);
  }
  conventions.messages_locale = LocaleNameFor("LC_MESSAGES");
  return conventions;
}

// The settings in force. Pinning replaces them whole and puts the previous ones
// back, so a test's settings never outlive it.
LocaleSettings& InForce() {
  static LocaleSettings settings = SettingsFromConventions(ReadUserConventions());
  return settings;
}

}  // namespace

LocaleSettings SettingsFromConventions(const LocaleConventions& conventions) {
  LocaleSettings settings;
  // A separator outside ASCII (a few locales have one) cannot be written in the
  // system's 8-bit texts; those keep the defaults.
  settings.decimal_separator = SeparatorOf(conventions.radix.c_str(), '.');
  settings.thousand_separator = SeparatorOf(conventions.thousands_separator.c_str(), ',');
  if (settings.thousand_separator == settings.decimal_separator)
    settings.thousand_separator = settings.decimal_separator == ',' ? '.' : ',';
  // The C locale's "%m/%d/%y" is no convention of anybody's; keep ISO dates then.
  if (conventions.date_format != "%m/%d/%y") {
    char separator = settings.date_separator;
    const std::string picture = FromStrftime(conventions.date_format.c_str(), '/', separator);
    if (picture.find('d') != std::string::npos && picture.find('y') != std::string::npos) {
      settings.short_date_format = picture;
      settings.date_separator = separator;
    }
    ReadTimeFormat(conventions.time_format, settings);
  }
  settings.default_lcid = LocaleIdFromPosixName(conventions.messages_locale);
  return settings;
}

const LocaleSettings& CurrentLocale() {
  return InForce();
}

ScopedLocaleSettings::ScopedLocaleSettings(LocaleSettings settings) : previous_(InForce()) {
  InForce() = std::move(settings);
}

ScopedLocaleSettings::~ScopedLocaleSettings() {
  InForce() = std::move(previous_);
}

char DecimalSeparator() {
  return CurrentLocale().decimal_separator;
}

bool TryTextToFloat(std::string_view text, double& value) {
  return TryTextToFloat(text, value, DecimalSeparator());
}

bool TryTextToFloat(std::string_view text, double& value, char decimal_separator) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  // Checked by hand, so that only the plain decimal form passes; then converted in
  // the C locale's terms by from_chars.
  std::string plain;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
  bool digits = false;
  bool separator = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      digits = true;
      plain += text[i];
    } else if (text[i] == decimal_separator && !separator) {
      separator = true;
      plain += '.';
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    const size_t exponent_start = i;
    for (; i < text.size() && IsDigit(text[i]); ++i)
      plain += text[i];
    if (i == exponent_start) return false;
  }
  if (i != text.size()) return false;
  const char* begin = plain.data();
  if (*begin == '+') ++begin;
  double result = 0;
  const auto [end, error] = std::from_chars(begin, plain.data() + plain.size(), result);
  if (error != std::errc() || end != plain.data() + plain.size()) return false;
  value = result;
  return true;
}

void SetTwoDigitYearCenturyWindow(int years) {
  InForce().two_digit_year_century_window = years;
}

int ExpandTwoDigitYear(int year, int current_year) {
  const int window = InForce().two_digit_year_century_window;
  if (window <= 0) return current_year / 100 * 100 + year;
  const int first = current_year - window;
  int result = first / 100 * 100 + year;
  if (result < first) result += 100;
  return result;
}

std::string LocaleAbbreviation(LCID lcid) {
  for (const LocaleEntry& entry : kLocales) {
    if (entry.lcid == lcid) return std::string(entry.abbreviation);
  }
  return "";
}

LCID DefaultLocaleId() {
  return CurrentLocale().default_lcid;
}

LCID LocaleIdFromPosixName(std::string_view name) {
  // language[_territory][.codeset][@modifier]
  const size_t end = name.find_first_of(".@");
  if (end != std::string_view::npos) name = name.substr(0, end);
  const size_t underscore = name.find('_');
  const std::string language = Lower(name.substr(0, underscore));
  const std::string territory =
      underscore == std::string_view::npos ? "" : Upper(name.substr(underscore + 1));
  const LocaleEntry* by_language = nullptr;
  for (const LocaleEntry& entry : kLocales) {
    if (entry.language != language) continue;
    if (!territory.empty() && entry.territory == territory) return entry.lcid;
    if (entry.territory.empty() && !by_language) by_language = &entry;
  }
  return by_language ? by_language->lcid : kUsEnglish;
}

}  // namespace platform
