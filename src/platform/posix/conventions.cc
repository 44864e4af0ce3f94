// What POSIX programs share on the command line and on standard error. Kept free of
// the rest of the POSIX layer: the scripted test platform links this file too.
#include "platform.h"

bool DashArgumentsAreOptions() { return true; }

const char* ErrorLineEnd() { return "\n"; }
