// The profile's request times after the final report. Only a run that keeps a profile
// prints the line, so that the report of any other run stays as it was.
#include "console.h"
#include "profile.h"
#include "report.h"

void WriteRequestTimesLine() {
  if (!Profile.active) return;
  WriteText("Request times: ");
  for (int band = 0; band < kTimeBands - 1; ++band) {
    WriteInteger(Profile.timeBands[band]);
    WriteText(" under ");
    WriteInteger(static_cast<int32_t>(kBandLimitsMs[band]));
    WriteText(" ms, ");
  }
  WriteInteger(Profile.timeBands[kTimeBands - 1]);
  WriteText(" slower, ");
  WriteInteger(Profile.failedRequests);
  WriteText(" failed");
  WriteLineEnd();
}
