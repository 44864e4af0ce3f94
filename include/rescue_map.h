// The rescue map: which parts of the input are in the output ('+'), failed ('-' one
// sector, '*' larger), or not tried yet ('?'), kept in the plain-text map format that
// rescue tools share. With a map, a run reads only what the map does not mark '+',
// in one pass, and the map file is rewritten as it goes.
#ifndef TAVO_INCLUDE_RESCUE_MAP_H_
#define TAVO_INCLUDE_RESCUE_MAP_H_

#include <cstdint>

#include "platform.h"

// True once the command line named a map; for the rest of the run.
bool RescueMapActive();

// True when the map was read from its file, not started by this run.
bool RescueMapLoaded();

// Before the output is opened: reads and checks the map file, unless "/n" starts a
// new one. A map that cannot be read or does not parse ends the run with exit code
// 2, one line naming the map and the line at fault, nothing touched.
void LoadRescueMap();

// After the input is opened and sized: fits the map to the input (a new map counts
// the part of the output below the resume offset as rescued) and plans this run's
// pass. A map whose extent is not the input's, or that claims more than the output
// holds, ends the run as a bad map does.
void FitRescueMap();

// The next request of the pass: false when the pass has nothing left to read.
bool NextRescueRequest(int64_t& offset, int32_t& size);

// How the request ended: ok and the bytes delivered as the read reported them,
// whether they are in the output now, and whether the read's code ends the run.
void TakeRescueOutcome(BOOL ok, int32_t bytes, bool written, bool endingCode);

// Rewrites the map file when more than 5000 ms have passed since it was last written
// (at tick now), or always when final. The output is flushed first whenever the map
// is to mark newly read blocks '+'; a failed flush or map write counts as a failed
// write.
void SaveRescueMap(uint32_t now, bool final);

// One line of totals, in the categories that rescue tools use for a map.
void WriteRescueMapTotals();

// True when the map marks the whole input '+'.
bool RescueMapComplete();

// The map file's name, kept by the --map option.
void SetRescueMapName(const char* name);

// The map file's name, or "" when the run has no map.
const char* RescueMapName();

#endif  // TAVO_INCLUDE_RESCUE_MAP_H_
