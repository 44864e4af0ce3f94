// Digits read into an unsigned value, for the command line's numbers and the map
// file's. Every digit is checked against the limit before the value takes it in, so
// no value wraps however many digits come.
#ifndef TAVO_INCLUDE_NUMBER_PARSE_H_
#define TAVO_INCLUDE_NUMBER_PARSE_H_

#include <cstddef>
#include <cstdint>

// The value of c as a digit of base (2 to 16, letters in either case), or -1.
int DigitValue(char c, int base);

// The length characters of text as digits of base: false when there are none, when
// one is not a digit of base, or when the value would exceed limit.
bool ParseDigits(const char* text, size_t length, int base, uint64_t limit,
                 uint64_t& value);

#endif  // TAVO_INCLUDE_NUMBER_PARSE_H_
