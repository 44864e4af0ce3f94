// Windows has no help text of its own: the Usage text, whose examples are Windows
// names, serves.
#include "platform.h"

const char* HelpText() { return nullptr; }
