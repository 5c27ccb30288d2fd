#include "widgets/capuserdata.h"

TCapUserData::TCapUserData() {
  for (TCapCharSet& set : user_char_sets_) {
    set.set();
    set.reset(0);
  }
  for (uint8_t i = 0; i < 8; ++i)
    substitution_chars_[8 + i] = static_cast<uint8_t>(0xF1 + i);
}

TCapCharSet CapAlphaCharSet() {
  TCapCharSet set;
  for (unsigned char c : {' ', ',', '-', '.'})
    set.set(c);
  for (int c = 'A'; c <= 'Z'; ++c)
    set.set(c);
  for (int c = 'a'; c <= 'z'; ++c)
    set.set(c);
  // The letters of Windows-1252 above 127: f with hook, S, OE and Z with caron and
  // ligature, their small forms, Y with diaeresis, the ordinal indicators, micro,
  // and the accented letters but for the multiplication and division signs.
  for (int c : {0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F, 0xAA, 0xB5, 0xBA})
    set.set(c);
  for (int c = 0xC0; c <= 0xFF; ++c) {
    if (c != 0xD7 && c != 0xF7) set.set(c);
  }
  return set;
}
