#!/usr/bin/env python3
"""Faults end to end in the lab, for scout-cli of either build: the tool's port
taken, an interface going down mid-search, a huge forwarding table, floods of
junk and of empty datagrams, and a controller that sends every byte value in
its texts."""

import csv
import io
import json
import os
import re
import subprocess
import sys
import time

from e2e import Failure, build_topology, case_registry, check, hold_port, main, stderr_lines

CASES, case = case_registry()


@case
def port_taken(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r"])
    front = front_for(net)
    holder = hold_port(lab, net)
    taken = front.search_json()
    # The holder is named first where it can be (Linux); Wine cannot name a
    # program of the Linux host, and waits for it, as for another scout-cli.
    lines = [line for line in stderr_lines(taken) if "another program" not in line and "waiting for port" not in line]
    check(taken.returncode == 1 and taken.rows == [], "the search fails with no rows", taken.returncode, taken.stdout)
    check(len(lines) == 1 and lines[0].startswith(
        "scout-cli: Error attempting to bind to socket for address 10.1.0.1. "), "one bind message", lines)
    holder.kill()
    holder.wait()
    free = front.search_json()
    check(free.returncode == 0 and [r["address"] for r in free.rows] == ["10.1.0.50"],
          "once the port is free the next search works", free.returncode, free.stdout, free.stderr)


def queries(sim):
    return [d for d in sim.datagrams() if d.get("action") == "query"]


def search_while(front, sim, action):
    """Starts a table search in the workstation namespace, runs action as soon
    as sim has seen its query (the table has been read and the first window is
    open), and returns (returncode, stdout lines, stderr lines). One
    interface after another, so that the next is still to come."""
    seen = len(queries(sim))
    proc = front.start("search", "--sequential")
    deadline = time.time() + 30
    while len(queries(sim)) == seen:
        check(time.time() < deadline and proc.poll() is None, "the search sent no query")
        time.sleep(0.005)
    time.sleep(0.1)
    action()
    out, err = proc.communicate(timeout=60)
    return proc.returncode, out.splitlines(), [l for l in err.splitlines() if l.strip()]


@case
def interface_down(lab, front_for):
    net = build_topology(lab, "two-segments")
    first = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=a revision=1 delay=5"])
    lab.start_sim(net.segments[1], ["address=10.2.0.50 model=2 version=b revision=2 delay=5"])
    front = front_for(net)

    def link(name, state):
        return lambda: lab.configure(net.ws, ["ip", "link", "set", name, state])

    # The second interface goes down after the table was read, before its bind:
    # its query cannot be sent, which is reported, and the search ends.
    code, out, err = search_while(front, first, link("ws1", "down"))
    check(code == 1, "a reported failure exits 1", code, out, err)
    check(len(err) == 1 and err[0].startswith("scout-cli: Error sending query broadcast for address 10.2.0.1. "),
          "one message for the second interface", err)
    check([l.split()[0] for l in out[1:]] == ["10.1.0.50"], "the first interface's rows stay", out)

    # The first interface goes down during its own window: its socket reads
    # nothing more, and the second interface is still searched.
    link("ws1", "up")()
    lab.configure(net.ws, ["ip", "route", "replace", "255.255.255.255/32", "dev", "ws1", "src", "10.2.0.1",
                           "metric", "101"])
    code, out, err = search_while(front, first, link("ws0", "down"))
    check(code == 0 and err == [], "no message", code, err)
    check([l.split()[0] for l in out[1:]] == ["10.1.0.50", "10.2.0.50"], "both interfaces searched", out)


@case
def large_forwarding_table(lab, front_for):
    net = build_topology(lab, "single")
    batch = os.path.join(lab.workdir, "routes.batch")
    with open(batch, "w") as f:
        for n in range(6000):
            f.write("route add 10.%d.%d.%d/32 dev ws0\n" % (200 + n // 65536, (n // 256) % 256, n % 256))
    lab.configure(net.ws, ["ip", "-batch", batch])
    routes = lab.run(net.ws, ["ip", "-4", "route", "show", "table", "all"]).stdout.count("\n")
    check(routes > 6000, "the workstation has more than 6000 routes", routes)
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r"])
    front = front_for(net)
    interfaces = front.cli("interfaces", "--json")
    check(interfaces.returncode == 0 and
          [i["address"] for i in json.loads(interfaces.stdout) if i["skipped"] is None] == ["10.1.0.1"],
          "the table is read whole and its one broadcast interface found", interfaces.stdout, interfaces.stderr)
    result = front.search_json()
    check(result.returncode == 0 and [r["address"] for r in result.rows] == ["10.1.0.50"], "the search works",
          result.stdout, result.stderr)


TCPDUMP_LINE = re.compile(r"^(\d+\.\d+) IP (\S+) > (\S+): (.*)$")


# The search's socket closes at most one sleep (50 ms) and one pass's read
# budget (25 ms) after its 1010 ms window; the rest is room for a busy machine.
# A flood that held the socket open would keep it open for its whole 3 s.
CLOSE_BOUND_MS = 1010 + 400


def flood_window(lab, front_for, flood_args, floor):
    """Floods the workstation's port through one window while two controllers
    answer early: the real replies are listed, and the search's socket is closed
    (the workstation answers the flood with ICMP port unreachable from then on)
    soon after the window, however much of the flood this machine produced, as
    long as it produced at least floor datagrams within the window."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=real revision=1 delay=5",
                                          "address=10.1.0.51 model=2 version=real revision=2 delay=20"],
                        flood_args)
    front = front_for(net)
    # The controllers' addresses are no host's own in the lab: a fixed neighbour
    # entry lets the workstation's port-unreachable answers leave at once.
    bridge = json.loads(lab.run(net.segments[0].ns, ["ip", "-j", "link", "show", "br0"]).stdout)[0]["address"]
    lab.configure(net.ws, ["ip", "neigh", "replace", "10.1.0.50", "lladdr", bridge, "dev", "ws0", "nud", "permanent"])
    capture = lab.popen(net.ws, ["tcpdump", "-i", "ws0", "-n", "-l", "--immediate-mode", "-tt", "-Q", "inout",
                                 "(udp and dst port 65515) or icmp"],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    deadline = time.time() + 10
    while "listening on" not in capture.stderr.readline():
        check(time.time() < deadline, "tcpdump did not start")
    result = front.search_json()
    time.sleep(0.3)  # the flood goes on, answered with port unreachable once the socket is closed
    sim.stop()  # logs how much of the flood went out within the window
    capture.terminate()
    lines = capture.communicate(timeout=10)[0].splitlines()
    check(result.returncode == 0 and stderr_lines(result) == [], "the flood is dropped without a word", result.stderr)
    check(sorted(r["address"] for r in result.rows) == ["10.1.0.50", "10.1.0.51"], "the real replies are listed",
          result.stdout)
    query = unreachable = None
    for line in lines:
        m = TCPDUMP_LINE.match(line)
        if not m:
            continue
        if query is None and m.group(3) == "255.255.255.255.65515":
            query = float(m.group(1))
        elif query is not None and unreachable is None and "udp port 65513 unreachable" in m.group(4):
            unreachable = float(m.group(1))
    check(query is not None and unreachable is not None, "the capture shows the query and the close", lines[:5],
          sim.events()[-1])
    windows = [e for e in sim.events() if e.get("event") in ("flood-sent", "stopped")]
    within = max(e.get("within_window", 0) for e in windows) if windows else 0
    held = (unreachable - query) * 1000
    print("flood: %d datagrams within 1010 ms of the query (this machine's rate); the socket closed %.1f ms "
          "after the query" % (within, held))
    check(within >= floor, "the machine produced too small a flood to test with (%d < %d)" % (within, floor))
    check(held <= CLOSE_BOUND_MS, "the socket closed %.1f ms after the query, past %d ms" % (held, CLOSE_BOUND_MS))


@case(alone=True)
def junk_flood_window(lab, front_for):
    flood_window(lab, front_for, ["--flood", "200000", "--flood-ms", "3000"], floor=20000)


@case(alone=True)
def empty_flood(lab, front_for):
    """About 10,000 empty datagrams through the window (30,000 in 3 s): each is read
    and ignored."""
    flood_window(lab, front_for, ["--flood", "30000", "--flood-ms", "3000", "--flood-length", "0"], floor=5000)


def field_bytes(controller):
    """Controller k's 16 bytes: every value 1..255 once across the 16, then the NUL."""
    return bytes((16 * controller + j + 1) % 256 for j in range(16))


def cp1252(data):
    # The five bytes Windows-1252 leaves undefined stand for the C1 code point of the same value.
    return "".join(bytes([b]).decode("cp1252") if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else chr(b) for b in data)


def table_form(data):
    out = ""
    for b in data:
        c = cp1252(bytes([b]))
        out += "\\x%02X" % b if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F else c
    return out


@case
def every_byte_value(lab, front_for):
    net = build_topology(lab, "single")
    lines = []
    for k in range(16):
        data = field_bytes(k)
        lines.append("address=10.1.0.%d model=%X version=%s revision=%s delay=%d" % (
            100 + k, k, "".join("\\x%02x" % b for b in data[:8]), "".join("\\x%02x" % b for b in data[8:]),
            5 + 10 * k))
    lab.start_sim(net.segments[0], lines)
    front = front_for(net)

    def texts(k):
        data = field_bytes(k)
        version = data[:data.index(0)] if 0 in data else data  # no NUL in the version field: it runs on
        revision = data[8:]
        revision = revision[:revision.index(0)] if 0 in revision else revision
        return version, revision

    result = front.search_json()
    check(result.returncode == 0 and len(result.rows) == 16, "every controller listed", result.stdout, result.stderr)
    for k, row in enumerate(result.rows):
        version, revision = texts(k)
        check(row["address"] == "10.1.0.%d" % (100 + k), "rows in arrival order", row)
        check((row["version"], row["revision"]) == (cp1252(version), cp1252(revision)),
              "JSON carries the texts decoded from Windows-1252", k, row)

    table = front.cli("search", text=False)
    check(table.returncode == 0, "table search", table.stderr)
    table.stdout = table.stdout.decode("utf-8")  # strict: the table is UTF-8, line ends untouched
    for ch in table.stdout:
        check(ch == "\n" or not (ord(ch) < 0x20 or 0x7F <= ord(ch) <= 0x9F), "no control character in the table",
              repr(ch))
    for k in range(16):
        version, revision = texts(k)
        check(table_form(version) in table.stdout and table_form(revision) in table.stdout,
              "each text shown with its control bytes as \\xNN", k, table_form(version))

    csv_out = front.cli("search", "--csv", text=False)
    records = list(csv.reader(io.StringIO(csv_out.stdout.decode("utf-8"), newline=""), strict=True))
    check(records[0] == ["IP ADDR", "Model", "Version", "Revision", "Interface", "Interface Name", "MAC"] and
          len(records) == 17, "CSV header and rows", records[:2])
    for k, record in enumerate(records[1:]):
        version, revision = texts(k)
        check(record[2:4] == [table_form(version), table_form(revision)],
              "CSV carries the texts, control bytes as \\xNN as in the table", k, record)


@case(builds=("linux",), sanitizer=False)
def valgrind_search(lab, front_for):
    """One search of the native scout-cli under valgrind: no memory error, no leak."""
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r",
                                    "address=10.1.0.51 model=2 version=ABCDEFGH revision=x twice"])
    lab.start_sim(net.segments[1], ["address=10.2.0.50 model=3 version=w revision=s length=28"])
    front = front_for(net)
    if front.build != "linux":
        raise Failure("valgrind runs the native build only")
    result = lab.run(net.ws, ["valgrind", "--error-exitcode=1", "--leak-check=full",
                              "--errors-for-leak-kinds=definite,indirect", "-q", front.program, "search", "--json"])
    check(result.returncode == 0, "valgrind found errors, or the search failed (exit %d)" % result.returncode,
          result.stderr)
    rows = json.loads(result.stdout)
    check([r["address"] for r in rows] == ["10.1.0.50", "10.1.0.51", "10.1.0.51", "10.2.0.50"], "rows", rows)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
