// Windows programs take an argument that begins with "-" as a name, and end every
// line, standard error's too, with CR LF.
#include "platform.h"

bool DashArgumentsAreOptions() { return false; }

const char* ErrorLineEnd() { return "\r\n"; }
