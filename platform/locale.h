// The user's locale, as the system takes it from Windows: the decimal separator
// for numbers, the "system format" of date-time texts, and locale identifiers
// (LCIDs) with their three-letter abbreviations for language modules.
//
// The C library's own numeric locale stays "C" everywhere; the user's settings are
// read once from the environment (LC_ALL, then LC_NUMERIC / LC_TIME / LC_MESSAGES,
// then LANG) and tests pin them with ScopedLocaleSettings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace platform {

using LCID = uint32_t;

struct LocaleSettings {
  char decimal_separator = '.';
  // strftime patterns of the short date and the long time; the system format of a
  // date-time value is the date, a blank, and the time.
  std::string date_format = "%m/%d/%y";
  std::string time_format = "%H:%M:%S";
  // The user's default locale identifier (LOCALE_USER_DEFAULT).
  LCID default_lcid = 1033;
};

// The settings in force: pinned ones, else those of the user's environment.
const LocaleSettings& CurrentLocale();
// The settings the environment gives (read once).
const LocaleSettings& EnvironmentLocale();

// Puts Settings in force while this object lives.
class ScopedLocaleSettings {
 public:
  explicit ScopedLocaleSettings(LocaleSettings settings);
  ~ScopedLocaleSettings();
  ScopedLocaleSettings(const ScopedLocaleSettings&) = delete;
  ScopedLocaleSettings& operator=(const ScopedLocaleSettings&) = delete;

 private:
  const LocaleSettings* previous_;
  LocaleSettings settings_;
};

// The system's decimal separator.
char DecimalSeparator();

// Converts a decimal number written with the system's decimal separator (blanks
// around it allowed, a sign, digits with at most one separator, an optional
// exponent "E"); false, leaving Value alone, for anything else, including the
// other separator, "inf", "nan" and hexadecimal forms.
bool TryTextToFloat(std::string_view text, double& value);

// The value as the system writes a date and a time ("system format").
std::string DateTimeToSystemText(DateTime value);

// The three-letter abbreviation of the locale's language (LOCALE_SABBREVLANGNAME,
// e.g. 1033 "ENU", 2057 "ENG", 1053 "SVE"); "" for an identifier the table lacks.
std::string LocaleAbbreviation(LCID lcid);

// The user's default locale identifier.
LCID DefaultLocaleId();

// The locale identifier for a POSIX locale name ("sv_SE.UTF-8", "de", "C"): by
// language and territory, else by language alone, else 1033 (US English).
LCID LocaleIdFromPosixName(std::string_view name);

}  // namespace platform
