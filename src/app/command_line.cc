// Splitting a command line into arguments and reading them into the run settings.
// All arguments are read before any takes effect, so options may stand anywhere.
#include <cstring>
#include <string>

#include "app.h"
#include "number_parse.h"
#include "run_record.h"

namespace {

bool IsBlank(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

constexpr size_t kMaxOptionText = 200;

const char* SkipBlanks(const char* cursor) {
  for (;;) {
    while (IsBlank(*cursor)) ++cursor;
    if (cursor[0] != '"' || cursor[1] != '"') return cursor;
    cursor += 2;
  }
}

// Empty at the end of the line, or where a final unpaired quote opens nothing.
std::string CutArgument(const char*& cursor) {
  std::string argument;
  bool quoted = false;
  for (; *cursor != '\0'; ++cursor) {
    if (*cursor == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(*cursor)) {
      break;
    } else {
      argument += *cursor;
    }
  }
  return argument;
}

bool ParseHex(const char* text, int32_t& value) {
  uint64_t result = 0;
  if (!ParseDigits(text, strlen(text), 16, 0xFFFFFFFFu, result)) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(result));
  return true;
}

bool ParseDecimal(const char* text, int32_t& value) {
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  uint64_t result = 0;
  if (!ParseDigits(text, strlen(text), 10, negative ? 2147483648u : 2147483647u,
                   result))
    return false;
  int64_t magnitude = static_cast<int64_t>(result);
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

// Reads a signed 32-bit number: optional leading blanks, then a sign and decimal
// digits, or "$" and up to 32 bits of hexadecimal digits. Nothing may follow.
bool ParseNumber(const char* text, int32_t& value) {
  while (*text == ' ') ++text;
  if (*text == '$') return ParseHex(text + 1, value);
  return ParseDecimal(text, value);
}

// The largest kilobyte count whose size in bytes is still a positive 32-bit value.
constexpr int32_t kMaxKilobytes = 2147483647 / 1024;

struct FixedSize {
  const char* argument;
  int32_t bytes;
};
const FixedSize kFixedSizes[] = {{"/512", 512}, {"/1b", 1}, {"/2b", 2}, {"/4b", 4}};

bool ReadFlagOption(const char* optionText) {
  if (strcmp(optionText, "c") == 0 || strcmp(optionText, "r") == 0) {
    Run.ResumeMode = true;
  } else if (strcmp(optionText, "b") == 0) {
    Run.BackupMode = true;
    Run.OpenFlags |= FILE_FLAG_BACKUP_SEMANTICS;
  } else if (strcmp(optionText, "p") == 0) {
    Run.OpenFlags |= FILE_FLAG_POSIX_SEMANTICS;
  } else if (strcmp(optionText, "i") == 0) {
    Run.EndlessMode = true;
  } else if (strcmp(optionText, "n") == 0) {
    Run.NoResume = true;
  } else {
    return false;
  }
  return true;
}

// A kilobyte count that would not give a positive 32-bit byte count is refused: in
// 32-bit arithmetic it would wrap to 0, to a negative size, or to a small one.
bool ReadSizeOption(const char* optionText) {
  int32_t kilobytes = 0;
  if (!ParseNumber(optionText, kilobytes)) return false;
  if (kilobytes < 1 || kilobytes > kMaxKilobytes) return false;
  Run.BufferSize = kilobytes * 1024;
  return true;
}

// An option longer than its text would be judged by its first 200 characters alone,
// so "/" with 197 zeros and "512X" would pass for 512 kilobytes.
bool ReadOption(const char* argument, size_t fullLength) {
  if (fullLength - 1 > kMaxOptionText) return false;
  for (const FixedSize& size : kFixedSizes) {
    if (strcmp(argument, size.argument) == 0) {
      Run.BufferSize = size.bytes;
      return true;
    }
  }
  const char* optionText = argument + 1;
  return ReadFlagOption(optionText) || ReadSizeOption(optionText);
}

bool AllDigits(const char* text, int base) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (DigitValue(*text, base) < 0) return false;
  }
  return true;
}

// Written as ParseNumber reads numbers, whatever its value.
bool IsNumberText(const char* text) {
  while (*text == ' ') ++text;
  if (*text == '$') return AllDigits(text + 1, 16);
  if (*text == '-' || *text == '+') ++text;
  return AllDigits(text, 10);
}

// Why an argument that begins with "/" is neither an option nor a path.
std::string SlashRefusal(const std::string& argument) {
  if (argument.size() - 1 > kMaxOptionText)
    return "option longer than 200 characters: " + Quoted(argument);
  if (IsNumberText(argument.c_str() + 1))
    return argument + ": a request is 1 to " + std::to_string(kMaxKilobytes) + " KiB";
  return "unknown option " + Quoted(argument);
}

void ReadPositional(const char* argument, size_t fullLength) {
  ++Run.PositionalCount;
  // A name cut to fit could open, or create, a file other than the one named.
  if (fullLength > static_cast<size_t>(kMaxName)) {
    RefuseCommandLine("name longer than " + std::to_string(kMaxName) +
                      " bytes: " + Quoted(argument));
    return;
  }
  if (Run.PositionalCount == 1) {
    strcpy(Run.InputName, argument);
  } else if (Run.PositionalCount == 2) {
    strcpy(Run.OutputName, argument);
    Run.OutputEnabled = true;
  } else {
    RefuseCommandLine("too many names: " + Quoted(argument));
  }
}

// "-h" and "-V", where the platform takes a "-" to begin an option.
void ReadDashOption(const std::string& argument) {
  if (argument == "-h") {
    Run.Answer = Asked::kHelp;
  } else if (argument == "-V") {
    Run.Answer = Asked::kVersion;
  } else {
    RefuseCommandLine("unknown option " + Quoted(argument));
  }
}

// An empty argument, which only a POSIX layer gives, is a name like any other: one
// that no file has.
void ReadArgument(const std::string& argument, const Arguments& arguments,
                  size_t& next) {
  const char* text = argument.c_str();
  if (argument.compare(0, 2, "--") == 0) {
    // A value cut to fit could name another file than the one given.
    if (argument.size() > static_cast<size_t>(kMaxName)) {
      RefuseCommandLine("option longer than " + std::to_string(kMaxName) +
                        " bytes: " + Quoted(argument));
    } else {
      ReadLongOption(argument, arguments, next);
    }
  } else if (text[0] == '-' && DashArgumentsAreOptions()) {
    ReadDashOption(argument);
  } else if (text[0] != '/') {
    ReadPositional(text, argument.size());
  } else if (!ReadOption(text, argument.size())) {
    if (SlashArgumentIsPath(text)) {
      ReadPositional(text, argument.size());
    } else {
      RefuseCommandLine(SlashRefusal(argument));
    }
  }
}

}  // namespace

Arguments SplitCommandLine(const char* cursor) {
  Arguments arguments;
  for (;;) {
    cursor = SkipBlanks(cursor);
    std::string argument = CutArgument(cursor);
    if (argument.empty()) return arguments;
    arguments.push_back(argument);
  }
}

Arguments ProgramArguments() {
  Arguments arguments;
  for (int index = 0; const char* argument = ProgramArgument(index); ++index)
    arguments.emplace_back(argument);
  return arguments;
}

void ReadCommandLine(const Arguments& arguments) {
  if (arguments.empty()) RefuseCommandLine("no input named");
  for (size_t next = 0; next < arguments.size();) {
    const std::string& argument = arguments[next++];
    ReadArgument(argument, arguments, next);
  }
}
