// Which arguments that begin with "/" are file names rather than options. Kept free
// of the rest of the POSIX layer: the scripted test platform links this file alone.
#include <cstring>

#include "platform.h"

// Options are one slash and a word ("/c", "/512"); a path has a second slash
// somewhere ("/dev/sdb", "//file").
bool SlashArgumentIsPath(const char* argument) {
  return argument[0] == '/' && std::strchr(argument + 1, '/') != nullptr;
}
