#!/usr/bin/env python3
"""After the lab tests: no namespace of any lab is left behind, and no
simulator or lab wineserver still runs."""

import os
import re
import subprocess
import sys

namespaces = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout.split("\n")
left = [line.split()[0] for line in namespaces if re.match(r"sl\d+-", line)]
sims = []
for pid in filter(str.isdigit, os.listdir("/proc")):
    try:
        with open("/proc/%s/comm" % pid) as f:
            if f.read().strip() == "scout-sim":
                sims.append(pid)
    except OSError:
        pass
if left or sims:
    print("left behind: namespaces %s, scout-sim processes %s" % (left, sims))
    sys.exit(1)
print("nothing of the lab is left")
