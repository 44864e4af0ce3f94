// Windows programs take "--help" and "-h" as names, of a file or of nothing.
#include "platform.h"

LoneArgument LoneArgumentRequest(const char* /*argument*/) {
  return LoneArgument::kRun;
}

// Never asked for: no argument requests help here.
const char* HelpText() { return ""; }
