// Gasmimic's command line: what it accepts, and what it says about the rest.
#include "simulator/GasmimicOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(GasmimicOptionsTest, ValidCommandLines) {
  auto parsed = ParseGasmimicOptions({});
  EXPECT_EQ(parsed.error, "");
  EXPECT_FALSE(parsed.options.com || parsed.options.network_host || parsed.options.start);

  parsed = ParseGasmimicOptions({"--com", "16", "--send-canned-once", "--quit-after", "5"});
  EXPECT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.com, 16);
  EXPECT_TRUE(parsed.options.send_canned_once);
  EXPECT_FALSE(parsed.options.checksum_error);
  EXPECT_EQ(parsed.options.quit_after_seconds, 5);

  parsed = ParseGasmimicOptions({"--single-cs-error", "--com", "1", "--start"});
  EXPECT_EQ(parsed.error, "");
  EXPECT_TRUE(parsed.options.checksum_error);
  EXPECT_TRUE(parsed.options.start);

  parsed = ParseGasmimicOptions(
      {"--network", "collector.example", "--port", "14500", "--interval", "4", "--start"});
  EXPECT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.network_host, "collector.example");
  EXPECT_EQ(parsed.options.port, 14500);
  EXPECT_EQ(parsed.options.interval_seconds, 4);
  EXPECT_TRUE(parsed.options.start);
}

TEST(GasmimicOptionsTest, WrongCommandLinesSayWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--com"}, "--com needs a value"},
      {{"--com", "0"}, "--com takes a port number from 1 to 16"},
      {{"--com", "2x"}, "--com takes a port number from 1 to 16"},
      {{"--com", "-1"}, "--com takes a port number from 1 to 16"},
      {{"--network", ""}, "--network takes a host name or address"},
      {{"--port", "65536"}, "--port takes a TCP port from 1 to 65535"},
      {{"--interval", "0"}, "--interval takes seconds from 1 to 2147483"},
      {{"--interval", "2147484"}, "--interval takes seconds from 1 to 2147483"},
      {{"--quit-after", "99999999999"}, "--quit-after takes seconds from 1 to 2147483"},
      {{"--verbose"}, "unknown argument: --verbose"},
      {{"--com", "1", "--network", "h"}, "--com and --network exclude each other"},
      {{"--com", "1", "--start", "--send-canned-once"},
       "--start and --send-canned-once exclude each other"},
      {{"--network", "h", "--send-canned-once"}, "--send-canned-once needs --com"},
      {{"--start"}, "--start needs --com or --network"},
      {{"--single-cs-error"}, "--single-cs-error needs --com"},
      {{"--network", "h", "--single-cs-error", "--start"}, "--single-cs-error needs --com"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(ParseGasmimicOptions(c.args).error, c.error);
  }
}

// Each number is taken at both ends of its range and refused one past either.
TEST(GasmimicOptionsTest, NumbersAreTakenToTheirLimitsAndRefusedOnePast) {
  using Field = std::optional<int> TGasmimicOptions::*;
  const struct {
    const char* option;
    Field field;
    int low, high;
    std::string error;
  } options[] = {
      {"--com", &TGasmimicOptions::com, 1, 16, "--com takes a port number from 1 to 16"},
      {"--port", &TGasmimicOptions::port, 1, 65535, "--port takes a TCP port from 1 to 65535"},
      {"--interval", &TGasmimicOptions::interval_seconds, 1, 2147483,
       "--interval takes seconds from 1 to 2147483"},
      {"--quit-after", &TGasmimicOptions::quit_after_seconds, 1, 2147483,
       "--quit-after takes seconds from 1 to 2147483"},
  };
  for (const auto& o : options) {
    for (const int value : {o.low, o.high, o.low - 1, o.high + 1}) {
      SCOPED_TRACE(std::string(o.option) + " " + std::to_string(value));
      const bool taken = value >= o.low && value <= o.high;
      const TParsedOptions parsed = ParseGasmimicOptions({o.option, std::to_string(value)});
      EXPECT_EQ(parsed.error, taken ? "" : o.error);
      if (taken) {
        EXPECT_EQ(parsed.options.*o.field, value);
      }
    }
  }
}

}  // namespace
