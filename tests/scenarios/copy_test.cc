// What the cli cases cannot bring about: other error codes, ESC, EndlessMode, backup
// streams, the console's writes, exit codes. (Bad blocks, a medium not ready, an early
// end, a failed flush or close: the cli case damaged_medium.)
#include <algorithm>
#include <regex>

#include "harness.h"

namespace scripted {

// Redirected, failure and report lines (and Retrying) reach the file at once, for a
// log followed as it grows; the per-read "Read: " lines go in blocks of 128 bytes.
void ExpectPassedOnPerLine(const RunResult& run) {
  std::map<size_t, size_t> passedOn;  // the size of the write that ends at an offset
  size_t end = 0;
  for (const std::string& write : run.writes)
    passedOn[end += write.size()] = write.size();
  const std::string& out = run.out;
  for (size_t at = 0, start; (at = out.find("\r\n", at)) != std::string::npos;
       at += 2) {
    if (at < 2 || (start = out.rfind("\r\n", at - 1)) == std::string::npos) continue;
    std::string line = out.substr(start + 2, at - start - 2);
    auto write = passedOn.find(at + 2);
    if (std::regex_search(line, std::regex("^Read: (TRUE|FALSE)")) &&
        write != passedOn.end() && at + 2 != out.size()) {
      EXPECT_EQ(write->second, 128u) << "a Read: line passed on: " << line;
    }
    if (std::regex_search(line,
                          std::regex("error|cancelled|short|^Elapsed|^Read: \\d"))) {
      EXPECT_NE(write, passedOn.end()) << "held back: " << line;
    }
  }
  for (size_t at = 0; (at = out.find("Retrying...", at)) != std::string::npos; ++at)
    EXPECT_EQ(passedOn.count(at + 11), 1u) << "Retrying held back";
}

// Each outcome of one read, ESC and the modes; exit codes. Zero time judges a copy by
// what it copied (no output: failure); a failed close of the input changes nothing.
TEST(ReadLoop, EachOutcomeOfOneReadEscapeModesAndExitCode) {
  struct LoopCase {
    std::string name;
    const char* options;              // after "tavo in out /1"
    std::vector<ReadOutcome> at1024;  // the reads at offset 1024, or the backup reads
    KeyScript escape;
    int64_t failingWrite;          // the offset of a failing write, -1 for none
    std::string loop, output;      // the loop's text, the output file
    int reads, sleeps, bytesRead;  // bytesRead: as the report gives it
    UINT exit;
    DWORD tickStep = 10, inputCloseError = 0;  // 0 ms a tick: zero time
    const char* out = " out";                  // "": none
  };
  auto readError = [](const char* count, DWORD code, const char* at = "00000400") {
    return "\r\n00000000." + std::string(at) + ": Read error " + count +
           " bytes read; gle=" + std::to_string(code) + "\r\n";
  };
  const std::string in = Pattern(2560), zeros(1024, '\0');
  const std::string retry = readError("0000", 21) + "    Retrying...";
  auto upTo = [&](size_t n) { return in.substr(0, n); };
  const std::string gap = upTo(1024) + zeros + in.substr(2048);
  const std::string cancelled =
      "\r\nWrite error: gle=112\r\n"
      "\r\n00000000.00000800: Copy cancelled at the failed write\r\n";
  // clang-format off
  const std::vector<ReadOutcome> backup = {{}, Fail(ERROR_CRC, 100), Fail(ERROR_CRC),
                                           Fail(ERROR_IO_DEVICE), Fail(ERROR_CRC, 10)};
  const std::string backupLoop = "Read: TRUE\t1024\r\nRead: FALSE\t100\r\n" +
      readError("0064", 23) + "Read: FALSE\t0\r\n" + readError("0400", 23, "00000800");
  const std::string backupOutput = upTo(1124) + std::string(924, '\x14') + std::string(1024, '#');
  std::vector<LoopCase> cases = {
    {"full blocks; ESC before the loop is ignored", "", {}, PressedAt(0), -1, "", in, 3, 0, 2560, 0},
    {"another code: stepped over, not written", "", {Fail(ERROR_IO_DEVICE, 100)}, {}, -1,
     readError("0064", 1117), gap, 3, 0, 1636, 4},
    {"ESC before the end of a copy", "", {}, PressedAt(2), -1, "", upTo(2048), 2, 0, 2048, 4},
    {"ESC after the last full block: nothing is missing", "", {}, PressedAt(3), -1, "", in, 3, 0,
     2560, 0},
    {"ESC during a retry", "", std::vector<ReadOutcome>(50, Fail(ERROR_NOT_READY)),
     PressedAt(3), -1, retry + retry, upTo(1024), 3, 2, 1024, 4},
    {"EndlessMode reads past an ending code and the end", " /i", {Fail(ERROR_HANDLE_EOF)},
     PressedAt(4), -1, "Read: TRUE\t1024 gle 0\r\nRead: FALSE\t0 gle 38\r\n" +
     readError("0000", 38) + "\r\nAn unexpected error 38 occurred. Read cancelled\r\n"
     "Read: TRUE\t512 gle 0\r\nRead: TRUE\t0 gle 0\r\n", gap, 4, 0, 1536, 4},
    // Backup blocks are pre-filled: 0x14, then '#' after an ERROR_CRC, '%' after another
    // failure. A read of nothing writes its block whole and ends the loop, unless /i.
    {"BackupMode", " /b", backup, PressedAt(6), -1, backupLoop, backupOutput, 3, 0, 2148, 4},
    {"BackupMode and EndlessMode", " /b /i", backup, PressedAt(6), -1,
     backupLoop + "Read: FALSE\t0\r\n" + readError("0400", 1117, "00000c00") +
     "Read: FALSE\t10\r\n" + readError("000a", 23, "00001000") + "Read: TRUE\t1024\r\n",
     backupOutput + zeros + in.substr(1124, 10) + std::string(1014, '%') + in.substr(1134, 1024),
     6, 0, 4206, 4},
    {"a failed write ends the copy and outranks a failed read", "", {Fail(ERROR_IO_DEVICE)}, {},
     2048, readError("0000", 1117) + cancelled, upTo(1024), 3, 0, 1536, 3},
    {"a failed write ends even EndlessMode", " /i", {}, {}, 1024, "Read: TRUE\t1024 gle 0\r\n"
     "Read: TRUE\t1024 gle 0\r\n\r\nWrite error: gle=112\r\n"
     "\r\n00000000.00000400: Copy cancelled at the failed write\r\n", upTo(1024), 2, 0, 2048, 3},
    {"zero time, a whole copy", "", {}, {}, -1, "", in, 3, 0, 2560, 0, 0},
    {"zero time, no output", "", {}, {}, -1, "", "", 3, 0, 2560, 1, 0, 0, ""},
    {"the input's close fails", "", {}, {}, -1, "", in, 3, 0, 2560, 0, 10, ERROR_UNEXP_NET_ERR},
  };
  for (DWORD code : {59u, 1235u, 995u, 87u, 38u}) {
    cases.push_back({"ending code " + std::to_string(code), "", {Fail(code)}, {}, -1,
                     readError("0000", code) + "\r\nAn unexpected error " + std::to_string(code) +
                     " occurred. Read cancelled\r\n", upTo(1024), 2, 0, 1024, 4});
  }
  // clang-format on
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script = Scripted(std::string("in") + c.out + " /1" + c.options, in);
    script.files["in"].reads[1024] = script.files["in"].backupCalls = c.at1024;
    script.escape = c.escape;
    script.tickStep = c.tickStep;
    script.files["in"].closeError = c.inputCloseError;
    script.files["out"].failingWrites = {c.failingWrite};
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, c.exit);
    EXPECT_EQ(LoopText(run.out), c.loop);
    EXPECT_EQ(run.files["out"].Content(), c.output);
    EXPECT_EQ(Count(run, "ReadFile in ") + Count(run, "BackupRead in"), c.reads);
    EXPECT_EQ(Count(run, "Sleep 500"), c.sleeps);
    std::string read = "\r\nRead: " + std::to_string(c.bytesRead) + " bytes";
    EXPECT_TRUE(Has(ReportText(run.out), read));
    // On a console one write per line (or Retrying text).
    for (const std::string& write : run.writes)
      EXPECT_TRUE(std::regex_match(write, std::regex("[^]*\r\n|    Retrying\\.\\.\\.")))
          << write;
    script.console = false;
    RunResult redirected = RunTavo(script);
    EXPECT_EQ(redirected.out, run.out);
    ExpectPassedOnPerLine(redirected);
  }
}

}  // namespace scripted
