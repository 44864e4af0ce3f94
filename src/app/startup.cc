// The run in order: command line and Banner, buffer, the output and the input, the
// resume and its check, read loop, report.
#include "app.h"
#include "console.h"
#include "endpoints.h"
#include "exit_code.h"
#include "report.h"
#include "rescue_map.h"
#include "results.h"
#include "resume_check.h"
#include "run_record.h"
#include "texts.h"
#include "transfer.h"

RunRecord Run;
uint8_t* ReadBuffer = nullptr;

namespace {

void TestPlatformFamily() {
  // Bit 31 marks the Windows 9x family, which has no FILE_SHARE_DELETE.
  if (GetVersion() & 0x80000000u) Run.NtPlatform = 0;
}

void WriteBanner() {
  WriteText(kBannerText);
  WriteLineEnd();
}

void WriteUsage() {
  WriteText(kUsageText);
  WriteLineEnd();
}

// A map records offsets of the input in the output: a backup stream has other
// offsets, an endless run no end, and without an output nothing is rescued.
void RefuseMapWithoutOffsets() {
  if (!RescueMapNamed()) return;
  if (!Run.OutputEnabled) {
    RefuseCommandLine("--map needs an output");
  } else if (Run.BackupMode) {
    RefuseCommandLine("--map cannot be used with /b");
  } else if (Run.EndlessMode) {
    RefuseCommandLine("--map cannot be used with /i");
  }
}

// What is wrong goes to standard error, where a script's log keeps it apart from
// the Usage text.
[[noreturn]] void RefuseRun() {
  WriteErrorLine(Run.Refusal.c_str());
  WriteBanner();
  WriteUsage();
  ExitWithCode(kExitFailure);
}

// The version comes first, alone on its line, for whatever reads it.
[[noreturn]] void AnswerVersion() {
  WriteText(kVersionText);
  WriteLineEnd();
  ExitWithCode(kExitWhole);
}

[[noreturn]] void AnswerHelp() {
  WriteText(HelpText() != nullptr ? HelpText() : kUsageText);
  WriteText(kLongOptionsText);
  WriteLineEnd();
  ExitWithCode(kExitWhole);
}

// The command line is read whole before anything is written, so that a refusal and
// the version each come before the Banner, or without it.
void ApplyCommandLine() {
  ReadCommandLine(ProgramArguments());
  RefuseMapWithoutOffsets();
  if (Run.BadCommandLine) RefuseRun();
  if (Run.Answer == Asked::kVersion) AnswerVersion();
  WriteBanner();
  if (Run.Answer == Asked::kHelp) AnswerHelp();
  if (Run.NoResume) Run.ResumeMode = false;
}

// Zero-filled and page-aligned: a block that a failed first read leaves untouched
// holds no stray bytes, and the kernel copies aligned buffers fastest.
void ReserveReadBuffer() {
  WriteText("   using ");
  WriteInteger(Run.BufferSize);
  WriteText(" bytes buffer");
  WriteLineEnd();
  ReadBuffer =
      static_cast<uint8_t*>(VirtualAlloc(nullptr, static_cast<SIZE_T>(Run.BufferSize),
                                         MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (ReadBuffer == nullptr)
    FatalError("Fatal error: not enough memory for the read buffer");
}

}  // namespace

void RunProgram() {
  PrepareRealArithmetic(EndOnRealArithmeticFault);
  TestPlatformFamily();
  ApplyCommandLine();
  PrepareConsole();
  ReserveReadBuffer();
  KeepResultsAtExit();
  LoadRescueMap();
  OpenOutput();
  OpenInput();
  RefuseNameClashes();
  ResumeOutput();
  SizeInput();
  CheckResume();
  FitRescueMap();
  ProfileReadsIfWanted();
  RunReadLoop();
  // A stop the console asked for ends as the signal asks, the map and result files
  // saved, without the final report.
  if (Run.StopSignal != 0) ExitWithCode(static_cast<UINT>(Run.StopSignal));
  WriteFinalReport();
}
