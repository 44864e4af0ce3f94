// Splitting the command line into arguments and reading them into the run settings.
// All arguments are read before any takes effect, so options may stand anywhere.
#include <cstring>

#include "app.h"
#include "number_parse.h"
#include "run_record.h"

namespace {

bool IsBlank(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

constexpr size_t kMaxOptionText = 200;

}  // namespace

bool NextArgument(const char*& cursor, char* out, size_t outSize, size_t& fullLength) {
  for (;;) {
    while (IsBlank(*cursor)) ++cursor;
    // An empty pair of quotes where an argument would begin is skipped like a blank.
    if (cursor[0] == '"' && cursor[1] == '"') {
      cursor += 2;
      continue;
    }
    break;
  }
  fullLength = 0;
  bool quoted = false;
  for (; *cursor != '\0'; ++cursor) {
    if (*cursor == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsBlank(*cursor)) break;
    if (fullLength + 1 < outSize) out[fullLength] = *cursor;
    ++fullLength;
  }
  out[fullLength < outSize ? fullLength : outSize - 1] = '\0';
  return fullLength > 0;
}

namespace {

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

void ReadPositional(const char* argument, size_t fullLength) {
  ++Run.PositionalCount;
  // A name cut to fit could open, or create, a file other than the one named.
  if (fullLength > static_cast<size_t>(kMaxName)) {
    Run.BadCommandLine = true;
    return;
  }
  if (Run.PositionalCount == 1) {
    strcpy(Run.InputName, argument);
  } else if (Run.PositionalCount == 2) {
    strcpy(Run.OutputName, argument);
    Run.OutputEnabled = true;
  } else {
    Run.BadCommandLine = true;
  }
}

void ReadArgument(const char* argument, size_t fullLength, const char*& cursor) {
  if (argument[0] == '-' && argument[1] == '-') {
    // A value cut to fit could name another file than the one given.
    if (fullLength > static_cast<size_t>(kMaxName) || !ReadLongOption(argument, cursor))
      Run.BadCommandLine = true;
  } else if (argument[0] != '/') {
    ReadPositional(argument, fullLength);
  } else if (!ReadOption(argument, fullLength)) {
    if (SlashArgumentIsPath(argument)) {
      ReadPositional(argument, fullLength);
    } else {
      Run.BadCommandLine = true;
    }
  }
}

}  // namespace

void ReadCommandLine(const char* commandLine) {
  char argument[kMaxName + 1];
  size_t fullLength = 0;
  const char* cursor = commandLine;
  NextArgument(cursor, argument, sizeof argument, fullLength);  // the program's name
  bool any = false;
  while (NextArgument(cursor, argument, sizeof argument, fullLength)) {
    any = true;
    ReadArgument(argument, fullLength, cursor);
  }
  if (!any) Run.BadCommandLine = true;
}

LoneArgument ReadLoneArgument(const char* commandLine) {
  char argument[kMaxName + 1];
  char second[2];
  size_t fullLength = 0;
  const char* cursor = commandLine;
  NextArgument(cursor, argument, sizeof argument, fullLength);  // the program's name
  if (!NextArgument(cursor, argument, sizeof argument, fullLength) ||
      NextArgument(cursor, second, sizeof second, fullLength)) {
    return LoneArgument::kRun;
  }
  return LoneArgumentRequest(argument);
}
