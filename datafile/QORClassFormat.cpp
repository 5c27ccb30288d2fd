#include "datafile/QORClassFormat.h"

uint8_t TQORReadWriter::ByteSumOfInt(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  return static_cast<uint8_t>((v & 0xFF) + ((v >> 8) & 0xFF) + ((v >> 16) & 0xFF) + (v >> 24));
}
