// Errors told beyond the output channel's own text: the system's words after an
// error code, and the one line a refused command line writes to standard error.
#include <string>

#include "console.h"

void WriteErrorWords(DWORD code) {
  std::string words = ErrorWords(code);
  if (words.empty()) return;
  WriteText(" (");
  WriteText(words.c_str());
  WriteChar(')');
}

// One WriteFile call, so that the line reaches a log whole.
void WriteErrorLine(const char* text) {
  std::string line = std::string("tavo: ") + text + ErrorLineEnd();
  HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
  if (standardError == nullptr || standardError == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(standardError, line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}
