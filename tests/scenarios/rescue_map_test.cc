// Whole runs with a rescue map: the output is flushed before the map claims it, a
// console stop saves it, and inputs that fail or have no size are mapped as far as
// reading got.
#include "harness.h"
#include "profile.h"

namespace scripted {
namespace {

std::string Heading(const std::string& options = "") {
  return "# Mapfile. Created by tavo version 4.82\n"
         "# Command line: tavo in out --map=m" +
         options +
         "\n# Start time:   2026-01-02 03:04:05\n"
         "# Current time: 2026-01-02 03:04:05\n"
         "# current_pos  current_status  current_pass\n";
}

std::string Areas(const std::string& lines) {
  return "#      pos        size  status\n" + lines;
}

Script MappedCopy(const std::string& input) {
  Script script;
  script.commandLine = "tavo in out --map=m";
  script.files["in"] = FileOf(input);
  script.tickStep = 10;
  return script;
}

// Each map that marks newly read blocks rescued is written after the output is
// flushed; a run that reads nothing new flushes nothing. The map is written beside
// itself and renamed over it.
TEST(RescueMap, TheOutputIsFlushedBeforeTheMapClaimsIt) {
  Script script = MappedCopy(Pattern(64 * 32768));
  script.tickStep = 1000;  // a Progress line, and a map, every few reads
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u);
  int saves = 0;
  bool flushed = true;  // the map before the first read claims nothing new
  for (const std::string& call : run.calls) {
    if (call == "FlushFileBuffers out") flushed = true;
    if (call.rfind("ReadFile in ", 0) == 0) flushed = false;
    if (call.rfind("MoveFileExA m.", 0) == 0 && call.substr(call.size() - 2) == " m") {
      EXPECT_TRUE(flushed) << "map " << saves;
      ++saves;
    }
  }
  EXPECT_GT(saves, 5);
  EXPECT_EQ(run.files.size(), 3u);  // in, out, m: no temporary left
  script.files = run.files;
  RunResult again = RunTavo(script);
  EXPECT_EQ(Count(again, "ReadFile in"), 0);
  EXPECT_EQ(Count(again, "FlushFileBuffers out"), 0);
  EXPECT_EQ(Count(again, "MoveFileExA m."), 2);  // before reading, and at the end
  EXPECT_EQ(again.exitCode, 0u);
}

// Ctrl-C, a closed console or a request to end stops the run after the read under
// way: the map is saved with what was read, the result files are written, and the
// process ends with the code the event asks for, without the final report.
TEST(RescueMap, AConsoleStopSavesTheMapAndEndsAsItAsks) {
  const std::pair<DWORD, UINT> kEnds[] = {
      {CTRL_C_EVENT, 130}, {CTRL_CLOSE_EVENT, 129}, {CTRL_SHUTDOWN_EVENT, 143}};
  for (auto [event, exitCode] : kEnds) {
    Script script = MappedCopy(Pattern(8 * 32768));
    script.commandLine = "tavo in out --json=r";  // the copy's own map
    script.controlEventAtRead = 3;
    script.controlEvent = event;
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_EQ(Count(run, "ReadFile in"), 3);
    EXPECT_NE(run.files["out.tavo-map"].Content().find("0x00000000  0x00018000  +\n"),
              std::string::npos);
    EXPECT_NE(
        run.files["r"].Content().find("\"exitCode\": " + std::to_string(run.exitCode)),
        std::string::npos);
    EXPECT_EQ(run.out.find("Elapsed time"), std::string::npos);
    EXPECT_EQ(Count(run, "SetConsoleCtrlHandler remove"), 1);
  }
}

// A failed block becomes '*', and is read a sector at a time in the same pass: a
// sector that fails is '-', one not ready is asked again in place. An input without
// a size is mapped up to where reading got, and a second run checks the rescued bytes
// below where the first stopped, then reads on from there.
TEST(RescueMap, FailuresAreNarrowedAndAnUnsizedInputIsMappedAsFarAsRead) {
  Script script = MappedCopy(Pattern(5000));
  script.files["in"].sizeError = ERROR_INVALID_FUNCTION;
  script.commandLine = "tavo in out --map=m /2";
  script.files["in"].reads[2048] = {Fail(ERROR_CRC), Fail(ERROR_NOT_READY)};
  script.files["in"].reads[2560] = {Fail(ERROR_CRC)};
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 4u);
  EXPECT_EQ(run.files["m"].Content(),
            Heading(" /2") + "0x00000A00     -               1\n" +
                Areas("0x00000000  0x00000A00  +\n0x00000A00  0x00000200  -\n"
                      "0x00000C00  0x00000788  +\n"));
  EXPECT_EQ(Count(run, "ReadFile in at=2048 size=512"), 2);  // not ready, then read
  script.files = run.files;
  script.files["in"].reads.clear();
  script.files["in"].sizeError = ERROR_INVALID_FUNCTION;  // the run keeps content only
  RunResult again = RunTavo(script);
  EXPECT_EQ(again.exitCode, 0u);
  EXPECT_EQ(again.files["out"].Content(), Pattern(5000));
  // The check below where reading stopped, on from 5000, then the bad sector.
  EXPECT_EQ(Count(again, "ReadFile in"), 3);
}

// A map may send the reads of an input without a size anywhere: areas 2^62 bytes out
// make the profile's zones larger, not more numerous.
TEST(RescueMap, ReadsFarOutKeepTheProfileToABoundedNumberOfZones) {
  const uint64_t kFar = uint64_t{1} << 62;
  Script script = MappedCopy("");
  script.commandLine = "tavo in out --map=m --json=r.json";
  script.files["in"].origin = kFar;
  script.files["in"].bytes = Pattern(4096);
  script.files["in"].length = kFar + 4096;
  script.files["in"].sizeError = ERROR_INVALID_FUNCTION;
  script.files["out"] = script.files["in"];
  script.files["out"].sizeError = 0;
  script.files["m"] =
      FileOf("0 ? 1\n0 0x4000000000000000 +\n0x4000000000000000 4096 ?\n");
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  const std::string json = run.files["r.json"].Content();
  size_t zones = 0;
  for (size_t at = 0; (at = json.find("{\"offset\": ", at)) != std::string::npos; ++at)
    ++zones;
  EXPECT_GT(zones, 0u) << json.substr(0, 2000);
  EXPECT_LE(zones, static_cast<size_t>(kMaxZones));
}

}  // namespace
}  // namespace scripted
