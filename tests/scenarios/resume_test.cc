// Resuming a copy: it starts at the output's length rounded down to 512 bytes,
// leaves what lies below untouched, and ends with the rest of the input in place.
#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "run_text.h"
#include "scripted_platform.h"

namespace scripted {
namespace {

constexpr uint64_t k5GiB = 5ull << 30;

// The first bytes of text, as many as expected has, for a readable comparison.
std::string Head(const std::string& text, const std::string& expected) {
  return Visible(text.substr(0, expected.size()));
}

struct ResumeCase {
  const char* name;
  FileSpec output;
  uint64_t offset;
  const char* message;
};

FileSpec SizeFails(FileSpec file) {
  file.sizeError = ERROR_ACCESS_DENIED;
  return file;
}

TEST(Resume, StartsAtTheOutputLengthRoundedDownTo512) {
  const std::string in = Pattern(3000);
  const std::vector<ResumeCase> cases = {
      {"no output yet", AbsentFile(), 0, "from 00000000.00000000 (0)"},
      {"511 bytes", FileOf(std::string(511, 'o')), 0, "from 00000000.00000000 (0)"},
      {"1000 bytes", FileOf(std::string(1000, 'o')), 512,
       "from 00000000.00000200 (512)"},
      {"1024 bytes", FileOf(std::string(1024, 'o')), 1024,
       "from 00000000.00000400 (1024)"},
      {"size query fails", SizeFails(FileOf(std::string(1000, 'o'))), 0,
       "from 00000000.00000000 (0)"},
  };
  for (const ResumeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script script;
    script.commandLine = "tavo in out /1";
    script.files["in"] = FileOf(in);
    script.files["out"] = c.output;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 0u);
    std::string head = "   using 1024 bytes buffer\r\n   resume downloading \"out\" " +
                       std::string(c.message) + "\r\nFile size: 3000 bytes";
    EXPECT_EQ(Head(AfterBanner(run.out), head), Visible(head));
    EXPECT_EQ(run.Calls("ReadFile in ").at(0),
              "ReadFile in at=" + std::to_string(c.offset) + " size=1024");
    EXPECT_EQ(run.Content("out"), std::string(c.offset, 'o') + in.substr(c.offset));
  }
}

TEST(Resume, UsesTheHighHalfOfA5GiBOutput) {
  Script script;
  script.commandLine = "tavo in out /1";
  FileSpec& in = script.files["in"];
  in.origin = k5GiB;
  in.bytes = Pattern(3000);
  in.length = k5GiB + 3000;
  FileSpec& out = script.files["out"];
  out.origin = k5GiB;
  out.bytes = std::string(100, 'o');
  out.length = k5GiB + 100;
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  std::string head =
      "   using 1024 bytes buffer\r\n"
      "   resume downloading \"out\" from 00000001.40000000 (5368709120)\r\n"
      "File size: 5368712120 bytes (5242882.9 Kb) (5120.00 Mb)\r\n"
      "Reading... Hit ESC to break\r\n";
  EXPECT_EQ(Head(AfterBanner(run.out), head), Visible(head));
  EXPECT_EQ(run.Calls("SetFilePointer in ").at(0),
            "SetFilePointer in to=5368709120 method=0");
  for (const std::string& write : run.Calls("WriteFile out ")) {
    EXPECT_EQ(write.rfind("WriteFile out at=53687", 0), 0u) << write;
  }
  EXPECT_EQ(run.files["out"].origin, k5GiB);
  EXPECT_EQ(run.files["out"].length, k5GiB + 3000);
  EXPECT_EQ(run.files["out"].bytes, Pattern(3000));
}

// An earlier run stopped after any number of bytes: the same command completes it.
TEST(Resume, CompletesACopyCutAtEveryLength) {
  const std::string in = Pattern(1600);  // resume offsets 0, 512, 1024 and 1536
  std::vector<size_t> wrong;
  for (size_t cut = 0; cut <= in.size(); ++cut) {
    Script script;
    script.commandLine = "tavo in out /1";
    script.files["in"] = FileOf(in);
    script.files["out"] = FileOf(std::string(cut, 'o'));
    RunResult run = RunTavo(script);
    size_t offset = cut / 512 * 512;
    if (run.exitCode != 0 ||
        run.Content("out") != std::string(offset, 'o') + in.substr(offset)) {
      wrong.push_back(cut);
    }
  }
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " cut lengths fail, the first "
                             << wrong[0];
}

TEST(Resume, NotWithoutResumeOrWithoutOutput) {
  const std::string in = Pattern(2600);
  Script script;
  script.commandLine = "tavo in /n out /r /1";
  script.files["in"] = FileOf(in);
  script.files["out"] = FileOf(std::string(5000, 'o'));
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  std::string head =
      "   using 1024 bytes buffer\r\n   writing data to file \"out\"\r\nFile";
  EXPECT_EQ(Head(AfterBanner(run.out), head), Visible(head));
  EXPECT_TRUE(run.Calls("GetFileSize out").empty());
  // Written from 0; the old bytes beyond the input's length stay.
  EXPECT_EQ(run.Content("out"), in + std::string(2400, 'o'));

  script.commandLine = "tavo in /r";
  run = RunTavo(script);
  EXPECT_EQ(run.Calls("CreateFileA").size(), 1u);
  head = "   using 32768 bytes buffer\r\nFile size: ";
  EXPECT_EQ(Head(AfterBanner(run.out), head), Visible(head));
  EXPECT_EQ(run.Calls("ReadFile in ").at(0), "ReadFile in at=0 size=32768");
}

}  // namespace
}  // namespace scripted
