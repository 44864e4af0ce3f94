// The short requests for help and version that POSIX programs answer ("--help" and
// "--version" are long options everywhere). Kept free of the rest of the POSIX
// layer: the scripted test platform links this file and the help text alone.
#include <cstring>

#include "platform.h"

LoneArgument LoneArgumentRequest(const char* argument) {
  if (!std::strcmp(argument, "-h")) return LoneArgument::kHelp;
  if (!std::strcmp(argument, "-V")) return LoneArgument::kVersion;
  return LoneArgument::kRun;
}
