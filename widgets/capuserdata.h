// TCapUserData: the user-defined character sets of the caption label's widget set
// (for picture masks that nothing in this system uses), and the set of characters
// that count as alphabetic.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

using TCapCharSet = std::bitset<256>;

class TCapUserData {
 public:
  // Eight user sets, each every character but #0; then eight zero bytes and the
  // characters #$F1 to #$F8 as the user's substitution characters.
  TCapUserData();

  std::array<TCapCharSet, 8>& UserCharSets() { return user_char_sets_; }
  const std::array<TCapCharSet, 8>& UserCharSets() const { return user_char_sets_; }
  const std::array<uint8_t, 16>& SubstitutionChars() const { return substitution_chars_; }

 private:
  std::array<TCapCharSet, 8> user_char_sets_;
  std::array<uint8_t, 16> substitution_chars_{};
};

// The characters the widget set takes as alphabetic: blank, ",", "-", ".", "A" to
// "Z", "a" to "z", and the letters of Windows-1252 from 128 to 255.
TCapCharSet CapAlphaCharSet();
