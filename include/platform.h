// The platform seam. The program's code calls the Win32 functions by their Windows
// names; on Windows they come from windows.h and winioctl.h, elsewhere from a platform
// layer picked at link time. The rules below are the only platform differences the
// program asks about that Win32 has no call for.
#ifndef TAVO_INCLUDE_PLATFORM_H_
#define TAVO_INCLUDE_PLATFORM_H_

#include <string>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>  // DeviceIoControl's disk requests
#else
#include "win32_subset.h"
#endif

// True when an argument that begins with "/" and is neither an option nor a number
// names a file. Windows paths never begin with "/", so there it is always false;
// POSIX absolute paths do, and contain a second "/" ("/dev/sdb", "//file").
bool SlashArgumentIsPath(const char* argument);

// True when c separates the directories of a path from each other and from the
// file's own name: "/" on POSIX; on Windows "\\" and "/", and the ":" after a drive.
bool IsPathSeparator(char c);

// The index-th argument after the program's name, counting from 0; nullptr past the
// last. Windows hands a program one command line, GetCommandLineA, which is cut by
// the command-line rules (SplitCommandLine); a POSIX layer has its argument vector
// and gives each argument as it is, whatever bytes it holds: a double quote is part
// of a name there.
const char* ProgramArgument(int index);

// True where an argument that begins with a single "-" is an option, as POSIX
// programs take it: "-h" asks for the help, "-V" for the version, any other is
// refused, and a file of such a name is given as "./-x". Windows programs take such
// an argument as a name, of a file or of nothing.
bool DashArgumentsAreOptions();

// How a line written to standard error ends: as the platform's own programs end
// theirs, "\n" on POSIX and "\r\n" on Windows.
const char* ErrorLineEnd();

// How standard output holds the lines the program writes. They are written as a
// Windows console shows them: each ends in CR LF, and a line rewritten in place (the
// Progress report) begins with a bare CR. The console channel passes them on so.
enum class ConsoleLines {
  kAsWritten,  // those bytes: every standard output of a Windows program
  kTerminal,   // LF ends a line; a bare CR goes back to rewrite it
  kLog,        // a file or a pipe: LF ends a line, every rewrite is a line of its own,
               // and no CR is written
};
ConsoleLines ConsoleLinesOf(HANDLE output);

// True when a write to standard output failed with code because nothing reads it any
// more: a pipe whose reader has gone, a terminal that was hung up. The run then goes
// on without its console; any other failure is the console's, and ends the run. A
// POSIX layer tells EPIPE, and EIO or ENXIO from a terminal; Windows programs take
// every failure as the console's.
bool ConsoleReaderGone(HANDLE output, DWORD code);

// The system's words for a Win32 error code, to follow its number in a message:
// "error 2 (No such file or directory)"; "" for none. A POSIX layer gives the words
// of the errno that the code last came from, or its own where the failure had none
// (a disk number that names no disk); Windows programs show the number alone, as they
// always have.
std::string ErrorWords(DWORD code);

// How a message names a file the program opened: as the system knows it. A POSIX
// layer shows "\\.\PhysicalDriveN" as the /dev path of that disk, or as "N:" where
// there is no such disk; other names, and every name on Windows, stand as given.
std::string ShownName(const char* name);

// The text that --help shows after the Banner, before the long options: every option
// explained, with examples of the names this platform's users give. Stored whole,
// its lines ended by CR LF; nullptr where the Usage text serves.
const char* HelpText();

// Readies the console for the run's keys, once the command line is accepted and
// before any file is opened or the clock starts. A POSIX layer opens the terminal
// for keys there and starts the process that puts its settings back however the
// program ends; forked this early, that process holds none of the program's files,
// no read buffer, and costs none of the measured time. Windows' console needs
// nothing.
void PrepareConsole();

// Sets the real arithmetic the program relies on: 64-bit significand, rounding to
// nearest, and division by zero, overflow and invalid operations trapped rather than
// turned into infinities or NaNs. A trapped fault calls onFault, which must not return.
void PrepareRealArithmetic(void (*onFault)());

// The sector of the volume that holds path: what offsets and sizes of its files'
// uncached reads must be whole multiples of; 0 when it cannot be had. A POSIX layer
// reports an uncached file's alignment as its handle's geometry instead, so there it
// is always 0.
DWORD VolumeSectorSize(const char* path);

#endif  // TAVO_INCLUDE_PLATFORM_H_
