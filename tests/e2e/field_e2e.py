#!/usr/bin/env python3
"""The lab's field laptops: a workstation set up as real ones are (the
reverse-path filter on, offline or online by Wi-Fi, a container bridge with no
carrier, Debian's receive buffer cap), searched as root and as an unprivileged
user. Nothing may be lost in silence: what the kernel dropped is either read
past or said."""

import json
import subprocess
import sys

from e2e import build_topology, case_registry, check, controller_lines, stderr_lines

CASES, case = case_registry()
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
FACTORY = "address=192.168.1.100 model=1A2B version=2.14 revision=C"
ON_SUBNET = "address=10.1.0.20 model=1 version=v revision=r"


def cli(lab, net, front, *args, user=None):
    """scout-cli of the Linux build, as root or as nobody."""
    result = lab.run(net.ws, (NOBODY if user == "nobody" else []) + [front.program] + list(args))
    try:
        result.rows = json.loads(result.stdout) if "--json" in args else None
    except ValueError:
        check(False, "stdout is no JSON", result.stdout, result.stderr)
    return result


def addresses(result):
    return sorted(row["address"] for row in result.rows)


def reverse_path_filter(lab, front_for, profile, mode):
    """A controller outside the workstation's subnet (a new one at its factory
    address): root reads its reply past the filter, nobody is told what the
    kernel dropped, why and how to mend it; the rows and the status stay."""
    net = build_topology(lab, "single", profile)
    front = front_for(net)
    lab.start_sim(net.segments[0], [FACTORY, ON_SUBNET])
    # -q keeps the hints off (nothing answers on the Wi-Fi); a warning stays.
    root = cli(lab, net, front, "search", "--json", "-q")
    check(root.returncode == 0 and stderr_lines(root) == [], "root: no word", root.stderr)
    check(addresses(root) == ["10.1.0.20", "192.168.1.100"], "root: both listed", root.stdout)
    for args in (("search", "--json", "-q"), ("search", "--json", "-q", "--parallel")):
        nobody = cli(lab, net, front, *args, user="nobody")
        check(nobody.returncode == 0 and addresses(nobody) == ["10.1.0.20"], "nobody: the rows and the status stay",
              args, nobody.returncode, nobody.stdout)
        lines = stderr_lines(nobody)
        check(len(lines) == 1 and lines[0].startswith("scout-cli: warning: the kernel dropped 1 reply ")
              and ("rp_filter %d on ws0" % mode) in lines[0] and "net.ipv4.conf.ws0.rp_filter=0" in lines[0]
              and "run as root" in lines[0], "nobody: one warning that says why", args, lines)


@case(builds=("linux",))
def reverse_path_filter_offline(lab, front_for):
    reverse_path_filter(lab, front_for, "laptop", 2)


@case(builds=("linux",))
def reverse_path_filter_by_wifi(lab, front_for):
    reverse_path_filter(lab, front_for, "laptop-wifi", 1)


@case(builds=("linux",), sanitizer=False)
def reconfigure_out_of_the_subnet(lab, front_for):
    """As root on the offline laptop, a controller moved into another subnet
    is seen there after the command, as it is; as nobody it is not, and the
    verdict says that its reply may be among those the kernel dropped."""
    net = build_topology(lab, "single", "laptop")
    front = front_for(net)
    lab.start_sim(net.segments[0], [ON_SUBNET, "address=10.1.0.21 model=2 version=v revision=r"])
    result = cli(lab, net, front, "reconfigure", "10.1.0.20", "192.168.5.5", "255.255.255.0", "0.0.0.0", "--json")
    check(result.returncode == 0 and json.loads(result.stdout)["answering_at_new_address"] == 1,
          "the controller answers at its new address", result.returncode, result.stdout, result.stderr)
    check("scout-cli: warning: 192.168.5.5 lies outside the subnet of every interface of this workstation: after the "
          "command it reaches the controller only with a route to 192.168.5.0/24 or a second address there"
          in result.stderr, "warned before it was sent", result.stderr)
    nobody = cli(lab, net, front, "reconfigure", "10.1.0.21", "192.168.5.6", "255.255.255.0", "0.0.0.0", "--json",
                 "--timeout", "2", "--no-log", user="nobody")
    lines = stderr_lines(nobody)
    check(nobody.returncode == 3 and lines[-1].startswith(
        "scout-cli: no controller answered at the new address 192.168.5.6 within ") and lines[-1].endswith(
        "; but replies were lost on the way (the warning above), and the controller's may be among them") and
        any(line.startswith("scout-cli: warning: the kernel dropped ") for line in lines),
        "nobody: not seen, and not in silence", nobody.returncode, lines)


@case(builds=("linux",), sanitizer=False, alone=True)
def receive_buffer(lab, front_for):
    """1,000 controllers at once under Debian's receive buffer cap: root asks
    past the cap and lists every one; nobody is told exactly how many replies
    its full buffer lost on which interface, and what to do."""
    with open("/proc/sys/net/core/rmem_max") as f:
        saved = f.read().strip()
    subprocess.run(["sysctl", "-q", "-w", "net.core.rmem_max=212992"], check=True)
    try:
        net = build_topology(lab, "large", "laptop")
        front = front_for(net)
        lab.start_sim(net.segments[0], controller_lines(net.segments[0], 1000, first_host=1000))
        root = cli(lab, net, front, "search", "--json")
        check(root.returncode == 0 and len(root.rows) == 1000 and stderr_lines(root) == [],
              "root: every one listed, no word", len(root.rows), root.stderr)
        nobody = cli(lab, net, front, "search", "--json", user="nobody")
        lines = stderr_lines(nobody)
        # Whether the capped buffer overflows is this machine's speed: a
        # search that kept up lists every one and says nothing.
        if len(nobody.rows) == 1000:
            check(nobody.returncode == 0 and lines == [], "nobody kept up: every one listed, no word", lines)
            print("nobody: all 1000 listed; the buffer did not overflow on this machine")
            return
        check(nobody.returncode == 0 and len(lines) == 1, "nobody: one warning, the status stays",
              nobody.returncode, len(nobody.rows), lines)
        lost = int(lines[0].split()[2])
        check(lines[0].startswith("scout-cli: warning: %d replies on ws0 10.1.0.1 were lost: " % lost)
              and "net.core.rmem_max=4194304" in lines[0], "the warning names the interface and the fix", lines)
        print("nobody: %d listed, %d said lost" % (len(nobody.rows), lost))
        check(lost > 0 and len(nobody.rows) + lost == 1000, "exactly what was not listed is said lost",
              len(nobody.rows), lost)
    finally:
        subprocess.run(["sysctl", "-q", "-w", "net.core.rmem_max=" + saved], check=True)


@case(builds=("linux",))
def skipped_interfaces(lab, front_for):
    """A container bridge that is up with no carrier, an adapter set down, a
    link without an IPv4 address, a VPN's point-to-point tunnel and the
    loopback are not searched, and `interfaces` says why."""
    net = build_topology(lab, "single", "laptop")
    front = front_for(net)
    # Beside the bridge: an adapter set down with its address, a link up without one, a tunnel.
    for command in (["ip", "link", "add", "dn0", "type", "veth", "peer", "name", "dn1"],
                    ["ip", "addr", "add", "10.9.0.1/24", "dev", "dn0"],
                    ["ip", "link", "add", "na0", "type", "veth", "peer", "name", "na1"],
                    ["ip", "link", "set", "na1", "up"], ["ip", "link", "set", "na0", "up"],
                    ["ip", "tuntap", "add", "dev", "vpn0", "mode", "tun"],
                    ["ip", "addr", "add", "10.8.0.2/24", "dev", "vpn0"], ["ip", "link", "set", "vpn0", "up"]):
        lab.configure(net.ws, command)
    for user in (None, "nobody"):
        listed = cli(lab, net, front, "interfaces", "--json", user=user)
        check(sorted((i["name"], i["address"], i["skipped"] or "") for i in listed.rows) == [
            ("dn0", "10.9.0.1", "down"), ("docker0", "172.17.0.1", "no carrier"), ("lo", "127.0.0.1", "loopback"),
            ("na0", "", "no IPv4 address"), ("na1", "", "no IPv4 address"),
            ("vpn0", "10.8.0.2", "point-to-point, no broadcast"), ("ws0", "10.1.0.1", "")] and
            listed.rows[0]["name"] == "ws0",
            "interfaces: those skipped, with the reason", listed.stdout)
        chosen = cli(lab, net, front, "search", "--interface", "docker0", user=user)
        check(chosen.returncode == 2 and stderr_lines(chosen)[0] == "scout-cli: the interface 'docker0' is not "
              "searched: no carrier (scout-cli interfaces lists them)", "search: the bridge is refused, with why",
              chosen.returncode, chosen.stderr)


if __name__ == "__main__":
    from e2e import main
    sys.exit(main(CASES, __doc__))
