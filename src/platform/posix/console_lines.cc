// Standard output as POSIX programs write it: lines end in LF. A terminal rewrites a
// line at a bare CR; a file or a pipe is a log, where each rewrite stays a line of its
// own.
#include <unistd.h>

#include "platform.h"
#include "posix_layer.h"

ConsoleLines ConsoleLinesOf(HANDLE output) {
  return isatty(HandleFd(output)) ? ConsoleLines::kTerminal : ConsoleLines::kLog;
}
