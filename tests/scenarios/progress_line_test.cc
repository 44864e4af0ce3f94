// The Progress line: when it is due (more than 5000 ms, or SPACE at a later tick),
// its two forms, and what its figures count.
#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

constexpr DWORD S = 100000;         // the tick at which the clock starts
constexpr DWORD W = 0x7FFFFF00;     // a start shortly before the tick count passes 2^31
const std::string kBlanks(6, ' ');  // the rate form's end, clearing a longer line

FileSpec SizeUnknown(FileSpec file) {
  file.sizeError = ERROR_INVALID_FUNCTION;
  return file;
}

FileSpec FailingFirstBlock(FileSpec file) {
  file.reads[0] = {Fail(ERROR_IO_DEVICE)};
  return file;
}

struct ProgressCase {
  const char* name;
  const char* commandLine;
  FileSpec input;
  std::optional<FileSpec> output;
  std::vector<DWORD> ticks;  // the start, one per iteration, the end
  KeyScript space;
  KeyScript escape;
  std::string loopText;
};

TEST(ProgressLine, WhenDueAndWhatItShows) {
  const std::vector<ProgressCase> cases = {
      {"no key: more than 5000 ms, exactly 5000 is not enough",
       "tavo in /1",
       FileOf(Pattern(4106)),
       {},
       {S, S + 5000, S + 5001, S + 10001, S + 10002, S + 10003, S + 11000},
       {},
       {},
       "\r00000000.00000400 - 1 kb - 0.0 mb - 24.94%"
       "\r00000000.00000c00 - 3 kb - 0.0 mb - 74.82%"},
      {"size unknown: the rate since the last line",
       "tavo in /1",
       SizeUnknown(FileOf(Pattern(4106))),
       {},
       {S, S + 5000, S + 5001, S + 10001, S + 10002, S + 10003, S + 11000},
       {},
       {},
       "\r00000000.00000400 - 1 kb - 0.0 mb (0.2 kb/s)" + kBlanks +
           "\r00000000.00000c00 - 3 kb - 0.0 mb (0.4 kb/s)" + kBlanks},
      {"SPACE held: one line per distinct tick",
       "tavo in /1",
       FileOf(Pattern(5121)),
       {},
       {S, S, S + 1, S + 1, S + 1, S + 2, S + 2, S + 3},
       HeldFrom(0),
       {},
       "\r00000000.00000400 - 1 kb - 0.0 mb - 20.00%"
       "\r00000000.00001000 - 4 kb - 0.0 mb - 79.98%"},
      {"SPACE before the loop is ignored, a later press counts",
       "tavo in /1",
       FileOf(Pattern(5121)),
       {},
       {S, S + 1, S + 2, S + 3, S + 4, S + 5, S + 6, S + 7},
       KeyScript{{1, 0, 0, 1}, -1},
       {},
       "\r00000000.00000800 - 2 kb - 0.0 mb - 39.99%"},
      {"EndlessMode goes past 100%",
       "tavo in /1 /i",
       FileOf(Pattern(1500)),
       {},
       {S, S + 1, S + 2, S + 5002, S + 5003},
       {},
       PressedAt(3),
       "Read: TRUE\t1024 gle 0\r\nRead: TRUE\t476 gle 0\r\n"
       "\r00000000.00000800 - 2 kb - 0.0 mb - 136.53%Read: TRUE\t0 gle 0\r\n"},
      {"resumed: the position counts the resumed part, the rate does not",
       "tavo in out /1",
       SizeUnknown(FileOf(Pattern(8192))),
       FileOf(std::string(2048, 'o')),
       {S, S + 1, S + 5001, S + 6000},
       {},
       PressedAt(2),
       "\r00000000.00000c00 - 3 kb - 0.0 mb (0.2 kb/s)" + kBlanks},
      {"a failed read raises the position, not the rate",
       "tavo in /1",
       FailingFirstBlock(SizeUnknown(FileOf(Pattern(8192)))),
       {},
       {S, S + 1, S + 5001, S + 6000},
       {},
       PressedAt(2),
       "\r\n00000000.00000000: Read error 0000 bytes read; gle=1117\r\n"
       "\r00000000.00000400 - 1 kb - 0.0 mb (0.0 kb/s)" +
           kBlanks},
      // Past 2^31 the tick reads as negative: SPACE waits for the next timed line.
      {"tick count passing 2^31",
       "tavo in /1",
       FileOf(Pattern(5121)),
       {},
       {W, W + 100, 0x80000010, W + 5101, W + 5102, W + 5102, W + 5103, W + 6000},
       HeldFrom(0),
       {},
       "\r00000000.00000000 - 0 kb - 0.0 mb - 0.00%"
       "\r00000000.00000800 - 2 kb - 0.0 mb - 39.99%"
       "\r00000000.00000c00 - 3 kb - 0.0 mb - 59.99%"
       "\r00000000.00001400 - 5 kb - 0.0 mb - 99.98%"},
  };
  for (const ProgressCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = c.commandLine;
    script.files["in"] = c.input;
    if (c.output) script.files["out"] = *c.output;
    script.ticks = c.ticks;
    script.space = c.space;
    script.escape = c.escape;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Visible(LoopText(run.out)), Visible(c.loopText));
    // Every tick was used: start, one per iteration, end.
    EXPECT_EQ(run.Calls("ReadFile in ").size() + 2, c.ticks.size());
  }
}

}  // namespace
}  // namespace scripted
