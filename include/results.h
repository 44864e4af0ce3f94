// Result files: the run's figures as JSON (--json) and its profile as an SVG chart
// (--chart), each written whole, in place of any earlier file, when the run ends.
#ifndef TAVO_INCLUDE_RESULTS_H_
#define TAVO_INCLUDE_RESULTS_H_

#include <cstdint>
#include <string>

#include "platform.h"

// With a result file asked for: has every end of the process write them. Call it
// once the command line is read, before anything can end the run.
void KeepResultsAtExit();

// Takes back KeepResultsAtExit: a run refused before it began writes no result file.
void DropResultFiles();

// With a result file asked for: starts the profile, once the input's size is known.
void ProfileReadsIfWanted();

// The documents, as they are written when the process ends with exitCode at `when`.
std::string JsonResult(UINT exitCode, const SYSTEMTIME& when);
std::string SvgChart(const SYSTEMTIME& when);

// What an exit code says, in a few words.
const char* ExitCodeMeaning(UINT exitCode);

#endif  // TAVO_INCLUDE_RESULTS_H_
