// Record lines for the collector's tests, built from their fields.
#pragma once

#include <initializer_list>
#include <string>

namespace collector_test {

// A record from its fields: "4R" and "1" give "4R|1".
inline std::string Rec(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line += '|';
    line += field;
  }
  return line;
}

}  // namespace collector_test
