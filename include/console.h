// Console output: every byte tavo shows goes through one 128-byte channel to
// standard output. A statement is any number of item writes closed by WriteLineEnd,
// WriteBlockLineEnd or FlushOutput; the check for a failed write comes after each.
// Text is written as a Windows console shows it, and reaches standard output in the
// lines of the platform's (console_lines.h).
#ifndef TAVO_INCLUDE_CONSOLE_H_
#define TAVO_INCLUDE_CONSOLE_H_

#include <cstddef>
#include <cstdint>

#include "platform.h"
#include "real.h"

void WriteText(const char* text);
void WriteChar(char c);
void WriteInteger(int32_t value);
void WriteBoolean(uint8_t value);  // any nonzero byte is TRUE
void WriteReal(Real value, int decimals);
void WriteLineEnd();       // "\r\n", then flush and check
void WriteBlockLineEnd();  // the same, but redirected it waits for a full block
void FlushOutput();        // flush and check, no line end

// Fixed-width lowercase hexadecimal: 4, 8 and 17 ("hhhhhhhh.llllllll") characters.
struct HexText {
  char text[18];
};
HexText HexWord(uint16_t value);
HexText HexDword(uint32_t value);
HexText HexOffset(int64_t value);

// Number text as the items above write it; out must hold kNumberTextMax bytes. They
// return the length and write no terminating NUL.
constexpr size_t kNumberTextMax = 64;
size_t FormatInteger(int32_t value, char* out);
size_t FormatReal(Real value, int decimals, char* out);  // decimals 0 to 20

// After the number of a failed call's error code: " (words)", the system's words for
// it, where the platform has them (ErrorWords); nothing on Windows.
void WriteErrorWords(DWORD code);

// One line to standard error: "tavo: ", text, and the line end of the platform's own
// programs there (ErrorLineEnd); written at once, apart from the output channel. A
// failure to write it changes nothing: standard output still tells what happened.
void WriteErrorLine(const char* text);

// Ends the process with exitCode after passing on what is still buffered; a failure
// to write it is ignored at this point.
[[noreturn]] void ExitWithCode(UINT exitCode);

// Has ExitWithCode call hook once, with the exit code, before the process ends:
// every end of a run passes there, the fatal-error path included. The hook added last
// runs first.
void AddExitHook(void (*hook)(UINT exitCode));

// The fatal-error path: one line (message, "\r\n") and exit code 1, or the run's 3
// or 4 where its copy has already failed.
[[noreturn]] void FatalError(const char* message);

// The fault handler that start-up hands to PrepareRealArithmetic.
[[noreturn]] void EndOnRealArithmeticFault();

#endif  // TAVO_INCLUDE_CONSOLE_H_
