// The requests for help and version that POSIX programs answer. Kept free of the rest
// of the POSIX layer: the scripted test platform links this file and the help text
// alone.
#include <cstring>

#include "platform.h"

LoneArgument LoneArgumentRequest(const char* argument) {
  if (!std::strcmp(argument, "--help") || !std::strcmp(argument, "-h"))
    return LoneArgument::kHelp;
  if (!std::strcmp(argument, "--version") || !std::strcmp(argument, "-V"))
    return LoneArgument::kVersion;
  return LoneArgument::kRun;
}
