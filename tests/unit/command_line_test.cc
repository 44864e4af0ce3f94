#include <string>
#include <vector>

#include "app.h"
#include "gtest/gtest.h"
#include "run_record.h"

namespace {

TEST(CommandLine, SplittingOnBlanksAndQuotes) {
  const std::pair<const char*, Arguments> cases[] = {
      {"  tavo\t\ta  ", {"tavo", "a"}},
      {"tavo \"my file\" out", {"tavo", "my file", "out"}},
      {"tavo pre\"fix suf\"fix", {"tavo", "prefix suffix"}},
      {"tavo \"\" a", {"tavo", "a"}},
      {"tavo \"unclosed rest", {"tavo", "unclosed rest"}},
      {"tavo a \"", {"tavo", "a"}},
      {"", {}}};
  for (const auto& [line, arguments] : cases)
    EXPECT_EQ(SplitCommandLine(line), arguments) << line;
}

// The line as Windows hands it over, its arguments after the program's name read.
const RunRecord& Read(const std::string& commandLine) {
  ::Run = RunRecord();
  Arguments arguments = SplitCommandLine(commandLine.c_str());
  ReadCommandLine(Arguments(arguments.begin() + 1, arguments.end()));
  return ::Run;
}

// Size options, the later winning; 0 for a bad command line. Counts are decimal (sign,
// leading blanks) or "$" hex; 0, negative or too large for 32 bits are refused, not
// wrapped; an option is judged whole, 200 characters after the slash at most.
TEST(CommandLine, SizeOptionsAndBadCommandLines) {
  const std::string zeros(197, '0');
  // clang-format off
  const std::pair<std::string, int32_t> cases[] = {
      {"tavo in", 32768}, {"tavo in /512", 512}, {"tavo /1b in", 1}, {"tavo in /4b", 4},
      {"tavo in /0512", 524288}, {"tavo in /$10", 16384}, {"tavo in /64 /128", 131072},
      {"tavo in /2097151", 2147482624}, {"tavo in /" + zeros + "512", 524288},
      {"tavo in /+512", 524288}, {"tavo in \"/  64\"", 65536}, {"tavo in /$000000010", 16384},
      {"tavo in /4294967297", 0}, {"tavo in /$100000001", 0}, {"tavo in /$FFFFFFFF", 0},
      {"tavo in /+", 0}, {"tavo in /$", 0}, {"tavo in \"/12 \"", 0}, {"tavo in /-$10", 0},
      {"tavo", 0}, {"tavo in /x", 0}, {"tavo in /?", 0}, {"tavo in /", 0}, {"tavo in /C", 0},
      {"tavo in /kb3000", 0}, {"tavo a b c", 0}, {"tavo in /0", 0}, {"tavo in /-1", 0},
      {"tavo in /2097152", 0}, {"tavo in /4194305", 0}, {"tavo in /512x", 0},
      {"tavo in /" + zeros + "512X", 0}, {"tavo in /" + zeros + "0512", 0},
  };
  // clang-format on
  for (const auto& [line, bufferSize] : cases) {
    EXPECT_EQ(Read(line).BadCommandLine, bufferSize == 0) << line;
    EXPECT_TRUE(bufferSize == 0 || ::Run.BufferSize == bufferSize)
        << line << ": " << ::Run.BufferSize;
  }
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
