#!/usr/bin/env python3
"""Fuzzes the whole quillmark program: runs a sanitizer build of it on
mutated copies of the end-to-end cases.

Each run takes one case folder of tests/e2e (its arguments, sheet file and
option files), changes one to three of its input files or arguments with a
few random edits (bit flips, bytes that matter to the parser, inserted
runs, cut or repeated pieces, lines from another case), runs the program
in a fresh folder and checks that
  - it ends within the time limit,
  - its exit status is 0 or 255 (-1),
  - standard error holds no sanitizer report.
A run that breaks one of these is a finding: its folder is kept under
--findings with a note of what went wrong, and the driver ends with status 1
once the time or the number of runs is used up.

Cases with a generate.py (inputs of many megabytes) are left out: they are
too slow for many runs. Arguments never get a '/', so that an option file
name cannot reach outside the run's folder (a device that never ends, or
standard input).

  mutate.py PROGRAM [--cases DIR] [--seconds N] [--runs N] [--seed N]
            [--timeout S] [--findings DIR]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SPECIAL = {"args", "stdout_to", "generate.py"}


def is_special(name):
    """The harness's own files of a case, not inputs of the program."""
    return name in SPECIAL or name.startswith(("expected.", "skip."))


INTERESTING = b"\x00\n\r,- #\"xX*?09AaJjKkPpQYZz\x7f\x80\xe9\xff\t:+"
SANITIZER_MARKS = (b"ERROR: AddressSanitizer", b"ERROR: LeakSanitizer", b"runtime error:",
                   b"SUMMARY: UndefinedBehaviorSanitizer", b"SUMMARY: AddressSanitizer")
OPTION_WORDS = [b"keya:", b"keyb:abc de", b"keyc:", b"keyd:x-x", b"alta:1+b", b"altb:2x",
                b"altc:1000a", b"altd:0c", b"cols:x", b"optf:", b"optf:.", b'"keya:abc"',
                b"alta:99999999999999999999b", b"#", b""]


def load_cases(folder):
    cases = []
    for name in sorted(os.listdir(folder)):
        case = os.path.join(folder, name)
        if not os.path.isdir(case) or os.path.exists(os.path.join(case, "generate.py")):
            continue
        inputs = []
        for root, _dirs, files in os.walk(case):
            for f in files:
                path = os.path.join(root, f)
                if root == case and is_special(f):
                    continue
                if os.path.islink(path) and not os.path.exists(path):
                    continue
                inputs.append(os.path.relpath(path, case))
        args = []
        if os.path.exists(os.path.join(case, "args")):
            with open(os.path.join(case, "args"), "rb") as f:
                args = f.read().split(b"\n")
            if args and args[-1] == b"":
                args.pop()
        stdout_to = None
        if os.path.exists(os.path.join(case, "stdout_to")):
            with open(os.path.join(case, "stdout_to")) as f:
                stdout_to = f.read().strip()
        cases.append({"dir": case, "inputs": inputs, "args": args, "stdout_to": stdout_to})
    return cases


def some_lines(rng, cases):
    """A few lines from an input file of any case, for splicing."""
    case = rng.choice(cases)
    if not case["inputs"]:
        return b""
    path = os.path.join(case["dir"], rng.choice(case["inputs"]))
    try:
        with open(path, "rb") as f:
            lines = f.read().split(b"\n")
    except OSError:
        return b""
    start = rng.randrange(len(lines))
    return b"\n".join(lines[start:start + rng.randint(1, 4)]) + b"\n"


def mutate_bytes(rng, data, cases):
    data = bytearray(data)
    for _ in range(rng.randint(1, 8)):
        op = rng.randrange(9)
        pos = rng.randint(0, len(data))
        if op == 0 and data:  # flip a bit
            i = rng.randrange(len(data))
            data[i] ^= 1 << rng.randrange(8)
        elif op == 1 and data:  # a byte that matters to the parser
            data[rng.randrange(len(data))] = rng.choice(INTERESTING)
        elif op == 2:  # insert random bytes
            data[pos:pos] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 16)))
        elif op == 3 and data:  # cut a piece
            end = min(len(data), pos + rng.randint(1, 64))
            del data[pos:end]
        elif op == 4 and data:  # repeat a piece
            start = rng.randrange(len(data))
            piece = data[start:start + rng.randint(1, 64)]
            data[pos:pos] = piece * rng.randint(1, 40)
        elif op == 5:  # a long run of one byte
            data[pos:pos] = bytes([rng.choice(INTERESTING)]) * rng.choice((11, 999, 1000, 1001, 1023, 1024, 5000))
        elif op == 6:  # lines of another case
            data[pos:pos] = some_lines(rng, cases)
        elif op == 7:  # cut the end
            del data[pos:]
        elif op == 8:  # many empty or repeated lines
            data[pos:pos] = rng.choice((b"\n", b"\r\n", b"0000000000,A,000,ABCDE\n")) * rng.randint(1, 500)
    return bytes(data)


def mutate_args(rng, args, inputs, cases):
    """Adds, changes or drops one argument. A new or changed argument loses
    any '/', so that it names nothing outside the run's folder."""
    args = list(args)
    op = rng.randrange(4)
    if op == 0 or len(args) < 2:  # add an option
        word = rng.choice(OPTION_WORDS)
        if word == b"optf:" and inputs:
            word += os.fsencode(rng.choice(inputs))
        args.insert(rng.randint(min(1, len(args)), len(args)), word.replace(b"/", b""))
    elif op == 1:  # change one argument
        i = rng.randrange(len(args))
        changed = mutate_bytes(rng, args[i], cases)
        args[i] = changed.replace(b"\x00", b"").replace(b"\n", b"").replace(b"/", b"")
    elif op == 2:  # drop one
        del args[rng.randrange(len(args))]
    else:  # the sheet file becomes the folder itself, or one of the input files
        args[0] = rng.choice([b"."] + [os.fsencode(i) for i in inputs])
    return args


def run_one(rng, cases, program, timeout, findings, number):
    case = rng.choice(cases)
    tmp = tempfile.mkdtemp(prefix="quillmark-mutate-")
    work = os.path.join(tmp, "case")
    try:
        shutil.copytree(case["dir"], work, symlinks=False,
                        ignore=lambda d, names: [n for n in names if is_special(n)] if d == case["dir"] else [])
        args = case["args"]
        edits = []
        for _ in range(rng.randint(1, 3)):
            if case["inputs"] and rng.random() < 0.75:
                name = rng.choice(case["inputs"])
                path = os.path.join(work, name)
                if os.path.isfile(path):
                    with open(path, "rb") as f:
                        data = f.read()
                    with open(path, "wb") as f:
                        f.write(mutate_bytes(rng, data, cases))
                    edits.append(name)
            else:
                args = mutate_args(rng, args, case["inputs"], cases)
                edits.append("args")
        out = open(case["stdout_to"], "wb") if case["stdout_to"] else subprocess.DEVNULL
        problem = None
        start = time.monotonic()
        try:
            done = subprocess.run([program] + args, cwd=work, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.PIPE, timeout=timeout)
            if done.returncode not in (0, 255):
                problem = f"exit status {done.returncode}"
            elif any(mark in done.stderr for mark in SANITIZER_MARKS):
                problem = "sanitizer report"
        except subprocess.TimeoutExpired:
            problem = f"no end within {timeout} s"
            done = None
        finally:
            if case["stdout_to"]:
                out.close()
        if problem:
            keep = os.path.join(findings, f"finding-{number}")
            shutil.copytree(work, keep, symlinks=True)
            with open(os.path.join(keep, "args"), "wb") as f:
                f.write(b"".join(a + b"\n" for a in args))
            with open(os.path.join(keep, "finding.txt"), "w") as f:
                f.write(f"case {os.path.basename(case['dir'])}, edited {edits}: {problem}\n")
            if done is not None:
                with open(os.path.join(keep, "finding.stderr"), "wb") as f:
                    f.write(done.stderr)
            print(f"finding {number}: {os.path.basename(case['dir'])} edited {edits}: {problem}"
                  f" (kept in {keep})", flush=True)
        return problem is None, time.monotonic() - start
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program", help="the sanitizer build of quillmark")
    parser.add_argument("--cases", default=os.path.join(HERE, "..", "e2e"))
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--runs", type=int, default=0, help="stop after this many runs (0: no limit)")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--timeout", type=float, default=20, help="seconds allowed per run")
    parser.add_argument("--findings", default=os.path.join(tempfile.gettempdir(), "quillmark-findings"))
    opts = parser.parse_args()

    seed = opts.seed if opts.seed is not None else random.randrange(1 << 32)
    rng = random.Random(seed)
    program = os.path.abspath(opts.program)
    os.makedirs(opts.findings, exist_ok=True)
    cases = load_cases(os.path.abspath(opts.cases))
    env_note = os.environ.setdefault("ASAN_OPTIONS", "detect_leaks=1")
    os.environ.setdefault("UBSAN_OPTIONS", "print_stacktrace=1")
    print(f"mutate: {len(cases)} cases, seed {seed}, {opts.seconds:g} s, ASAN_OPTIONS={env_note}", flush=True)

    runs = failures = 0
    slowest = 0.0
    end = time.monotonic() + opts.seconds
    while time.monotonic() < end and (opts.runs == 0 or runs < opts.runs):
        ok, took = run_one(rng, cases, program, opts.timeout, opts.findings, runs)
        runs += 1
        failures += 0 if ok else 1
        slowest = max(slowest, took)
    print(f"mutate: {runs} runs, {failures} findings, slowest run {slowest:.2f} s, seed {seed}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
