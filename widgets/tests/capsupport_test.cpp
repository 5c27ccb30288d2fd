#include "widgets/capsupport.h"

#include <gtest/gtest.h>

#include "platform/date_time.h"
#include "platform/exception.h"

namespace {

TEST(CapSupportTest, SharedObjectsLiveWithTheStartUpWork) {
  EXPECT_EQ(CapIntlSup(), nullptr);
  EXPECT_EQ(CapUserData(), nullptr);
  {
    TCapMapProfile profile;
    profile.Set("sCurrency", "kr");
    TCapSupport support(profile);
    ASSERT_NE(CapIntlSup(), nullptr);
    EXPECT_EQ(CapIntlSup()->CurrencyLeft(), "kr");
    EXPECT_EQ(CapUserData(), &support.UserData());
    EXPECT_EQ(support.Messages().Find(30368), "Y");
    const platform::DateParts today = platform::DecodeDate(platform::Now());
    // The month may turn between the two readings; the year with it at most once.
    EXPECT_GE(support.StartYear(), today.year - 1);
    EXPECT_GE(support.StartMonth(), 1);
    EXPECT_LE(support.StartMonth(), 12);

    EXPECT_THROW(TCapSupport second(profile), Exception);
    EXPECT_NE(CapIntlSup(), nullptr);  // the first still runs
  }
  EXPECT_EQ(CapIntlSup(), nullptr);
  EXPECT_EQ(CapUserData(), nullptr);
}

TEST(CapSupportTest, AlphabeticCharacters) {
  const TCapCharSet alpha = CapAlphaCharSet();
  for (unsigned char c : {' ', ',', '-', '.', 'A', 'Z', 'a', 'z'})
    EXPECT_TRUE(alpha.test(c)) << int(c);
  // Letters of Windows-1252: S caron, ordinal indicators, micro, A grave, y diaeresis.
  for (int c : {0x8A, 0x9F, 0xAA, 0xB5, 0xBA, 0xC0, 0xE9, 0xFF})
    EXPECT_TRUE(alpha.test(c)) << c;
  // Digits, other punctuation, the euro sign, the multiplication and division signs.
  for (int c : {0, int{'0'}, int{'9'}, int{'!'}, int{'_'}, 0x7F, 0x80, 0xA0, 0xD7, 0xF7})
    EXPECT_FALSE(alpha.test(c)) << c;
}

TEST(CapSupportTest, UserData) {
  const TCapUserData data;
  for (const TCapCharSet& set : data.UserCharSets()) {
    EXPECT_FALSE(set.test(0));
    EXPECT_EQ(set.count(), 255u);
  }
  const std::array<uint8_t, 16> expected = {0,    0,    0,    0,    0,    0,    0,    0,
                                            0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8};
  EXPECT_EQ(data.SubstitutionChars(), expected);
}

}  // namespace
