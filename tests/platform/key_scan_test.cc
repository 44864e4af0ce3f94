#include <string>

#include "../../src/platform/posix/posix_layer.h"
#include "gtest/gtest.h"

namespace {

// What one look at the terminal finds in the bytes that arrived, given in pieces
// separated by '|' (read() may cut anywhere).
std::string Scan(const std::string& pieces) {
  KeyScan scan = {KeyScan::kGround, false, false};
  size_t start = 0;
  for (size_t bar; (bar = pieces.find('|', start)) != std::string::npos;
       start = bar + 1) {
    ScanKeyBytes(&scan, reinterpret_cast<const uint8_t*>(&pieces[start]), bar - start);
  }
  ScanKeyBytes(&scan, reinterpret_cast<const uint8_t*>(&pieces[start]),
               pieces.size() - start);
  FinishKeyScan(&scan);
  return std::string(scan.escape ? "esc" : "") + (scan.space ? "space" : "");
}

TEST(KeyScan, OnlyALoneEscapeIsTheEscapeKey) {
  EXPECT_EQ(Scan("\x1b"), "esc");
  EXPECT_EQ(Scan("ab\x1b"), "esc");
  EXPECT_EQ(Scan("\x1b\x1b"), "esc");  // pressed twice while nobody looked
  EXPECT_EQ(Scan("\x1b[A"), "");       // arrow
  EXPECT_EQ(Scan("\x1b|[|A"), "");     // arrow cut by read()
  EXPECT_EQ(Scan("\x1b[15~"), "");     // F5
  EXPECT_EQ(Scan("\x1b[1;5A"), "");    // Ctrl-arrow
  EXPECT_EQ(Scan("\x1bOP"), "");       // F1
  EXPECT_EQ(Scan("\x1bx"), "");        // Alt-x
  EXPECT_EQ(Scan("\x1b[1;5"), "");     // a sequence cut short
}

TEST(KeyScan, SpaceOutsideSequences) {
  EXPECT_EQ(Scan(" "), "space");
  EXPECT_EQ(Scan("a b"), "space");
  EXPECT_EQ(Scan("\x1b[A \x1b"), "escspace");
  EXPECT_EQ(Scan("\x1b "), "");     // Alt-space
  EXPECT_EQ(Scan("\x1b[1 q"), "");  // a blank inside a control sequence
  EXPECT_EQ(Scan("\x1bO "), "");
}

}  // namespace
