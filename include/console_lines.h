// The console channel's line shaping: the program's text, written as a Windows console
// shows it (lines ended by CR LF, a rewritten line begun with a bare CR), turned into
// the lines of the platform's standard output (ConsoleLinesOf) one byte at a time, so
// that a CR LF split between two writes is still one line end.
//
// A log holds what a console showed, each rewritten line kept as a line of its own: a
// bare CR in the middle of a line ends it with LF, and a rewritten line gets its LF
// when its statement ends, so that a log followed as it grows shows it at once. The
// program leaves such a line with a CR LF of its own ("\r\nRead error ..."); that one
// is then already out, and a log gets no empty line for it.
#ifndef TAVO_INCLUDE_CONSOLE_LINES_H_
#define TAVO_INCLUDE_CONSOLE_LINES_H_

#include <cstddef>

#include "platform.h"

struct LineShaper {
  ConsoleLines style = ConsoleLines::kAsWritten;
  bool crHeld = false;         // a CR came last; whether an LF follows is not known yet
  bool atLineStart = true;     // what went out so far ends with a line end
  bool rewritten = false;      // kLog: the line going out began with a bare CR
  bool endedByShaper = false;  // kLog: the last line end out is the shaper's own
};

// The bytes that go out for c, in out: none, one or two.
size_t ShapeByte(LineShaper* shaper, char c, char out[2]);

// At the end of a statement: what goes out, in out, none or one byte.
size_t ShapeStatementEnd(LineShaper* shaper, char out[1]);

#endif  // TAVO_INCLUDE_CONSOLE_LINES_H_
