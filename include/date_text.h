// Moments as the result files and the map write them.
#ifndef TAVO_INCLUDE_DATE_TEXT_H_
#define TAVO_INCLUDE_DATE_TEXT_H_

#include <string>

#include "platform.h"

// "2026-03-10 14:30:05" with separator ' ', "2026-03-10T14:30:05" with 'T'.
std::string DateTimeText(const SYSTEMTIME& when, char separator);

#endif  // TAVO_INCLUDE_DATE_TEXT_H_
