// What reaches the console: statements or 128-byte blocks, the fatal path, the
// Progress line and the Final report.
#include "harness.h"

namespace scripted {

const std::string kElapsedEnd = " seconds" + std::string(34, ' ') + "\r\n";

TEST(ConsoleText, StatementsOnAConsoleBlocksWhenRedirectedFatalWhenWritesFail) {
  Script script;
  script.commandLine = "tavo in out /1";
  script.files["in"] = FileOf(Pattern(2560));
  script.files["in"].reads[1024] = {Fail(ERROR_NOT_READY)};
  script.tickStep = 10;
  RunResult console = RunTavo(script);
  std::string pieces;
  for (size_t i = 1; i < console.writes.size(); ++i) pieces += console.writes[i] + "|";
  // clang-format off
  EXPECT_EQ(pieces, "   using 1024 bytes buffer\r\n|"
                    "   resume downloading \"out\" from 00000000.00000000 (0)\r\n|"
                    "File size: 2560 bytes (2.5 Kb) (0.00 Mb)\r\n|Reading... Hit ESC to break\r\n|"
                    "\r\n00000000.00000400: Read error 0000 bytes read; gle=21\r\n|"
                    "    Retrying...|\r\n|\rElapsed time: 0.55" + kElapsedEnd + "|"
                    "Read: 2560 bytes (2.5 Kb) (0.00 Mb)\r\n|"
                    "Transfer rate: 0.0 Mb/sec = 4.5 Kb/sec = 0.0x = 4655 Bytes/sec\r\n\r\n|"
                    "Total errors encountered: 1 (25.0%)\r\n|");
  // clang-format on
  script.console = false;
  RunResult redirected = RunTavo(script);
  EXPECT_EQ(redirected.out, console.out);
  for (size_t i = 0; i + 1 < redirected.writes.size(); ++i)
    EXPECT_EQ(redirected.writes[i].size(), 128u) << "write " << i;

  // A failed write ends the run at the statement's end, through the fatal line.
  for (int failsFrom : {3, 0}) {  // on a console, then redirected
    script.console = failsFrom != 0;
    script.stdoutFailsFrom = failsFrom;
    RunResult failed = RunTavo(script);
    EXPECT_EQ(failed.exitCode, 1u);
    const std::string& last = failed.writes.back();
    EXPECT_EQ(last.substr(last.find("Fatal")),
              "Fatal error: console output failed, error 232\r\n");
    EXPECT_EQ(Count(failed, "ReadFile"), 0);
  }
}

constexpr DWORD S = 100000;      // the tick at which the clock starts
constexpr DWORD W = 0x7FFFFF00;  // a start shortly before the tick count passes 2^31
constexpr int kSizeUnknown = 1, kReadAt2048Fails = 2;

TEST(ConsoleText, ProgressLine) {
  const std::string blanks(6, ' ');
  // clang-format off
  const struct {
    const char *name, *options;  // options after "tavo in"; "out" holds 2048 bytes
    size_t length;
    int input;
    std::vector<DWORD> ticks;    // the start, one per iteration, the end
    KeyScript space, escape;
    std::string loop;
  } cases[] = {
    {"more than 5000 ms, 5000 is not enough; the rate since the last line", " /1", 4106,
     kSizeUnknown, {S, S + 5000, S + 5001, S + 10001, S + 10002, S + 10003, S + 11000}, {}, {},
     "\r00000000.00000400 - 1 kb - 0.0 mb (0.2 kb/s)" + blanks +
     "\r00000000.00000c00 - 3 kb - 0.0 mb (0.4 kb/s)" + blanks},
    {"resumed, with a failed read: both raise the position, not the rate; SPACE before the "
     "loop is ignored, a later press counts", " out /1", 8192, kSizeUnknown | kReadAt2048Fails,
     {S, S + 1, S + 5001, S + 5002, S + 6000}, KeyScript{{1, 0, 0, 1}, -1}, PressedAt(3),
     "\r\n00000000.00000800: Read error 0000 bytes read; gle=1117\r\n"
     "\r00000000.00000c00 - 3 kb - 0.0 mb (0.0 kb/s)" + blanks +
     "\r00000000.00001000 - 4 kb - 0.0 mb (1000.0 kb/s)" + blanks},
    // Past 2^31 the tick reads as negative: SPACE waits for the next timed line.
    {"SPACE held: one line per new tick; ticks passing 2^31", " /1", 5121, 0,
     {W, W + 100, 0x80000010, W + 5101, W + 5102, W + 5102, W + 5103, W + 6000}, {{}, 0}, {},
     "\r00000000.00000000 - 0 kb - 0.0 mb - 0.00%\r00000000.00000800 - 2 kb - 0.0 mb - 39.99%"
     "\r00000000.00000c00 - 3 kb - 0.0 mb - 59.99%\r00000000.00001400 - 5 kb - 0.0 mb - 99.98%"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = std::string("tavo in") + c.options;
    FileSpec& in = script.files["in"] = FileOf(Pattern(c.length));
    if (c.input & kSizeUnknown) in.sizeError = ERROR_INVALID_FUNCTION;
    if (c.input & kReadAt2048Fails) in.reads[2048] = {Fail(ERROR_IO_DEVICE)};
    script.files["out"] = FileOf(std::string(2048, 'o'));
    script.ticks = c.ticks;
    script.space = c.space;
    script.escape = c.escape;
    RunResult run = RunTavo(script);
    EXPECT_EQ(LoopText(run.out), c.loop);
    EXPECT_EQ(Count(run, "ReadFile in ") + 2, static_cast<int>(c.ticks.size()));
  }
}

TEST(ConsoleText, FinalReport) {
  const std::string read = "Read: 1000000 bytes (976.6 Kb) (0.95 Mb)\r\n";
  const std::string tooSmall = "\rFile too small or cached\r\n";
  // clang-format off
  const std::vector<std::pair<DWORD, std::string>> cases = {  // elapsed ms, report
    {0, "\rElapsed time: 0.00" + kElapsedEnd + read + tooSmall},  // no rate: exit code 1
    {200, "\rElapsed time: 0.20" + kElapsedEnd + read + tooSmall +
          "Transfer rate: 4.8 Mb/sec = 4882.8 Kb/sec = 32.6x = 5000000 Bytes/sec\r\n\r\n"},
    {201, "\rElapsed time: 0.20" + kElapsedEnd + read +
          "Transfer rate: 4.7 Mb/sec = 4858.5 Kb/sec = 32.4x = 4975124 Bytes/sec\r\n\r\n"},
  };
  // clang-format on
  Script script;
  for (const auto& [ms, report] : cases) {
    script.commandLine = "tavo in /1024";
    script.files["in"].length = 1000000;
    script.ticks = {S, S, S + ms};  // the start, the one read, the end
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, ms == 0 ? 1u : 0u) << ms << " ms";
    EXPECT_EQ(ReportText(run.out), report);
  }

  // 200 reads of 512 Kb in 2000 ms, 3 of them failed after delivering their block.
  script.commandLine = "tavo in /0512";
  FileSpec& in = script.files["in"];
  in.length = 104857600;
  in.reads[7 * 524288] = {Fail(ERROR_CRC, 524288)};
  in.reads[100 * 524288] = {Fail(ERROR_IO_DEVICE, 524288)};
  in.reads[199 * 524288] = {Fail(ERROR_SECTOR_NOT_FOUND, 524288)};
  script.ticks.assign(202, 5000);  // the start, 200 reads and one that finds the end
  script.ticks.push_back(7000);
  std::string out = RunTavo(script).out;
  // clang-format off
  EXPECT_EQ(LoopText(out) + ReportText(out),
            "\r\n00000000.00380000: Read error 0000 bytes read; gle=23\r\n"
            "\r\n00000000.03200000: Read error 0000 bytes read; gle=1117\r\n"
            "\r\n00000000.06380000: Read error 0000 bytes read; gle=27\r\n"
            "\r\n\rElapsed time: 2.00" + kElapsedEnd +
            "Read: 104857600 bytes (102400.0 Kb) (100.00 Mb)\r\n"
            "Transfer rate: 50.0 Mb/sec = 51200.0 Kb/sec = 341.3x = 52428800 Bytes/sec\r\n\r\n"
            "Total errors encountered: 3 (1.5%)\r\n");
  // clang-format on
}

}  // namespace scripted
