"""The answer-similarity screen end to end: a simulated batch in rooms with
two planted copiers is graded by quillmark and screened by quillmark-analyze
--similarity, with --rooms exam and with --rooms taking a class-list column;
both planted pairs are listed, with the IDs as bubbled and the room, in the
CSV table and the JSON, and nothing else is. Bad --rooms values are refused
with a clear message.

    similarity_check.py SIMULATOR QUILLMARK QUILLMARK_ANALYZE
"""
import csv
import json
import os
import subprocess
import sys
import tempfile


def run(*args, **kw):
    return subprocess.run(list(args), capture_output=True, **kw)


def main():
    simulator, grader, analyzer = sys.argv[1:4]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        sheets = os.path.join(work, "sheets.txt")
        report = os.path.join(work, "report.csv")
        tables = os.path.join(work, "tables.csv")
        document = os.path.join(work, "analysis.json")
        made = run(simulator, "sheets", "120", "50", "40", "2", "0.5", "run", "7")
        assert made.returncode == 0, made.stderr
        with open(sheets, "wb") as f:
            f.write(made.stdout)
        planted = {frozenset(line.split()) for line in made.stderr.decode().splitlines()}
        assert len(planted) == 2, planted
        with open(report, "wb") as f:
            graded = subprocess.run([grader, sheets], stdout=f, stderr=subprocess.PIPE)
        assert graded.returncode == 0, graded.stderr
        # The class list puts sheet s in section "S" + its room.
        class_list = os.path.join(work, "class.csv")
        with open(class_list, "w") as f:
            f.write("Name,Student ID,Section\n")
            for s in range(120):
                f.write("N%d,%d,S%03d\n" % (s, 1234500000 + s, s // 40 + 1))
        for rooms, prefix in ((["--rooms", "exam"], ""),
                              (["--class-list", class_list, "--rooms", "section"], "S")):
            check_run(analyzer, report, rooms, prefix, planted, tables, document, failures)

        for args, words in ((["--similarity", "--rooms", "Section"], "--rooms Section needs --class-list"),
                            (["--similarity", "--rooms", "Room", "--class-list", class_list],
                             "has no such column (its columns: Name, Student ID, Section)"),
                            (["--rooms", "exam"], "--similarity"),
                            (["--similarity-fdr"], "--similarity-fdr requires --similarity")):
            refused = run(analyzer, report, *args)
            if refused.returncode != 255 or words not in refused.stderr.decode():
                failures.append("%s: status %d, %s" % (args, refused.returncode, refused.stderr.decode()))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


def check_run(analyzer, report, rooms, prefix, planted, tables, document, failures):
    """Screens the report in the rooms `rooms` names and checks both tables."""
    done = run(analyzer, report, "--similarity", *rooms, "-o", tables, "--json", document)
    if done.returncode != 0:
        failures.append("analyse: status %d: %s" % (done.returncode, done.stderr.decode()))
    else:
        with open(tables, newline="") as f:
            lines = f.read().split("\n")
        start = [i for i, line in enumerate(lines)
                 if line.startswith('Form,Room,"Student ID","Other ID"')]
        if len(start) != 1:
            failures.append("no similarity table heading")
        else:
            rows = list(csv.DictReader([l for l in lines[start[0]:] if l]))
            listed = {frozenset((r["Student ID"], r["Other ID"])) for r in rows}
            if listed != planted:
                failures.append("listed %s, planted %s" % (listed, planted))
            # Sheet s sits in room s // 40 + 1; the IDs are 1234500000 + s.
            for r in rows:
                room = (int(r["Student ID"]) - 1234500000) // 40 + 1
                if r["Room"] != prefix + "%03d" % room or r["List"] != "family-wise":
                    failures.append("row %s" % r)
        with open(document) as f:
            pairs = json.load(f)["similarity"]["pairs"]
        if {frozenset((p["student_id"], p["other_id"])) for p in pairs} != planted:
            failures.append("JSON pairs %s" % pairs)


if __name__ == "__main__":
    sys.exit(main())
