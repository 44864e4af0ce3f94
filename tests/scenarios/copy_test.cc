// A copy from start to end: where a resumed copy starts, the runs that cannot open an
// endpoint (exit code 2), each outcome of one read in the read loop (a failing output
// write, ESC, EndlessMode, the backup-stream path).
#include "harness.h"

namespace scripted {

// The copy resumes at the output's length rounded down to 512 and leaves what lies
// below untouched; a 5 GiB output needs the high half of every offset.
TEST(Endpoints, ResumeAtTheOutputLengthRoundedDownTo512) {
  // clang-format off
  const struct { uint64_t origin; size_t outputLength, kept; const char* from; } cases[] = {
      {0, 511, 0, "00000000.00000000 (0)"}, {0, 1000, 512, "00000000.00000200 (512)"},
      {0, 1024, 1024, "00000000.00000400 (1024)"},
      {5ull << 30, 100, 0, "00000001.40000000 (5368709120)"}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    Script script;
    script.commandLine = "tavo in out /1";
    script.files["in"] = FileOf(Pattern(3000), c.origin);
    script.files["out"] = FileOf(std::string(c.outputLength, 'o'), c.origin);
    RunResult run = RunTavo(script);
    EXPECT_NE(run.out.find(std::string("\"out\" from ") + c.from + "\r\n"),
              std::string::npos);
    const FileSpec& copy = run.files["out"];
    EXPECT_EQ(copy.origin, c.origin);
    EXPECT_EQ(copy.bytes, std::string(c.kept, 'o') + Pattern(3000).substr(c.kept));
  }
}

// A missing input is found after the output was created; an output that cannot be
// created ends the run before the input is opened.
TEST(Endpoints, OpenFailuresEndWithExitCode2) {
  Script script;
  script.commandLine = "tavo in out";
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(AfterBanner(run.out),
            "   using 32768 bytes buffer\r\n"
            "   resume downloading \"out\" from 00000000.00000000 (0)\r\n"
            "Cannot open file \"in\": error 2\r\n");
  script.files["in"] = FileOf("data");
  script.files["out"].openError = ERROR_ACCESS_DENIED;
  run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(AfterBanner(run.out),
            "   using 32768 bytes buffer\r\n     Unable to create output file, exiting "
            "- 5\r\n");
  EXPECT_EQ(Count(run, "CreateFileA in"), 0);
}

TEST(ReadLoop, EachOutcomeOfOneReadEscapeAndModes) {
  struct LoopCase {
    std::string name;
    const char* options;              // after "tavo in out /1"
    std::vector<ReadOutcome> at1024;  // the reads at offset 1024, or the backup reads
    KeyScript escape;
    int64_t failingWrite;          // the offset of a failing write, -1 for none
    std::string loop, output;      // the loop's text, the output file
    int reads, sleeps, bytesRead;  // bytesRead: as the report gives it
  };
  auto readError = [](const char* count, DWORD code, const char* at = "00000400") {
    return "\r\n00000000." + std::string(at) + ": Read error " + count +
           " bytes read; gle=" + std::to_string(code) + "\r\n";
  };
  const std::string in = Pattern(2560), zeros(1024, '\0');
  const std::string retry = readError("0000", 21) + "    Retrying...";
  auto upTo = [&](size_t n) { return in.substr(0, n); };
  const std::string gap = upTo(1024) + zeros + in.substr(2048);
  // clang-format off
  const std::vector<ReadOutcome> backup = {{}, Fail(ERROR_CRC, 100), Fail(ERROR_CRC),
                                           Fail(ERROR_IO_DEVICE), Fail(ERROR_CRC, 10)};
  const std::string backupLoop = "Read: TRUE\t1024\r\nRead: FALSE\t100\r\n" +
      readError("0064", 23) + "Read: FALSE\t0\r\n" + readError("0400", 23, "00000800");
  const std::string backupOutput = upTo(1124) + std::string(924, '\x14') + std::string(1024, '#');
  std::vector<LoopCase> cases = {
    {"full blocks; ESC before the loop is ignored", "", {}, PressedAt(0), -1, "", in, 3, 0, 2560},
    {"a short read ends the loop", "", {Short(100)}, {}, -1, "", upTo(1124), 2, 0, 1124},
    {"0 bytes end the loop", "", {Short(0)}, {}, -1, "", upTo(1024), 2, 0, 1024},
    {"ERROR_CRC: written, tail zeroed", "", {Fail(ERROR_CRC, 100)}, {}, -1, readError("0064", 23),
     upTo(1124) + std::string(924, '\0') + in.substr(2048), 3, 0, 1636},
    {"another code: stepped over, not written", "", {Fail(ERROR_IO_DEVICE, 100)}, {}, -1,
     readError("0064", 1117), gap, 3, 0, 1636},
    {"not ready: the same block again after 500 ms", "", {Fail(ERROR_NOT_READY)}, {}, -1,
     retry, in, 4, 1, 2560},
    {"a failed write", "", {}, {}, 1024, "\r\nWrite error: gle=112\r\n", gap, 3, 0, 2560},
    {"ESC during a read", "", {}, PressedAt(2), -1, "", upTo(2048), 2, 0, 2048},
    {"ESC during a retry", "", std::vector<ReadOutcome>(50, Fail(ERROR_NOT_READY)),
     PressedAt(3), -1, retry + retry, upTo(1024), 3, 2, 1024},
    {"EndlessMode reads past an ending code and the end", " /i", {Fail(ERROR_HANDLE_EOF)},
     PressedAt(4), -1, "Read: TRUE\t1024 gle 0\r\nRead: FALSE\t0 gle 38\r\n" +
     readError("0000", 38) + "\r\nAn unexpected error 38 occurred. Read cancelled\r\n"
     "Read: TRUE\t512 gle 0\r\nRead: TRUE\t0 gle 0\r\n", gap, 4, 0, 1536},
    // Backup blocks are pre-filled: 0x14 at first, then '#' after an ERROR_CRC and '%'
    // after another failure. A read that delivers nothing still writes its block whole
    // and ends the loop, unless EndlessMode goes on; the stream goes on where it was.
    {"BackupMode", " /b", backup, PressedAt(6), -1, backupLoop, backupOutput, 3, 0, 2148},
    {"BackupMode and EndlessMode", " /b /i", backup, PressedAt(6), -1,
     backupLoop + "Read: FALSE\t0\r\n" + readError("0400", 1117, "00000c00") +
     "Read: FALSE\t10\r\n" + readError("000a", 23, "00001000") + "Read: TRUE\t1024\r\n",
     backupOutput + zeros + in.substr(1124, 10) + std::string(1014, '%') + in.substr(1134, 1024),
     6, 0, 4206},
  };
  for (DWORD code : {59u, 1235u, 995u, 87u, 38u}) {
    cases.push_back({"ending code " + std::to_string(code), "", {Fail(code)}, {}, -1,
                     readError("0000", code) + "\r\nAn unexpected error " + std::to_string(code) +
                     " occurred. Read cancelled\r\n", upTo(1024), 2, 0, 1024});
  }
  // clang-format on
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = std::string("tavo in out /1") + c.options;
    script.files["in"] = FileOf(in);
    script.files["in"].reads[1024] = script.files["in"].backupCalls = c.at1024;
    script.escape = c.escape;
    script.tickStep = 10;
    script.files["out"].failingWrites = {c.failingWrite};
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, c.failingWrite >= 0 ? 3u : 0u);  // a block is missing
    EXPECT_EQ(LoopText(run.out), c.loop);
    EXPECT_EQ(run.files["out"].Content(), c.output);
    EXPECT_EQ(Count(run, "ReadFile in ") + Count(run, "BackupRead in"), c.reads);
    EXPECT_EQ(Count(run, "Sleep 500"), c.sleeps);
    std::string read = "\r\nRead: " + std::to_string(c.bytesRead) + " bytes";
    EXPECT_NE(ReportText(run.out).find(read), std::string::npos);
  }
}

}  // namespace scripted
