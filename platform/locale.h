// The user's locale, as the system takes it from Windows and its toolkit: the
// decimal and thousand separators, the pictures of the "system format" of
// date-time texts (date_time_format.h), the two-digit-year window, and locale
// identifiers (LCIDs) with their three-letter abbreviations for language modules.
//
// This is the one source of these settings. They are read once from the user's
// environment, each category as setlocale would take it (LC_ALL, then LC_NUMERIC /
// LC_TIME / LC_MESSAGES, then LANG); the C and POSIX locales, which have no
// conventions of their own, give ISO dates ("yyyy-mm-dd") and 24-hour times. Tests
// pin the settings with ScopedLocaleSettings, so that no text depends on the
// machine. The C library's own numeric locale stays "C" everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using LCID = uint32_t;

struct LocaleSettings {
  char decimal_separator = '.';
  char thousand_separator = ',';
  char date_separator = '-';
  char time_separator = ':';
  // Pictures of FormatDateTime (date_time_format.h); "/" stands for the date
  // separator and ":" for the time separator.
  std::string short_date_format = "yyyy/mm/dd";
  std::string long_time_format = "hh:nn:ss";
  std::string short_time_format = "hh:nn";
  // Two-digit years are read within this many years before the current year (and
  // the years after it up to a century); 0: in the current century.
  int two_digit_year_century_window = 0;
  // The user's default locale identifier (LOCALE_USER_DEFAULT).
  LCID default_lcid = 1033;
};

// What a POSIX locale states of its conventions (nl_langinfo's texts), and the
// name of the locale of its messages.
struct LocaleConventions {
  std::string radix = ".";               // RADIXCHAR
  std::string thousands_separator;       // THOUSEP
  std::string date_format = "%m/%d/%y";  // D_FMT
  std::string time_format = "%H:%M:%S";  // T_FMT
  std::string messages_locale = "C";     // the name LC_MESSAGES takes
};

// The settings such a locale gives: its separators when each is one ASCII
// character, its date and time formats as the toolkit's pictures (the C locale's
// formats give the ISO defaults), its locale identifier.
LocaleSettings SettingsFromConventions(const LocaleConventions& conventions);

// The settings in force: the user's, read once, unless pinned.
const LocaleSettings& CurrentLocale();

// Puts Settings in force while this object lives; the settings before it come back
// whole when it ends.
class ScopedLocaleSettings {
 public:
  explicit ScopedLocaleSettings(LocaleSettings settings);
  ~ScopedLocaleSettings();
  ScopedLocaleSettings(const ScopedLocaleSettings&) = delete;
  ScopedLocaleSettings& operator=(const ScopedLocaleSettings&) = delete;

 private:
  LocaleSettings previous_;
};

// The system's decimal separator.
char DecimalSeparator();

// Converts a decimal number written with the system's decimal separator (blanks
// around it allowed, a sign, digits with at most one separator, an optional
// exponent "E"); false, leaving Value alone, for anything else, including the
// other separator, "inf", "nan", hexadecimal forms and numbers beyond a double.
bool TryTextToFloat(std::string_view text, double& value);
// The same with the given decimal separator.
bool TryTextToFloat(std::string_view text, double& value, char decimal_separator);

// Changes the window of two-digit years in the settings in force.
void SetTwoDigitYearCenturyWindow(int years);

// The four-digit year that a two-digit Year (0..99) stands for in CurrentYear, by
// the window in force: with a window W > 0 the year lies in CurrentYear - W ..
// CurrentYear - W + 99; without one, in the current century.
int ExpandTwoDigitYear(int year, int current_year);

// The three-letter abbreviation of the locale's language (LOCALE_SABBREVLANGNAME,
// e.g. 1033 "ENU", 2057 "ENG", 1053 "SVE"); "" for an identifier the table lacks.
std::string LocaleAbbreviation(LCID lcid);

// The user's default locale identifier.
LCID DefaultLocaleId();

// The locale identifier for a POSIX locale name ("sv_SE.UTF-8", "de", "C"): by
// language and territory, else by language alone, else 1033 (US English).
LCID LocaleIdFromPosixName(std::string_view name);

}  // namespace platform
