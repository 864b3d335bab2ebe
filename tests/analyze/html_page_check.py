#!/usr/bin/env python3
"""Writes the analysis page of the examples, of a generated batch and of a
report with hostile identifiers, and checks each page.

  html_page_check.py <make_sheets> <quillmark> <quillmark-analyze> <examples folder>

Checked for every page:
- it is well-formed (the writer's markup is also XML: every tag closed, the
  text valid UTF-8, no stray '<' or '&'), parsed by xml.etree;
- it loads nothing: no element that fetches (script, link, img, iframe,
  object, embed), no src or srcset attribute, every href a '#' link to an
  id of the page, no url( or @import in a style, no http:, https:, file: or
  // reference anywhere in an attribute or a style;
- per form, as worked out by hand from the keys: one section, one item-map
  point per scored question, each titled "Question N" for its question, and
  one item-table row per scored question;
- the page of a 1000-question batch stays under 5 MB;
- with --rasch, per form: a "Wright map" heading, one Wright-map point per
  calibrated question (its measure in the JSON not null), and the misfit
  marks (the point's class and the table's last column) exactly on the
  questions whose infit or outfit lies outside 0.7 to 1.3 with |Z| above 2,
  worked out here from the JSON's figures.
The hostile report names a student <script>&" (and one with Latin-1 bytes,
not UTF-8), twice each, so that the duplicate check shows the identifiers;
its file name holds & and '. They must show escaped, never as markup.
"""
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

MOST_BYTES = 5 * 1024 * 1024
FETCHING = {"script", "link", "img", "iframe", "object", "embed", "audio", "video", "source",
            "base", "form"}
EXTERNAL = re.compile(r"url\(|@import|https?:|file:|//", re.I)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, check=True, **kwargs)


class Failures:
    """Collects failed checks, each printed as it is found; false after one."""

    def __init__(self):
        self.found = 0

    def __call__(self, message):
        print(message)
        self.found += 1

    def __bool__(self):
        return self.found == 0


def write_page(quillmark, analyze, folder, name, sheets, *options):
    """Grades `sheets` into folder/name.csv and writes its page, folder/name.html."""
    report = os.path.join(folder, name + ".csv")
    with open(report, "wb") as out:
        out.write(run(quillmark + [sheets, *options]).stdout)
    html = os.path.join(folder, name + ".html")
    run(analyze + ["-o", os.path.join(folder, name + "-tables.csv"), "--html", html, report])
    return html


def misfits(q):
    """The misfit rule on a question's figures from the JSON."""
    def out(square, z):
        return square is not None and z is not None and not 0.7 <= square <= 1.3 and abs(z) > 2
    return out(q["infit"], q["infit_z"]) or out(q["outfit"], q["outfit_z"])


def check_rasch_page(analyze, folder, name, fail):
    """Writes folder/name.csv's page and JSON with --rasch and checks the
    Wright map and the Rasch table of each form against the JSON."""
    report = os.path.join(folder, name + ".csv")
    html = os.path.join(folder, name + "-rasch.html")
    js = os.path.join(folder, name + "-rasch.json")
    run(analyze + ["--rasch", "-o", os.path.join(folder, name + "-rasch.csv"), "--html", html,
                   "--json", js, report])
    with open(js, encoding="utf-8") as f:
        forms = {f["form"]: f["rasch"] for f in json.load(f)["forms"]}
    root = ET.parse(html).getroot()
    sections = {s.find("h2").text.removeprefix("Form "): s
                for s in root.iter("section") if "form" in classes(s)}
    flagged = 0
    for letter, rasch in forms.items():
        s = sections.get(letter)
        if s is None:
            fail(f"{name}: no section of form {letter}")
            continue
        if "Wright map" not in [h.text for h in s.iter("h3")]:
            fail(f"{name}: form {letter}: no Wright map heading")
        calibrated = sorted(q["question"] for q in rasch["questions"] if q["measure"] is not None)
        misfit = sorted(q["question"] for q in rasch["questions"] if misfits(q))
        flagged += len(misfit)
        points = [e for e in s.iter() if "rpt" in classes(e)]
        numbers = [int(re.match(r"Question (\d+):", e.find("title").text).group(1))
                   for e in points]
        if sorted(numbers) != calibrated:
            fail(f"{name}: form {letter}: Wright points {sorted(numbers)}, expected {calibrated}")
        marked = sorted(n for n, e in zip(numbers, points) if "misfit" in classes(e))
        if marked != misfit:
            fail(f"{name}: form {letter}: misfit points {marked}, expected {misfit}")
        table = [t for t in s.iter("table") if "rasch" in classes(t)]
        rows = [r for r in table[0].find("tbody")] if table else []
        marked = sorted(int(r.find("th").text) for r in rows if r[-1].text == "misfit")
        if len(rows) != len(rasch["questions"]) or marked != misfit:
            fail(f"{name}: form {letter}: {len(rows)} Rasch rows, misfit rows {marked}, "
                 f"expected {misfit}")
    print(f"{name} with --rasch: forms {sorted(forms)}, {flagged} misfitting questions")
    return flagged


def classes(element):
    return element.get("class", "").split()


def check_page(path, forms, fail):
    """forms: {letter: [scored question numbers]}. Returns the page's text."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        fail(f"{path}: not well-formed: {e}")
        return ""
    ids = {e.get("id") for e in root.iter() if e.get("id")}
    for e in root.iter():
        if e.tag in FETCHING:
            fail(f"{path}: a <{e.tag}> element")
        for name, value in e.attrib.items():
            if name in ("src", "srcset") or name.endswith("}href"):
                fail(f"{path}: {name}={value!r}")
            if name == "href" and not (value.startswith("#") and value[1:] in ids):
                fail(f"{path}: href={value!r} is not a link within the page")
            if EXTERNAL.search(value):
                fail(f"{path}: {name}={value!r} refers outside")
        if e.tag == "style" and EXTERNAL.search(e.text or ""):
            fail(f"{path}: the style sheet refers outside")

    sections = [s for s in root.iter("section") if "form" in classes(s)]
    found = {}
    for s in sections:
        letter = s.find("h2").text.removeprefix("Form ")
        points = [e for e in s.iter() if "pt" in classes(e)]
        titles = [e.find("title").text if e.find("title") is not None else "" for e in points]
        numbers = sorted(int(m.group(1)) for t in titles
                         if (m := re.match(r"Question (\d+): ", t)))
        if len(numbers) != len(points):
            fail(f"{path}: form {letter}: a point without a title Question N: {titles[:3]}")
        table = [t for t in s.iter("table") if "items" in classes(t)]
        rows = [int(r.find("th").text) for r in table[0].find("tbody")] if table else []
        found[letter] = (numbers, rows)
    for letter, questions in forms.items():
        numbers, rows = found.get(letter, ([], []))
        if numbers != questions:
            fail(f"{path}: form {letter}: points of questions {numbers}, expected {questions}")
        if sorted(rows) != questions:
            fail(f"{path}: form {letter}: table rows of questions {rows}, expected {questions}")
    if set(found) != set(forms):
        fail(f"{path}: form sections {sorted(found)}, expected {sorted(forms)}")
    print(f"{os.path.basename(path)}: {len(data)} bytes, forms "
          + ", ".join(f"{f} {len(q[0])} points" for f, q in sorted(found.items())))
    return data.decode("utf-8")


def main():
    wrapper = shlex.split(os.environ.get("QUILLMARK_WRAPPER", ""))
    make_sheets, quillmark, analyze = (wrapper + [p] for p in sys.argv[1:4])
    examples = sys.argv[4]
    fail = Failures()

    def page(tmp, name, sheets, *options):
        return write_page(quillmark, analyze, tmp, name, sheets, *options)

    with tempfile.TemporaryDirectory() as tmp:
        # quiz1: both keys have 20 answers and drop none.
        check_page(page(tmp, "quiz1", os.path.join(examples, "quiz1.txt")),
                   {"A": list(range(1, 21)), "B": list(range(1, 21))}, fail)
        # midterm: 25 questions each; the option file drops question 12 of A.
        check_page(page(tmp, "midterm", os.path.join(examples, "midterm.txt"),
                        "optf:" + os.path.join(examples, "midterm.keys")),
                   {"A": [q for q in range(1, 26) if q != 12], "B": list(range(1, 26))}, fail)

        batch = os.path.join(tmp, "batch.txt")
        with open(batch, "wb") as out:
            out.write(run(make_sheets + ["300", "1000", "1", "20261208"]).stdout)
        large = page(tmp, "batch", batch)
        check_page(large, {"A": list(range(1, 1001))}, fail)
        # The Rasch charts and table, of pages with and without misfits.
        flagged = sum(check_rasch_page(analyze, tmp, name, fail)
                      for name in ("quiz1", "midterm", "batch"))
        if flagged == 0:
            fail("no misfitting question in any --rasch page: the mark is untested")
        if os.path.getsize(large) >= MOST_BYTES:
            fail(f"the 1000-question page has {os.path.getsize(large)} bytes")

        hostile = os.path.join(tmp, "hostile.txt")
        with open(hostile, "wb") as out:
            out.write(b"0000000000,A,001,ABCDE\n"
                      b'<script>&",A,001,ABCDA\n'
                      b'<script>&",A,001,ABCDA\n'
                      b"M\xfcller&'xy,A,001,ABCEE\n"
                      b"M\xfcller&'xy,A,001,ABCEE\n")
        named = "O'Neil & Co"
        text = check_page(page(tmp, named, hostile), {"A": [1, 2, 3, 4, 5]}, fail)
        for want in ("&lt;script&gt;&amp;&quot;", "M\ufffdller&amp;&#39;xy",
                     "O&#39;Neil &amp; Co.csv"):
            if want not in text:
                fail(f"hostile page: no {want!r}")
        if "<script" in text:
            fail("hostile page: a raw <script")
    print("ok" if fail else "FAILED")
    return 0 if fail else 1


if __name__ == "__main__":
    sys.exit(main())
