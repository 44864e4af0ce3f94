#!/usr/bin/env python3
"""Checks of tavo's result files, for run_result_tests.sh. Each command prints one
line saying what is wrong and exits 1, or exits 0 silently.

  check_results.py agrees SCHEMA JSON CONSOLE EXIT   valid, and agrees with the console
  check_results.py svg SVG                           well-formed SVG, no script or link
  check_results.py profile JSON                      the worn medium's profile
  check_results.py dip PNG JSON                      the chart's rate line dips there
"""
import json
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib

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
    if read and int(read.group(1)) != result["bytesRead"]:
        fail(f"bytesRead {result['bytesRead']}, the console says {read.group(1)}")
    if not read and result["bytesRead"] != 0:
        fail("bytes read in the file, none on the console")
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


def svg(name):
    try:
        root = ElementTree.parse(name).getroot()
    except ElementTree.ParseError as error:
        fail(f"{name} is not well-formed: {error}")
    if root.tag != "{http://www.w3.org/2000/svg}svg":
        fail(f"{name}: the root is {root.tag}")
    for element in root.iter():
        tag = element.tag.split("}")[-1]
        if tag in ("script", "image", "use", "foreignObject", "style"):
            fail(f"{name} holds a {tag} element")
        if any(k.endswith("href") or k.startswith("on") for k in element.attrib):
            fail(f"{name}: a link or an event handler on {tag}")


def rate(zone):
    return zone["bytes"] * 1000 / zone["ms"] if zone["ms"] > 0 else None


# faulty_fs's worn medium: 16 MiB, its middle fifth (6.4 to 9.6 MiB) slow, unreadable
# sectors at 0x310000 (zone 3) and 0xB30000 (zone 11); zones are 1 MiB.
def profile(json_name):
    result = load(json_name)
    zones = result["profile"]["zones"]
    if result["profile"]["zoneSize"] != 1 << 20 or len(zones) != 16:
        fail(f"zone size {result['profile']['zoneSize']}, {len(zones)} zones: not 1 MiB, 16")
    slow = [rate(zones[i]) for i in (7, 8)]
    fast = [rate(zones[i]) for i in (0, 1, 2, 4, 12, 13, 14)]
    if None in slow or None in fast or max(slow) * 2 > min(fast):
        fail(f"the slow zones are not slower: slow {slow}, others {fast}")
    failed = [i for i, z in enumerate(zones) if z["failedRequests"]]
    if failed != [3, 11]:
        fail(f"failures in zones {failed}, not in 3 and 11")
    offsets = sorted(f["offset"] // 32768 * 32768 for f in result["failures"])
    if offsets != [0x310000, 0xB30000] or {f["code"] for f in result["failures"]} != {23}:
        fail(f"failures {result['failures']}")
    if min(zones[i]["slowestRequestMs"] for i in (7, 8)) < 10:
        fail("the slow zones' slowest request is under the 10 ms each took")


def pixels(name):
    """RGBA rows of a non-interlaced 8-bit RGB or RGBA PNG."""
    data = open(name, "rb").read()
    at, idat, width, height, channels = 8, b"", 0, 0, 4
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            channels = {2: 3, 6: 4}[colour]
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * channels, [], None
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        prior = previous or bytearray(stride)
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up, corner = prior[i], prior[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        previous = line
    return width, height, channels, rows


def dip(png_name, json_name):
    """The rate line (blue, #1f5fbf) lies lower over the slow zones than elsewhere."""
    width, height, channels, rows = pixels(png_name)
    def colour(x, y):
        return tuple(rows[y][x * channels:x * channels + 3])
    if len({colour(x, y) for y in range(0, height, 7) for x in range(0, width, 7)}) < 4:
        fail("the chart is blank or nearly one colour")
    size = load(json_name)["input"]["size"]
    def line_y(offset):
        x = 90 + offset * 780 // size
        ys = [y for y in range(height) if all(abs(a - b) < 60 for a, b in zip(colour(x, y), (0x1F, 0x5F, 0xBF)))]
        if not ys:
            fail(f"no rate line at x={x} (offset {offset})")
        column = {colour(x, y) for y in range(70, 470)}
        if len(column) < 3:
            fail(f"the column at x={x} is all one colour")
        return min(ys)
    slow, fast = line_y(int(7.5 * 2**20)), line_y(int(1.5 * 2**20))
    if slow - fast < 100:
        fail(f"no dip: the rate line is at y={slow} over the slow zone, y={fast} elsewhere")


if __name__ == "__main__":
    commands = {"agrees": agrees, "svg": svg, "profile": profile, "dip": dip}
    commands[sys.argv[1]](*sys.argv[2:])
