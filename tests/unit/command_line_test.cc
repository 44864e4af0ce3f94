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
      {"tavo in /+", 0}, {"tavo in /-$10", 0}, {"tavo in /?", 0}, {"tavo in /C", 0},
      {"tavo in /kb3000", 0}, {"tavo in /-1", 0}, {"tavo in /2097152", 0},
      {"tavo in /4194305", 0}, {"tavo in /512x", 0}, {"tavo in /" + zeros + "512X", 0},
      {"tavo in /" + zeros + "0512", 0},
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
  // A name cut to 255 bytes could open or create another file: refused instead.
  std::string name(255, 'n');
  EXPECT_STREQ(Read("tavo " + name).InputName, name.c_str());
  EXPECT_TRUE(Read("tavo in " + name + "x").BadCommandLine);
}

// Each refusal says what is wrong, and of several faults the first; what it shows of an
// argument stays on one line and within 60 bytes.
TEST(CommandLine, RefusalsSayWhatIsWrong) {
  const std::string n60(60, 'n'), z200(200, '0');
  // clang-format off
  const std::pair<Arguments, std::string> cases[] = {
      {{}, "no input named"},
      {{"in", "--frobnicate=1"}, "unknown option '--frobnicate=1'"},
      {{"in", "--DIRECT"}, "unknown option '--DIRECT'"},
      {{"in", "--"}, "unknown option '--'"},
      {{"in", "out", "--map"}, "--map needs a value (--map=FILE)"},
      {{"in", "out", "--json="}, "--json needs a value (--json=FILE)"},
      {{"in", "out", "--chart", ""}, "--chart needs a value (--chart=FILE)"},
      {{"in", "--direct=x"}, "--direct takes no value"},
      {{"in", "--version=2"}, "--version takes no value"},
      {{"in", "/3000000"}, "/3000000: a request is 1 to 2097151 KiB"},
      {{"in", "/0"}, "/0: a request is 1 to 2097151 KiB"},
      {{"in", "/ -1"}, "/ -1: a request is 1 to 2097151 KiB"},
      {{"in", "/$100000000"}, "/$100000000: a request is 1 to 2097151 KiB"},
      {{"in", "/x"}, "unknown option '/x'"},
      {{"in", "/"}, "unknown option '/'"},
      {{"in", "/12 "}, "unknown option '/12 '"},
      {{"in", "/$"}, "unknown option '/$'"},
      {{"in", "/" + z200 + "1"}, "option longer than 200 characters: '/" + z200.substr(0, 59) + "...'"},
      {{"a", "b", "c", "d"}, "too many names: 'c'"},
      {{"in", n60 + "x" + std::string(195, 'n')}, "name longer than 255 bytes: '" + n60 + "...'"},
      {{"in", "out", "--map", std::string(256, 'm')}, "name longer than 255 bytes: '" + std::string(60, 'm') + "...'"},
      {{"in", "--json=" + std::string(249, 'j')}, "option longer than 255 bytes: '--json=" + std::string(53, 'j') + "...'"},
      {{"in", "/x", "--bogus", "c", "d"}, "unknown option '/x'"},
      {{"in", "--a\tb\nc\x7f"}, "unknown option '--a?b?c?'"},
  };
  // clang-format on
  for (const auto& [arguments, why] : cases) {
    ::Run = RunRecord();
    ReadCommandLine(arguments);
    EXPECT_TRUE(::Run.BadCommandLine) << why;
    EXPECT_EQ(::Run.Refusal, why);
  }
}

}  // namespace
