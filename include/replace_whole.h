// Files that the run writes whole beside its output: the map and the result files.
#ifndef TAVO_INCLUDE_REPLACE_WHOLE_H_
#define TAVO_INCLUDE_REPLACE_WHOLE_H_

#include <string>

// Replaces the file `name` with text, or creates it: the text goes to a new file
// beside it (name + "." + process id + "-" + attempt + ".tmp") and is moved over name
// once it is on the medium. False, with the last error set and no temporary left
// behind, when that fails.
bool ReplaceWhole(const char* name, const std::string& text);

#endif  // TAVO_INCLUDE_REPLACE_WHOLE_H_
