#include <string>
#include <vector>

#include "console_lines.h"
#include "gtest/gtest.h"

namespace {

// The statements one after another, each ended as the channel ends it.
std::string Shaped(ConsoleLines style, const std::vector<std::string>& statements) {
  LineShaper shaper;
  shaper.style = style;
  std::string out;
  char bytes[2];
  for (const std::string& statement : statements) {
    for (char c : statement) out.append(bytes, ShapeByte(&shaper, c, bytes));
    out.append(bytes, ShapeStatementEnd(&shaper, bytes));
  }
  return out;
}

// How the program's lines meet a Progress line ("\r00 - 1 kb", a statement of its own):
// a terminal rewrites it; a log keeps every report as a line, and neither a message
// that leaves it with CR LF nor a line that overwrites it gets an empty line there.
// (Windows programs pass every byte on as written: the cli transcripts hold them.)
TEST(ConsoleLines, TerminalRewritesLogKeepsEachLine) {
  // clang-format off
  const struct {
    const char* name;
    std::vector<std::string> statements;
    std::string terminal, log;
  } cases[] = {
    {"the banner", {"\r\nFiles\r\n", "Reading...\r\n"},
     "\nFiles\nReading...\n", "\nFiles\nReading...\n"},
    {"a CR LF whose LF comes in the next statement", {"Retrying...\r", "\n0400: Read error\r\n"},
     "Retrying...\n0400: Read error\n", "Retrying...\n0400: Read error\n"},
    {"reports, then the report that overwrites the last",
     {"Reading...\r\n", "\r00 - 1 kb", "\r00 - 2 kb", "\rElapsed time: 9 \r\n"},
     "Reading...\n\r00 - 1 kb\r00 - 2 kb\rElapsed time: 9 \n",
     "Reading...\n00 - 1 kb\n00 - 2 kb\nElapsed time: 9 \n"},
    {"messages that leave a report, and their empty lines without one",
     {"Reading...\r\n", "\r00 - 1 kb", "\r\n0400: Read error\r\n", "\r\n0800: Read error\r\n"},
     "Reading...\n\r00 - 1 kb\n0400: Read error\n\n0800: Read error\n",
     "Reading...\n00 - 1 kb\n0400: Read error\n\n0800: Read error\n"},
    {"a line that a report overwrites",
     {"    Retrying...", "\r00 - 1 kb", "\r\n0400: Read error\r\n"},
     "    Retrying...\r00 - 1 kb\n0400: Read error\n",
     "    Retrying...\n00 - 1 kb\n0400: Read error\n"},
    {"a line begun with CR that ends itself", {"Read: 5\r\n", "\rFile too small\r\n", "\r\n"},
     "Read: 5\n\rFile too small\n\n", "Read: 5\nFile too small\n\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Shaped(ConsoleLines::kTerminal, c.statements), c.terminal);
    EXPECT_EQ(Shaped(ConsoleLines::kLog, c.statements), c.log);
  }
}

}  // namespace
