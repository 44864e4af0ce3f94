// The lines that give byte counts, and the final report.
#ifndef TAVO_INCLUDE_REPORT_H_
#define TAVO_INCLUDE_REPORT_H_

#include <cstddef>
#include <cstdint>

// label, then the count in bytes, Kb (1 decimal) and Mb (2 decimals), a line end.
void WriteByteCountLine(const char* label, int64_t bytes);

// Elapsed time, bytes read, rates and errors of the run, then the exit code.
[[noreturn]] void WriteFinalReport();

// The run's rate as the Transfer rate line gives it first: Mb (MiB) per second, one
// decimal, written to out (kNumberTextMax bytes, no NUL); 0, and nothing written,
// when the run measured no time. Result files quote it, so that they agree with the
// console to the last digit.
size_t FormatTransferRate(char* out);

// With a profile kept, one line: the requests by time band, and those that failed.
void WriteRequestTimesLine();

#endif  // TAVO_INCLUDE_REPORT_H_
