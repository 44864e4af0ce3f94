// Sparse file content: `bytes` stored from `origin`, zeros elsewhere up to `length`.
#include <algorithm>
#include <cstring>

#include "live_state.h"

namespace scripted {

std::string ReadContent(const FileSpec& file, uint64_t offset, uint64_t count) {
  std::string out(count, '\0');
  uint64_t storedEnd = file.origin + file.bytes.size();
  uint64_t from = std::max(offset, file.origin);
  uint64_t to = std::min(offset + count, storedEnd);
  if (from < to)
    out.replace(from - offset, to - from, file.bytes, from - file.origin, to - from);
  return out;
}

bool WriteContent(FileSpec& file, uint64_t offset, const void* data, uint64_t count) {
  if (count == 0) return true;  // a null write leaves the file as it is
  if (file.bytes.empty()) file.origin = std::min(offset, file.length);
  uint64_t start = std::min(offset, file.origin);
  uint64_t end = std::max(offset + count, file.origin + file.bytes.size());
  if (end - start > kMaxStoredSpan) return false;
  if (offset < file.origin) {
    file.bytes.insert(0, file.origin - offset, '\0');
    file.origin = offset;
  }
  uint64_t at = offset - file.origin;
  if (file.bytes.size() < at + count) file.bytes.resize(at + count, '\0');
  memcpy(&file.bytes[at], data, count);
  file.length = std::max(file.length, offset + count);
  return true;
}

std::string FileSpec::Content() const {
  if (length > kMaxStoredSpan) return "<too large>";
  return ReadContent(*this, 0, length);
}

}  // namespace scripted
