#!/usr/bin/env python3
"""End-to-end tests of the real dialog under Wine in the lab: its search, its
command buttons and what they put on the wire."""

import json
import os
import subprocess
import sys
import time

from e2e import build_topology, case_registry, check, hold_port, main, rows_of
from wire import MAGIC_HEX, command_datagrams

CASES, case = case_registry()


class ProbeRun:
    """What the dialog probe saw: dumps (rows and state), presses and reports, in order."""

    def __init__(self, stdout):
        self.dumps, self.presses, self.reports, self.warnings = [], [], [], []
        rows = []
        for line in stdout.splitlines():
            kind, _, rest = line.partition("\t")
            fields = rest.split("\t")
            if kind == "row":
                rows.append(tuple(fields))
            elif kind == "state":
                state = dict(f.split("=", 1) for f in fields)
                self.dumps.append((rows, {k: int(v) for k, v in state.items()}))
                rows = []
            elif kind == "press":
                press = {"name": fields[0]}
                press.update(f.split("=", 1) for f in fields[1:] if "=" in f)
                press["disabled"] = "disabled" in fields[1:]
                self.presses.append(press)
            elif kind == "report":
                self.reports.append(rest.replace("\\n", "\n"))
            elif kind == "warning":
                self.warnings.append(rest.replace("\\n", "\n"))

    def addresses(self, dump):
        return [row[0] for row in self.dumps[dump][0]]


def probe_program(front):
    return os.path.join(os.path.dirname(front.program), "scout_dialog_probe.exe")


def probe(front, *steps, timeout=120):
    result = front.lab.run_wine(front.net.ws, front.wineprefix, [probe_program(front)] + list(steps), timeout=timeout)
    check(result.returncode == 0, "the dialog probe failed", result.returncode, result.stdout, result.stderr)
    return ProbeRun(result.stdout)


def windows_path(path):
    """A path of this machine as a Windows program under Wine names it."""
    return "Z:" + path.replace("/", "\\")


@case(builds=("win32",))
def same_rows_as_scout_cli(lab, front_for):
    net = build_topology(lab, "two-segments")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C delay=15",
                                    "address=10.1.0.21 model=0 version=VERSION8 revision=rev delay=40 twice",
                                    "address=10.1.0.22 model=10 version=1.9 revision=B reply=broadcast delay=90"])
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2F version=5.1 revision=D delay=20"])
    front = front_for(net)
    run = probe(front, "search", "dump")
    dialog = run.dumps[0][0]
    check(run.dumps[0][1]["search"] == 1, "Search is enabled again after the search", run.dumps)
    cli = rows_of(front.search_json(), "address", "model", "version", "revision")
    check(len(dialog) == 5, "the dialog lists every reply", dialog)
    check(dialog == cli, "the dialog and scout-cli list the same rows in the same order", dialog, cli)


@case(builds=("win32",))
def oversized_datagram_hides_nothing(lab, front_for):
    """The dialog shows the report of a datagram too long for a reply once,
    and lists the replies that came behind it."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.40 model=1 length=41 delay=5",
                                    "address=10.1.0.50 model=2 version=a revision=1 delay=200",
                                    "address=10.1.0.51 model=3 version=b revision=2 delay=400"])
    run = probe(front_for(net), "search", "dump")
    check(len(run.reports) == 1 and run.reports[0].startswith(
        "Error attempting to receive data for address 10.1.0.1."), "one report", run.reports)
    check(run.addresses(0) == ["10.1.0.50", "10.1.0.51"], "the replies behind it are listed", run.dumps)


# Settle time plus one interface's reply window: the least a command keeps the dialog busy.
COMMAND_MIN_MS = 5000 + 1010


@case(builds=("win32",))
def commands(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], [
        "address=10.0.0.5 model=1A2B version=2.14 revision=C default=10.1.0.100/24 offline-ms=1000 delay=10",
        "address=192.168.1.50 model=2F version=5.1 revision=D offline-ms=60000 delay=40"])
    front = front_for(net)
    run = probe(front, "search", "dump",
                "click-row=10.0.0.5", "fields=10.0.0.9,255.255.255.0,10.0.0.1", "press=reconfigure-ip", "dump",
                "click-row=10.0.0.9", "press=factory-defaults", "dump",
                "click-row=192.168.1.50", "press=power-on-reset", "dump", timeout=180)
    check(run.reports == [], "no message expected", run.reports)
    # 10.0.0.9 lies outside the subnet of ws0 10.1.0.1/24: Windows asks the link only within it.
    check(run.warnings == ["The IP address 10.0.0.9 was not checked against other hosts on the interface 10.1.0.1: "
                           "it is outside the interface's subnet, where only an ARP probe asks. The command is sent."],
          "said where the link could not be asked, and sent", run.warnings)
    check(len(run.dumps) == 4 and len(run.presses) == 4, "every step ran", run.dumps, run.presses)
    check(run.addresses(0) == ["10.0.0.5", "192.168.1.50"], "the first search", run.dumps[0])
    check(run.addresses(1) == ["10.0.0.9", "192.168.1.50"], "Reconfigure IP moves the controller", run.dumps[1])
    check(run.addresses(2) == ["10.1.0.100", "192.168.1.50"], "Factory Defaults brings back its default address",
          run.dumps[2])
    check(run.addresses(3) == ["10.1.0.100"], "Power on Reset takes it off the network for a while", run.dumps[3])
    for dump in run.dumps[1:]:
        check(dump[1] == {"search": 1, "group": 0, "selected": -1},
              "after a command: Search enabled, the group disabled, no selection", dump)
    for press in run.presses[1:]:
        check(not press["disabled"] and int(press["ms"]) >= COMMAND_MIN_MS,
              "a command waits and searches before Search comes back", press)
        check(press["search_disabled_throughout"] == "1", "Search stays disabled until the end", press)

    # What went on the wire, byte for byte, each from the tool's port.
    sent = command_datagrams(sim)
    check([d["hex"] for d in sent] == [
        MAGIC_HEX + "02000000" + "0500000a" + "0900000a" + "00ffffff" + "0100000a" + "00000000",
        MAGIC_HEX + "01000000" + "0900000a" + "64656661756c7400" + "00" * 8,
        MAGIC_HEX + "01000000" + "3201a8c0" + "00" * 16], "the three commands on the wire", sent)
    check(all(d["from"].endswith(":65513") and d["to"] == "255.255.255.255" for d in sent),
          "commands go from port 65513 to 255.255.255.255", sent)


@case(builds=("win32",))
def refusals(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C"])
    front = front_for(net)
    run = probe(front, "search",
                "click-empty", "press=power-on-reset", "dump",
                "click-empty", "press=factory-defaults",
                "click-empty", "fields=10.1.0.77,255.255.255.0,10.1.0.254", "press=reconfigure-ip", "dump",
                "click-row=10.1.0.20", "fields=10.1.0.77,255.0.255.0,10.1.0.254", "press=reconfigure-ip", "dump",
                "click-row=10.1.0.20", "fields=10.1.0.0,255.255.255.0,0.0.0.0", "press=reconfigure-ip",
                "click-row=10.1.0.20", "fields=10.1.0.77,255.255.255.0,10.2.0.1", "press=reconfigure-ip", "dump")
    check(len(run.presses) == 7 and not any(p["disabled"] for p in run.presses), "every press ran", run.presses)
    for press in run.presses[1:]:
        check(int(press["ms"]) < 5000, "a refused command does not wait the settle time", press)
    check(run.dumps[0][1] == {"search": 1, "group": 0, "selected": -1}, "no row: back to Ready", run.dumps[0])
    check(run.reports == [
        "The subnet mask 255.0.255.0 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252).",
        "The IP address 10.1.0.0 is not a usable host address with the subnet mask 255.255.255.0.",
        "The gateway 10.2.0.1 is neither 0.0.0.0 (none) nor another host address in the subnet of 10.1.0.77 "
        "with the mask 255.255.255.0."], "one message per refused reconfigure", run.reports)
    check(run.addresses(3) == ["10.1.0.20"], "the list is left as it was", run.dumps[3])
    check(run.dumps[3][1] == {"search": 1, "group": 0, "selected": -1}, "back to Ready", run.dumps[3])
    check(command_datagrams(sim) == [], "nothing but the query went on the wire", sim.datagrams())
    check(len(sim.datagrams()) == 1, "no search after a refusal: the first search's query only", sim.datagrams())


@case(builds=("win32",))
def reconfigure_refused_by_what_the_list_shows(lab, front_for):
    """Reconfigure IP gives no controller an address another listed one holds,
    a host of the line holds, the workstation's own or its subnet's edge, and
    gives no address that three new controllers share."""
    net = build_topology(lab, "single")
    # A host of the line that is no controller holds 10.1.0.88.
    lab.configure(net.segments[0].ns, ["ip", "addr", "add", "10.1.0.88/24", "dev", "br0"])
    mac = json.loads(lab.run(net.segments[0].ns, ["ip", "-j", "link", "show", "br0"]).stdout)[0]["address"]
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=a revision=1 delay=5",
                                          "address=10.1.0.21 model=2 version=b revision=2 delay=10"] +
                        ["address=192.168.1.100 model=1A2B version=2.14 revision=C delay=%d" % d for d in (15, 20, 25)])
    run = probe(front_for(net), "search",
                "click-row=10.1.0.20", "fields=10.1.0.21,255.255.255.0,0.0.0.0", "press=reconfigure-ip",
                "click-row=10.1.0.20", "fields=10.1.0.1,255.255.255.0,0.0.0.0", "press=reconfigure-ip",
                "click-row=192.168.1.100", "fields=10.1.0.77,255.255.255.0,0.0.0.0", "press=reconfigure-ip",
                "click-row=10.1.0.20", "fields=10.1.0.88,255.255.255.0,0.0.0.0", "press=reconfigure-ip",
                "click-row=10.1.0.20", "fields=10.1.0.255,255.255.0.0,0.0.0.0", "press=reconfigure-ip", "dump")
    check(run.reports == [
        "The IP address 10.1.0.21 is already used by a controller listed on the interface 10.1.0.1.",
        "The IP address 10.1.0.1 is an address of this workstation.",
        "The IP address 192.168.1.100 is listed more than once on the interface 10.1.0.1: several controllers "
        "answer there, or one answers twice, and each would get the new address. Power them up one at a time.",
        "The IP address 10.1.0.88 is in use by a host that does not answer as a controller (MAC %s) on the "
        "interface 10.1.0.1." % mac,
        "The IP address 10.1.0.255 is the network or broadcast address of the subnet of the interface 10.1.0.1/24; "
        "no controller can hold it."],
        "one message per refusal", run.reports)
    check(len(run.addresses(0)) == 5, "the list is left as it was", run.dumps[0])
    check(command_datagrams(sim) == [] and len(sim.datagrams()) == 1, "nothing but the query went on the wire",
          sim.datagrams())


@case(builds=("win32",))
def commands_by_the_rows_interface(lab, front_for):
    """Each command leaves by the interface that listed its row: the controllers
    behind the second interface get it there, and of one address heard on both
    segments only the selected row's segment does."""
    net = build_topology(lab, "two-segments")
    first = lab.start_sim(net.segments[0], ["address=10.9.0.5 model=1 version=one revision=1 delay=5"])
    second = lab.start_sim(net.segments[1], [
        "address=10.2.0.30 model=30 version=a revision=1 delay=5",
        "address=10.2.0.31 model=31 version=b revision=2 default=10.2.0.100/24 delay=10",
        "address=10.9.0.5 model=2 version=two revision=2 delay=15 offline-ms=60000"])
    front = front_for(net)
    run = probe(front, "search", "dump",
                "click-row=10.2.0.30", "fields=10.2.0.77,255.255.255.0,10.2.0.254", "press=reconfigure-ip",
                "click-row=10.2.0.31", "press=factory-defaults",
                "click-row=10.9.0.5#2", "press=power-on-reset", "dump", timeout=180)
    check(run.reports == [], "no message expected", run.reports)
    check(run.addresses(0) == ["10.9.0.5", "10.2.0.30", "10.2.0.31", "10.9.0.5"], "the first search", run.dumps[0])
    check(sorted(run.addresses(1)) == ["10.2.0.100", "10.2.0.77", "10.9.0.5"],
          "reconfigured, back at its default, and the second 10.9.0.5 restarting", run.dumps[1])
    got = command_datagrams(second)
    check([(d["action"], d["target"]) for d in got] == [("reconfigure", "10.2.0.30"), ("reset", "10.2.0.31"),
                                                          ("reset", "10.9.0.5")] and
          all(d["from"] == "10.2.0.1:65513" for d in got), "the second segment got all three", got)
    check(command_datagrams(first) == [], "the first segment got none", command_datagrams(first))


@case(builds=("win32",))
def command_with_the_port_taken(lab, front_for):
    """Port 65513 taken between the search and the press: the command needs no
    reply and goes out from another port of the interface; the search after
    it waits a while for the port and then reports the bind, once."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C"])
    front = front_for(net)
    searched, go = os.path.join(lab.workdir, "searched"), os.path.join(lab.workdir, "go")
    proc = lab.popen(net.ws, ["wine", probe_program(front), "search", "touch=" + windows_path(searched),
                              "wait-file=" + windows_path(go), "click-row=10.1.0.20", "press=power-on-reset", "dump"],
                     env=lab.wine_env(front.wineprefix), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    deadline = time.time() + 60
    while not os.path.exists(searched):
        check(time.time() < deadline and proc.poll() is None, "the probe's search did not end")
        time.sleep(0.05)
    holder = hold_port(lab, net)
    open(go, "w").close()
    out, err = proc.communicate(timeout=120)
    holder.kill()
    check(proc.returncode == 0, "the dialog probe failed", proc.returncode, out, err)
    run = ProbeRun(out)
    sent = command_datagrams(sim)
    check(len(sent) == 1 and sent[0]["action"] == "reset" and sent[0]["from"] != "10.1.0.1:65513",
          "the reset went out from another port", sent)
    check(len(run.reports) == 1 and run.reports[0].startswith(
        "Error attempting to bind to socket for address 10.1.0.1. "), "one bind message, of the search after", run.reports)
    check(int(run.presses[1]["ms"]) >= 5000 + 3000, "the settle time, and the search after waited for the port",
          run.presses)
    check(run.dumps[0][1] == {"search": 1, "group": 0, "selected": -1}, "Ready again", run.dumps)


@case(builds=("win32",))
def commands_while_a_watch_runs(lab, front_for):
    """A scout-cli watch on the same workstation holds the port during its
    windows only: the dialog's search waits for it, and its command goes."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C offline-ms=500"])
    front = front_for(net)
    watch = lab.popen(net.ws, [os.path.join(os.environ["SCOUT_LINUX_BIN"], "scout-cli"), "watch", "--json",
                               "--window", "1500", "--interval", "2"],
                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    check(watch.stdout.readline() != "", "the watch saw the controller")
    run = probe(front, "search", "dump", "click-row=10.1.0.20", "press=power-on-reset", "dump", timeout=120)
    watch.terminate()
    check(run.reports == [], "no message: each search waited for the watch's window to end", run.reports)
    check(run.addresses(0) == ["10.1.0.20"], "the search listed it", run.dumps)
    check([d["action"] for d in command_datagrams(sim)] == ["reset"], "the reset went out", command_datagrams(sim))


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
