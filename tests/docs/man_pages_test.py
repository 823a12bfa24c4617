#!/usr/bin/env python3
"""The man pages read as written: mandoc's lint and groff's warnings find
nothing (each warning a failure), and no backslash is written as "\\\\", which
roff reads again inside a macro's argument ("%LOCALAPPDATA%\\\\Ethernet" came
out as "%LOCALAPPDATA%hernet"): a backslash is "\\e"."""

import glob
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def main():
    failures = []
    pages = sorted(glob.glob(os.path.join(ROOT, "docs/man/*.[1-8]")))
    if not pages:
        failures.append("no man page found in docs/man")
    for tool in ("mandoc", "groff"):
        if shutil.which(tool) is None:
            failures.append("%s is not installed (scripts/setup installs it)" % tool)
    for page in pages if not failures else []:
        name = os.path.relpath(page, ROOT)
        for argv in (["mandoc", "-T", "lint", "-W", "warning", page], ["groff", "-ww", "-z", "-man", page]):
            result = subprocess.run(argv, capture_output=True, text=True)
            said = (result.stdout + result.stderr).strip()
            if result.returncode != 0 or said:
                failures.append("%s: %s: %s" % (name, argv[0], said or "exit %d" % result.returncode))
        with open(page) as f:
            for number, line in enumerate(f, 1):
                if "\\\\" in line:
                    failures.append("%s:%d: a backslash written as \\\\ (write \\e): %s" % (name, number, line.strip()))
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print("man pages: %d lint clean" % len(pages))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
