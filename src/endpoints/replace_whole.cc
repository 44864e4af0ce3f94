// A result file is replaced whole, never left half written: a script that reads it
// while a run ends finds the previous run's file or this one's.
#include <string>

#include "platform.h"
#include "replace_whole.h"

namespace {

// Names taken by files that are not ours (a killed run's temporary, a planted link)
// are stepped over; this many in a row is no accident.
constexpr int kAttempts = 16;

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

// The process id keeps two runs that write the same file apart; the attempt number
// steps past a name already taken.
std::string TemporaryName(const char* name, int attempt) {
  return std::string(name) + "." + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(attempt) + ".tmp";
}

// CREATE_NEW: a file of our own, never an existing one nor the target of a link
// planted at its name.
HANDLE CreateTemporary(const char* name, std::string& temporary) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    temporary = TemporaryName(name, attempt);
    SetLastError(0);
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
      return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool ReplaceWhole(const char* name, const std::string& text) {
  std::string temporary;
  HANDLE file = CreateTemporary(name, temporary);
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
