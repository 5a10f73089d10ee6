#!/usr/bin/python3
"""veldra-file --report on a generated violin take of known intonation.

The take: A4 20 cents sharp, D4 15 flat, E5 in tune, a glide from G4 to B4, C5 18 cents
flat with a vibrato of 8 cents either way, silences between. The page must be valid HTML (html5lib, strict:
any parse error fails), list those notes held with their cents and strings, sum the take
up as the CSV's cents column does, and plot each held note's readings at the height its
cents in the table give (read back through the in-tune band's rectangle). A file name with
markup shows as text; a silent take gets the page that says so. With --browser, headless
Chromium draws the page: the plot's line and band must show in the screenshot.

  practice_report_test.py VELDRA_FILE [--browser]
"""
import csv
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

import html5lib
from PIL import Image

RATE = 22050
SVG = "{http://www.w3.org/2000/svg}"


def frequency(semitone, cents):  # on the tuner's own scale, C1 = 32.7 Hz
    return 32.7 / 2 * 2 ** ((semitone + cents / 100) / 12)


def write_take(path):
    """The take's samples, and the held notes it must give: (note, cents, string, wavers).
    The steady notes' spread is under a cent; the vibrato's, read ten times a second
    through the analysis's own averaging, some cents."""
    A4, D4, E5, G4, B4, C5 = 57, 50, 64, 55, 59, 60
    pieces = [(0.5, None), (2.0, (A4, 20)), (0.5, None), (2.0, (D4, -15)), (0.5, None),
              (2.0, (E5, 0)), (0.5, None), (2.0, "glide"), (0.5, None), (2.5, "vibrato"),
              (1.0, None)]
    samples, phase = [], 0.0
    for seconds, what in pieces:
        for i in range(int(seconds * RATE)):
            t = i / RATE
            if what is None:
                samples.append(0.0)
                continue
            if what == "glide":
                f = frequency(G4, 400 * t / seconds)
            elif what == "vibrato":
                f = frequency(C5, -18 + 8 * math.sin(2 * math.pi * 5.5 * t))
            else:
                f = frequency(*what)
            phase += 2 * math.pi * f / RATE
            samples.append(sum(math.sin(k * phase) / k for k in range(1, 6)) * 0.3)
    write_wav(path, b"".join(struct.pack("<h", int(s * 32000)) for s in samples))
    return [("A 4", 20, "3 (A 4)", False), ("D 4", -15, "2 (D 4)", False),
            ("E 5", 0, "4 (E 5)", False), ("C 5", -18, None, True)]


def write_wav(path, frames):  # 16-bit mono at RATE
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)


def run(program, *args):
    result = subprocess.run([program, *args], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{args}: exit {result.returncode}: {result.stderr}")
    return result.stdout


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def parse(path):
    with open(path, "rb") as f:
        # strict: the first parse error raises, so only a valid document gets through.
        return html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(f)


def text(element):
    return "".join(element.itertext()).strip()


def cents_of(text_):  # "+20", "0", "-5" as the page writes them
    return float(text_.replace("\u2212", "-"))


def check_take(program, folder):
    take = os.path.join(folder, "take.wav")
    expected = write_take(take)
    page = os.path.join(folder, "take.html")
    run(program, "--mode", "violin", "--report", page, take)
    document = parse(page)
    rows = [[text(td) for td in tr.findall("td")] for tr in document.iter("tr")]
    rows = [r for r in rows if r]
    # Each note of the take held for most of its length, at its cents, on its string.
    for note, cents, string, wavers in expected:
        found = [r for r in rows if r[2] == note and float(r[1]) >= 1.5]
        check(len(found) == 1, f"{note} held once for 1.5 s or more: {rows}")
        check(abs(cents_of(found[0][3]) - cents) <= 2, f"{note} at {cents} cents: {found[0]}")
        check((float(found[0][4]) >= 2) == wavers, f"{note}'s spread: {found[0]}")
        check(string is None or found[0][5].startswith(string), f"{note} on {string}: {found[0]}")
    # The glide held nothing for long: 400 cents in 2 s.
    for r in rows:
        start = float(r[0].split(":")[0]) * 60 + float(r[0].split(":")[1])
        check(not (8.0 < start < 9.9 and float(r[1]) > 0.5), f"a glide's note held: {r}")

    # The summary: as many in tune as the CSV's cents say, A4 then D4 furthest.
    lines = list(csv.DictReader(run(program, "--mode", "violin", "--csv", take).splitlines()))
    read = [float(l["cents"]) for l in lines if l["cents"]]
    share = round(100 * sum(abs(c) <= 5 for c in read) / len(read))
    summary = text(document.find(".//p[@class='summary']"))
    check(abs(int(summary.split("%")[0]) - share) <= 1, f"{summary} vs {share} % from the CSV")
    furthest = [text(li) for li in document.find(".//ol[@class='furthest']")]
    check([f[:3] for f in furthest] == ["A 4", "C 5", "D 4"], f"furthest: {furthest}")

    # The plot: each held note's median line and its readings where its cents say.
    svg = document.find(f".//{SVG}svg")
    band = svg.find(f"{SVG}rect[@class='in-tune']")
    per_cent = float(band.get("height")) / 10
    zero = float(band.get("y")) + 5 * per_cent
    points = []
    for line in svg.iter(f"{SVG}polyline"):
        points += [tuple(map(float, p.split(","))) for p in line.get("points").split()]
    medians = svg.findall(f"{SVG}line[@class='median']")
    check(len(medians) == len(rows), f"{len(medians)} median lines for {len(rows)} rows")
    for median, row in zip(medians, rows):
        x1, x2, y = float(median.get("x1")), float(median.get("x2")), float(median.get("y1"))
        check(abs((zero - y) / per_cent - cents_of(row[3])) <= 0.6, f"median line of {row}")
        inside = sorted((zero - py) / per_cent for px, py in points if x1 <= px < x2)
        check(inside and abs(inside[len(inside) // 2] - cents_of(row[3])) <= 1.1,
              f"readings of {row}: {inside}")
    return page


def check_name_and_silence(program, folder):
    name = os.path.join(folder, "<b>take & 'co\".wav")
    write_wav(name, b"\0\0" * RATE * 2)
    page = os.path.join(folder, "silent.html")
    run(program, "--report", page, name)
    document = parse(page)  # markup from the name would change the heading's text
    check(text(document.find(".//h1")).endswith(name), "the name shows as it is")
    check(document.find(".//p[@class='none']") is not None, "the page says nothing was read")
    check(document.find(".//table") is None, "no table for a silent take")


def check_browser(page, folder):
    shot = os.path.join(folder, "shot.png")
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                    f"--user-data-dir={folder}/profile", "--window-size=1000,1300",
                    f"--screenshot={shot}", "file://" + page],
                   capture_output=True, timeout=120, check=True)
    colours = list(Image.open(shot).convert("RGB").getdata())
    check(colours.count((0x1F, 0x5F, 0xBF)) > 200, "the readings' line is drawn")
    check(colours.count((0xD7, 0xF2, 0xD7)) > 10000, "the in-tune band is drawn")


def main():
    program = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="veldra-report-test-")
    try:
        page = check_take(program, folder)
        check_name_and_silence(program, folder)
        if "--browser" in sys.argv[2:]:
            check_browser(page, folder)
    finally:
        shutil.rmtree(folder)
    print("the report's table, summary, plot, escaping and silent page are as they must be")


main()
