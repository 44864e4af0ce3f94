// The input and the output of a run, in the order a run takes them: the output is
// opened, then the input, then the names are checked to be distinct files, then the
// output is resumed at one of the input's sectors, then the input is sized, then the
// resume is checked against the input.
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

// Removes the output when this run created it and it is still empty, so that a run
// whose input cannot be opened leaves nothing behind; an output that existed before
// stays as it was.
void RemoveCreatedOutput();

// Opens the input at InputPath with OpenFlags, and with --direct past the cache where
// its file system allows; code receives the open's last error.
HANDLE OpenInputHandle(DWORD* code);

// The sector the open input is read in whole multiples of while uncached (and marks
// it so), or 0 when it is read through the cache.
int64_t InputSectorSize();

// Starts the clock and tries to open the input, and takes its sector. A failed open
// is told by SizeInput, after the resume line.
void OpenInput();

// Once the input is opened, before anything is read or written: exit code 2, with
// one line, when two of the input, the output, the map and the result files are the
// same file. The output is removed if this run created it.
void RefuseNameClashes();

// With an output in resume mode: starts Position at the output's length rounded down
// to a sector of the input, and says so.
void ResumeOutput();

// "   resume downloading", the output's name and Position.
void WriteResumeLine();

// Exit code 2 when the input could not be opened; else its size, and the size line.
void SizeInput();

#endif  // TAVO_INCLUDE_ENDPOINTS_H_
