#include "file_size.h"

int64_t FileSizeOrZero(HANDLE file) {
  DWORD high = 0;
  // Cleared right before the query: opening an existing output leaves
  // ERROR_ALREADY_EXISTS behind.
  SetLastError(0);
  DWORD low = GetFileSize(file, &high);
  if (GetLastError() != 0) return 0;
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}
