#include "date_text.h"

#include <cstdio>

std::string DateTimeText(const SYSTEMTIME& when, char separator) {
  char text[48];  // room for the widest fields a SYSTEMTIME can hold
  snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", when.wYear, when.wMonth,
           when.wDay, separator, when.wHour, when.wMinute, when.wSecond);
  return text;
}
