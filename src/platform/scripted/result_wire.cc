// The child's end of a run: its state, and the result sent to the parent as one byte
// string (numbers as 8 bytes, texts with their length before them, lists with their
// count) when the program ends.
#include <unistd.h>

#include <cstring>

#include "app.h"
#include "live_state.h"

namespace scripted {

namespace {

constexpr uint64_t kMagic = 0x7461766f52756e31;  // marks a result sent by the child

void PutNumber(std::string& wire, uint64_t value) {
  wire.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& wire, const std::string& text) {
  PutNumber(wire, text.size());
  wire += text;
}

class Reader {
 public:
  explicit Reader(const std::string& wire) : wire_(wire) {}

  uint64_t Number() {
    uint64_t value = 0;
    if (Take(sizeof value)) memcpy(&value, wire_.data() + at_ - sizeof value, 8);
    return value;
  }

  std::string Text() {
    uint64_t length = Number();
    return Take(length) ? wire_.substr(at_ - length, length) : std::string();
  }

  bool Complete() const { return good_ && at_ == wire_.size(); }

 private:
  bool Take(uint64_t count) {
    if (!good_ || wire_.size() - at_ < count) return good_ = false;
    at_ += count;
    return true;
  }

  const std::string& wire_;
  size_t at_ = 0;
  bool good_ = true;
};

std::string EncodeResult(const RunResult& result) {
  std::string wire;
  PutNumber(wire, kMagic);
  PutText(wire, result.stopReason);
  PutNumber(wire, result.exitCode);
  PutText(wire, result.out);
  PutText(wire, result.err);
  PutNumber(wire, result.writes.size());
  for (const std::string& write : result.writes) PutText(wire, write);
  PutNumber(wire, result.files.size());
  for (const auto& [name, file] : result.files) {
    PutText(wire, name);
    PutNumber(wire, file.length);
    PutNumber(wire, file.origin);
    PutText(wire, file.bytes);
  }
  PutNumber(wire, result.calls.size());
  for (const std::string& call : result.calls) PutText(wire, call);
  return wire;
}

}  // namespace

LiveState& Live() {
  static LiveState state;
  return state;
}

void LogCall(const std::string& entry) { Live().result.calls.push_back(entry); }

void FinishChild(UINT exitCode, const std::string& stopReason) {
  LiveState& live = Live();
  live.result.exitCode = exitCode;
  live.result.stopReason = stopReason;
  live.result.files = live.script.files;
  std::string wire = EncodeResult(live.result);
  for (size_t done = 0; done < wire.size();) {
    ssize_t n = write(live.resultFd, wire.data() + done, wire.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  _exit(0);  // no atexit handlers, no flushing of the parent's copied buffers
}

void RunScripted(const Script& script, int resultFd) {
  Live().script = script;
  Live().resultFd = resultFd;
  RunProgram();
}

bool DecodeResult(const std::string& wire, RunResult& result) {
  Reader reader(wire);
  if (reader.Number() != kMagic) return false;
  result.stopReason = reader.Text();
  result.exitCode = static_cast<UINT>(reader.Number());
  result.out = reader.Text();
  result.err = reader.Text();
  for (uint64_t n = reader.Number(); n > 0; --n) result.writes.push_back(reader.Text());
  for (uint64_t n = reader.Number(); n > 0; --n) {
    FileSpec& file = result.files[reader.Text()];
    file.length = reader.Number();
    file.origin = reader.Number();
    file.bytes = reader.Text();
  }
  for (uint64_t n = reader.Number(); n > 0; --n) result.calls.push_back(reader.Text());
  return reader.Complete();
}

}  // namespace scripted
