#!/usr/bin/env python3
"""End-to-end watch and commission of scout-cli (native, or .exe under Wine)
against virtual controllers plugged in and switched off as time goes on."""

import json
import os
import re
import select
import signal
import sys
import time

from e2e import build_topology, case_registry, check, main, read_json_events, stderr_lines
from wire import command_datagrams

CASES, case = case_registry()


def read_events(proc, wanted, seconds=40):
    """The JSON lines of a running watch until every (event, address) of
    wanted was seen, or the time is up."""
    return read_json_events(proc, lambda events: all(w in [(e["event"], e["address"]) for e in events]
                                                     for w in wanted), seconds)


@case
def watch_shows_what_changes(lab, front_for):
    """Appeared, gone, changed and a duplicate address (and its end), each
    once and in the order they happened."""
    net = build_topology(lab, "single")
    # Wine is up before the controllers' clock starts; the first changes come
    # 6 s later, time enough for a slow machine's first search.
    front = front_for(net)
    lab.start_sim(net.segments[0], [
        "address=10.1.0.21 model=1 version=v revision=r",
        "address=10.1.0.22 model=2 version=v revision=r online-ms=6000",
        "address=10.1.0.23 model=3 version=v revision=r off-ms=6000",
        "address=10.1.0.24 model=4 version=v revision=r off-ms=6000",
        "address=10.1.0.24 model=5 version=v revision=r online-ms=6300",
        "address=10.1.0.25 model=6 version=v revision=r",
        "address=10.1.0.25 model=6 version=v revision=r online-ms=6000 off-ms=9000"])
    proc = front.start("watch", "--json", "--window", "500", "--interval", "1")
    wanted = [("appeared", "10.1.0.22"), ("gone", "10.1.0.23"), ("changed", "10.1.0.24"),
              ("duplicate", "10.1.0.25"), ("duplicate-ended", "10.1.0.25")]
    # The address conflicts of this case's replacements have a case of their own.
    events = [e for e in read_events(proc, wanted) if e["event"] != "conflict"]
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


@case
def watch_reports_address_conflicts(lab, front_for):
    """Another device takes a controller's address (a MAC at a known address
    changes), and a second controller comes up at a used one (one address,
    two MACs): each an address conflict, said once. Known by the replies'
    frames on Linux as root; by the neighbour table on Windows, which knows
    who holds an address but not which of several replies sent which."""
    net = build_topology(lab, "single")
    front = front_for(net)
    lab.start_sim(net.segments[0], [
        "address=10.1.0.40 model=1 version=v revision=r off-ms=6000",
        "address=10.1.0.40 model=1 version=v revision=r online-ms=6300",
        "address=10.1.0.41 model=2 version=v revision=r",
        "address=10.1.0.41 model=3 version=v revision=r online-ms=6000"])
    frames = front.build == "linux"
    proc = front.start("watch", "--json", "--window", "500", "--interval", "1")
    wanted = [("conflict", "10.1.0.40"), ("conflict" if frames else "duplicate", "10.1.0.41")]
    events = read_events(proc, wanted)
    proc.kill()
    proc.communicate()
    conflicts = [(e["address"], e["conflict"], e["macs"]) for e in events if e["event"] == "conflict"]
    expected = [("10.1.0.40", "replaced", ["02:00:5e:10:00:01", "02:00:5e:10:00:02"])]
    if frames:
        expected.append(("10.1.0.41", "shared", ["02:00:5e:10:00:03", "02:00:5e:10:00:04"]))
    check(sorted(conflicts) == expected, "each conflict once, with its MACs", conflicts)
    replaced = [e for e in events if e["event"] == "conflict" and e["address"] == "10.1.0.40"]
    check(replaced and replaced[0]["mac"] == "02:00:5e:10:00:02", "the row as it is now", replaced)


@case(builds=("linux",))
def watch_ends_cleanly(lab, front_for):
    """Ctrl-C, SIGTERM or a reader that goes away ends a watch with exit 0 and
    no half line."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r"])
    front = front_for(net)
    for sig in (signal.SIGINT, signal.SIGTERM):
        proc = front.start("watch", "--window", "200", "--interval", "1")
        check(proc.stdout.readline().startswith("Time        IP ADDR"), "the header first")
        line = proc.stdout.readline()
        check(re.match(r"^\d\d:\d\d:\d\d  \+ 10\.1\.0\.21 ", line) is not None, "a controller appears, with its time",
              line)
        proc.send_signal(sig)
        out, err = proc.communicate(timeout=10)
        check(proc.returncode == 0 and out == "" and err == "", "ended cleanly", sig, proc.returncode, out, err)
    proc = front.start("watch", "--json", "--window", "200", "--interval", "1")
    json.loads(proc.stdout.readline())
    proc.stdout.close()
    proc.wait(timeout=10)
    check(proc.returncode == 0 and proc.stderr.read() == "", "a closed output ends it", proc.returncode)


@case
def commission_one_at_a_time(lab, front_for):
    """Three controllers plugged in one after another at the factory address:
    each gets the next free address of the range (one that answers already is
    skipped), verified and recorded, and the summary lists all three."""
    net = build_topology(lab, "single")
    front = front_for(net)
    sim = lab.start_sim(net.segments[0], [
        "address=10.1.0.101 model=9 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r",
        "address=192.168.1.100 model=2 version=v revision=r online-ms=5000",
        "address=192.168.1.100 model=3 version=v revision=r online-ms=10000"])
    record = os.path.join(lab.workdir, "record.jsonl")
    result = front.cli("commission", "--first", "10.1.0.101", "--last", "10.1.0.110", "--mask", "255.255.255.0",
                       "--gateway", "10.1.0.254", "--count", "3", "--window", "500", "--interval", "1",
                       "--json", "--log", record)
    check(result.returncode == 0, "three commissioned", result.returncode, result.stderr)
    done = [(d["number"], d["model"], d["new_address"], d["outcome"], d["verified"]) for d in json.loads(result.stdout)]
    check(done == [(1, "KRV-ETH1", "10.1.0.102", "answers", True), (2, "KRV-ETH2", "10.1.0.103", "answers", True),
                   (3, "KRV-ETH3", "10.1.0.104", "answers", True)], "each its own address", result.stdout)
    lines = stderr_lines(result)
    check(len(lines) == 3 and lines[0].startswith("1/3 KRV-ETH1 v r \u2192 10.1.0.102, verified after "),
          "one line each", lines)
    check([d["action"] for d in command_datagrams(sim)] == ["reconfigure"] * 3, "three commands",
          command_datagrams(sim))
    with open(record) as f:
        events = [(l["event"], l["new_address"]) for l in map(json.loads, f)]
    check(events == [(e, a) for a in ("10.1.0.102", "10.1.0.103", "10.1.0.104") for e in ("intent", "outcome")],
          "a record of each", events)


@case
def commission_passes_over_a_hosts_address(lab, front_for):
    """A host of the line (no controller) holds the first address of the
    range: it is skipped, said once with the host's MAC, and the controller
    gets the next."""
    net = build_topology(lab, "single")
    segment = net.segments[0]
    lab.configure(segment.ns, ["ip", "addr", "add", "10.1.0.101/24", "dev", "br0"])
    mac = json.loads(lab.run(segment.ns, ["ip", "-j", "link", "show", "br0"]).stdout)[0]["address"]
    sim = lab.start_sim(segment, ["address=192.168.1.100 model=1 version=v revision=r"])
    result = front_for(net).cli("commission", "--first", "10.1.0.101", "--mask", "255.255.255.0", "--gateway",
                                "0.0.0.0", "--count", "1", "--window", "500", "--interval", "1", "--json",
                                "--no-log", timeout=60)
    check(result.returncode == 0 and [d["new_address"] for d in json.loads(result.stdout)] == ["10.1.0.102"],
          "the next address given", result.returncode, result.stdout, result.stderr)
    skipped = [line for line in stderr_lines(result) if line.startswith("scout-cli: skipping ")]
    check(skipped == ["scout-cli: skipping 10.1.0.101: The IP address 10.1.0.101 is in use by a host that does not "
                      "answer as a controller (MAC %s) on ws0 10.1.0.1" % mac], "said once, with the MAC", skipped)
    check([d["action"] for d in command_datagrams(sim)] == ["reconfigure"], "one command", command_datagrams(sim))


@case
def a_dry_run_of_commission_ends_with_its_count(lab, front_for):
    """--dry-run --count 3 with one new controller there: what it and the two
    after it would get, said and summed up by interface, and it ends."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1A2B version=2.14 revision=C",
                                          "address=10.1.0.102 model=2 version=v revision=r"])
    result = front_for(net).cli("commission", "--first", "10.1.0.101", "--mask", "255.255.255.0", "--gateway",
                                "0.0.0.0", "--dry-run", "--count", "3", timeout=60)
    check(result.returncode == 0 and stderr_lines(result) == [
        "1/3 KRV-ETH1A2B 2.14 C \u2192 10.1.0.101, not sent (dry run)",
        "2/3 the next controller \u2192 10.1.0.103, not sent (dry run)",
        "3/3 the next controller \u2192 10.1.0.104, not sent (dry run)"], "three, the one that answers passed over",
        result.returncode, result.stderr)
    check(result.stdout.splitlines()[1].split()[4:6] == ["ws0", "10.1.0.1"], "the interface as everywhere",
          result.stdout)
    check(command_datagrams(sim) == [], "nothing sent")


@case
def commission_waits_for_one(lab, front_for):
    """Two at the factory address get nothing until one is switched off; the
    range running out ends it."""
    net = build_topology(lab, "single")
    front = front_for(net)
    sim = lab.start_sim(net.segments[0], [
        "address=10.1.0.102 model=9 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r",
        "address=192.168.1.100 model=2 version=v revision=r off-ms=6000"])
    result = front.cli("commission", "--first", "10.1.0.101", "--last", "10.1.0.102", "--mask", "255.255.255.0",
                       "--gateway", "0.0.0.0", "--window", "500", "--interval", "1", "--csv", "--no-header",
                       "--no-log")
    lines = stderr_lines(result)
    named = "KRV-ETH1 MAC 02:00:5e:10:00:02, KRV-ETH2 MAC 02:00:5e:10:00:03" if front.build == "linux" else \
        "KRV-ETH1, KRV-ETH2"
    check(result.returncode == 0 and lines[0] == "scout-cli: 2 controllers answer at 192.168.1.100 (%s); power off "
          "all but one" % named and lines[1].startswith("1 KRV-ETH1 v r \u2192 10.1.0.101, verified") and
          lines[2:] == ["scout-cli: no free address left from 10.1.0.101 to 10.1.0.102"],
          "said once, then the one that remained, then the end", result.returncode, lines)
    check(result.stdout.split(",")[:6] == ["1", "KRV-ETH1", "v", "r", "ws0 10.1.0.1", "10.1.0.101"], "the summary",
          result.stdout)
    sent = command_datagrams(sim)
    check(len(sent) == 1, "one command, once one controller remained", sent)


@case(builds=("linux",))
def commission_cut_short_says_so(lab, front_for):
    """--count one more than are plugged in waits for the last; Ctrl-C then
    says where it stopped and exits 130, the summary of those done printed."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1 version=v revision=r"])
    proc = front_for(net).start("commission", "--first", "10.1.0.101", "--mask", "255.255.255.0", "--gateway",
                                "0.0.0.0", "--count", "2", "--window", "500", "--interval", "1", "--csv", "--no-log")
    deadline = time.time() + 30
    said = ""
    while time.time() < deadline and "1/2 KRV-ETH1" not in said:
        ready, _, _ = select.select([proc.stderr], [], [], 0.5)
        if ready:
            said += os.read(proc.stderr.fileno(), 65536).decode()
    time.sleep(1.5)
    proc.send_signal(signal.SIGINT)
    out, err = proc.communicate(timeout=10)
    check(proc.returncode == 130 and "scout-cli: stopped at 1 of 2" in (said + err).splitlines(),
          "said, and not 0", proc.returncode, said + err)
    check(len(out.splitlines()) == 2 and out.splitlines()[1].startswith("1,KRV-ETH1"), "the one done", out)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
