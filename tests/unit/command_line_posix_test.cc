#include <string>

#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

// Absolute paths begin with "/" as options do; a second "/" tells them apart, even
// after digits that an option could not hold whole. An empty argument is a name that
// no file has, not nothing. (Quotes and blanks in names: the cli case "process".)
TEST(PosixCommandLine, ASecondSlashMakesAPath) {
  const std::string digits = "/" + std::string(199, '0') + "64/x";
  ::Run = RunRecord();
  ReadCommandLine({"/dev/sdb", digits, "/512"});
  EXPECT_FALSE(::Run.BadCommandLine);
  EXPECT_STREQ(::Run.InputName, "/dev/sdb");
  EXPECT_STREQ(::Run.OutputName, digits.c_str());
  EXPECT_EQ(::Run.BufferSize, 512);
  ::Run = RunRecord();
  ReadCommandLine({"", "out"});
  EXPECT_FALSE(::Run.BadCommandLine);
  EXPECT_STREQ(::Run.InputName, "");
}

}  // namespace
