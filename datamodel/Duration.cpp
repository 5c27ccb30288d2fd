#include "datamodel/Duration.h"

#include <cmath>
#include <string>

#include "platform/format_text.h"
#include "platform/locale.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

void FormatDuration(uint8_t mode, double span, bool omit_zero_seconds, TDuration& result) {
  if (mode > 3) return;
  // Rounded to the nearest second as a whole, so that 59.6 s is a minute and the
  // parts never show 60.
  int64_t total = 0;
  if (!std::isnan(span)) {
    const double magnitude = std::fabs(span);
    total = magnitude >= kMaxDurationDays
                ? static_cast<int64_t>(kMaxDurationDays) * kSecondsPerDay
                : static_cast<int64_t>(std::floor(magnitude * kSecondsPerDay + 0.5));
  }
  const int64_t d = total / kSecondsPerDay;
  const int64_t h = total % kSecondsPerDay / 3600;
  const int64_t m = total % 3600 / 60;
  const int64_t s = total % 60;
  const std::string sign = span < 0 ? "-" : "";
  const std::string separator(1, platform::CurrentLocale().time_separator);
  const std::string time_format =
      omit_zero_seconds && s == 0 ? "%0:.2d%3:s%1:.2d" : "%0:.2d%3:s%1:.2d%3:s%2:.2d";
  const auto ll = [](int64_t v) { return static_cast<long long>(v); };
  switch (mode) {
    case 0:
      result.days = result.hours = result.minutes = 0;
      result.seconds = total;
      result.text = sign + platform::Format("%.2d%s", {ll(total), "s"});
      break;
    case 1:
      result.days = result.hours = 0;
      result.minutes = total / 60;
      result.seconds = s;
      result.text = sign + platform::Format("%.2d%s%.2d%s", {ll(total / 60), "m", ll(s), "s"});
      break;
    case 2:
      result.days = 0;
      result.hours = total / 3600;
      result.minutes = m;
      result.seconds = s;
      result.text =
          sign + platform::Format(time_format, {ll(total / 3600), ll(m), ll(s), separator});
      break;
    default:
      result.days = d;
      result.hours = h;
      result.minutes = m;
      result.seconds = s;
      result.text = sign + std::to_string(d) + "  " +
                    platform::Format(time_format, {ll(h), ll(m), ll(s), separator});
      break;
  }
}

std::string DurationText(uint8_t mode, double span, bool omit_zero_seconds) {
  TDuration duration;
  FormatDuration(mode, span, omit_zero_seconds, duration);
  return duration.text;
}

void InitDurationUnit() {
  platform::SetTwoDigitYearCenturyWindow(50);
}
