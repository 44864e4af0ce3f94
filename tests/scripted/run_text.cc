#include "run_text.h"

namespace scripted {

namespace {

const char kBannerStart[] =
    "\r\nFiles reading benchmark and download. Version 4.82\r\n";
const char kLoopStart[] = "Reading... Hit ESC to break\r\n";

size_t ReportStart(const std::string& out) {
  size_t at = out.find("\rElapsed time: ");
  if (at == std::string::npos) return at;
  bool hadErrors = out.find("Total errors encountered: ", at) != std::string::npos;
  return hadErrors && at >= 2 ? at - 2 : at;
}

}  // namespace

std::string AfterBanner(const std::string& out) {
  if (out.rfind(kBannerStart, 0) != 0) return "<no banner>";
  size_t ownerEnd = out.find("\r\n", sizeof kBannerStart - 1);
  return ownerEnd == std::string::npos ? "<no banner>" : out.substr(ownerEnd + 2);
}

std::string LoopText(const std::string& out) {
  size_t start = out.find(kLoopStart);
  size_t end = ReportStart(out);
  if (start == std::string::npos || end == std::string::npos) return "<no loop>";
  start += sizeof kLoopStart - 1;
  return out.substr(start, end - start);
}

std::string ReportText(const std::string& out) {
  size_t start = ReportStart(out);
  return start == std::string::npos ? "<no report>" : out.substr(start);
}

std::string Visible(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace scripted
