// Opening the output and the input: the arguments of each open, the size line, and
// the runs that stop with exit code 2 because one of them cannot be opened.
#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

std::vector<std::string> OpenedNames(const RunResult& run) {
  std::vector<std::string> names;
  for (const std::string& call : run.Calls("CreateFileA ")) {
    size_t start = sizeof "CreateFileA " - 1;
    names.push_back(call.substr(start, call.find(" access=") - start));
  }
  return names;
}

FileSpec Refusing(DWORD code) {
  FileSpec file;
  file.openError = code;
  return file;
}

struct OpenFailure {
  const char* name;
  std::string commandLine;
  std::map<std::string, FileSpec> files;
  std::string text;  // after the buffer line
  std::vector<std::string> opened;
  bool outputLeftEmpty = false;  // created, and left as created
};

TEST(Open, FailuresStopWithExitCode2) {
  const std::string x255(255, 'x');
  const std::string driveLike = std::string(253, 'x') + ":";
  const std::string mapped = "\\\\.\\" + std::string(251, 'x');
  const std::vector<OpenFailure> cases = {
      {"missing input, after the output was created",
       "tavo in out",
       {},
       "   resume downloading \"out\" from 00000000.00000000 (0)\r\n"
       "Cannot open file \"in\": error 2\r\n",
       {"out", "in"},
       true},
      {"input refused, shown by its mapped name",
       "tavo c:",
       {{"\\\\.\\c:", Refusing(ERROR_ACCESS_DENIED)}},
       "Cannot open file \"\\\\.\\c:\": error 5\r\n",
       {"\\\\.\\c:"}},
      {"output refused: the input is never opened",
       "tavo in out",
       {{"in", FileOf("data")}, {"out", Refusing(ERROR_ACCESS_DENIED)}},
       "     Unable to create output file, exiting - 5\r\n",
       {"out"}},
      {"message text cut at 255 characters",
       "tavo " + x255,
       {},
       ("Cannot open file \"" + x255).substr(0, 255) + "2\r\n",
       {x255}},
      {"mapped name cut at 255 characters",
       "tavo " + driveLike,
       {},
       ("Cannot open file \"" + mapped).substr(0, 255) + "2\r\n",
       {mapped}},
  };
  for (const OpenFailure& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = c.commandLine;
    script.files = c.files;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(Visible(AfterBanner(run.out)),
              Visible("   using 32768 bytes buffer\r\n" + c.text));
    EXPECT_EQ(OpenedNames(run), c.opened);
    EXPECT_TRUE(run.Calls("ReadFile").empty());
    if (c.outputLeftEmpty) {
      EXPECT_TRUE(run.files["out"].exists);
      EXPECT_EQ(run.files["out"].length, 0u);
    }
  }
}

TEST(Open, ShareModeFollowsThePlatformFamilyAndFlagsTheOptions) {
  struct Case {
    std::string commandLine;
    DWORD version;
    std::vector<std::string> opens;
  };
  const DWORD kWindows9x = 0xC0000A04;
  const std::vector<Case> cases = {
      {"tavo in",
       0x23F00206,
       {"CreateFileA in access=80000000 share=7 disposition=3 flags=0"}},
      {"tavo in",
       kWindows9x,
       {"CreateFileA in access=80000000 share=3 disposition=3 flags=0"}},
      {"tavo in /b",
       0x23F00206,
       {"CreateFileA in access=80000000 share=7 disposition=3 flags=2000000"}},
      {"tavo /p in /b /p out",
       kWindows9x,
       {"CreateFileA out access=40000000 share=1 disposition=4 flags=80",
        "CreateFileA in access=80000000 share=3 disposition=3 flags=3000000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    Script script;
    script.commandLine = c.commandLine;
    script.version = c.version;
    script.files["in"] = FileOf("data");
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.Calls("CreateFileA "), c.opens);
    // The clock starts after the output is open and before the input is: opening the
    // input is part of the measured time.
    std::vector<std::string> opensAndClock = run.Calls("CreateFileA ");
    opensAndClock.insert(opensAndClock.end() - 1, "GetTickCount");
    std::vector<std::string> firstCalls;
    for (const std::string& call : run.calls) {
      if (call.rfind("CreateFileA ", 0) == 0 || call == "GetTickCount")
        firstCalls.push_back(call);
    }
    firstCalls.resize(opensAndClock.size());
    EXPECT_EQ(firstCalls, opensAndClock);
  }
}

TEST(Open, SizeLineOnlyForAKnownNonZeroSize) {
  struct Case {
    const char* name;
    FileSpec input;
    std::string sizeLine;
  };
  FileSpec unknown = FileOf(Pattern(1536));
  unknown.sizeError = ERROR_INVALID_FUNCTION;
  FileSpec low32;  // 0xFFFFFFFF in the low half is a size, not an error
  low32.length = 0xFFFFFFFFu;
  const std::vector<Case> cases = {
      {"1536 bytes", FileOf(Pattern(1536)),
       "File size: 1536 bytes (1.5 Kb) (0.00 Mb)\r\n"},
      {"empty", FileOf(""), ""},
      {"size query fails", unknown, ""},
      {"4294967295 bytes", low32,
       "File size: 4294967295 bytes (4194304.0 Kb) (4096.00 Mb)\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = "tavo in";
    script.files["in"] = c.input;
    script.escape = HeldFrom(1);
    RunResult run = RunTavo(script);
    std::string head =
        "   using 32768 bytes buffer\r\n" + c.sizeLine + "Reading... Hit ESC";
    EXPECT_EQ(Visible(AfterBanner(run.out).substr(0, head.size())), Visible(head));
  }
}

}  // namespace
}  // namespace scripted
