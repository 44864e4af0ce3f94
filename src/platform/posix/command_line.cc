// GetCommandLineA: the one command-line string Windows hands a program, rebuilt from
// the argument vector.
#include <string.h>  // strdup

#include <string>

#include "posix_layer.h"

namespace {

bool NeedsQuotes(const char* argument) {
  if (argument[0] == '\0') return true;
  for (const char* c = argument; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) <= ' ') return true;
  }
  return false;
}

// Arguments joined by one blank, each one that is empty or holds a character 1 to 32
// wrapped in double quotes, which the command-line splitter takes off again.
std::string JoinCommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    bool quoted = NeedsQuotes(argv[i]);
    if (quoted) line += '"';
    line += argv[i];
    if (quoted) line += '"';
  }
  return line;
}

char* command_line = nullptr;  // built once, before main, and kept for the process

// glibc calls the functions of .init_array with main's arguments before main runs,
// so the layer has them without main passing them on. The line is built at once, as
// Windows builds it at process start: later changes to argv (option parsers that
// remove what they recognise) do not reach it.
void SaveCommandLine(int argc, char** argv, char** /*envp*/) {
  command_line = strdup(JoinCommandLine(argc, argv).c_str());
}
// Not const: .init_array is writable, and link-time optimisation refuses a read-only
// object in it.
__attribute__((section(".init_array"),
               used)) void (*save_command_line)(int, char**, char**) = SaveCommandLine;

}  // namespace

LPSTR GetCommandLineA() { return command_line; }
