#!/usr/bin/env python3
"""Checks of result files: agrees SCHEMA JSON CONSOLE EXIT | svg SVG | average SVG
CONSOLE | profile JSON | dip SVG JSON. Each prints one line saying what is wrong and
exits 1, or exits 0."""
import json
import re
import sys
import xml.etree.ElementTree as ElementTree

import jsonschema


def fail(message):
    print(message)
    sys.exit(1)


def load(name):
    with open(name, encoding="utf-8") as f:  # strict: a bad byte fails here
        return json.load(f)


def agrees(schema_name, json_name, console_name, exit_code):
    result = load(json_name)
    try:
        jsonschema.Draft202012Validator(load(schema_name)).validate(result)
    except jsonschema.ValidationError as error:
        fail(f"{json_name} is not valid: {error.message} at {list(error.absolute_path)}")
    console = open(console_name, "rb").read().decode("latin-1")
    read = re.search(r"\nRead: (\d+) bytes", console)
    errors = re.search(r"Total errors encountered: (\d+)", console)
    if (int(read.group(1)) if read else 0) != result["bytesRead"]:
        fail(f"bytesRead {result['bytesRead']}, the console says {read and read.group(1)}")
    shown = int(errors.group(1)) if errors else 0
    if errors and shown != result["failedRequests"]:
        fail(f"failedRequests {result['failedRequests']}, the console says {shown}")
    if len(result["failures"]) + result["failuresLeftOut"] != result["failedRequests"]:
        fail("the failures listed do not add up to failedRequests")
    if int(exit_code) != result["exitCode"]:
        fail(f"exitCode {result['exitCode']}, the process exited with {exit_code}")
    zones = result["profile"]["zones"]
    if sum(z["bytes"] for z in zones) != result["bytesRead"]:
        fail("the zones' bytes do not add up to bytesRead")
    if sum(z["failedRequests"] for z in zones) != result["failedRequests"]:
        fail("the zones' failed requests do not add up to failedRequests")
    rate = transfer_rate(console)
    shown = None if result["mibPerSecond"] is None else f"{result['mibPerSecond']:.1f}"
    if shown != rate:
        fail(f"mibPerSecond {shown}, the console's Transfer rate {rate}")
    # A run that ends before its final report (an input that cannot be opened) has no
    # Request times line.
    times = request_times(console) or result["requestTimes"]
    if times != result["requestTimes"] or sum(times.values()) != result["readRequests"]:
        fail(f"Request times {times}: not requestTimes {result['requestTimes']}, "
             f"or not adding up to readRequests {result['readRequests']}")


def transfer_rate(console):
    """The Transfer rate line's first figure (Mb/sec, which is MiB/s), or None."""
    found = re.search(r"\nTransfer rate: ([\d.]+) Mb/sec", console)
    return found and found.group(1)


def request_times(console):
    """The Request times line's counts under requestTimes' names ("under 5 ms" is
    "under5ms"), or None."""
    line = re.search(r"\nRequest times: ([^\r]*)\r?\n", console)
    if not line:
        return None
    counts = {name.replace(" ", ""): int(n)
              for n, name in re.findall(r"(\d+) ([^,]+)", line.group(1))}
    if list(counts) != [f"under{ms}ms" for ms in (5, 20, 50, 200, 600)] + ["slower", "failed"]:
        fail(f"Request times line not in its bands: {line.group(1)}")
    return counts


def average(svg_name, console_name):
    """The chart title's average is the console's Transfer rate figure, in MiB/s."""
    title = next(t.text for t in ElementTree.parse(svg_name).getroot().iter()
                 if t.tag.endswith("}text"))
    found = re.search(r"average (\S+)(?: MiB/s)?$", title)
    rate = transfer_rate(open(console_name, "rb").read().decode("latin-1"))
    if not found or found.group(1) != (rate or "not"):
        fail(f"the chart's title ({title}) does not give the console's {rate} MiB/s")


def svg(name):
    try:
        root = ElementTree.parse(name).getroot()
    except ElementTree.ParseError as error:
        fail(f"{name} is not well-formed: {error}")
    if root.tag != "{http://www.w3.org/2000/svg}svg":
        fail(f"{name}: the root is {root.tag}")


# faulty_fs's worn medium: 16 MiB, its middle fifth (6.4 to 9.6 MiB) slow, unreadable
# sectors at 0x310000 (zone 3) and 0xB30000 (zone 11); zones are 1 MiB.
def profile(json_name):
    result = load(json_name)
    zones = result["profile"]["zones"]
    if result["profile"]["zoneSize"] != 1 << 20 or len(zones) != 16:
        fail(f"zone size {result['profile']['zoneSize']}, {len(zones)} zones: not 1 MiB, 16")
    rates = [z["bytes"] * 1000 / z["ms"] if z["ms"] > 0 else None for z in zones]
    slow, fast = [rates[i] for i in (7, 8)], [rates[i] for i in (0, 1, 2, 4, 12, 13, 14)]
    if None in slow + fast or max(slow) * 2 > min(fast):
        fail(f"the slow zones are not slower: slow {slow}, others {fast}")
    failed = [i for i, z in enumerate(zones) if z["failedRequests"]]
    offsets = sorted(f["offset"] // 32768 * 32768 for f in result["failures"])
    if failed != [3, 11] or offsets != [0x310000, 0xB30000] or \
            {f["code"] for f in result["failures"]} != {23}:
        fail(f"failures in zones {failed}, not 23s in 3 and 11 only: {result['failures']}")
    if min(zones[i]["slowestRequestMs"] for i in (7, 8)) < 10:
        fail("the slow zones' slowest request is under the 10 ms each took")
    # The 103 requests that start in the middle fifth take 10 ms each at least.
    times = result["requestTimes"]
    if times["under5ms"] + 103 > result["readRequests"] - times["failed"] or times["failed"] != 2:
        fail(f"not 103 requests of 5 ms or more and 2 failed: {times}")
    slowest = result["slowestRequests"]
    if len(slowest) != 10 or min(r["microseconds"] for r in slowest) < 10000:
        fail(f"not ten slowest requests of 10 ms or more: {slowest}")


def dip(svg_name, json_name):
    """The rate line (#1f5fbf, a step path of "M x y", "H x" and "V y") lies lower
    over the slow zones than elsewhere: 100 of the plot's 400 units at least."""
    paths = [p.get("d") for p in ElementTree.parse(svg_name).getroot().iter()
             if p.tag.endswith("}path") and p.get("stroke") == "#1f5fbf"]
    if len(paths) != 1:
        fail(f"{len(paths)} rate lines in {svg_name}")
    steps, x, y = [], 0, 0  # (from x, to x, y) of each horizontal step
    for command, a, b in re.findall(r"([MHV])(\d+)(?: (\d+))?", paths[0]):
        if command == "H":
            steps.append((x, int(a), y))
        x, y = (int(a), int(b)) if command == "M" else (int(a), y) if command == "H" else (x, int(a))
    size = load(json_name)["input"]["size"]
    at = [90 + int(mib * 2**20) * 780 // size for mib in (7.5, 1.5)]  # zone 7 (slow), zone 1
    slow, fast = ([y for start, end, y in steps if start <= x <= end] for x in at)
    if not slow or not fast or min(slow) - min(fast) < 100:
        fail(f"no dip: the rate line is at y={slow} over the slow zone, y={fast} elsewhere")


if __name__ == "__main__":
    commands = {"agrees": agrees, "svg": svg, "average": average, "profile": profile, "dip": dip}
    commands[sys.argv[1]](*sys.argv[2:])
