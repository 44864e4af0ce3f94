// The profile as a chart: read rate along the input (GiB across, MB/s up, left axis),
// the slowest request of each zone (ms, right axis), failed requests as red marks on
// the bottom edge, and a title with the input, its size, the date and the average.
// Plain SVG 1.1: no script, no fonts or files of its own, integer coordinates.
#include <cstdio>  // snprintf
#include <string>

#include "date_text.h"
#include "profile.h"
#include "results.h"
#include "run_record.h"
#include "text_escape.h"

namespace {

constexpr int kWidth = 960, kHeight = 540;
constexpr int kLeft = 90, kRight = 870, kTop = 70, kBottom = 470;
constexpr int kPlotWidth = kRight - kLeft, kPlotHeight = kBottom - kTop;
constexpr int kTicks = 5;
constexpr int64_t kMicroGiB = (int64_t{1} << 30) / 1000000;  // bytes, rounded down
constexpr char kRateColour[] = "#1f5fbf";
constexpr char kSlowColour[] = "#e08a00";
constexpr char kFailColour[] = "#d01818";

// The first of 1, 2, 5, 10, 20, 50... that divides [0, top] into at most kTicks steps.
int64_t NiceStep(int64_t top) {
  int64_t wanted = top / kTicks + 1;
  for (int64_t power = 1;; power *= 10) {
    for (int64_t factor : {1, 2, 5})
      if (factor * power >= wanted) return factor * power;
  }
}

// value / 10^decimals as a decimal number, trailing zeros dropped.
std::string Scaled(int64_t value, int decimals) {
  int64_t unit = 1;
  for (int i = 0; i < decimals; ++i) unit *= 10;
  std::string text = std::to_string(value / unit);
  std::string fraction = std::to_string(unit + value % unit).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return fraction.empty() ? text : text + "." + fraction;
}

// value / divisor with `decimals` decimals, rounded to nearest.
std::string Fixed(int64_t value, int64_t divisor, int decimals) {
  int64_t unit = 1;
  for (int i = 0; i < decimals; ++i) unit *= 10;
  int64_t scaled = (value * unit + divisor / 2) / divisor;
  std::string fraction = std::to_string(unit + scaled % unit).substr(1);
  return std::to_string(scaled / unit) + (decimals > 0 ? "." + fraction : "");
}

int64_t ZoneRate(const ProfileZone& zone) {
  return zone.requests > 0 && zone.ms > 0 ? zone.bytes * 1000 / zone.ms : -1;
}

struct Scales {
  int64_t xEnd;   // bytes across the plot
  int64_t yTop;   // bytes per second at the top
  int64_t msTop;  // ms at the top, right axis
};

// In floating point: offsets and rates that a map reaches may overflow the product.
int Scale(int64_t value, int64_t top, int pixels) {
  return static_cast<int>(static_cast<double>(value) * pixels /
                          static_cast<double>(top));
}
int X(const Scales& s, int64_t offset) {
  if (offset > s.xEnd) offset = s.xEnd;
  return kLeft + Scale(offset, s.xEnd, kPlotWidth);
}
int Y(int64_t value, int64_t top) { return kBottom - Scale(value, top, kPlotHeight); }

Scales ScalesOfProfile() {
  Scales s = {Run.InputSize > 0 ? Run.InputSize : 1, 1000, 1};
  int64_t fastest = 0;
  for (const ProfileZone& zone : Profile.zones) {
    if (zone.requests == 0) continue;
    if (zone.offset + zone.bytes > s.xEnd) s.xEnd = zone.offset + zone.bytes;
    if (ZoneRate(zone) > fastest) fastest = ZoneRate(zone);
    if (zone.slowestMs > s.msTop) s.msTop = zone.slowestMs;
  }
  int64_t kilo = fastest / 1000 + 1;  // the axis in kB/s steps
  s.yTop = NiceStep(kilo) * kTicks * 1000;
  s.msTop = NiceStep(s.msTop) * kTicks;
  return s;
}

void Text(std::string& out, int x, int y, const char* anchor, const std::string& text,
          const char* extra = "") {
  char head[160];
  snprintf(head, sizeof head, "<text x=\"%d\" y=\"%d\" text-anchor=\"%s\"%s>", x, y,
           anchor, extra);
  out += head;
  AppendXmlText(out, text.c_str());
  out += "</text>\n";
}

void Line(std::string& out, int x1, int y1, int x2, int y2, const char* style) {
  char line[200];
  snprintf(line, sizeof line, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" %s/>\n",
           x1, y1, x2, y2, style);
  out += line;
}

void Axes(std::string& out, const Scales& s) {
  int64_t xStep = NiceStep(s.xEnd / kMicroGiB + 1);
  for (int64_t micro = 0; micro * kMicroGiB <= s.xEnd; micro += xStep) {
    int x = X(s, micro * kMicroGiB);
    Line(out, x, kTop, x, kBottom, "stroke=\"#e4e4e4\"");
    Text(out, x, kBottom + 18, "middle", Scaled(micro, 6));
  }
  for (int i = 0; i <= kTicks; ++i) {
    int y = kBottom - i * kPlotHeight / kTicks;
    Line(out, kLeft, y, kRight, y, "stroke=\"#e4e4e4\"");
    Text(out, kLeft - 6, y + 4, "end", Scaled(s.yTop / 1000 * i / kTicks, 3));
    Text(out, kRight + 6, y + 4, "start", std::to_string(s.msTop * i / kTicks));
  }
  Line(out, kLeft, kBottom, kRight, kBottom, "stroke=\"#000\"");
  Line(out, kLeft, kTop, kLeft, kBottom, "stroke=\"#000\"");
  Line(out, kRight, kTop, kRight, kBottom, "stroke=\"#000\"");
  Text(out, (kLeft + kRight) / 2, kBottom + 40, "middle", "offset (GiB)");
  Text(out, 20, (kTop + kBottom) / 2, "middle", "read rate (MB/s)",
       " transform=\"rotate(-90 20 270)\"");
  Text(out, kWidth - 20, (kTop + kBottom) / 2, "middle", "slowest request (ms)",
       " transform=\"rotate(90 940 270)\"");
}

// A step line over the zones that `value` measures (-1: none); a gap breaks it.
template <typename Value>
void StepPath(std::string& out, const Scales& s, int64_t top, const char* colour,
              Value value) {
  std::string path;
  bool drawing = false;
  for (const ProfileZone& zone : Profile.zones) {
    int64_t v = value(zone);
    if (v < 0) {
      drawing = false;
      continue;
    }
    int y = Y(v, top);
    path += (drawing ? " V" : " M" + std::to_string(X(s, zone.offset)) + " ") +
            std::to_string(y) + " H" +
            std::to_string(X(s, zone.offset + Profile.zoneSize));
    drawing = true;
  }
  if (path.empty()) return;
  out += "<path fill=\"none\" stroke=\"";
  out += colour;
  out += "\" stroke-width=\"2\" d=\"" + path.substr(1) + "\"/>\n";
}

// One mark per pixel column that holds a failed request.
void FailureMarks(std::string& out, const Scales& s) {
  int lastX = -1;
  for (const FailedRequest& failure : Profile.failures) {
    int x = X(s, failure.offset);
    if (x == lastX) continue;
    lastX = x;
    Line(out, x, kBottom - 16, x, kBottom,
         (std::string("stroke=\"") + kFailColour + "\" stroke-width=\"3\"").c_str());
  }
}

void Legend(std::string& out) {
  const struct {
    const char* colour;
    const char* text;
  } kItems[] = {{kRateColour, "read rate"},
                {kSlowColour, "slowest request of each zone"},
                {kFailColour, "failed request"}};
  int x = kLeft;
  for (const auto& item : kItems) {
    Line(out, x, kTop - 12, x + 24, kTop - 12,
         (std::string("stroke=\"") + item.colour + "\" stroke-width=\"3\"").c_str());
    Text(out, x + 30, kTop - 8, "start", item.text);
    x += 60 + static_cast<int>(std::string(item.text).size()) * 7;
  }
}

std::string Title(const SYSTEMTIME& when) {
  constexpr int64_t kGiB = int64_t{1} << 30, kMiB = 1 << 20;
  std::string size = "size unknown";
  if (Run.InputSize > 0) {
    size = Run.InputSize >= kGiB ? Fixed(Run.InputSize, kGiB, 2) + " GiB ("
                                 : Fixed(Run.InputSize, kMiB, 1) + " MiB (";
    size += std::to_string(Run.InputSize) + " bytes)";
  }
  std::string average =
      Run.ElapsedMs > 0
          ? Fixed(Run.BytesRead * 1000 / Run.ElapsedMs, 1000000, 1) + " MB/s"
          : "not measured";
  return std::string(Run.InputName) + "  |  " + size + "  |  " +
         DateTimeText(when, ' ') + " UTC  |  average " + average;
}

}  // namespace

std::string SvgChart(const SYSTEMTIME& when) {
  Scales s = ScalesOfProfile();
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"960\" "
      "height=\"540\" viewBox=\"0 0 960 540\" font-family=\"sans-serif\" "
      "font-size=\"12\">\n<rect width=\"960\" height=\"540\" fill=\"#fff\"/>\n";
  Text(out, kWidth / 2, 26, "middle", Title(when), " font-size=\"15\"");
  Axes(out, s);
  StepPath(out, s, s.yTop, kRateColour, ZoneRate);
  StepPath(out, s, s.msTop, kSlowColour, [](const ProfileZone& zone) {
    return zone.requests > 0 ? static_cast<int64_t>(zone.slowestMs) : -1;
  });
  FailureMarks(out, s);
  Legend(out);
  out += "</svg>\n";
  return out;
}
