// EndlessMode ("/i"), which only ESC ends, and the backup-stream path ("/b"), whose
// blocks are pre-filled with FillByte: what reaches the console and the output.
#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

// A stream header for the file's data (stream id 1, no attributes, the data's size,
// no name), then the data.
std::string BackupStream(const std::string& data) {
  std::string header(20, '\0');
  header[0] = 1;
  uint64_t size = data.size();
  for (int i = 0; i < 8; ++i) header[8 + i] = static_cast<char>(size >> (8 * i));
  return header + data;
}

TEST(EndlessMode, ReadsOnPastTheEndAndPastEndingCodesUntilEscape) {
  Script script;
  script.commandLine = "tavo /i in /1";
  script.files["in"] = FileOf(Pattern(1500));
  script.files["in"].reads[2048] = {Fail(ERROR_HANDLE_EOF)};
  script.escape = PressedAt(4);
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Visible(LoopText(run.out)),
            Visible("Read: TRUE\t1024 gle 0\r\n"
                    "Read: TRUE\t476 gle 0\r\n"
                    "Read: FALSE\t0 gle 38\r\n"
                    "\r\n00000000.00000800: Read error 0000 bytes read; gle=38\r\n"
                    "\r\nAn unexpected error 38 occurred. Read cancelled\r\n"
                    "Read: TRUE\t0 gle 0\r\n"));
  EXPECT_EQ(run.Calls("ReadFile in "),
            (std::vector<std::string>{
                "ReadFile in at=0 size=1024", "ReadFile in at=1024 size=1024",
                "ReadFile in at=2048 size=1024", "ReadFile in at=3072 size=1024"}));
  std::string report = ReportText(run.out);
  EXPECT_NE(report.find("\r\nRead: 1500 bytes (1.5 Kb) (0.00 Mb)\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("Total errors encountered: 1 (25.0%)\r\n"), std::string::npos);
}

// The first failed block is padded with 0x14, later ones with the character the
// previous failure chose; a block whose read failed with another code is left out.
TEST(BackupMode, FailedBlocksCarryThePreFill) {
  const std::string stream = Pattern(692);
  Script script;
  script.commandLine = "tavo in out /b /512";
  script.files["in"] = FileOf(stream);
  script.files["in"].backupCalls = {Succeed(), Fail(ERROR_CRC, 100),
                                    Fail(ERROR_CRC, 50), Fail(ERROR_IO_DEVICE, 10),
                                    Fail(ERROR_CRC, 20)};
  script.tickStep = 10;
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Visible(LoopText(run.out)),
            Visible("Read: TRUE\t512\r\n"
                    "Read: FALSE\t100\r\n"
                    "\r\n00000000.00000200: Read error 0064 bytes read; gle=23\r\n"
                    "Read: FALSE\t50\r\n"
                    "\r\n00000000.00000400: Read error 0032 bytes read; gle=23\r\n"
                    "Read: FALSE\t10\r\n"
                    "\r\n00000000.00000600: Read error 000a bytes read; gle=1117\r\n"
                    "Read: FALSE\t20\r\n"
                    "\r\n00000000.00000800: Read error 0014 bytes read; gle=23\r\n"
                    "Read: TRUE\t0\r\n"));
  EXPECT_EQ(run.Content("out"), stream.substr(0, 612) + std::string(412, '\x14') +
                                    stream.substr(612, 50) + std::string(462, '#') +
                                    std::string(512, '\0') + stream.substr(672, 20) +
                                    std::string(492, '%') + std::string(512, '#'));
  std::string report = ReportText(run.out);
  EXPECT_NE(report.find("\r\nRead: 1204 bytes (1.2 Kb) (0.00 Mb)\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("Total errors encountered: 4 (66.7%)\r\n"), std::string::npos);

  // The stream is read on from call to call: the input is never positioned, and the
  // context is handed back each time, then released before the input is closed.
  EXPECT_TRUE(run.Calls("SetFilePointer in ").empty());
  EXPECT_EQ(run.Calls("CreateFileA in ")[0].substr(
                run.Calls("CreateFileA in ")[0].find("flags=")),
            "flags=2000000");
  std::vector<std::string> backup = run.Calls("BackupRead in ");
  ASSERT_EQ(backup.size(), 7u);
  EXPECT_EQ(backup[0], "BackupRead in size=512 security=0 context=new");
  EXPECT_EQ(backup[5], "BackupRead in size=512 security=0 context=kept");
  EXPECT_EQ(backup[6], "BackupRead in abort context=kept");
  auto abort = std::find(run.calls.begin(), run.calls.end(), backup[6]);
  EXPECT_EQ(*(abort + 1), "CloseHandle in");
}

// A failed backup read that delivers nothing ends the loop, whatever its code.
TEST(BackupMode, FailureWithNothingDeliveredEndsTheLoop) {
  struct Case {
    DWORD code;
    std::string lines;
    std::string output;
  };
  const std::string stream = Pattern(2000);
  const std::string failed =
      "Read: FALSE\t0\r\n\r\n00000000.00000200: Read error 0200 bytes read; gle=";
  const std::vector<Case> cases = {
      {ERROR_CRC, failed + "23\r\n", stream.substr(0, 512) + std::string(512, '\x14')},
      {ERROR_IO_DEVICE, failed + "1117\r\n", stream.substr(0, 512)},
      {ERROR_NOT_READY, failed + "21\r\n    Retrying...", stream.substr(0, 512)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Script script;
    script.commandLine = "tavo in out /b /512";
    script.files["in"] = FileOf(stream);
    script.files["in"].backupCalls = {Succeed(), Fail(c.code)};
    RunResult run = RunTavo(script);
    EXPECT_EQ(Visible(LoopText(run.out)), Visible("Read: TRUE\t512\r\n" + c.lines));
    EXPECT_EQ(run.Content("out"), c.output);
    EXPECT_EQ(run.Calls("BackupRead in size=").size(), 2u);
  }
}

// Once the stream is exhausted every iteration adds a whole block of FillByte.
TEST(BackupMode, EndlessModeWritesFillBlocksUntilEscape) {
  const std::string data = Pattern(1480);
  const std::string stream = BackupStream(data);
  Script script;
  script.commandLine = "tavo in out /i /b /1";
  script.files["in"] = FileOf(data);
  script.files["in"].backupStream = stream;
  script.files["in"].backupCalls = {
      Succeed(), Succeed(), Fail(ERROR_CRC), Succeed(), Fail(ERROR_IO_DEVICE),
      Succeed()};
  script.escape = PressedAt(6);
  script.tickStep = 10;
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Visible(LoopText(run.out)),
            Visible("Read: TRUE\t1024\r\n"
                    "Read: TRUE\t476\r\n"
                    "Read: FALSE\t0\r\n"
                    "\r\n00000000.00000800: Read error 0400 bytes read; gle=23\r\n"
                    "Read: TRUE\t0\r\n"
                    "Read: FALSE\t0\r\n"
                    "\r\n00000000.00001000: Read error 0400 bytes read; gle=1117\r\n"
                    "Read: TRUE\t0\r\n"));
  EXPECT_EQ(run.Content("out"), stream + std::string(548, '\0') +
                                    std::string(1024, '\x14') + std::string(1024, '#') +
                                    std::string(1024, '\0') + std::string(1024, '%'));
  std::string report = ReportText(run.out);
  EXPECT_NE(report.find("\r\nRead: 5596 bytes (5.5 Kb) (0.01 Mb)\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("Total errors encountered: 2 (33.3%)\r\n"), std::string::npos);
}

}  // namespace
}  // namespace scripted
