// The Final report at the edges of the measured time, with no bytes, and with
// failed reads.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

const std::string kElapsedTail = " seconds" + std::string(34, ' ') + "\r\n";

FileSpec Zeros(uint64_t length) {
  FileSpec file;
  file.length = length;
  return file;
}

struct ReportCase {
  const char* name;
  uint64_t inputLength;
  DWORD elapsedMs;
  std::string report;
  UINT exitCode;
  DWORD startTick = 70000;
};

TEST(FinalReport, EdgesOfTheMeasuredTime) {
  const std::string read = "Read: 1000000 bytes (976.6 Kb) (0.95 Mb)\r\n";
  const std::string tooSmall = "\rFile too small or cached\r\n";
  const std::vector<ReportCase> cases = {
      {"0 ms: no rate, exit code 1", 1000000, 0,
       "\rElapsed time: 0.00" + kElapsedTail + read + tooSmall, 1},
      {"1 ms", 1000000, 1,
       "\rElapsed time: 0.00" + kElapsedTail + read + tooSmall +
           "Transfer rate: 953.7 Mb/sec = 976562.5 Kb/sec = 6510.4x = 1000000000 "
           "Bytes/sec\r\n\r\n",
       0},
      {"200 ms still warns", 1000000, 200,
       "\rElapsed time: 0.20" + kElapsedTail + read + tooSmall +
           "Transfer rate: 4.8 Mb/sec = 4882.8 Kb/sec = 32.6x = 5000000 "
           "Bytes/sec\r\n\r\n",
       0},
      {"201 ms does not", 1000000, 201,
       "\rElapsed time: 0.20" + kElapsedTail + read +
           "Transfer rate: 4.7 Mb/sec = 4858.5 Kb/sec = 32.4x = 4975124 "
           "Bytes/sec\r\n\r\n",
       0},
      {"ticks wrapping past 2^32 during the run", 1000000, 512,
       "\rElapsed time: 0.51" + kElapsedTail + read +
           "Transfer rate: 1.9 Mb/sec = 1907.3 Kb/sec = 12.7x = 1953125 "
           "Bytes/sec\r\n\r\n",
       0, 0xFFFFFF00},
      {"nothing read", 0, 1000,
       "\rElapsed time: 1.00" + kElapsedTail + "Read: 0 bytes (0.0 Kb) (0.00 Mb)\r\n" +
           "Transfer rate: 0.0 Mb/sec = 0.0 Kb/sec = 0.0x = 0 Bytes/sec\r\n\r\n",
       0},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = "tavo in /1024";
    script.files["in"] = Zeros(c.inputLength);
    // The start, the one read, the end.
    script.ticks = {c.startTick, c.startTick, c.startTick + c.elapsedMs};
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(Visible(ReportText(run.out)), Visible(c.report));
  }
}

// 200 reads of 512 Kb in 2000 ms, 3 of them failed after delivering their block.
TEST(FinalReport, WorkedExampleWithFailedReads) {
  Script script;
  script.commandLine = "tavo in /0512";
  script.files["in"] = Zeros(104857600);
  script.files["in"].reads[7 * 524288] = {Fail(ERROR_CRC, 524288)};
  script.files["in"].reads[100 * 524288] = {Fail(ERROR_IO_DEVICE, 524288)};
  script.files["in"].reads[199 * 524288] = {Fail(ERROR_SECTOR_NOT_FOUND, 524288)};
  script.escape = PressedAt(200);
  script.ticks.assign(201, 5000);
  script.ticks.push_back(7000);
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.Calls("ReadFile in ").size(), 200u);
  EXPECT_EQ(Visible(AfterBanner(run.out)),
            Visible("   using 524288 bytes buffer\r\n"
                    "File size: 104857600 bytes (102400.0 Kb) (100.00 Mb)\r\n"
                    "Reading... Hit ESC to break\r\n"
                    "\r\n00000000.00380000: Read error 0000 bytes read; gle=23\r\n"
                    "\r\n00000000.03200000: Read error 0000 bytes read; gle=1117\r\n"
                    "\r\n00000000.06380000: Read error 0000 bytes read; gle=27\r\n"
                    "\r\n"
                    "\rElapsed time: 2.00" +
                    kElapsedTail +
                    "Read: 104857600 bytes (102400.0 Kb) (100.00 Mb)\r\n"
                    "Transfer rate: 50.0 Mb/sec = 51200.0 Kb/sec = 341.3x = 52428800 "
                    "Bytes/sec\r\n"
                    "\r\n"
                    "Total errors encountered: 3 (1.5%)\r\n"));
}

}  // namespace
}  // namespace scripted
