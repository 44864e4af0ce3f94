// How console text reaches standard output: one WriteFile per statement on a
// console, whole 128-byte blocks when redirected, and the fatal path when it fails.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

Script RetryRun(StdoutKind kind) {
  Script script;
  script.commandLine = "tavo in out /1";
  script.files["in"] = FileOf(Pattern(2560));
  script.files["in"].reads[1024] = {Fail(ERROR_NOT_READY)};
  script.tickStep = 10;
  script.out.kind = kind;
  return script;
}

std::vector<std::string> WrittenPieces(const RunResult& run) {
  std::vector<std::string> pieces;
  for (const StdoutWrite& write : run.stdoutWrites)
    pieces.push_back(Visible(write.bytes));
  return pieces;
}

TEST(ConsoleOutput, StatementsOnAConsoleAndBlocksWhenRedirected) {
  RunResult console = RunTavo(RetryRun(StdoutKind::kConsole));
  std::vector<std::string> pieces = WrittenPieces(console);
  ASSERT_FALSE(pieces.empty());
  pieces.erase(pieces.begin());  // the Banner
  const std::vector<std::string> statements = {
      "   using 1024 bytes buffer\r\n",
      "   resume downloading \"out\" from 00000000.00000000 (0)\r\n",
      "File size: 2560 bytes (2.5 Kb) (0.00 Mb)\r\n",
      "Reading... Hit ESC to break\r\n",
      "\r\n00000000.00000400: Read error 0000 bytes read; gle=21\r\n",
      "    Retrying...",
      "\r\n",
      "\rElapsed time: 0.55 seconds" + std::string(34, ' ') + "\r\n",
      "Read: 2560 bytes (2.5 Kb) (0.00 Mb)\r\n",
      "Transfer rate: 0.0 Mb/sec = 4.5 Kb/sec = 0.0x = 4655 Bytes/sec\r\n\r\n",
      "Total errors encountered: 1 (25.0%)\r\n",
  };
  std::vector<std::string> expected;
  for (const std::string& statement : statements)
    expected.push_back(Visible(statement));
  EXPECT_EQ(pieces, expected);

  for (StdoutKind kind : {StdoutKind::kDisk, StdoutKind::kPipe}) {
    RunResult redirected = RunTavo(RetryRun(kind));
    EXPECT_EQ(redirected.out, console.out);
    ASSERT_FALSE(redirected.stdoutWrites.empty());
    for (size_t i = 0; i + 1 < redirected.stdoutWrites.size(); ++i) {
      EXPECT_EQ(redirected.stdoutWrites[i].bytes.size(), 128u) << "write " << i;
    }
    EXPECT_LE(redirected.stdoutWrites.back().bytes.size(), 128u);
  }
}

TEST(ConsoleOutput, LongStatementGoesOutIn128BytePieces) {
  Script script;
  script.commandLine = "tavo in /x";
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 1u);
  ASSERT_GE(run.stdoutWrites.size(), 4u);
  std::string usage;
  for (size_t i = 1; i < run.stdoutWrites.size(); ++i) {
    if (i + 1 < run.stdoutWrites.size()) {
      EXPECT_EQ(run.stdoutWrites[i].bytes.size(), 128u);
    }
    usage += run.stdoutWrites[i].bytes;
  }
  EXPECT_EQ(usage.rfind("\r\nUsage: tavo <input> [<output>]", 0), 0u);
  const std::string end = "// open physical drive\r\n\r\n";
  EXPECT_EQ(usage.substr(usage.size() - end.size()), end);
  EXPECT_TRUE(run.Calls("VirtualAlloc").empty());
  EXPECT_TRUE(run.Calls("CreateFileA").empty());

  // A failed piece does not stop the rest of the statement; the check after it
  // takes the fatal path, whose line is tried too.
  size_t writes = run.stdoutWrites.size();
  script.out.failFromWrite = 1;
  run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.stdoutWrites.size(), writes + 1);
}

struct FatalCase {
  const char* name;
  StdoutKind kind;
  int failFromWrite;
  bool allocationFails;
  size_t writesTried;
  size_t opens;
};

// Each ends the program with exit code 1 before the read loop; the fatal line is
// tried through the same channel.
TEST(ConsoleOutput, FailuresEndTheProgramWithExitCode1) {
  const std::vector<FatalCase> cases = {
      {"console write of the Banner fails", StdoutKind::kConsole, 0, false, 2, 0},
      {"console write of the start line fails", StdoutKind::kConsole, 3, false, 5, 1},
      {"first 128-byte block fails", StdoutKind::kDisk, 0, false, 2, 1},
      {"no standard output handle", StdoutKind::kNoHandle, -1, false, 0, 0},
      {"standard output of unknown type", StdoutKind::kUnknownType, -1, false, 0, 0},
      {"read buffer cannot be reserved", StdoutKind::kConsole, -1, true, 3, 0},
  };
  for (const FatalCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = "tavo in";
    script.files["in"] = FileOf(Pattern(100));
    script.out.kind = c.kind;
    script.out.failFromWrite = c.failFromWrite;
    script.allocationFails = c.allocationFails;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.stdoutWrites.size(), c.writesTried);
    if (!run.stdoutWrites.empty()) {
      const std::string& last = run.stdoutWrites.back().bytes;
      EXPECT_EQ(last.substr(last.size() - 2), "\r\n");
    }
    EXPECT_EQ(run.Calls("CreateFileA").size(), c.opens);
    EXPECT_TRUE(run.Calls("ReadFile").empty());
  }
}

TEST(ConsoleOutput, FailureOfTheLastBlockAtProcessEndIsIgnored) {
  Script script = RetryRun(StdoutKind::kDisk);
  size_t writes = RunTavo(script).stdoutWrites.size();
  script.out.failFromWrite = static_cast<int>(writes) - 1;
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.stdoutWrites.size(), writes);
  EXPECT_FALSE(run.stdoutWrites.back().accepted);
}

}  // namespace
}  // namespace scripted
