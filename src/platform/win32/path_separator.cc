// What separates the directories of a path.
#include "platform.h"

// Windows takes either slash; the colon of "c:name" ends a drive's name.
bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
