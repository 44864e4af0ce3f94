// Positioned reads: a seek from the start, then one read.
#include "read_at.h"

void SeekTo(HANDLE file, int64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN);
}

int64_t ReadAt(HANDLE file, int64_t offset, void* block, int64_t count) {
  SeekTo(file, offset);
  SetLastError(0);
  DWORD got = 0;
  if (!ReadFile(file, block, static_cast<DWORD>(count), &got, nullptr)) return -1;
  return got;
}
