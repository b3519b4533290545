#!/usr/bin/env python3
"""Runs one REXX program of the corpus with ketra and compares what it did with what is expected.

For a program NAME.rex, the files beside it say what is expected:
  NAME.out     the exact standard output (required)
  NAME.err     the exact standard error (default: empty)
  NAME.status  the exit status (default: 0)
  NAME.args    the command-line arguments, one per line (default: none)
  NAME.in      what standard input holds (default: empty)
The program runs in its own folder with a private, empty registry.
"""
import os
import subprocess
import sys
import tempfile


def read(path, default=None):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def main():
    ketra, case = sys.argv[1], os.path.abspath(sys.argv[2])
    base = case[: -len(".rex")]
    expected_out = read(base + ".out")
    if expected_out is None:
        print(f"missing {base}.out")
        return 1
    expected_err = read(base + ".err", b"")
    expected_status = int((read(base + ".status", b"0") or b"0").strip() or 0)
    args_text = read(base + ".args", b"").decode()
    args = [a for a in args_text.split("\n") if a != ""]
    stdin = read(base + ".in", b"")
    with tempfile.TemporaryDirectory() as reg:
        env = dict(os.environ, KETRA_REGISTRY=reg, KETRA_RUNTIME_DIR=os.path.join(reg, "run"))
        env.pop("RXTRACE", None)
        p = subprocess.run([ketra, os.path.basename(case)] + args, input=stdin,
                           capture_output=True, cwd=os.path.dirname(case), env=env, timeout=50)
    ok = True
    for what, got, want in (("stdout", p.stdout, expected_out), ("stderr", p.stderr, expected_err)):
        if got != want:
            ok = False
            print(f"--- {what} differs\n--- expected:\n{want.decode(errors='replace')}"
                  f"--- got:\n{got.decode(errors='replace')}")
            gl, wl = got.split(b"\n"), want.split(b"\n")
            for i, (g, w) in enumerate(zip(gl, wl)):
                if g != w:
                    print(f"first difference at line {i + 1}:\n  expected: {w!r}\n  got:      {g!r}")
                    break
    if p.returncode != expected_status:
        ok = False
        print(f"exit status {p.returncode}, expected {expected_status}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
