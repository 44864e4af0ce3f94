#include "console.h"
#include "report.h"

void WriteByteCountLine(const char* label, int64_t bytes) {
  long double count = static_cast<long double>(bytes);
  WriteText(label);
  WriteReal(count, 0);
  WriteText(" bytes (");
  WriteReal(count * 0x1p-10L, 1);
  WriteText(" Kb) (");
  WriteReal(count * 0x1p-20L, 2);
  WriteText(" Mb)");
  WriteLineEnd();
}
