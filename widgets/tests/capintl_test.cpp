#include "widgets/capintl.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/resources.h"
#include "widgets/capmessages.h"

namespace {

TCapMessageTable LoadedMessages() {
  TCapMessageTable messages;
  messages.Load();
  return messages;
}

TEST(CapMessageTableTest, LooksUpTheNumbersTheSystemUses) {
  const TCapMessageTable messages = LoadedMessages();
  EXPECT_EQ(messages.Find(30368), "Y");
  EXPECT_EQ(messages.Find(30369), "N");
  EXPECT_EQ(messages.Find(30370), "T");
  EXPECT_EQ(messages.Find(30371), "F");
  EXPECT_EQ(messages.Find(30168), "");
  EXPECT_EQ(messages.Find(0), "");
  EXPECT_EQ(messages.Find(40000), "");
  EXPECT_EQ(messages.FindIntl(30368), "Y");
  EXPECT_EQ(messages.FindIntl(30367), "Unknown");
}

TEST(CapMessageTableTest, IsEmptyUntilLoadedAndAfterRelease) {
  TCapMessageTable messages;
  EXPECT_FALSE(messages.Loaded());
  EXPECT_EQ(messages.Find(30368), "");
  messages.Load();
  EXPECT_TRUE(messages.Loaded());
  messages.Release();
  EXPECT_EQ(messages.Find(30368), "");
}

TEST(CapIntlSupTest, EmptyProfileGivesTheDefaults) {
  const TCapIntlSup intl(TCapMapProfile{}, LoadedMessages());
  EXPECT_EQ(intl.CurrencyLeft(), "$");
  EXPECT_EQ(intl.CurrencyRight(), "$");
  EXPECT_EQ(intl.DecimalChar(), '.');
  EXPECT_EQ(intl.ThousandsChar(), ',');
  EXPECT_EQ(intl.CurrencyDigits(), 2);
  EXPECT_EQ(intl.NegCurrencyFormat(), 0);
  EXPECT_EQ(intl.ListChar(), ',');
  EXPECT_EQ(intl.Country(), "");
  EXPECT_EQ(intl.CurrencyPlacement(), 0);
  EXPECT_FALSE(intl.TimeLeadingZero());
  EXPECT_FALSE(intl.TwelveHourClock());
  EXPECT_EQ(intl.TimeChar(), ':');
  EXPECT_EQ(intl.DateChar(), '/');
  EXPECT_EQ(intl.AmString(), "AM");
  EXPECT_EQ(intl.PmString(), "PM");
  EXPECT_EQ(intl.ShortDatePicture(), "MM/dd/yy");
  EXPECT_EQ(intl.LongDatePicture(), "wwww, nnnn dd, yyyy");
  EXPECT_EQ(intl.LiteralPieces(), (std::array<std::string, 3>{}));
  EXPECT_EQ(intl.TrueChar(), 'T');
  EXPECT_EQ(intl.FalseChar(), 'F');
  EXPECT_EQ(intl.YesChar(), 'Y');
  EXPECT_EQ(intl.NoChar(), 'N');
}

TEST(CapIntlSupTest, EqualSeparatorsFallBackToPointAndComma) {
  TCapMapProfile profile;
  profile.Set("sDecimal", ";");
  profile.Set("SThousand", ";");  // keys without case
  const TCapIntlSup intl(profile, LoadedMessages());
  EXPECT_EQ(intl.DecimalChar(), '.');
  EXPECT_EQ(intl.ThousandsChar(), ',');

  TCapMapProfile swedish;
  swedish.Set("sDecimal", ",");
  swedish.Set("sThousand", " ");
  const TCapIntlSup sv(swedish, LoadedMessages());
  EXPECT_EQ(sv.DecimalChar(), ',');
  EXPECT_EQ(sv.ThousandsChar(), ' ');

  TCapMapProfile empty_decimal;
  empty_decimal.Set("sDecimal", "");
  EXPECT_EQ(TCapIntlSup(empty_decimal, LoadedMessages()).DecimalChar(), '.');
}

TEST(CapIntlSupTest, ReadsNumbersAsTheProfileReaderDoes) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {{"3", 3}, {" 4", 4}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"-2", 0}};
  for (const Case& c : cases) {
    TCapMapProfile profile;
    profile.Set("iCurrDigits", c.text);
    EXPECT_EQ(TCapIntlSup(profile, LoadedMessages()).CurrencyDigits(), c.value) << c.text;
  }
}

TEST(CapIntlSupTest, CurrencyPlacementAddsTheBlank) {
  struct Case {
    const char* placement;
    const char* left;
    const char* right;
  };
  const Case cases[] = {
      {"0", "kr", "kr"}, {"1", "kr", "kr"}, {"2", "kr ", "kr"}, {"3", "kr", " kr"}};
  for (const Case& c : cases) {
    TCapMapProfile profile;
    profile.Set("sCurrency", "kr");
    profile.Set("iCurrency", c.placement);
    const TCapIntlSup intl(profile, LoadedMessages());
    EXPECT_EQ(intl.CurrencyLeft(), c.left) << c.placement;
    EXPECT_EQ(intl.CurrencyRight(), c.right) << c.placement;
  }
}

TEST(CapIntlSupTest, TextsKeepTheReadersLengths) {
  TCapMapProfile profile;
  profile.Set("sCurrency", "ABCDEFGH");
  profile.Set("s1159", "morning");
  profile.Set("s2359", "");
  profile.Set("sCountry", std::string(300, 'c'));
  const TCapIntlSup intl(profile, LoadedMessages());
  EXPECT_EQ(intl.CurrencyLeft(), "ABCDE");
  EXPECT_EQ(intl.AmString(), "morni");
  EXPECT_EQ(intl.PmString(), "");
  EXPECT_EQ(intl.Country(), std::string(255, 'c'));
}

// Each text is kept whole at its longest length and cut to it one character past.
TEST(CapIntlSupTest, TextsAreKeptToTheirLongestLengthsAndCutOnePast) {
  using Read = std::function<std::string(const TCapIntlSup&)>;
  const struct {
    const char* key;
    size_t longest;
    Read read;
    std::string quote;  // around the value: a literal piece of the long date
  } texts[] = {
      {"sCurrency", TCapIntlSup::kMaxCurrency, &TCapIntlSup::CurrencyLeft, ""},
      {"sCountry", TCapIntlSup::kMaxCountry, &TCapIntlSup::Country, ""},
      {"s1159", TCapIntlSup::kMaxAmPm, &TCapIntlSup::AmString, ""},
      {"s2359", TCapIntlSup::kMaxAmPm, &TCapIntlSup::PmString, ""},
      {"sShortDate", TCapIntlSup::kMaxShortDate, &TCapIntlSup::ShortDatePicture, ""},
      {"sLongDate", TCapIntlSup::kMaxLongDate, &TCapIntlSup::LongDatePicture, ""},
      {"sLongDate", TCapIntlSup::kMaxLiteral,
       [](const TCapIntlSup& intl) { return intl.LiteralPieces()[0]; }, "'"},
  };
  for (const auto& t : texts) {
    for (const size_t length : {t.longest, t.longest + 1}) {
      SCOPED_TRACE(std::string(t.key) + " " + std::to_string(length));
      TCapMapProfile profile;
      profile.Set(t.key, t.quote + std::string(length, 'y') + t.quote);
      const TCapIntlSup intl(profile, LoadedMessages());
      EXPECT_EQ(t.read(intl), std::string(t.longest, 'y'));
    }
  }
}

TEST(CapIntlSupTest, ClockSettings) {
  TCapMapProfile profile;
  profile.Set("iTLZero", "1");
  profile.Set("sTime", ".");
  profile.SetLongTimeFormat("h:nn:ss AMPM");
  const TCapIntlSup intl(profile, LoadedMessages());
  EXPECT_TRUE(intl.TimeLeadingZero());
  EXPECT_TRUE(intl.TwelveHourClock());
  EXPECT_EQ(intl.TimeChar(), '.');
}

TEST(CapIntlSupTest, ShortDatePictureUsesSlashes) {
  TCapMapProfile profile;
  profile.Set("sDate", ".");
  profile.Set("sShortDate", "dd.MM.yyyy");
  EXPECT_EQ(TCapIntlSup(profile, LoadedMessages()).ShortDatePicture(), "dd/MM/yyyy");

  // The value in the settings store wins over the profile's; month names become n.
  profile.SetRegistryShortDate("d-MMM-yy");
  profile.Set("sDate", "-");
  EXPECT_EQ(TCapIntlSup(profile, LoadedMessages()).ShortDatePicture(), "d/nnn/yy");
}

TEST(CapIntlSupTest, LongDatePictureLiteralsAndNames) {
  struct Case {
    const char* picture;
    const char* result;
    std::array<std::string, 3> literals;
  };
  const Case cases[] = {
      // The example of a Swedish long date: the comma is followed by a blank already.
      {"dddd, 'den' d MMMM yyyy", "wwww, fff d nnnn yyyy", {"den", "", ""}},
      // Pieces beyond six characters are cut; three pieces at most.
      {"'abcdefgh'd'x''y''z'", "ffffffdgh'z'", {"abcdef", "x", "y"}},
      // A lone quote is removed.
      {"d 'MMMM", "d nnnn", {"", "", ""}},
      // Blanks after commas and full stops, the last one too.
      {"d.MMMM.yyyy.", "d. nnnn. yyyy. ", {"", "", ""}},
      {"dd,ddd", "dd, www", {"", "", ""}},
  };
  for (const Case& c : cases) {
    TCapMapProfile profile;
    profile.Set("sLongDate", c.picture);
    const TCapIntlSup intl(profile, LoadedMessages());
    EXPECT_EQ(intl.LongDatePicture(), c.result) << c.picture;
    EXPECT_EQ(intl.LiteralPieces(), c.literals) << c.picture;
  }
}

TEST(CapIntlSupTest, LongDatePictureMayOutgrowItsReadLength) {
  // 39 characters read, then a blank after each of the 19 commas: no fixed buffer
  // to overrun, the picture simply grows.
  std::string picture;
  for (int i = 0; i < 20; ++i)
    picture += "d,";
  TCapMapProfile profile;
  profile.Set("sLongDate", picture);
  const TCapIntlSup intl(profile, LoadedMessages());
  std::string expected;
  for (int i = 0; i < 19; ++i)
    expected += "d, ";
  expected += "d";
  EXPECT_EQ(intl.LongDatePicture(), expected);
  EXPECT_EQ(intl.LongDatePicture().size(), 39u + 19u);
}

class LanguageModule : public platform::ResourceModule {
 public:
  explicit LanguageModule(std::map<std::string, std::string> texts) : texts_(std::move(texts)) {}
  std::optional<std::string> FindString(std::string_view id) const override {
    const auto found = texts_.find(std::string(id));
    if (found == texts_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::string, std::string> texts_;
};

TEST(CapIntlSupTest, YesNoTrueFalseComeFromOneCharacterMessages) {
  platform::SetResourceModule(std::make_unique<LanguageModule>(std::map<std::string, std::string>{
      {"CapMessages.30368", "J"}, {"CapMessages.30369", "Nej"}, {"CapMessages.30370", "S"}}));
  const TCapMessageTable messages = LoadedMessages();
  platform::SetResourceModule(nullptr);
  const TCapIntlSup intl(TCapMapProfile{}, messages);
  EXPECT_EQ(intl.YesChar(), 'J');
  EXPECT_EQ(intl.NoChar(), 'N');  // "Nej" is not one character
  EXPECT_EQ(intl.TrueChar(), 'S');
  EXPECT_EQ(intl.FalseChar(), 'F');

  // Without a loaded table the lookups give "Unknown", so the defaults stand.
  const TCapIntlSup unloaded(TCapMapProfile{}, TCapMessageTable{});
  EXPECT_EQ(unloaded.YesChar(), 'Y');
}

}  // namespace
