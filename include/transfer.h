// The read loop and the Progress line it keeps rewriting.
#ifndef TAVO_INCLUDE_TRANSFER_H_
#define TAVO_INCLUDE_TRANSFER_H_

#include <cstdint>

// Invites ESC, then reads the input from Position to its end (or until ESC, an
// ending error or a failed write), writing every block through to the output at the
// same offset; then flushes the output, closes both and measures the elapsed time.
void RunReadLoop();

// Whether a Progress line is due at tick `now`, given the SPACE key state.
bool ProgressDue(uint32_t now, int16_t spaceState);

// Writes the Progress line in place and remembers when.
void ReportProgress(uint32_t now);

#endif  // TAVO_INCLUDE_TRANSFER_H_
