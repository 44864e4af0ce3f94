// Windows programs take "-h" and "-V" as names, of a file or of nothing.
#include "platform.h"

LoneArgument LoneArgumentRequest(const char* /*argument*/) {
  return LoneArgument::kRun;
}

// Windows has no help text of its own: the Usage text, whose examples are Windows
// names, serves.
const char* HelpText() { return nullptr; }
