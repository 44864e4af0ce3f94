// What a run leaves of its output when its input cannot be opened.
#include "harness.h"

namespace scripted {

// The output is opened first: an input that cannot be opened removes the output the
// run created and leaves one that existed as it was, in either mode.
TEST(Endpoints, AnInputThatCannotBeOpenedLeavesNoNewOutput) {
  struct OutputCase {
    const char* options;
    bool existed;
    std::string bytes;
  } cases[] = {{"", false, ""},
               {" /n", false, ""},
               {"", true, ""},
               {" /n", true, Pattern(1000)}};
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(std::string(c.options) + (c.existed ? " existing" : " new"));
    Script script;
    script.commandLine = std::string("tavo missing out") + c.options;
    if (c.existed) script.files["out"] = FileOf(c.bytes);
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.out.find("Cannot open file \"missing\": error 2\r\n"),
              std::string::npos);
    auto out = run.files.find("out");
    EXPECT_EQ(out == run.files.end() ? "<none>" : out->second.Content(),
              c.existed ? c.bytes : "<none>");
    EXPECT_EQ(Count(run, "DeleteFileA out"), c.existed ? 0 : 1);
  }
}

}  // namespace scripted
