#!/usr/bin/env python3
"""End-to-end watch and commission of scout-cli (native, or .exe under Wine)
against virtual controllers plugged in and switched off as time goes on."""

import json
import os
import select
import signal
import sys
import time

from e2e import build_topology, case_registry, check, main, stderr_lines
from wire import command_datagrams

CASES, case = case_registry()


def read_events(proc, wanted, seconds=40):
    """The JSON lines of a running watch until every (event, address) of
    wanted was seen, or the time is up."""
    events, buffered = [], ""
    deadline = time.time() + seconds
    while time.time() < deadline and not all(w in [(e["event"], e["address"]) for e in events] for w in wanted):
        ready, _, _ = select.select([proc.stdout], [], [], 0.5)
        if not ready:
            continue
        chunk = os.read(proc.stdout.fileno(), 65536).decode()
        if not chunk:
            break
        buffered += chunk
        while "\n" in buffered:
            line, buffered = buffered.split("\n", 1)
            events.append(json.loads(line))
    return events


@case
def watch_shows_what_changes(lab, front_for):
    """Appeared, gone, changed and a duplicate address (and its end), each
    once and in the order they happened."""
    net = build_topology(lab, "single")
    front = front_for(net)  # Wine is up before the controllers' clock starts
    lab.start_sim(net.segments[0], [
        "address=10.1.0.21 model=1 version=v revision=r",
        "address=10.1.0.22 model=2 version=v revision=r online-ms=4000",
        "address=10.1.0.23 model=3 version=v revision=r off-ms=4000",
        "address=10.1.0.24 model=4 version=v revision=r off-ms=4000",
        "address=10.1.0.24 model=5 version=v revision=r online-ms=4300",
        "address=10.1.0.25 model=6 version=v revision=r",
        "address=10.1.0.25 model=6 version=v revision=r online-ms=4000 off-ms=7000"])
    proc = front.start("watch", "--json", "--window", "500", "--interval", "1")
    wanted = [("appeared", "10.1.0.22"), ("gone", "10.1.0.23"), ("changed", "10.1.0.24"),
              ("duplicate", "10.1.0.25"), ("duplicate-ended", "10.1.0.25")]
    events = read_events(proc, wanted)
    proc.kill()
    proc.communicate()
    seen = [(e["event"], e["address"]) for e in events]
    check(seen[:4] == [("appeared", a) for a in ("10.1.0.21", "10.1.0.23", "10.1.0.24", "10.1.0.25")],
          "first every controller there", seen)
    check(sorted(seen[4:]) == sorted(wanted) and seen.index(("duplicate", "10.1.0.25")) <
          seen.index(("duplicate-ended", "10.1.0.25")), "then each change once, in order", seen)
    changed = events[seen.index(("changed", "10.1.0.24"))]
    duplicate = events[seen.index(("duplicate", "10.1.0.25"))]
    check(changed["model"] == "KRV-ETH5" and duplicate["count"] == 2 and all(e["time"] for e in events),
          "the row as it is now, the count, the time", changed, duplicate)


@case(builds=("linux",))
def watch_ends_cleanly(lab, front_for):
    """Ctrl-C, SIGTERM or a reader that goes away ends a watch with exit 0 and
    no half line."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r"])
    front = front_for(net)
    for sig in (signal.SIGINT, signal.SIGTERM):
        proc = front.start("watch", "--window", "200", "--interval", "1")
        check(proc.stdout.readline().strip().startswith("IP ADDR"), "the header first")
        check(proc.stdout.readline().startswith("+ 10.1.0.21 "), "a controller appears")
        proc.send_signal(sig)
        out, err = proc.communicate(timeout=10)
        check(proc.returncode == 0 and out == "" and err == "", "ended cleanly", sig, proc.returncode, out, err)
    proc = front.start("watch", "--json", "--window", "200", "--interval", "1")
    json.loads(proc.stdout.readline())
    proc.stdout.close()
    proc.wait(timeout=10)
    check(proc.returncode == 0 and proc.stderr.read() == "", "a closed output ends it", proc.returncode)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
