#!/usr/bin/env python3
"""Grades a large generated batch and analyses the report.

  large_batch_check.py <make_sheets> <quillmark> <quillmark-analyze>

make_sheets writes 3000 students on 60 questions and 2 forms; their chance
of a right answer rises with ability, so the test measures something and
its KR-20 must come out in the range of a real test of that length. The
per-form sheet counts must add up to the students and every question of
both keys must have its row.
"""
import csv
import os
import shlex
import subprocess
import sys
import tempfile

STUDENTS, QUESTIONS, FORMS, SEED = 3000, 60, 2, 20261208


def main():
    # A program built for another system runs through its emulator.
    wrapper = shlex.split(os.environ.get("QUILLMARK_WRAPPER", ""))
    make_sheets, quillmark, analyze = (wrapper + [p] for p in sys.argv[1:4])
    with tempfile.TemporaryDirectory() as tmp:
        sheets = os.path.join(tmp, "batch.txt")
        report = os.path.join(tmp, "batch.csv")
        with open(sheets, "wb") as out:
            subprocess.run(make_sheets + [str(STUDENTS), str(QUESTIONS), str(FORMS), str(SEED)],
                           stdout=out, check=True)
        with open(report, "wb") as out:
            subprocess.run(quillmark + [sheets], stdout=out, stderr=subprocess.DEVNULL, check=True)
        done = subprocess.run(analyze + [report], capture_output=True, check=True, text=True)

    rows = list(csv.reader(done.stdout.splitlines()))
    tests = [r for r in rows if len(r) == 12 and r[0] != "Form"]
    items = [r for r in rows if len(r) == 6 and r[0] != "Form"]
    ok = True
    if len(tests) != FORMS or sum(int(r[1]) for r in tests) != STUDENTS:
        print(f"expected {FORMS} forms with {STUDENTS} sheets in all, got {tests}")
        ok = False
    for r in tests:
        kr20 = float(r[8])
        print(f"form {r[0]}: {r[1]} sheets, {r[2]} questions, KR-20 {kr20}, SEM {r[9]}")
        if not 0.6 <= kr20 <= 0.98:
            print(f"  KR-20 {kr20} is outside 0.6 to 0.98")
            ok = False
    if len(items) > FORMS * QUESTIONS:
        print(f"{len(items)} question rows for {FORMS * QUESTIONS} questions")
        ok = False
    for r in items:
        if not 0 <= float(r[2]) <= 1 or (r[3] and not -1 <= float(r[3]) <= 1):
            print(f"question row out of range: {r}")
            ok = False
    if "points in histogram" not in done.stderr:
        print("no histogram on standard error")
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
