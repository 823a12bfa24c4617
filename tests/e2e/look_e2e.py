#!/usr/bin/env python3
"""The look before a command, end to end in the lab: the link's answers kept
whole on a busy line, one deadline for every command that gives an address,
controllers told apart by all they say, a MAC only where this workstation
could tell it, what the link could not say said truly, and the wire a
controller stays on. As root, and (Linux) as an unprivileged user."""

import json
import os
import sys

from e2e import build_topology, case_registry, check, controller_lines, main, stderr_lines
from wire import command_datagrams

CASES, case = case_registry()

NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def runs_of(lab, net, front):
    """scout-cli as root, and on Linux as nobody too."""
    runs = [("root", front.cli)]
    if front.build == "linux":
        runs.append(("nobody", lambda *args: lab.run(net.ws, NOBODY + [front.program] + list(args))))
    return runs


def readable(lab, path, text):
    """A file of the case that nobody may read too."""
    with open(path, "w") as out:
        out.write(text)
    os.chmod(lab.workdir, 0o755)
    os.chmod(path, 0o644)
    return path


def warnings(result):
    """The warnings said (not what could not be checked: off its subnet, only root on Linux asks)."""
    return [line for line in stderr_lines(result) if "warning: " in line]


def held(address, mac, where="ws0 10.1.0.1"):
    return ("scout-cli: The IP address %s is in use by a host that does not answer as a controller (MAC %s) on %s; "
            "nothing was sent." % (address, mac, where))


@case(alone=True)
def a_holder_heard_on_a_busy_link(lab, front_for):
    """600 controllers that ask for the workstation by ARP before their first
    reply, and a host that sends 3,000 gratuitous ARPs a second: the answer of
    the PLC that holds 10.1.0.77 is still heard, and a reconfigure onto it is
    refused, dry run or not, nothing sent."""
    net = build_topology(lab, "large")
    segment = net.segments[0]
    lines = controller_lines(segment, 600, first_host=1000, options="delay=0-900")
    lines += ["host 10.1.0.77 mac=02:00:5e:77:00:01", "host 10.1.0.99 mac=02:00:5e:99:00:01 chatter=3000"]
    sim = lab.start_sim(segment, lines, extra_args=("--arp-askings", "600"))
    front = front_for(net)
    refused = held("10.1.0.77", "02:00:5e:77:00:01")
    for who, run in runs_of(lab, net, front):
        for extra in (("--dry-run",), ()):
            result = run("reconfigure", segment.host(1000), "10.1.0.77", "255.255.0.0", "10.1.0.254", "--no-log",
                         *extra)
            check(result.returncode == 1 and refused in stderr_lines(result), who + ": refused through the flood",
                  extra, result.returncode, result.stderr)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim)[:3])


@case
def a_late_holder_is_found_by_every_command(lab, front_for):
    """A PLC whose busy stack answers ARP 700 ms late holds 10.1.0.77: the
    one deadline finds it for a reconfigure, a plan's row and commission
    alike (commission gives the next address instead)."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                          "address=192.168.1.100 model=2 version=v revision=r",
                                          "host 10.1.0.77 mac=02:00:5e:77:00:01 answer-ms=700"])
    front = front_for(net)
    refused = held("10.1.0.77", "02:00:5e:77:00:01")
    plan = readable(lab, os.path.join(lab.workdir, "plan.csv"),
                    "address,action,new_address,mask,gateway,model,interface\n"
                    "10.1.0.20,reconfigure,10.1.0.77,255.255.255.0,0.0.0.0,,\n")
    for who, run in runs_of(lab, net, front):
        result = run("reconfigure", "10.1.0.20", "10.1.0.77", "255.255.255.0", "0.0.0.0", "--no-log", "--dry-run")
        check(result.returncode == 1 and stderr_lines(result) == [refused], who + ": reconfigure refuses it",
              result.returncode, result.stderr)
        result = run("apply", plan, "--no-log", "--dry-run")
        check(result.returncode == 1 and stderr_lines(result)[0] == "scout-cli: %s, line 2: %s" % (
            plan, refused[len("scout-cli: "):-len("; nothing was sent.")]), who + ": so does the plan's row",
            result.returncode, result.stderr)
    result = front.cli("commission", "--first", "10.1.0.77", "--mask", "255.255.255.0", "--gateway", "0.0.0.0",
                       "--count", "1", "--window", "500", "--interval", "1", "--json", "--no-log", timeout=60)
    check(result.returncode == 0 and [d["new_address"] for d in json.loads(result.stdout)] == ["10.1.0.78"],
          "commission passes over it", result.returncode, result.stdout, result.stderr)
    check(any(line.startswith("scout-cli: skipping 10.1.0.77: The IP address 10.1.0.77 is in use by a host")
              for line in stderr_lines(result)), "and says so", result.stderr)
    check([(d["action"], d.get("address")) for d in command_datagrams(sim)] == [("reconfigure", "10.1.0.78")],
          "one command, to the free address", command_datagrams(sim))


@case
def controllers_told_apart_by_all_they_say(lab, front_for):
    """Two controllers behind one MAC (a cloned EEPROM) with different texts
    are two controllers: a reconfigure is refused, and audit calls the
    address a duplicate. Two identical replies from one MAC cannot be told
    from a batch that shares it: a command is refused (--all sends to all),
    and audit counts them as one and says so."""
    net = build_topology(lab, "single")
    clone = "02:00:5e:aa:00:01"
    sim = lab.start_sim(net.segments[0], [
        "address=192.168.1.100 model=1A2B version=2.14 revision=C mac=" + clone,
        "address=192.168.1.100 model=3C00 version=3.0.7 revision=A1 mac=" + clone,
        "address=10.1.0.77 model=1A2B version=2.14 revision=C mac=02:00:5e:aa:00:02",
        "address=10.1.0.77 model=3C00 version=3.0.7 revision=A1 mac=02:00:5e:aa:00:02",
        "address=10.1.0.30 model=5 version=v revision=r twice"])
    front = front_for(net)
    listed = readable(lab, os.path.join(lab.workdir, "line.csv"), "address,model\n10.1.0.77,\n10.1.0.30,KRV-ETH5\n")
    for who, run in runs_of(lab, net, front):
        frames = front.build == "linux" and who == "root"
        result = run("reconfigure", "192.168.1.100", "10.1.0.88", "255.255.255.0", "0.0.0.0", "--no-log")
        check(result.returncode == 4 and stderr_lines(result)[0].startswith(
            "scout-cli: 2 replies came from 192.168.1.100 on ws0 10.1.0.1" +
            (", every one from MAC " + clone if frames else "") +
            ", with different models, versions or revisions: several controllers share that address; each would "
            "get the one new address."), who + ": one MAC, two controllers: refused", result.returncode,
            result.stderr)
        result = run("reset", "10.1.0.30", "--no-log", "--no-wait")
        check(result.returncode == 4 and stderr_lines(result)[0].startswith(
            "scout-cli: 2 replies came from 10.1.0.30 on ws0 10.1.0.1" +
            (", every one from MAC 02:00:5e:10:00:05 with the same texts: one controller that answered more than "
             "once cannot be told from controllers of one batch that share a MAC;" if frames else
             ": several controllers share that address, or one answers twice;")),
            who + ": one MAC twice: refused", result.returncode, result.stderr)
        result = run("audit", listed, "--json")
        statuses = {r["address"]: r["status"] for r in json.loads(result.stdout)}
        check(statuses == {"10.1.0.77": "duplicate", "10.1.0.30": "ok" if frames else "duplicate",
                           "192.168.1.100": "unexpected"} and result.returncode == 1,
              who + ": the clones a duplicate; one MAC twice one answer where frames tell", statuses, result.stdout)
        if frames:
            table = run("audit", listed).stdout
            check("KRV-ETH5 v r 02:00:5e:10:00:05 (2 replies, one MAC)" in table, "and says so", table)
    everyone = front.cli("reset", "10.1.0.30", "--all", "--no-log", "--no-wait")
    check(everyone.returncode == 0, "--all sends to all", everyone.returncode, everyone.stderr)
    check([(d["action"], d["target"]) for d in command_datagrams(sim)] == [("reset", "10.1.0.30")],
          "nothing went but the reset with --all", command_datagrams(sim))


@case(builds=("linux",))
def a_mac_only_where_this_workstation_can_tell_it(lab, front_for):
    """An old neighbour entry (STALE, planted with another MAC) gives no row
    its MAC: as nobody the MAC is unknown, and audit of a list with that MAC
    says unverified, not ok; as root the reply's own frame gives the real MAC,
    and audit says mismatch. A MAC that cannot be read is no mismatch either:
    unverified (exit 3), said in the table, JSON and the report."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.22 model=10 version=1.9 revision=B"])
    front = front_for(net)
    real, planted = "02:00:5e:10:00:01", "02:00:5e:de:ad:01"
    run = dict(runs_of(lab, net, front))
    run["root"]("search")  # the controller asks for the workstation by ARP: a stale entry, then planted over
    lab.configure(net.ws, ["ip", "neigh", "replace", "10.1.0.22", "lladdr", planted, "dev", "ws0", "nud", "stale"])
    macs = {who: [r["mac"] for r in json.loads(run[who]("search", "--json").stdout)] for who in ("nobody", "root")}
    check(macs == {"nobody": [""], "root": [real]}, "no MAC from an entry from before; the frame's as root", macs)
    listed = readable(lab, os.path.join(lab.workdir, "line.csv"), "address,mac\n10.1.0.22,%s\n" % planted)
    report = os.path.join(lab.workdir, "report.html")
    os.chmod(lab.workdir, 0o1777)  # as /tmp: nobody writes its report there, into a file of its own
    nobody = run["nobody"]("audit", listed, "--json", "--report", report)
    result = json.loads(nobody.stdout)[0]
    check(nobody.returncode == 3 and (result["status"], result["fields"], result["unread"]) == (
        "unverified", [], ["mac"]), "nobody: unverified, not ok", nobody.returncode, nobody.stdout)
    check(stderr_lines(nobody) == ["scout-cli: the MAC of 1 controller could not be read here: this workstation knows a "
                                   "MAC only from each reply's own frame (scout-cli reads those as root on Linux, and "
                                   "this process may not) or from a neighbour entry its system confirmed during the "
                                   "search"], "and how a MAC is read", nobody.stderr)
    with open(report, encoding="utf-8") as f:
        html = f.read()
    check('<tr class="unverified">' in html and '<div class="unread">mac not read here</div>' in html and
          '<div class="differs">mac' not in html, "the report: not read, not different", html[-3000:])
    root = run["root"]("audit", listed)
    check(root.returncode == 1 and root.stdout.splitlines()[1].split()[:3] == ["mismatch", "10.1.0.22", "ws0"],
          "root reads the frame: mismatch", root.returncode, root.stdout)
    lab.configure(net.ws, ["ip", "neigh", "flush", "dev", "ws0"])
    truly = readable(lab, os.path.join(lab.workdir, "true.csv"), "address,mac\n10.1.0.22,%s\n" % real)
    table = run["nobody"]("audit", truly)
    check(table.returncode == 3 and table.stdout.splitlines()[1].split()[:6] == [
        "unverified", "10.1.0.22", "ws0", "10.1.0.1", "mac", "not"], "unknown is not different", table.stdout)


@case
def what_the_link_could_not_say(lab, front_for):
    """An entry set by hand for a free address refuses a reconfigure onto it
    as root and as nobody alike (the workstation would send there to that
    MAC). As nobody, a host this workstation knows from before (STALE) cannot
    be asked again within the look: said truly, and the command goes."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                    "host 10.1.0.80 mac=02:00:5e:80:00:01"])
    front = front_for(net)
    lab.configure(net.ws, ["ip", "neigh", "replace", "10.1.0.90", "lladdr", "02:00:5e:90:00:01", "dev", "ws0", "nud",
                           "permanent"])
    fixed = ("scout-cli: This workstation holds a neighbour entry set by hand for 10.1.0.90 (MAC 02:00:5e:90:00:01) "
             "on ws0 10.1.0.1: what it sends to that address goes to that MAC, not to a controller given it (remove "
             "the entry if that host is gone); nothing was sent.")
    for who, run in runs_of(lab, net, front):
        result = run("reconfigure", "10.1.0.20", "10.1.0.90", "255.255.255.0", "0.0.0.0", "--no-log", "--dry-run")
        check(result.returncode == 1 and stderr_lines(result) == [fixed], who + ": refused, by the one rule",
              result.returncode, result.stderr)
    if front.build != "linux":
        return  # Wine shows Linux's stale entries as reachable: only Windows itself could show this
    lab.configure(net.ws, ["ip", "neigh", "replace", "10.1.0.80", "lladdr", "02:00:5e:80:00:01", "dev", "ws0", "nud",
                           "stale"])
    result = runs_of(lab, net, front)[1][1]("reconfigure", "10.1.0.20", "10.1.0.80", "255.255.255.0", "0.0.0.0",
                                            "--no-log", "--dry-run")
    check(result.returncode == 0 and [line for line in stderr_lines(result) if "not checked" in line] == [
        "scout-cli: not checked against other hosts: this workstation knows 10.1.0.80 from before (MAC "
        "02:00:5e:80:00:01) on ws0 10.1.0.1, and its system asks the link about a known host again only after "
        "seconds of use, not within the look; this process may not send an ARP probe of its own (Operation not "
        "permitted)"], "nobody: said truly, and it goes", result.returncode, result.stderr)


@case
def the_wire_a_controller_stays_on(lab, front_for):
    """Two segments: a new address in the other wire's subnet, and a mask
    other than the wire's, are each warned of, in the same words by
    reconfigure and a plan's row; a controller named on the wrong interface
    is said to answer on the other, not to be missing."""
    net = build_topology(lab, "two-segments")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r",
                                          "address=10.1.0.22 model=2 version=v revision=r",
                                          "address=10.1.0.23 model=3 version=v revision=r"])
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=4 version=v revision=r"])
    front = front_for(net)
    other = ("warning: 10.2.0.77 lies outside the subnet of ws0 10.1.0.1/24, the interface the controller answers on "
             "(it is in the subnet of ws1 10.2.0.1, another wire): after the command, hosts on the controller's wire "
             "reach it only with a route to 10.2.0.0/24")
    mask = ("warning: the mask 255.255.0.0 (/16) is not the /24 of ws0 10.1.0.1, the interface the controller answers "
            "on: it would disagree with its wire about who is on the link")
    for args, said in ((("10.1.0.23", "10.2.0.77", "255.255.255.0", "10.2.0.254"), other),
                       (("10.1.0.22", "10.1.0.78", "255.255.0.0", "10.1.0.254"), mask)):
        result = front.cli("reconfigure", *args, "--dry-run", "--no-log")
        check(result.returncode == 0 and warnings(result) == ["scout-cli: " + said], "reconfigure warns", args,
              result.returncode, result.stderr)
    plan = readable(lab, os.path.join(lab.workdir, "plan.csv"),
                    "address,action,new_address,mask,gateway,model,interface\n"
                    "10.1.0.23,reconfigure,10.2.0.77,255.255.255.0,10.2.0.254,,\n"
                    "10.1.0.22,reconfigure,10.1.0.78,255.255.0.0,10.1.0.254,,\n")
    result = front.cli("apply", plan, "--dry-run", "--no-log")
    check(result.returncode == 0 and warnings(result) == ["scout-cli: %s, line 2: %s" % (plan, other),
                                                          "scout-cli: %s, line 3: %s" % (plan, mask)],
          "a plan's rows, the same words", result.returncode, result.stderr)
    wrong = front.cli("reset", "10.1.0.21", "--interface", "ws1", "--no-log", "--no-wait")
    check(wrong.returncode == 4 and stderr_lines(wrong) == [
        "scout-cli: No controller answered at 10.1.0.21 on ws1 10.2.0.1; it answers on ws0 10.1.0.1 (choose it with "
        "--interface); nothing was sent."], "the wrong interface says where it answers", wrong.returncode,
        wrong.stderr)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim))


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
