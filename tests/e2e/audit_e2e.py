#!/usr/bin/env python3
"""End-to-end audits of a line against what it should be (native, or .exe
under Wine): an accepted line, a line with every kind of deviation, the
acceptance report read back by an HTML parser, hostile lists, and watch
--expect."""

import csv
import html.parser
import io
import json
import os
import sys

from e2e import build_topology, case_registry, check, main, stderr_lines
from watch_e2e import read_events

CASES, case = case_registry()

LINE = ["address=10.1.0.20 model=1A2B version=2.14 revision=C",
        "address=10.1.0.21 model=1A2B version=2.20 revision=C",
        "address=10.1.0.22 model=3C00 version=3.0.7 revision=A1"]
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def write(lab, name, text):
    path = os.path.join(lab.workdir, name)
    with open(path, "w", newline="") as f:
        f.write(text)
    os.chmod(lab.workdir, 0o755)
    os.chmod(path, 0o644)
    return path


@case
def an_accepted_line(lab, front_for):
    """What search --csv wrote of an accepted line is its list as it stands:
    audited again it is all ok, exit 0, as root; as nobody (Linux), who reads
    no MAC of a reply, every row is unverified, exit 3, and said so."""
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], LINE)
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2F version=5.1 revision=D"])
    front = front_for(net)
    accepted = write(lab, "accepted.csv", front.cli("search", "--csv").stdout)
    runs = [("root", front.cli)]
    if front.build == "linux":
        runs.append(("nobody", lambda *args: lab.run(net.ws, NOBODY + [front.program] + list(args))))
    for who, run in runs:
        # Root reads each reply's frame; nobody has only what the system confirmed during the search.
        ok = who == "root" or front.build != "linux"
        table = run("audit", accepted)
        check(table.returncode == (0 if ok else 3) and table.stdout.splitlines()[-1] == ("4 ok" if ok else
                                                                                         "4 unverified"),
              who + ": all ok, exit 0 (unverified, exit 3, where the MACs cannot be read)", table.returncode,
              table.stdout, table.stderr)
        results = json.loads(run("audit", accepted, "--json").stdout)
        check([(r["status"], r["address"], r["fields"]) for r in results] ==
              [("ok" if ok else "unverified", a, []) for a in ("10.1.0.20", "10.1.0.21", "10.1.0.22", "10.2.0.30")],
              who + ": one result per row, in the list's order", results)


class Page(html.parser.HTMLParser):
    """What a browser would take of the page: its tags, attributes and text."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.attributes, self.text, self.rows, self._row = set(), [], "", [], None

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        self.attributes += [name for name, _ in attrs]
        if tag == "tr":
            self._row = []

    def handle_endtag(self, tag):
        if tag == "tr" and self._row is not None:
            self.rows.append(self._row)
            self._row = None

    def handle_data(self, data):
        self.text += data
        if self._row is not None:
            self._row.append(data)


@case
def a_line_with_every_deviation(lab, front_for):
    """A mismatch (a firmware below the policy's minimum), a controller
    missing, two at one address, one that no row names, and a version that is
    markup: each result, exit 1, and a report that holds every controller and
    every deviation, nothing from elsewhere, the hostile text shown as text."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], LINE[:2] + [
        "address=10.1.0.23 model=4D2 version=\\x3Cb\\x3E\\x1B[2J revision=r",
        "address=192.168.1.100 model=1 version=1 revision=A",
        "address=192.168.1.100 model=2 version=1 revision=A",
        "address=10.1.0.40 model=5 version=1 revision=A"])
    front = front_for(net)
    record = os.path.join(lab.workdir, "record.jsonl")
    moved = front.cli("reconfigure", "10.1.0.40", "10.1.0.41", "255.255.255.0", "0.0.0.0", "--log", record)
    check(moved.returncode == 0, "a change on record first", moved.returncode, moved.stderr)
    expected = write(lab, "line4.csv",
                     "name,address,model,version,Cabinet\r\n"
                     "Axis 1,10.1.0.20,KRV-ETH1A2B,>=2.14,A1\r\n"
                     "Axis 2,10.1.0.21,KRV-ETH1A2B,>=2.30,A1\r\n"
                     "Axis 3,10.1.0.22,,,A2\r\n"
                     "Axis 4,10.1.0.23,KRV-ETH4D2,,A2\r\n"
                     "New one,192.168.1.100,,,A3\r\n")
    report = os.path.join(lab.workdir, "report.html")
    result = front.cli("audit", expected, "--report", report, "--title", "Line 4 <SAT>", "--log", record)
    statuses = [line.split()[0] for line in result.stdout.splitlines()[1:-1]]
    check(result.returncode == 1 and statuses == ["mismatch", "missing", "duplicate", "unexpected", "ok", "ok"] and
          result.stdout.splitlines()[-1] == "2 ok, 1 mismatch, 1 missing, 1 duplicate, 1 unexpected",
          "each deviation, deviations first, exit 1", result.returncode, result.stdout, result.stderr)
    results = json.loads(front.cli("audit", expected, "--json").stdout)
    mismatch = results[0]
    check(mismatch["name"] == "Axis 2" and mismatch["fields"] == ["version"] and
          mismatch["expected"]["version"] == ">=2.30" and mismatch["found"]["version"] == "2.20",
          "the fields named, expected and found side by side", mismatch)
    duplicate = [r for r in results if r["status"] == "duplicate"][0]
    check(len(duplicate["answers"]) == 2, "a duplicate with every answer", duplicate)

    with open(report, encoding="utf-8") as f:
        page = Page()
        source = f.read()
        page.feed(source)
    check(page.tags <= {"html", "head", "meta", "title", "style", "body", "h1", "h2", "table", "thead", "tbody",
                        "tr", "th", "td", "div", "hr", "p"}, "no markup but the page's own", page.tags)
    check(not {"src", "href", "srcset", "action"} & set(page.attributes) and "url(" not in source and
          "@import" not in source and "<script" not in source, "nothing loaded from anywhere else", page.attributes)
    check("<b>\\x1B[2J" in page.text, "the hostile version shown as its text", page.text)
    for address in ("10.1.0.20", "10.1.0.21", "10.1.0.22", "10.1.0.23", "192.168.1.100", "10.1.0.41"):
        check(address in page.text, "every controller in the report: " + address)
    for status in ("mismatch", "missing", "duplicate", "unexpected", "ok"):
        check(any(row and row[0] == status for row in page.rows), "the status in the results: " + status, page.rows)
    check("Line 4 <SAT>" in page.text and "2 ok, 1 mismatch, 1 missing, 1 duplicate, 1 unexpected" in page.text,
          "the title and the summary", page.text[:400])
    check(any("10.1.0.40" in row and "10.1.0.41" in row for row in page.rows), "the change on record", page.rows)
    import hashlib
    with open(expected, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    check(digest in page.text and "Commissioning engineer" in page.text and "Customer" in page.text,
          "the list's SHA-256 and the sign-off block", digest)
    # A report that cannot be written is said, exit 5, and what stood there stays.
    folder = os.path.join(lab.workdir, "a-folder")
    os.mkdir(folder)
    for target in (os.path.join(lab.workdir, "no-such-folder", "report.html"), folder):
        failed = front.cli("audit", expected, "--report", target, "-q")
        check(failed.returncode == 5 and stderr_lines(failed)[-1].startswith("scout-cli: cannot write the report "),
              "the report not written: exit 5", target, failed.returncode, failed.stderr)
    check(os.path.isdir(folder) and sorted(os.listdir(lab.workdir)).count("report.html") == 1 and
          not [n for n in os.listdir(lab.workdir) if n.startswith("report.html.")], "no half file left", os.listdir(lab.workdir))


@case
def a_list_that_goes_through_a_spreadsheet(lab, front_for):
    """A controller whose version and revision read as a formula: search --csv
    writes no cell a spreadsheet runs (a leading ' makes it text), and the
    list, audited, reads back as it was written: all ok."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version==cmd|' revision=/C\\x20calc",
                                    "address=10.1.0.21 model=1A2B version=@SUM(1) revision='x",
                                    "address=10.1.0.22 model=1A2B version=-2 revision=+3"])
    front = front_for(net)
    written = front.cli("search", "--csv").stdout
    cells = [cell for row in csv.reader(io.StringIO(written)) for cell in row]
    check(not any(cell[:1] in ("=", "+", "-", "@", "\t", "\r") for cell in cells) and "'=cmd|'" in cells and
          "'@SUM(1)" in cells and "''x" in cells and "'-2" in cells and "'+3" in cells,
          "no cell a spreadsheet runs; each marked as text", written)
    listed = write(lab, "line.csv", written)
    result = front.cli("audit", listed)
    check(result.returncode in (0, 3) and result.stdout.splitlines()[-1] in ("3 ok", "3 unverified"),
          "the list reads back as it was written", result.returncode, result.stdout)


@case
def the_interfaces_as_this_workstation_knows_them(lab, front_for):
    """Two segments, audited on ws0 alone: the rows of ws1 (by name, or by
    their subnet) are not searched, never missing, exit 3; a row naming WS0
    is ws0's; rows naming ws0 and 10.1.0.1 for one address are a fault."""
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], LINE)
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2F version=5.1 revision=D"])
    front = front_for(net)
    listed = write(lab, "line.csv", "address,interface\n10.1.0.20,WS0\n10.1.0.21,10.1.0.1\n10.1.0.22,\n"
                                    "10.2.0.30,ws1\n10.2.0.31,\n")
    result = front.cli("audit", listed, "--interface", "ws0", "--json")
    statuses = [(r["address"], r["status"]) for r in json.loads(result.stdout)]
    check(result.returncode == 3 and sorted(statuses) == [
        ("10.1.0.20", "ok"), ("10.1.0.21", "ok"), ("10.1.0.22", "ok"), ("10.2.0.30", "not searched"),
        ("10.2.0.31", "not searched")], "ws1 not searched, never missing; WS0 is ws0", result.returncode, statuses)
    everywhere = front.cli("audit", listed)
    check(everywhere.returncode == 1 and "missing" in everywhere.stdout and "not searched" not in everywhere.stdout,
          "searched, 10.2.0.31 is missing", everywhere.returncode, everywhere.stdout)
    twice = write(lab, "twice.csv", "address,interface\n10.1.0.20,ws0\n10.1.0.20,10.1.0.1\n")
    result = front.cli("audit", twice)
    check(result.returncode == 2 and stderr_lines(result) == [
        "scout-cli: %s, line 3: a second row for 10.1.0.20 on ws0 (line 2, which names it otherwise): give each row "
        "its own interface" % twice], "one interface however it is named", result.returncode, result.stderr)


@case(builds=("linux",))
def a_report_replaces_nothing_it_should_not(lab, front_for):
    """--report replaces only a regular file of the user's own, keeping its
    mode, or makes one: the list itself, the record of changes, a FIFO, a
    link and /dev/null (as root, in a mount namespace with a /dev of its own)
    are each refused in one line, exit 5, before anything is searched, and
    left as they were."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C"])
    front = front_for(net)
    listed = write(lab, "line4.csv", "address,model\n10.1.0.20,KRV-ETH1A2B\n")
    record = write(lab, "commands.jsonl", "{}\n")
    fifo = os.path.join(lab.workdir, "fifo.html")
    os.mkfifo(fifo)
    link = os.path.join(lab.workdir, "link.html")
    os.symlink(listed, link)
    for target, why in ((listed, "which this run reads or keeps"), (record, "which this run reads or keeps"),
                        (os.path.join(lab.workdir, ".", "line4.csv"), "which this run reads or keeps"),
                        (fifo, "it is no regular file"), (link, "it is a symbolic link")):
        result = front.cli("audit", listed, "--report", target, "--log", record)
        check(result.returncode == 5 and stderr_lines(result) == [
            "scout-cli: cannot write the report %s: %s" % (target, stderr_lines(result)[0].split(": ", 2)[-1])] and
            why in result.stderr and result.stdout == "", "refused before the search", target, result.returncode,
            result.stderr)
    check(open(listed).read() == "address,model\n10.1.0.20,KRV-ETH1A2B\n" and open(record).read() == "{}\n" and
          os.path.islink(link), "the list, the record and the link as they were")
    check([d for d in sim.datagrams()] == [], "nothing was searched", sim.datagrams()[:2])
    script = ("mount -t tmpfs tmpfs /dev && mknod -m 666 /dev/null c 1 3 && %s audit %s --report /dev/null; "
              "echo exit=$?; test -c /dev/null && echo device" % (front.program, listed))
    result = lab.run(net.ws, ["unshare", "--mount", "--propagation", "private", "sh", "-c", script], timeout=30)
    check(result.stdout.split() == ["exit=5", "device"] and
          "cannot write the report /dev/null: it is no regular file" in result.stderr,
          "/dev/null refused, still a device", result.stdout, result.stderr)
    private = os.path.join(lab.workdir, "private.html")
    with open(private, "w") as f:
        f.write("old")
    os.chmod(private, 0o600)
    result = front.cli("audit", listed, "--report", private)
    check(result.returncode == 0 and oct(os.stat(private).st_mode & 0o777) == "0o600" and
          "<!DOCTYPE html>" in open(private).read(), "a private report replaced stays private", result.returncode,
          oct(os.stat(private).st_mode))


@case(builds=("linux",))
def hostile_lists(lab, front_for):
    """A list with faults is named line by line, exit 2, and nothing is searched."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], LINE)
    front = front_for(net)
    cases = [
        ("address,model\n10.1.0.500,M\n10.1.0.20,M\x1b[2J\n10.1.0.21,\"M\n",
         ["line 2: the address '10.1.0.500' is no IPv4 address", "line 3: a control character (\\x1B)",
          "line 4: a quoted field does not end on its line"]),
        ("model,version\nM,1\n", ["line 1: no address column: the header needs 'address' (or 'IP ADDR')"]),
        ("address\n10.1.0.20\n10.1.0.20\n", ["line 3: the same row as line 2"]),
        ("", ["empty: an expected list starts with a header (address,model,version,revision,...)"]),
        ("address\n" + "10.1.0.20," + "x" * 2000 + "\n", ["line 2: longer than 1024 bytes"]),
        # Addresses no controller can hold, and the workstation's own.
        ("address\n0.0.0.0\n255.255.255.255\n127.0.0.1\n224.0.0.1\n10.1.0.20\n",
         ["line %d: the address '%s' is no address a controller can hold (0.0.0.0/8, loopback, multicast or "
          "reserved)" % (n, a) for n, a in ((2, "0.0.0.0"), (3, "255.255.255.255"), (4, "127.0.0.1"),
                                           (5, "224.0.0.1"))]),
        ("address\n10.1.0.20\n10.1.0.1\n", ["line 3: the address 10.1.0.1 is this workstation's own: no controller "
                                            "holds it"]),
    ]
    for n, (text, faults) in enumerate(cases):
        path = write(lab, "list%d.csv" % n, text)
        result = front.cli("audit", path)
        check(result.returncode == 2 and result.stdout == "" and
              stderr_lines(result) == ["scout-cli: %s%s%s" % (path, ", " if f.startswith("line") else ": ", f)
                                       for f in faults], "each fault with its line, exit 2", text[:40],
              result.returncode, result.stderr)
    for args, says in ((["audit"], "audit needs EXPECTED"), (["audit", "a.csv", "b.csv"], "not 'b.csv' too"),
                       (["audit", "a.csv", "--report"], "--report needs a value"),
                       (["audit", "a.csv", "--expect", "b.csv"], "--expect"),
                       (["audit", os.path.join(lab.workdir, "missing.csv")], "cannot read the expected list")):
        result = front.cli(*args)
        check(result.returncode == 2 and says in result.stderr, "bad usage: " + " ".join(args), result.returncode,
              result.stderr)
    check(not [d for d in sim.datagrams()], "nothing was searched", sim.datagrams())


@case
def watch_marks_each_event(lab, front_for):
    """watch --expect names each event's controller by the list's row, or
    says that no row names it."""
    net = build_topology(lab, "single")
    front = front_for(net)
    lab.start_sim(net.segments[0], LINE[:2] + ["address=10.1.0.50 model=9 version=1 revision=A online-ms=4000"])
    expected = write(lab, "line.csv", "address,name\n10.1.0.20,Axis 1\n10.1.0.21,\n")
    proc = front.start("watch", "--json", "--window", "500", "--interval", "1", "--expect", expected)
    events = read_events(proc, [("appeared", "10.1.0.50")])
    proc.kill()
    proc.communicate()
    marks = sorted((e["address"], e["expected"]) for e in events if e["event"] == "appeared")
    check(marks == [("10.1.0.20", "Axis 1"), ("10.1.0.21", "10.1.0.21"), ("10.1.0.50", "unexpected")],
          "each event marked by the list", marks)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
