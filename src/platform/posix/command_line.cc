// GetCommandLineA: the one command-line string Windows hands a program, rebuilt from
// the argument vector.
#include <string.h>  // strchr, strdup

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

char* command_line = nullptr;  // built once, before main, and kept for the process
bool command_line_exact = true;

// The command-line rules have no way to write a double quote inside an argument, and
// a Windows name cannot hold one.
bool HoldsQuote(const char* argument) { return strchr(argument, '"') != nullptr; }

// The program's name is only skipped, but it must be skipped whole: an empty one
// would be dropped like a blank and take the first argument's place, and a quote in
// it would swallow the arguments after it.
const char* ProgramName(int argc, char** argv) {
  if (argc < 1 || argv[0][0] == '\0' || HoldsQuote(argv[0])) return "tavo";
  return argv[0];
}

// An argument that is empty or holds a character 1 to 32 goes in double quotes, which
// the command-line splitter takes off again.
void Append(std::string& line, const char* argument) {
  bool quoted = NeedsQuotes(argument);
  if (quoted) line += '"';
  line += argument;
  if (quoted) line += '"';
}

// Arguments joined by one blank.
std::string JoinCommandLine(int argc, char** argv) {
  std::string line;
  Append(line, ProgramName(argc, argv));
  for (int i = 1; i < argc; ++i) {
    if (HoldsQuote(argv[i])) command_line_exact = false;
    line += ' ';
    Append(line, argv[i]);
  }
  return line;
}

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

bool CommandLineIsExact() { return command_line_exact; }
