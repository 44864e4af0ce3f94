// A result file is replaced whole, never left half written: a script that reads it
// while a run ends finds the previous run's file or this one's.
#include <string>

#include "platform.h"
#include "replace_file.h"

namespace {

bool WriteAll(HANDLE file, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    DWORD piece = static_cast<DWORD>(
        text.size() - done > (1u << 20) ? 1u << 20 : text.size() - done);
    if (!WriteFile(file, text.data() + done, piece, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

}  // namespace

bool ReplaceFile(const char* name, const std::string& text) {
  std::string temporary = std::string(name) + ".tmp";
  SetLastError(0);
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = WriteAll(file, text) && FlushFileBuffers(file);
  DWORD code = GetLastError();
  if (!CloseHandle(file) && written) {
    written = false;
    code = GetLastError();
  }
  if (written && MoveFileExA(temporary.c_str(), name,
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (written) code = GetLastError();
  DeleteFileA(temporary.c_str());
  SetLastError(code);
  return false;
}
