// The result file: what the run read, how fast, what failed, how it ended, and the
// profile. Every figure is an integer, as the run counted it, but the seconds and the
// rate in MiB/s, which is the console's own text; its schema is
// doc/tavo-result.schema.json.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "console.h"
#include "date_text.h"
#include "profile.h"
#include "report.h"
#include "results.h"
#include "run_record.h"
#include "text_escape.h"

namespace {

// Bytes per second from bytes in `time` of which `perSecond` make a second; no time
// measures nothing.
void AppendRate(std::string& out, int64_t bytes, int64_t time, int64_t perSecond) {
  if (time <= 0) {
    out += "null";
  } else if (bytes <= INT64_MAX / perSecond) {
    out += std::to_string(bytes * perSecond / time);
  } else {
    out += std::to_string(bytes / time * perSecond);
  }
}

// The Transfer rate line's first figure, as the console shows it.
void AppendMiBRate(std::string& out) {
  char text[kNumberTextMax];
  size_t length = FormatTransferRate(text);
  out += length > 0 ? std::string(text, length) : "null";
}

void AppendSeconds(std::string& out, int64_t ms) {
  if (ms < 0) ms = 0;
  std::string fraction = std::to_string(1000 + ms % 1000);
  out += std::to_string(ms / 1000) + "." + fraction.substr(1);
}

void Field(std::string& out, const char* name, int64_t value) {
  out += std::string("\"") + name + "\": " + std::to_string(value);
}

// Integer fields of one object, one after another on a line.
void Fields(std::string& out,
            std::initializer_list<std::pair<const char*, int64_t>> fields) {
  const char* separator = "";
  for (const auto& [name, value] : fields) {
    out += separator;
    separator = ", ";
    Field(out, name, value);
  }
}

void TextField(std::string& out, const char* name, const char* text) {
  out += std::string("\"") + name + "\": ";
  AppendJsonString(out, text);
}

const char* OutcomeName(FailureOutcome outcome) {
  switch (outcome) {
    case FailureOutcome::kWrittenWithZeros:
      return "written with zeros";
    case FailureOutcome::kRetried:
      return "retried";
    case FailureOutcome::kEndedRun:
      return "ended the run";
    case FailureOutcome::kSteppedOver:
      break;
  }
  return "stepped over";
}

void AppendInput(std::string& out) {
  out += "  \"input\": {";
  TextField(out, "name", Run.InputName);
  out += ", \"opened\": ";
  if (Run.Input == INVALID_HANDLE_VALUE && Run.InputPath[0] == '\0') {
    out += "null";
  } else {
    AppendJsonString(out, Run.InputPath);
  }
  out += ", \"size\": ";
  out += Run.InputSize > 0 ? std::to_string(Run.InputSize) : "null";
  out += ", ";
  Field(out, "sectorSize", Run.InputSector);
  out += std::string(", \"cached\": ") + (Run.InputUncached ? "false" : "true");
  out += std::string(", \"directAsked\": ") + (Run.DirectReads ? "true" : "false");
  out += "},\n";
}

void AppendOutput(std::string& out) {
  out += "  \"output\": ";
  if (!Run.OutputEnabled) {
    out += "null,\n";
    return;
  }
  out += "{";
  TextField(out, "name", Run.OutputName);
  out += ", ";
  Field(out, "resumeOffset", Run.ResumeOffset);
  out += "},\n";
}

// A JSON array of one object a line, each written by appendItem.
template <typename Items, typename AppendItem>
void AppendItems(std::string& out, const Items& items, AppendItem appendItem) {
  out += "[";
  const char* separator = "\n    ";
  for (const auto& item : items) {
    out += separator;
    separator = ",\n    ";
    appendItem(out, item);
  }
  out += items.empty() ? "]" : "\n  ]";
}

void AppendFailure(std::string& out, const FailedRequest& failure) {
  out += "{";
  Fields(out, {{"offset", failure.offset},
               {"size", failure.size},
               {"bytes", failure.bytes},
               {"code", failure.code}});
  out += ", ";
  TextField(out, "outcome", OutcomeName(failure.outcome));
  out += "}";
}

void AppendFailures(std::string& out) {
  out += "  \"failures\": ";
  AppendItems(out, Profile.failures, AppendFailure);
  out += ",\n  ";
  Field(out, "failuresLeftOut", Profile.failuresLeftOut);
  out += ",\n";
}

void AppendTimedRequest(std::string& out, const TimedRequest& request) {
  out += "{";
  Fields(out, {{"offset", request.offset},
               {"size", request.size},
               {"microseconds", MicrosOf(request.counts)}});
  out += "}";
}

void AppendRequestTimes(std::string& out) {
  out += "  \"requestTimes\": {";
  for (int band = 0; band < kTimeBands - 1; ++band) {
    std::string name = "under" + std::to_string(kBandLimitsMs[band]) + "ms";
    Field(out, name.c_str(), Profile.timeBands[band]);
    out += ", ";
  }
  Fields(out, {{"slower", Profile.timeBands[kTimeBands - 1]},
               {"failed", Profile.failedRequests}});
  out += "},\n  \"slowestRequests\": ";
  AppendItems(out, Profile.slowest, AppendTimedRequest);
  out += ",\n";
}

void AppendZone(std::string& out, const ProfileZone& zone) {
  out += "{";
  Fields(out, {{"offset", zone.offset}, {"bytes", zone.bytes}, {"ms", zone.ms}});
  // On the fine clock: a zone read within one tick still has a rate.
  int64_t micros = MicrosOf(zone.counts);
  out += ", \"bytesPerSecond\": ";
  AppendRate(out, zone.bytes, zone.requests > 0 ? micros : 0, 1000000);
  out += ", ";
  Fields(out, {{"slowestRequestMs", zone.slowestMs},
               {"requests", zone.requests},
               {"failedRequests", zone.failures},
               {"microseconds", micros},
               {"slowestRequestMicroseconds", MicrosOf(zone.slowestCounts)}});
  out += "}";
}

void AppendProfile(std::string& out) {
  out += "  \"profile\": {";
  // A run that ended before its first read has the zone size it would have had.
  Field(out, "zoneSize",
        Profile.active ? Profile.zoneSize : ZoneSizeFor(Run.InputSize));
  out += ", \"zones\": ";
  AppendItems(out, Profile.zones, AppendZone);
  out += "}\n";
}

}  // namespace

std::string JsonResult(UINT exitCode, const SYSTEMTIME& when) {
  std::string out = "{\n  \"program\": \"tavo\", \"version\": \"" TAVO_VERSION "\",\n";
  out += "  \"date\": \"" + DateTimeText(when, 'T') + "Z\",\n  ";
  TextField(out, "commandLine", GetCommandLineA());
  out += ",\n";
  AppendInput(out);
  AppendOutput(out);
  out += "  ";
  Fields(out, {{"bytesRead", Run.BytesRead},
               {"readRequests", Run.ReadCount},
               {"failedRequests", Run.ErrorCount}});
  out += ",\n  ";
  Field(out, "elapsedMs", Run.ElapsedMs);
  out += ", \"seconds\": ";
  AppendSeconds(out, Run.ElapsedMs);
  out += ", \"bytesPerSecond\": ";
  AppendRate(out, Run.BytesRead, Run.ElapsedMs, 1000);
  out += ", \"mibPerSecond\": ";
  AppendMiBRate(out);
  out += ",\n";
  AppendFailures(out);
  AppendRequestTimes(out);
  out += "  ";
  Field(out, "exitCode", exitCode);
  out += ", ";
  TextField(out, "exitMeaning", ExitCodeMeaning(exitCode));
  out += ",\n";
  AppendProfile(out);
  out += "}\n";
  return out;
}
