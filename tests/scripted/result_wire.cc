// A run's result as one byte string: numbers as 8 bytes, texts with their length
// before them, lists with their count.
#include <cstring>

#include "live_state.h"

namespace scripted {

namespace {

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
    if (!Take(sizeof value)) return 0;
    memcpy(&value, wire_.data() + at_ - sizeof value, sizeof value);
    return value;
  }

  std::string Text() {
    uint64_t length = Number();
    if (!Take(length)) return std::string();
    return wire_.substr(at_ - length, length);
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

constexpr uint64_t kMagic = 0x7461766f52756e31;  // marks a result sent by ExitProcess

}  // namespace

std::string EncodeResult(const RunResult& result) {
  std::string wire;
  PutNumber(wire, kMagic);
  PutText(wire, result.stopReason);
  PutNumber(wire, result.exitCode);
  PutNumber(wire, result.stdoutWrites.size());
  for (const StdoutWrite& write : result.stdoutWrites) {
    PutText(wire, write.bytes);
    PutNumber(wire, write.accepted);
  }
  PutNumber(wire, result.files.size());
  for (const auto& [name, file] : result.files) {
    PutText(wire, name);
    PutNumber(wire, file.exists);
    PutNumber(wire, file.length);
    PutNumber(wire, file.origin);
    PutText(wire, file.bytes);
  }
  PutNumber(wire, result.calls.size());
  for (const std::string& call : result.calls) PutText(wire, call);
  return wire;
}

bool DecodeResult(const std::string& wire, RunResult& result) {
  Reader reader(wire);
  if (reader.Number() != kMagic) return false;
  result.exited = true;
  result.stopReason = reader.Text();
  result.exitCode = static_cast<UINT>(reader.Number());
  for (uint64_t n = reader.Number(); n > 0; --n) {
    StdoutWrite write;
    write.bytes = reader.Text();
    write.accepted = reader.Number() != 0;
    if (write.accepted) result.out += write.bytes;
    result.stdoutWrites.push_back(write);
  }
  for (uint64_t n = reader.Number(); n > 0; --n) {
    std::string name = reader.Text();
    FileResult& file = result.files[name];
    file.exists = reader.Number() != 0;
    file.length = reader.Number();
    file.origin = reader.Number();
    file.bytes = reader.Text();
  }
  for (uint64_t n = reader.Number(); n > 0; --n) result.calls.push_back(reader.Text());
  return reader.Complete();
}

}  // namespace scripted
