#include "console.h"
#include "report.h"

void WriteByteCountLine(const char* label, int64_t bytes) {
  Real count = static_cast<Real>(bytes);
  WriteText(label);
  WriteReal(count, 0);
  WriteText(" bytes (");
  WriteReal(count * 0x1p-10_real, 1);
  WriteText(" Kb) (");
  WriteReal(count * 0x1p-20_real, 2);
  WriteText(" Mb)");
  WriteLineEnd();
}
