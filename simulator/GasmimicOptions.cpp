#include "simulator/GasmimicOptions.h"

#include <charconv>
#include <string>

#include "simulator/Unit1Connection.h"
#include "simulator/Unit1Sending.h"

namespace {

constexpr int kMaxTcpPort = 65535;

// A whole decimal number within Low .. High, and nothing else.
std::optional<int> Number(const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::string SecondsRange() {
  return std::to_string(kMinIntervalSeconds) + " to " + std::to_string(kMaxIntervalSeconds);
}

}  // namespace

TParsedOptions ParseGasmimicOptions(const std::vector<std::string>& args) {
  TParsedOptions parsed;
  TGasmimicOptions& o = parsed.options;
  auto fail = [&](std::string error) {
    parsed.error = std::move(error);
    return parsed;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takes_value = arg == "--com" || arg == "--network" || arg == "--port" ||
                             arg == "--interval" || arg == "--quit-after";
    if (takes_value && i + 1 >= args.size()) return fail(arg + " needs a value");
    const std::string value = takes_value ? args[++i] : std::string();
    if (arg == "--com") {
      o.com = Number(value, 1, kLastComEntry);
      if (!o.com)
        return fail("--com takes a port number from 1 to " + std::to_string(kLastComEntry));
    } else if (arg == "--network") {
      if (value.empty()) return fail("--network takes a host name or address");
      o.network_host = value;
    } else if (arg == "--port") {
      o.port = Number(value, 1, kMaxTcpPort);
      if (!o.port) return fail("--port takes a TCP port from 1 to " + std::to_string(kMaxTcpPort));
    } else if (arg == "--interval") {
      o.interval_seconds = Number(value, kMinIntervalSeconds, kMaxIntervalSeconds);
      if (!o.interval_seconds) return fail("--interval takes seconds from " + SecondsRange());
    } else if (arg == "--quit-after") {
      o.quit_after_seconds = Number(value, kMinIntervalSeconds, kMaxIntervalSeconds);
      if (!o.quit_after_seconds) return fail("--quit-after takes seconds from " + SecondsRange());
    } else if (arg == "--single-cs-error") {
      o.checksum_error = true;
    } else if (arg == "--start") {
      o.start = true;
    } else if (arg == "--send-canned-once") {
      o.send_canned_once = true;
    } else {
      return fail("unknown argument: " + arg);
    }
  }
  if (o.com && o.network_host) return fail("--com and --network exclude each other");
  if (o.start && o.send_canned_once)
    return fail("--start and --send-canned-once exclude each other");
  if (o.send_canned_once && !o.com) return fail("--send-canned-once needs --com");
  if (o.checksum_error && !o.com) return fail("--single-cs-error needs --com");
  if (o.start && !o.com && !o.network_host) return fail("--start needs --com or --network");
  return parsed;
}

std::string GasmimicUsage() {
  return "usage: gasmimic [--com N [--single-cs-error] | --network HOST [--port N]]\n"
         "                [--interval S] [--start | --send-canned-once] [--quit-after S]\n"
         "  --com N              pick COMn (1..16)\n"
         "  --network HOST       pick \"Network\" and connect to HOST\n"
         "  --port N             the collector's analyzer port (default 14000)\n"
         "  --interval S         the sending interval in seconds\n"
         "  --single-cs-error    check \"Single CS Error\" (one frame with a wrong checksum)\n"
         "  --start              press Start\n"
         "  --send-canned-once   press Send; end once the canned message has gone out\n"
         "  --quit-after S       end after S seconds (a serial message in flight first ends)\n";
}
