// Opening the output and the input: where a resumed copy starts, and the runs that
// stop with exit code 2 because one of them cannot be opened.
#include "harness.h"

namespace scripted {
namespace {

// The copy resumes at the output's length rounded down to 512 and leaves what lies
// below untouched; a 5 GiB output needs the high half of every offset.
TEST(Endpoints, ResumeAtTheOutputLengthRoundedDownTo512) {
  constexpr uint64_t k5GiB = 5ull << 30;
  struct Case {
    uint64_t origin, outputLength, offset;
    const char* from;
  };
  // clang-format off
  const std::vector<Case> cases = {{0, 511, 0, "00000000.00000000 (0)\r\n"},
                                   {0, 1000, 512, "00000000.00000200 (512)\r\n"},
                                   {0, 1024, 1024, "00000000.00000400 (1024)\r\n"},
                                   {k5GiB, 100, k5GiB, "00000001.40000000 (5368709120)\r\n"}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    Script script;
    script.commandLine = "tavo in out /1";
    FileSpec& in = script.files["in"] = FileOf(Pattern(3000));
    FileSpec& out = script.files["out"] = FileOf(std::string(c.outputLength, 'o'));
    in.origin = out.origin = c.origin;
    in.length += c.origin;
    out.length += c.origin;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(
        run.out.find("\r\n   resume downloading \"out\" from " + std::string(c.from)),
        std::string::npos);
    const FileSpec& copy = run.files["out"];
    EXPECT_EQ(copy.origin, c.origin);
    EXPECT_EQ(copy.length, c.origin + 3000);
    size_t kept = c.offset - c.origin;
    EXPECT_EQ(copy.bytes, std::string(kept, 'o') + Pattern(3000).substr(kept));
  }
}

// A missing input is found after the output was created; an output that cannot be
// created ends the run before the input is opened.
TEST(Endpoints, OpenFailuresEndWithExitCode2) {
  Script script;
  script.commandLine = "tavo in out";
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(AfterBanner(run.out),
            "   using 32768 bytes buffer\r\n"
            "   resume downloading \"out\" from 00000000.00000000 (0)\r\n"
            "Cannot open file \"in\": error 2\r\n");
  script.files["in"] = FileOf("data");
  script.files["out"].openError = ERROR_ACCESS_DENIED;
  run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(AfterBanner(run.out),
            "   using 32768 bytes buffer\r\n     Unable to create output file, exiting "
            "- 5\r\n");
  EXPECT_EQ(Count(run, "CreateFileA in"), 0);
}

}  // namespace
}  // namespace scripted
