#include "widgets/capintl.h"

#include <cctype>

#include "widgets/capmessages.h"

namespace {

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The profile's text of Key, at most Max characters, as a reader with a buffer of
// that size gives it.
std::string ReadString(const TCapIntlProfile& profile, std::string_view key,
                       std::string_view fallback, size_t max) {
  std::string value(profile.ProfileString(key).value_or(std::string(fallback)));
  if (value.size() > max) value.resize(max);
  return value;
}

// The first character of Key's text; a missing or empty value keeps Current.
char ReadChar(const TCapIntlProfile& profile, std::string_view key, char current) {
  const std::optional<std::string> value = profile.ProfileString(key);
  return value && !value->empty() ? (*value)[0] : current;
}

// The integer of Key as the profile's integer reader gives it: the default when the
// key is missing, else the decimal digits at the start (after blanks), 0 without
// any; a negative value gives 0.
int32_t ReadInt(const TCapIntlProfile& profile, std::string_view key, int32_t fallback) {
  const std::optional<std::string> value = profile.ProfileString(key);
  if (!value) return fallback;
  size_t i = value->find_first_not_of(' ');
  if (i == std::string::npos) return 0;
  if ((*value)[i] == '-') return 0;
  if ((*value)[i] == '+') ++i;
  int64_t result = 0;
  for (; i < value->size() && std::isdigit(static_cast<unsigned char>((*value)[i])); ++i) {
    result = result * 10 + ((*value)[i] - '0');
    if (result > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(result);
}

// From the first place where Run (three of one letter) occurs, the whole run of that
// letter becomes a run of Into.
void ReplaceRun(std::string& picture, std::string_view run, char into) {
  size_t i = picture.find(run);
  if (i == std::string::npos) return;
  for (; i < picture.size() && picture[i] == run[0]; ++i)
    picture[i] = into;
}

}  // namespace

void TCapMapProfile::Set(std::string key, std::string value) {
  values_[UpperAscii(key)] = std::move(value);
}

std::optional<std::string> TCapMapProfile::ProfileString(std::string_view key) const {
  const auto found = values_.find(UpperAscii(key));
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

TCapIntlSup::TCapIntlSup(const TCapIntlProfile& profile, const TCapMessageTable& messages) {
  decimal_char_ = ReadChar(profile, "sDecimal", decimal_char_);
  thousands_char_ = ReadChar(profile, "sThousand", thousands_char_);
  currency_digits_ = ReadInt(profile, "iCurrDigits", currency_digits_);
  // Equal separators would make every number ambiguous.
  if (decimal_char_ == thousands_char_) {
    decimal_char_ = '.';
    thousands_char_ = ',';
  }

  neg_currency_format_ = ReadInt(profile, "iNegCurr", 0);
  list_char_ = ReadChar(profile, "sList", list_char_);
  country_ = ReadString(profile, "sCountry", "", kMaxCountry);

  currency_left_ = ReadString(profile, "sCurrency", "$", kMaxCurrency);
  currency_right_ = currency_left_;
  currency_placement_ = ReadInt(profile, "iCurrency", 0);
  if (currency_placement_ == 2) currency_left_ += ' ';
  if (currency_placement_ == 3) currency_right_.insert(0, 1, ' ');

  time_leading_zero_ = ReadInt(profile, "iTLZero", 0) != 0;
  const std::string long_time = profile.LongTimeFormat();
  twelve_hour_clock_ = !long_time.empty() && long_time.back() == 'M';

  time_char_ = ReadChar(profile, "sTime", time_char_);
  date_char_ = ReadChar(profile, "sDate", date_char_);
  am_string_ = ReadString(profile, "s1159", "AM", kMaxAmPm);
  pm_string_ = ReadString(profile, "s2359", "PM", kMaxAmPm);

  std::optional<std::string> short_date = profile.RegistryShortDate();
  if (!short_date) short_date = profile.ProfileString("sShortDate");
  short_date_ = short_date.value_or("MM/dd/yy");
  if (short_date_.size() > kMaxShortDate) short_date_.resize(kMaxShortDate);
  for (char& c : short_date_) {
    if (c == date_char_) c = '/';
  }

  ReadLongDatePicture(ReadString(profile, "sLongDate", "dddd, MMMM dd, yyyy", kMaxLongDate));

  ReplaceRun(short_date_, "MMM", 'n');
  ReplaceRun(long_date_, "MMM", 'n');

  // A blank after every comma and full stop, so that the parts of a long date never
  // run together.
  for (size_t i = 0; i < long_date_.size(); ++i) {
    const char c = long_date_[i];
    if ((c == ',' || c == '.') && (i + 1 >= long_date_.size() || long_date_[i + 1] != ' ')) {
      long_date_.insert(i + 1, 1, ' ');
    }
  }

  const auto one_char = [&messages](int32_t number, char& target) {
    const std::string text = messages.FindIntl(number);
    if (text.size() == 1) target = text[0];
  };
  one_char(kCapMsgTrue, true_char_);
  one_char(kCapMsgFalse, false_char_);
  one_char(kCapMsgYes, yes_char_);
  one_char(kCapMsgNo, no_char_);
}

// Cuts up to three quoted literal pieces out of the picture into the literal
// slots, leaving a placeholder letter for each character kept; then marks the
// weekday name.
void TCapIntlSup::ReadLongDatePicture(std::string picture) {
  static constexpr char kPlaceholders[] = {'f', 'g', 'h'};
  for (size_t slot = 0; slot < literals_.size(); ++slot) {
    const size_t open = picture.find('\'');
    if (open == std::string::npos) break;
    const size_t close = picture.find('\'', open + 1);
    if (close == std::string::npos) {
      picture.erase(open, 1);  // a lone quote
      break;
    }
    std::string piece = picture.substr(open + 1, close - open - 1);
    if (piece.size() > kMaxLiteral) piece.resize(kMaxLiteral);
    picture.replace(open, close - open + 1, std::string(piece.size(), kPlaceholders[slot]));
    literals_[slot] = std::move(piece);
  }
  long_date_ = std::move(picture);
  ReplaceRun(long_date_, "ddd", 'w');
}
