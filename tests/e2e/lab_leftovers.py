#!/usr/bin/env python3
"""After the lab tests: no namespace of this run's labs is left behind, and no
simulator or Wine server of theirs still runs. A run's labs carry its mark
(SCOUT_LAB_RUN, in their namespaces' names and their processes' environment),
so that a lab another user runs beside the tests is none of this check's
business; without a mark, every lab on the machine is looked at. A namespace
made before the run began (SCOUT_LAB_RUN_BEGAN) is not the run's either: it is
said, and left to whoever made it."""

import os
import re
import subprocess
import sys

mark = os.environ.get("SCOUT_LAB_RUN", "")
ours = re.compile(r"sl\d+r%s-" % re.escape(mark) if mark else r"sl\d+(r[0-9a-f]+)?-")
namespaces = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout.split("\n")
began = int(os.environ.get("SCOUT_LAB_RUN_BEGAN", "0"))


def made_before_the_run(name):
    try:
        return os.stat("/run/netns/" + name).st_ctime < began - 1
    except OSError:
        return False  # gone meanwhile: as it should be


named = [line.split()[0] for line in namespaces if ours.match(line)]
older = [name for name in named if made_before_the_run(name)]
left = [name for name in named if name not in older]
if older:
    print("not this run's (made before it began): %s" % older)
processes = []
for pid in filter(str.isdigit, os.listdir("/proc")):
    try:
        with open("/proc/%s/comm" % pid) as f:
            name = f.read().strip()
        if name != "scout-sim" and not name.startswith("wineserver"):
            continue
        with open("/proc/%s/environ" % pid, "rb") as f:
            env = f.read().split(b"\0")
    except OSError:
        continue
    if name != "scout-sim" and not any(e.startswith(b"WINEPREFIX=") and b"/scout-lab-" in e for e in env):
        continue  # the prefix of a build's own Windows tests, not a lab's
    if not mark or ("SCOUT_LAB_RUN=" + mark).encode() in env:
        processes.append("%s %s" % (name, pid))
if left or processes:
    print("left behind: namespaces %s, processes %s" % (left, processes))
    sys.exit(1)
print("nothing of the lab is left%s" % (" by run " + mark if mark else ""))
