#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

TEST(PosixPaths, ASecondSlashMakesAPath) {
  ::Run = RunRecord();
  ReadCommandLine("tavo /dev/sdb /mnt/share/file /512");
  EXPECT_FALSE(::Run.BadCommandLine);
  EXPECT_STREQ(::Run.InputName, "/dev/sdb");
  EXPECT_STREQ(::Run.OutputName, "/mnt/share/file");
  EXPECT_EQ(::Run.BufferSize, 512);

  ::Run = RunRecord();
  ReadCommandLine("tavo //file");
  EXPECT_FALSE(::Run.BadCommandLine);
  EXPECT_STREQ(::Run.InputName, "//file");

  for (const char* line : {"tavo /x", "tavo /?", "tavo /kb3000", "tavo in /"}) {
    ::Run = RunRecord();
    ReadCommandLine(line);
    EXPECT_TRUE(::Run.BadCommandLine) << line;
  }
}

}  // namespace
