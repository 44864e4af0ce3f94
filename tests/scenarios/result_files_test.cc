// Result files: each failure's outcome, the profile's times from the loop's ticks and
// the fine clock, request times by band, the console untouched but for their line, a
// file written however the run ends. (The JSON's and the chart's agreement with the
// console: the results cases.)
#include <iterator>  // std::size
#include <regex>

#include "harness.h"

namespace scripted {

namespace {

// A 4-block input whose reads fail in each way a request can end, at /1 (1024 bytes).
Script FailingRun(const std::string& options) {
  Script script = Scripted("in out /1" + options, Pattern(5000));
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

// A profile adds its one line after the report; the rest is the same.
TEST(ResultFiles, TheConsoleIsTheSameWithAndWithoutThemButTheRequestTimes) {
  RunResult plain = RunTavo(FailingRun(""));
  const std::string kTimes =
      "Request times: 1 under 5 ms, 0 under 20 ms, 0 under 50 ms, 0 under 200 ms, "
      "0 under 600 ms, 0 slower, 4 failed\r\n";
  for (const char* options :
       {" --json=r.json", " --chart c.svg", " --json r.json --direct"}) {
    RunResult with = RunTavo(FailingRun(options));
    EXPECT_EQ(WithoutTimes(with.out), WithoutTimes(plain.out) + kTimes) << options;
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
  // that arrived (100, then the retried block), as BytesRead counts them. On the fine
  // clock each read takes 100 us, and the pause its 500 ms; the rate is the fine one.
  EXPECT_TRUE(Has(json,
                  R"({"offset": 0, "bytes": 1124, "ms": 535, "bytesPerSecond": 2245, )"
                  R"("slowestRequestMs": 507, "requests": 5, "failedRequests": 4, )"
                  R"("microseconds": 500500, "slowestRequestMicroseconds": 500100})"));
  EXPECT_TRUE(Has(
      json,
      R"("exitCode": 4, "exitMeaning": "a block was stepped over, or the copy ends short")"));
  EXPECT_TRUE(Has(json, R"("output": {"name": "out", "resumeOffset": 0})"));
  EXPECT_TRUE(Has(json, R"("date": "2026-03-10T14:30:05Z")"));
}

// Reads scripted to take each band's edges on the fine clock land in their bands, the
// failed one in "failed" alone, whatever it took; the ten slowest that succeeded are
// named, ties in the order read. The chart marks the slowest in its band's colour.
TEST(ResultFiles, RequestTimesByBand) {
  enum Band { k5, k20, k50, k200, k600, kSlower, kFailed };
  const struct {
    int64_t micros;
    Band band;
  } kReads[] = {{4999, k5},        {5000, k20},    {19999, k20},   {20000, k50},
                {50000, k200},     {200000, k600}, {599999, k600}, {600000, kSlower},
                {900000, kFailed}, {100, k5},      {100, k5},      {100, k5}};
  // 11 blocks, and the read that finds the end
  Script script = Scripted("in /1 --json=r.json --chart=c.svg", Pattern(11 * 1024));
  int counts[kFailed + 1] = {};
  for (size_t i = 0; i < std::size(kReads); ++i) {
    ReadOutcome outcome = kReads[i].band == kFailed ? Fail(ERROR_CRC) : ReadOutcome{};
    outcome.micros = kReads[i].micros;
    script.files["in"].reads[static_cast<int64_t>(i) * 1024] = {outcome};
    ++counts[kReads[i].band];
  }
  RunResult run = RunTavo(script);
  std::string line = "Request times: ";
  const char* kNames[] = {" under 5 ms, ",   " under 20 ms, ",  " under 50 ms, ",
                          " under 200 ms, ", " under 600 ms, ", " slower, ",
                          " failed\r\n"};
  for (int band = k5; band <= kFailed; ++band)
    line += std::to_string(counts[band]) + kNames[band];
  EXPECT_EQ(run.out.substr(run.out.size() - line.size()), line);

  std::string slowest;
  for (int i : {7, 6, 5, 4, 3, 2, 1, 0, 9, 10}) {
    slowest += (slowest.empty() ? "" : ",\n    ") + std::string(R"({"offset": )") +
               std::to_string(i * 1024) + R"(, "size": 1024, "microseconds": )" +
               std::to_string(kReads[i].micros) + "}";
  }
  EXPECT_TRUE(
      Has(FileText(run, "r.json"), "\"slowestRequests\": [\n    " + slowest + "\n  ]"));
  // 7168 of 11264 bytes across 780 pixels from 90: the 600 ms one, violet.
  EXPECT_TRUE(Has(FileText(run, "c.svg"),
                  R"(<line x1="586" y1="454" x2="586" y2="470" stroke="#8a2be2")"));
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
  EXPECT_TRUE(Has(FileText(run, "r.json"), R"("exitCode": 4,)"));
  EXPECT_TRUE(Has(FileText(run, "c.svg"), "</svg>\n"));
  EXPECT_EQ(Count(run, "MoveFileExA r.json.42-0.tmp r.json"), 1);
  EXPECT_EQ(run.files.count("r.json.42-0.tmp") + run.files.count("c.svg.42-0.tmp"), 0u);

  Script clash = FailingRun(" --json=out --map=m");
  clash.files["out"] = FileOf("copied");
  clash.files["m"] = FileOf("garbage\n");
  RunResult kept = RunTavo(clash);
  EXPECT_EQ(kept.exitCode, 2u);
  EXPECT_EQ(FileText(kept, "out"), "copied");
  EXPECT_TRUE(Has(kept.out, "\r\nCannot write result file \"out\": error 80\r\n"));
}

}  // namespace scripted
