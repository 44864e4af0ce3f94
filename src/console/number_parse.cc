#include "number_parse.h"

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

bool ParseDigits(const char* text, size_t length, int base, uint64_t limit,
                 uint64_t& value) {
  if (length == 0) return false;
  uint64_t result = 0;
  for (size_t i = 0; i < length; ++i) {
    int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    if (static_cast<uint64_t>(digit) > limit || result > (limit - digit) / base)
      return false;
    result = result * base + digit;
  }
  value = result;
  return true;
}
