// The map of a copy: which parts of the input are in the output ('+'), failed ('-' one
// sector, '*' larger), or not tried yet ('?'), kept in the plain-text map format that
// rescue tools share. Every copy to a file keeps one while it is incomplete: the one
// --map names, or else its own beside the output (OUTPUT.tavo-map), removed once the
// copy is whole. A map read from its file plans the run's reads; so does a new one
// that --map names. The map file is written before the first read, rewritten as the
// copy goes, and at every end.
#ifndef TAVO_INCLUDE_RESCUE_MAP_H_
#define TAVO_INCLUDE_RESCUE_MAP_H_

#include <cstdint>

#include "platform.h"

// The map file's name, kept by the --map option.
void SetRescueMapName(const char* name);

// True once the command line named a map; for the rest of the run.
bool RescueMapNamed();

// The map file's name: the one --map gives, or the copy's own; "" for none.
const char* RescueMapName();

// True when the map was read from its file: it says itself where the copy stands.
bool RescueMapLoaded();

// Before the output is opened: reads and checks the map file, unless "/n" starts a
// new one. A named map that cannot be read or does not parse ends the run with exit
// code 2, one line naming it, nothing touched. The copy's own map is read only when
// this program wrote it; a file at its name that it did not write is left alone.
void LoadRescueMap();

// After the input is opened and sized, and a copy without a map was checked: fits the
// map to the input, checks the rescued bytes just below where an earlier run's
// reading stopped (what cannot be shown to hold the input is read again), or starts
// a new map that counts the output below Position as rescued; then writes the map
// file. A named map that does not fit, or cannot be written, ends the run with exit
// code 2 before anything is read or written; without one, the copy goes on unmapped,
// with a line that says so.
void FitRescueMap();

// True when the map plans the reads: it was read from its file, or --map names it.
bool RescueMapPlans();

// The next request of the map's pass: false when the pass has nothing left to read.
bool NextRescueRequest(int64_t& offset, int32_t& size);

// A failed read of the current request may not be written through: the output holds
// what an earlier run rescued there, or the map says the block is missing anyway.
bool RescueMapKeepsFailedBlocks();

// How the request of size bytes at offset ended: ok and the bytes delivered, whether
// they are in the output now, and whether the read's code ends the run. Rewrites the
// map file when more than the save interval has passed since it was last written (at
// tick now).
void TakeRescueOutcome(int64_t offset, int32_t size, BOOL ok, int32_t bytes,
                       bool written, bool endingCode, uint32_t now);

// The map's last word, however the run ends: the output is flushed first, so that
// what the map calls rescued is on the medium. The copy's own map goes once the copy
// is whole.
void SaveRescueMapAtEnd();

// One line of totals, in the categories that rescue tools use for a map.
void WriteRescueMapTotals();

#endif  // TAVO_INCLUDE_RESCUE_MAP_H_
