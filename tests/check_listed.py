#!/usr/bin/env python3
"""Every source, unit test and end-to-end case in the tree is listed for the
build, and everything listed exists: a file added without its line in a list
would otherwise be left out of the build, or a test would never run.

    check_listed.py ROOT
"""
import os
import re
import sys


def listed_sources(path):
    """The words of every set(...) in a sources.cmake, by variable name."""
    text = re.sub(r"#[^\n]*", "", open(path, encoding="utf-8").read())
    return {m.group(1): m.group(2).split() for m in re.finditer(r"set\((\w+)([^)]*)\)", text)}


def main():
    root = sys.argv[1]
    faults = []
    for folder in sorted(os.listdir(root)):
        list_file = os.path.join(root, folder, "sources.cmake")
        if not os.path.isfile(list_file):
            continue
        listed = set()
        for name, words in listed_sources(list_file).items():
            listed.update(w + ".cpp" if name.endswith("_tests") else w for w in words)
        present = {f for f in os.listdir(os.path.join(root, folder))
                   if f.endswith(".cpp") and f != "main.cpp"}
        faults += [f"{folder}/{f} is not listed in {folder}/sources.cmake"
                   for f in sorted(present - listed)]
        faults += [f"{folder}/sources.cmake lists {f}, which is not in {folder}/"
                   for f in sorted(listed - present)]
    for folder in ("tests/e2e", "tests/e2e_analyze"):
        path = os.path.join(root, folder)
        with open(os.path.join(path, "cases.txt"), encoding="utf-8") as cases:
            listed = [line.strip() for line in cases if line.strip() and not line.startswith("#")]
        present = {d for d in os.listdir(path) if os.path.isdir(os.path.join(path, d))}
        faults += [f"{folder}/{d} is not listed in {folder}/cases.txt"
                   for d in sorted(present - set(listed))]
        faults += [f"{folder}/cases.txt lists {d}, which is not a folder there"
                   for d in sorted(set(listed) - present)]
        faults += [f"{folder}/cases.txt lists {d} twice"
                   for d in sorted({d for d in listed if listed.count(d) > 1})]
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
