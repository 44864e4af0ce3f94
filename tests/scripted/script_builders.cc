// Short ways to write scripts, and the lookups tests make on results.
#include <algorithm>

#include "live_state.h"
#include "scripted_platform.h"

namespace scripted {

ReadOutcome Succeed() { return ReadOutcome{}; }

ReadOutcome Short(int64_t bytes) { return ReadOutcome{true, 0, bytes}; }

ReadOutcome Fail(DWORD code, int64_t delivered) {
  return ReadOutcome{false, code, delivered};
}

ReadOutcome SucceedLeaving(DWORD code) { return ReadOutcome{true, code, -1}; }

std::vector<ReadOutcome> Repeat(const ReadOutcome& outcome, int times) {
  return std::vector<ReadOutcome>(times, outcome);
}

FileSpec FileOf(std::string bytes) {
  FileSpec file;
  file.length = bytes.size();
  file.bytes = std::move(bytes);
  return file;
}

FileSpec AbsentFile() {
  FileSpec file;
  file.exists = false;
  return file;
}

std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i % 251 + 1);
  return bytes;
}

KeyScript PressedAt(int query) {
  KeyScript key;
  key.byQuery.assign(query + 1, 0);
  key.byQuery[query] = 1;  // the "pressed since the last query" bit
  return key;
}

KeyScript HeldFrom(int query) {
  KeyScript key;
  key.heldFrom = query;
  return key;
}

std::vector<std::string> RunResult::Calls(const std::string& prefix) const {
  std::vector<std::string> found;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
               [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
  return found;
}

std::string RunResult::Content(const std::string& name) const {
  auto it = files.find(name);
  if (it == files.end()) return "<no such file>";
  if (it->second.length > kMaxStoredSpan) return "<too large>";
  FileSpec file;
  file.length = it->second.length;
  file.origin = it->second.origin;
  file.bytes = it->second.bytes;
  return ReadContent(file, 0, file.length);
}

}  // namespace scripted
