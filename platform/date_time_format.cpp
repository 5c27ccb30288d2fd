#include "platform/date_time_format.h"

#include <array>
#include <cctype>
#include <cmath>
#include <string>

namespace platform {
namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(text[at + k])) != word[k]) return false;
  }
  return true;
}

void AppendFormatted(std::string& out, std::string_view pattern, DateTime value, int depth);

// The twelve-hour marker of the pattern, if it has one.
bool UsesTwelveHours(std::string_view pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '"' || pattern[i] == '\'') {
      const size_t end = pattern.find(pattern[i], i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
      continue;
    }
    if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p") ||
        StartsWithNoCase(pattern, i, "ampm"))
      return true;
  }
  return false;
}

// What the letters of one pattern stand for: the parts of the value, decoded once.
struct Fields {
  const LocaleSettings& settings;
  DateTime value;
  bool valid;
  DateParts date;
  TimeParts time;
  int hour;   // on the twelve-hour clock when the pattern has a marker for it
  int depth;  // of locale formats within formats, which go two deep at most
};

std::string Number(int value, bool two_digits) {
  return two_digits ? TwoDigits(value) : std::to_string(value);
}

// A quoted text from its opening quote at I: the text, to the closing quote or the
// end; returns where the pattern goes on.
size_t AppendQuoted(std::string& out, std::string_view pattern, size_t i) {
  const char quote = pattern[i];
  const size_t end = pattern.find(quote, i + 1);
  const size_t stop = end == std::string_view::npos ? pattern.size() : end;
  out.append(pattern.substr(i + 1, stop - i - 1));
  return stop == pattern.size() ? stop : stop + 1;
}

// A morning or afternoon marker at I, or a lone 'a'; returns how many characters
// it took.
size_t AppendDayHalf(std::string& out, std::string_view pattern, size_t i, const Fields& f) {
  const bool pm = f.time.hour >= 12;
  if (StartsWithNoCase(pattern, i, "am/pm")) {
    out += pm ? "pm" : "am";
    return 5;
  }
  if (StartsWithNoCase(pattern, i, "a/p")) {
    out += pm ? "p" : "a";
    return 3;
  }
  if (StartsWithNoCase(pattern, i, "ampm")) {
    out += pm ? "PM" : "AM";
    return 4;
  }
  out += pattern[i];
  return 1;
}

// The locale's date format, then its long time format when the value has a time
// of day.
void AppendDateAndTime(std::string& out, const Fields& f) {
  if (f.depth >= 2) return;
  AppendFormatted(out, f.settings.short_date_format, f.value, f.depth + 1);
  if (f.time.hour || f.time.minute || f.time.second || f.time.millisecond) {
    out += ' ';
    AppendFormatted(out, f.settings.long_time_format, f.value, f.depth + 1);
  }
}

// A run of 'd': the day, the weekday's name or the locale's date; returns the
// length of the run used.
size_t AppendDay(std::string& out, size_t run, const Fields& f) {
  if (run >= 5) {
    if (f.depth < 2) AppendFormatted(out, f.settings.short_date_format, f.value, f.depth + 1);
    return std::min<size_t>(run, 6);
  }
  if (run >= 3) {
    static constexpr std::array<const char*, 7> kDays = {
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    // 1899-12-30 was a Saturday.
    const int64_t day_number = static_cast<int64_t>(std::floor(f.valid ? f.value : kMinDateTime));
    const std::string name = kDays[static_cast<size_t>(((day_number + 6) % 7 + 7) % 7)];
    out += run == 3 ? name.substr(0, 3) : name;
  } else {
    out += Number(f.date.day, run == 2);
  }
  return run;
}

// A run of 'm': the minute right after an hour, else the month's number or name;
// returns the length of the run used.
size_t AppendMonthOrMinute(std::string& out, size_t run, bool after_hour, const Fields& f) {
  if (after_hour && run <= 2) {
    out += Number(f.time.minute, run == 2);
  } else if (run >= 3) {
    const std::string name = kMonthNames[static_cast<size_t>(f.date.month - 1)];
    out += run == 3 ? name.substr(0, 3) : name;
    return std::min<size_t>(run, 4);
  } else {
    out += Number(f.date.month, run == 2);
  }
  return run;
}

void AppendYear(std::string& out, size_t run, const Fields& f) {
  if (run <= 2) {
    out += TwoDigits(f.date.year % 100);
  } else {
    std::string year = std::to_string(f.date.year);
    out += std::string(year.size() < 4 ? 4 - year.size() : 0, '0') + year;
  }
}

// A run of 'z': the milliseconds, three digits for three or more letters; returns
// the length of the run used.
size_t AppendMilliseconds(std::string& out, size_t run, const Fields& f) {
  if (run >= 3) {
    std::string ms = std::to_string(f.time.millisecond);
    out += std::string(3 - ms.size(), '0') + ms;
    return 3;
  }
  out += std::to_string(f.time.millisecond);
  return 1;
}

// The run of RUN letters like C (LOWER in lower case) at the start of a field;
// returns the length of the run it used.
size_t AppendField(std::string& out, char c, char lower, size_t run, bool after_hour,
                   const Fields& f) {
  switch (lower) {
    case 'c':
      AppendDateAndTime(out, f);
      return 1;
    case 'd':
      return AppendDay(out, run, f);
    case 'm':
      return AppendMonthOrMinute(out, run, after_hour, f);
    case 'y':
      AppendYear(out, run, f);
      return run;
    case 'h':
      out += Number(f.hour, run >= 2);
      return std::min<size_t>(run, 2);
    case 'n':
      out += Number(f.time.minute, run >= 2);
      return std::min<size_t>(run, 2);
    case 's':
      out += Number(f.time.second, run >= 2);
      return std::min<size_t>(run, 2);
    case 'z':
      return AppendMilliseconds(out, run, f);
    case 't':
      if (f.depth < 2) {
        AppendFormatted(out, run >= 2 ? f.settings.long_time_format : f.settings.short_time_format,
                        f.value, f.depth + 1);
      }
      return std::min<size_t>(run, 2);
    case '/':
      out += f.settings.date_separator;
      return 1;
    case ':':
      out += f.settings.time_separator;
      return 1;
    default:
      out += c;
      return 1;
  }
}

Fields DecodeFields(std::string_view pattern, DateTime value, int depth) {
  const bool valid = IsValidDateTime(value);
  const TimeParts time = valid ? DecodeTime(value) : TimeParts{};
  int hour = time.hour;
  if (UsesTwelveHours(pattern)) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  return Fields{CurrentLocale(),
                value,
                valid,
                valid ? DecodeDate(value) : DateParts{1, 1, 1},
                time,
                hour,
                depth};
}

void AppendFormatted(std::string& out, std::string_view pattern, DateTime value, int depth) {
  const Fields fields = DecodeFields(pattern, value, depth);
  bool after_hour = false;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '"' || c == '\'') {
      i = AppendQuoted(out, pattern, i);
      continue;
    }
    if (lower == 'a') {
      i += AppendDayHalf(out, pattern, i, fields);
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == lower)
      ++run;
    run = AppendField(out, c, lower, run, after_hour, fields);
    // A minute's 'm' follows an hour, maybe across separators.
    if (lower == 'h') {
      after_hour = true;
    } else if (lower != ':' && lower != ' ' && lower != 'c') {
      after_hour = false;
    }
    i += run;
  }
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, DateTime value) {
  std::string out;
  AppendFormatted(out, pattern, value, 0);
  return out;
}

std::string DateTimeToStr(DateTime value) {
  return FormatDateTime("c", value);
}

std::string DateToStr(DateTime value) {
  return FormatDateTime(CurrentLocale().short_date_format, value);
}

std::string TimeToStr(DateTime value) {
  return FormatDateTime(CurrentLocale().long_time_format, value);
}

}  // namespace platform
