// The files a run names must be distinct: an output that is its input reads back what
// it writes, and a map or result file that is the output, the input or another of them
// is written over it. Names are compared as files, whatever their spelling.
#include "console.h"
#include "endpoints.h"
#include "exit_code.h"
#include "file_identity.h"
#include "rescue_map.h"
#include "results.h"
#include "run_record.h"

namespace {

// In the order they are compared: a file is refused as one named before it.
enum Role { kInput, kOutput, kMap, kJson, kChart, kRoles };

struct NamedFile {
  const char* role;  // as it begins a line
  const char* what;  // as it ends one
  const char* name;  // "" when the run has none
};

// Names in the device namespace ("\\.\c:", "\\.\physicaldrive1") are disks, not files.
bool IsDevice(const char* name) {
  return name[0] == '\\' && name[1] == '\\' && name[2] == '.' && name[3] == '\\';
}

void WriteClash(const NamedFile& later, const NamedFile& earlier) {
  WriteText("     ");
  WriteText(later.role);
  WriteText(" file \"");
  WriteText(later.name);
  WriteText("\" is the ");
  WriteText(earlier.what);
  WriteText(" file, exiting");
}

// Nothing has been read or written yet, and nothing is: no result file either, as its
// name may be one of the two.
[[noreturn]] void Refuse(const NamedFile* files, int later, int earlier) {
  if (later == kOutput && earlier == kInput) {
    WriteText("     Output file is the input file, exiting");
  } else {
    WriteClash(files[later], files[earlier]);
  }
  WriteLineEnd();
  DropResultFiles();
  RemoveCreatedOutput();
  ExitWithCode(kExitCannotOpen);
}

}  // namespace

void RefuseNameClashes() {
  const NamedFile files[kRoles] = {
      {"Input", "input", IsDevice(Run.InputPath) ? "" : Run.InputPath},
      {"Output", "output", Run.OutputEnabled ? Run.OutputName : ""},
      {"Map", "map", RescueMapName()},
      {"JSON", "JSON", Run.JsonName},
      {"Chart", "chart", Run.ChartName},
  };
  for (int later = kOutput; later < kRoles; ++later) {
    if (files[later].name[0] == '\0') continue;
    for (int earlier = kInput; earlier < later; ++earlier) {
      if (files[earlier].name[0] != '\0' &&
          SameFile(files[later].name, files[earlier].name))
        Refuse(files, later, earlier);
    }
  }
}
