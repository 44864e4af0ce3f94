// Whole runs of tavo on the scripted platform, each in a child, and parts of stdout.
#ifndef TAVO_TESTS_SCRIPTED_HARNESS_H_
#define TAVO_TESTS_SCRIPTED_HARNESS_H_

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "gtest/gtest.h"
#include "scripted_platform.h"

namespace scripted {

// A crash, a hang or a runaway fails the current test.
inline RunResult RunTavo(const Script& script) {
  int fds[2] = {-1, -1};
  pid_t pid = pipe(fds) == 0 ? fork() : -1;
  if (pid == 0)
    alarm(20), RunScripted(script, fds[1]);  // 20 s: a child still going is stuck
  close(fds[1]);
  std::string wire;
  char chunk[65536];
  for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) wire.append(chunk, n);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  RunResult result;
  if (!DecodeResult(wire, result)) ADD_FAILURE() << "the run ended without ExitProcess";
  EXPECT_EQ(result.stopReason, "");
  return result;
}

// Whether text holds part; a failure shows the text.
inline ::testing::AssertionResult Has(const std::string& text,
                                      const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

inline ReadOutcome Fail(DWORD code, int64_t bytes = 0) { return {false, code, bytes}; }
inline KeyScript PressedAt(int query) {  // the "pressed since the last query" bit
  std::vector<SHORT> byQuery(query + 1, 0);
  byQuery[query] = 1;
  return {byQuery, -1};
}

// A period of 89: a block at the wrong place, or twice, shows.
inline std::string Pattern(size_t n) {
  std::string bytes;
  for (size_t i = 0; i < n; ++i) bytes += static_cast<char>('!' + i % 89);
  return bytes;
}

inline FileSpec FileOf(const std::string& bytes) {
  FileSpec file;
  return file.length = (file.bytes = bytes).size(), file;
}

// A run of "tavo " + arguments whose file "in" holds input.
inline Script Scripted(const std::string& arguments, const std::string& input) {
  Script script;
  script.commandLine = "tavo " + arguments;
  script.files["in"] = FileOf(input);
  return script;
}

inline int Count(const RunResult& run, const std::string& prefix) {
  return std::count_if(run.calls.begin(), run.calls.end(),
                       [&](const std::string& call) { return !call.rfind(prefix, 0); });
}

// The Final report, with its leading empty line when reads failed.
inline std::string ReportText(const std::string& out) {
  size_t at = std::min(out.size(), out.rfind("\rElapsed time: "));
  return out.substr(out.find("Total errors", at) != std::string::npos ? at - 2 : at);
}

// What the read loop wrote, up to the report.
inline std::string LoopText(const std::string& out) {
  size_t from = std::min(out.size(), out.find("Hit ESC to break\r\n") + 18);
  return out.substr(from, out.size() - ReportText(out).size() - from);
}

}  // namespace scripted

#endif  // TAVO_TESTS_SCRIPTED_HARNESS_H_
