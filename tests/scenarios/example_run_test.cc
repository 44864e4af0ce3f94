// A whole rescue run of a damaged floppy, console text byte for byte: an unreadable
// sector, a drive that is not ready twice, and the end of the device. The text is
// recorded as the test's "console" property.
#include <string>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

TEST(ExampleRun, FloppyRescueWithEveryKindOfFailure) {
  const std::string disk = Pattern(4096);
  Script script;
  script.commandLine = "tavo a: rescue.img /512";
  FileSpec& drive = script.files["\\\\.\\a:"] = FileOf(disk);
  drive.sizeError = ERROR_INVALID_PARAMETER;
  drive.reads[512] = {Fail(ERROR_CRC)};
  drive.reads[1024] = Repeat(Fail(ERROR_NOT_READY), 2);
  drive.reads[2048] = {Fail(ERROR_INVALID_PARAMETER)};
  RunResult run = RunTavo(script);
  RecordProperty("console", Visible(run.out));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(
      Visible(AfterBanner(run.out)),
      Visible("   using 512 bytes buffer\r\n"
              "   resume downloading \"rescue.img\" from 00000000.00000000 (0)\r\n"
              "Reading... Hit ESC to break\r\n"
              "\r\n00000000.00000200: Read error 0000 bytes read; gle=23\r\n"
              "\r\n00000000.00000400: Read error 0000 bytes read; gle=21\r\n"
              "    Retrying..."
              "\r\n00000000.00000400: Read error 0000 bytes read; gle=21\r\n"
              "    Retrying..."
              "\r00000000.00000400 - 1 kb - 0.0 mb (0.1 kb/s)      "
              "\r\n00000000.00000800: Read error 0000 bytes read; gle=87\r\n"
              "\r\nAn unexpected error 87 occurred. Read cancelled\r\n"
              "\r\n"
              "\rElapsed time: 9.00 seconds                                  \r\n"
              "Read: 1536 bytes (1.5 Kb) (0.00 Mb)\r\n"
              "Transfer rate: 0.0 Mb/sec = 0.2 Kb/sec = 0.0x = 171 Bytes/sec\r\n"
              "\r\n"
              "Total errors encountered: 4 (57.1%)\r\n"));
  EXPECT_EQ(run.Content("rescue.img"),
            disk.substr(0, 512) + std::string(512, '\0') + disk.substr(1024, 1024));
}

}  // namespace
}  // namespace scripted
