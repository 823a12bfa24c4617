#!/usr/bin/env python3
"""Which Windows build the tests run, on each state a machine meets: Wine
missing, only its 64-bit loader (wine32:i386 not installable that day), a
32-bit loader the kernel refuses ("Exec format error"), one that fails to
start, and both running. The loaders are stand-ins: a script that starts, one
that fails, and a file the kernel cannot execute."""

import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../lab"))
from scoutlab import windows_build_and_reason  # noqa: E402

NOT_INSTALLED = "the 32-bit Wine (wine32:i386) is not installed"
REFUSED = "Wine's 32-bit loader does not run here"


def main():
    work = tempfile.mkdtemp(prefix="scout-wine-loaders-")
    loaders = {"absent": os.path.join(work, "absent")}
    for name, content in (("runs", b"#!/bin/sh\nexit 0\n"), ("fails", b"#!/bin/sh\nexit 1\n"),
                          ("refused", b"\x7fELF\x01\x01\x01" + bytes(60))):
        loaders[name] = os.path.join(work, name)
        with open(loaders[name], "wb") as f:
            f.write(content)
        os.chmod(loaders[name], 0o755)
    cases = [
        # 32-bit loader, 64-bit loader: build, why
        ("absent", "absent", "win32", ""),
        ("absent", "runs", "win64", NOT_INSTALLED),
        ("refused", "runs", "win64", REFUSED),
        ("fails", "runs", "win64", REFUSED),
        ("runs", "runs", "win32", ""),
        ("runs", "absent", "win32", ""),
        ("refused", "absent", "win32", ""),
    ]
    failures = 0
    for wine32, wine64, build, why in cases:
        got = windows_build_and_reason(loaders[wine32], loaders[wine64])
        if got != (build, why):
            print("FAILED 32-bit loader %s, 64-bit loader %s: %r, not %r" % (wine32, wine64, got, (build, why)))
            failures += 1
    for name in loaders:
        if os.path.exists(loaders[name]):
            os.remove(loaders[name])
    os.rmdir(work)
    if not failures:
        print("the Windows build follows what Wine can run here, in all %d states" % len(cases))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
