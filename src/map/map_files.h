// The map's files and the run's facts that the map file records.
#ifndef TAVO_SRC_MAP_MAP_FILES_H_
#define TAVO_SRC_MAP_MAP_FILES_H_

#include <string>

#include "map_areas.h"
#include "platform.h"

// Reads and parses the named map file a piece at a time. kUnreadable, with why, when
// it cannot be opened or read, or is no regular file (a pipe, a device): those would
// hold the run waiting, or feed it without end.
enum class MapLoad { kMissing, kLoaded, kRefused, kUnreadable };
MapLoad LoadMapFile(const char* name, rescue::ParsedMap& map, rescue::MapFault& fault,
                    std::string& why);
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
