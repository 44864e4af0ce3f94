// Start-up and the command line.
#ifndef TAVO_INCLUDE_APP_H_
#define TAVO_INCLUDE_APP_H_

#include <cstddef>
#include <cstdint>

#include "platform.h"

// The whole run, from the Banner to the exit code; it never returns.
[[noreturn]] void RunProgram();

// Cuts the next argument off a command line. Returns false when no argument is
// left (the end, or a final unpaired quote). The argument is copied to out, cut to
// outSize - 1 bytes and NUL-terminated; fullLength receives its uncut length.
bool NextArgument(const char*& cursor, char* out, size_t outSize, size_t& fullLength);

// Reads every argument after the program's name into the run settings.
void ReadCommandLine(const char* commandLine);

// What the command line asks for when it holds one argument alone; kRun otherwise.
LoneArgument ReadLoneArgument(const char* commandLine);

#endif  // TAVO_INCLUDE_APP_H_
