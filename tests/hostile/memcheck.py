#!/usr/bin/env python3
"""Runs quillmark under valgrind's memcheck on one end-to-end case (its
arguments, in the case's folder) and passes when memcheck finds no error and
no leak and the program ends with the case's expected status.

  memcheck.py [--skip REASON] PROGRAM CASE

Ends with status 77 (a skip) and says why when valgrind is not installed, or
with --skip, where the build says the check cannot run (a program built with
AddressSanitizer, which valgrind cannot run).
"""
import os
import re
import shutil
import subprocess
import sys

SKIP = 77


def main():
    args = sys.argv[1:]
    if len(args) >= 2 and args[0] == "--skip":
        print(f"{args[1]}: memory check skipped")
        return SKIP
    program, case = os.path.abspath(args[0]), os.path.abspath(args[1])
    valgrind = shutil.which("valgrind")
    if not valgrind:
        print("valgrind not found (Debian package valgrind): memory check skipped")
        return SKIP
    with open(os.path.join(case, "args"), "rb") as f:
        arguments = [a for a in f.read().split(b"\n") if a]
    with open(os.path.join(case, "expected.status")) as f:
        status = int(f.read().strip())
    command = [valgrind, "--tool=memcheck", "--leak-check=full",
               "--show-leak-kinds=definite,indirect,possible",
               "--errors-for-leak-kinds=definite,indirect,possible", "--error-exitcode=99",
               program] + arguments
    done = subprocess.run(command, cwd=case, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          timeout=300)
    log = done.stderr.decode(errors="replace")
    summary = re.search(r"ERROR SUMMARY: (\d+) errors", log)
    ok = done.returncode == status and summary is not None and summary.group(1) == "0"
    if not ok:
        print(log)
        print(f"exit status {done.returncode} (expected {status}),"
              f" {summary.group(0) if summary else 'no error summary'}")
        return 1
    print(summary.group(0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
