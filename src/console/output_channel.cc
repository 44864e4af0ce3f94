// The one buffered channel to standard output. Every statement is passed on when it is
// closed, so that a log followed as it grows keeps up and a run that is killed loses
// no line it finished; redirected, the lines written once per read are passed on in
// whole 128-byte blocks instead. A file receives what a console would, in the lines
// of the platform's standard output (ConsoleLinesOf). Once nothing reads it any more,
// the run goes on without it: its text is dropped, and the exit code tells the run.
#include <cstring>

#include "console.h"
#include "console_lines.h"
#include "exit_code.h"

namespace {

constexpr size_t kChannelSize = 128;

struct OutputChannel {
  bool open = false;
  bool console = false;     // FILE_TYPE_CHAR; anything else is redirected output
  bool readerGone = false;  // ConsoleReaderGone: nothing more is written
  HANDLE handle = INVALID_HANDLE_VALUE;
  LineShaper lines;
  size_t fill = 0;
  DWORD errorCode = 0;  // the first output failure, kept until the process ends
  char buffer[kChannelSize];
};

OutputChannel Channel;
constexpr int kMaxExitHooks = 4;
void (*ExitHooks[kMaxExitHooks])(UINT) = {};
int ExitHookCount = 0;

bool OpenChannel() {
  if (Channel.open) return true;
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == INVALID_HANDLE_VALUE) {
    Channel.errorCode = GetLastError();
    return false;
  }
  DWORD type = GetFileType(handle);
  if (type == FILE_TYPE_UNKNOWN) {
    // A code of 0 would read as "no failure"; keep the failure visible.
    DWORD code = GetLastError();
    Channel.errorCode = code != 0 ? code : ERROR_INVALID_HANDLE;
    return false;
  }
  Channel.handle = handle;
  Channel.console = type == FILE_TYPE_CHAR;
  Channel.lines.style = ConsoleLinesOf(handle);
  Channel.open = true;
  return true;
}

// Passes the buffered bytes on; the count the call reports is not examined.
void PassOnBuffer() {
  if (Channel.fill == 0) return;
  DWORD written = 0;
  if (!Channel.readerGone &&
      !WriteFile(Channel.handle, Channel.buffer, static_cast<DWORD>(Channel.fill),
                 &written, nullptr)) {
    DWORD code = GetLastError();
    if (ConsoleReaderGone(Channel.handle, code)) {
      Channel.readerGone = true;
    } else {
      Channel.errorCode = code;
    }
  }
  Channel.fill = 0;
}

void Put(const char* bytes, size_t count) {
  while (count > 0) {
    size_t room = kChannelSize - Channel.fill;
    size_t piece = count < room ? count : room;
    memcpy(Channel.buffer + Channel.fill, bytes, piece);
    Channel.fill += piece;
    bytes += piece;
    count -= piece;
    if (Channel.fill == kChannelSize) PassOnBuffer();
  }
}

void Append(const char* bytes, size_t count) {
  if (!OpenChannel()) {
    if (Channel.errorCode == 0) Channel.errorCode = ERROR_INVALID_HANDLE;
    return;
  }
  if (Channel.readerGone) return;
  // Where lines go out as written (Windows), a statement goes into the buffer whole.
  if (Channel.lines.style == ConsoleLines::kAsWritten) {
    Put(bytes, count);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    char shaped[2];
    Put(shaped, ShapeByte(&Channel.lines, bytes[i], shaped));
  }
}

void FlushAndCheck(bool passOn) {
  if (Channel.open) {
    char end[1];
    Put(end, ShapeStatementEnd(&Channel.lines, end));
    if (passOn) PassOnBuffer();
  }
  if (Channel.errorCode != 0) {
    DWORD code = Channel.errorCode;
    Channel.errorCode = 0;  // the fatal line itself must not recurse into this check
    char text[80] = "Fatal error: console output failed, error ";
    size_t length = strlen(text);
    length += FormatInteger(static_cast<int32_t>(code), text + length);
    text[length] = '\0';
    FatalError(text);
  }
}

}  // namespace

void WriteText(const char* text) { Append(text, strlen(text)); }

void WriteChar(char c) { Append(&c, 1); }

void WriteInteger(int32_t value) {
  char text[kNumberTextMax];
  Append(text, FormatInteger(value, text));
}

void WriteBoolean(uint8_t value) { WriteText(value != 0 ? "TRUE" : "FALSE"); }

void WriteReal(Real value, int decimals) {
  char text[kNumberTextMax];
  Append(text, FormatReal(value, decimals, text));
}

void WriteLineEnd() {
  Append("\r\n", 2);
  FlushAndCheck(true);
}

void WriteBlockLineEnd() {
  Append("\r\n", 2);
  FlushAndCheck(Channel.console);
}

void FlushOutput() { FlushAndCheck(true); }

void AddExitHook(void (*hook)(UINT exitCode)) {
  if (ExitHookCount < kMaxExitHooks) ExitHooks[ExitHookCount++] = hook;
}

// Each hook is taken off before it runs: an exit from inside one ends at once, with
// the hooks still to come.
void ExitWithCode(UINT exitCode) {
  while (ExitHookCount > 0) ExitHooks[--ExitHookCount](exitCode);
  if (Channel.open) PassOnBuffer();
  ExitProcess(exitCode);
}

// A copy that has already lost bytes says so in its code, whatever ends the run.
void FatalError(const char* message) {
  WriteText(message);
  Append("\r\n", 2);
  UINT code = CopyExitCode();
  ExitWithCode(code != kExitWhole ? code : kExitFailure);
}

void EndOnRealArithmeticFault() { FatalError("Fatal error: floating-point fault"); }
