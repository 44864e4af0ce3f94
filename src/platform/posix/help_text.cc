// The text "--help" shows after the Banner: the Usage text's options all explained,
// with the names a Linux user gives. Like every text, its lines end in CR LF; it is
// followed by one more line end when written.
#include "platform.h"

namespace {

// clang-format off
const char kHelpText[] =
    "\r\n"
    "Usage: tavo <input> [<output>] [/512|/1b|/2b|/4b|/N] [/c|/r|/n] [/b] [/p] [/i]\r\n"
    "\r\n"
    "Reads <input> from start to end and says how fast it read. With <output>,\r\n"
    "also copies what it reads there, each block at the offset it was read from;\r\n"
    "the same command run again continues an interrupted copy where it stopped.\r\n"
    "\r\n"
    "<input> is a file, a file on a mounted share, a block device (/dev/sdb), or\r\n"
    "a digit and a colon for a whole disk by number (0: is the first disk). An\r\n"
    "argument that begins with \"/\" is an option, or a path when it holds a second\r\n"
    "\"/\" (/dev/sdb, /mnt/share/file, //file); ./name always names a file.\r\n"
    "\r\n"
    "Options, anywhere on the command line:\r\n"
    "  /512         512 bytes (one sector) per read: a bad sector costs one\r\n"
    "               sector and no more\r\n"
    "  /1b /2b /4b  1, 2 or 4 bytes per read\r\n"
    "  /N           N KiB per read, N from 1 to 2097151: /3000 is 3072000 bytes,\r\n"
    "               /$400 (hexadecimal) 1 MiB; 32 KiB without a size option.\r\n"
    "               /512 alone is 512 bytes: /0512 is 512 KiB\r\n"
    "  /c, /r       continue an interrupted copy (the default): from its map\r\n"
    "               (OUTPUT.tavo-map, kept until the copy is whole), retrying what\r\n"
    "               failed; without one, from the output's length once its last\r\n"
    "               MiB is checked against the input (a disk: from 0)\r\n"
    "  /n           write the output from offset 0 instead, over what it holds\r\n"
    "  /b           read the backup stream: a 20-byte header, then the content\r\n"
    "  /p           open the input with POSIX semantics (no effect on Linux)\r\n"
    "  /i           endless: only ESC ends the run, not the input's end or an\r\n"
    "               error; each read gets a line\r\n"
    "\r\n"
    "While tavo reads, ESC ends the run and SPACE shows a fresh progress line.\r\n"
    "A read that fails gets a line with its offset and its gle, the Windows error\r\n"
    "code that stands for the failure (23: an unreadable sector), and reading\r\n"
    "goes on with the next block.\r\n"
    "\r\n"
    "Examples:\r\n"
    "  tavo bigfile                          how fast does a file read?\r\n"
    "  tavo /dev/sdb                         a whole disk, uncached (as root)\r\n"
    "  tavo 0:                               the first disk, by number\r\n"
    "  tavo /mnt/share/movie.avi movie.avi   copy from a mounted share; the same\r\n"
    "                                        command again resumes it\r\n"
    "  tavo bigfile copy /n /3000            copy from scratch, 3000 KiB per read\r\n"
    "  tavo /dev/sdb rescue.img /512         save what a damaged disk still reads\r\n"
    "  tavo rescue.img /dev/sdc /n           write an image to a disk\r\n"
    "\r\n"
    "Exit codes: 0 read or copied whole; 1 a bad command line, or a fatal error;\r\n"
    "2 the input or the output cannot be opened, or the output is no copy of the\r\n"
    "input; 3 a write to the output failed; 4 the input was not read whole (ESC\r\n"
    "during a copy included); 129, 130, 143 ended by SIGHUP, Ctrl-C, SIGTERM.\r\n"
    "All of it, each error code included: man tavo\r\n";
// clang-format on

}  // namespace

const char* HelpText() { return kHelpText; }
