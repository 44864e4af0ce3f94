// Windows' console reads keys as they are typed without any preparing.
#include "platform.h"

void PrepareConsole() {}
