#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

TEST(WindowsCommandLine, ASlashAlwaysStartsAnOption) {
  ::Run = RunRecord();
  ReadCommandLine("tavo in /dev/sdb");
  EXPECT_TRUE(::Run.BadCommandLine);
}

}  // namespace
