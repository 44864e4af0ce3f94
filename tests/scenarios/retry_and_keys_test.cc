// A device that is not ready, asked again every 500 ms, and ESC: when it ends the
// loop, and what the iteration it ends still does.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

const char kNotReady[] =
    "\r\n00000000.00000400: Read error 0000 bytes read; gle=21\r\n";
const char kRetrying[] = "    Retrying...";

TEST(Retry, NotReadyBlockIsAskedAgainUntilItAnswers) {
  const std::string in = Pattern(2560);
  Script script;
  script.commandLine = "tavo in out /1";
  script.files["in"] = FileOf(in);
  script.files["in"].reads[1024] = Repeat(Fail(ERROR_NOT_READY), 2);
  script.tickStep = 10;
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Visible(LoopText(run.out)),
            Visible(std::string(kNotReady) + kRetrying + kNotReady + kRetrying));
  EXPECT_EQ(run.Content("out"), in);
  EXPECT_EQ(run.Calls("ReadFile in at=1024 ").size(), 3u);
  EXPECT_EQ(run.Calls("Sleep 500").size(), 2u);
  EXPECT_EQ(run.Calls("WriteFile out at=1024 ").size(), 1u);
  // Each attempt is counted; the two pauses are part of the measured time.
  EXPECT_EQ(
      Visible(ReportText(run.out)),
      Visible("\r\n\rElapsed time: 1.06 seconds                                  \r\n"
              "Read: 2560 bytes (2.5 Kb) (0.00 Mb)\r\n"
              "Transfer rate: 0.0 Mb/sec = 2.4 Kb/sec = 0.0x = 2415 Bytes/sec\r\n\r\n"
              "Total errors encountered: 2 (40.0%)\r\n"));
}

struct EscapeCase {
  const char* name;
  KeyScript escape;
  std::vector<ReadOutcome> secondBlock;
  size_t reads;
  size_t sleeps;
  size_t outputLength;
  std::string loopText;
};

TEST(Escape, EndsTheLoopAfterTheIterationInWhichItIsSeen) {
  const std::string in = Pattern(4196);
  const std::vector<EscapeCase> cases = {
      {"during a read", PressedAt(2), {}, 2, 0, 2048, ""},
      {"during a failed read",
       PressedAt(2),
       {Fail(ERROR_CRC, 1024)},
       2,
       0,
       2048,
       "\r\n00000000.00000400: Read error 0400 bytes read; gle=23\r\n"},
      {"during a retry, after the pause", PressedAt(3),
       Repeat(Fail(ERROR_NOT_READY), 50), 3, 2, 1024,
       std::string(kNotReady) + kRetrying + kNotReady + kRetrying},
      {"pressed before the loop", PressedAt(0), {}, 5, 0, 4196, ""},
      {"held down from before the loop", HeldFrom(0), {}, 1, 0, 1024, ""},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = "tavo in out /1";
    script.files["in"] = FileOf(in);
    script.files["in"].reads[1024] = c.secondBlock;
    script.escape = c.escape;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.Calls("ReadFile in ").size(), c.reads);
    EXPECT_EQ(run.Calls("Sleep 500").size(), c.sleeps);
    EXPECT_EQ(run.Content("out"), in.substr(0, c.outputLength));
    EXPECT_EQ(Visible(LoopText(run.out)), Visible(c.loopText));
    // Both files are closed and the keys typed during the run discarded before the
    // clock is read for the last time.
    std::vector<std::string> last(run.calls.end() - 4, run.calls.end());
    EXPECT_EQ(last,
              (std::vector<std::string>{"CloseHandle in", "CloseHandle out",
                                        "FlushConsoleInputBuffer", "GetTickCount"}));
  }
}

}  // namespace
}  // namespace scripted
