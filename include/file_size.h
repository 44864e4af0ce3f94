#ifndef TAVO_INCLUDE_FILE_SIZE_H_
#define TAVO_INCLUDE_FILE_SIZE_H_

#include <cstdint>

#include "platform.h"

// The size of an open file from both halves, or 0 when the query reports an error.
// A low half of 0xFFFFFFFF is a real size when no error is reported.
int64_t FileSizeOrZero(HANDLE file);

#endif  // TAVO_INCLUDE_FILE_SIZE_H_
