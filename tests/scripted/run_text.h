// Cutting a run's stdout into the parts that scenarios compare: the text before the
// read loop, the loop's own text, and the Final report.
#ifndef TAVO_TESTS_SCRIPTED_RUN_TEXT_H_
#define TAVO_TESTS_SCRIPTED_RUN_TEXT_H_

#include <string>

namespace scripted {

// Everything after the three-line Banner (an empty line, the name and version line,
// the owner line), or "<no banner>".
std::string AfterBanner(const std::string& out);

// What the read loop wrote: after "Reading... Hit ESC to break\r\n", up to the
// Final report (whose leading empty line, written after failed reads, is not the
// loop's). "<no loop>" when either end is missing.
std::string LoopText(const std::string& out);

// The Final report, with its leading empty line when failed reads wrote one.
std::string ReportText(const std::string& out);

// Control characters made visible, for messages and recorded properties.
std::string Visible(const std::string& text);

}  // namespace scripted

#endif  // TAVO_TESTS_SCRIPTED_RUN_TEXT_H_
