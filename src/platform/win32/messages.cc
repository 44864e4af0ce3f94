// Windows programs' messages give an error code by its number alone and a name as
// given: their users, and the programs' transcripts, have always read them so.
#include "platform.h"

std::string ErrorWords(DWORD /*code*/) { return ""; }

std::string ShownName(const char* name) { return name; }
