// The run-wide record: settings from the command line, the two endpoints, the read
// loop's counters and the clock, shared by every step of the one run.
#ifndef TAVO_INCLUDE_RUN_RECORD_H_
#define TAVO_INCLUDE_RUN_RECORD_H_

#include <cstdint>
#include <string>

#include "platform.h"

constexpr int kMaxName = 255;  // longest input or output name, in bytes

// What a command line asks for: a run, or instead the help or the version.
enum class Asked { kRun, kHelp, kVersion };

struct RunRecord {
  // Settings, final once start-up has read the command line.
  int32_t BufferSize = 32768;  // bytes per read request
  bool ResumeMode = true;
  bool NoResume = false;
  bool BackupMode = false;
  uint32_t OpenFlags = 0;  // FILE_FLAG_* for the input open
  bool EndlessMode = false;
  bool OutputEnabled = false;
  bool BadCommandLine = false;
  std::string Refusal;  // why the command line is bad: its first fault, in words
  uint8_t PositionalCount = 0;
  Asked Answer = Asked::kRun;
  char InputName[kMaxName + 1] = {};
  char OutputName[kMaxName + 1] = {};
  int32_t NtPlatform = 1;  // 0 on the Windows 9x family: no FILE_SHARE_DELETE there

  // Endpoints.
  char InputPath[kMaxName + 1] = {};  // InputName after drive and disk mapping
  HANDLE Input = INVALID_HANDLE_VALUE;
  HANDLE Output = INVALID_HANDLE_VALUE;
  // The output's open made it: it did not exist before.
  bool OutputCreated = false;
  // A disk or a partition: its length is the device's, whatever was copied to it.
  bool OutputIsDevice = false;
  int64_t InputSize = 0;     // 0 when the size could not be had
  int64_t OutputLength = 0;  // when opened in resume mode; 0 when it could not be had
  int64_t ResumeOffset = 0;  // OutputLength rounded down to a sector of the input
  // 512, or a disk's larger sector: what a resume is rounded to, and checked in.
  int64_t InputSector = 512;

  // Read loop.
  int64_t Position = 0;    // offset of the next read, and of its write-through
  int32_t ReadCount = 0;   // read calls, retries included
  int32_t ErrorCount = 0;  // failed read calls, retries included
  // Not next to Position, which moves on with it: side by side the two updates are
  // paired into vector arithmetic, which costs the loop more than two adds.
  int64_t BytesRead = 0;
  bool HadErrors = false;
  bool HadWriteErrors = false;  // a block is missing from the output
  // A copy whose map is kept says through these what the map marks rescued.
  bool MapKept = false;
  bool MapWhole = false;         // the map marks the whole input rescued
  bool InputIncomplete = false;  // a block was stepped over, or the input ended early
  bool StopRequested = false;    // the loop ends after the current request
  bool Retrying = false;
  int32_t LastReadBytes = 0;
  uint8_t FillByte = 0x14;  // backup pre-fill; '#' after ERROR_CRC, '%' after others
  LPVOID BackupContext = nullptr;
  // Ctrl-C, a closed console or a request to terminate, once the run takes them
  // itself: the exit code the run ends with after its next request; 0 for none.
  volatile int32_t StopSignal = 0;

  // Clock: GetTickCount readings, compared as signed 32-bit differences.
  uint32_t StartTick = 0;
  uint32_t LastReportTick = 0;
  int64_t BytesAtLastReport = 0;
  int32_t ElapsedMs = 0;

  // Uncached file reads and result files, asked for by long options.
  bool DirectReads = false;           // --direct: files too are read past the cache
  bool InputUncached = false;         // a disk, or a file opened uncached
  char JsonName[kMaxName + 1] = {};   // --json: "" for none
  char ChartName[kMaxName + 1] = {};  // --chart: "" for none
};

extern RunRecord Run;
extern uint8_t* ReadBuffer;  // BufferSize bytes, zero-filled and page-aligned

#endif  // TAVO_INCLUDE_RUN_RECORD_H_
