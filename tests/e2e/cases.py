#!/usr/bin/env python3
"""The registry of every end-to-end case, as CTest reads it at test time:
one line per case, "SUITE CASE BUILDS SANITIZER ALONE" (builds
comma-separated; sanitizer 1 when the case also runs in the sanitizer build;
alone 1 when no other test may run beside it)."""

import importlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
SUITES = sorted(name[:-len("_e2e.py")] for name in os.listdir(HERE) if name.endswith("_e2e.py"))


def main():
    if sys.argv[1:] != ["--list"]:
        print("usage: cases.py --list", file=sys.stderr)
        return 2
    for suite in SUITES:
        module = importlib.import_module(suite + "_e2e")
        for name, case in sorted(module.CASES.items()):
            print("%s %s %s %d %d" % (suite, name, ",".join(case.builds), 1 if case.sanitizer else 0,
                                      1 if case.alone else 0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
