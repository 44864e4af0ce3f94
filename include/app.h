// Start-up and the command line.
#ifndef TAVO_INCLUDE_APP_H_
#define TAVO_INCLUDE_APP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

// The whole run, from the Banner to the exit code; it never returns.
[[noreturn]] void RunProgram();

using Arguments = std::vector<std::string>;

// Cuts a command line into its arguments, the program's name first. Blanks
// (characters 1 to 32) part them; double quotes, taken off, make blanks part of one;
// an empty pair where an argument would begin is skipped like a blank. No argument
// is empty, and none holds a double quote.
Arguments SplitCommandLine(const char* commandLine);

// The arguments after the program's name, as ProgramArgument gives them.
Arguments ProgramArguments();

// Reads the long option in argument (it begins with "--") into the run settings; a
// value standing alone is arguments[next], which next then passes. An unknown option,
// a missing value, or a value given to an option that takes none refuses the command
// line.
void ReadLongOption(const std::string& argument, const Arguments& arguments,
                    size_t& next);

// Reads the arguments after the program's name into the run settings.
void ReadCommandLine(const Arguments& arguments);

// Marks the command line bad, why saying what is wrong ("unknown option '-x'"): once
// it is read whole, the run ends with that line on standard error, the Usage text and
// exit code 1. Of several faults the first is told.
void RefuseCommandLine(const std::string& why);

// An argument as a refusal shows it: in single quotes, each control character as "?"
// so that the refusal stays one line, and past 60 bytes cut with "...".
std::string Quoted(const std::string& argument);

#endif  // TAVO_INCLUDE_APP_H_
