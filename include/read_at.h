// Positioned reads of the endpoints, as the read loop and the resume check make them.
#ifndef TAVO_INCLUDE_READ_AT_H_
#define TAVO_INCLUDE_READ_AT_H_

#include <cstdint>

#include "platform.h"

// Moves the file pointer to offset, from the start.
void SeekTo(HANDLE file, int64_t offset);

// The bytes one read of count bytes at offset delivered, or -1 when it failed (the
// last error says why).
int64_t ReadAt(HANDLE file, int64_t offset, void* block, int64_t count);

#endif  // TAVO_INCLUDE_READ_AT_H_
