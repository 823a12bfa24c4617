#!/usr/bin/env python3
"""scout-cli doctor on the lab's field laptop: what it finds of each cause of
a controller not found, as root and as an unprivileged user, and its exit
status (1 on a problem)."""

import json
import re
import sys

from e2e import build_topology, case_registry, check, hold_port, main

CASES, case = case_registry()
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def doctor(lab, net, front, user=None, *args):
    if front.build == "win32":
        result = front.cli("doctor", "--json", *args)
    else:
        result = lab.run(net.ws, (NOBODY if user else []) + [front.program, "doctor", "--json"] + list(args))
    try:
        result.lines = json.loads(result.stdout)
    except ValueError:
        check(False, "doctor --json printed no JSON", result.stdout, result.stderr)
    return result


def found(result, check_name):
    return [(line["status"], line["finding"]) for line in result.lines if line["check"] == check_name]


@case(builds=("linux",), sanitizer=False)
def field_laptop(lab, front_for):
    """The offline laptop: the bridge without carrier is named as skipped; the
    reverse-path filter is read past as root and a warning (with its fix) as
    nobody; a controller outside the subnet is heard as root only, and the
    reply the kernel dropped for nobody is a problem (exit 1)."""
    net = build_topology(lab, "single", "laptop")
    front = front_for(net)
    lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1A2B version=2.14 revision=C"])
    root = doctor(lab, net, front)
    check(root.returncode == 0, "nothing is a problem", root.returncode, root.stdout)
    check(found(root, "interface") == [("ok", "ws0 10.1.0.1: searched"), ("ok", "lo 127.0.0.1: skipped, loopback"),
                                       ("ok", "docker0 172.17.0.1: skipped, no carrier (a bridge with nothing on it, "
                                              "such as a container bridge)")], "interfaces",
          root.lines)
    check(found(root, "rp_filter") == [("ok", "rp_filter 2 on ws0 10.1.0.1: replies are read past it (as root)")],
          "root reads past the filter", root.lines)
    check(found(root, "search") == [("ok", "ws0 10.1.0.1: 1 reply")], "root hears the controller", root.lines)
    nobody = doctor(lab, net, front, "nobody")
    check(nobody.returncode == 1, "replies lost are a problem", nobody.returncode, nobody.stdout)
    filters = [line for line in nobody.lines if line["check"] == "rp_filter"]
    check(len(filters) == 1 and filters[0]["status"] == "warning" and "no route back" in filters[0]["finding"]
          and "net.ipv4.conf.ws0.rp_filter=0" in filters[0]["todo"], "nobody: the filter, and its fix", filters)
    searched = found(nobody, "search")
    check(len(searched) == 2 and searched[0] == ("warning", "ws0 10.1.0.1: nothing answered") and
          searched[1][0] == "problem" and searched[1][1].startswith("the kernel dropped 1 reply "),
          "nobody hears nothing, and what the kernel dropped is a line of its own", nobody.lines)


@case(builds=("linux",), sanitizer=False)
def a_wifi_laptop(lab, front_for):
    """Online by Wi-Fi: nothing answers on wlan0, and doctor says that the
    controllers are on the wired line, not that their power and cables are
    at fault; ws0's controller is heard."""
    net = build_topology(lab, "single", "laptop-wifi")
    front = front_for(net)
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C"])
    result = doctor(lab, net, front)
    wifi = [line for line in result.lines if line["check"] == "search" and line["finding"].startswith("wlan0 ")]
    check(len(wifi) == 1 and wifi[0]["status"] == "ok" and wifi[0]["finding"].endswith(
        ": nothing answered, as on a Wi-Fi link") and "wired line" in wifi[0]["todo"] and
          "power" not in wifi[0]["todo"], "wlan0: the wired line, not the power and cables", result.lines)
    check(("ok", "ws0 10.1.0.1: 1 reply") in found(result, "search"), "ws0 heard", result.lines)


@case(sanitizer=False)
def port_held(lab, front_for):
    """Another program holds UDP port 65513: a problem, exit 1, with the
    holder named where the system tells (Linux: its name and pid; under Wine
    the holder is a Linux process, which Windows' table shows without one).
    On Windows the network list tells which firewall profile applies."""
    net = build_topology(lab, "single")
    front = front_for(net)
    holder = hold_port(lab, net)
    held = doctor(lab, net, front)
    ports = found(held, "port")
    check(held.returncode == 1 and len(ports) == 1 and ports[0][0] == "problem" and
          "UDP 65513 on ws0 10.1.0.1: cannot be bound" in ports[0][1], "a problem, exit 1", held.returncode, ports)
    if front.build == "linux":
        check(re.search(r"held by python3[.0-9]* \(pid %d\)$" % holder.pid, ports[0][1]) is not None,
              "the holder named", ports, holder.pid)
    holder.kill()
    holder.wait()
    free = doctor(lab, net, front)
    check(found(free, "port") == [("ok", "UDP 65513 on ws0 10.1.0.1: free")], "free once it is gone", free.lines)
    if front.build != "linux":
        check(any(re.fullmatch(r"ok: ws0 10\.1\.0\.1: a (Public|Private|Domain) network, so the \1 profile applies",
                               "%s: %s" % line) for line in found(free, "firewall")),
              "the network list tells the interface's profile", found(free, "firewall"))


@case(builds=("linux",), sanitizer=False)
def firewall_rule(lab, front_for):
    """An nftables rule drops UDP to 65513: a problem as root, unknown as
    nobody, who may not read the rules."""
    net = build_topology(lab, "single")
    front = front_for(net)
    for command in (["nft", "add", "table", "inet", "scoutf"],
                    ["nft", "add", "chain", "inet", "scoutf", "input",
                     "{ type filter hook input priority 0 ; policy accept ; }"],
                    ["nft", "add", "rule", "inet", "scoutf", "input", "udp", "dport", "65513", "drop"]):
        lab.configure(net.ws, command)
    dropped = doctor(lab, net, front)
    check(dropped.returncode == 1 and ("problem", "nftables: a rule drops UDP to port 65513") in
          found(dropped, "firewall"), "the rule found", dropped.returncode, found(dropped, "firewall"))
    unreadable = doctor(lab, net, front, "nobody")
    check(("unknown", "nftables: its rules cannot be read as this user") in found(unreadable, "firewall"),
          "nobody cannot tell, and says so", found(unreadable, "firewall"))


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
