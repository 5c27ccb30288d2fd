#include "widgets/capcolor.h"

#include <gtest/gtest.h>

namespace {

TEST(CapColorTest, SplitsRedAsTheLowestByte) {
  EXPECT_EQ(CapSplitColor(0x00123456), (TCapRGB{0x56, 0x34, 0x12}));
  EXPECT_EQ(CapSplitColor(platform::kClOlive), (TCapRGB{0x80, 0x80, 0x00}));
  EXPECT_EQ(CapJoinColor(TCapRGB{0x56, 0x34, 0x12}), 0x00123456u);
}

TEST(CapColorTest, ResolvesSystemColoursFirst) {
  // Button face of the classic scheme: RGB 212, 208, 200.
  EXPECT_EQ(CapSplitColor(platform::kClBtnFace), (TCapRGB{212, 208, 200}));
  EXPECT_EQ(CapResolveColor(platform::kClWindow), 0xFFFFFFu);
  EXPECT_EQ(CapResolveColor(platform::kClWindowText), 0x000000u);
  // An index the table does not know gives black, as GetSysColor does.
  EXPECT_EQ(CapResolveColor(platform::kSystemColorFlag | 0x7F), 0u);
  EXPECT_EQ(CapResolveColor(platform::kClAqua), platform::kClAqua);
}

TEST(CapColorTest, RoundsHalvesToEven) {
  struct Case {
    double x;
    int32_t rounded;
  };
  const Case cases[] = {{0.5, 0},      {1.5, 2},   {2.5, 2},           {-0.5, 0},
                        {-1.5, -2},    {-2.5, -2}, {2.4999, 2},        {2.5001, 3},
                        {-8.5333, -9}, {7.5, 8},   {1e12, 2147483647}, {-1e12, -2147483647 - 1}};
  for (const Case& c : cases)
    EXPECT_EQ(CapRound(c.x), c.rounded) << c.x;
}

TEST(CapColorTest, MinAndMaxOfSignedIntegers) {
  EXPECT_EQ(CapMinI(-3, 2), -3);
  EXPECT_EQ(CapMaxI(-3, 2), 2);
  EXPECT_EQ(CapMinI(5, 5), 5);
}

}  // namespace
