// Whole runs with a rescue map: refused maps touch nothing, an input that ends early
// gives back what it delivered last, the output is flushed before the map claims it,
// and inputs that fail or have no size are mapped as far as reading got.
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

TEST(RescueMap, ABadMapIsRefusedBeforeAnythingIsReadOrWritten) {
  struct BadMap {
    std::string map, line;
  } cases[] = {
      {"0 + 1\n0 1024 +\n", "line 2: the map covers"},  // not the input's size
      {"0 + 1\n", "line 1: the map covers"},            // no areas at all
      {"0 + 1\n0 1536 +\n1536 512 ?\n", "line 3: areas rescued up to"},  // beyond out
      {"0 + 1\n0 2048 +", "line 2: cut short"},
  };
  for (const BadMap& c : cases) {
    SCOPED_TRACE(c.map);
    Script script = MappedCopy(Pattern(2048));
    script.files["m"] = FileOf(c.map);
    script.files["out"] = FileOf(std::string(1024, 'o'));
    RunResult run = RunTavo(script);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.out.find("     Bad map file \"m\", " + c.line), std::string::npos)
        << run.out;
    EXPECT_EQ(Count(run, "ReadFile in"), 0);
    EXPECT_EQ(Count(run, "MoveFileExA"), 0);
    EXPECT_EQ(run.files["m"].Content(), c.map);
    EXPECT_EQ(run.files["out"].Content(), std::string(1024, 'o'));
    EXPECT_EQ(run.files.count("m.42-0.tmp"), 0u);
  }
}

// A share that drops may hand over zeros as data before its early end, and the map
// calls them rescued: they were read and are in the output. The next run compares the
// rescued bytes just below where reading stopped with the input, reads again what
// differs, and ends with an identical copy.
TEST(RescueMap, ZerosHandedOverBeforeAnEarlyEndAreReadAgain) {
  const int64_t kMiB = 1 << 20;
  const std::string input = Pattern(3 * kMiB);
  std::string dropping = input;
  dropping.replace(3 * kMiB / 2, kMiB / 2, kMiB / 2, '\0');
  for (ReadOutcome end : {ReadOutcome{true, 0, 100}, Fail(ERROR_UNEXP_NET_ERR)}) {
    SCOPED_TRACE(end.ok ? "a short read" : "an ending code");
    Script script = MappedCopy(dropping);
    script.files["in"].reads[2 * kMiB] = {end};
    RunResult first = RunTavo(script);
    EXPECT_EQ(first.exitCode, 4u);
    EXPECT_NE(
        first.files["m"].Content().find(
            "0x00000000  0x002" + std::string(end.ok ? "00064" : "00000") + "  +\n"),
        std::string::npos);
    script.files = first.files;
    script.files["in"] = FileOf(input);
    RunResult again = RunTavo(script);
    EXPECT_NE(again.out.find("00000000.00180000: Output differs from the input; "
                             "copying again from here\r\n   resume downloading \"out\" "
                             "from 00000000.00180000"),
              std::string::npos);
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_TRUE(again.files["out"].Content() == input);
  }
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
  const std::string areas =
      "0x00000000  0x00000A00  +\n0x00000A00  0x00000200  -\n0x00000C00  0x00000788  "
      "+\n";
  EXPECT_EQ(run.files["m"].Content(),
            Heading(" /2") + "0x00000A00     -               1\n" + Areas(areas));
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
  for (size_t at = json.find("{\"offset\": "); at != std::string::npos;
       at = json.find("{\"offset\": ", at + 1))
    ++zones;
  EXPECT_GT(zones, 0u) << json.substr(0, 2000);
  EXPECT_LE(zones, static_cast<size_t>(kMaxZones));
}

}  // namespace
}  // namespace scripted
