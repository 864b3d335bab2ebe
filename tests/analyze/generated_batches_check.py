#!/usr/bin/env python3
"""Grades generated batches and holds quillmark-analyze's answers against them.

  generated_batches_check.py <quillmark> <quillmark-analyze>

Students of normal ability answer 40 questions on forms A and B from the
true keys (a logistic model with a floor for guessing, some blanks and
multiple marks); the key sheets carry a wrong answer on a few planted
questions. Checked:
- every planted question, and no other, is flagged "possible key error"
  with its true letter, in the CSV and the JSON alike;
- for every scored question the option counts equal the grader's own item
  analysis in the same report ("none" is its No resp count);
- the option file of --fix-options, given to quillmark with optf:, regrades
  the batch so that a second analysis (its tables written with -o) flags no
  key error;
- the checks table finds a repeated sheet, an empty sheet, a sheet of a
  form without a key and a form with 12 sheets, and nothing else.
"""
import csv
import json
import os
import random
import shlex
import subprocess
import sys
import tempfile

from simulated_sheets import grouped, simulated_answer

QUESTIONS, STUDENTS, LETTERS = 40, 1200, "ABCDE"
PLANTED = {("A", 5): None, ("A", 17): None, ("A", 30): None, ("B", 12): None}


def shown_id(sid):
    """The Student ID as the report shows it: the first digit as a letter (1 is A)."""
    return chr(ord("A") + int(sid[0]) - 1) + sid[1:]


def make_batch(path):
    rng = random.Random(20261208)
    true_keys = {f: [rng.choice(LETTERS) for _ in range(QUESTIONS)] for f in "ABC"}
    difficulty = [rng.uniform(-1.2, 1.2) for _ in range(QUESTIONS)]
    printed = {f: list(k) for f, k in true_keys.items()}
    for (form, q) in PLANTED:
        wrong = rng.choice([c for c in LETTERS if c != true_keys[form][q - 1]])
        printed[form][q - 1] = wrong
        PLANTED[(form, q)] = true_keys[form][q - 1]
    lines = [f"0000000000,{f},001,{grouped(printed[f])}" for f in "ABC"]
    rows = []  # (form, id) of every graded row, in order

    def student(form, sid):
        ability = rng.gauss(0, 1)
        answers = []
        for q in range(QUESTIONS):
            answers.append(simulated_answer(rng, ability, difficulty[q], true_keys[form][q], LETTERS))
        lines.append(f"{sid},{form},001,{grouped(answers)}")
        rows.append((form, shown_id(sid)))

    for s in range(STUDENTS):
        student("A" if s % 2 == 0 else "B", f"{1000000000 + s}")
    for s in range(12):
        student("C", f"{2000000000 + s}")
    lines.append(lines[10])                       # sheet 7 of the batch again
    rows.append(rows[10 - 3])
    lines.append(f"3000000000,A,001,{grouped(' ' * QUESTIONS)}")  # an empty sheet
    rows.append(("A", shown_id("3000000000")))
    lines.append(f"3000000001,D,001,{'A' * QUESTIONS}")  # form D has no key
    rows.append(("D", shown_id("3000000001")))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    return rows


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, check=True, text=True, **kwargs)


def tables(csv_text):
    rows = list(csv.reader(csv_text.splitlines()))
    options = [r for r in rows if len(r) == 9 and r[0] != "Form"]
    items = [r for r in rows if len(r) == 6 and r[0] != "Form"]
    checks = [r for r in rows if len(r) == 5 and r[0] != "Check"]
    return items, options, checks


def key_errors(items):
    return {(r[0], int(r[1])): r[5].rsplit(" ", 1)[1] for r in items
            if r[5].startswith("possible key error: ")}


def grader_counts(report):
    """Per (form, question): {letter or 'none': count} from the grader's item analysis."""
    counts, form, letters = {}, None, []
    after_statistics = False
    for row in csv.reader(report.splitlines()):
        if row == ["", "", "n", "avg", "dev", "min", "max"]:
            after_statistics = True
        elif after_statistics and len(row) > 2 and row[1].startswith("Form ") and row[1].endswith(" Q:A"):
            form, letters = row[1][5], [c.strip() for c in row[4:]]
        elif after_statistics and form and len(row) > 3 and row[1].startswith("Q"):
            q = int(row[1][1:].split(":")[0])
            tally = {"none": int(row[3])}
            tally.update({l: int(c) for l, c in zip(letters, row[4:])})
            counts[(form, q)] = tally
    return counts


def main():
    wrapper = shlex.split(os.environ.get("QUILLMARK_WRAPPER", ""))
    quillmark, analyze = (wrapper + [p] for p in sys.argv[1:3])
    ok = True

    def fail(message):
        nonlocal ok
        print(message)
        ok = False

    with tempfile.TemporaryDirectory() as tmp:
        sheets, fix, js = (os.path.join(tmp, n) for n in ("batch.txt", "fix.txt", "analysis.json"))
        rows = make_batch(sheets)
        report = run(quillmark + [sheets]).stdout
        done = run(analyze + ["-", "--fix-options", fix, "--json", js], input=report)
        items, options, checks = tables(done.stdout)
        with open(js) as f:
            document = json.load(f)
        with open(fix) as f:
            fix_text = f.read()

        expected = {k: v for k, v in PLANTED.items()}
        if key_errors(items) != expected:
            fail(f"key errors {key_errors(items)}, planted {expected}")
        from_json = {(f["form"], i["question"]): i["key_error"] for f in document["forms"]
                     for i in f["items"] if i["key_error"]}
        if from_json != expected:
            fail(f"JSON key errors {from_json}")
        for (form, q), letter in expected.items():
            if f"alt{form.lower()}:{q}{letter}" not in fix_text.splitlines():
                fail(f"no alt{form.lower()}:{q}{letter} in the option file:\n{fix_text}")

        grader = grader_counts(report)
        ours = {}
        for r in options:
            ours.setdefault((r[0], int(r[1])), {})[r[2]] = int(r[4])
        if not ours:
            fail("no option rows")
        for key, tally in ours.items():
            want = {l: c for l, c in grader[key].items() if c > 0}
            have = {l: c for l, c in tally.items() if c > 0}
            if want != have:
                fail(f"form {key[0]} question {key[1]}: options {have}, grader {want}")

        orders = {}
        for order, (form, sid) in enumerate(rows, 1):
            orders.setdefault((sid, form), []).append(order)
        want_checks = [["duplicate student", form, str(o[0]), sid,
                        f"same Student ID and Exam # on {len(o)} sheets: Orders "
                        + ", ".join(map(str, o))]
                       for (sid, form), o in sorted(orders.items(), key=lambda i: i[1][0])
                       if len(o) > 1]
        n = len(rows)
        want_checks += [["no responses", "A", str(n - 1), shown_id("3000000000"), "no response on the sheet"],
                        ["no key", "D", str(n), shown_id("3000000001"), "form D has no key"],
                        ["few sheets", "C", "", "",
                         "only 12 scored sheets: reliability and correlations are not to be trusted"]]
        if checks != want_checks:
            fail(f"checks {checks}, expected {want_checks}")

        regraded = os.path.join(tmp, "regraded.csv")
        tables_file = os.path.join(tmp, "again.csv")
        with open(regraded, "w") as out:
            out.write(run(quillmark + [sheets, f"optf:{fix}"]).stdout)
        if run(analyze + ["-o", tables_file, regraded]).stdout:
            fail("-o left tables on standard output")
        with open(tables_file) as f:
            again, _, _ = tables(f.read())
        if not again:
            fail("no question rows after the regrade")
        if key_errors(again):
            fail(f"key errors left after the fix: {key_errors(again)}")
    print("planted", expected, "ok" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
