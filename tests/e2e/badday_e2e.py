#!/usr/bin/env python3
"""scout-cli on a bad day, in the lab: a record of changes on a disk that
fills up, links and folders another user planted, a reader that goes away,
record and plan paths that are no files, plans that would leave two
controllers at one address, commission ranges at the edge of their subnet,
and a second scout-cli holding the port. Nothing lost, nothing astray, and
nothing in silence."""

import json
import os
import subprocess
import sys
import time

from e2e import build_topology, case_registry, check, hold_port, main, stderr_lines
from wire import command_datagrams

CASES, case = case_registry()

HEADER = "address,action,new_address,mask,gateway,model,interface\n"
NOBODY = 65534


def write(path, text, mode="w"):
    with open(path, mode) as f:
        f.write(text)
    return path


def lines_of(path):
    with open(path, "rb") as f:
        return f.read().split(b"\n")


class TinyDisk:
    """A tmpfs of two pages in the lab's folder: its record file and a filler
    that takes every page the record does not hold, so that the record can
    grow only within the page it ends in."""

    def __init__(self, lab):
        self.folder = lab.mount_tmpfs(os.path.join(lab.workdir, "tiny"), "8k")
        self.record = os.path.join(self.folder, "c.jsonl")

    def fill(self, record_text):
        """The record holds record_text, and no page is free beside it."""
        write(self.record, record_text)
        filler = os.path.join(self.folder, "filler")
        if os.path.exists(filler):
            os.remove(filler)
        fd = os.open(filler, os.O_WRONLY | os.O_CREAT, 0o600)
        try:
            while os.write(fd, b"\0" * 512) > 0:
                pass
        except OSError:
            pass
        os.close(fd)

    def room(self):
        subprocess.run(["mount", "-o", "remount,size=64k", self.folder], check=True)


def padding_line(length):
    """A line of the record this program reads back (a note), length bytes with its line end."""
    head = '{"time": "2026-12-09T10:00:00+00:00", "event": "note", "reason": "'
    return head + "x" * (length - len(head) - 3) + '"}\n'


@case
def a_full_disk_tears_no_line(lab, front_for):
    """A command whose intent does not fit is refused and leaves nothing of
    it; with room again it goes, and history reads every line; a plan whose
    intents do not all fit sends nothing and leaves none of them."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r offline-ms=500",
                                          "address=10.1.0.22 model=2 version=v revision=r offline-ms=500",
                                          "address=10.1.0.23 model=3 version=v revision=r offline-ms=500"])
    disk = TinyDisk(lab)  # before Wine's server starts: it opens files where it started
    front = front_for(net)
    # How long an intent is on this machine (its host and user names), from one written with room.
    roomy = os.path.join(lab.workdir, "roomy.jsonl")
    front.cli("reset", "10.1.0.21", "--log", roomy, "--no-wait")
    intent = len(lines_of(roomy)[0]) + 1
    sent = len(command_datagrams(sim))
    time.sleep(1.0)  # back from that reset (0.5 s) before the next looks for it

    # The page has room for less than one intent.
    disk.fill(padding_line(4096 - intent // 2))
    before = lines_of(disk.record)
    refused = front.cli("reset", "10.1.0.21", "--log", disk.record)
    check(refused.returncode == 1 and stderr_lines(refused) == [
        "scout-cli: cannot write the record of changes %s: No space left on device; nothing was sent (--log FILE "
        "records elsewhere, --no-log sends without a record)" % disk.record],
        "a full disk: refused, and said", refused.returncode, refused.stderr)
    check(lines_of(disk.record) == before and len(command_datagrams(sim)) == sent,
          "nothing of the intent is left, and nothing was sent", lines_of(disk.record)[-2:])

    # Room for two intents of a plan of three: none of them is left, none goes.
    plan = write(os.path.join(lab.workdir, "plan.csv"), HEADER + "".join(
        "10.1.0.2%d,reset,,,,,\n" % n for n in (1, 2, 3)))
    disk.fill(padding_line(4096 - intent * 5 // 2))
    before = lines_of(disk.record)
    applied = front.cli("apply", plan, "--log", disk.record)
    check(applied.returncode == 1 and "No space left on device; nothing was sent" in applied.stderr and
          lines_of(disk.record) == before and len(command_datagrams(sim)) == sent,
          "a plan whose intents do not all fit: nothing left, nothing sent", applied.returncode, applied.stderr,
          lines_of(disk.record)[-2:])

    disk.room()
    went = front.cli("reset", "10.1.0.21", "--log", disk.record)
    check(went.returncode == 0 and len(command_datagrams(sim)) == sent + 1, "with room again it goes",
          went.returncode, went.stderr)
    history = front.cli("history", "--log", disk.record, "--json")
    check(history.returncode == 0 and stderr_lines(history) == [] and
          [l["event"] for l in json.loads(history.stdout)] == ["note", "intent", "outcome"],
          "history reads every line of it", history.stdout, history.stderr)


@case(builds=("linux",), sanitizer=False)
def planted_links_and_folders(lab, front_for):
    """As root: a record that is a link another user planted is refused (its
    target untouched), so is one in a folder others may write to; a state
    folder of another user's is passed over for root's own home, so that the
    user's record is not made root's."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r offline-ms=500"])
    front = front_for(net)
    precious = write(os.path.join(lab.workdir, "roots-file"), "precious\n")
    # A link in a folder of root's; the same link planted in a user's state folder; a folder all may write to.
    link = os.path.join(lab.workdir, "link.jsonl")
    os.symlink(precious, link)
    user_state = os.path.join(lab.workdir, "user-state")
    os.makedirs(os.path.join(user_state, "ethernet-scout"))
    planted = os.path.join(user_state, "ethernet-scout", "commands.jsonl")
    os.symlink(precious, planted)
    for path in (user_state, os.path.join(user_state, "ethernet-scout"), planted):
        os.lchown(path, NOBODY, NOBODY)
    open_folder = os.path.join(lab.workdir, "open")
    os.makedirs(open_folder)
    os.chmod(open_folder, 0o777)

    for path, why in ((link, "it is a symbolic link (scout-cli writes only into a file of its own, never through a link)"),
                      (planted, "its folder %s belongs to another user, or others may write to it" %
                       os.path.dirname(planted)),
                      (os.path.join(open_folder, "c.jsonl"),
                       "its folder %s belongs to another user, or others may write to it" % open_folder)):
        result = front.cli("reset", "10.1.0.21", "--log", path)
        check(result.returncode == 1 and stderr_lines(result) == [
            "scout-cli: cannot write the record of changes %s: %s; nothing was sent (--log FILE records elsewhere, "
            "--no-log sends without a record)" % (path, why)], "refused with the path and why", path,
            result.returncode, result.stderr)
    check(command_datagrams(sim) == [] and open(precious).read() == "precious\n" and
          not os.path.exists(os.path.join(open_folder, "c.jsonl")), "nothing sent, nothing written")

    # root run with the user's state folder: the record is root's own, in its own home.
    home = os.path.join(lab.workdir, "root-home")
    os.makedirs(home)
    env = dict(os.environ, XDG_STATE_HOME=user_state, HOME=home)
    result = lab.run(net.ws, [front.program, "reset", "10.1.0.21"], env=env)
    own = os.path.join(home, ".local/state/ethernet-scout/commands.jsonl")
    check(result.returncode == 0 and open(precious).read() == "precious\n" and os.path.islink(planted) and
          [json.loads(l)["event"] for l in open(own)] == ["intent", "outcome"] and os.stat(own).st_uid == 0,
          "the record is root's own, and the user's is untouched", result.returncode, result.stderr)


@case(builds=("linux",))
def a_reader_that_goes_away(lab, front_for):
    """A reader that goes away after the send ends no command in silence: the
    record is complete, the status is 5, and it is said."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r offline-ms=500",
                                    "address=10.1.0.22 model=2 version=v revision=r offline-ms=500"])
    front = front_for(net)
    plan = write(os.path.join(lab.workdir, "plan.csv"), HEADER + "10.1.0.22,reset,,,,,\n")
    for args in (("reset", "10.1.0.21"), ("apply", plan)):
        record = os.path.join(lab.workdir, "%s.jsonl" % args[0])
        proc = lab.popen(net.ws, [front.program] + list(args) + ["--log", record], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE)
        proc.stdout.close()  # as `| true` does
        err = proc.stderr.read().decode()
        proc.wait(timeout=60)
        check(proc.returncode == 5 and err.splitlines()[-1:] ==
              ["scout-cli: cannot write the output: its reader went away; the command was sent"],
              "exit 5, and said", args, proc.returncode, err)
        check([json.loads(l)["event"] for l in open(record)] == ["intent", "outcome"], "the record is complete",
              args)


@case
def record_and_plan_paths_that_are_no_files(lab, front_for):
    """history and apply read regular files only: a folder, a missing file, a
    device and (on Linux) a FIFO with no writer are each named, exit 1,
    without waiting."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r"])
    front = front_for(net)
    cases = [(lab.workdir, "it is a folder"), ("/nonexistent/x", "there is no such file")]
    if front.build == "linux":
        fifo = os.path.join(lab.workdir, "fifo")
        os.mkfifo(fifo)
        cases += [("/dev/zero", "it is no regular file"), (fifo, "it is no regular file")]
    else:
        cases += [("NUL", "it is no regular file")]
    for path, why in cases:
        history = front.cli("history", "--log", path, timeout=20)
        check(history.returncode == 1 and history.stdout == "" and stderr_lines(history) == [
            "scout-cli: cannot read the record of changes %s: %s" % (path, why)], "history", path,
            history.returncode, history.stdout[:200], history.stderr)
        plan_why = "No such file or directory" if why == "there is no such file" else why
        applied = front.cli("apply", path, timeout=20)
        check(applied.returncode == 1 and stderr_lines(applied) == [
            "scout-cli: cannot read the plan %s: %s" % (path, plan_why)], "apply", path, applied.returncode,
            applied.stderr)
    check(sim.datagrams() == [], "nothing searched, nothing sent")


@case(builds=("linux",), sanitizer=False)
def a_long_history_in_little_memory(lab, front_for):
    """history of a 40 MB record, as a table (two passes) and as JSON, within
    32 MiB of address space: it is read line by line, never held whole."""
    net = build_topology(lab, "loopback")
    front = front_for(net)
    record = os.path.join(lab.workdir, "big.jsonl")
    line = ('{"time": "2026-12-09T10:00:00+00:00", "event": "outcome", "command": "reset", "target": "10.1.0.21", '
            '"outcome": "back", "reason": "%s"}\n' % ("r" * 300))
    count = 40 * 1024 * 1024 // len(line)
    with open(record, "w") as f:
        for _ in range(count // 1000):
            f.write(line * 1000)
    count = count // 1000 * 1000
    for flags, lines in (((), count + 1), (("--json",), count + 2)):
        result = lab.run(net.ws, ["prlimit", "--as=%d" % (32 * 1024 * 1024), front.program, "history", "--log",
                                  record] + list(flags), timeout=120)
        check(result.returncode == 0 and result.stdout.count("\n") == lines and stderr_lines(result) == [],
              "within 32 MiB, every line", flags, result.returncode, result.stdout.count("\n"), result.stderr[-300:])


@case
def plans_that_would_share_the_factory_address(lab, front_for):
    """A reconfigure onto the address a factory reset of the same plan gives is
    refused with its line; several factory resets of one segment go, and the
    result says that those controllers now share the factory address (exit 3)."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r offline-ms=500",
                                          "address=10.1.0.21 model=2 version=v revision=r offline-ms=500"])
    front = front_for(net)
    clash = write(os.path.join(lab.workdir, "clash.csv"), HEADER +
                  "10.1.0.20,reconfigure,192.168.1.100,255.255.255.0,0.0.0.0,,\n10.1.0.21,factory-defaults,,,,,\n")
    refused = front.cli("apply", clash, "--no-log")
    check(refused.returncode == 1 and stderr_lines(refused)[-2:] == [
        "scout-cli: %s, line 3: factory-defaults gives its controller the factory address 192.168.1.100, the new "
        "address of line 2" % clash, "scout-cli: the plan was refused (1 problem); nothing was sent."] and
        command_datagrams(sim) == [], "refused with its line, nothing sent", refused.returncode, refused.stderr)
    both = write(os.path.join(lab.workdir, "both.csv"), HEADER +
                 "10.1.0.20,factory-defaults,,,,,\n10.1.0.21,factory-defaults,,,,,\n")
    result = front.cli("apply", both, "--no-log", "--json")
    check(result.returncode == 3 and stderr_lines(result)[-1:] == [
        "scout-cli: warning: 2 controllers now share the factory address 192.168.1.100 on ws0 10.1.0.1 (the "
        "factory-defaults of lines 2, 3): commission them one at a time (scout-cli commission)"],
        "both went, and what that leaves is said: exit 3", result.returncode, result.stderr)
    listed = [r["address"] for r in front.search_json().rows]
    check(listed.count("192.168.1.100") == 2, "two controllers at the factory address, as said", listed)


@case
def commission_at_the_edges_of_its_range(lab, front_for):
    """A range that leaves its subnet is bad usage; a range with nothing free
    (taken, or this workstation's own) ends with its own status, 6."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                    "address=192.168.1.100 model=2 version=v revision=r"])
    front = front_for(net)
    args = ("commission", "--mask", "255.255.255.0", "--gateway", "0.0.0.0", "--no-log", "--interval", "1.5")
    outside = front.cli(*args, "--first", "10.1.0.254", "--last", "10.1.1.1")
    check(outside.returncode == 2 and stderr_lines(outside)[0] ==
          "scout-cli: --last 10.1.1.1 lies outside the subnet 10.1.0.0/24 that --first and --mask make",
          "outside its subnet: bad usage", outside.returncode, outside.stderr)
    for first in ("10.1.0.20", "10.1.0.1"):
        used = front.cli(*args, "--first", first, "--last", first, timeout=60)
        check(used.returncode == 6 and "scout-cli: no free address left from %s to %s" % (first, first) in
              stderr_lines(used), "nothing free: exit 6", first, used.returncode, used.stderr)


@case
def a_plan_says_what_it_leaves_unreachable(lab, front_for):
    """Each row whose new address leaves every interface's subnet is warned
    about, as reconfigure warns."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r",
                                    "address=10.1.0.21 model=2 version=v revision=r"])
    plan = write(os.path.join(lab.workdir, "plan.csv"), HEADER +
                 "10.1.0.20,reconfigure,10.9.0.5,255.255.255.0,0.0.0.0,,\n"
                 "10.1.0.21,reconfigure,10.1.0.77,255.255.255.0,0.0.0.0,,\n")
    front = front_for(net)
    result = front.cli("apply", plan, "--dry-run")
    # Windows sends no ARP probe of its own: off the subnet, no host was asked, and that is said too.
    unasked = [] if front.build == "linux" else [
        "scout-cli: %s, line 2: not checked against other hosts: 10.9.0.5 is outside the subnet of ws0 10.1.0.1/24, "
        "where only an ARP probe asks, and scout-cli sends one only as root on Linux" % plan]
    check(result.returncode == 0 and stderr_lines(result) == [
        "scout-cli: %s, line 2: warning: 10.9.0.5 lies outside the subnet of every interface of this workstation: "
        "after the command it reaches the controller only with a route to 10.9.0.0/24 or a second address there"
        % plan] + unasked, "one warning, for the row that leaves", result.stderr)


@case
def a_plan_while_another_program_holds_the_port(lab, front_for):
    """The search before a plan that cannot bind says so once, and the plan's
    refusal once, not once per row."""
    net = build_topology(lab, "single")
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.2%d model=1 version=v revision=r" % n for n in range(5)])
    plan = write(os.path.join(lab.workdir, "plan.csv"), HEADER + "".join(
        "10.1.0.2%d,reset,,,,,\n" % n for n in range(5)))
    holder = hold_port(lab, net)
    result = front_for(net).cli("apply", plan, "--no-log")
    holder.kill()
    holder.wait()
    # The holder, named on Linux; under Wine it cannot be named, and is waited for.
    lines = [line for line in stderr_lines(result) if "another program" not in line and "waiting for port" not in line]
    check(result.returncode == 1 and len(lines) == 3 and "bind" in lines[0] and
          lines[1] == "scout-cli: %s, the search of ws0 10.1.0.1 did not finish (the failure above), so no line of "
                      "the plan could be checked" % plan and
          lines[2] == "scout-cli: the plan was refused (1 problem); nothing was sent.",
          "said once", result.returncode, lines)
    check(command_datagrams(sim) == [], "nothing sent")


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
