// Standard output as POSIX programs write it: lines end in LF. A terminal rewrites a
// line at a bare CR; a file or a pipe is a log, where each rewrite stays a line of its
// own. A reader that has gone away ends nothing: a copy outlives its console.
#include <unistd.h>

#include <cerrno>

#include "platform.h"
#include "posix_layer.h"

ConsoleLines ConsoleLinesOf(HANDLE output) {
  return isatty(HandleFd(output)) ? ConsoleLines::kTerminal : ConsoleLines::kLog;
}

// EPIPE (232): the reader of the pipe has closed it. EIO (23) or ENXIO (433) from a
// terminal: it was hung up (its window closed, its connection dropped) while tavo ran
// on with SIGHUP ignored, as a shell's trap or nohup leaves it. A hung-up terminal
// answers isatty's request with EIO too, which tells it from a device failing for
// another reason; a file on a failing disk, a full one, or /dev/full is a console
// that fails.
bool ConsoleReaderGone(HANDLE output, DWORD code) {
  if (code == ERROR_NO_DATA) return true;
  if (code != ERROR_CRC && code != ERROR_NO_SUCH_DEVICE) return false;
  return isatty(HandleFd(output)) || errno == EIO;
}
