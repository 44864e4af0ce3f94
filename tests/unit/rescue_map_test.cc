// The map's pieces: the parser against broken maps and other tools' spellings, the
// area list against a byte-by-byte model, and the writer read back by the parser. (The
// writer's exact bytes are the cli transcripts' maps.)
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "map_areas.h"

namespace rescue {
namespace {

bool Parse(const std::string& text, ParsedMap& map, MapFault& fault) {
  return ParseMap(text.data(), text.size(), map, fault);
}

// (Maps cut short, of unknown statuses or overlapping: the cli case map_files.)
TEST(MapParser, RefusesWhatDoesNotParseNamingTheLine) {
  struct Broken {
    std::string text;
    int line;
    std::string reason;
  };
  const std::string head = "# made by hand\n0 ? 1\n";  // areas start at line 3
  const std::vector<Broken> cases = {
      {"# only comments\n\n", 3, "no status line"},
      {"0 ? 0\n", 1, "not a status line"},                    // the pass counts from 1
      {"0x10000000000000000 ? 1\n", 1, "not a status line"},  // 2^64 is no 0
      {std::string(kMaxMapLine - 1, '#') + "\n\n" + std::string(kMaxMapLine + 1, '#'),
       3, "longer"},
      {head + "0 100 ++\n", 3, "unknown status"},
      {head + "0 100 + 7\n", 3, "not an area"},
      {head + "0 09 +\n", 3, "not an area"},  // 0 makes it octal
      {head + "0 -5 +\n", 3, "not an area"},
      {head + "0 0x +\n", 3, "not an area"},
      {head + "0 9223372036854775808 +\n", 3, "not an area"},
      {head + "0 18446744073709551616 +\n", 3, "not an area"},
      {head + "0 0x4000000000000000 +\n0x4000000000000000 0x4000000000000000 ?\n", 4,
       "beyond the largest offset"},
      {head + "0 0x7FFFFFFFFFFFFFFF +\n1 1 +\n", 4, "out of order"},
      {head + "0 0 +\n", 3, "no bytes"},
      {head + "100 50 +\n", 3, "gap"},  // not from 0
      {head + std::string("0 100 +\0\n", 10), 3, "NUL"},
  };
  for (const Broken& broken : cases) {
    ParsedMap map;
    MapFault fault = {0, ""};
    EXPECT_FALSE(Parse(broken.text, map, fault)) << broken.text;
    EXPECT_EQ(fault.line, broken.line) << broken.text;
    EXPECT_NE(fault.reason.find(broken.reason), std::string::npos)
        << broken.text << " -> " << fault.reason;
  }
}

// Other tools' maps: comments after blanks, every status and stage, numbers in
// decimal, hexadecimal and octal, blank lines and CR LF line ends.
TEST(MapParser, ReadsEverySpellingAndMergesNeighbours) {
  const std::string text =
      "# Mapfile. Created by another tool\r\n"
      "\n"
      "0x00120000     ?               1   # copying\r\n"
      "#      pos        size  status\n"
      "0x00000000  0x00117000  +\n"
      "1142784 512 -\n"
      "0x00117200\t010000 /\n"
      "0x00118200  0x00007E00  *\n"
      "0x00120000  0x00008000  ?\n"
      "0x00128000  0x00040000  ?   # the rest\n";
  ParsedMap map;
  MapFault fault;
  ASSERT_TRUE(Parse(text, map, fault)) << fault.line << " " << fault.reason;
  EXPECT_EQ(map.statusLine, 3);
  EXPECT_EQ(map.lastAreaLine, 10);
  EXPECT_EQ(map.extent, 0x168000);
  const std::vector<std::pair<int64_t, char>> expected = {
      {0, '+'}, {0x117000, '-'}, {0x117200, '/'}, {0x118200, '*'}, {0x120000, '?'}};
  const std::vector<Area> areas(map.areas.begin(), map.areas.end());
  ASSERT_EQ(areas.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(areas[i].pos, expected[i].first);
    EXPECT_EQ(areas[i].status, expected[i].second);
  }
  EXPECT_EQ(areas[2].size, 4096);  // octal 010000
  for (const char* stage : {"F", "G", "+", "/"}) {
    EXPECT_TRUE(Parse(std::string("0 ") + stage + " 3\n", map, fault)) << stage;
  }
  // Older tools write the status line without the pass.
  ASSERT_TRUE(Parse("0x00000000     ?\n0 0x7FFFFFFFFFFFFFFF ?\n", map, fault));
  EXPECT_EQ(map.extent, INT64_MAX);
}

// Random statuses over random ranges agree with a status kept for every byte; the
// list stays ordered, without gaps, neighbours merged; the text the writer makes
// of it reads back to the same file statuses, and the totals count them.
TEST(AreaList, AgreesWithAByteModelAndReadsBack) {
  const char kStatuses[] = {kRescued,   kNonTried,  kNonTrimmed,
                            kBadSector, kUnflushed, kBadNow};
  std::mt19937 random(21);
  for (int round = 0; round < 200; ++round) {
    const int64_t size = 1 + random() % 300;
    AreaList areas = {{0, size, kNonTried}};
    std::string model(size, kNonTried);
    for (int step = 0; step < 20; ++step) {
      int64_t pos = random() % size, length = 1 + random() % (size - pos);
      char status = kStatuses[random() % sizeof kStatuses];
      SetStatus(areas, pos, length, status);
      model.replace(pos, length, length, status);
      int64_t at = 0;
      char previous = 0;
      for (const Area& area : areas) {
        ASSERT_TRUE(area.pos == at && area.size > 0 && area.status != previous);
        ASSERT_EQ(model.substr(at, area.size), std::string(area.size, area.status));
        at = area.end(), previous = area.status;
      }
      ASSERT_EQ(at, size);
    }
    std::string text = FormatMap("# heading\n", areas, size);
    ParsedMap map;
    MapFault fault;
    ASSERT_TRUE(Parse(text, map, fault) && map.extent == size) << text;
    Totals totals = Count(areas, size);
    for (const Area& area : map.areas)
      for (int64_t b = area.pos; b < area.end(); ++b)
        ASSERT_EQ(FileStatus(model[b]), area.status);
    EXPECT_EQ(totals.bytes[0] + totals.bytes[1] + totals.bytes[2] + totals.bytes[4],
              size);
    EXPECT_EQ(static_cast<size_t>(totals.areas[0] + totals.areas[1] + totals.areas[2] +
                                  totals.areas[4]),
              map.areas.size());
  }
}

}  // namespace
}  // namespace rescue
