#!/usr/bin/env python3
"""Grades generated exams in shuffled versions and holds quillmark-analyze's
--versions and --tags against them.

  versions_check.py <quillmark> <quillmark-analyze>
  versions_check.py make <master sheet file> <folder> [<seed>]

The first form runs the checks; the second turns a sheet file of one form
(such as make_sheets writes) into four shuffled versions in <folder>:
versions.txt, map.csv and tags.csv, for trials at scale.

Students of normal ability answer a master exam of one form (a logistic
model with a floor for guessing, blanks, multiple marks and now and then a
letter past E); its key drops one question. The same answers are given again
as four versions A to D, each with its own order of questions and of the
options of every question, with the map that undoes the shuffle. Checked:
- invariance: the "all" rows of the versions' analysis equal the single
  form's "A" rows figure for figure as printed, and the "all" object of the
  JSON equals the single form's to the last bit; the per-form tables are those
  of the analysis without --versions;
- keys checked across versions: slips planted in the key of version C (a
  wrong letter on two questions, a dropped question on a third) are each found
  as "keys disagree" with the Detail worked out here, the option file holds
  the line that makes C agree, and regrading with it leaves none and makes the
  "all" rows those of the single form again; with two versions and a slip in
  one, the students' answers decide; a question one version drops is left out
  of the "all" rows, which are then those of the single form that drops it;
- the tag table and each sheet's score per tag in the JSON equal those worked
  out here from the report's scoring strings, and the single form's tags
  (its own numbers, no map) equal the versions' (master numbers).
"""
import csv
import io
import json
import math
import os
import random
import re
import shlex
import subprocess
import sys
import tempfile
from fractions import Fraction

from simulated_sheets import grouped, simulated_answer

QUESTIONS, STUDENTS, LETTERS, DROPPED = 40, 1500, "ABCDE", 23  # DROPPED: master number


def master_batch(rng):
    """The master key (a list, "X" at the dropped question) and each student's answers."""
    key = [rng.choice(LETTERS) for _ in range(QUESTIONS)]
    key[DROPPED - 1] = "X"
    difficulty = [rng.uniform(-1.3, 1.3) for _ in range(QUESTIONS)]
    students = []
    for _ in range(STUDENTS):
        ability = rng.gauss(0, 1)
        answers = []
        for q in range(QUESTIONS):
            right = key[q] if key[q] != "X" else "A"
            answers.append(simulated_answer(rng, ability, difficulty[q], right, LETTERS, 0.045))
        students.append("".join(answers))
    return key, students


def make_versions(rng, forms, questions):
    """Per form: the master question (0-based) of each of its questions, and per master
    question the letters master A to E carry on the form ("" on a few: the same)."""
    versions = {}
    for form in forms:
        order = list(range(questions))
        rng.shuffle(order)
        options = []
        for _ in range(questions):
            letters = list(LETTERS)
            rng.shuffle(letters)
            options.append("" if rng.random() < 0.1 else "".join(letters))
        versions[form] = (order, options)
    return versions


def shown(text, form, versions):
    """A master answer string (or key) as a version shows it."""
    order, options = versions[form]
    out = []
    for m in order:
        c = text[m]
        if c in LETTERS and options[m]:
            c = options[m][ord(c) - ord("A")]
        out.append(c)
    return "".join(out)


def map_csv(versions, bom=False, crlf=False):
    end = "\r\n" if crlf else "\n"
    lines = ["Form,Question,Master,Options"]
    for form, (order, options) in sorted(versions.items()):
        for i, m in enumerate(order):
            lines.append(f"{form},{i + 1},{m + 1},{options[m]}")
    return ("\ufeff" if bom else "") + end.join(lines) + end


def write_master(path, key, students):
    lines = [f"0000000000,A,001,{grouped(''.join(key))}"]
    lines += [f"{1000000000 + s},A,001,{grouped(a)}" for s, a in enumerate(students)]
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def write_versions(path, keys, students, assignment, versions):
    """`keys`: per form the key as that version shows it."""
    lines = [f"0000000000,{form},001,{grouped(keys[form])}" for form in sorted(keys)]
    lines += [f"{1000000000 + s},{assignment[s]},001,{grouped(shown(a, assignment[s], versions))}"
              for s, a in enumerate(students)]
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, check=True, **kwargs)


def tables(text):
    """Rows of the test statistics, question, option, tag and check tables."""
    rows = list(csv.reader(text.splitlines()))
    pick = {"test": 12, "items": 6, "options": 9, "tags": 7, "checks": 5}
    out = {k: [] for k in pick}
    heading = None
    for r in rows:
        if not r:
            continue
        if r[0] in ("Form", "Tag", "Check"):
            heading = next(k for k, n in pick.items() if n == len(r))
            continue
        out[heading].append(r)
    return out


def form_rows(t, form):
    return {k: [r[1:] for r in t[k] if r[0] == form] for k in ("test", "items", "options")}


class Checker:
    def __init__(self, quillmark, analyze, tmp):
        self.quillmark, self.analyze, self.tmp = quillmark, analyze, tmp
        self.ok = True

    def fail(self, message):
        print(message)
        self.ok = False

    def path(self, name):
        return os.path.join(self.tmp, name)

    def grade(self, sheets, *options):
        report = self.path(os.path.basename(sheets) + ".csv")
        with open(report, "wb") as out:
            out.write(run(self.quillmark + [sheets, *options]).stdout)
        return report

    def analyse(self, report, *options):
        done = run(self.analyze + [report, *options])
        return done.stdout.decode(), done.stderr.decode()


def key_of(form, key, versions):
    return shown("".join(key), form, versions)


def expected_tags(report, versions, tags, exam):
    """Per tag: (questions, [score of each scored sheet]) from the report's scoring strings."""
    scores = {t: [] for t in tags}
    for row in csv.reader(open(report).read().splitlines()):
        if len(row) != 8 or not row[7].startswith(":") or row[4].strip() == "Raw Score":
            continue
        form, marks = row[1], row[7][1:].replace(" ", "")
        order = versions[form][0] if versions else list(range(len(marks)))
        right = {order[i] + 1 for i, c in enumerate(marks) if c == "c"}
        for t, qs in tags.items():
            scores[t].append(sum(1 for q in qs if q in right))
    return {t: (len([q for q in qs if q in exam]), scores[t]) for t, qs in tags.items()}


def tag_row(name, k, scores, right_counts):
    """The tag table's row as worked out from the scores, exactly, then rounded as printed."""
    n = len(scores)
    mean = Fraction(sum(scores), n)
    variance = Fraction(sum(s * s for s in scores), n) - mean * mean
    cells = [name, str(k), str(n), f"{float(mean):.3f}",
             f"{float(mean * 100 / k):.3f}" if k else "", f"{math.sqrt(variance):.3f}"]
    if k >= 2 and variance > 0:
        pq = sum(Fraction(r, n) * (1 - Fraction(r, n)) for r in right_counts)
        cells.append(f"{float(Fraction(k, k - 1) * (1 - pq / variance)):.3f}")
    else:
        cells.append("")
    return cells


def check_invariance(c, rng):
    key, students = master_batch(rng)
    versions = make_versions(rng, "ABCD", QUESTIONS)
    assignment = [rng.choice("ABCD") for _ in students]
    master, shuffled, map_file, tag_file = (c.path(n) for n in ("master.txt", "versions.txt", "map.csv", "tags.csv"))
    write_master(master, key, students)
    write_versions(shuffled, {f: key_of(f, key, versions) for f in "ABCD"}, students, assignment, versions)
    with open(map_file, "w", newline="") as out:
        out.write(map_csv(versions, bom=True, crlf=True))
    tags = {"algebra": list(range(1, 11)), "geometry": list(range(8, 25)), "whole test": list(range(1, QUESTIONS + 1)),
            "one question": [5]}
    with open(tag_file, "w") as out:
        out.write("Master,Tag\n" + "".join(f"{q},{t}\n" for t, qs in tags.items() for q in qs))

    single_report, versions_report = c.grade(master), c.grade(shuffled)
    single, _ = c.analyse(single_report, "--json", c.path("single.json"), "--tags", tag_file)
    both, err = c.analyse(versions_report, "--versions", map_file, "--json", c.path("versions.json"),
                          "--tags", tag_file)
    plain, _ = c.analyse(versions_report)
    ts, tv = tables(single), tables(both)
    a_rows, all_rows = form_rows(ts, "A"), form_rows(tv, "all")
    for k in a_rows:
        if not a_rows[k] or a_rows[k] != all_rows[k]:
            c.fail(f"invariance: {k} rows differ:\n A  {a_rows[k][:3]}\n all {all_rows[k][:3]}")
    if any(str(DROPPED) == r[0] for r in all_rows["items"]):
        c.fail("the dropped question has an all row")
    # The per-form tables and the checks as without a map.
    kept = [b for b in both.split("\n\n")[3:] if not b.startswith("Tag,")]
    if kept != plain.split("\n\n"):
        c.fail("the per-form tables with --versions differ from those without")
    if "Form all: % scores" not in err or "0 keys disagree" not in err:
        c.fail(f"standard error lacks the whole exam's histogram or the keys count:\n{err}")

    with open(c.path("single.json")) as f:
        single_json = json.load(f)
    with open(c.path("versions.json")) as f:
        versions_json = json.load(f)
    a_json, all_json = single_json["forms"][0], versions_json["all"]
    places = [item.pop("versions") for item in all_json["items"]]
    a_json.pop("form"), all_json.pop("form")
    if a_json != all_json:
        c.fail("invariance: the JSON of all differs from form A's")
    if rasch_of(c, single_report, "A") != rasch_of(c, versions_report, "all", "--versions", map_file):
        c.fail("invariance: the Rasch measures of all differ from form A's")
    first = places[0]
    want = sorted((f, versions[f][0].index(0) + 1, versions[f][1][0]) for f in "ABCD")
    if sorted((p["form"], p["question"], p["options"]) for p in first) != want:
        c.fail(f"the versions of master question 1: {first}, expected {want}")

    # Tags: worked out from the scoring strings, the same without a map.
    exam = {q for q in range(1, QUESTIONS + 1) if q != DROPPED}
    expected = expected_tags(versions_report, versions, tags, exam)
    right = {}
    for q in exam:
        right[q] = 0
    for row in csv.reader(open(versions_report).read().splitlines()):
        if len(row) == 8 and row[7].startswith(":") and row[4].strip() != "Raw Score":
            marks = row[7][1:].replace(" ", "")
            for i, ch in enumerate(marks):
                m = versions[row[1]][0][i] + 1
                if ch == "c" and m in right:
                    right[m] += 1
    want_rows = [tag_row(t, k, s, [right[q] for q in tags[t] if q in exam]) for t, (k, s) in expected.items()]
    if tv["tags"] != want_rows:
        c.fail(f"tag table {tv['tags']}, expected {want_rows}")
    if ts["tags"] != want_rows:
        c.fail(f"the single form's tag table {ts['tags']}, expected {want_rows}")
    got = {t["tag"]: t["scores"] for t in versions_json["tags"]["tags"]}
    if got != {t: s for t, (k, s) in expected.items()}:
        c.fail("the sheets' tag scores in the JSON differ from the scoring strings")
    if versions_json["tags"]["orders"] != list(range(1, STUDENTS + 1)):
        c.fail("the tag scores' orders are not the sheets'")
    whole = next(r for r in tv["tags"] if r[0] == "whole test")
    test = tv["test"][0]
    if [whole[3], whole[5], whole[6]] != [test[3], test[5], test[8]]:
        c.fail(f"the whole-test tag {whole} disagrees with the test statistics {test}")
    print("invariance and tags: checked on", STUDENTS, "sheets")
    return key, students, versions, assignment


def rasch_of(c, report, form, *options):
    """The Rasch measurement of one form ("all": the whole exam) in the JSON of --rasch."""
    c.analyse(report, "--rasch", "--json", c.path("rasch.json"), *options)
    with open(c.path("rasch.json")) as f:
        document = json.load(f)
    found = document["all"] if form == "all" else next(x for x in document["forms"] if x["form"] == form)
    if "rasch" not in found or found["rasch"]["message"] is not None:
        c.fail(f"form {form} has no Rasch measures")
    return found["rasch"]


def keys_disagree_rows(t):
    return [r for r in t["checks"] if r[0] == "keys disagree"]


def fix_lines_after(fix_text, comment_start):
    """The option lines under a comment of the fix file; where the comment
    says that they are the same as above, the lines written earlier for that
    form's question."""
    lines = fix_text.splitlines()
    for i, line in enumerate(lines):
        if line.startswith(comment_start):
            out = []
            for l in lines[i + 1:]:
                if l.startswith("#"):
                    break
                out.append(l)
            if not out and lines[i + 1:i + 2] == ["# the option lines for it are the same as above"]:
                form, question = re.match(r"# form (\w) question (\d+):", comment_start).groups()
                amends = re.compile(rf"alt{form.lower()}:{question}[+A-Z]")
                return [l for l in lines[:i] if amends.match(l)]
            return out
    return None


def check_key_slips(c, rng, key, students, versions, assignment):
    # Three slips on version C: a wrong letter on two questions, a drop on a third.
    slips = {3: "wrong", 17: "wrong", 31: "drop"}
    keys = {f: key_of(f, key, versions) for f in "ABCD"}
    order, options = versions["C"]
    c_key = list(keys["C"])
    expected = []
    for m, kind in sorted(slips.items()):
        i = order.index(m - 1)
        true_master = key[m - 1]
        own = lambda letter: options[m - 1][ord(letter) - 65] if options[m - 1] else letter
        if kind == "wrong":
            wrong_master = next(x for x in LETTERS if x != true_master)
            c_key[i] = own(wrong_master)
            accepts = f"accepts {own(wrong_master)} (master {wrong_master})"
        else:
            c_key[i] = "X"
            accepts = "is dropped"
        expected.append((["keys disagree", "C", "", "",
                          f"question {i + 1} is master question {m} and {accepts}; forms A, B and D accept "
                          f"master {true_master}: the key of 3 of the 4 forms"],
                         f"altc:{i + 1}{own(true_master)}"))
    keys["C"] = "".join(c_key)
    sheets, map_file = c.path("slips.txt"), c.path("slips-map.csv")
    write_versions(sheets, keys, students, assignment, versions)
    with open(map_file, "w") as out:
        out.write(map_csv(versions))
    fix = c.path("slips.opt")
    out, err = c.analyse(c.grade(sheets), "--versions", map_file, "--fix-options", fix)
    found = keys_disagree_rows(tables(out))
    if found != [e[0] for e in expected]:
        c.fail(f"keys disagree rows {found},\nexpected {[e[0] for e in expected]}")
    if f"{len(expected)} keys disagree" not in err:
        c.fail(f"standard error does not count {len(expected)} keys disagree:\n{err}")
    fix_text = open(fix).read()
    for row, line in expected:
        lines = fix_lines_after(fix_text, f"# form C question {row[4].split()[1]}: keys disagree: ")
        if lines != [line]:
            c.fail(f"option lines {lines} for {row[4]}, expected {[line]}")
    regraded = c.grade(sheets, f"optf:{fix}")
    again, _ = c.analyse(regraded, "--versions", map_file)
    if keys_disagree_rows(tables(again)):
        c.fail(f"keys disagree after the regrade: {keys_disagree_rows(tables(again))}")
    single, _ = c.analyse(c.path("master.txt.csv"))
    if form_rows(tables(again), "all") != form_rows(tables(single), "A"):
        c.fail("after the regrade the all rows are not the single form's")

    # Two versions, a slip on B: no majority, the students' answers decide.
    m = 9
    i = versions["B"][0].index(m - 1)
    opts = versions["B"][1][m - 1]
    own = lambda letter: opts[ord(letter) - 65] if opts else letter
    true_master = key[m - 1]
    wrong_master = next(x for x in reversed(LETTERS) if x != true_master)
    b_key = list(key_of("B", key, versions))
    b_key[i] = own(wrong_master)
    two = {"A": key_of("A", key, versions), "B": "".join(b_key)}
    pair = [f if f in "AB" else "AB"[s % 2] for s, f in enumerate(assignment)]
    sheets = c.path("two.txt")
    write_versions(sheets, two, students, pair, versions)
    fix = c.path("two.opt")
    out, _ = c.analyse(c.grade(sheets), "--versions", map_file, "--fix-options", fix)
    want = [["keys disagree", "B", "", "",
             f"question {i + 1} is master question {m} and accepts {own(wrong_master)} (master {wrong_master}); "
             f"form A accepts master {true_master}: no key is on more forms than the others, and the students' "
             f"answers favour master {true_master}"]]
    if keys_disagree_rows(tables(out)) != want:
        c.fail(f"two versions: {keys_disagree_rows(tables(out))},\nexpected {want}")
    lines = fix_lines_after(open(fix).read(), f"# form B question {i + 1}: keys disagree: ")
    if lines != [f"altb:{i + 1}{own(true_master)}"]:
        c.fail(f"two versions: option lines {lines}")
    again, _ = c.analyse(c.grade(sheets, f"optf:{fix}"), "--versions", map_file)
    if keys_disagree_rows(tables(again)):
        c.fail("two versions: keys disagree after the regrade")
    print("key slips: found, fixed and cleared")


def check_dropped_on_one_form(c, key, students, versions, assignment):
    """A question that version C drops and the others score is left out of the all rows,
    which are then those of the single form with that question dropped."""
    m = 31
    keys = {f: key_of(f, key, versions) for f in "ABCD"}
    i = versions["C"][0].index(m - 1)
    keys["C"] = keys["C"][:i] + "X" + keys["C"][i + 1:]
    sheets, single = c.path("dropped.txt"), c.path("dropped-master.txt")
    write_versions(sheets, keys, students, assignment, versions)
    write_master(single, key[:m - 1] + ["X"] + key[m:], students)
    both, _ = c.analyse(c.grade(sheets), "--versions", c.path("map.csv"))
    one, _ = c.analyse(c.grade(single))
    if form_rows(tables(both), "all") != form_rows(tables(one), "A"):
        c.fail("a question dropped on one version: the all rows are not the single form's without it")
    if rasch_of(c, c.grade(single), "A") != rasch_of(c, c.grade(sheets), "all", "--versions", c.path("map.csv")):
        c.fail("a question dropped on one version: the Rasch measures of all are not the single form's")


def check_nothing_written(c, report, map_file):
    """A map that does not fit the report ends the run before any output is touched."""
    with open(map_file) as f:
        rows = f.read().splitlines()
    broken = c.path("broken-map.csv")
    left_out = max(i for i, row in enumerate(rows) if row.split(",")[2] not in ("Master", str(DROPPED)))
    with open(broken, "w") as out:
        out.write("\n".join(rows[:left_out] + rows[left_out + 1:]) + "\n")  # a scored question's row left out
    outputs = {name: c.path(name) for name in ("out.csv", "out.json", "out.html", "out.opt")}
    with open(outputs["out.csv"], "w") as out:
        out.write("an earlier analysis\n")
    done = subprocess.run(c.analyze + [report, "--versions", broken, "-o", outputs["out.csv"], "--json",
                                       outputs["out.json"], "--html", outputs["out.html"], "--fix-options",
                                       outputs["out.opt"]], capture_output=True)
    form, question = rows[left_out].split(",")[:2]
    want = (f"{broken}: question {question} of form {form} is scored in the report but the map has no row "
            f"for it\n").encode()
    if done.returncode != 255 or done.stderr != want or done.stdout:
        c.fail(f"a map without a row: status {done.returncode}, {done.stderr!r}")
    if open(outputs["out.csv"]).read() != "an earlier analysis\n" or any(
            os.path.exists(outputs[n]) for n in ("out.json", "out.html", "out.opt")):
        c.fail("a map without a row: an output was written")


def make_from(master_file, folder, seed):
    """Four versions of a sheet file of one form, with their map and tags."""
    rng = random.Random(seed)
    def ungrouped(responses):
        return "".join(responses[i:i + 10] for i in range(0, len(responses), 11))

    with open(master_file) as f:
        lines = f.read().splitlines()
    questions = len(ungrouped(lines[0].split(",", 3)[3]))
    versions = make_versions(rng, "ABCD", questions)
    out = []
    for line in lines:
        sid, form, exam, responses = line.split(",", 3)
        text = ungrouped(responses).ljust(questions)
        if sid == "0000000000" or exam == "000":
            for f in "ABCD":
                out.append(f"{sid},{f},{exam},{grouped(shown(text, f, versions))}")
            continue
        f = "ABCD"[rng.randrange(4)]
        out.append(f"{sid},{f},{exam},{grouped(shown(text, f, versions))}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "versions.txt"), "w") as f:
        f.write("\n".join(out) + "\n")
    with open(os.path.join(folder, "map.csv"), "w") as f:
        f.write(map_csv(versions))
    with open(os.path.join(folder, "tags.csv"), "w") as f:
        f.write("Master,Tag\n" + "".join(f"{q},topic {q % 5 + 1}\n" for q in range(1, questions + 1)))


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "make":
        make_from(sys.argv[2], sys.argv[3], int(sys.argv[4]) if len(sys.argv) > 4 else 1)
        return 0
    wrapper = shlex.split(os.environ.get("QUILLMARK_WRAPPER", ""))
    quillmark, analyze = (wrapper + [p] for p in sys.argv[1:3])
    rng = random.Random(20261209)
    with tempfile.TemporaryDirectory() as tmp:
        c = Checker(quillmark, analyze, tmp)
        key, students, versions, assignment = check_invariance(c, rng)
        check_key_slips(c, rng, key, students, versions, assignment)
        check_dropped_on_one_form(c, key, students, versions, assignment)
        check_nothing_written(c, c.path("versions.txt.csv"), c.path("map.csv"))
    print("ok" if c.ok else "FAILED")
    return 0 if c.ok else 1


if __name__ == "__main__":
    sys.exit(main())
