// Names as result files carry them, and the profile's zone sizes.
#include <string>

#include "gtest/gtest.h"
#include "profile.h"
#include "text_escape.h"

namespace {

std::string Json(const char* text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string Xml(const char* text) {
  std::string out;
  AppendXmlText(out, text);
  return out;
}

// Every byte sequence that is not strict UTF-8 costs one U+FFFD per byte it spends,
// and the bytes after it are read afresh.
TEST(ResultText, NamesOfAnyBytesBecomeValidJsonAndXml) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  // clang-format off
  const struct { const char* name; std::string json, xml; } cases[] = {
      {"plain.bin", "\"plain.bin\"", "plain.bin"},
      {"q\"b\\c", "\"q\\\"b\\\\c\"", "q&quot;b\\c"},
      {"a\x01\x1f\x7f" "b", "\"a\\u0001\\u001f\\u007fb\"", "a" + r + r + "\x7f" "b"},
      {"t\tn\n", "\"t\\u0009n\\u000a\"", "t\tn\n"},
      {"<&>", "\"<&>\"", "&lt;&amp;&gt;"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\xBE", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\xBE\"",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\xBE"},                        // é € 💾 kept
      {"\xFF\xFE", "\"" + r + r + "\"", r + r},                        // never lead bytes
      {"\xEF\xBF\xBE\xEF\xBF\xBF", "\"\xEF\xBF\xBE\xEF\xBF\xBF\"", r + r},  // U+FFFE U+FFFF
      {"\xC0\x80" "x", "\"" + r + r + "x\"", r + r + "x"},               // overlong NUL
      {"\xE0\x80\xAF", "\"" + r + r + r + "\"", r + r + r},            // overlong '/'
      {"\xED\xA0\x80", "\"" + r + r + r + "\"", r + r + r},            // a surrogate
      {"\xF4\x90\x80\x80", "\"" + r + r + r + r + "\"", r + r + r + r},  // past U+10FFFF
      {"\xF8\x88\x80\x80\x80", "\"" + r + r + r + r + r + "\"", r + r + r + r + r},
      {"\xE2\x82", "\"" + r + r + "\"", r + r},                        // cut at the end
      {"\xE2" "a", "\"" + r + "a\"", r + "a"},                         // cut by ASCII
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Json(c.name), c.json) << c.name;
    EXPECT_EQ(Xml(c.name), c.xml) << c.name;
  }
}

TEST(ResultText, AboutTwoHundredZonesNoneUnderOneMiB) {
  const int64_t MiB = 1 << 20, grain = 64 << 10;
  EXPECT_EQ(ZoneSizeFor(0), 64 * MiB);  // no size: a zone per fixed amount
  EXPECT_EQ(ZoneSizeFor(1), MiB);
  EXPECT_EQ(ZoneSizeFor(200 * MiB), MiB);
  EXPECT_EQ(ZoneSizeFor(200 * MiB + 200), MiB + grain);
  for (int64_t size : {int64_t{1} << 30, int64_t{1000204886016}, int64_t{3} << 40,
                       int64_t{987654321987}}) {
    int64_t zone = ZoneSizeFor(size), zones = (size + zone - 1) / zone;
    EXPECT_EQ(zone % grain, 0) << size;
    EXPECT_GE(zones, 190) << size;
    EXPECT_LE(zones, 200) << size;
  }
}

}  // namespace
