// What reaches the console: the Progress line and the Final report.
#include "harness.h"

namespace scripted {

const std::string kElapsedEnd = " seconds" + std::string(34, ' ') + "\r\n";

constexpr DWORD S = 100000;      // the tick at which the clock starts
constexpr DWORD W = 0x7FFFFF00;  // a start shortly before the tick count passes 2^31
constexpr int kSizeUnknown = 1, kReadAt2048Fails = 2;

TEST(ConsoleText, ProgressLine) {
  const std::string blanks(6, ' ');
  // clang-format off
  const struct {
    const char *name, *options;  // options after "tavo in"; "out" holds 2048 bytes
    int length, input;
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
    script.files["out"] = FileOf(Pattern(2048));  // a copy of the first 2048 bytes
    script.ticks = c.ticks;
    script.space = c.space;
    script.escape = c.escape;
    RunResult run = RunTavo(script);
    EXPECT_EQ(LoopText(run.out), c.loop);
  }
}

// Three reads of 384 Kb, the first failing; without time no rate nor error count.
TEST(ConsoleText, FinalReport) {
  const std::string read = "Read: 1000000 bytes (976.6 Kb) (0.95 Mb)\r\n";
  const std::string tooSmall = "\rFile too small or cached\r\n";
  const std::string errors = "Total errors encountered: 1 (33.3%)\r\n";
  // clang-format off
  const std::vector<std::pair<DWORD, std::string>> cases = {  // elapsed ms, report
    {0, "\rElapsed time: 0.00" + kElapsedEnd + read + tooSmall},
    {200, "\r\n\rElapsed time: 0.20" + kElapsedEnd + read + tooSmall +
          "Transfer rate: 4.8 Mb/sec = 4882.8 Kb/sec = 32.6x = 5000000 Bytes/sec\r\n\r\n" + errors},
    {201, "\r\n\rElapsed time: 0.20" + kElapsedEnd + read +
          "Transfer rate: 4.7 Mb/sec = 4858.5 Kb/sec = 32.4x = 4975124 Bytes/sec\r\n\r\n" + errors},
  };
  // clang-format on
  Script script;
  script.commandLine = "tavo in /384";
  script.files["in"].length = 1000000;
  script.files["in"].reads[0] = {Fail(ERROR_CRC, 393216)};
  for (const auto& [ms, report] : cases) {
    script.ticks = {S, S, S, S, S + ms};  // the start, the three reads, the end
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 4u) << ms << " ms";  // the failed read outranks zero time
    EXPECT_EQ(ReportText(run.out), report);
  }
}

}  // namespace scripted
