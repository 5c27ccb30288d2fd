// TCapIntlSup: the user's international settings as the caption label's widget set
// reads them once at start-up (currency, separators, time and date pictures, the
// yes/no and true/false characters).
//
// The settings come from a TCapIntlProfile, so that the program can feed them from
// wherever it keeps them and tests from a table. Texts keep the lengths the
// profile's readers allow (a currency of 5 characters, a long-date picture of 39,
// ...), but they are std::strings: the later steps that insert characters (blanks
// after commas, a blank beside the currency) may make them longer, safely.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class TCapMessageTable;

// Where the international settings come from.
class TCapIntlProfile {
 public:
  virtual ~TCapIntlProfile() = default;
  // The value of Key in the profile's "intl" section, or nothing when it has none.
  virtual std::optional<std::string> ProfileString(std::string_view key) const = 0;
  // The value "sShortDate" of the user's "Control Panel\International" key, when
  // that value exists; it takes precedence over the profile's.
  virtual std::optional<std::string> RegistryShortDate() const = 0;
  // The toolkit's long time format; one ending in "M" (as "h:nn:ss AMPM") means a
  // 12-hour clock.
  virtual std::string LongTimeFormat() const = 0;
};

// A profile held as data: keys compared without case. Empty, it gives every
// default.
class TCapMapProfile : public TCapIntlProfile {
 public:
  void Set(std::string key, std::string value);
  void SetRegistryShortDate(std::optional<std::string> value) { registry_short_date_ = value; }
  void SetLongTimeFormat(std::string value) { long_time_format_ = std::move(value); }

  std::optional<std::string> ProfileString(std::string_view key) const override;
  std::optional<std::string> RegistryShortDate() const override { return registry_short_date_; }
  std::string LongTimeFormat() const override { return long_time_format_; }

 private:
  std::map<std::string, std::string> values_;  // by upper-cased key
  std::optional<std::string> registry_short_date_;
  std::string long_time_format_ = "hh:nn:ss";
};

class TCapIntlSup {
 public:
  // Reads the settings; Messages gives the yes, no, true and false characters.
  TCapIntlSup(const TCapIntlProfile& profile, const TCapMessageTable& messages);

  const std::string& CurrencyLeft() const { return currency_left_; }    // before an amount
  const std::string& CurrencyRight() const { return currency_right_; }  // after an amount
  char DecimalChar() const { return decimal_char_; }
  char ThousandsChar() const { return thousands_char_; }
  int32_t CurrencyDigits() const { return currency_digits_; }
  int32_t NegCurrencyFormat() const { return neg_currency_format_; }
  char ListChar() const { return list_char_; }
  const std::string& Country() const { return country_; }
  int32_t CurrencyPlacement() const { return currency_placement_; }
  bool TimeLeadingZero() const { return time_leading_zero_; }
  bool TwelveHourClock() const { return twelve_hour_clock_; }
  char TimeChar() const { return time_char_; }
  char DateChar() const { return date_char_; }
  const std::string& AmString() const { return am_string_; }
  const std::string& PmString() const { return pm_string_; }
  // The short-date picture with "/" for its separators and "n" for the letters of a
  // month name; the long-date picture with "w" for a weekday name, "n" for a month
  // name, "f", "g" and "h" for the characters of its three literal pieces.
  const std::string& ShortDatePicture() const { return short_date_; }
  const std::string& LongDatePicture() const { return long_date_; }
  const std::array<std::string, 3>& LiteralPieces() const { return literals_; }
  char TrueChar() const { return true_char_; }
  char FalseChar() const { return false_char_; }
  char YesChar() const { return yes_char_; }
  char NoChar() const { return no_char_; }

  // The longest texts the profile gives for each.
  static constexpr size_t kMaxCurrency = 5;
  static constexpr size_t kMaxCountry = 255;
  static constexpr size_t kMaxAmPm = 5;
  static constexpr size_t kMaxShortDate = 29;
  static constexpr size_t kMaxLongDate = 39;
  static constexpr size_t kMaxLiteral = 6;

 private:
  void ReadLongDatePicture(std::string picture);

  std::string currency_left_ = "$";
  std::string currency_right_ = "$";
  char decimal_char_ = '.';
  char thousands_char_ = ',';
  int32_t currency_digits_ = 2;
  int32_t neg_currency_format_ = 0;
  char list_char_ = ',';
  std::string country_;
  int32_t currency_placement_ = 0;
  bool time_leading_zero_ = false;
  bool twelve_hour_clock_ = false;
  char time_char_ = ':';
  char date_char_ = '/';
  std::string am_string_ = "AM";
  std::string pm_string_ = "PM";
  std::string short_date_;
  std::string long_date_;
  std::array<std::string, 3> literals_;
  char true_char_ = 'T';
  char false_char_ = 'F';
  char yes_char_ = 'Y';
  char no_char_ = 'N';
};
