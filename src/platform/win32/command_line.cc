// The arguments as the program cuts them from the one line Windows hands it.
#include "app.h"
#include "platform.h"

const char* ProgramArgument(int index) {
  static const Arguments arguments = SplitCommandLine(GetCommandLineA());
  size_t after_name = static_cast<size_t>(index) + 1;
  return after_name < arguments.size() ? arguments[after_name].c_str() : nullptr;
}
