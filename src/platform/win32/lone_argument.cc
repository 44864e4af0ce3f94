// Windows programs take "-h" and "-V" as names, of a file or of nothing.
#include "platform.h"

LoneArgument LoneArgumentRequest(const char* /*argument*/) {
  return LoneArgument::kRun;
}
