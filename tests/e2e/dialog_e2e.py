#!/usr/bin/env python3
"""End-to-end tests of the real dialog under Wine in the lab."""

import os
import sys

from e2e import build_topology, check, main, rows_of

CASES = {}


def case(function):
    CASES[function.__name__.replace("_", "-")] = function
    return function


def probe_rows(front):
    probe = os.path.join(os.path.dirname(front.program), "scout_dialog_probe.exe")
    result = front.lab.run_wine(front.net.ws, front.wineprefix, [probe])
    check(result.returncode == 0, "the dialog probe failed", result.stderr)
    lines = result.stdout.splitlines()
    check(lines and lines[-1] == "searchEnabled=1", "Search is enabled again after the search", lines)
    return [tuple(line.split("\t")) for line in lines[:-1]]


@case
def same_rows_as_scout_cli(lab, front_for):
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C delay=15",
                                    "address=10.1.0.21 model=0 version=VERSION8 revision=rev delay=40 twice",
                                    "address=10.1.0.22 model=10 version=1.9 revision=B reply=broadcast delay=90"])
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2F version=5.1 revision=D delay=20"])
    front = front_for(net)
    dialog = probe_rows(front)
    cli = rows_of(front.search_json(), "address", "model", "version", "revision")
    check(len(dialog) == 5, "the dialog lists every reply", dialog)
    check(dialog == cli, "the dialog and scout-cli list the same rows in the same order", dialog, cli)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
