#!/usr/bin/env python3
"""End-to-end plans of scout-cli apply (native, or .exe under Wine) against
virtual controllers in the lab: a plan checked as a whole, sent together and
verified together, or refused with every problem named and nothing sent."""

import json
import os
import sys

from e2e import build_topology, case_registry, check, main, stderr_lines
from wire import command_datagrams

CASES, case = case_registry()

HEADER = "address,action,new_address,mask,gateway,model,interface\n"


def write_plan(lab, name, text, mode="w"):
    path = os.path.join(lab.workdir, name)
    with open(path, mode) as f:
        f.write(text)
    return path


def two_segments_of_controllers(lab):
    """Controllers that restart in 0.8 s, on two segments."""
    net = build_topology(lab, "two-segments")
    first = lab.start_sim(net.segments[0], [
        "address=10.1.0.21 model=1 version=v revision=r offline-ms=800",
        "address=10.1.0.22 model=2 version=v revision=r offline-ms=800",
        "address=10.1.0.23 model=3 version=v revision=r offline-ms=800 default=10.1.0.100/24"])
    second = lab.start_sim(net.segments[1], [
        "address=10.2.0.31 model=4 version=v revision=r offline-ms=800",
        "address=10.2.0.32 model=5 version=v revision=r offline-ms=800"])
    return net, first, second


@case
def a_good_plan(lab, front_for):
    """Every action of a plan on two segments goes, each by its interface, and
    each row's result says what was seen; the record holds each row."""
    net, first, second = two_segments_of_controllers(lab)
    plan = write_plan(lab, "plan.csv", HEADER +
                      "10.1.0.21,reset,,,,,\r\n"
                      "10.1.0.22,reconfigure,10.1.0.77,255.255.255.0,10.1.0.254,krv-eth2,ws0\r\n"
                      "10.1.0.23,factory-defaults,,,,KRV-ETH3,\r\n"
                      "\"10.2.0.31\",reconfigure,10.2.0.78,255.255.255.0,0.0.0.0,,10.2.0.1\r\n")
    record = os.path.join(lab.workdir, "record.jsonl")
    result = front_for(net).cli("apply", plan, "--json", "--log", record)
    check(result.returncode == 0 and stderr_lines(result) == [], "the plan went and was verified",
          result.returncode, result.stderr)
    rows = [(r["line"], r["target"], r["action"], r["interface"], r["outcome"], r["answers_at"])
            for r in json.loads(result.stdout)]
    check(rows == [(2, "10.1.0.21", "reset", "10.1.0.1", "back", "10.1.0.21"),
                   (3, "10.1.0.22", "reconfigure", "10.1.0.1", "answers", "10.1.0.77"),
                   (4, "10.1.0.23", "factory-defaults", "10.1.0.1", "back", "10.1.0.100"),
                   (5, "10.2.0.31", "reconfigure", "10.2.0.1", "answers", "10.2.0.78")],
          "one result per plan row", result.stdout)
    check([d["action"] for d in command_datagrams(first)] == ["reset", "reconfigure", "reset"] and
          [d["action"] for d in command_datagrams(second)] == ["reconfigure"],
          "each command once, by the interface that lists its target",
          command_datagrams(first), command_datagrams(second))
    with open(record) as f:
        lines = [json.loads(line) for line in f]
    check([(l["event"], l["command"], l["target"]) for l in lines] ==
          [("intent", a, t) for a, t in (("reset", "10.1.0.21"), ("reconfigure", "10.1.0.22"),
                                         ("factory-defaults", "10.1.0.23"), ("reconfigure", "10.2.0.31"))] +
          [("outcome", a, t) for a, t in (("reset", "10.1.0.21"), ("reconfigure", "10.1.0.22"),
                                          ("factory-defaults", "10.1.0.23"), ("reconfigure", "10.2.0.31"))],
          "every intent before the first send, then every outcome", lines)
    outcomes = [(l.get("answers_at"), type(l.get("seconds"))) for l in lines if l["event"] == "outcome"]
    check(outcomes == [("10.1.0.21", float), ("10.1.0.77", float), ("10.1.0.100", float), ("10.2.0.78", float)],
          "where each answers after it (a factory reset too), and its seconds a number", outcomes)
    history = front_for(net).cli("history", "--log", record, "--csv")
    check(history.returncode == 0 and history.stdout.splitlines()[0] ==
          "Time,User,Event,Command,Target,Model,Version,Revision,Interface,New address,Answers at,Outcome,Seconds" and
          ",factory-defaults,10.1.0.23,KRV-ETH3,v,r,ws0 10.1.0.1,,10.1.0.100,back," in history.stdout,
          "history has what a handover needs", history.stdout)


@case
def a_plan_with_faults(lab, front_for):
    """Every problem is named with its line, and nothing at all is sent."""
    net, first, second = two_segments_of_controllers(lab)
    plan = write_plan(lab, "plan.csv", HEADER +
                      "10.1.0.21,reset,,,,,\n"                                          # good
                      "10.1.0.99,reset,,,,,\n"                                          # answers nowhere
                      "10.1.0.22,reconfigure,10.1.0.77,255.255.255.0,10.1.0.254,KRV-ETH9,\n"  # wrong model
                      "10.2.0.31,reconfigure,10.2.0.32,255.255.255.0,0.0.0.0,,\n"       # new address answers
                      "10.1.0.21,factory-defaults,,,,,\n"                               # target twice
                      "10.2.0.32,reboot,,,,,\n"                                         # no such action
                      "10.1.0.23,reset,,,,,ws9\n")                                      # no such interface
    result = front_for(net).cli("apply", plan)
    check(result.returncode == 4, "a target not found: exit 4", result.returncode, result.stderr)
    lines = stderr_lines(result)
    check(lines == ["scout-cli: %s, line 3: No controller answered at 10.1.0.99" % plan,
                    "scout-cli: %s, line 4: the controller at 10.1.0.22 is a KRV-ETH2, not 'KRV-ETH9' as the plan "
                    "says" % plan,
                    "scout-cli: %s, line 5: A controller already answers at 10.2.0.32" % plan,
                    "scout-cli: %s, line 6: 10.1.0.21 is the target of line 2 too" % plan,
                    "scout-cli: %s, line 7: the action 'reboot' is none of reset, factory-defaults, reconfigure" % plan,
                    "scout-cli: %s, line 8: no broadcast interface has the address or name 'ws9' (scout-cli "
                    "interfaces lists them)" % plan,
                    "scout-cli: the plan was refused (6 problems); nothing was sent."],
          "every problem, in line order", lines)
    check(result.stdout == "" and command_datagrams(first) == [] and command_datagrams(second) == [],
          "nothing was sent", result.stdout, command_datagrams(first), command_datagrams(second))


@case
def dry_run(lab, front_for):
    net, first, second = two_segments_of_controllers(lab)
    plan = write_plan(lab, "plan.csv", HEADER + "10.1.0.21,reset,,,,,\n"
                                                "10.2.0.32,reconfigure,10.2.0.77,255.255.255.0,10.2.0.254,,\n")
    result = front_for(net).cli("apply", plan, "--dry-run", "--csv")
    check(result.returncode == 0 and stderr_lines(result) == [], "checked", result.returncode, result.stderr)
    rows = [line.split(",") for line in result.stdout.splitlines()]
    check(rows[0] == ["Line", "Target", "Action", "Interface", "New address", "Datagram"] and
          [r[:5] for r in rows[1:]] == [["2", "10.1.0.21", "reset", "ws0 10.1.0.1", ""],
                                       ["3", "10.2.0.32", "reconfigure", "ws1 10.2.0.1", "10.2.0.77"]] and
          all(len(r[5]) == 80 for r in rows[1:]), "what would go, and where", result.stdout)
    check(command_datagrams(first) == [] and command_datagrams(second) == [], "nothing was sent")


# Plans no row of which may go: what each one is told, and its exit status.
HOSTILE_PLANS = [
    ("empty", b"", "empty: a plan starts with the header " + HEADER.strip()),
    ("header only", HEADER.encode(), "no command: the plan has its header and nothing else"),
    ("wrong header", b"address,action\n10.1.0.21,reset\n",
     "line 1: the header is 'address,action', not " + HEADER.strip()),
    ("empty line", HEADER.encode() + b"\n10.1.0.21,reset,,,,,\n", "line 2: an empty line"),
    ("control character", HEADER.encode() + b"10.1.0.21,reset,,,,\x1b[2J,\n",
     "line 2: a control character (\\x1B)"),
    ("not UTF-8", HEADER.encode() + b"10.1.0.21,reset,,,,KRV-\xff,\n", "line 2: not UTF-8"),
    ("line too long", HEADER.encode() + b"10.1.0.21,reset,,,,," + b"x" * 2000 + b"\n",
     "line 2: longer than 1024 bytes"),
    ("a column too many", HEADER.encode() + b"10.1.0.21,reset,,,,,,\n", "line 2: 8 columns, not 7"),
    ("a column too few", HEADER.encode() + b"10.1.0.21,reset\n", "line 2: 2 columns, not 7"),
    ("open quote", HEADER.encode() + b"\"10.1.0.21,reset,,,,,\n", "line 2: a quoted field does not end on its line"),
    ("address out of range", HEADER.encode() + b"10.1.0.256,reset,,,,,\n",
     "line 2: the address '10.1.0.256' is not a dotted-decimal unicast address"),
    ("values for a reset", HEADER.encode() + b"10.1.0.21,reset,10.1.0.5,,,,\n",
     "line 2: new_address, mask and gateway are for reconfigure, not reset"),
    ("huge", HEADER.encode() + b"10.1.0.21,reset,,,,,\n" * 60000, "larger than 1024 KiB"),
]


@case
def hostile_plans(lab, front_for):
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r"])
    front = front_for(net)
    for name, content, problem in HOSTILE_PLANS:
        path = write_plan(lab, "hostile.csv", content, "wb")
        result = front.cli("apply", path)
        check(result.returncode == 1 and stderr_lines(result) == [
            "scout-cli: %s, %s" % (path, problem), "scout-cli: the plan was refused (1 problem); nothing was sent."]
              and result.stdout == "", name, result.returncode, result.stderr)
    missing = front.cli("apply", os.path.join(lab.workdir, "no-such-plan.csv"))
    check(missing.returncode == 1 and len(stderr_lines(missing)) == 1 and
          stderr_lines(missing)[0].startswith("scout-cli: cannot read the plan "), "a plan that is not there",
          missing.returncode, missing.stderr)
    check(command_datagrams(sim) == [], "nothing was sent", command_datagrams(sim))


@case(builds=("linux",))
def plan_on_standard_input(lab, front_for):
    net, first, second = two_segments_of_controllers(lab)
    front = front_for(net)
    result = lab.run(net.ws, [front.program, "apply", "-", "--no-log", "--csv", "--no-header"],
                     input=HEADER + "10.2.0.32,reset,,,,KRV-ETH5,ws1\n")
    check(result.returncode == 0 and result.stdout.split(",")[:5] == ["2", "10.2.0.32", "reset", "ws1 10.2.0.1", "back"],
          "read from standard input, and done", result.returncode, result.stdout, result.stderr)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
