// Any bytes as a command line, split and read into the run settings, and as an
// argument vector whose rebuilt command line must split back into the same arguments.
// The POSIX layer's line builder is internal to it, so its source is compiled here.
#include <cstring>
#include <string>
#include <vector>

#include "../../src/platform/posix/command_line.cc"
#include "app.h"
#include "run_record.h"

namespace {

using Arguments = std::vector<std::string>;

// Every argument as a whole, and cut to fit an outSize-byte buffer: the cut is the
// first outSize - 1 bytes of the whole, and no quote character is ever part of one.
Arguments Split(const char* line, size_t outSize) {
  Arguments arguments;
  std::vector<char> cut(outSize), whole(strlen(line) + 1);
  const char* cursor = line;
  const char* again = line;
  size_t length = 0, wholeLength = 0;
  while (NextArgument(cursor, cut.data(), outSize, length)) {
    if (!NextArgument(again, whole.data(), whole.size(), wholeLength)) __builtin_trap();
    if (cursor != again || length != wholeLength || length != strlen(whole.data()))
      __builtin_trap();
    if (strncmp(cut.data(), whole.data(), outSize - 1) != 0) __builtin_trap();
    if (strchr(whole.data(), '"') != nullptr) __builtin_trap();
    arguments.push_back(whole.data());
  }
  return arguments;
}

// Settings that a good command line leaves are settings the run can work with. (A
// command line of options alone is good: the run then fails to open an empty name.)
void CheckSettings(const char* line) {
  Run = RunRecord();
  ReadCommandLine(line);
  if (Run.BadCommandLine) return;
  size_t input = strnlen(Run.InputName, sizeof Run.InputName);
  size_t output = strnlen(Run.OutputName, sizeof Run.OutputName);
  if (Run.BufferSize <= 0 || (input > 0) != (Run.PositionalCount > 0) ||
      input > static_cast<size_t>(kMaxName) || output > static_cast<size_t>(kMaxName) ||
      Run.OutputEnabled != (output > 0))
    __builtin_trap();
}

// The bytes cut at each NUL into an argument vector. Its command line must carry
// every non-empty argument after the program's name as it is, unless one holds a
// double quote, which must be reported instead.
void CheckRebuiltLine(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\0') {
      pieces.emplace_back();
    } else {
      pieces.back() += static_cast<char>(data[i]);
    }
  }
  std::vector<char*> argv;
  Arguments expected;
  bool quote = false;
  for (size_t i = 0; i < pieces.size(); ++i) {
    argv.push_back(&pieces[i][0]);
    if (i > 0 && !pieces[i].empty()) expected.push_back(pieces[i]);
    if (i > 0 && pieces[i].find('"') != std::string::npos) quote = true;
  }
  command_line_exact = true;
  std::string line = JoinCommandLine(static_cast<int>(argv.size()), argv.data());
  if (command_line_exact == quote) __builtin_trap();
  if (quote) return;
  Arguments split = Split(line.c_str(), line.size() + 1);
  if (split.empty() || split.front().empty()) __builtin_trap();
  split.erase(split.begin());
  if (split != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line.resize(strlen(line.c_str()));
  for (size_t outSize : {1, 2, kMaxName + 1}) Split(line.c_str(), outSize);
  CheckSettings(line.c_str());
  int32_t value = 0;
  ParseNumber(line.c_str(), value);
  CheckRebuiltLine(data, size);
  return 0;
}
