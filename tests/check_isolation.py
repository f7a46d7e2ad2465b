#!/usr/bin/env python3
"""Runs programs that are not the product (test suites, benchmarks, the window gallery) under a
made-up home folder that holds a user's settings, and checks that none of them changed those
settings, created the per-user data folder, or wrote a database beside itself (the data folder of a
program started from the build folder).

Usage: check_isolation.py PROGRAM [ARG...] [-- PROGRAM [ARG...]]...
"""
import os
import subprocess
import sys
import tempfile

SETTINGS = "[IniSetting]\nGsZl=5\nJSQS=7\nZqlJq=False\n"


def commands(argv):
    current = []
    for a in argv:
        if a == "--":
            if current:
                yield current
            current = []
        else:
            current.append(a)
    if current:
        yield current


def snapshot(path):
    try:
        st = os.stat(path)
        return (st.st_size, st.st_mtime_ns)
    except FileNotFoundError:
        return None


def main():
    faults = []
    with tempfile.TemporaryDirectory() as home:
        settings = os.path.join(home, ".config", "Pelq", "Pelq.ini")
        os.makedirs(os.path.dirname(settings))
        with open(settings, "w", encoding="utf-8") as f:
            f.write(SETTINGS)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("XDG_") and k != "ZORVANE_DATA_DIR"}
        env["HOME"] = home
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        for cmd in commands(sys.argv[1:]):
            beside = os.path.join(os.path.dirname(os.path.abspath(cmd[0])), "formula.mdb")
            before = snapshot(beside)
            result = subprocess.run(cmd, env=env, cwd=home, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, timeout=600)
            name = os.path.basename(cmd[0])
            if result.returncode != 0:
                faults.append(f"{name} failed ({result.returncode}): {result.stderr.decode(errors='replace')[-2000:]}")
            with open(settings, encoding="utf-8") as f:
                if f.read() != SETTINGS:
                    faults.append(f"{name} changed the user's settings file")
            if os.path.exists(os.path.join(home, ".local", "share", "Zorvane")):
                faults.append(f"{name} created the per-user data folder")
            if snapshot(beside) != before:
                faults.append(f"{name} wrote {beside}")
            print(f"{name}: checked")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
