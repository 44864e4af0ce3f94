// The input and the output of a run.
#ifndef TAVO_INCLUDE_ENDPOINTS_H_
#define TAVO_INCLUDE_ENDPOINTS_H_

#include <cstddef>

// The name under which an input is opened: "c:" becomes "\\.\c:" (a whole logical
// drive), "1:" becomes "\\.\physicaldrive1" (a whole disk); other names stay as
// they are. out holds kMaxName + 1 bytes.
void MapInputName(const char* inputName, char* out);

// With an output named: opens or creates it, and in resume mode starts Position at
// its length rounded down to 512. Exit code 2 when it cannot be opened.
void OpenOutput();

// Starts the clock, opens and sizes the input, and says so. Exit code 2 when it
// cannot be opened.
void OpenInput();

#endif  // TAVO_INCLUDE_ENDPOINTS_H_
