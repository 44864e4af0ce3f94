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

// Reads the long option in argument (it begins with "--") into the run settings; a
// value standing alone is cut off the command line at cursor. Returns false for an
// unknown option, a missing value, or a value given to an option that takes none.
bool ReadLongOption(const char* argument, const char*& cursor);

// Reads every argument after the program's name into the run settings.
void ReadCommandLine(const char* commandLine);

// What the command line asks for when it holds one argument alone; kRun otherwise.
LoneArgument ReadLoneArgument(const char* commandLine);

#endif  // TAVO_INCLUDE_APP_H_
