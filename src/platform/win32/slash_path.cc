// Windows paths never begin with "/": there an argument that does is an option or
// a bad command line, never a name.
#include "platform.h"

bool SlashArgumentIsPath(const char* /*argument*/) { return false; }
