#include <string>
#include <vector>

#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

using Args = std::vector<std::string>;

Args Split(const char* commandLine) {
  Args arguments;
  char argument[256];
  size_t length = 0;
  while (NextArgument(commandLine, argument, sizeof argument, length)) {
    arguments.push_back(argument);
  }
  return arguments;
}

TEST(CommandLine, SplittingOnBlanksAndQuotes) {
  EXPECT_EQ(Split("  tavo\t\ta  "), (Args{"tavo", "a"}));
  EXPECT_EQ(Split("tavo \"my file\" out"), (Args{"tavo", "my file", "out"}));
  EXPECT_EQ(Split("tavo pre\"fix suf\"fix"), (Args{"tavo", "prefix suffix"}));
  EXPECT_EQ(Split("tavo \"\" a"), (Args{"tavo", "a"}));
  EXPECT_EQ(Split("tavo \"unclosed rest"), (Args{"tavo", "unclosed rest"}));
  EXPECT_EQ(Split("tavo a \""), (Args{"tavo", "a"}));
  EXPECT_EQ(Split(""), Args{});
}

TEST(CommandLine, Numbers) {
  // clang-format off
  const struct { const char* text; bool ok; int32_t value; } cases[] = {
      {"0512", true, 512}, {"+512", true, 512}, {"  64", true, 64},
      {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0}, {"$10", true, 16},
      {"$FFFFFFFF", true, -1}, {"$000000010", true, 16}, {"$100000000", false, 0},
      {"", false, 0}, {"+", false, 0}, {"$", false, 0}, {"12 ", false, 0},
      {"kb3000", false, 0}, {"-$10", false, 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(ParseNumber(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

const RunRecord& Read(const std::string& commandLine) {
  ::Run = RunRecord();
  ReadCommandLine(commandLine.c_str());
  return ::Run;
}

TEST(CommandLine, SizeOptionsTheLaterWins) {
  // clang-format off
  const struct { const char* line; int32_t bufferSize; } cases[] = {
      {"tavo in", 32768}, {"tavo in /512", 512}, {"tavo /1b in", 1},
      {"tavo in /4b", 4}, {"tavo in /0512", 524288}, {"tavo in /$10", 16384},
      {"tavo in /64 /128", 131072}, {"tavo in /2097151", 2147482624},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_FALSE(Read(c.line).BadCommandLine) << c.line;
    EXPECT_EQ(::Run.BufferSize, c.bufferSize) << c.line;
  }
}

TEST(CommandLine, BadCommandLines) {
  // Counts of 0, below 0, or too large for a positive 32-bit byte count are refused
  // rather than wrapped.
  for (const char* line :
       {"tavo", "tavo in /x", "tavo in /?", "tavo in /", "tavo in /C",
        "tavo in /kb3000", "tavo a b c", "tavo in /0", "tavo in /-1",
        "tavo in /2097152", "tavo in /4194305", "tavo in /512x"}) {
    EXPECT_TRUE(Read(line).BadCommandLine) << line;
  }
  // An option is judged whole: 200 characters after the slash at most.
  const std::string zeros(197, '0');
  EXPECT_FALSE(Read("tavo in /" + zeros + "512").BadCommandLine);
  EXPECT_EQ(::Run.BufferSize, 524288);
  EXPECT_TRUE(Read("tavo in /" + zeros + "512X").BadCommandLine);
  EXPECT_TRUE(Read("tavo in /" + zeros + "0512").BadCommandLine);
}

TEST(CommandLine, FlagsAndNames) {
  const RunRecord& run = Read("tavo /b /p in \"out file\" /i /b /n /r");
  EXPECT_FALSE(run.BadCommandLine);
  EXPECT_TRUE(run.BackupMode && run.EndlessMode && run.NoResume && run.OutputEnabled);
  EXPECT_EQ(run.OpenFlags, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_POSIX_SEMANTICS);
  EXPECT_STREQ(run.InputName, "in");
  EXPECT_STREQ(run.OutputName, "out file");
  EXPECT_STREQ(Read("tavo -in").InputName, "-in");
  // A name cut to 255 bytes could open or create another file: refused instead.
  std::string name(255, 'n');
  EXPECT_STREQ(Read("tavo " + name).InputName, name.c_str());
  EXPECT_TRUE(Read("tavo in " + name + "x").BadCommandLine);
}

}  // namespace
