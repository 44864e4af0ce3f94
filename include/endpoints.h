// The input and the output of a run.
#ifndef TAVO_INCLUDE_ENDPOINTS_H_
#define TAVO_INCLUDE_ENDPOINTS_H_

#include <cstddef>
#include <cstdint>

#include "platform.h"

// The name under which an input is opened: "c:" becomes "\\.\c:" (a whole logical
// drive), "1:" becomes "\\.\physicaldrive1" (a whole disk); other names stay as
// they are. out holds kMaxName + 1 bytes.
void MapInputName(const char* inputName, char* out);

// With an output named: opens or creates it, and in resume mode takes its length.
// Exit code 2 when it cannot be opened.
void OpenOutput();

// With an output in resume mode: starts Position at the output's length rounded down
// to a multiple of sectorSize, and says so. The input calls it once its open has
// been tried, so that the rounding can follow the input's sector and the message
// still comes before the input's own lines.
void ResumeOutput(int64_t sectorSize);

// Opens the input at InputPath with OpenFlags, and with --direct past the cache where
// its file system allows; code receives the open's last error.
HANDLE OpenInputHandle(DWORD* code);

// The sector the open input is read in whole multiples of while uncached (and marks
// it so), or 0 when it is read through the cache.
int64_t InputSectorSize();

// Starts the clock, opens the input, resumes the output at one of its sectors, sizes
// the input and says so. Exit code 2 when it cannot be opened.
void OpenInput();

#endif  // TAVO_INCLUDE_ENDPOINTS_H_
