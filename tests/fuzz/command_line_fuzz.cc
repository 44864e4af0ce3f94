// Any bytes as a command line, split and read; and, cut at each NUL, as an argument
// vector whose rebuilt line (from the POSIX layer's source) splits back into the same
// arguments, or is reported inexact when one of them holds a double quote.
#include <cstring>
#include <string>
#include <vector>

#include "../../src/platform/posix/command_line.cc"
#include "app.h"
#include "run_record.h"

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// The arguments whole; each also cut to fit outSize bytes, which must give the
// same lengths and the first outSize - 1 bytes. No quote is part of an argument.
std::vector<std::string> Split(const char* line, size_t outSize) {
  std::vector<std::string> arguments;
  std::vector<char> cut(outSize), whole(strlen(line) + 1);
  const char *cursor = line, *again = line;
  size_t length = 0, wholeLength = 0;
  while (NextArgument(cursor, cut.data(), outSize, length)) {
    Require(NextArgument(again, whole.data(), whole.size(), wholeLength));
    Require(cursor == again && length == wholeLength && length == strlen(whole.data()));
    Require(strncmp(cut.data(), whole.data(), outSize - 1) == 0);
    Require(strchr(whole.data(), '"') == nullptr);
    arguments.push_back(whole.data());
  }
  return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  for (size_t outSize : {1, 2, kMaxName + 1}) Split(bytes.c_str(), outSize);
  // A good command line leaves settings the run can work with. (Options alone make a
  // good one: the run then fails to open an empty name.)
  Run = RunRecord();
  ReadCommandLine(bytes.c_str());
  size_t input = strnlen(Run.InputName, kMaxName + 1);
  size_t output = strnlen(Run.OutputName, kMaxName + 1);
  Require(Run.BadCommandLine ||
          (Run.BufferSize > 0 && (input > 0) == (Run.PositionalCount > 0) &&
           input <= kMaxName && output <= kMaxName &&
           Run.OutputEnabled == (output > 0)));

  std::vector<std::string> pieces(1), expected;
  for (char c : bytes) c ? void(pieces.back() += c) : void(pieces.emplace_back());
  std::vector<char*> argv;
  for (std::string& piece : pieces) argv.push_back(&piece[0]);
  for (size_t i = 1; i < pieces.size(); ++i)
    if (!pieces[i].empty()) expected.push_back(pieces[i]);
  bool quote = bytes.find('"', pieces[0].size()) != std::string::npos;
  command_line_exact = true;
  std::string line = JoinCommandLine(static_cast<int>(argv.size()), argv.data());
  Require(command_line_exact != quote);
  if (quote) return 0;
  std::vector<std::string> split = Split(line.c_str(), line.size() + 1);
  Require(!split.empty() && !split.front().empty());
  Require(std::vector<std::string>(split.begin() + 1, split.end()) == expected);
  return 0;
}
