#!/usr/bin/env python3
"""End-to-end commands of scout-cli (native, or .exe under Wine) against
virtual controllers in the lab: the bytes on the wire, what the controllers
do, and what is refused before anything is sent."""

import json
import os
import re
import signal
import sys
import time

from e2e import build_topology, case_registry, check, hold_port, main, stderr_lines
from wire import MAGIC_HEX, command_datagrams

CASES, case = case_registry()


@case
def wire_bytes(lab, front_for):
    net = build_topology(lab, "single")
    # A reset takes a controller off the network far longer than the next command takes to come.
    sim = lab.start_sim(net.segments[0], ["address=192.168.1.50 model=1 version=v revision=r offline-ms=60000",
                                          "address=10.0.0.5 model=2 version=v revision=r"])
    front = front_for(net)
    # With --no-search nothing is looked at first: what the simulator logs is the commands alone.
    for args in (("reset", "192.168.1.50"), ("factory-defaults", "192.168.1.50"),
                 ("reconfigure", "10.0.0.5", "10.0.0.9", "255.255.255.0", "10.0.0.1"),
                 ("reset", "10.0.0.77")):
        result = front.cli(*args, "--no-wait", "--no-search", "--interface", "10.1.0.1")
        unreachable = ["scout-cli: warning: 10.0.0.9 lies outside the subnet of every interface of this workstation: "
                       "after the command it reaches the controller only with a route to 10.0.0.0/24 or a second "
                       "address there"] if args[0] == "reconfigure" else []
        check(result.returncode == 0 and result.stdout == "" and stderr_lines(result) == [
            "scout-cli: nothing was checked: the command goes without a search (--no-search)"] + unreachable,
            "%s: sent, and said unchecked" % args[0], result.returncode, result.stdout, result.stderr)
    sent = command_datagrams(sim)
    check([d["hex"] for d in sent] == [
        MAGIC_HEX + "01000000" + "3201a8c0" + "00" * 16,
        MAGIC_HEX + "01000000" + "3201a8c0" + "64656661756c7400" + "00" * 8,
        MAGIC_HEX + "02000000" + "0500000a" + "0900000a" + "00ffffff" + "0100000a" + "00000000",
        # The last names no controller of the lab: it is sent all the same, and ignored.
        MAGIC_HEX + "01000000" + "4d00000a" + "00" * 16],
        "the commands on the wire, byte for byte", [d["hex"] for d in sent])
    check(all(d["from"] == "10.1.0.1:65513" and d["to"] == "255.255.255.255" and d["length"] == 40 for d in sent),
          "every command is one 40-byte datagram from the interface's port 65513 to 255.255.255.255", sent)
    # The second reset reaches a controller that is still restarting from the first.
    check([d["action"] for d in sent] == ["reset", "ignored", "reconfigure", "ignored"], "what the lab did", sent)


@case
def reconfigure_and_factory_defaults(lab, front_for):
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], [
        "address=10.1.0.50 model=1A2B version=1.2 revision=B default=10.1.0.100/24 offline-ms=1000 delay=10",
        "address=10.1.0.51 model=2 version=2.0 revision=C delay=30"])
    front = front_for(net)
    moved = front.cli("reconfigure", "10.1.0.50", "10.1.0.77", "255.255.255.0", "10.1.0.254", "--json")
    check(moved.returncode == 0, "the new address answered: exit 0", moved.returncode, moved.stderr)
    result = json.loads(moved.stdout)
    addresses = [r["address"] for r in result["rows"]]
    check("10.1.0.77" in addresses and "10.1.0.50" not in addresses and result["outcome"] == "answers",
          "the rows as it answers", moved.stdout)
    check(len(stderr_lines(moved)) == 1 and stderr_lines(moved)[0].startswith(
        "scout-cli: 10.1.0.50 answers at 10.1.0.77 after "), "the verification", moved.stderr)
    back = front.cli("factory-defaults", "10.1.0.77", "--csv")
    check(back.returncode == 0, "factory defaults: exit 0", back.returncode, back.stderr)
    lines = back.stdout.splitlines()
    check(lines[0] == "IP ADDR,Model,Version,Revision,Interface,Interface Name,MAC" and
          sorted(l.split(",")[0] for l in lines[1:]) == ["10.1.0.100", "10.1.0.51"],
          "back at its default address", back.stdout)


@case
def power_on_reset_and_no_answer(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r offline-ms=60000",
                                          "address=10.1.0.51 model=2 version=v revision=r delay=20"])
    front = front_for(net)
    # The controller stays away longer than the wait: not seen back, exit 3, said.
    reset = front.cli("reset", "10.1.0.50", "--json", "--timeout", "2")
    check(reset.returncode == 3 and stderr_lines(reset) == [
        "scout-cli: 10.1.0.50 went away and nothing with its model, version and revision answered at it again "
        "within %s s" % json.loads(reset.stdout)["seconds"]], "reset: not back in time", reset.returncode,
        reset.stderr)
    addresses = [r["address"] for r in json.loads(reset.stdout)["rows"]]
    check(addresses == ["10.1.0.51"] and json.loads(reset.stdout)["outcome"] == "gone",
          "the reset controller is off the network for a while", reset.stdout)
    # A reconfigure sent unchecked to a controller that is not there: nobody answers at the new address.
    lost = front.cli("reconfigure", "10.1.0.99", "10.1.0.98", "255.255.255.0", "0.0.0.0", "--interface", "ws0",
                     "--no-search", "--timeout", "1")
    check(lost.returncode == 3, "the new address did not answer: exit 3", lost.returncode, lost.stderr)
    check(stderr_lines(lost)[-1].startswith("scout-cli: no controller answered at the new address 10.1.0.98 within "),
          "says so", lost.stderr)
    check(lost.stdout.splitlines()[0].split()[:6] == ["IP", "ADDR", "Model", "Version", "Revision", "Interface"],
          "the refreshed rows are printed", lost.stdout)
    check(len(command_datagrams(sim)) == 2, "both commands were sent", command_datagrams(sim))


@case
def the_effect_is_awaited(lab, front_for):
    """A command ends when its effect is seen: a quick controller ends the
    wait sooner than a slow one, one slower than the dialog's 5 s is still
    verified, and one that never went away is said so (exit 3). An output that
    cannot be written after the send has its own exit status."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r offline-ms=1500",
                                    "address=10.1.0.21 model=2 version=v revision=r offline-ms=6500",
                                    "address=10.1.0.22 model=3 version=v revision=r offline-ms=0"])
    front = front_for(net)
    waited = []
    for target in ("10.1.0.20", "10.1.0.21"):
        result = front.cli("reset", target, "--json")
        lines = stderr_lines(result)
        check(result.returncode == 0 and json.loads(result.stdout)["outcome"] == "back" and len(lines) == 1 and
              lines[0].startswith("scout-cli: %s is back after " % target), "back", target, result.returncode, lines)
        waited.append(json.loads(result.stdout)["seconds"])
    # No figure of this machine's speed: only that each wait ends when its controller is back.
    check(1.5 <= waited[0] < waited[1] and waited[1] >= 6.5, "each wait ends when its controller is back", waited)
    never = front.cli("reset", "10.1.0.22", "--timeout", "1")
    check(never.returncode == 3 and stderr_lines(never) == [
        "scout-cli: 10.1.0.22 still answers; the reset may not have taken effect"], "never went away: exit 3",
        never.returncode, never.stderr)
    full = front.shell("reset 10.1.0.20 --no-wait --json > /dev/full")
    check(full.returncode == 5 and "cannot write the output" in full.stderr,
          "sent, but the result could not be written: exit 5", full.returncode, full.stderr)


@case(builds=("linux",))
def the_record_of_changes(lab, front_for):
    """Every command is recorded: a sent one (intent, then its outcome), a
    refused one, one sent without a look; where the record cannot be
    written nothing is sent; history shows it, naming a line it cannot read."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C offline-ms=2000"])
    front = front_for(net)
    record = os.path.join(lab.workdir, "record", "commands.jsonl")
    front.cli("reset", "10.1.0.20", "--log", record)
    front.cli("reset", "10.1.0.99", "--log", record)
    time.sleep(2.5)  # back from the reset before the next
    front.cli("reset", "10.1.0.20", "--no-search", "--interface", "ws0", "--no-wait", "--log", record)
    with open(record) as f:
        lines = [json.loads(line) for line in f]
    check([(l["event"], l.get("outcome", "")) for l in lines] ==
          [("intent", ""), ("outcome", "back"), ("refused", ""), ("intent", ""), ("outcome", "sent")],
          "intent and outcome, a refusal, one sent without a look", lines)
    check(lines[0]["model"] == "KRV-ETH1A2B" and lines[0]["interface_name"] == "ws0" and
          lines[0]["datagram"].startswith(MAGIC_HEX) and len(lines[0]["datagram"]) == 80 and
          re.match(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$", lines[0]["time"]) is not None,
          "what a line holds", lines[0])
    sent = len(command_datagrams(sim))
    time.sleep(2.5)  # back from the reset sent without a look
    blocked = front.cli("reset", "10.1.0.20", "--log", "/proc/no-such-folder/commands.jsonl")
    check(blocked.returncode == 1 and "cannot write the record of changes" in blocked.stderr and
          "--no-log" in blocked.stderr and len(command_datagrams(sim)) == sent, "unwritable: nothing sent",
          blocked.returncode, blocked.stderr)
    with open(record, "a") as f:
        f.write("not a record\n")
    history = front.cli("history", "--log", record, "--json")
    check(history.returncode == 0 and len(json.loads(history.stdout)) == 5 and stderr_lines(history) ==
          ["scout-cli: %s, line 6: no JSON object; skipped" % record], "history, and the line it cannot read",
          history.stdout, history.stderr)


@case(builds=("linux",))
def an_interrupted_wait_still_reports(lab, front_for):
    """Ctrl-C (or SIGTERM) during the wait: the command went out, so its result
    is written, with the outcome "interrupted", and the status is 130 (143)."""
    net = build_topology(lab, "single")
    controllers = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r offline-ms=60000",
                                                  "address=10.1.0.21 model=2 version=v revision=r offline-ms=60000"])
    front = front_for(net)
    for sig, status, target in ((signal.SIGINT, 130, "10.1.0.20"), (signal.SIGTERM, 143, "10.1.0.21")):
        sent = len(command_datagrams(controllers))
        proc = front.start("reset", target, "--json")
        deadline = time.time() + 60
        while len(command_datagrams(controllers)) == sent:
            check(time.time() < deadline and proc.poll() is None, "the reset went out", proc.poll())
            time.sleep(0.05)
        time.sleep(0.3)
        proc.send_signal(sig)
        out, err = proc.communicate(timeout=30)
        check(proc.returncode == status and json.loads(out)["outcome"] == "interrupted" and
              "the wait was interrupted after" in err, "interrupted: reported", sig, proc.returncode, out, err)
        time.sleep(0.5)


@case
def refusals(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r"])
    front = front_for(net)
    refused = [
        (("10.1.0.77", "255.255.255.0", "10.1.0.0.1"),
         'The gateway "10.1.0.0.1" is not a dotted-decimal IPv4 address.'),
        (("10.1.0.255", "255.255.255.0", "0.0.0.0"),
         "The IP address 10.1.0.255 is not a usable host address with the subnet mask 255.255.255.0."),
        (("10.1.0.77", "255.255.0.255", "0.0.0.0"),
         "The subnet mask 255.255.0.255 is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252)."),
        (("10.1.0.77", "255.255.255.0", "10.1.1.1"),
         "The gateway 10.1.1.1 is neither 0.0.0.0 (none) nor another host address in the subnet of 10.1.0.77 "
         "with the mask 255.255.255.0."),
    ]
    for fields, message in refused:
        result = front.cli("reconfigure", "10.1.0.50", *fields)
        check(result.returncode == 2 and stderr_lines(result) == ["scout-cli: " + message] and result.stdout == "",
              "refused as bad usage: exit 2 and the message", fields, result.returncode, result.stdout, result.stderr)
        # No wait: the settle time is 5 s (whether anything was searched, the sim's log says below).
        check(result.elapsed < 5.0, "a refusal does not wait", result.elapsed)
    # An address and a mask typed in each other's place; a typo in an address: the same status as any bad usage.
    swapped = front.cli("reconfigure", "10.1.0.50", "255.255.255.0", "10.1.0.77", "0.0.0.0")
    check(swapped.returncode == 2 and len(stderr_lines(swapped)) == 1 and
          stderr_lines(swapped)[0].endswith(" (the address and the mask swapped?)"), "swapped?", swapped.returncode,
          swapped.stderr)
    for args in (("reset", "10.1.0.2l"), ("reconfigure", "10.1.0.50", "10.1.0.277", "255.255.255.0", "0.0.0.0")):
        typo = front.cli(*args)
        check(typo.returncode == 2, "a typo is bad usage", args, typo.returncode, typo.stderr)
    check(sim.datagrams() == [], "nothing was sent, nothing searched", sim.datagrams())


# Bad input to a command: one line that names it, exit 2, nothing sent (and
# nothing searched: the lab's simulator hears no datagram at all).
BAD_COMMANDS = [
    (("reset",), "reset needs ADDRESS"),
    (("reset", "10.1.0.50", "10.1.0.51"), "reset takes one ADDRESS, not '10.1.0.51' too"),
    (("reconfigure", "10.1.0.50", "10.1.0.77"), "reconfigure needs ADDRESS IP MASK GATEWAY"),
    (("reset", ""), "the controller address '' is not a dotted-decimal unicast address"),
    (("reset", "10.1.0"), "the controller address '10.1.0' is not a dotted-decimal unicast address"),
    (("reset", "010.1.0.50"), "the controller address '010.1.0.50' is not a dotted-decimal unicast address"),
    (("reset", "0x0a.1.0.50"), "the controller address '0x0a.1.0.50' is not a dotted-decimal unicast address"),
    (("reset", "10.1.0.256"), "the controller address '10.1.0.256' is not a dotted-decimal unicast address"),
    (("reset", "10.1.0.50 "), "the controller address '10.1.0.50 ' is not a dotted-decimal unicast address"),
    (("reset", "10.1.0.5\n0"), "the controller address '10.1.0.5\\x0A0' is not a dotted-decimal unicast address"),
    (("reset", "255.255.255.255"), "the controller address '255.255.255.255' is not a dotted-decimal unicast address"),
    (("reset", "0.0.0.0"), "the controller address '0.0.0.0' is not a dotted-decimal unicast address"),
    # Windows takes command lines of up to 32,767 characters.
    (("reset", "x" * 30000), "the controller address '" + "x" * 64 + "...' is not a dotted-decimal unicast address"),
    (("reset", "10.1.0.50", "--interface", "nowhere"),
     "no broadcast interface has the address or name 'nowhere' (scout-cli interfaces lists them)"),
    (("reset", "10.1.0.50", "--interface"), "--interface needs a value"),
    (("reset", "10.1.0.50", "--no-wait", "--no-wait"), "--no-wait given twice"),
    (("reset", "10.1.0.50", "--bogus"), "unknown option '--bogus'"),
    (("search", "--no-wait"), "--no-wait is not an option of search"),
    (("reconfigure", "10.1.0.50", "10.1.0.77", "255.255.255.0", "0.0.0.0", "--all"),
     "--all is not an option of reconfigure (every controller there would get the one new address)"),
    (("reset", "10.1.0.50", "--all", "--all"), "--all given twice"),
    (("reset", "10.1.0.50", "--no-search"), "--no-search needs --interface (the interface to send by)"),
    (("search", "--all"), "--all is not an option of search"),
    (("reset", "10.1.0.50", "--timeout", "0"), "--timeout takes seconds from 1 to 3600, not '0'"),
    (("reset", "10.1.0.50", "--timeout", "3601"), "--timeout takes seconds from 1 to 3600, not '3601'"),
    (("reset", "10.1.0.50", "--timeout", "-5"), "--timeout takes seconds from 1 to 3600, not '-5'"),
    (("search", "--timeout", "5"), "--timeout is not an option of search"),
    (("search", "--parallel", "--sequential"), "--parallel and --sequential exclude each other"),
]


@case
def bad_command_input(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r"])
    front = front_for(net)
    for args, problem in BAD_COMMANDS:
        result = front.cli(*args)
        check(result.returncode == 2 and stderr_lines(result) == ["scout-cli: " + problem,
                                                                  "Try 'scout-cli --help' for more information."]
              and result.stdout == "", "bad usage: its line and exit 2", args[:3], result.returncode, result.stderr)
    check(sim.datagrams() == [], "nothing was sent, nothing searched", sim.datagrams())


@case
def by_the_interface_that_lists_it(lab, front_for):
    """The controllers behind the second interface get each command there: the
    second segment's simulator hears them, the first one's nothing but queries."""
    net = build_topology(lab, "two-segments")
    first = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    second = lab.start_sim(net.segments[1], ["address=10.2.0.30 model=30 version=a revision=1 delay=5",
                                             "address=10.2.0.31 model=31 version=b revision=2 default=10.2.0.100/24",
                                             "address=10.2.0.32 model=32 version=c revision=3 offline-ms=60000"])
    front = front_for(net)
    moved = front.cli("reconfigure", "10.2.0.30", "10.2.0.77", "255.255.255.0", "10.2.0.254", "--json")
    check(moved.returncode == 0 and len(stderr_lines(moved)) == 1 and stderr_lines(moved)[0].startswith(
        "scout-cli: 10.2.0.30 answers at 10.2.0.77 after "), "reconfigured", moved.returncode, moved.stderr)
    result = json.loads(moved.stdout)
    check(result["interface"] == "10.2.0.1" and result["sent"] and result["answering_at_new_address"] == 1 and
          ("10.2.0.77", "10.2.0.1") in [(r["address"], r["interface"]) for r in result["rows"]],
          "one JSON object: where it went, and the rows after", moved.stdout)
    for args in (("factory-defaults", "10.2.0.31"), ("reset", "10.2.0.32")):
        sent = front.cli(*args, "--no-wait")
        check(sent.returncode == 0 and sent.stdout == "" and stderr_lines(sent) == [], "sent", args, sent.stderr)
    check([d["action"] for d in command_datagrams(second)] == ["reconfigure", "reset", "reset"] and
          all(d["from"] == "10.2.0.1:65513" for d in command_datagrams(second)),
          "each command reached the second segment from its interface", command_datagrams(second))
    check(command_datagrams(first) == [], "nothing reached the first segment", command_datagrams(first))


@case
def same_address_on_both_segments(lab, front_for):
    net = build_topology(lab, "two-segments")
    sims = [lab.start_sim(net.segments[i], ["address=10.9.0.5 model=%d version=v revision=r" % (i + 1)])
            for i in range(2)]
    front = front_for(net)
    ambiguous = front.cli("reset", "10.9.0.5")
    check(ambiguous.returncode == 4 and stderr_lines(ambiguous) == [
        "scout-cli: Controllers answer at 10.9.0.5 on 2 interfaces (ws0 10.1.0.1, ws1 10.2.0.1); choose one with "
        "--interface; nothing was sent."], "ambiguous: named, exit 4", ambiguous.returncode, ambiguous.stderr)
    check(all(command_datagrams(s) == [] for s in sims), "nothing was sent")
    heard = [len(s.datagrams()) for s in sims]
    by_name = front.cli("reset", "10.9.0.5", "--interface", "ws1", "--dry-run", "--json")
    check(by_name.returncode == 0 and json.loads(by_name.stdout) == {
        "command": "reset", "target": "10.9.0.5", "interface": "10.2.0.1", "interface_name": "ws1", "sent": False,
        "dry_run": True,
        "datagram": MAGIC_HEX + "01000000" + "0500090a" + "00" * 16}, "a dry run by name", by_name.stdout)
    now = [len(s.datagrams()) for s in sims]
    check(now[0] == heard[0] and command_datagrams(sims[1]) == [],
          "a dry run sends nothing, and --interface searches that interface alone", now, heard)
    by_address = front.cli("reset", "10.9.0.5", "--interface", "10.2.0.1", "--no-wait")
    check(by_address.returncode == 0, "sent by address", by_address.stderr)
    check(command_datagrams(sims[0]) == [] and [d["action"] for d in command_datagrams(sims[1])] == ["reset"],
          "only the chosen interface's segment got it", command_datagrams(sims[1]))


@case
def nobody_there(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                          "address=10.1.0.21 model=2 version=v revision=r"])
    front = front_for(net)
    for args in (("reset", "10.1.0.99"), ("reconfigure", "10.1.0.99", "10.1.0.21", "255.255.255.0", "0.0.0.0")):
        result = front.cli(*args)
        check(result.returncode == 4 and stderr_lines(result) == [
            "scout-cli: No controller answered at 10.1.0.99; nothing was sent."], "not found: exit 4", args,
            result.returncode, result.stderr)
    taken = front.cli("reconfigure", "10.1.0.20", "10.1.0.21", "255.255.255.0", "0.0.0.0")
    check(taken.returncode == 1 and stderr_lines(taken) == [
        "scout-cli: A controller already answers at 10.1.0.21; nothing was sent."], "the new address is taken",
        taken.returncode, taken.stderr)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim))


@case
def factory_controllers(lab, front_for):
    """Three new controllers out of the box all answer at their factory
    address: a reconfigure would give all three one address, and is refused;
    a reset is refused unless --all asks for every one of them."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1A2B version=2.14 revision=C delay=%d" % d
                                          for d in (5, 15, 25)])
    front = front_for(net)
    # Read at the link layer (scout-cli on Linux as root), each reply's frame names its controller.
    several = ("scout-cli: 3 replies came from 192.168.1.100 on ws0 10.1.0.1: " +
               ("3 controllers share that address (MAC 02:00:5e:10:00:01, 02:00:5e:10:00:02, 02:00:5e:10:00:03)"
                if front.build == "linux" else "several controllers share that address, or one answers twice"))
    for args in (("reconfigure", "192.168.1.100", "10.1.0.101", "255.255.255.0", "0.0.0.0"),
                 ("reconfigure", "192.168.1.100", "10.1.0.101", "255.255.255.0", "0.0.0.0", "-q", "--no-wait"),
                 ("reset", "192.168.1.100", "--no-wait")):
        result = front.cli(*args)
        lines = stderr_lines(result)
        check(result.returncode == 4 and len(lines) == 1 and lines[0].startswith(several) and
              lines[0].endswith("nothing was sent."), "refused, exit 4", args, result.returncode, lines)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim))
    everyone = front.cli("reset", "192.168.1.100", "--all", "--no-wait")
    check(everyone.returncode == 0 and stderr_lines(everyone) == [
        several + "; with --all, every one of them gets the command."], "--all: warned, and sent",
        everyone.returncode, everyone.stderr)
    check([d["action"] for d in command_datagrams(sim)] == ["reset"], "one datagram", command_datagrams(sim))


@case
def checked_by_the_interface_too(lab, front_for):
    """--interface chooses where to look; the checks hold all the same, and
    no controller is given the workstation's address."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                          "address=10.1.0.21 model=2 version=v revision=r",
                                          "address=10.1.0.30 model=3 version=v revision=r"])
    front = front_for(net)
    for args, status, line in [
            (("reconfigure", "10.1.0.99", "10.1.0.21", "255.255.255.0", "0.0.0.0", "--interface", "ws0"), 4,
             "No controller answered at 10.1.0.99; nothing was sent."),
            (("reconfigure", "10.1.0.20", "10.1.0.21", "255.255.255.0", "0.0.0.0", "--interface", "ws0"), 1,
             "A controller already answers at 10.1.0.21; nothing was sent."),
            (("reset", "10.1.0.99", "--interface", "ws0", "--json"), 4,
             "No controller answered at 10.1.0.99; nothing was sent."),
            (("reconfigure", "10.1.0.30", "10.1.0.1", "255.255.255.0", "0.0.0.0"), 1,
             "The new address 10.1.0.1 is an address of this workstation; nothing was sent."),
            (("reset", "10.1.0.1"), 1, "The controller address 10.1.0.1 is an address of this workstation; "
                                       "nothing was sent."),
            (("reset", "10.1.0.255", "--no-search", "--interface", "ws0"), 1,
             "The controller address 10.1.0.255 is the network or broadcast address of the subnet of ws0 "
             "10.1.0.1/24; no controller can hold it; nothing was sent.")]:
        result = front.cli(*args)
        check(result.returncode == status and stderr_lines(result) == ["scout-cli: " + line] and result.stdout == "",
              "refused", args, result.returncode, result.stdout, result.stderr)
    for target in ("224.0.0.1", "127.0.0.1"):
        result = front.cli("reset", target, "--interface", "ws0")
        check(result.returncode == 2 and stderr_lines(result)[0] == "scout-cli: the controller address '%s' is no "
              "address a controller can hold (0.0.0.0/8, loopback, multicast or reserved)" % target,
              "no controller can hold it", result.returncode, result.stderr)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim))


@case(builds=("linux",))
def no_carrier(lab, front_for):
    """The cable of the controller's interface is pulled after it was listed:
    the command finds it nowhere and sends nothing. (Wine reports an adapter
    without carrier as up, so only Windows itself shows its send refused.)"""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    front = front_for(net)
    check([r["address"] for r in front.search_json().rows] == ["10.1.0.20"], "listed while the cable is in")
    lab.configure(net.segments[0].ns, ["ip", "link", "set", "p0", "down"])
    for args, status in ((("reset", "10.1.0.20"), 4), (("reset", "10.1.0.20", "--interface", "ws0"), 2),
                         (("reset", "10.1.0.20", "--interface", "ws0", "--no-search"), 2)):
        result = front.cli(*args)
        check(result.returncode == status and result.stderr != "", "refused, said", args, result.returncode,
              result.stderr)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim))


@case
def port_taken(lab, front_for):
    """Port 65513 held by another program: the search names the holder (on
    Linux, where its name can be read), reports the bind once, is not waited
    for, and the command is refused, its record's reason standing on its own;
    a command sent without a search needs no reply and goes out from another
    port of the interface."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    front = front_for(net)
    holder = hold_port(lab, net)
    record = os.path.join(lab.workdir, "record.jsonl")
    result = front.cli("reset", "10.1.0.20", "--interface", "10.1.0.1", "--log", record)
    lines = stderr_lines(result)
    # Linux names the holder and does not wait; Wine cannot name a program of
    # the Linux host, so the port may be another scout-cli's, and is waited for.
    named = ["scout-cli: port 65513 on ws0 10.1.0.1 is held by python3 (pid %d), another program" % holder.pid] \
        if front.build == "linux" else ["scout-cli: waiting for port 65513, held by a program this user may not name"]
    check(result.returncode == 1 and lines[:-2] == named and lines[-2].startswith(
        "scout-cli: Error attempting to bind to socket for address 10.1.0.1. ") and lines[-1] ==
        "scout-cli: the search of ws0 10.1.0.1 did not finish (the failure above), and it could list 10.1.0.20; "
        "nothing was sent.", "the holder, the bind message and the refusal, exit 1", result.returncode, lines)
    check((result.elapsed < 5.0) == (front.build == "linux"), "a named program's port is not waited for",
          result.elapsed)
    reason = json.loads(open(record).read().splitlines()[-1])["reason"]
    check(reason.startswith("the search of ws0 10.1.0.1 did not finish (Error attempting to bind to socket for "
                            "address 10.1.0.1. ") and "above" not in reason, "the record's reason on its own", reason)
    check(sim.datagrams() == [], "nothing was sent", sim.datagrams())
    unchecked = front.cli("reset", "10.1.0.20", "--interface", "10.1.0.1", "--no-search", "--no-wait", "--no-log")
    sent = command_datagrams(sim)
    check(unchecked.returncode == 0 and len(sent) == 1 and sent[0]["action"] == "reset" and
          sent[0]["from"].startswith("10.1.0.1:") and sent[0]["from"] != "10.1.0.1:65513",
          "unchecked: sent from another port of the interface", unchecked.returncode, unchecked.stderr, sent)
    holder.kill()


@case
def while_another_scout_cli_searches(lab, front_for):
    """A second scout-cli (a watch, a command of another terminal) holds the
    port only while it searches: a command waits for it, says so once, and
    goes; a watch's windows leave room for a command between them."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r offline-ms=500"])
    front = front_for(net)
    other = front.start("search", "--window", "3000", "--json")
    deadline = time.time() + 30
    while ":FFE9" not in lab.run(net.ws, ["cat", "/proc/net/udp"]).stdout:
        check(time.time() < deadline and other.poll() is None, "the other search holds the port")
        time.sleep(0.05)
    result = front.cli("reset", "10.1.0.20", "--json", "--no-log")
    other.communicate(timeout=60)
    lines = stderr_lines(result)
    waiting = [line for line in lines if line.startswith("scout-cli: waiting for port 65513, held by ")]
    check(result.returncode == 0 and json.loads(result.stdout)["outcome"] == "back" and len(waiting) == 1,
          "waited once, and went", result.returncode, lines)
    if front.build == "linux":
        check(waiting[0] == "scout-cli: waiting for port 65513, held by scout-cli (pid %d)" % other.pid,
              "the other scout-cli named", waiting)
    watch = front.start("watch", "--json", "--window", "1500", "--interval", "2")
    check(watch.stdout.readline() != "", "the watch runs")
    for _ in range(3):
        time.sleep(0.7)
        done = front.cli("reset", "10.1.0.20", "--no-log", "--timeout", "10")
        check(done.returncode == 0 and "Error attempting to bind" not in done.stderr, "a command beside the watch",
              done.returncode, done.stderr)
    watch.terminate()
    check([d["action"] for d in command_datagrams(sim)] == ["reset"] * 4, "every reset went out once",
          command_datagrams(sim))



@case
def a_host_that_is_no_controller(lab, front_for):
    """A host of the line that answers ARP but not the protocol (a PLC, an
    HMI) holds 10.1.0.77: a reconfigure or a plan's row that would give its
    address is refused and nothing is sent, as root and (on Linux) as an
    unprivileged user; a free address still goes, and an address the link
    cannot be asked about is said, not passed in silence."""
    net = build_topology(lab, "single")
    segment = net.segments[0]
    mac = "02:00:5e:77:00:01"
    sim = lab.start_sim(segment, ["address=10.1.0.20 model=1 version=v revision=r",
                                  "address=10.1.0.21 model=2 version=v revision=r",
                                  "address=10.1.0.22 model=3 version=v revision=r",
                                  "host 10.1.0.77 mac=" + mac])
    front = front_for(net)
    refused = ("scout-cli: The IP address 10.1.0.77 is in use by a host that does not answer as a controller "
               "(MAC %s) on ws0 10.1.0.1; nothing was sent." % mac)
    nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
    runs = [("root", front.cli)]
    if front.build == "linux":
        runs.append(("nobody", lambda *args: lab.run(net.ws, nobody + [front.program] + list(args))))
    plan = os.path.join(lab.workdir, "plan.csv")
    with open(plan, "w") as out:
        out.write("address,action,new_address,mask,gateway,model,interface\n"
                  "10.1.0.20,reconfigure,10.1.0.77,255.255.255.0,0.0.0.0,,\n")
    os.chmod(lab.workdir, 0o755)
    os.chmod(plan, 0o644)
    for who, run in runs:
        result = run("reconfigure", "10.1.0.20", "10.1.0.77", "255.255.255.0", "0.0.0.0", "--no-log")
        check(result.returncode == 1 and stderr_lines(result) == [refused], who + ": refused, naming the host's MAC",
              result.returncode, result.stderr)
        result = run("apply", plan, "--no-log")
        check(result.returncode == 1 and stderr_lines(result)[0] == "scout-cli: %s, line 2: %s" % (
            plan, refused[len("scout-cli: "):-len("; nothing was sent.")]), who + ": the plan's line refused",
            result.returncode, result.stderr)
    check(not [d for d in command_datagrams(sim) if d["action"] == "reconfigure"], "nothing was sent",
          command_datagrams(sim))
    for who, run in runs:
        target = "10.1.0.21" if who == "root" else "10.1.0.22"
        result = run("reconfigure", target, "10.1.0.%d" % (78 if who == "root" else 79), "255.255.255.0", "0.0.0.0",
                     "--no-log")
        check(result.returncode == 0 and not any("not checked" in line for line in stderr_lines(result)),
              who + ": a free address goes, checked", result.returncode, result.stderr)
    # Outside the interface's subnet only a probe asks: Linux as root sends one, Windows never.
    offlink = runs[-1][1]("reconfigure", "10.1.0.20", "192.168.5.6", "255.255.255.0", "0.0.0.0", "--no-log",
                          "--no-wait")
    said = [line for line in stderr_lines(offlink) if "not checked" in line]
    check(offlink.returncode == 0 and len(said) == 1 and said[0].startswith(
          "scout-cli: not checked against other hosts: 192.168.5.6 is outside the subnet of ws0 10.1.0.1/24, where "
          "only an ARP probe asks, and "), "off the subnet: said once, and sent", offlink.returncode, offlink.stderr)


@case
def controllers_known_by_their_macs(lab, front_for):
    """Each row carries its controller's MAC where this workstation can tell
    it: as root on Linux from the reply's own frame, which tells several
    controllers at one address apart; else from the neighbour table only
    where the system confirmed it during the search (Windows: reachable;
    Linux as nobody: the controllers' own ARP makes stale entries, which say
    nothing). One MAC that answered twice cannot be told from a batch that
    shares it: refused, as several are."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                          "address=10.1.0.21 model=2 version=v revision=r",
                                          "address=192.168.1.100 model=3 version=v revision=r mac=02:00:5e:aa:00:01",
                                          "address=192.168.1.100 model=4 version=v revision=r mac=02:00:5e:aa:00:02",
                                          "address=10.1.0.30 model=5 version=v revision=r twice"])
    front = front_for(net)
    nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
    runs = []
    if front.build == "linux":
        runs.append(("nobody", lambda *args: lab.run(net.ws, nobody + [front.program] + list(args))))
    runs.append(("root", front.cli))  # last: its reset takes 10.1.0.30 away
    for who, run in runs:
        frames = front.build == "linux" and who == "root"
        result = run("search", "--json")
        macs = sorted((r["address"], r["mac"]) for r in json.loads(result.stdout))
        lone = [("10.1.0.20", "02:00:5e:10:00:01"), ("10.1.0.21", "02:00:5e:10:00:02")] if who == "root" else \
            [("10.1.0.20", ""), ("10.1.0.21", "")]
        shared = [("10.1.0.30", "02:00:5e:10:00:05")] * 2 + [
            ("192.168.1.100", "02:00:5e:aa:00:01"), ("192.168.1.100", "02:00:5e:aa:00:02")] if frames else \
            [("10.1.0.30", "")] * 2 + [("192.168.1.100", "")] * 2
        check(macs == sorted(lone + shared), who + ": each row's MAC where it can be told", macs)
        two = run("reset", "192.168.1.100", "--no-wait", "--no-log")
        check(two.returncode == 4 and stderr_lines(two)[0].startswith(
            "scout-cli: 2 replies came from 192.168.1.100 on ws0 10.1.0.1" +
            (": 2 controllers share that address (MAC 02:00:5e:aa:00:01, 02:00:5e:aa:00:02); " if frames else
             ", with different models, versions or revisions: several controllers share that address; ")),
            who + ": two at one address, refused", two.returncode, two.stderr)
        twice = run("reset", "10.1.0.30", "--no-wait", "--no-log")
        check(twice.returncode == 4 and stderr_lines(twice)[0].startswith(
            "scout-cli: 2 replies came from 10.1.0.30 on ws0 10.1.0.1" +
            (", every one from MAC 02:00:5e:10:00:05 with the same texts: " if frames else
             ": several controllers share that address, or one answers twice; ")),
            who + ": one MAC that answered twice is refused as several", twice.returncode, twice.stderr)
        doctor = run("doctor", "--json")
        hosts = [line["finding"] for line in json.loads(doctor.stdout) if line["check"] == "hosts"]
        check(len(hosts) == 1 and ("by an ARP probe" in hosts[0] if frames else "system's own resolution" in hosts[0])
              and (("not allowed" in hosts[0]) == (who == "nobody")), who + ": doctor says how it asks", hosts)
    everyone = front.cli("reset", "10.1.0.30", "--all", "--no-wait", "--no-log")
    check(everyone.returncode == 0, "--all sends to every one", everyone.returncode, everyone.stderr)
    resets = [d["target"] for d in command_datagrams(sim) if d["action"] == "reset"]
    check(resets == ["10.1.0.30"], "only the reset with --all went", resets)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
