#!/usr/bin/env python3
"""End-to-end: the line's design list drives commission (native, or .exe
under Wine): controllers plugged in out of the list's order each get their
row's address, by MAC where this workstation reads one and by model where it
cannot; a stranger and a row a host holds get nothing; audit of the same list
then passes."""

import json
import os
import sys
import time

import shlex
import signal
import subprocess

from e2e import build_topology, case_registry, check, main, read_json_events, stderr_lines
from monitor_e2e import defaults, expand, unit_lines
from wire import command_datagrams

CASES, case = case_registry()

NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
ARGS = ("--window", "500", "--interval", "1")

# Plugged in one after another, out of the list's order (each leaves the
# factory address when given its own): the sim's MACs are 02:00:5e:10:00:01
# to :04 in this order.
PLUGGED = ["address=192.168.1.100 model=2 version=v revision=r",
           "address=192.168.1.100 model=1 version=v revision=r online-ms=5000",
           "address=192.168.1.100 model=1 version=v revision=r online-ms=10000",
           "address=192.168.1.100 model=2 version=v revision=r online-ms=15000"]


def write(lab, name, text):
    path = os.path.join(lab.workdir, name)
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, 0o644)
    os.chmod(lab.workdir, 0o755)
    return path


@case
def commission_by_the_list_in_any_order(lab, front_for):
    """Four controllers plugged in out of the list's order: each its row's
    address (Linux as root: by the MACs the list names; Windows, whose
    neighbour table never knows a controller at the factory address: by model,
    in the list's order), its mask and gateway, recorded with the row's name;
    the list's audit then passes."""
    net = build_topology(lab, "single")
    front = front_for(net)
    macs = front.build == "linux"
    # With MACs read: Axis 1 and Axis 4 are named by the controllers' labels
    # (the third and the first plugged in); the others by model, in order.
    design = ("name,address,model,mac,mask,gateway,Cabinet\n"
              "Axis 1,10.1.0.11,KRV-ETH1,%s,255.255.255.0,10.1.0.254,A1\n"
              "Axis 2,10.1.0.12,KRV-ETH2,,,,A1\n"
              "Axis 3,10.1.0.13,KRV-ETH1,,,,A2\n"
              "Axis 4,10.1.0.14,KRV-ETH2,%s,,,A2\n") % (
                  ("0200.5E10.0003", "02-00-5e-10-00-01") if macs else ("", ""))
    listed = write(lab, "line.csv", design)
    record = os.path.join(lab.workdir, "record.jsonl")
    sim = lab.start_sim(net.segments[0], PLUGGED)
    result = front.cli("commission", "--expect", listed, "--gateway", "0.0.0.0", "--json", "--log", record, *ARGS,
                       timeout=90)
    check(result.returncode == 0, "every row answers", result.returncode, result.stdout, result.stderr)
    rows = json.loads(result.stdout)
    got = {r["name"]: (r["status"], r["model"], r["mac"]) for r in rows}
    mac = "02:00:5e:10:00:%02d"
    # By MAC: Axis 1 the third plugged in, Axis 4 the first. By model: in
    # plugging order. Windows tells a MAC where its neighbour table happened
    # to know the sender.
    order = {"Axis 1": 3, "Axis 2": 4, "Axis 3": 2, "Axis 4": 1} if macs else \
        {"Axis 1": 2, "Axis 2": 1, "Axis 3": 3, "Axis 4": 4}
    models = {"Axis 1": "KRV-ETH1", "Axis 2": "KRV-ETH2", "Axis 3": "KRV-ETH1", "Axis 4": "KRV-ETH2"}
    check(all(got[n][:2] == ("commissioned", models[n]) and got[n][2] in ((mac % order[n],) if macs else
                                                                           (mac % order[n], "")) for n in models),
          "each controller its row, whatever the order", got)
    lines = stderr_lines(result)
    done = [l for l in lines if " as Axis " in l]
    check(len(done) == 4 and (not macs or all(" MAC 02:00:5e:10:00:0" in l for l in done)),
          "one line each, with its row and MAC", lines)
    sent = command_datagrams(sim)
    check([d["action"] for d in sent] == ["reconfigure"] * 4, "four commands", sent)
    with open(record) as f:
        events = [(l["event"], l.get("row"), l.get("gateway")) for l in map(json.loads, f)]
    first = "Axis 4 (line 5)" if macs else "Axis 2 (line 3)"
    check(len(events) == 8 and events[0][:2] == ("intent", first) and
          all(e[1] and e[1].startswith("Axis ") for e in events), "each step recorded with its row", events)
    check(("intent", "Axis 1 (line 2)", "10.1.0.254") in events, "the row's own gateway", events)
    audit = front.cli("audit", listed, "--json")
    check(audit.returncode == 0, "audit of the same list passes", audit.returncode, audit.stdout, audit.stderr)


@case(builds=("linux",))
def commission_by_the_list_unprivileged(lab, front_for):
    """As an unprivileged user no MAC is read: said once; the rows without a
    MAC are given by model in the list's order, and those that name one wait
    (missing, exit 6), nothing sent for them."""
    net = build_topology(lab, "single")
    front = front_for(net)
    listed = write(lab, "line.csv", "name,address,model,mac\n"
                                    "Axis 1,10.1.0.11,KRV-ETH1,02:00:5e:10:00:03\n"
                                    "Axis 2,10.1.0.12,KRV-ETH2,\n"
                                    "Axis 3,10.1.0.13,KRV-ETH1,\n"
                                    "Axis 4,10.1.0.14,KRV-ETH2,02:00:5e:10:00:01\n")
    sim = lab.start_sim(net.segments[0], PLUGGED)
    result = lab.run(net.ws, NOBODY + [front.program, "commission", "--expect", listed, "--count", "2", "--json",
                                       "--no-log", *ARGS], timeout=90)
    check(result.returncode == 6, "rows that name a MAC still missing", result.returncode, result.stderr)
    got = [(r["name"], r["status"]) for r in json.loads(result.stdout)]
    check(got == [("Axis 1", "missing"), ("Axis 2", "commissioned"), ("Axis 3", "commissioned"),
                  ("Axis 4", "missing")], "by model, in the list's order", got)
    said = [l for l in stderr_lines(result) if "MAC cannot be read here" in l]
    check(len(said) == 1, "said once", result.stderr)
    check([d["action"] for d in command_datagrams(sim)] == ["reconfigure"] * 2, "two commands",
          command_datagrams(sim))


@case
def a_dry_run_by_the_list_sends_nothing(lab, front_for):
    """--dry-run with --count 1: the row the controller would get, said and
    summed up, and nothing sent or recorded."""
    net = build_topology(lab, "single")
    listed = write(lab, "line.csv", "name,address,model\nAxis 1,10.1.0.11,KRV-ETH1\nAxis 2,10.1.0.12,KRV-ETH1\n")
    record = os.path.join(lab.workdir, "record.jsonl")
    sim = lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1 version=v revision=r"])
    result = front_for(net).cli("commission", "--expect", listed, "--dry-run", "--count", "1", "--csv", "--log",
                                record, *ARGS, timeout=60)
    check(result.returncode == 0 and [l.split(",")[5] for l in result.stdout.splitlines()[1:]] == ["dry-run",
                                                                                                   "missing"],
          "the row it would get", result.returncode, result.stdout, result.stderr)
    check(any(l.endswith("\u2192 10.1.0.11 as Axis 1 (line 2), not sent (dry run)") for l in stderr_lines(result)),
          "said", result.stderr)
    check(command_datagrams(sim) == [] and not os.path.exists(record), "nothing sent, nothing recorded")


@case(builds=("linux",))
def commission_by_the_list_on_a_laptop(lab, front_for):
    """A laptop of the field (strict reverse-path filter, its default route by
    Wi-Fi, a container bridge): as root the new controller's reply from the
    factory address is read past the filter and it gets its row; as an
    unprivileged user the filter drops it, and that is said, nothing sent."""
    net = build_topology(lab, "single", "laptop-wifi")
    front = front_for(net)
    listed = write(lab, "line.csv", "name,address,model,mac\nAxis 1,10.1.0.11,KRV-ETH1,02:00:5e:10:00:01\n")
    sim = lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1 version=v revision=r"])
    nobody = lab.run(net.ws, NOBODY + ["timeout", "-s", "INT", "6", front.program, "commission", "--expect", listed,
                                       "--count", "1", "--no-log", *ARGS], timeout=30)
    check(command_datagrams(sim) == [] and "the kernel dropped 1 reply from outside" in nobody.stderr,
          "unprivileged: said, nothing sent",
          nobody.returncode, nobody.stderr)
    result = front.cli("commission", "--expect", listed, "--json", "--no-log", *ARGS, timeout=60)
    check(result.returncode == 0 and [r["status"] for r in json.loads(result.stdout)] == ["commissioned"],
          "root: commissioned past the filter", result.returncode, result.stdout, result.stderr)


@case(builds=("linux",))
def commission_by_the_list_leaves_what_fits_no_row(lab, front_for):
    """A controller of a model no row has is left at the factory address,
    said with its MAC and model; a row whose address a host holds is refused
    and recorded; the row's controller gets nothing else; exit 6 for the row
    still missing. Two at the factory address are named."""
    net = build_topology(lab, "single")
    segment = net.segments[0]
    lab.configure(segment.ns, ["ip", "addr", "add", "10.1.0.12/24", "dev", "br0"])
    listed = write(lab, "line.csv", "name,address,model\nAxis 1,10.1.0.11,KRV-ETH1\nAxis 2,10.1.0.12,KRV-ETH1\n")
    record = os.path.join(lab.workdir, "record.jsonl")
    # The strangers are unplugged again; each KRV-ETH1 leaves when given an address.
    sim = lab.start_sim(segment, ["address=192.168.1.100 model=9 version=v revision=r off-ms=6500",
                                  "address=192.168.1.100 model=8 version=v revision=r online-ms=3000 off-ms=5500",
                                  "address=192.168.1.100 model=1 version=v revision=r online-ms=7000",
                                  "address=192.168.1.100 model=1 version=v revision=r online-ms=12000"])
    result = front_for(net).cli("commission", "--expect", listed, "--csv", "--log", record, *ARGS, timeout=90)
    lines = stderr_lines(result)
    check(result.returncode == 6, "a row still missing", result.returncode, result.stdout, lines)
    check("scout-cli: leaving KRV-ETH9 v r MAC 02:00:5e:10:00:01 at 192.168.1.100: no missing row fits it (another "
          "model, or rows that name other MACs)" in lines, "the stranger left, said", lines)
    check("scout-cli: 2 controllers answer at 192.168.1.100 (KRV-ETH9 MAC 02:00:5e:10:00:01, KRV-ETH8 MAC "
          "02:00:5e:10:00:02); power off all but one" in lines, "two at once, named", lines)
    refused = [l for l in lines if l.startswith("scout-cli: Axis 2 (line 3) not given to KRV-ETH1 v r: ")]
    check(len(refused) == 1 and "in use by a host" in refused[0], "the host's address refused", lines)
    sent = command_datagrams(sim)
    check(len(sent) == 1 and sent[0]["action"] == "reconfigure", "one command, to Axis 1's controller", sent)
    summary = [l.split(",")[:6] for l in result.stdout.splitlines()[1:]]
    check(summary == [["2", "Axis 1", "KRV-ETH1", "02:00:5e:10:00:03", "10.1.0.11", "commissioned"],
                      ["3", "Axis 2", "KRV-ETH1", "02:00:5e:10:00:04", "10.1.0.12", "refused"]],
          "the summary is the list", result.stdout)
    with open(record) as f:
        events = [(l["event"], l.get("row")) for l in map(json.loads, f)]
    check(events == [("intent", "Axis 1 (line 2)"), ("outcome", "Axis 1 (line 2)"), ("refused", "Axis 2 (line 3)")],
          "recorded with the rows", events)


LINE = ("name,address,model,mask,gateway\n"
        "Axis 1,10.1.0.11,KRV-ETH1,255.255.255.0,10.1.0.254\n"
        "Axis 2,10.1.0.12,KRV-ETH1,255.255.255.0,10.1.0.254\n"
        "Axis 3,10.1.0.13,KRV-ETH2,255.255.255.0,10.1.0.254\n")


def watch_replacements(lab, front_for, controllers, mode, until, net=None):
    net = net or build_topology(lab, "single")
    front = front_for(net)
    listed = write(lab, "line.csv", LINE)
    record = os.path.join(lab.workdir, "record.jsonl")
    sim = lab.start_sim(net.segments[0], controllers)
    proc = front.start("watch", "--expect", listed, mode, "--json", "--log", record, "--window", "500",
                       "--interval", "1")
    events = read_json_events(proc, until)
    proc.kill()
    out, err = proc.communicate()
    records = []
    if os.path.exists(record):
        with open(record) as f:
            records = [json.loads(l) for l in f]
    if sim.proc.poll() is None:
        sim.stop()
    return front, sim, events, records, err


@case
def a_replacement_gets_its_predecessors_address(lab, front_for):
    """Axis 1 fails and a new controller of its model comes up at the factory
    address: the watch gives it Axis 1's address, mask and gateway, verified,
    recorded with the old and the new MAC, and says "readdressed"; then it
    answers there."""
    front, sim, events, records, err = watch_replacements(lab, front_for, [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=3000",
        "address=10.1.0.12 model=1 version=v revision=r",
        "address=10.1.0.13 model=2 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r online-ms=7000"], "--readdress-replacements",
        lambda ev: any(e["event"] == "appeared" and e["address"] == "10.1.0.11" and e["model"] == "KRV-ETH1" and
                       any(p["event"] == "readdressed" for p in ev) for e in ev))
    done = [e for e in events if e["event"] == "readdressed"]
    check(len(done) == 1 and done[0]["row"] == "Axis 1 (line 2)" and done[0]["new_address"] == "10.1.0.11" and
          done[0]["address"] == "10.1.0.11" and done[0]["expected"] == "Axis 1", "readdressed, with its row", events,
          err)
    linux = front.build == "linux"
    check(not linux or (done[0]["mac"], done[0].get("replaces")) == ("02:00:5e:10:00:04", "02:00:5e:10:00:01"),
          "the new MAC and the one it replaces", done)
    sent = command_datagrams(sim)
    check([d["action"] for d in sent] == ["reconfigure"], "one command", sent)
    # Windows answers from its neighbour table, which remembers the failed
    # controller at that address for some seconds: the readdressing is
    # refused (said, recorded) until the table forgets it.
    refused = [r for r in records if r["event"] == "refused"]
    check(all(r["reason"].endswith("(MAC 02:00:5e:10:00:01) on ws0 10.1.0.1") for r in refused) and
          (not linux or not refused), "refused only while the failed one's entry stands", records)
    records = [r for r in records if r["event"] != "refused"]
    check([(r["command"], r["event"], r.get("row"), r.get("gateway")) for r in records] ==
          [("readdress", "intent", "Axis 1 (line 2)", "10.1.0.254"),
           ("readdress", "outcome", "Axis 1 (line 2)", "10.1.0.254")] and records[1]["outcome"] == "answers",
          "recorded", records)
    check(not linux or records[0].get("replaces") == "02:00:5e:10:00:01", "the record names the old MAC", records)


@case(builds=("linux",))
def a_replacement_in_doubt_gets_nothing(lab, front_for):
    """Two rows of its model missing; a model no missing row has: each said
    once, and nothing sent."""
    front, sim, events, records, err = watch_replacements(lab, front_for, [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=2000",
        "address=10.1.0.12 model=1 version=v revision=r off-ms=2000",
        "address=10.1.0.13 model=2 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r online-ms=5000 off-ms=9000",
        "address=192.168.1.100 model=3 version=v revision=r online-ms=10000"], "--readdress-replacements",
        lambda ev: len([e for e in ev if e["event"] == "not-readdressed"]) >= 2)
    held = [(e["model"], e["detail"]) for e in events if e["event"] == "not-readdressed"]
    check(held == [("KRV-ETH1", "rows of its model are missing here: Axis 1 (line 2), Axis 2 (line 3); give it one "
                                "by hand"),
                   ("KRV-ETH3", "no row of its model is missing on this interface")], "each doubt once", held, err)
    check(command_datagrams(sim) == [] and records == [], "nothing sent, nothing recorded", records)


@case(builds=("linux",))
def a_replacement_proposed_is_not_sent(lab, front_for):
    """--readdress-replacements=propose says what it would do, once, with
    the MAC it would replace, and sends nothing."""
    front, sim, events, records, err = watch_replacements(lab, front_for, [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=2000",
        "address=10.1.0.12 model=1 version=v revision=r",
        "address=10.1.0.13 model=2 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r online-ms=5000"], "--readdress-replacements=propose",
        lambda ev: any(e["event"] == "would-readdress" for e in ev))
    proposed = [e for e in events if e["event"] == "would-readdress"]
    check(len(proposed) == 1 and proposed[0]["row"] == "Axis 1 (line 2)" and
          proposed[0].get("replaces") == "02:00:5e:10:00:01", "proposed once", events)
    check(command_datagrams(sim) == [] and records == [], "nothing sent", records)


@case(builds=("linux",))
def a_replacement_not_seen_is_not_tried_again(lab, front_for):
    """A replacement switched off before it takes its address: said, recorded,
    and not tried again, in this run nor after a restart (the record says so),
    even once it would answer."""
    net = build_topology(lab, "single")
    replacement = "address=192.168.1.100 model=1 version=v revision=r mac=02:00:5e:10:00:44 online-ms=5000"
    front, sim, events, records, err = watch_replacements(lab, front_for, [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=2000",
        "address=10.1.0.12 model=1 version=v revision=r",
        "address=10.1.0.13 model=2 version=v revision=r", replacement + " off-ms=6200"],
        "--readdress-replacements", lambda ev: any(e["event"] == "not-readdressed" for e in ev), net=net)
    held = [e for e in events if e["event"] == "not-readdressed"]
    check(len(held) == 1 and held[0]["detail"].endswith("; not tried again") and held[0]["row"] == "Axis 1 (line 2)",
          "said once", events, err)
    check([(r["event"], r.get("mac")) for r in records] == [("intent", "02:00:5e:10:00:44"),
                                                             ("outcome", "02:00:5e:10:00:44")], "recorded", records)
    front, sim, events, records, err = watch_replacements(lab, front_for, [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=1",
        "address=10.1.0.12 model=1 version=v revision=r",
        "address=10.1.0.13 model=2 version=v revision=r", replacement.replace("5000", "1000")],
        "--readdress-replacements", lambda ev: any(e["event"] == "not-readdressed" for e in ev), net=net)
    held = [e["detail"] for e in events if e["event"] == "not-readdressed"]
    check(held == ["it was given a row before and not seen there; it is not tried again (give it its address by "
                   "hand)"], "after a restart, from the record", events, err)
    check(command_datagrams(sim) == [] and len(records) == 2, "nothing sent again", records)


@case(builds=("linux",))
def the_replaced_controller_back_is_a_conflict_naming_both(lab, front_for):
    """A controller that was only off comes back after a spare took its
    address: the address conflict names the controller it replaced."""
    front, sim, events, records, err = watch_replacements(lab, front_for, [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=2000",
        "address=10.1.0.12 model=1 version=v revision=r",
        "address=10.1.0.13 model=2 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r online-ms=5000",
        "address=10.1.0.11 model=1 version=v revision=r mac=02:00:5e:10:00:01 online-ms=11000"],
        "--readdress-replacements", lambda ev: any(e["event"] == "conflict" for e in ev))
    conflicts = [e for e in events if e["event"] == "conflict"]
    check(len(conflicts) == 1 and conflicts[0]["address"] == "10.1.0.11" and
          sorted(conflicts[0]["macs"]) == ["02:00:5e:10:00:01", "02:00:5e:10:00:04"] and
          conflicts[0]["detail"] == "the controller it replaced (MAC 02:00:5e:10:00:01) may answer here again beside "
                                    "its replacement: power one of them off", "the conflict names both", events, err)


@case(builds=("linux",))
def the_service_readdresses_into_its_state_folder(lab, front_for):
    """The shipped unit's command line, with --expect and
    --readdress-replacements in its settings, run as its dynamic user would
    (unprivileged, CAP_NET_RAW alone, XDG_STATE_HOME in the state folder
    systemd makes for it): the replacement is readdressed, the record is in
    the state folder, and history --log reads it there."""
    net = build_topology(lab, "single")
    front = front_for(net)
    listed = write(lab, "line.csv", LINE)
    sim = lab.start_sim(net.segments[0], [
        "address=10.1.0.11 model=1 version=v revision=r off-ms=2000",
        "address=10.1.0.12 model=1 version=v revision=r",
        "address=10.1.0.13 model=2 version=v revision=r",
        "address=192.168.1.100 model=1 version=v revision=r online-ms=5000"])
    values = defaults()
    values["SCOUT_WATCH_OPTIONS"] = "--interval 1 --window 500 --json --expect %s --readdress-replacements" % listed
    states = os.path.join(lab.workdir, "lib")
    os.mkdir(states)
    env = dict(os.environ)
    for line in unit_lines("Environment"):
        name, value = line.split("=", 1)
        env[name] = value.replace("%S", states)
    check(env.get("XDG_STATE_HOME") == os.path.join(states, "ethernet-scout-watch"),
          "the unit keeps its state in its StateDirectory", unit_lines("Environment"))
    check(unit_lines("StateDirectory") == ["ethernet-scout-watch"], "a state folder of its own",
          unit_lines("StateDirectory"))
    state = env["XDG_STATE_HOME"]
    os.mkdir(state, 0o700)
    os.chown(state, 65534, 65534)
    start = expand(unit_lines("ExecStart")[0], values)
    start[0] = front.program
    script = ("set -e; mount -t tmpfs -o mode=0755 tmpfs /run; mkdir -p /run/ethernet-scout-watch;"
              " chown 65534:65534 /run/ethernet-scout-watch; exec %s --inh-caps=+net_raw --ambient-caps=+net_raw %s"
              % (shlex.join(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]), shlex.join(start)))
    service = lab.popen(net.ws, ["unshare", "--mount", "--propagation", "private", "sh", "-c", script], env=env,
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    events = read_json_events(service, lambda ev: any(e["event"] in ("readdressed", "not-readdressed") for e in ev))
    service.send_signal(signal.SIGTERM)
    out, err = service.communicate(timeout=20)
    done = [e for e in events if e["event"] == "readdressed"]
    check(len(done) == 1 and done[0]["row"] == "Axis 1 (line 2)", "readdressed by the service", events, err)
    record = os.path.join(state, "ethernet-scout", "commands.jsonl")
    check(os.path.isfile(record) and os.stat(record).st_uid == 65534, "the record in its state folder", record)
    history = front.cli("history", "--log", record, "--json")
    lines = json.loads(history.stdout) if history.returncode == 0 else []
    check([(l["command"], l["event"], l.get("row")) for l in lines] ==
          [("readdress", "intent", "Axis 1 (line 2)"), ("readdress", "outcome", "Axis 1 (line 2)")],
          "history --log reads it", history.returncode, history.stdout, history.stderr)
    check([d["action"] for d in command_datagrams(sim)] == ["reconfigure"], "one command", command_datagrams(sim))


def move_out(lab, net, hold):
    lab.run(net.ws, ["ip", "link", "set", "ws1", "netns", hold]).check_returncode()


def move_in(lab, net, hold):
    """ws1 back into the workstation, set up as the lab sets it up."""
    for argv in (["ip", "link", "set", "ws1", "netns", net.ws],):
        lab.run(hold, argv).check_returncode()
    for argv in (["ip", "addr", "add", "10.2.0.1/24", "dev", "ws1"], ["ip", "link", "set", "ws1", "up"],
                 ["ip", "route", "add", "255.255.255.255/32", "dev", "ws1", "src", "10.2.0.1", "metric", "101"]):
        lab.run(net.ws, argv).check_returncode()


@case(builds=("linux",))
def a_watch_follows_interfaces_that_come_and_go(lab, front_for):
    """A watch of every interface: one taken away is said gone once (its
    controllers are not said gone one by one), and searched again when it is
    back, its controllers new again; its metrics series stay. A watch of
    --interface ws1 while the workstation has no ws1 waits for it. (Under
    Wine a process keeps reading the interfaces it began with: the interface
    taken away is a search failure said once, nothing said gone.)"""
    net = build_topology(lab, "two-segments")
    front = front_for(net)
    hold = lab.add_namespace("hold")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    lab.start_sim(net.segments[1], ["address=10.2.0.30 model=2 version=v revision=r",
                                    "address=10.2.0.31 model=3 version=v revision=r"])
    metrics = os.path.join(lab.workdir, "scout.prom")
    proc = front.start("watch", "--json", "--window", "500", "--interval", "1", "--metrics", metrics)
    seen = lambda ev, event, address: [e for e in ev if (e["event"], e["address"]) == (event, address)]
    events = read_json_events(proc, lambda ev: len(seen(ev, "appeared", "10.2.0.31")) == 1)
    move_out(lab, net, hold)
    time.sleep(5)
    move_in(lab, net, hold)
    events += read_json_events(proc, lambda ev: len(seen(ev, "appeared", "10.2.0.31")) == 1)
    # The metrics are written after the events of a search: read them once more after.
    deadline = time.time() + 10
    while time.time() < deadline:
        with open(metrics) as f:
            text = f.read()
        if 'scout_interface_present{interface="ws1",interface_address="10.2.0.1"} 1' in text:
            break
        time.sleep(0.2)
    proc.kill()
    out, err = proc.communicate()
    said = err.splitlines()
    check(said.count("scout-cli: the interface ws1 10.2.0.1 is gone; its controllers are not searched until it is "
                     "back") == 1 and
          said.count("scout-cli: the interface ws1 10.2.0.1 appeared; it is searched from now on") == 1,
          "gone and back, each said once", said)
    check(not [e for e in events if e["event"] == "gone"], "no controller said gone", events)
    check(len(seen(events, "appeared", "10.2.0.30")) == 2 and len(seen(events, "appeared", "10.2.0.31")) == 2,
          "its controllers new again once it is back", events)
    present = [l for l in text.splitlines() if l.startswith("scout_interface_present{")]
    check(present == ['scout_interface_present{interface="ws0",interface_address="10.1.0.1"} 1',
                      'scout_interface_present{interface="ws1",interface_address="10.2.0.1"} 1'],
          "the series kept, one per interface", present)

    move_out(lab, net, hold)
    proc = front.start("watch", "--json", "--window", "500", "--interval", "1", "--interface", "ws1")
    time.sleep(3)
    move_in(lab, net, hold)
    events = read_json_events(proc, lambda ev: len(seen(ev, "appeared", "10.2.0.31")) == 1)
    proc.kill()
    out, err = proc.communicate()
    check(err.splitlines()[:2] == ["scout-cli: waiting for the interface 'ws1' (the workstation has it not, or does "
                                   "not search it now)",
                                   "scout-cli: the interface ws1 10.2.0.1 appeared; it is searched from now on"],
          "waited for, then searched", err)
    check(sorted(e["address"] for e in events) == ["10.2.0.30", "10.2.0.31"], "only its controllers", events)


def lock_path(lab, net):
    """The lock of the workstation's interface 10.1.0.1, as scout-cli names it."""
    identity = os.stat("/run/netns/" + net.ws).st_ino
    return "/run/lock/ethernet-scout-net%d-10.1.0.1.lock" % identity


@case(builds=("linux",))
def one_sender_per_segment(lab, front_for):
    """Another program that holds the segment's lock (a commission, a watch
    readdressing) makes a command wait, saying whom for, and go once it is let
    go; the lock file is every user's, so an unprivileged run after root's
    takes it too. A link, a FIFO or a folder planted at the lock's path is one
    clear line, exit 1, nothing sent, and stays as it was."""
    net = build_topology(lab, "single")
    front = front_for(net)
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    path = lock_path(lab, net)
    holder = lab.popen(net.ws, [sys.executable, "-c",
                                "import fcntl, os, sys, time\n"
                                "fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT, 0o666)\n"
                                "os.fchmod(fd, 0o666)\n"
                                "fcntl.lockf(fd, fcntl.LOCK_EX)\n"
                                "print('held', flush=True)\n"
                                "time.sleep(3)\n", path], stdout=subprocess.PIPE, text=True)
    check(holder.stdout.readline() == "held\n", "the other program holds the lock")
    started = time.monotonic()
    result = front.cli("reset", "10.1.0.20", "--no-log")
    waited = time.monotonic() - started
    holder.wait(timeout=10)
    said = stderr_lines(result)
    check(result.returncode == 0 and waited >= 2 and
          said[0] == "scout-cli: waiting for python3 (process %d), which sends to ws0 10.1.0.1, up to 300 s" %
          holder.pid, "waited, said whom for, then sent", result.returncode, waited, said)
    check([d["action"] for d in command_datagrams(sim)] == ["reset"], "sent once let go", command_datagrams(sim))
    check(os.stat(path).st_mode & 0o777 == 0o666, "the lock file is every user's", oct(os.stat(path).st_mode))
    nobody = lab.run(net.ws, NOBODY + [front.program, "reset", "10.1.0.20", "--no-log"], timeout=60)
    check(nobody.returncode == 0, "an unprivileged run takes it after root", nobody.returncode, nobody.stderr)
    os.unlink(path)
    for kind, plant in (("a link", lambda: os.symlink("/etc/passwd", path)), ("a FIFO", lambda: os.mkfifo(path)),
                        ("a folder", lambda: os.mkdir(path))):
        plant()
        before = len(command_datagrams(sim))
        result = front.cli("reset", "10.1.0.20", "--no-log", timeout=30)
        said = stderr_lines(result)
        check(result.returncode == 1 and len(said) == 1 and
              said[0].startswith("scout-cli: cannot take the lock of ws0 10.1.0.1 (%s), " % path) and
              said[0].endswith("; nothing was sent"), kind + ": one line", result.returncode, said)
        check(len(command_datagrams(sim)) == before, kind + ": nothing sent")
        check(os.path.islink(path) if kind == "a link" else os.path.exists(path), kind + ": left as it was")
        os.rmdir(path) if kind == "a folder" else os.unlink(path)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
