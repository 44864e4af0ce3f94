#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

// Absolute paths begin with "/" as options do; a second "/" tells them apart.
TEST(PosixCommandLine, ASecondSlashMakesAPath) {
  ::Run = RunRecord();
  ReadCommandLine("tavo /dev/sdb //file /512");
  EXPECT_FALSE(::Run.BadCommandLine);
  EXPECT_STREQ(::Run.InputName, "/dev/sdb");
  EXPECT_STREQ(::Run.OutputName, "//file");
  EXPECT_EQ(::Run.BufferSize, 512);
}

}  // namespace
