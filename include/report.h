// The lines that give byte counts, and the final report.
#ifndef TAVO_INCLUDE_REPORT_H_
#define TAVO_INCLUDE_REPORT_H_

#include <cstdint>

// label, then the count in bytes, Kb (1 decimal) and Mb (2 decimals), a line end.
void WriteByteCountLine(const char* label, int64_t bytes);

// Elapsed time, bytes read, rates and errors of the run, then the exit code.
[[noreturn]] void WriteFinalReport();

#endif  // TAVO_INCLUDE_REPORT_H_
