// The exit codes, in one place. When several apply, the first of 2, 3, 4 and 1 is
// given, so that `tavo share/big copy && next-step` goes on only with a whole copy.
#ifndef TAVO_INCLUDE_EXIT_CODE_H_
#define TAVO_INCLUDE_EXIT_CODE_H_

#include "platform.h"
#include "run_record.h"

constexpr UINT kExitWhole = 0;
// A bad command line, the fatal-error path, or a run without an output that the
// millisecond clock could not measure.
constexpr UINT kExitFailure = 1;
// The output or the input cannot be opened, or the output is not a copy of the input.
constexpr UINT kExitCannotOpen = 2;
constexpr UINT kExitFailedWrite = 3;  // the output misses bytes it was given
constexpr UINT kExitInputNotWhole =
    4;  // a block was stepped over, or the copy ends short
// Ctrl-C (Ctrl-Break), a request to terminate, a closed terminal or console: the
// codes a shell gives a program that such a signal ended.
constexpr UINT kExitInterrupted = 130;
constexpr UINT kExitTerminated = 143;
constexpr UINT kExitHungUp = 129;

// What the run has done to its copy so far: 3, 4, or 0 when nothing failed.
inline UINT CopyExitCode() {
  if (Run.HadWriteErrors) return kExitFailedWrite;
  // With a map, what is still missing is what the map does not mark rescued.
  if (Run.MapKept) return Run.MapWhole ? kExitWhole : kExitInputNotWhole;
  if (Run.InputIncomplete) return kExitInputNotWhole;
  return kExitWhole;
}

#endif  // TAVO_INCLUDE_EXIT_CODE_H_
