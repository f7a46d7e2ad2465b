#!/usr/bin/env python3
"""Checks that the manual page of zorvane-cli describes every command and option its --help lists.

A usage line of --help ("  history add ISSUE DDD", "  formula list [--kind K]") names its command by
its first word, and by the second one too when that is a plain word (a subcommand). The page must
hold a .TP entry that starts with that command, and name every option of the --help lines that
begin with "usage:" or "zorvane-cli", and every option that the command's own --help lists.
Usage: check_manpage.py ZORVANE_CLI MANPAGE
"""
import re
import subprocess
import sys


def plain(roff):
    """The text of a roff line without fonts, escapes and quotes."""
    text = re.sub(r"\\f[BIRP]", "", roff)
    text = text.replace("\\-", "-").replace('"', "")
    return re.sub(r"^\.(B|I|BI|BR|IR|RB|RI|IB)\s+", "", text).strip()


def main():
    cli, page = sys.argv[1], sys.argv[2]
    run = subprocess.run([cli, "--help"], capture_output=True, text=True)
    if run.returncode != 0:
        print(f"{cli} --help exited with {run.returncode}")
        return 1
    help_text = run.stdout + run.stderr
    lines = open(page, encoding="utf-8").read().splitlines()
    entries = [plain(lines[i + 1]) for i, line in enumerate(lines[:-1]) if line.startswith(".TP")]
    whole = "\n".join(plain(line) for line in lines)

    missing = []
    for line in help_text.splitlines():
        if re.match(r"^  [a-z]", line):
            words = line.split()
            command = words[0]
            if len(words) > 1 and re.fullmatch(r"[a-z][a-z-]*", words[1]):
                command += " " + words[1]
            if not any(e == command or e.startswith(command + " ") for e in entries):
                missing.append(command)
            own = subprocess.run([cli] + command.split() + ["--help"], capture_output=True, text=True)
            for option in re.findall(r"--[a-z][a-z-]*", own.stdout):
                if option not in whole:
                    missing.append(f"{command} {option}")
        elif re.match(r"^\s*(usage:|zorvane-cli)", line):
            for option in re.findall(r"--[a-z][a-z-]*", line):
                if option not in whole:
                    missing.append(option)
    for m in missing:
        print(f"{page} does not describe: {m}")
    print(f"checked {len(entries)} entries of {page} against {cli} --help: {len(missing)} missing")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
