// The window's connection texts and rules: the entries of the port list, the
// captions of the TCP connection to the collector, and how a host text is told to
// be an address.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kWindowCaption = "RadioMeter ABL 625 (Ver 1.1)";
inline constexpr std::string_view kNoLineText = "Please set Com Number first";
inline constexpr std::string_view kDisconnectedCaption = "Disconnected";
inline constexpr std::string_view kHostInputCaption = "IP address or Host name";
inline constexpr std::string_view kHostInputPrompt = "Enter IP address or Host name";

// The collector's analyzer server.
inline constexpr int kCollectorPort = 14000;
// Timer2's interval (its form's Interval, which the tests hold equal to this): a
// lost connection is tried again this often while "Network" is chosen.
inline constexpr int kReconnectMs = 3000;

// ComSel's entries: "Disabled", "COM1" .. "COM16", "Network"; an entry's index is
// the port number it sets.
inline constexpr int kLastComEntry = 16;
inline constexpr int kNetworkEntry = kLastComEntry + 1;
std::vector<std::string> ComSelEntries();

// The window caption while connected: "Connected to " + host + " (" + address + ")".
std::string ConnectedCaption(std::string_view host, std::string_view address);

// True when Text has a "." at its second character or later, the text after that
// "." has one too, and the text after the second "." as well, and Text without its
// dots is digits only: "10.0.0.1" is an address, "a.b.c.d", "1.2.3" and "1..2.3"
// are not. Five numbers pass too; the connection then fails as for a bad address.
bool IsIPAddress(std::string_view text);
