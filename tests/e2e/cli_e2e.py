#!/usr/bin/env python3
"""scout-cli as a network tool, end to end in the lab: interface names, its
outputs read back by strict readers, rows streamed on a terminal, usage
errors, output that cannot be written, and the search of every interface at
once."""

import csv
import io
import json
import os
import pty
import select
import subprocess
import sys
import time

from e2e import build_topology, case_registry, check, main, stderr_lines
from scoutlab import VERSION  # noqa: E402

CASES, case = case_registry()

HOSTILE = ["address=10.1.0.20 model=1A2B version=\\x1b[1mRED revision=a,b delay=5",
           "address=10.1.0.21 model=2 version=say\"hi\" revision=\\x0d\\x0a delay=25",
           "address=10.1.0.22 model=3 version=caf\\xe9 revision=\\x9b2J delay=45"]
ROW_KEYS = ["address", "model", "version", "revision", "interface", "interface_name", "mac"]


def strict_json(text):
    """json.loads that also refuses a repeated key; the keys in their order."""
    def pairs(items):
        keys = [k for k, _ in items]
        check(len(keys) == len(set(keys)), "a key repeated", keys)
        return dict(items)
    return json.loads(text, object_pairs_hook=pairs)


@case
def names_and_formats(lab, front_for):
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], HOSTILE)
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2F version=5.1 revision=D delay=5"])
    front = front_for(net)

    interfaces = strict_json(front.cli("interfaces", "--json").stdout)
    check(interfaces == [{"name": "ws0", "address": "10.1.0.1", "prefix_length": 24, "index": interfaces[0]["index"],
                          "skipped": None},
                         {"name": "ws1", "address": "10.2.0.1", "prefix_length": 24, "index": interfaces[1]["index"],
                          "skipped": None},
                         {"name": "lo", "address": "127.0.0.1", "prefix_length": 8, "index": interfaces[2]["index"],
                          "skipped": "loopback"}]
          and all(type(i["index"]) is int for i in interfaces),
          "interfaces: name, address, prefix, index; the loopback skipped", interfaces)

    rows = strict_json(front.cli("search", "--json").stdout)
    check([list(r) for r in rows] == [ROW_KEYS] * 4 and all(type(v) is str for r in rows for v in r.values()),
          "every row has the seven string keys, in order", rows)
    check([(r["version"], r["revision"], r["interface_name"]) for r in rows] ==
          [("\x1b[1mRED", "a,b", "ws0"), ('say"hi"', "\r\n", "ws0"), ("caf\u00e9", "\u203a2J", "ws0"),
           ("5.1", "D", "ws1")], "JSON carries the texts decoded, and the interfaces' names", rows)

    raw = front.cli("search", "--csv", text=False).stdout
    line_end = b"\n" if front.build == "linux" else b"\r\n"
    check(raw.count(line_end) == 5 and (line_end == b"\r\n" or b"\r" not in raw), "one record per line, ended "
          "%r" % line_end, raw)
    check(not any(b < 0x20 and b not in b"\r\n" or b == 0x7F for b in raw), "no control character raw in CSV", raw)
    records = list(csv.reader(io.StringIO(raw.decode("utf-8"), newline=""), strict=True))
    # The MAC: from each reply's frame on Linux as root; from the neighbour table (what Wine's
    # GetIpNetEntry2 gives of it) on Windows, where the controller asked for the workstation by ARP.
    mac = "02:00:5e:10:00:01"
    check(records[0] == ["IP ADDR", "Model", "Version", "Revision", "Interface", "Interface Name", "MAC"] and
          records[1][:6] == ["10.1.0.20", "KRV-ETH1A2B", "\\x1B[1mRED", "a,b", "10.1.0.1", "ws0"] and
          records[1][6] in ((mac,) if front.build == "linux" else (mac, "")) and
          records[2][2:4] == ['say"hi"', "\\x0D\\x0A"] and records[3][2:4] == ["caf\u00e9", "\u203a2J"],
          "CSV: RFC 4180 quoting, control characters as \\xNN", records)

    table = front.cli("search").stdout.splitlines()
    macs = records[1][6] != ""
    check(table[0].split() == ["IP", "ADDR", "Model", "Version", "Revision", "Interface"] + ["MAC"] * macs and
          table[4].endswith("ws1 10.2.0.1" + ("  02:00:5e:11:00:01" if macs else "")),
          "the table names each row's interface, and its MAC where one is known", table)
    bare = front.cli("search", "--no-header", "--csv").stdout
    check(bare.splitlines()[0].startswith("10.1.0.20,"), "--no-header", bare)


def read_pty(master, proc, timeout=30):
    """Everything the program wrote to its terminal, in the order written."""
    out = b""
    deadline = time.time() + timeout
    while time.time() < deadline:
        ready, _, _ = select.select([master], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            out += chunk
        elif proc.poll() is not None:
            break
    return out.decode("utf-8", "replace").replace("\r\n", "\n")


@case(builds=("linux",))
def streaming_on_a_terminal(lab, front_for):
    """One after another, on a terminal the rows of the first interface appear
    while the second is still searched, with a status line per interface and a
    summary; -q keeps the rows and drops the rest; all at once (the default),
    the rows appear as they arrive; a pipe gets no status at all."""
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C delay=300"])
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2F version=5.1 revision=D delay=5"])
    front = front_for(net)
    for extra in (["--sequential"], ["-q", "--sequential"], ["-q"]):
        master, slave = pty.openpty()
        proc = lab.popen(net.ws, [front.program, "search"] + extra, stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        lines = [l for l in read_pty(master, proc).splitlines() if l.strip()]
        proc.wait(timeout=30)
        os.close(master)
        first = next((i for i, l in enumerate(lines) if l.startswith("10.1.0.20")), None)
        if "--sequential" not in extra:
            check([l.split()[0] for l in lines] == ["IP", "10.2.0.30", "10.1.0.20"],
                  "all at once (the default): the rows as they arrive", lines)
            continue
        if "-q" in extra:
            check([l.split()[0] for l in lines] == ["IP", "10.1.0.20", "10.2.0.30"], "-q: the rows only", lines)
            continue
        second = next((i for i, l in enumerate(lines) if l.startswith("searching ws1 10.2.0.1 (2/2)")), None)
        check(first is not None and second is not None and first < second,
              "the first row appears before the second interface is searched", lines)
        check(lines[0].startswith("IP ADDR") and "searching ws0 10.1.0.1 (1/2)" in lines and
              lines[-1].startswith("2 controllers on 2 interfaces, "), "status lines and a summary", lines)
    piped = front.cli("search")
    check(piped.stderr == "" and len(piped.stdout.splitlines()) == 3, "nothing but the table in a pipe",
          piped.stderr)


# Bad usage of search and interfaces: one line that names it, exit 2.
BAD_USAGE = [
    (("bogus",), "unknown command 'bogus'"),
    (("search", "--bogus"), "unknown option '--bogus'"),
    (("search", "--json", "--csv"), "--json and --csv exclude each other"),
    (("search", "--json", "--no-header"), "--no-header is for the table and CSV, not --json"),
    (("search", "--csv", "--csv"), "--csv given twice"),
    (("search", "--window"), "--window needs a value"),
    (("search", "--window", "99"), "--window takes milliseconds from 100 to 10000, not '99'"),
    (("search", "--window", "10001"), "--window takes milliseconds from 100 to 10000, not '10001'"),
    (("search", "--window", "1e3"), "--window takes milliseconds from 100 to 10000, not '1e3'"),
    (("search", "--window", "-5"), "--window takes milliseconds from 100 to 10000, not '-5'"),
    (("search", "--window", "9" * 5000), "--window takes milliseconds from 100 to 10000, not '" + "9" * 64 + "...'"),
    (("search", "--sort", "model"), "--sort takes 'address', not 'model'"),
    (("search", "--sort"), "--sort needs a value"),
    (("search", "--interface", "ws9"), "no broadcast interface has the address or name 'ws9' (scout-cli "
                                       "interfaces lists them)"),
    (("search", "--interface", "10.1.0.1 "), "no broadcast interface has the address or name '10.1.0.1 ' "
                                             "(scout-cli interfaces lists them)"),
    (("search", "--interface", "\x1b[2J"), "no broadcast interface has the address or name '\\x1B[2J' "
                                           "(scout-cli interfaces lists them)"),
    (("interfaces", "--parallel"), "--parallel is not an option of interfaces"),
    (("interfaces", "extra"), "interfaces takes no operand, not 'extra'"),
    (("search", "--dry-run"), "--dry-run is not an option of search"),
]


@case
def usage_errors(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    front = front_for(net)
    for args, problem in BAD_USAGE:
        result = front.cli(*args)
        check(result.returncode == 2 and result.stdout == "" and stderr_lines(result) == [
            "scout-cli: " + problem, "Try 'scout-cli --help' for more information."], "bad usage", args[:3],
            result.returncode, result.stderr)
    for args in (("-V",), ("--version",)):
        result = front.cli(*args)
        check(result.returncode == 0 and result.stdout.strip() == "scout-cli " + VERSION, "version", args)
    helped = front.cli("-h")
    check(helped.returncode == 0 and "--sequential" in helped.stdout and "Exit status" in helped.stdout, "help")
    check(sim.datagrams() == [], "nothing was searched or sent", sim.datagrams())


@case
def output_that_cannot_be_written(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    front = front_for(net)
    for command, redirect in (("search", "> /dev/full"), ("interfaces --json", "> /dev/full"),
                              ("search --csv", ">&-")):
        result = front.shell("%s %s" % (command, redirect))
        lines = stderr_lines(result)
        check(result.returncode == 1 and len(lines) == 1 and lines[0].startswith("scout-cli: cannot write the output: "),
              "a failed write is a failure", command, redirect, result.returncode, lines)


@case
def all_at_once(lab, front_for):
    """By default (and with --parallel) one query per interface, all sent at
    once, one window for all, and the rows interface by interface in search
    order; --sequential: one interface after another, a window each."""
    net = build_topology(lab, "four-segments")
    sims = []
    for i, segment in enumerate(net.segments):
        # Later segments answer first: the order of the rows is the interfaces', not the arrivals'.
        lines = ["address=10.%d.0.20 model=%d version=v revision=r delay=%d" % (i + 1, i + 1, 400 - 100 * i)]
        if i == 0:
            lines.append("address=10.1.0.9 model=9 version=late revision=r delay=3000")  # for a longer window only
        sims.append(lab.start_sim(segment, lines))
    front = front_for(net)

    def late_reply_may_land(before):
        """A reply carries no mark of its query: 10.1.0.9 answers each query 3 s
        late, so its reply to the search before lands in this window where that
        query was 2 to 3 s before this one (a busy machine's searches come late)."""
        queries = [d["wall_ms"] for d in sims[0].datagrams() if d["action"] == "query"]
        this = queries[before]
        return any(this - 3300 <= q <= this - 1500 for q in queries[:before])

    for flags in ((), ("--parallel",)):
        before = [len(s.datagrams()) for s in sims]
        earlier = len([d for d in sims[0].datagrams() if d["action"] == "query"])
        result = front.search_json(*flags)
        late = late_reply_may_land(earlier)
        check(result.returncode == 0 and [r["address"] for r in result.rows if not (late and r["address"] == "10.1.0.9")]
              == ["10.1.0.20", "10.2.0.20", "10.3.0.20", "10.4.0.20"], "rows by interface", flags, result.stdout,
              result.stderr)
        sent = [d["wall_ms"] for s, n in zip(sims, before) for d in s.datagrams()[n:] if d["action"] == "query"]
        check(len(sent) == 4 and max(sent) - min(sent) < 500, "the four queries left together, not a window apart",
              flags, sent)
    before = [len(s.datagrams()) for s in sims]
    one_by_one = front.search_json("--sequential")
    sent = sorted(d["wall_ms"] for s, n in zip(sims, before) for d in s.datagrams()[n:] if d["action"] == "query")
    # (The late reply to the search before comes in ws0's window too where this
    # search began late enough, as on a busy machine: it is no row of this query.)
    check(len(sent) == 4 and all(b - a >= 900 for a, b in zip(sent, sent[1:])) and
          [r["address"] for r in one_by_one.rows if r["address"] != "10.1.0.9"][:1] == ["10.1.0.20"],
          "--sequential: a window apart", sent, one_by_one.stdout)
    # (The late reply to the search before may come in this window too.)
    longer = front.search_json("--window", "5000", "--interface", "ws0", "--sort", "address")
    # Numeric order puts the late 10.1.0.9 first (text order and arrival order would not).
    addresses = [r["address"] for r in longer.rows]
    check(addresses[-1] == "10.1.0.20" and set(addresses[:-1]) == {"10.1.0.9"},
          "a window of 5 s hears the reply 3 s late; --sort address", longer.stdout)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
