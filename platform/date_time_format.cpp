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

void AppendFormatted(std::string& out, std::string_view pattern, DateTime value, int depth) {
  const LocaleSettings& settings = CurrentLocale();
  const bool valid = IsValidDateTime(value);
  const DateParts date = valid ? DecodeDate(value) : DateParts{1, 1, 1};
  const TimeParts time = valid ? DecodeTime(value) : TimeParts{};
  const bool twelve = UsesTwelveHours(pattern);
  int hour = time.hour;
  if (twelve) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  bool after_hour = false;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == lower)
      ++run;
    if (c == '"' || c == '\'') {
      const size_t end = pattern.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? pattern.size() : end;
      out.append(pattern.substr(i + 1, stop - i - 1));
      i = stop == pattern.size() ? stop : stop + 1;
      continue;
    }
    if (lower == 'a') {
      const bool pm = time.hour >= 12;
      if (StartsWithNoCase(pattern, i, "am/pm")) {
        out += pm ? "pm" : "am";
        i += 5;
      } else if (StartsWithNoCase(pattern, i, "a/p")) {
        out += pm ? "p" : "a";
        i += 3;
      } else if (StartsWithNoCase(pattern, i, "ampm")) {
        out += pm ? "PM" : "AM";
        i += 4;
      } else {
        out += c;
        ++i;
      }
      continue;
    }
    switch (lower) {
      case 'c':
        if (depth < 2) {
          AppendFormatted(out, settings.short_date_format, value, depth + 1);
          if (time.hour || time.minute || time.second || time.millisecond) {
            out += ' ';
            AppendFormatted(out, settings.long_time_format, value, depth + 1);
          }
        }
        run = 1;
        break;
      case 'd':
        if (run >= 5) {
          if (depth < 2) AppendFormatted(out, settings.short_date_format, value, depth + 1);
          run = std::min<size_t>(run, 6);
        } else if (run >= 3) {
          static constexpr std::array<const char*, 7> kDays = {
              "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
          // 1899-12-30 was a Saturday.
          const int64_t day_number = static_cast<int64_t>(std::floor(valid ? value : kMinDateTime));
          const std::string name = kDays[static_cast<size_t>(((day_number + 6) % 7 + 7) % 7)];
          out += run == 3 ? name.substr(0, 3) : name;
        } else {
          out += run == 2 ? TwoDigits(date.day) : std::to_string(date.day);
        }
        break;
      case 'm':
        if (after_hour && run <= 2) {
          out += run == 2 ? TwoDigits(time.minute) : std::to_string(time.minute);
        } else if (run >= 3) {
          const std::string name = kMonthNames[static_cast<size_t>(date.month - 1)];
          out += run == 3 ? name.substr(0, 3) : name;
          run = std::min<size_t>(run, 4);
        } else {
          out += run == 2 ? TwoDigits(date.month) : std::to_string(date.month);
        }
        break;
      case 'y':
        if (run <= 2) {
          out += TwoDigits(date.year % 100);
        } else {
          std::string year = std::to_string(date.year);
          out += std::string(year.size() < 4 ? 4 - year.size() : 0, '0') + year;
        }
        break;
      case 'h':
        out += run >= 2 ? TwoDigits(hour) : std::to_string(hour);
        run = std::min<size_t>(run, 2);
        break;
      case 'n':
        out += run >= 2 ? TwoDigits(time.minute) : std::to_string(time.minute);
        run = std::min<size_t>(run, 2);
        break;
      case 's':
        out += run >= 2 ? TwoDigits(time.second) : std::to_string(time.second);
        run = std::min<size_t>(run, 2);
        break;
      case 'z':
        if (run >= 3) {
          std::string ms = std::to_string(time.millisecond);
          out += std::string(3 - ms.size(), '0') + ms;
          run = 3;
        } else {
          out += std::to_string(time.millisecond);
          run = 1;
        }
        break;
      case 't':
        if (depth < 2) {
          AppendFormatted(out, run >= 2 ? settings.long_time_format : settings.short_time_format,
                          value, depth + 1);
        }
        run = std::min<size_t>(run, 2);
        break;
      case '/':
        out += settings.date_separator;
        run = 1;
        break;
      case ':':
        out += settings.time_separator;
        run = 1;
        break;
      default:
        out += c;
        run = 1;
        break;
    }
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
