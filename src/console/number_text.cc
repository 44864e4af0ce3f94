// Decimal text of integers and hexadecimal text, built in a caller's scratch area so
// that writing a number allocates nothing.
#include <cstring>

#include "console.h"

size_t FormatInteger(int32_t value, char* out) {
  // Work on the unsigned magnitude so that -2147483648 needs no special case.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : value;
  char digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}

HexText HexWord(uint16_t value) {
  static const char kDigits[] = "0123456789abcdef";
  HexText hex = {};
  for (int i = 3; i >= 0; --i) {
    hex.text[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  return hex;
}

HexText HexDword(uint32_t value) {
  HexText hex = HexWord(static_cast<uint16_t>(value >> 16));
  memcpy(hex.text + 4, HexWord(static_cast<uint16_t>(value)).text, 4);
  return hex;
}

HexText HexOffset(int64_t value) {
  uint64_t bits = static_cast<uint64_t>(value);
  HexText hex = HexDword(static_cast<uint32_t>(bits >> 32));
  hex.text[8] = '.';
  memcpy(hex.text + 9, HexDword(static_cast<uint32_t>(bits)).text, 8);
  return hex;
}
