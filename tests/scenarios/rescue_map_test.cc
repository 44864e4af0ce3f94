// Whole runs with a rescue map: a console stop saves it, and inputs that fail or have
// no size are mapped as far as reading got. (The output flushed before the map claims
// it: the cli case slow_copies, whose output loses what it had not stored.)
#include "harness.h"
#include "profile.h"

namespace scripted {
namespace {

Script MappedCopy(const std::string& input) {
  Script script = Scripted("in out --map=m", input);
  script.tickStep = 10;
  return script;
}

// A closed console stops the run after the read under way: the map is saved with what
// was read, the result files are written, and the process ends with the code the event
// asks for, without the final report. (Each signal's code, and the map's '+' areas
// against the input: the cli case stopped_copies.)
TEST(RescueMap, AConsoleStopSavesTheMapAndEndsAsItAsks) {
  Script script =
      Scripted("in out --json=r", Pattern(8 * 32768));  // the copy's own map
  script.controlEventAtRead = 3;
  script.controlEvent = CTRL_CLOSE_EVENT;
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 129u);
  EXPECT_EQ(Count(run, "ReadFile in"), 3);
  EXPECT_TRUE(Has(run.files["out.tavo-map"].Content(), "0x00000000  0x00018000  +\n"));
  EXPECT_TRUE(Has(run.files["r"].Content(), "\"exitCode\": 129"));
  EXPECT_EQ(run.out.find("Elapsed time"), std::string::npos);
  EXPECT_EQ(Count(run, "SetConsoleCtrlHandler remove"), 1);
}

// A failed block becomes '*', and is read a sector at a time in the same pass: a
// sector that fails is '-', one not ready is asked again in place. An input without
// a size is mapped up to where reading got, and a second run checks the rescued bytes
// below where the first stopped, then reads on from there. Zeros that a share handed
// over as data are '+' in the map all the same: the check finds them and reads again.
TEST(RescueMap, FailuresAreNarrowedAndAnUnsizedInputIsMappedAsFarAsRead) {
  Script script = MappedCopy(Pattern(5000));
  script.files["in"].sizeError = ERROR_INVALID_FUNCTION;
  script.commandLine = "tavo in out --map=m /2";
  script.files["in"].reads[2048] = {Fail(ERROR_CRC), Fail(ERROR_NOT_READY)};
  script.files["in"].reads[2560] = {Fail(ERROR_CRC)};
  RunResult run = RunTavo(script);
  EXPECT_EQ(run.exitCode, 4u);
  // The times of the heading; the rest of it is in the cli transcripts' maps.
  const std::string map = run.files["m"].Content();
  EXPECT_TRUE(Has(map, "\n# Current time: 2026-01-02 03:04:05\n"));
  EXPECT_EQ(map.substr(map.find("\n0x") + 1),
            "0x00000A00     -               1\n#      pos        size  status\n"
            "0x00000000  0x00000A00  +\n0x00000A00  0x00000200  -\n"
            "0x00000C00  0x00000788  +\n");
  EXPECT_EQ(Count(run, "ReadFile in at=2048 size=512"), 2);  // not ready, then read
  script.files = run.files;
  script.files["in"].reads.clear();
  script.files["in"].sizeError = ERROR_INVALID_FUNCTION;  // the run keeps content only
  RunResult again = RunTavo(script);
  EXPECT_EQ(again.exitCode, 0u);
  EXPECT_EQ(again.files["out"].Content(), Pattern(5000));
  // The check below where reading stopped, on from 5000, then the bad sector.
  EXPECT_EQ(Count(again, "ReadFile in"), 3);
  script.files["out"].bytes.replace(1024, 1024, 1024, '\0');
  RunResult zeros = RunTavo(script);
  EXPECT_TRUE(Has(zeros.out,
                  "00000000.00000400: Output differs from the input; copying "
                  "again from here\r\n"));
  EXPECT_EQ(zeros.files["out"].Content(), Pattern(5000));
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
