#include <string>
#include <vector>

#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

std::vector<std::string> Split(const char* commandLine) {
  std::vector<std::string> arguments;
  char argument[256];
  size_t length = 0;
  const char* cursor = commandLine;
  while (NextArgument(cursor, argument, sizeof argument, length)) {
    arguments.push_back(argument);
  }
  return arguments;
}

using Args = std::vector<std::string>;

TEST(Splitting, BlanksQuotesAndTheEnd) {
  EXPECT_EQ(Split("tavo a b"), (Args{"tavo", "a", "b"}));
  EXPECT_EQ(Split("  tavo\t\ta  "), (Args{"tavo", "a"}));
  EXPECT_EQ(Split("tavo \"my file\" out"), (Args{"tavo", "my file", "out"}));
  EXPECT_EQ(Split("tavo pre\"fix suf\"fix"), (Args{"tavo", "prefix suffix"}));
  EXPECT_EQ(Split("tavo \"\" a"), (Args{"tavo", "a"}));
  EXPECT_EQ(Split("tavo \"unclosed rest"), (Args{"tavo", "unclosed rest"}));
  EXPECT_EQ(Split("tavo a \""), (Args{"tavo", "a"}));
  EXPECT_EQ(Split("\"C:\\Program Files\\tavo.exe\" c:"),
            (Args{"C:\\Program Files\\tavo.exe", "c:"}));
  EXPECT_EQ(Split(""), Args{});
}

TEST(Splitting, LongArgumentsAreCutButMeasured) {
  std::string line = "tavo " + std::string(300, 'x');
  char argument[256];
  size_t length = 0;
  const char* cursor = line.c_str();
  ASSERT_TRUE(NextArgument(cursor, argument, sizeof argument, length));
  ASSERT_TRUE(NextArgument(cursor, argument, sizeof argument, length));
  EXPECT_EQ(length, 300u);
  EXPECT_EQ(std::string(argument), std::string(255, 'x'));
}

TEST(Numbers, DecimalAndHexadecimalRules) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {
      {"3000", true, 3000},        {"0512", true, 512},
      {"+512", true, 512},         {"-1", true, -1},
      {"  64", true, 64},          {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0},
      {"$10", true, 16},           {"$ff", true, 255},
      {"$FFFFFFFF", true, -1},     {"$000000010", true, 16},
      {"$100000000", false, 0},    {"", false, 0},
      {"+", false, 0},             {"$", false, 0},
      {"12 ", false, 0},           {"kb3000", false, 0},
      {"-$10", false, 0},          {"1x", false, 0},
  };
  for (const Case& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(ParseNumber(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

RunRecord Read(const char* commandLine) {
  ::Run = RunRecord();
  ReadCommandLine(commandLine);
  return ::Run;
}

TEST(Options, SizesTheLaterWins) {
  struct Case {
    const char* line;
    int32_t bufferSize;
  };
  const Case cases[] = {
      {"tavo in", 32768},          {"tavo in /512", 512},
      {"tavo /1b in", 1},          {"tavo in /2b", 2},
      {"tavo in /4b", 4},          {"tavo in /0512", 524288},
      {"tavo in /$10", 16384},     {"tavo in /3000", 3072000},
      {"tavo in /64 /128", 131072}, {"tavo in /2097151", 2147482624},
      {"tavo /512 in /1", 1024},
  };
  for (const Case& c : cases) {
    RunRecord run = Read(c.line);
    EXPECT_FALSE(run.BadCommandLine) << c.line;
    EXPECT_EQ(run.BufferSize, c.bufferSize) << c.line;
  }
}

TEST(Options, BadCommandLines) {
  const char* lines[] = {
      "tavo",          "tavo in /x",      "tavo in /?",   "tavo in /",
      "tavo in /C",    "tavo in /kb3000", "tavo a b c",   "tavo in /0",
      "tavo in /-1",   "tavo in /2097152", "tavo in /4194305", "tavo in \"/ c\"",
      "tavo in /512x",
  };
  for (const char* line : lines) {
    EXPECT_TRUE(Read(line).BadCommandLine) << line;
  }
}

TEST(Options, FlagsAndPositionals) {
  RunRecord run = Read("tavo /b /p in out /i /b");
  EXPECT_FALSE(run.BadCommandLine);
  EXPECT_TRUE(run.BackupMode);
  EXPECT_TRUE(run.EndlessMode);
  EXPECT_EQ(run.OpenFlags, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_POSIX_SEMANTICS);
  EXPECT_STREQ(run.InputName, "in");
  EXPECT_STREQ(run.OutputName, "out");
  EXPECT_TRUE(run.OutputEnabled);
  EXPECT_EQ(run.PositionalCount, 2);

  run = Read("tavo -in \"a b\"");
  EXPECT_STREQ(run.InputName, "-in");
  EXPECT_STREQ(run.OutputName, "a b");

  run = Read("tavo in /n /r");
  EXPECT_TRUE(run.NoResume);
  EXPECT_FALSE(run.OutputEnabled);
  EXPECT_EQ(run.OpenFlags, 0u);
}

TEST(Options, OverlongNamesAreRefusedNotCut) {
  std::string name(255, 'n');
  EXPECT_FALSE(Read(("tavo " + name).c_str()).BadCommandLine);
  EXPECT_STREQ(::Run.InputName, name.c_str());
  EXPECT_TRUE(Read(("tavo in " + name + "x").c_str()).BadCommandLine);
}

}  // namespace
