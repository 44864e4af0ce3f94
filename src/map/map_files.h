// The map's files and the run's facts that the map file records.
#ifndef TAVO_SRC_MAP_MAP_FILES_H_
#define TAVO_SRC_MAP_MAP_FILES_H_

#include <string>

#include "platform.h"

// The whole of the named file; false with the open's or the read's error code.
bool ReadMapFile(const char* name, std::string& text, DWORD& code);

// Puts text in place of the named file in one step: a file beside it is written,
// flushed and renamed over it, so that the name always holds a whole map. False, with
// the last error set, when that fails; the map file then stays as it was.
bool WriteMapFile(const char* name, const std::string& text);

// A line that starts below the Progress line, and the run's exit code says 3.
void ReportMapFailure(const char* what, DWORD code);

// "2026-01-02 03:04:05", the local time now.
std::string LocalTimeText();

// The map file's comment lines: the program, the command line, start and save time.
std::string MapHeading(const std::string& startTime);

#endif  // TAVO_SRC_MAP_MAP_FILES_H_
