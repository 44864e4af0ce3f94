#include "texts.h"

#define TAVO_COPYRIGHT "Copyright (c) 2026 the tavo developers"

// Every text is followed by one more line end when written. The version is the
// build's (project() in CMakeLists.txt), which the packages carry too.
const char kBannerText[] =
    "\r\n"
    "Files reading benchmark and download. Version " TAVO_VERSION "\r\n" TAVO_COPYRIGHT;

// The first line is the program's name and version alone, as scripts expect it.
const char kVersionText[] =
    "tavo " TAVO_VERSION "\r\n" TAVO_COPYRIGHT
    "\r\n"
    "MIT licence: free to use, change and pass on, with no warranty";

// Example lines: what each does in 35 columns, the command from column 36.
// clang-format off
const char kUsageText[] =
    "\r\n"
    "Usage: tavo <input> [<output>] [/512] [/kb#] [/c|/r] [/b] [/p] [/i]\r\n"
    "  /c   continue - resume network file download (same as /r)\r\n"
    "  /512 using 512 bytes buffer for per-sector reading\r\n"
    "  /kb# set buffer size to kb# kilobytes\r\n"
    "\r\n"
    "Example commands:\r\n"
    "  Measure network speed            tavo \\\\server\\share\\movie.avi\r\n"
    "  Measure floppy speed             tavo a:\\io.sys\r\n"
    "  Copy file using 3mb buffer       tavo i:AVSEQ01.DAT c:AVSEQ01.DAT /3000 /r\r\n"
    "  Restartable file copy [default]  tavo bigfile outfile /r\r\n"
    "  Write to new file                tavo bigfile /n newfile\r\n"
    "  Download a file over network     tavo \\\\server\\share\\movie.avi movie.avi /r\r\n"
    "  Recover some data from floppy    tavo a:\\badarc.rar c:\\bad.rar /r /512\r\n"
    "  Direct read of C: drive          tavo c:   // supported only under NT\r\n"
    "  Direct read of second HDD        tavo 1:   // open physical drive\r\n";

// What --help adds to the Usage text: the options beyond the slash ones.
const char kLongOptionsText[] =
    "\r\n"
    "Long options (a file whose name begins with -- is given as ./--name):\r\n"
    "  --help       this text\r\n"
    "  --version    \"tavo VERSION\", then the copyright and the licence\r\n"
    "  --map=FILE   keep a rescue map in FILE; a rerun reads only what it lacks\r\n"
    "  --direct     read a file past the cache, as disks are read\r\n"
    "  --json=FILE  write the results to FILE as JSON when the run ends\r\n"
    "  --chart=FILE draw the read speed along the input as SVG in FILE\r\n"
    "\r\n"
    "Rescue a failing disk, the good data first; run again to retry what failed:\r\n"
    "  tavo 1: disk.img --map=disk.map\r\n";
// clang-format on
