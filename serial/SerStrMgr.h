// The serial library's string tables: resources in the "STR0" layout, read by id.
//
// A table is the magic "STR0", a 32-bit entry count, the entries (id, offset of the
// text, length of the text in UTF-16 units; 32-bit little-endian, sorted by id) and
// the texts in UTF-16LE. The library's two tables are built into the program at build
// time from the readable text tables in serial/strings (tools/str0gen.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

// The string manager's own failures (not an ESerException).
class ETpsStringResourceError : public Exception {
 public:
  using Exception::Exception;
};

// The longest resource name looked up, as the system copies one: a longer name is
// cut to it.
constexpr size_t kMaxResourceName = 255;

// The table built into the program under Name; empty when there is none.
std::span<const uint8_t> FindSerialResource(std::string_view name);

class TSerStringResource {
 public:
  // Opens the built-in table Name: raises "String resource not found: <name>" when
  // there is none and "Invalid string resource" when it is no sound "STR0" table.
  explicit TSerStringResource(std::string_view resource_name);
  // Opens a table over the given bytes, checked the same way.
  explicit TSerStringResource(std::vector<uint8_t> bytes);

  // The text of Id in Windows-1252; empty when the table has no such id.
  std::string LookUpString(int32_t id) const;

 private:
  void OpenTable();
  // Index of the entry of Id, or -1.
  int32_t FindEntry(int32_t id) const;
  int32_t ReadInt32(size_t offset) const;

  std::vector<uint8_t> bytes_;
  int32_t count_ = 0;
  bool raise_on_missing_ = false;  // as created; no caller changes it
};

// The two tables of the library: the string manager's messages ("SERSTRMGR_STRINGS")
// and the error and event-log texts ("SERIAL_ERROR_STRINGS_ENGLISH").
const TSerStringResource& LibraryStrings();
const TSerStringResource& ErrorStrings();
