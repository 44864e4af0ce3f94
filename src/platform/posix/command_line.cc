// The program's arguments as the argument vector holds them, and GetCommandLineA, the
// one line Windows would hand a program, rebuilt from them for the result file.
#include <stdlib.h>  // malloc
#include <string.h>  // strdup

#include <string>

#include "platform.h"
#include "posix_layer.h"

namespace {

// Both are kept for the process, copied before main runs: later changes to argv
// (option parsers that remove what they recognise) do not reach them.
char* command_line = nullptr;
char** arguments = nullptr;  // after the program's name, ended by nullptr
int argument_count = 0;

bool NeedsQuotes(const char* argument) {
  if (argument[0] == '\0') return true;
  for (const char* c = argument; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) <= ' ') return true;
  }
  return false;
}

// An argument that is empty or holds a character 1 to 32 goes in double quotes. A
// double quote inside an argument stays as it is: the line is for reading.
void Append(std::string& line, const char* argument) {
  bool quoted = NeedsQuotes(argument);
  if (quoted) line += '"';
  line += argument;
  if (quoted) line += '"';
}

std::string JoinCommandLine(int argc, char** argv) {
  std::string line;
  Append(line, argc < 1 || argv[0][0] == '\0' ? "tavo" : argv[0]);
  for (int i = 1; i < argc; ++i) {
    line += ' ';
    Append(line, argv[i]);
  }
  return line;
}

// glibc calls the functions of .init_array with main's arguments before main runs,
// so the layer has them without main passing them on.
void SaveArguments(int argc, char** argv, char** /*envp*/) {
  command_line = strdup(JoinCommandLine(argc, argv).c_str());
  argument_count = argc > 1 ? argc - 1 : 0;
  arguments = static_cast<char**>(malloc(sizeof(char*) * (argument_count + 1)));
  for (int i = 0; i < argument_count; ++i) arguments[i] = strdup(argv[i + 1]);
  arguments[argument_count] = nullptr;
}
// Not const: .init_array is writable, and link-time optimisation refuses a read-only
// object in it.
__attribute__((section(".init_array"),
               used)) void (*save_arguments)(int, char**, char**) = SaveArguments;

}  // namespace

LPSTR GetCommandLineA() { return command_line; }

const char* ProgramArgument(int index) {
  return index >= 0 && index < argument_count ? arguments[index] : nullptr;
}
