#!/usr/bin/env python3
"""Grades a generated batch, matches it to its class list and checks the gradebook.

  class_list_batch_check.py <quillmark> <quillmark-analyze>

800 students on two forms of 20 questions, their class list saved with
semicolons, a byte order mark and CR LF, names with commas, quotes,
semicolons, accents and a byte that is not UTF-8. 30 students are absent;
25 sheets have one digit of the identifier wrong, 25 two neighbouring digits
swapped; 15 sheets carry identifiers on nobody's row; 5 students hand in two
sheets; and planted near misses make some slips uncertain: one sheet a digit
off from two absent students, two sheets a digit off from one. Checked, with
the matching worked out here from the rules:
- the gradebook holds the class list's cells byte for byte, in its order, a
  row per sheet of each student, "no sheet" for the absent, then the sheets
  of nobody with the identifier bubbled;
- every score is the student's own (raw score and per-cent from the answers
  and the key), every grade follows the scale on the exact fraction;
- every slip is corrected exactly when it is certain, else listed "not on the
  class list" naming the student meant.
"""
import csv
import io
import os
import random
import shlex
import subprocess
import sys
import tempfile
from fractions import Fraction

from simulated_sheets import grouped

QUESTIONS, STUDENTS, LETTERS = 20, 800, "ABCDE"
SCALE = [("A", 90), ("B", 85), ("C", 70), ("D", 50), ("F", 0)]
FIRST_NAMES = ["Ada", "Zoë", "José", "Renée", "Søren", "Bo", 'Jo "JJ"', "Ann; Marie"]
LAST_NAMES = ["Smith", "O'Hara", "Núñez, Jr.", "Ångström", "Li", "Dupont-Durand", "Müller"]


def key_of(identifier):
    """Matching form: blanks removed; all digits: leading zeros ignored."""
    k = identifier.replace(" ", "").replace("\t", "")
    if k.isdigit() and k.isascii():
        k = k.lstrip("0") or "0"
    return k


def slip(a, b):
    """'one digit off', 'neighbouring digits swapped' or None, on keys padded to ten."""
    if not a or not b or len(a) > 10 or len(b) > 10:
        return None
    a, b = a.rjust(10, "0"), b.rjust(10, "0")
    diff = [i for i in range(10) if a[i] != b[i]]
    if len(diff) == 1:
        return "one digit off"
    if len(diff) == 2 and diff[1] == diff[0] + 1 and a[diff[0]] == b[diff[1]] and a[diff[1]] == b[diff[0]]:
        return "neighbouring digits swapped"
    return None


def shown(bubbled):
    first = bubbled[0]
    if "1" <= first <= "6":
        first = chr(ord(first) + 16)
    elif "7" <= first <= "9":
        first = chr(ord(first) + 30)
    return first + bubbled[1:]


def csv_cell(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ';"\r\n') else text


def make(rng, folder):
    ids = set()
    while len(ids) < STUDENTS:
        ids.add("".join(rng.choice("0123456789") for _ in range(10)))
    ids = sorted(ids, key=lambda _: rng.random())
    ids = [i for i in ids if key_of(i) != "0"]
    # The planted near misses: absent students and sheets of nobody.
    ids += ["5555555550", "5555555551", "6666666660"]
    names = [f"{rng.choice(LAST_NAMES)}, {rng.choice(FIRST_NAMES)}" for _ in ids]
    names[7] = "Caf\xe9 \udcff"  # a byte 0xFF, not UTF-8, kept as it stands
    keys = {f: [rng.choice(LETTERS) for _ in range(QUESTIONS)] for f in "AB"}
    absent = set(range(len(ids) - 33, len(ids)))  # the last 30 drawn and the 3 planted
    slipped = {}  # sheet index -> student meant
    sheets = []  # (bubbled id, form, answers, student meant or None)
    for s, identifier in enumerate(ids):
        if s in absent:
            continue
        bubbled = identifier
        if len(sheets) < 25:
            p = rng.randrange(10)
            bubbled = identifier[:p] + rng.choice([d for d in "0123456789" if d != identifier[p]]) + identifier[p + 1:]
        elif len(sheets) < 50:
            p = rng.choice([p for p in range(9) if identifier[p] != identifier[p + 1]])
            bubbled = identifier[:p] + identifier[p + 1] + identifier[p] + identifier[p + 2:]
        if bubbled != identifier:
            slipped[len(sheets)] = s
        copies = 2 if 100 <= s < 105 else 1
        for _ in range(copies):
            form = rng.choice("AB")
            answers = [keys[form][q] if rng.random() < 0.75 else rng.choice(LETTERS) for q in range(QUESTIONS)]
            sheets.append((bubbled, form, answers, s))
    for _ in range(15):
        sheets.append(("9" + "".join(rng.choice("0123456789") for _ in range(9)), "A",
                       [rng.choice(LETTERS) for _ in range(QUESTIONS)], None))
    for bubbled in ["5555555552", "6666666661", "6666666662"]:
        sheets.append((bubbled, "B", [rng.choice(LETTERS) for _ in range(QUESTIONS)], None))
    order = list(range(len(sheets)))
    rng.shuffle(order)
    sheets = [sheets[i] for i in order]
    slipped = {order.index(i): s for i, s in slipped.items()}

    with open(os.path.join(folder, "batch.txt"), "w") as out:
        for f in "AB":
            out.write(f"0000000000,{f},001,{grouped(keys[f])}\n")
        for bubbled, form, answers, _ in sheets:
            out.write(f"{bubbled},{form},001,{grouped(answers)}\n")
    text = "Student ID;Name;Section\r\n" + "".join(
        f"{i};{csv_cell(n)};{s % 7}\r\n" for s, (i, n) in enumerate(zip(ids, names)))
    with open(os.path.join(folder, "class.csv"), "wb") as out:
        out.write(b"\xef\xbb\xbf" + text.encode("utf-8", "surrogateescape"))
    rows = [[i, n, str(s % 7)] for s, (i, n) in enumerate(zip(ids, names))]
    return ids, rows, keys, sheets, slipped


def expected_matching(ids, sheets):
    """Student of every sheet, the corrected sheets and the candidates of the rest."""
    by_key = {}
    for s, i in enumerate(ids):
        by_key.setdefault(key_of(i), []).append(s)
    student = [None] * len(sheets)
    for n, (bubbled, _, _, _) in enumerate(sheets):
        rows = by_key.get(key_of(bubbled), [])
        if len(rows) == 1:
            student[n] = rows[0]
    has_sheet = set(s for s in student if s is not None)
    candidates = {}
    for n, (bubbled, _, _, _) in enumerate(sheets):
        if student[n] is None and key_of(bubbled) not in by_key:
            candidates[n] = [s for s, i in enumerate(ids) if s not in has_sheet
                             and len(by_key[key_of(i)]) == 1 and slip(key_of(bubbled), key_of(i))]
    named = {}
    for cands in candidates.values():
        for s in cands:
            named[s] = named.get(s, 0) + 1
    corrected = {n: c[0] for n, c in candidates.items() if len(c) == 1 and named[c[0]] == 1}
    for n, s in corrected.items():
        student[n] = s
    return student, corrected, candidates


def main():
    wrapper = shlex.split(os.environ.get("QUILLMARK_WRAPPER", ""))
    quillmark, analyze = (wrapper + [os.path.abspath(p)] for p in sys.argv[1:3])
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        ids, rows, keys, sheets, slipped = make(random.Random(20261208), tmp)
        with open(os.path.join(tmp, "report.csv"), "wb") as out:
            subprocess.run(quillmark + ["batch.txt"], cwd=tmp, stdout=out, stderr=subprocess.DEVNULL, check=True)
        scale = ",".join(f"{g}:{b}" for g, b in SCALE)
        subprocess.run(analyze + ["--class-list", "class.csv", "--grades", scale, "--gradebook", "grades.csv",
                                  "-o", "tables.csv", "report.csv"], cwd=tmp, check=True, capture_output=True)
        with open(os.path.join(tmp, "grades.csv"), "rb") as f:
            book = list(csv.reader(io.StringIO(f.read().decode("utf-8", "surrogateescape"), newline="")))
        with open(os.path.join(tmp, "tables.csv"), "rb") as f:
            checks = [r for r in csv.reader(io.StringIO(f.read().decode("utf-8", "surrogateescape")))
                      if len(r) == 5 and r[0] != "Check"]

    student, corrected, candidates = expected_matching(ids, sheets)

    def sheet_cells(n):
        _, form, answers, _ = sheets[n]
        raw = sum(a == k for a, k in zip(answers, keys[form]))
        grade = next(g for g, b in SCALE if Fraction(raw * 100, QUESTIONS) >= b)
        return [form, str(raw), f"{raw * 100 / QUESTIONS:.3f}", grade]

    want = [["Student ID", "Name", "Section", "Form", "Raw score", "Score %", "Grade", "Note"]]
    for s, row in enumerate(rows):
        mine = [n for n in range(len(sheets)) if student[n] == s]
        for n in mine:
            notes = [f"ID corrected from {sheets[n][0]}"] if n in corrected else []
            others = [str(m + 1) for m in mine if m != n]
            if others:
                notes.append(("also Order " if len(others) == 1 else "also Orders ") + " and ".join(others))
            want.append(row + sheet_cells(n) + ["; ".join(notes)])
        if not mine:
            want.append(row + ["", "", "", "", "no sheet"])
    for n in range(len(sheets)):
        if student[n] is None:
            want.append([sheets[n][0], "", ""] + sheet_cells(n) + ["not on the class list"])
    if book != want:
        for a, b in zip(book, want):
            if a != b:
                problems.append(f"gradebook row {a} expected {b}")
                break
        problems.append(f"gradebook: {len(book)} rows, expected {len(want)}")

    got_corrected = {int(r[2]) - 1 for r in checks if r[0] == "ID corrected"}
    if got_corrected != set(corrected):
        problems.append(f"corrected {sorted(got_corrected)}, expected {sorted(corrected)}")
    listed = {int(r[2]) - 1: r[4] for r in checks if r[0] == "not on the class list"}
    for n, s in slipped.items():
        if n not in corrected and (n not in listed or f"{ids[s]} (line {s + 2}," not in listed[n]):
            problems.append(f"the slip of Order {n + 1} from {ids[s]} is neither corrected nor listed")
    uncertain = [n for n, c in candidates.items() if c and n not in corrected]
    no_sheet = [r[3] for r in checks if r[0] == "no sheet"]
    if len(corrected) < 30 or len(uncertain) < 3 or len(no_sheet) < 30:
        problems.append(f"the batch lacks its cases: {len(corrected)} corrected, {len(uncertain)} uncertain, "
                        f"{len(no_sheet)} without a sheet")
    for p in problems:
        print(p)
    print(f"{len(sheets)} sheets, {len(corrected)} corrected, {len(uncertain)} uncertain, "
          f"{len(no_sheet)} without a sheet:", "FAILED" if problems else "ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
