// Line shaping for the platform's standard output (include/console_lines.h).
#include "console_lines.h"

namespace {

// The program's CR LF. A log has put out the end of a rewritten line already.
size_t LineEnd(LineShaper* shaper, char* out) {
  bool ended = shaper->endedByShaper;
  shaper->atLineStart = true;
  shaper->rewritten = false;
  shaper->endedByShaper = false;
  if (ended) return 0;
  out[0] = '\n';
  return 1;
}

// A terminal goes back to the start of the line; a log keeps the line it would have
// rewritten, and starts a new one.
size_t BareCr(LineShaper* shaper, char* out) {
  if (shaper->style == ConsoleLines::kTerminal) {
    shaper->atLineStart = true;
    out[0] = '\r';
    return 1;
  }
  shaper->rewritten = true;
  if (shaper->atLineStart) return 0;
  shaper->atLineStart = true;
  shaper->endedByShaper = true;
  out[0] = '\n';
  return 1;
}

size_t Text(LineShaper* shaper, char c, char* out) {
  shaper->atLineStart = c == '\n';
  if (c == '\n') shaper->rewritten = false;
  shaper->endedByShaper = false;
  out[0] = c;
  return 1;
}

}  // namespace

size_t ShapeByte(LineShaper* shaper, char c, char out[2]) {
  if (shaper->style == ConsoleLines::kAsWritten) {
    out[0] = c;
    return 1;
  }
  size_t count = 0;
  if (shaper->crHeld) {
    shaper->crHeld = false;
    if (c == '\n') return LineEnd(shaper, out);
    count = BareCr(shaper, out);
  }
  if (c == '\r') {
    shaper->crHeld = true;
    return count;
  }
  return count + Text(shaper, c, out + count);
}

size_t ShapeStatementEnd(LineShaper* shaper, char out[1]) {
  if (shaper->style != ConsoleLines::kLog || !shaper->rewritten || shaper->atLineStart)
    return 0;
  shaper->atLineStart = true;
  shaper->rewritten = false;
  shaper->endedByShaper = true;
  out[0] = '\n';
  return 1;
}
