#include <string>

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
  // Digits that an option could not hold whole: a path, however it begins.
  ::Run = RunRecord();
  const std::string path = "/" + std::string(199, '0') + "64/x";
  ReadCommandLine(("tavo " + path).c_str());
  EXPECT_STREQ(::Run.InputName, path.c_str());
  EXPECT_EQ(::Run.BufferSize, 32768);
}

}  // namespace
