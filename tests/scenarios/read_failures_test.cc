// Every outcome of one read, and failing output writes, in the middle of a copy:
// the lines written, the blocks that reach the output, where reading goes on, the
// counters in the Final report and the exit code.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

constexpr int64_t kBlock = 1024;  // "/1"

std::vector<std::string> Offsets(const std::vector<std::string>& calls,
                                 const char* prefix) {
  std::vector<std::string> offsets;
  for (const std::string& call : calls)
    offsets.push_back(call.substr(std::string(prefix).size()));
  return offsets;
}

struct FailureCase {
  std::string name;
  std::vector<ReadOutcome> secondBlock;  // the reads at offset 1024, in order
  std::vector<int64_t> failingWrites;    // offsets; {-1} makes every write fail
  std::string loopText;
  std::string output;
  std::vector<std::string> reads;   // "at=... size=..." of each ReadFile
  std::vector<std::string> writes;  // "at=... size=..." of each output write
  std::string readLine;             // the report's "Read: " line
  std::string errorLine;            // empty when no read failed
  UINT exitCode;
};

std::string ReadError(const char* count, DWORD code) {
  return "\r\n00000000.00000400: Read error " + std::string(count) +
         " bytes read; gle=" + std::to_string(code) + "\r\n";
}

std::string Unexpected(DWORD code) {
  return "\r\nAn unexpected error " + std::to_string(code) +
         " occurred. Read cancelled\r\n";
}

std::vector<FailureCase> FailureCases(const std::string& in) {
  const std::string zeros(kBlock, '\0');
  const std::string tail = in.substr(2 * kBlock);
  const std::string writeError = "\r\nWrite error: gle=112\r\n";
  const std::vector<std::string> threeReads = {"at=0 size=1024", "at=1024 size=1024",
                                               "at=2048 size=1024"};
  const std::vector<std::string> threeWrites = {"at=0 size=1024", "at=1024 size=1024",
                                                "at=2048 size=512"};
  std::vector<FailureCase> cases = {
      {"full blocks",
       {},
       {},
       "",
       in,
       threeReads,
       threeWrites,
       "Read: 2560 bytes (2.5 Kb) (0.00 Mb)",
       "",
       0},
      {"short block ends the loop",
       {Short(100)},
       {},
       "",
       in.substr(0, 1124),
       {"at=0 size=1024", "at=1024 size=1024"},
       {"at=0 size=1024", "at=1024 size=100"},
       "Read: 1124 bytes (1.1 Kb) (0.00 Mb)",
       "",
       0},
      {"empty read still writes, zero bytes",
       {Short(0)},
       {},
       "",
       in.substr(0, 1024),
       {"at=0 size=1024", "at=1024 size=1024"},
       {"at=0 size=1024", "at=1024 size=0"},
       "Read: 1024 bytes (1.0 Kb) (0.00 Mb)",
       "",
       0},
      // The delivered part, then zeros: never the bytes the previous block left.
      {"ERROR_CRC block is written",
       {Fail(ERROR_CRC, 100)},
       {},
       ReadError("0064", 23),
       in.substr(0, 1124) + std::string(924, '\0') + tail,
       threeReads,
       {"at=0 size=1024", "at=1024 size=1024", "at=2048 size=512"},
       "Read: 1636 bytes (1.6 Kb) (0.00 Mb)",
       "Total errors encountered: 1 (33.3%)",
       0},
      {"ERROR_CRC with nothing delivered",
       {Fail(ERROR_CRC)},
       {},
       ReadError("0000", 23),
       in.substr(0, 1024) + zeros + tail,
       threeReads,
       threeWrites,
       "Read: 1536 bytes (1.5 Kb) (0.00 Mb)",
       "Total errors encountered: 1 (33.3%)",
       0},
      {"other code leaves a gap",
       {Fail(ERROR_IO_DEVICE, 100)},
       {},
       ReadError("0064", 1117),
       in.substr(0, 1024) + zeros + tail,
       threeReads,
       {"at=0 size=1024", "at=2048 size=512"},
       "Read: 1636 bytes (1.6 Kb) (0.00 Mb)",
       "Total errors encountered: 1 (33.3%)",
       0},
      {"not ready: same block again",
       {Fail(ERROR_NOT_READY)},
       {},
       ReadError("0000", 21) + "    Retrying...",
       in,
       {"at=0 size=1024", "at=1024 size=1024", "at=1024 size=1024",
        "at=2048 size=1024"},
       threeWrites,
       "Read: 2560 bytes (2.5 Kb) (0.00 Mb)",
       "Total errors encountered: 1 (25.0%)",
       0},
      // The codes are looked at whatever the read's success.
      {"success leaving an ending code",
       {SucceedLeaving(ERROR_INVALID_PARAMETER)},
       {},
       Unexpected(87),
       in.substr(0, 2048),
       {"at=0 size=1024", "at=1024 size=1024"},
       {"at=0 size=1024", "at=1024 size=1024"},
       "Read: 2048 bytes (2.0 Kb) (0.00 Mb)",
       "",
       0},
      {"success leaving not ready",
       {SucceedLeaving(ERROR_NOT_READY)},
       {},
       "    Retrying...",
       in,
       {"at=0 size=1024", "at=1024 size=1024", "at=1024 size=1024",
        "at=2048 size=1024"},
       {"at=0 size=1024", "at=1024 size=1024", "at=1024 size=1024", "at=2048 size=512"},
       "Read: 2560 bytes (2.5 Kb) (0.00 Mb)",
       "",
       0},
      {"one write fails",
       {},
       {1024},
       writeError,
       in.substr(0, 1024) + zeros + tail,
       threeReads,
       {"at=0 size=1024", "at=1024 size=1024 failed", "at=2048 size=512"},
       "Read: 2560 bytes (2.5 Kb) (0.00 Mb)",
       "",
       3},
      {"every write fails",
       {},
       {-1},
       writeError + writeError + writeError,
       "",
       threeReads,
       {"at=0 size=1024 failed", "at=1024 size=1024 failed", "at=2048 size=512 failed"},
       "Read: 2560 bytes (2.5 Kb) (0.00 Mb)",
       "",
       3},
  };
  for (DWORD code : {59u, 1235u, 995u, 87u, 38u}) {
    cases.push_back({"ending code " + std::to_string(code),
                     {Fail(code)},
                     {},
                     ReadError("0000", code) + Unexpected(code),
                     in.substr(0, 1024),
                     {"at=0 size=1024", "at=1024 size=1024"},
                     {"at=0 size=1024"},
                     "Read: 1024 bytes (1.0 Kb) (0.00 Mb)",
                     "Total errors encountered: 1 (50.0%)",
                     0});
  }
  return cases;
}

TEST(ReadFailures, EachOutcomeOfOneRead) {
  const std::string in = Pattern(2560);
  for (const FailureCase& c : FailureCases(in)) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = "tavo in out /1";
    script.files["in"] = FileOf(in);
    script.files["in"].reads[kBlock] = c.secondBlock;
    if (!c.failingWrites.empty()) {
      FileSpec& out = script.files["out"] = AbsentFile();
      out.writeError = ERROR_DISK_FULL;
      if (c.failingWrites[0] >= 0) out.failingWrites = c.failingWrites;
    }
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(Visible(LoopText(run.out)), Visible(c.loopText));
    EXPECT_EQ(run.Content("out"), c.output);
    EXPECT_EQ(Offsets(run.Calls("ReadFile in "), "ReadFile in "), c.reads);
    EXPECT_EQ(Offsets(run.Calls("WriteFile out "), "WriteFile out "), c.writes);
    std::string report = ReportText(run.out);
    EXPECT_NE(report.find("\r\n" + c.readLine + "\r\n"), std::string::npos)
        << Visible(report);
    std::string ending =
        c.errorLine.empty() ? " Bytes/sec\r\n\r\n" : c.errorLine + "\r\n";
    EXPECT_EQ(report.substr(report.size() - std::min(report.size(), ending.size())),
              ending);
    bool retried = c.loopText.find("Retrying") != std::string::npos;
    EXPECT_EQ(run.Calls("Sleep 500").size(), retried ? 1u : 0u);
  }
}

}  // namespace
}  // namespace scripted
