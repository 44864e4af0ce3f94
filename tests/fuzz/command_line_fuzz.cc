// Any bytes as a command line, split and read; and, cut at each NUL, as a POSIX argv.
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "run_record.h"

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// A good command line leaves settings a run can use (options alone: an empty name); a
// bad one a reason that stays one line.
void Read(const Arguments& arguments) {
  Run = RunRecord();
  ReadCommandLine(arguments);
  Require(Run.BadCommandLine == !Run.Refusal.empty() &&
          Run.Refusal.find_first_of("\r\n") == std::string::npos);
  size_t input = strnlen(Run.InputName, kMaxName + 1);
  size_t output = strnlen(Run.OutputName, kMaxName + 1);
  Require(Run.BadCommandLine ||
          (Run.BufferSize > 0 && Run.PositionalCount <= 2 && input <= kMaxName &&
           output <= kMaxName && Run.OutputEnabled == (Run.PositionalCount == 2)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  Arguments split = SplitCommandLine(bytes.c_str());
  for (const std::string& argument : split)
    Require(!argument.empty() && argument.find('"') == std::string::npos);
  if (!split.empty()) Read(Arguments(split.begin() + 1, split.end()));

  Arguments pieces(1);
  for (char c : bytes) c ? void(pieces.back() += c) : void(pieces.emplace_back());
  Read(pieces);
  // One argument that is neither an option nor too long is the input's name whole.
  const std::string& only = pieces[0];
  if (pieces.size() == 1 && only[0] != '-' && only[0] != '/' && only.size() <= kMaxName)
    Require(!Run.BadCommandLine && only == Run.InputName);
  return 0;
}
