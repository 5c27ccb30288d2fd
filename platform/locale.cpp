#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <ctime>

#include "platform/text_1252.h"

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

LocaleSettings ReadEnvironment() {
  LocaleSettings settings;
  if (locale_t numeric = ::newlocale(LC_NUMERIC_MASK, LocaleNameFor("LC_NUMERIC").c_str(),
                                     static_cast<locale_t>(nullptr))) {
    const char* radix = ::nl_langinfo_l(RADIXCHAR, numeric);
    // A separator outside ASCII (a few locales have one) cannot be typed on the
    // wire's 8-bit texts; those keep the point.
    if (radix && radix[0] && !(radix[0] & 0x80) && !radix[1]) settings.decimal_separator = radix[0];
    ::freelocale(numeric);
  }
  if (locale_t time = ::newlocale(LC_TIME_MASK, LocaleNameFor("LC_TIME").c_str(),
                                  static_cast<locale_t>(nullptr))) {
    if (const char* date = ::nl_langinfo_l(D_FMT, time); date && *date) settings.date_format = date;
    if (const char* clock = ::nl_langinfo_l(T_FMT, time); clock && *clock)
      settings.time_format = clock;
    ::freelocale(time);
  }
  settings.default_lcid = LocaleIdFromPosixName(LocaleNameFor("LC_MESSAGES"));
  return settings;
}

std::atomic<const LocaleSettings*>& Pinned() {
  static std::atomic<const LocaleSettings*> pinned{nullptr};
  return pinned;
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

}  // namespace

const LocaleSettings& EnvironmentLocale() {
  static const LocaleSettings settings = ReadEnvironment();
  return settings;
}

const LocaleSettings& CurrentLocale() {
  if (const LocaleSettings* pinned = Pinned().load()) return *pinned;
  return EnvironmentLocale();
}

ScopedLocaleSettings::ScopedLocaleSettings(LocaleSettings settings)
    : previous_(Pinned().load()), settings_(std::move(settings)) {
  Pinned().store(&settings_);
}

ScopedLocaleSettings::~ScopedLocaleSettings() {
  Pinned().store(previous_);
}

char DecimalSeparator() {
  return CurrentLocale().decimal_separator;
}

bool TryTextToFloat(std::string_view text, double& value) {
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
    } else if (text[i] == DecimalSeparator() && !separator) {
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

std::string DateTimeToSystemText(DateTime value) {
  if (!IsValidDateTime(value)) value = 0;
  const DateParts date = DecodeDate(value);
  const TimeParts time = DecodeTime(value);
  std::tm tm{};
  tm.tm_year = date.year - 1900;
  tm.tm_mon = date.month - 1;
  tm.tm_mday = date.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  // The weekday, for patterns that show it: 1899-12-30 was a Saturday.
  const int64_t day = static_cast<int64_t>(value);  // the whole part is the day
  tm.tm_wday = static_cast<int>((day % 7 + 13) % 7);
  const std::string pattern = CurrentLocale().date_format + " " + CurrentLocale().time_format;
  char buffer[256];
  const size_t n = std::strftime(buffer, sizeof buffer, pattern.c_str(), &tm);
  return Utf8ToWin1252(std::string_view(buffer, n));
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
