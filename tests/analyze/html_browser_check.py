#!/usr/bin/env python3
"""Opens the analysis page of examples/quiz1.txt in headless Chromium.

  html_browser_check.py <quillmark> <quillmark-analyze> <examples folder> [<screenshot.png>]

The page is opened from its file, as an instructor opens it. Checked: the
DOM that Chromium builds (--dump-dom) holds the section of each of the two
forms and, in each, the 20 item-map points of questions 1 to 20 (worked out
from the keys: both have 20 answers and drop none), each with its title;
and Chromium renders a screenshot, a PNG of the window's size that is not
blank (a white page of 1280 x 2000 compresses to a few kilobytes). The
screenshot is kept where the optional last argument says.
Ends with status 77 (a skip for CTest) when /usr/bin/chromium is absent.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

from html_page_check import Failures, write_page

CHROMIUM = "/usr/bin/chromium"
WIDTH, HEIGHT = 1280, 2000
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]


class Dom(HTMLParser):
    """The form sections and, per section, the titles of its item-map points."""

    def __init__(self):
        super().__init__()
        self.forms = {}      # section id: [point titles]
        self.section = None
        self.depth = 0       # open elements inside the current section
        self.in_point_title = False
        self.point_open = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        names = (a.get("class") or "").split()
        if self.section is None:
            if tag == "section" and "form" in names:
                self.section, self.depth = a.get("id"), 0
                self.forms[self.section] = []
            return
        if tag in VOID:
            return
        self.depth += 1
        if "pt" in names:
            self.point_open = True
            self.forms[self.section].append("")
        elif tag == "title" and self.point_open:
            self.in_point_title = True

    def handle_endtag(self, tag):
        if self.section is None or tag in VOID:
            return
        if tag == "title":
            self.in_point_title = False
        elif tag in ("circle", "path"):
            self.point_open = False
        if self.depth == 0 and tag == "section":
            self.section = None
        else:
            self.depth -= 1

    def handle_data(self, data):
        if self.in_point_title:
            self.forms[self.section][-1] += data


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def main():
    if not os.access(CHROMIUM, os.X_OK):
        print(f"{CHROMIUM} is absent: the browser test is skipped")
        return 77
    quillmark, analyze, examples = sys.argv[1:4]
    keep = sys.argv[4] if len(sys.argv) > 4 else None
    fail = Failures()

    with tempfile.TemporaryDirectory() as tmp:
        page = write_page([quillmark], [analyze], tmp, "quiz1", os.path.join(examples, "quiz1.txt"))
        url = "file://" + os.path.abspath(page)

        def chromium(*arguments):
            profile = tempfile.mkdtemp(dir=tmp)  # a fresh profile for each run
            return subprocess.run([CHROMIUM, *FLAGS, f"--user-data-dir={profile}", *arguments, url],
                                  capture_output=True, timeout=180)

        dom = Dom()
        dumped = chromium("--dump-dom")
        dom.feed(dumped.stdout.decode("utf-8", "replace"))
        if sorted(dom.forms) != ["form-A", "form-B"]:
            fail(f"form sections in the DOM: {sorted(dom.forms)}; Chromium said "
                 f"{dumped.stderr.decode('utf-8', 'replace')[-2000:]}")
        for section, titles in sorted(dom.forms.items()):
            numbers = sorted(int(m.group(1)) for t in titles if (m := re.match(r"Question (\d+):", t)))
            if numbers != list(range(1, 21)) or len(titles) != 20:
                fail(f"{section}: points {titles}")
            else:
                print(f"{section}: {len(titles)} points in the DOM, e.g. {titles[0]!r}")

        shot = os.path.join(tmp, "page.png")
        chromium(f"--screenshot={shot}", f"--window-size={WIDTH},{HEIGHT}")
        data = open(shot, "rb").read() if os.path.exists(shot) else b""
        if png_size(data) != (WIDTH, HEIGHT) or len(data) < 40000:
            fail(f"screenshot: {len(data)} bytes, size {png_size(data)}")
        else:
            print(f"screenshot: {len(data)} bytes, {WIDTH} x {HEIGHT}")
        if keep and data:
            shutil.copyfile(shot, keep)
    print("ok" if fail else "FAILED")
    return 0 if fail else 1


if __name__ == "__main__":
    sys.exit(main())
