// Gasmimic's command line. The window needs none; these options let a script (the
// run script, the end-to-end tests) drive it as a user would:
//
//   --com N              pick COMn (1..16) in the port list
//   --network HOST       pick "Network" and connect to HOST without asking
//   --port N             the analyzer server's TCP port (default 14000)
//   --interval S         the sending interval in seconds (1 .. 2147483)
//   --single-cs-error    check "Single CS Error": the first frame goes with a wrong
//                        checksum, once (needs --com)
//   --start              press Start
//   --send-canned-once   press Send, and end once the canned message has gone out
//                        (needs --com: the canned message goes over the serial line)
//   --quit-after S       end after S seconds, but never in the middle of a serial
//                        message: one in flight is given the stall time to end
//
// Start and Send need a line (--com or --network), since without one the window
// would ask the user with a message box.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TGasmimicOptions {
  std::optional<int> com;
  std::optional<std::string> network_host;
  std::optional<int> port;
  std::optional<int> interval_seconds;
  bool checksum_error = false;
  bool start = false;
  bool send_canned_once = false;
  std::optional<int> quit_after_seconds;
};

struct TParsedOptions {
  TGasmimicOptions options;
  std::string error;  // empty when the arguments are valid
};

// Parses the arguments after the program name (those Qt has not taken).
TParsedOptions ParseGasmimicOptions(const std::vector<std::string>& args);

// The usage text for the error output.
std::string GasmimicUsage();
