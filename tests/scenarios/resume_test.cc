// Where a resumed copy goes on: at a whole sector of the input, after a check of the
// output's last MiB against the input; an output left as it was when no copy goes on.
#include "console.h"
#include "harness.h"

namespace scripted {

constexpr size_t MiB = 1 << 20, KiB = 1 << 10;

std::string WithZeros(std::string bytes, size_t from, size_t to) {
  return bytes.replace(from, to - from, to - from, '\0');
}

// Each earlier output against a 3 MiB input: where the copy goes on (-1: nowhere, the
// output is no copy), and the line that says so. The check's reads count nowhere: the
// copy goes on from a block whose read failed, and the report counts what it read.
TEST(Resume, ChecksWhatItContinues) {
  const std::string in = Pattern(3 * MiB), copied = in.substr(0, 2 * MiB + 100);
  struct CheckCase {
    const char* name;
    std::string out;
    int64_t resumesAt;
    DWORD sector = 0;
    bool failsInCheck = false;
  };
  const CheckCase cases[] = {
      {"the copy agrees", copied, 2 * MiB},
      {"a read that fails in the check: from that block, to be tried again",
       WithZeros(copied, 2 * MiB - 64 * KiB, 2 * MiB), 2 * MiB - 64 * KiB, 0, true},
      {"zeros from within a sector before the end",
       WithZeros(copied, 2 * MiB - 128 * KiB + 700, 2 * MiB),
       2 * MiB - 128 * KiB + 512},
      {"the same on a disk of 4096-byte sectors",
       WithZeros(copied, 2 * MiB - 5000, 2 * MiB), 2 * MiB - 8 * KiB, 4096},
      {"the window's first sector differs: the same",
       WithZeros(in.substr(0, 5 * MiB / 2), MiB, 2 * MiB), MiB},
      {"an output that is no copy", std::string(2 * MiB, 'x'), -1},
      {"an output that agrees only at its end, as two disks' zeros may",
       std::string(2 * MiB - 64 * KiB, 'x') + copied.substr(2 * MiB - 64 * KiB), -1},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script = Scripted("in out", in);
    script.files["in"].sectorSize = c.sector;
    if (c.failsInCheck)
      script.files["in"].reads[2 * MiB - 64 * KiB] = {Fail(ERROR_CRC)};
    script.files["out"] = FileOf(c.out);
    RunResult run = RunTavo(script);
    int64_t resumeOffset = c.out.size() / 512 * 512;
    std::string line;
    if (c.resumesAt != resumeOffset && c.resumesAt >= 0) {
      line =
          std::string(HexOffset(c.resumesAt).text) + ": Output " +
          (c.failsInCheck ? "not shown to hold the input" : "differs from the input") +
          "; copying again from here\r\n";
    }
    if (c.resumesAt < 0) {
      EXPECT_EQ(run.exitCode, 2u);
      EXPECT_EQ(run.files["out"].Content(), c.out);
      EXPECT_EQ(
          run.out.substr(run.out.rfind("\r\n", run.out.size() - 3) + 2),
          "     Output file is not a copy of the input, exiting - /n starts over\r\n");
      continue;
    }
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Has(run.out, " bytes (3072.0 Kb) (3.00 Mb)\r\n" + line + "Reading..."));
    EXPECT_TRUE(run.files["out"].Content() == in);
    EXPECT_TRUE(Has(ReportText(run.out),
                    "\r\nRead: " + std::to_string(in.size() - c.resumesAt) + " bytes"));
    EXPECT_EQ(run.out.find("Total errors"), std::string::npos);
  }
}

// Nothing to compare beyond the input's end, whether its size is known or not; and
// backup mode's output holds the backup stream, which is not checked.
TEST(Resume, UncheckedBeyondTheInputAndInBackupMode) {
  const std::string in = Pattern(5000), longer = in + std::string(3000, 'x');
  const struct {
    const char* arguments;
    bool sizeUnknown;
  } cases[] = {{"in out", false}, {"in out", true}, {"in out /b", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.arguments) + (c.sizeUnknown ? ", size unknown" : ""));
    Script script = Scripted(c.arguments, in);
    if (c.sizeUnknown) script.files["in"].sizeError = ERROR_INVALID_FUNCTION;
    script.files["out"] = FileOf(longer);
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out.find("Output"), std::string::npos);
    EXPECT_EQ(run.files["out"].Content().substr(0, 5000), in);
  }
}

}  // namespace scripted
