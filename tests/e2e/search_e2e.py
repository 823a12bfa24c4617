#!/usr/bin/env python3
"""End-to-end searches of scout-cli (native, or .exe under Wine) against
virtual controllers in the lab."""

import json
import sys

from e2e import build_topology, case_registry, check, controller_lines, main, rows_of, stderr_lines
from scoutlab import VERSION  # noqa: E402

CASES, case = case_registry()


@case
def rows_and_texts(lab, front_for):
    net = build_topology(lab, "single")
    seg = net.segments[0]
    lab.start_sim(seg, ["address=10.1.0.50 model=1A2B version=1.2 revision=B delay=10",
                        "address=10.1.0.51 model=0 version=VERSION8 revision=rev delay=40",
                        "address=10.1.0.52 model=FFFFFFFF version=ABCDEFGH revision=12345678 delay=70"])
    result = front_for(net).search_json()
    check(result.returncode == 0 and result.stderr.strip() == "", "search failed", result.returncode, result.stderr)
    check(rows_of(result) == [("10.1.0.50", "KRV-ETH1A2B", "1.2", "B", "10.1.0.1"),
                              ("10.1.0.51", "KRV-ETH0", "VERSION8rev", "rev", "10.1.0.1"),
                              ("10.1.0.52", "KRV-ETHFFFFFFFF", "ABCDEFGH12345678", "12345678", "10.1.0.1")],
          "rows differ", result.stdout)


@case
def unicast_and_broadcast_replies(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.60 model=60 version=uni revision=1 delay=10",
                                    "address=10.1.0.61 model=61 version=bcast revision=2 reply=broadcast delay=40"])
    result = front_for(net).search_json()
    check(result.returncode == 0, "search failed", result.stderr)
    check(rows_of(result, "address", "version") == [("10.1.0.60", "uni"), ("10.1.0.61", "bcast")],
          "rows differ", result.stdout)


@case
def two_interfaces(lab, front_for):
    net = build_topology(lab, "two-segments")
    first = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=A version=a revision=1 delay=5"])
    second = lab.start_sim(net.segments[1], ["address=10.2.0.50 model=B version=b revision=2 delay=5",
                                             "address=10.2.0.51 model=C version=c revision=3 delay=30"])
    result = front_for(net).search_json("--sequential")
    check(result.returncode == 0, "search failed", result.stderr)
    check(rows_of(result, "address", "model", "interface") == [("10.1.0.50", "KRV-ETHA", "10.1.0.1"),
                                                              ("10.2.0.50", "KRV-ETHB", "10.2.0.1"),
                                                              ("10.2.0.51", "KRV-ETHC", "10.2.0.1")],
          "rows differ", result.stdout)
    queries = [d for d in first.datagrams() + second.datagrams() if d["action"] == "query"]
    check(len(queries) == 2, "expected one query per segment", queries)
    gap = queries[1]["wall_ms"] - queries[0]["wall_ms"]
    # The second interface's query is sent only after the first window (1010 ms) has closed.
    check(gap >= 1005, "second window began %d ms after the first" % gap)
    check(queries[0]["from"] == "10.1.0.1:65513" and queries[1]["from"] == "10.2.0.1:65513",
          "queries came from the wrong addresses", queries)


@case
def listed_once_per_interface(lab, front_for):
    net = build_topology(lab, "shared-segment")
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r"])
    result = front_for(net).search_json()
    check(result.returncode == 0, "search failed", result.stderr)
    check(rows_of(result, "address", "interface") == [("10.1.0.50", "10.1.0.1"), ("10.1.0.50", "10.1.0.2")],
          "one controller on two interfaces must be listed twice", result.stdout)


@case
def empty_datagram_first(lab, front_for):
    """A device on the segment sends an empty datagram just before the replies:
    it is read and ignored, and both replies behind it are listed."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.40 model=1 length=0 delay=5",
                                    "address=10.1.0.50 model=2 version=a revision=1 delay=30",
                                    "address=10.1.0.51 model=3 version=b revision=2 delay=60"])
    result = front_for(net).search_json()
    check(result.returncode == 0 and stderr_lines(result) == [], "no message", result.returncode, result.stderr)
    check(rows_of(result, "address", "model") == [("10.1.0.50", "KRV-ETH2"), ("10.1.0.51", "KRV-ETH3")],
          "both replies behind the empty datagram are listed", result.stdout)


@case(builds=("linux",))
def one_address_on_two_interfaces(lab, front_for):
    """10.1.0.1 on two interfaces into two segments: each window is bound to its
    own interface, so each segment is searched once. (Not for the Windows build:
    it binds to the address, as Windows does, and Wine ties such a socket to the
    first device holding the address.)"""
    net = build_topology(lab, "same-address")
    first = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=20 version=a revision=1 delay=5"])
    second = lab.start_sim(net.segments[1], ["address=10.1.0.30 model=30 version=b revision=2 delay=5"])
    result = front_for(net).search_json()
    check(result.returncode == 0 and stderr_lines(result) == [], "no message", result.returncode, result.stderr)
    check(rows_of(result, "address", "interface") == [("10.1.0.20", "10.1.0.1"), ("10.1.0.30", "10.1.0.1")],
          "each segment's controller listed once, in search order", result.stdout)
    for sim in (first, second):
        queries = [d for d in sim.datagrams() if d["action"] == "query"]
        check(len(queries) == 1, "each segment got one query", queries)


@case
def answering_twice(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r twice"])
    result = front_for(net).search_json()
    check(rows_of(result, "address") == [("10.1.0.50",), ("10.1.0.50",)], "expected two rows", result.stdout)


@case
def non_replies_ignored(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.70 model=1 version=bad revision=magic bad-magic",
                                    "address=10.1.0.71 model=1 version=cmd revision=one command=1",
                                    "address=10.1.0.72 model=1 version=cmd revision=two command=2",
                                    "address=10.1.0.73 model=2 version=good revision=one delay=20"])
    result = front_for(net).search_json()
    check(result.returncode == 0 and stderr_lines(result) == [], "no message expected", result.stderr)
    check(rows_of(result, "address") == [("10.1.0.73",)], "only the real reply is listed", result.stdout)


@case
def oversized_reply(lab, front_for):
    """A datagram too long for a reply arrives first: it is reported once,
    and hides nothing behind it on its interface or the next."""
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=long revision=x length=41 delay=10",
                                    "address=10.1.0.52 model=1 version=long revision=x length=41 delay=100",
                                    "address=10.1.0.51 model=1 version=later revision=x delay=200",
                                    "address=10.1.0.53 model=1 version=later revision=x delay=400"])
    lab.start_sim(net.segments[1], ["address=10.2.0.50 model=2 version=next revision=y delay=10"])
    result = front_for(net).search_json()
    lines = stderr_lines(result)
    check(result.returncode == 1, "a reported failure exits 1", result.returncode)
    check(len(lines) == 1 and lines[0].startswith(
        "scout-cli: Error attempting to receive data for address 10.1.0.1. "), "one report per window", lines)
    check(rows_of(result, "address") == [("10.1.0.51",), ("10.1.0.53",), ("10.2.0.50",)],
          "every reply behind it is listed", result.stdout)


@case
def short_replies_zero_filled(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=ABCDEFGH revision=IJKLMNOP delay=10",
                                    "address=10.1.0.51 model=2 version=WXYZ revision=QQ length=28 delay=40"])
    result = front_for(net).search_json()
    check(result.returncode == 0, "search failed", result.stderr)
    check(rows_of(result, "address", "model", "version", "revision") ==
          [("10.1.0.50", "KRV-ETH1", "ABCDEFGHIJKLMNOP", "IJKLMNOP"), ("10.1.0.51", "KRV-ETH2", "WXYZ", "")],
          "bytes beyond a short reply must count as zero", result.stdout)


@case(alone=True)
def junk_flood(lab, front_for):
    net = build_topology(lab, "single")
    # The reply comes early, as a real controller's does: it then has a few
    # hundred junk datagrams ahead of it. (Under Wine, where each receive is a
    # round trip to the Wine server, a reply behind more than about ten thousand
    # of them cannot be read within the window.)
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=real revision=1 delay=20"],
                        ["--flood", "20000", "--flood-ms", "1500"])
    result = front_for(net).search_json()
    check(result.returncode == 0 and stderr_lines(result) == [], "junk is dropped silently", result.stderr)
    check(rows_of(result, "address", "version") == [("10.1.0.50", "real")], "the real reply is listed",
          result.stdout)
    sim.stop()
    stopped = [e for e in sim.events() if e.get("event") == "stopped"]
    print("flood: %s junk datagrams sent, search took %.3f s" % (stopped[0]["junk_sent"] if stopped else "?",
                                                                 result.elapsed))


@case(alone=True)
def thousand_controllers(lab, front_for):
    net = build_topology(lab, "large")
    lab.start_sim(net.segments[0], controller_lines(net.segments[0], 1000, first_host=1000))
    result = front_for(net).search_json()
    check(result.returncode == 0, "search failed", result.stderr)
    addresses = [row["address"] for row in result.rows]
    check(len(addresses) == 1000 and len(set(addresses)) == 1000, "%d rows, %d distinct" %
          (len(addresses), len(set(addresses))))


@case
def no_interface(lab, front_for):
    """Nothing to search is no failure, but it is said, with what to check."""
    net = build_topology(lab, "loopback")
    front = front_for(net)
    result = front.search_json()
    check(result.returncode == 0 and result.stdout == "[]\n" and stderr_lines(result) == [
        "scout-cli: no interface to search: none is up with an IPv4 address and a link. Check the cable and the "
        "adapter's address; `scout-cli interfaces` lists what is there and why each is skipped"],
        "no interface: [], exit 0, and said", repr(result.stdout), result.stderr)
    table = front.cli("search")
    check(table.stdout.splitlines() == ["IP ADDR  Model  Version  Revision  Interface"], "header only",
          table.stdout)
    interfaces = front.cli("interfaces", "--json")
    check([(i["name"], i["skipped"]) for i in json.loads(interfaces.stdout)] == [("lo", "loopback")],
          "no broadcast interface: the loopback alone, skipped", interfaces.stdout)
    command = front.cli("reset", "10.1.0.20", "--no-wait")
    check(command.returncode == 4 and stderr_lines(command) == [
        "scout-cli: No controller answered at 10.1.0.20; nothing was sent."], "a command with nowhere to go",
        command.returncode, command.stderr)


@case
def nothing_answered_is_said(lab, front_for):
    """An interface where nothing answered gets one line after the search, in
    a pipe too, not under -q."""
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    front = front_for(net)
    result = front.search_json()
    check(result.returncode == 0 and [r["address"] for r in result.rows] == ["10.1.0.20"] and
          stderr_lines(result) == ["scout-cli: nothing answered on ws1 10.2.0.1; `scout-cli doctor --interface ws1` "
                                   "looks for the cause"], "one hint", result.stderr)
    quiet = front.cli("search", "-q")
    check(quiet.returncode == 0 and quiet.stderr == "", "-q says nothing", quiet.stderr)


@case
def usage_and_exit_status(lab, front_for):
    net = build_topology(lab, "loopback")
    front = front_for(net)
    bad = front.cli("search", "--bogus")
    check(bad.returncode == 2 and stderr_lines(bad) == ["scout-cli: unknown option '--bogus'",
                                                        "Try 'scout-cli --help' for more information."],
          "bad usage exits 2", bad.stderr)
    both = front.cli("search", "--json", "--csv")
    check(both.returncode == 2, "two formats are bad usage")
    version = front.cli("--version")
    check(version.returncode == 0 and version.stdout.strip() == "scout-cli " + VERSION, "version", version.stdout)
    helped = front.cli("--help")
    check(helped.returncode == 0 and "search" in helped.stdout, "help", helped.stdout)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
