// The profile as a chart: read rate along the input (MiB or GiB across, MiB/s up, left
// axis), the slowest request of each zone (ms, right axis), the slowest requests and
// the failed ones as marks on the bottom edge, and a title with the input, its size,
// the date and the average. Times are the fine clock's; the average is the console's.
// Plain SVG 1.1: no script, no fonts or files of its own, integer coordinates.
#include <cstdio>  // snprintf
#include <string>
#include <vector>

#include "console.h"
#include "date_text.h"
#include "profile.h"
#include "report.h"
#include "results.h"
#include "run_record.h"
#include "text_escape.h"

namespace {

constexpr int kWidth = 960;
constexpr int kLeft = 90, kRight = 870, kTop = 86, kBottom = 470;
constexpr int kPlotWidth = kRight - kLeft, kPlotHeight = kBottom - kTop;
constexpr int kTicks = 5;
constexpr int64_t kMiB = int64_t{1} << 20, kGiB = int64_t{1} << 30;
constexpr char kRateColour[] = "#1f5fbf";
constexpr char kSlowColour[] = "#e08a00";
constexpr char kFailColour[] = "#d01818";
// The time bands, fastest first: greys for what any medium does, warmer for worse.
constexpr const char* kBandColours[kTimeBands] = {"#c4c4c4", "#8c8c8c", "#3a9a3a",
                                                  "#d6b000", "#e05a00", "#8a2be2"};

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

// Bytes per second on the fine clock, -1 where no request began.
double ZoneRate(const ProfileZone& zone) {
  int64_t micros = MicrosOf(zone.counts);
  return zone.requests > 0 && micros > 0 ? zone.bytes * 1e6 / micros : -1;
}

// An axis from 0 in kTicks steps that are round numbers of its unit: 1, 2 or 5 times a
// power of ten, counted in thousandths of the unit so that small extents get them too.
struct Axis {
  double unit;   // bytes, bytes per second, or microseconds
  int64_t step;  // thousandths of the unit
};

Axis AxisOver(double extent, double unit) {
  return {unit, NiceStep(static_cast<int64_t>(extent * 1000 / unit))};
}
double TickValue(const Axis& axis, int64_t i) {
  return axis.step * i * axis.unit / 1000;
}
double Top(const Axis& axis) { return TickValue(axis, kTicks); }
std::string TickLabel(const Axis& axis, int64_t i) { return Scaled(axis.step * i, 3); }

struct Scales {
  double xEnd;  // bytes across the plot
  Axis x;       // MiB or GiB
  Axis rate;    // MiB/s, left
  Axis slow;    // ms, right, in microseconds
};

int Scale(double value, double top, int pixels) {
  return static_cast<int>(value * pixels / top);
}
int X(const Scales& s, double offset) {
  if (offset > s.xEnd) offset = s.xEnd;
  return kLeft + Scale(offset, s.xEnd, kPlotWidth);
}
int Y(double value, double top) { return kBottom - Scale(value, top, kPlotHeight); }

// Offsets in GiB from 1 GiB on, as the title gives sizes, else in MiB.
Scales ScalesOfProfile() {
  double xEnd = Run.InputSize > 0 ? static_cast<double>(Run.InputSize) : 1;
  double fastest = 0, slowest = 0;
  for (const ProfileZone& zone : Profile.zones) {
    if (zone.requests == 0) continue;
    double end = static_cast<double>(zone.offset + zone.bytes);
    if (end > xEnd) xEnd = end;
    if (ZoneRate(zone) > fastest) fastest = ZoneRate(zone);
    double micros = static_cast<double>(MicrosOf(zone.slowestCounts));
    if (micros > slowest) slowest = micros;
  }
  Axis x = AxisOver(xEnd, xEnd >= kGiB ? kGiB : kMiB);
  return {xEnd, x, AxisOver(fastest, kMiB), AxisOver(slowest, 1000)};
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
  for (int64_t i = 0; TickValue(s.x, i) <= s.xEnd; ++i) {
    int x = X(s, TickValue(s.x, i));
    Line(out, x, kTop, x, kBottom, "stroke=\"#e4e4e4\"");
    Text(out, x, kBottom + 18, "middle", TickLabel(s.x, i));
  }
  for (int i = 0; i <= kTicks; ++i) {
    int y = kBottom - i * kPlotHeight / kTicks;
    Line(out, kLeft, y, kRight, y, "stroke=\"#e4e4e4\"");
    Text(out, kLeft - 6, y + 4, "end", TickLabel(s.rate, i));
    Text(out, kRight + 6, y + 4, "start", TickLabel(s.slow, i));
  }
  Line(out, kLeft, kBottom, kRight, kBottom, "stroke=\"#000\"");
  Line(out, kLeft, kTop, kLeft, kBottom, "stroke=\"#000\"");
  Line(out, kRight, kTop, kRight, kBottom, "stroke=\"#000\"");
  Text(out, (kLeft + kRight) / 2, kBottom + 40, "middle",
       s.x.unit == kGiB ? "offset (GiB)" : "offset (MiB)");
  Text(out, 20, (kTop + kBottom) / 2, "middle", "read rate (MiB/s)",
       " transform=\"rotate(-90 20 278)\"");
  Text(out, kWidth - 20, (kTop + kBottom) / 2, "middle", "slowest request (ms)",
       " transform=\"rotate(90 940 278)\"");
}

// A step line over the zones that `value` measures (negative: none); a gap breaks it.
template <typename Value>
void StepPath(std::string& out, const Scales& s, double top, const char* colour,
              Value value) {
  std::string path;
  bool drawing = false;
  for (const ProfileZone& zone : Profile.zones) {
    double v = value(zone);
    if (v < 0) {
      drawing = false;
      continue;
    }
    int y = Y(v, top);
    path += (drawing ? " V" : " M" + std::to_string(X(s, zone.offset)) + " ") +
            std::to_string(y) + " H" +
            std::to_string(X(s, static_cast<double>(zone.offset + Profile.zoneSize)));
    drawing = true;
  }
  if (path.empty()) return;
  out += "<path fill=\"none\" stroke=\"";
  out += colour;
  out += "\" stroke-width=\"2\" d=\"" + path.substr(1) + "\"/>\n";
}

void Mark(std::string& out, int x, const char* colour) {
  Line(out, x, kBottom - 16, x, kBottom,
       (std::string("stroke=\"") + colour + "\" stroke-width=\"3\"").c_str());
}

// The slowest requests where they were read, in the colour of their band; the slowest
// last, on top of any other in its pixel column.
void SlowMarks(std::string& out, const Scales& s) {
  for (auto it = Profile.slowest.rbegin(); it != Profile.slowest.rend(); ++it) {
    Mark(out, X(s, static_cast<double>(it->offset)),
         kBandColours[TimeBandOf(it->counts)]);
  }
}

// One mark per pixel column that holds a failed request.
void FailureMarks(std::string& out, const Scales& s) {
  int lastX = -1;
  for (const FailedRequest& failure : Profile.failures) {
    int x = X(s, static_cast<double>(failure.offset));
    if (x == lastX) continue;
    lastX = x;
    Mark(out, x, kFailColour);
  }
}

struct LegendItem {
  const char* colour;
  std::string text;
};

// Items one after the other from the plot's left edge, at the baseline y.
void LegendRow(std::string& out, int y, const std::string& head,
               const std::vector<LegendItem>& items) {
  int x = kLeft;
  if (!head.empty()) {
    Text(out, x, y, "start", head);
    x += 10 + static_cast<int>(head.size()) * 7;
  }
  for (const LegendItem& item : items) {
    Line(out, x, y - 4, x + 24, y - 4,
         (std::string("stroke=\"") + item.colour + "\" stroke-width=\"3\"").c_str());
    Text(out, x + 30, y, "start", item.text);
    x += 60 + static_cast<int>(item.text.size()) * 7;
  }
}

void Legend(std::string& out) {
  LegendRow(out, kTop - 30, "",
            {{kRateColour, "read rate"},
             {kSlowColour, "slowest request of each zone"},
             {kFailColour, "failed request"}});
  std::vector<LegendItem> bands;
  for (int band = 0; band < kTimeBands - 1; ++band)
    bands.push_back({kBandColours[band], "< " + std::to_string(kBandLimitsMs[band])});
  bands.push_back({kBandColours[kTimeBands - 1],
                   std::to_string(kBandLimitsMs[kTimeBands - 2]) + "+ ms"});
  LegendRow(out, kTop - 10,
            "the " + std::to_string(kSlowestKept) + " slowest requests:", bands);
}

std::string Title(const SYSTEMTIME& when) {
  std::string size = "size unknown";
  if (Run.InputSize > 0) {
    size = Run.InputSize >= kGiB ? Fixed(Run.InputSize, kGiB, 2) + " GiB ("
                                 : Fixed(Run.InputSize, kMiB, 1) + " MiB (";
    size += std::to_string(Run.InputSize) + " bytes)";
  }
  char rate[kNumberTextMax];
  size_t length = FormatTransferRate(rate);
  std::string average =
      length > 0 ? std::string(rate, length) + " MiB/s" : "not measured";
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
  StepPath(out, s, Top(s.rate), kRateColour, ZoneRate);
  StepPath(out, s, Top(s.slow), kSlowColour, [](const ProfileZone& zone) {
    return zone.requests > 0 ? static_cast<double>(MicrosOf(zone.slowestCounts)) : -1;
  });
  SlowMarks(out, s);
  FailureMarks(out, s);
  Legend(out);
  out += "</svg>\n";
  return out;
}
