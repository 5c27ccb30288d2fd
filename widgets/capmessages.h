// The message strings of the caption label's widget set: numbered texts, looked
// up by number. Of the set's several hundred strings (error messages, captions and
// mask descriptions of controls this system does not have) only those the system
// uses are carried: the characters for yes, no, true and false that the
// international settings take (capintl.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"

inline constexpr platform::ResourceString SCapYesChar{"CapMessages.30368", "Y"};
inline constexpr platform::ResourceString SCapNoChar{"CapMessages.30369", "N"};
inline constexpr platform::ResourceString SCapTrueChar{"CapMessages.30370", "T"};
inline constexpr platform::ResourceString SCapFalseChar{"CapMessages.30371", "F"};
inline constexpr platform::ResourceString SCapUnknownMessage{"CapMessages.Unknown", "Unknown"};

constexpr int32_t kCapMsgYes = 30368;
constexpr int32_t kCapMsgNo = 30369;
constexpr int32_t kCapMsgTrue = 30370;
constexpr int32_t kCapMsgFalse = 30371;

// The table, its texts taken from the resource module in force when it is loaded
// (at start-up); they stay as loaded until the table is released.
class TCapMessageTable {
 public:
  // Loads the texts of every entry.
  void Load();
  // Empties the table.
  void Release() { entries_.clear(); }
  bool Loaded() const { return !entries_.empty(); }

  // The text of Number, by binary search; "" when the table has no such entry.
  std::string Find(int32_t number) const;
  // The same, but "Unknown" for a number the table lacks, as the international
  // settings look their strings up.
  std::string FindIntl(int32_t number) const;

 private:
  const std::string* Lookup(int32_t number) const;

  struct Entry {
    int32_t number;
    std::string text;
  };
  std::vector<Entry> entries_;  // sorted by number
};
