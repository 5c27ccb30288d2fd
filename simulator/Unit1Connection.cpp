#include "simulator/Unit1Connection.h"

std::vector<std::string> ComSelEntries() {
  std::vector<std::string> entries{"Disabled"};
  for (int port = 1; port <= kLastComEntry; ++port)
    entries.push_back("COM" + std::to_string(port));
  entries.emplace_back("Network");
  return entries;
}

std::string ConnectedCaption(std::string_view host, std::string_view address) {
  return "Connected to " + std::string(host) + " (" + std::string(address) + ")";
}

bool IsIPAddress(std::string_view text) {
  std::string_view rest = text;
  for (int dot = 0; dot < 3; ++dot) {
    const size_t at = rest.find('.');
    if (at == std::string_view::npos || at == 0) return false;
    rest = rest.substr(at + 1);
  }
  for (char c : text)
    if (c != '.' && (c < '0' || c > '9')) return false;
  return true;
}
