// Start-up and the command line.
#ifndef TAVO_INCLUDE_APP_H_
#define TAVO_INCLUDE_APP_H_

#include <cstddef>
#include <cstdint>

// The whole run, from the Banner to the exit code; it never returns.
[[noreturn]] void RunProgram();

// Cuts the next argument off a command line. Returns false when no argument is
// left (the end, or a final unpaired quote). The argument is copied to out, cut to
// outSize - 1 bytes and NUL-terminated; fullLength receives its uncut length.
bool NextArgument(const char*& cursor, char* out, size_t outSize, size_t& fullLength);

// Reads a signed 32-bit number: optional leading blanks, then a sign and decimal
// digits, or "$" and up to 32 bits of hexadecimal digits. Nothing may follow.
bool ParseNumber(const char* text, int32_t& value);

// Reads every argument after the program's name into the run settings.
void ReadCommandLine(const char* commandLine);

#endif  // TAVO_INCLUDE_APP_H_
