// Windows hands the program its command line as typed: nothing is lost in rebuilding.
#include "platform.h"

bool CommandLineIsExact() { return true; }
