#!/usr/bin/env python3
"""End-to-end commands of scout-cli (native, or .exe under Wine) against
virtual controllers in the lab: the bytes on the wire, what the controllers
do, and what is refused before anything is sent."""

import sys

from e2e import build_topology, case_registry, check, main, stderr_lines
from wire import MAGIC_HEX, command_datagrams

CASES, case = case_registry()


@case
def wire_bytes(lab, front_for):
    net = build_topology(lab, "single")
    # A reset takes a controller off the network far longer than the next command takes to come.
    sim = lab.start_sim(net.segments[0], ["address=192.168.1.50 model=1 version=v revision=r offline-ms=60000",
                                          "address=10.0.0.5 model=2 version=v revision=r"])
    front = front_for(net)
    for args in (("reset", "192.168.1.50"), ("factory-defaults", "192.168.1.50"),
                 ("reconfigure", "10.0.0.5", "10.0.0.9", "255.255.255.0", "10.0.0.1"),
                 ("reset", "10.0.0.77")):
        result = front.cli(*args, "--no-wait")
        check(result.returncode == 0 and result.stdout == "" and result.stderr == "",
              "%s: sent, nothing printed" % args[0], result.returncode, result.stdout, result.stderr)
    sent = command_datagrams(sim)
    check([d["hex"] for d in sent] == [
        MAGIC_HEX + "01000000" + "3201a8c0" + "00" * 16,
        MAGIC_HEX + "01000000" + "3201a8c0" + "64656661756c7400" + "00" * 8,
        MAGIC_HEX + "02000000" + "0500000a" + "0900000a" + "00ffffff" + "0100000a" + "00000000",
        # The last names no controller of the lab: it is sent all the same, and ignored.
        MAGIC_HEX + "01000000" + "4d00000a" + "00" * 16],
        "the commands on the wire, byte for byte", [d["hex"] for d in sent])
    check(all(d["from"].endswith(":65513") and d["to"] == "255.255.255.255" and d["length"] == 40 for d in sent),
          "every command is one 40-byte datagram from port 65513 to 255.255.255.255", sent)
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
    check(moved.elapsed >= 6.0, "a 5 s wait and a search before the rows", moved.elapsed)
    check('"address": "10.1.0.77"' in moved.stdout and '"10.1.0.50"' not in moved.stdout, "refreshed rows",
          moved.stdout)
    check(stderr_lines(moved) == ["scout-cli: a controller answers at the new address 10.1.0.77"],
          "the verification", moved.stderr)
    back = front.cli("factory-defaults", "10.1.0.77", "--csv")
    check(back.returncode == 0, "factory defaults: exit 0", back.returncode, back.stderr)
    lines = back.stdout.splitlines()
    check(lines[0] == "IP ADDR,Model,Version,Revision,Interface" and
          sorted(l.split(",")[0] for l in lines[1:]) == ["10.1.0.100", "10.1.0.51"],
          "back at its default address", back.stdout)


@case
def power_on_reset_and_no_answer(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1 version=v revision=r offline-ms=60000",
                                          "address=10.1.0.51 model=2 version=v revision=r delay=20"])
    front = front_for(net)
    reset = front.cli("reset", "10.1.0.50", "--json")
    check(reset.returncode == 0 and stderr_lines(reset) == [], "reset: exit 0, no message", reset.stderr)
    check('"10.1.0.50"' not in reset.stdout and '"10.1.0.51"' in reset.stdout,
          "the reset controller is off the network for a while", reset.stdout)
    # A reconfigure of a controller that does not exist: sent, nobody answers at the new address.
    lost = front.cli("reconfigure", "10.1.0.99", "10.1.0.98", "255.255.255.0", "0.0.0.0")
    check(lost.returncode == 3, "the new address did not answer: exit 3", lost.returncode, lost.stderr)
    check(stderr_lines(lost) == ["scout-cli: no controller answered at the new address 10.1.0.98"],
          "says so", lost.stderr)
    check(lost.stdout.splitlines()[0].split() == ["IP", "ADDR", "Model", "Version", "Revision", "Interface"],
          "the refreshed rows are printed", lost.stdout)
    check(len(command_datagrams(sim)) == 2, "both commands were sent", command_datagrams(sim))


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
         "The subnet mask 255.255.0.255 is not a contiguous mask of 1 to 30 bits (255.0.0.0 to 255.255.255.252)."),
        (("10.1.0.77", "255.255.255.0", "10.1.1.1"),
         "The gateway 10.1.1.1 is neither 0.0.0.0 (none) nor another host address in the subnet of 10.1.0.77 "
         "with the mask 255.255.255.0."),
    ]
    for fields, message in refused:
        result = front.cli("reconfigure", "10.1.0.50", *fields)
        check(result.returncode == 1 and stderr_lines(result) == ["scout-cli: " + message] and result.stdout == "",
              "refused: exit 1 and the message", fields, result.returncode, result.stdout, result.stderr)
        # No wait: the settle time is 5 s (whether anything was searched, the sim's log says below).
        check(result.elapsed < 5.0, "a refusal does not wait", result.elapsed)
    for args in (("reset",), ("reset", "10.1.0"), ("reset", "255.255.255.255"), ("reset", "0.0.0.0"),
                 ("reconfigure", "10.1.0.50", "10.1.0.77"), ("search", "--no-wait"),
                 ("reset", "10.1.0.50", "10.1.0.51")):
        result = front.cli(*args)
        check(result.returncode == 2 and "usage: scout-cli" in result.stderr, "bad usage exits 2", args,
              result.returncode, result.stderr)
    check(sim.datagrams() == [], "nothing was sent, nothing searched", sim.datagrams())


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
