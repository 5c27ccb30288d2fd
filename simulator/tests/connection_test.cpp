#include "simulator/Unit1Connection.h"

#include <gtest/gtest.h>

namespace {

TEST(IsIPAddress, NeedsThreeDotsEachAfterSomethingAndDigitsOnly) {
  struct Case {
    const char* text;
    bool address;
  };
  const Case cases[] = {
      {"192.168.1.20", true},
      {"127.0.0.1", true},
      {"1.2.3", false},
      {"a.b.c.d", false},
      {"host.example.org", false},
      {"my.host.example.org", false},
      {"1..2.3.4", false},
      {".1.2.3", false},
      {"1.2.3.", true},
      {"1.2.3.4.5", true},
      {"", false},
      {"localhost", false},
      {"1.2.3.4 ", false},
      {"1.2.3.-4", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsIPAddress(c.text), c.address) << c.text;
  }
}

TEST(ConnectedCaption, NamesHostAndAddress) {
  EXPECT_EQ(ConnectedCaption("collector", "10.0.0.2"), "Connected to collector (10.0.0.2)");
}

TEST(ComSelEntries, AreDisabledSixteenPortsAndNetwork) {
  const std::vector<std::string> entries = ComSelEntries();
  ASSERT_EQ(entries.size(), 18u);
  EXPECT_EQ(entries[0], "Disabled");
  EXPECT_EQ(entries[1], "COM1");
  EXPECT_EQ(entries[9], "COM9");
  EXPECT_EQ(entries[16], "COM16");
  EXPECT_EQ(entries[kNetworkEntry], "Network");
}

}  // namespace
