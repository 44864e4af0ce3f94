// What separates the directories of a path. Kept free of the rest of the POSIX layer:
// the scripted test platform links this file alone.
#include "platform.h"

// A backslash is a character of a name like any other.
bool IsPathSeparator(char c) { return c == '/'; }
