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

// An argument that begins with one "-" is an option wherever it stands, as with any
// POSIX program: "-h" and "-V" answer, any other is refused, so that "-x big" does not
// copy a file "-x" over big. "./-x" names the file.
TEST(PosixCommandLine, DashArgumentsAreOptions) {
  const struct {
    Arguments arguments;
    Asked asked;
    std::string refusal;
    const char* input;
  } cases[] = {
      {{"-h"}, Asked::kHelp, "", ""},
      {{"in", "-V"}, Asked::kVersion, "", "in"},
      {{"-x", "big"}, Asked::kRun, "unknown option '-x'", "big"},
      {{"in", "-"}, Asked::kRun, "unknown option '-'", "in"},
      {{"-hV"}, Asked::kRun, "unknown option '-hV'", ""},
      {{"./-x", "big"}, Asked::kRun, "", "./-x"},
  };
  for (const auto& c : cases) {
    ::Run = RunRecord();
    ReadCommandLine(c.arguments);
    EXPECT_EQ(::Run.Answer, c.asked) << c.arguments[0];
    EXPECT_EQ(::Run.Refusal, c.refusal);
    EXPECT_STREQ(::Run.InputName, c.input);
    EXPECT_EQ(::Run.OutputEnabled, c.input == std::string("./-x"));
  }
}

}  // namespace
