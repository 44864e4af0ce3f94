// Result files: each failure's outcome, the profile's times from the loop's ticks, the
// console untouched, a file written however the run ends.
#include <regex>

#include "harness.h"

namespace scripted {

namespace {

// A 4-block input whose reads fail in each way a request can end, at /1 (1024 bytes).
Script FailingRun(const std::string& options) {
  Script script;
  script.commandLine = "tavo in out /1" + options;
  script.files["in"] = FileOf(Pattern(5000));
  FileSpec& in = script.files["in"];
  in.reads[0] = {Fail(ERROR_CRC, 100)};
  in.reads[1024] = {Fail(ERROR_NOT_READY)};
  in.reads[2048] = {Fail(ERROR_IO_DEVICE)};
  in.reads[3072] = {Fail(ERROR_INVALID_PARAMETER)};
  return script;
}

// The profile reads the clock once more at the loop's end (flushing is no request's
// time), and each scripted reading moves it on: time figures are left out.
std::string WithoutTimes(const std::string& out) {
  static const std::regex kTimes("(Elapsed time: |Transfer rate: )[^\r]*");
  return std::regex_replace(out, kTimes, "$1<time>");
}

std::string FileText(const RunResult& run, const std::string& name) {
  auto it = run.files.find(name);
  return it == run.files.end() ? "<none>" : it->second.Content();
}

}  // namespace

TEST(ResultFiles, TheConsoleIsTheSameWithAndWithoutThem) {
  RunResult plain = RunTavo(FailingRun(""));
  for (const char* options :
       {" --json=r.json", " --chart c.svg", " --json r.json --direct"}) {
    RunResult with = RunTavo(FailingRun(options));
    EXPECT_EQ(WithoutTimes(with.out), WithoutTimes(plain.out)) << options;
    EXPECT_EQ(with.exitCode, plain.exitCode) << options;
    EXPECT_EQ(FileText(with, "out"), FileText(plain, "out")) << options;
  }
}

TEST(ResultFiles, EachFailureItsOutcomeAndTheProfileTheLoopsTicks) {
  Script script = FailingRun(" --json=r.json");
  script.tickStep = 7;  // each request lasts 7 ticks; the retry's pause adds 500
  RunResult run = RunTavo(script);
  std::string json = FileText(run, "r.json");
  const char* kFailures[] = {
      R"({"offset": 0, "size": 1024, "bytes": 100, "code": 23, "outcome": "written with zeros"})",
      R"({"offset": 1024, "size": 1024, "bytes": 0, "code": 21, "outcome": "retried"})",
      R"({"offset": 2048, "size": 1024, "bytes": 0, "code": 1117, "outcome": "stepped over"})",
      R"({"offset": 3072, "size": 1024, "bytes": 0, "code": 87, "outcome": "ended the run"})"};
  size_t from = 0;
  for (const char* failure : kFailures) {
    size_t at = json.find(failure, from);
    EXPECT_NE(at, std::string::npos) << failure << "\nin " << json;
    from = at == std::string::npos ? from : at;
  }
  // Five requests (the retry made two) of 7 ticks, and the pause; the bytes are those
  // that arrived (100, then the retried block), as BytesRead counts them.
  EXPECT_NE(
      json.find(R"({"offset": 0, "bytes": 1124, "ms": 535, "bytesPerSecond": 2100, )"
                R"("slowestRequestMs": 507, "requests": 5, "failedRequests": 4})"),
      std::string::npos)
      << json;
  EXPECT_NE(
      json.find(
          R"("exitCode": 4, "exitMeaning": "a block was stepped over, or the copy ends short")"),
      std::string::npos);
  EXPECT_NE(json.find(R"("output": {"name": "out", "resumeOffset": 0})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("date": "2026-03-10T14:30:05Z")"), std::string::npos);
}

// The fatal path (a console that stops taking writes) ends the run early; the files
// are still written whole, through temporaries. A map that cannot be read ends the run
// before names are compared: a result file named as the output does not overwrite it.
// (An input that cannot be opened: the results case json.)
TEST(ResultFiles, WrittenWholeHoweverTheRunEnds) {
  Script fatal = FailingRun(" --json=r.json --chart=c.svg");
  fatal.stdoutFailsFrom = 6;
  RunResult run = RunTavo(fatal);
  ASSERT_FALSE(run.writes.empty());
  EXPECT_EQ(run.writes.back().rfind("Fatal error: console output failed", 0), 0u);
  EXPECT_EQ(run.exitCode, 4u);  // the fatal path keeps the code of a copy with a gap
  EXPECT_NE(FileText(run, "r.json").find(R"("exitCode": 4,)"), std::string::npos);
  EXPECT_NE(FileText(run, "c.svg").find("</svg>\n"), std::string::npos);
  EXPECT_EQ(Count(run, "MoveFileExA r.json.42-0.tmp r.json"), 1);
  EXPECT_EQ(run.files.count("r.json.42-0.tmp") + run.files.count("c.svg.42-0.tmp"), 0u);

  Script clash = FailingRun(" --json=out --map=m");
  clash.files["out"] = FileOf("copied");
  clash.files["m"] = FileOf("garbage\n");
  RunResult kept = RunTavo(clash);
  EXPECT_EQ(kept.exitCode, 2u);
  EXPECT_EQ(FileText(kept, "out"), "copied");
  EXPECT_NE(kept.out.find("\r\nCannot write result file \"out\": error 80\r\n"),
            std::string::npos);
}

}  // namespace scripted
