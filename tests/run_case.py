#!/usr/bin/env python3
"""Runs quillmark on one end-to-end case and compares what it writes.

A case is a folder holding:
  args             the arguments after the program name, one per line
                   (absent: no arguments at all)
  expected.stdout  the report, byte for byte
  expected.stderr  the messages, byte for byte
  expected.status  the exit status as the shell shows it (255 for -1)
  stdout_to        optional: a path that standard output goes to instead
                   (for example /dev/full); expected.stdout is then not read
  expected.files/  optional: a folder of the files the run writes, each
                   compared byte for byte with the file of that name the
                   run leaves in the copy of the case
  absent           optional: names, one a line, of files the run must not
                   leave (outputs of a run refused before writing)
  generate.py      optional: run with Python in the copy before the program,
                   to write inputs too large to keep (a line of megabytes)
                   and, where they are a long repetition, the expected files
  expected.files/  optional: files the folder must hold after the run, byte
                   for byte (an input or an earlier output left as it was,
                   an output written); the folder may then hold no other
                   file that was not there before the run (no temporary file
                   left behind)
  expected.contains/  optional: for an output too long to write out by
                   hand, the lines it must hold among its others
  limits           optional: limits the program runs under, one a line:
                   "memory KIB" (its address space, as ulimit -v takes it)
                   or "file_size BYTES" (the largest file it may write, as
                   a full disk would stop it); not run where limits cannot
                   be set (QUILLMARK_WRAPPER set), nor memory limits in a
                   build with AddressSanitizer (QUILLMARK_SANITIZED set),
                   whose own reservations need far more address space
and any input files the arguments name. Where the system's own words or
behaviour differ, a case may also hold, for the platform named by
QUILLMARK_PLATFORM (for example windows):
  expected.stdout.<platform>, expected.stderr.<platform>,
  expected.status.<platform>  used there instead of the plain files
  skip.<platform>             the case cannot be run there (the file says
                              why); the run reports a skip (status 77)
QUILLMARK_WRAPPER, when set, is a command put before the program (for
example a runner of Windows programs). A Windows program started through
it gets its arguments in the ANSI code page (1252) from the UTF-8 text it is
handed, so each argument byte goes over as the character it stands for
there. The program runs in a fresh copy of
the folder, so relative names work and the case folder stays untouched; the
expected files are read from that copy.

The banner and the two header lines carry the build date and time and the
moment of the run. In the expected files they are written with the
placeholders <BUILD_DATE>, <BUILD_TIME>, <WEEKDAY>, <DATE> and <TIME>, which
match by pattern; every other byte must be equal.
"""
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile

PLACEHOLDERS = {
    b"<BUILD_DATE>": rb"[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}",
    b"<BUILD_TIME>": rb"[0-9]{2}:[0-9]{2}:[0-9]{2}",
    b"<WEEKDAY>": rb"(Mon|Tue|Wed|Thu|Fri|Sat|Sun)",
    b"<DATE>": rb"[0-9]{2}/[0-9]{2}/[0-9]{2}",
    b"<TIME>": rb"[0-9]{2}:[0-9]{2}:[0-9]{2}",
}
PLACEHOLDER_RE = re.compile(b"|".join(re.escape(p) for p in PLACEHOLDERS))


def line_matches(expected, actual):
    if not PLACEHOLDER_RE.search(expected):
        return expected == actual
    pattern = b""
    pos = 0
    for m in PLACEHOLDER_RE.finditer(expected):
        pattern += re.escape(expected[pos:m.start()]) + PLACEHOLDERS[m.group(0)]
        pos = m.end()
    pattern += re.escape(expected[pos:])
    return re.fullmatch(pattern, actual, re.S) is not None


def compare(what, expected, actual):
    exp_lines = expected.split(b"\n")
    act_lines = actual.split(b"\n")
    for i in range(max(len(exp_lines), len(act_lines))):
        e = exp_lines[i] if i < len(exp_lines) else None
        a = act_lines[i] if i < len(act_lines) else None
        if e is None or a is None or not line_matches(e, a):
            print(f"{what} differs at line {i + 1}:")
            print(f"  expected: {e!r}")
            print(f"  actual:   {a!r}")
            return False
    return True


def limiter(limits):
    """What the child runs before the program: the case's limits set."""
    import resource  # POSIX only; the cases with limits run only there

    def apply():
        for kind, value in limits:
            if kind == "memory":
                resource.setrlimit(resource.RLIMIT_AS, (value * 1024, value * 1024))
            elif kind == "file_size":
                # A write past the limit fails (EFBIG) instead of ending the process.
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (value, value))
            else:
                raise ValueError(f"unknown limit {kind}")
    return apply


def compare_files(work, before):
    """The files the case expects in its folder after the run, and no other new one
    but those its file `unchecked` names (outputs the case does not compare)."""
    ok = True
    wanted = set()
    folder = os.path.join(work, "expected.files")
    if os.path.isdir(folder):
        wanted = set(os.listdir(folder))
        for name in sorted(wanted):
            path = os.path.join(work, name)
            if not os.path.isfile(path):
                print(f"{name}: not in the folder after the run")
                ok = False
                continue
            with open(os.path.join(folder, name), "rb") as e, open(path, "rb") as a:
                ok = compare(name, e.read(), a.read()) and ok
        unchecked = set()
        listed = os.path.join(work, "unchecked")
        if os.path.exists(listed):
            with open(listed) as f:
                unchecked = set(f.read().split())
        for name in sorted(set(os.listdir(work)) - before - wanted - unchecked):
            print(f"{name}: left in the folder by the run")
            ok = False
    folder = os.path.join(work, "expected.contains")
    if os.path.isdir(folder):
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as e:
                lines = e.read().splitlines()
            path = os.path.join(work, name)
            have = set()
            if os.path.isfile(path):
                with open(path, "rb") as a:
                    have = set(a.read().splitlines())
            for line in lines:
                if line not in have:
                    print(f"{name}: no line {line!r}")
                    ok = False
    return ok


def as_windows_text(arg):
    """The UTF-8 text that a Windows program reads back as the bytes arg."""
    text = ""
    for b in arg:
        try:
            text += bytes([b]).decode("cp1252")
        except UnicodeDecodeError:  # the five bytes code page 1252 leaves open
            text += chr(b)
    return text.encode("utf-8")


def main():
    program, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    platform = os.environ.get("QUILLMARK_PLATFORM", "")
    wrapper = [os.fsencode(w) for w in shlex.split(os.environ.get("QUILLMARK_WRAPPER", ""))]

    def expected(name):
        mine = f"{name}.{platform}"
        return mine if platform and os.path.exists(os.path.join(work, mine)) else name

    skip = os.path.join(case, f"skip.{platform}")
    if platform and os.path.exists(skip):
        with open(skip) as f:
            print(f"not run on {platform}: {f.read().strip()}")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        work = os.path.join(tmp, "case")
        shutil.copytree(case, work)  # links are copied as what they name
        if os.path.exists(os.path.join(work, "generate.py")):
            subprocess.run([sys.executable, "generate.py"], cwd=work, check=True)
        limits = []
        limits_file = os.path.join(work, "limits")
        if os.path.exists(limits_file):
            with open(limits_file) as f:
                limits = [(kind, int(value)) for kind, value in
                          (line.split() for line in f if line.strip())]
            if wrapper:
                print("not run through QUILLMARK_WRAPPER: its limits cannot be set")
                return 77
            if os.environ.get("QUILLMARK_SANITIZED") and any(k == "memory" for k, _ in limits):
                print("not run with AddressSanitizer, which needs more address space")
                return 77
        before = set(os.listdir(work))
        args = []
        args_file = os.path.join(work, "args")
        if os.path.exists(args_file):
            with open(args_file, "rb") as f:
                args = [a for a in f.read().split(b"\n")]
            if args and args[-1] == b"":
                args.pop()
        stdout_target = None
        redirect = os.path.join(work, "stdout_to")
        if os.path.exists(redirect):
            with open(redirect) as f:
                stdout_target = f.read().strip()
        out_file = open(stdout_target, "wb") if stdout_target else subprocess.PIPE
        try:
            if wrapper and platform == "windows":
                args = [as_windows_text(a) for a in args]
            done = subprocess.run(wrapper + [os.fsencode(program)] + args, cwd=work,
                                  stdout=out_file, stderr=subprocess.PIPE,
                                  timeout=120, preexec_fn=limiter(limits) if limits else None)
        finally:
            if stdout_target:
                out_file.close()
        ok = True
        with open(os.path.join(work, expected("expected.status"))) as f:
            status = int(f.read().strip())
        if done.returncode != status:
            print(f"exit status {done.returncode}, expected {status}")
            ok = False
        with open(os.path.join(work, expected("expected.stderr")), "rb") as f:
            ok = compare("standard error", f.read(), done.stderr) and ok
        if not stdout_target:
            with open(os.path.join(work, expected("expected.stdout")), "rb") as f:
                ok = compare("standard output", f.read(), done.stdout) and ok
        ok = compare_files(work, before) and ok
        absent = os.path.join(work, "absent")
        if os.path.exists(absent):
            with open(absent) as f:
                for name in f.read().split():
                    if os.path.exists(os.path.join(work, name)):
                        print(f"{name} was written")
                        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
