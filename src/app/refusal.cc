// The record of a bad command line: the flag, and the first fault in words.
#include "app.h"
#include "run_record.h"

namespace {

constexpr size_t kShownBytes = 60;

}  // namespace

// Later faults often follow from the first (a value read as a name, then one name too
// many), so the first is the one worth telling.
void RefuseCommandLine(const std::string& why) {
  if (!Run.BadCommandLine) Run.Refusal = why;
  Run.BadCommandLine = true;
}

std::string Quoted(const std::string& argument) {
  std::string shown = "'";
  for (size_t i = 0; i < argument.size() && i < kShownBytes; ++i) {
    unsigned char c = static_cast<unsigned char>(argument[i]);
    shown += c < 32 || c == 127 ? '?' : argument[i];
  }
  if (argument.size() > kShownBytes) shown += "...";
  return shown + "'";
}
