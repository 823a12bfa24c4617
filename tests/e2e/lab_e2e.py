#!/usr/bin/env python3
"""The lab's own programs as a test bench meets them: scout-lab's and
scout-sim's answers to ordinary mistakes, scout-lab run on the terminal (its
input, its exit status, its time limit, Ctrl-C), and the simulator's log as
JSON whatever the interface is called."""

import os
import signal
import subprocess
import sys
import time

from e2e import ROOT, build_topology, case_registry, check
from scoutlab import namespace_prefix, windows_build

CASES, case = case_registry()
SCOUT_LAB = os.path.join(ROOT, "lab/scout-lab")
DEMO = os.path.join(ROOT, "lab/examples/demo.conf")


def scout_lab(*args, **kw):
    return subprocess.run([sys.executable, SCOUT_LAB] + list(args), capture_output=True, text=True, timeout=120, **kw)


def lab_mistakes(work):
    bad_utf8 = os.path.join(work, "latin1.conf")
    with open(bad_utf8, "wb") as f:
        f.write(b"address=10.1.0.20 version=caf\xe9\n")
    long_line = os.path.join(work, "long.conf")
    with open(long_line, "w") as f:
        f.write("address=10.1.0.20 version=" + "v" * 5000 + "\n")
    bad_line = os.path.join(work, "fifth.conf")
    with open(bad_line, "w") as f:
        f.write("# a comment\n\naddress=10.1.0.20\naddress=10.1.0.21  # fine\naddress=10.1.0.22 colour=red\n")
    own = os.path.join(work, "own.conf")
    with open(own, "w") as f:
        f.write("address=10.1.0.20\nhost 10.1.0.1 mac=02:00:5e:77:00:01\n")
    return [
        (("run", "single", "--sim", "0=" + own, "--", "true"),
         "%s, line 2: 10.1.0.1 is the workstation's own address on this segment" % own),
        (("run", "nowhere", "--", "true"), "unknown topology 'nowhere' (one of: single, two-segments, four-segments, "
                                          "sixteen-segments, shared-segment, same-address, loopback, large)"),
        (("run", "single", "--sim", "0", "--", "true"),
         "--sim takes N=FILE (a segment number and a controller file), not '0'"),
        (("run", "single", "--sim", "x=" + DEMO, "--", "true"),
         "--sim x=%s: the topology single has no segment 'x' (it has segment 0)" % DEMO),
        (("run", "single", "--sim=-1=" + DEMO, "--", "true"),
         "--sim -1=%s: the topology single has no segment '-1' (it has segment 0)" % DEMO),
        (("run", "two-segments", "--sim", "2=" + DEMO, "--", "true"),
         "--sim 2=%s: the topology two-segments has no segment '2' (it has segments 0 to 1)" % DEMO),
        (("run", "single", "--sim", "0=/nonexistent.conf", "--", "true"), "no controller file /nonexistent.conf"),
        (("run", "single", "--sim", "0=" + work, "--", "true"), "the controller file %s is a directory" % work),
        (("run", "single", "--sim", "0=/dev/zero", "--", "true"),
         "the controller file /dev/zero has a NUL byte at line 1"),
        (("run", "single", "--sim", "0=" + long_line, "--", "true"),
         "scout-sim: %s:1: a line longer than 4096 bytes" % long_line),
        (("run", "single", "--sim", "0=x\x1b[2J" + "y" * 100000, "--", "true"),
         "no controller file x\\x1b[2J" + "y" * 195 + "..."),
        (("run", "single", "--sim", "0=" + bad_utf8, "--", "true"),
         "the controller file %s is not UTF-8 (byte 30)" % bad_utf8),
        (("run", "single", "--sim", "0=" + bad_line, "--", "true"),
         "scout-sim: %s:5: unknown key 'colour'" % bad_line),
        (("run", "single"), "run needs a command after --"),
        (("run", "single", "--timeout", "0", "--", "true"), "--timeout takes seconds above 0"),
        (("run", "single", "--timeout", "soon", "--", "true"),
         "argument --timeout: invalid float value: 'soon' (scout-lab --help)"),
        (("bogus",), "argument action: invalid choice: 'bogus' (choose from 'demo', 'run', 'topologies') "
                     "(scout-lab --help)"),
    ]


def sim_mistakes(work):
    return [
        (("--address", "10.1.0.20", "--delay", "0-4294967295"),
         "bad value '0-4294967295' for delay (MS or MIN-MAX, 0 to 60000, MIN not above MAX)"),
        (("--address", "10.1.0.20", "--flood", "100000000"), "bad value '100000000' for --flood (0 to 10000000)"),
        (("--address", "10.1.0.20", "--flood-ms", "-1"), "bad value '-1' for --flood-ms (0 to 60000)"),
        (("--address", "10.1.0.20", "--seed", "4294967296"), "bad value '4294967296' for --seed (0 to 4294967295)"),
        (("--controller", "address=10.1.0.20 twice=2"), "bad value '2' for twice"),
        (("--controller", "address=10.1.0.20 bad-magic=maybe"), "bad value 'maybe' for bad-magic"),
        (("--controller", "address=10.1.0.20 online-ms=5000 off-ms=2000"),
         "off-ms 2000 is not after online-ms 5000: the controller would never answer"),
        (("--controller", "host 10.1.0.77 model=1A2B"),
         "'model' is no key of a host line (address, mac, answer-ms, chatter)"),
        (("--controller", "address=10.1.0.20 length=1401"), "bad value '1401' for length"),
        (("--address", "10.1.0.20", "--version", "a#b"), "bad value 'a#b' for --version"),
        (("--config", work), "cannot read %s: it is a directory" % work),
        (("--config", "/dev/zero"), "/dev/zero:1: a NUL byte in the line"),
        (("--controller", "address=0.0.0.0"), "bad value '0.0.0.0' for address"),
        (("--controller", "address=255.255.255.255"), "bad value '255.255.255.255' for address"),
        (("--controller", "address=224.0.0.1"), "bad value '224.0.0.1' for address"),
        (("--controller", "address=127.0.0.1"), "bad value '127.0.0.1' for address"),
        (("--controller", "address=10.1.0.20 default=0.1.2.3/8"), "bad value '0.1.2.3/8' for default"),
        (("--controller", "address=10.1.0.20 mask=255.0.255.0"), "bad value '255.0.255.0' for mask"),
        (("--controller", "address=10.1.0.20 address=10.1.0.21"), "'address' given twice"),
        (("--controller", "address=10.1.0.20 version=" + "\x07" * 100000),
         "bad value '" + "\\x07" * 200 + "...' for version"),
        (("--config", "/nonexistent.conf"), "cannot read /nonexistent.conf: No such file or directory"),
        (("--address",), "missing value for --address"),
        ((), "no controller given"),
        (("stray",), "unexpected argument stray"),
    ]


@case(builds=("linux",))
def mistakes(lab, front_for):
    """Each mistake: one line, exit status 2, no traceback, nothing started."""
    work = lab.workdir
    helped = scout_lab("run", "--help")
    check(helped.returncode == 0 and "-- COMMAND [ARGUMENT...]" in helped.stdout and
          "--timeout SECONDS" in helped.stdout and "large" in helped.stdout, "run --help says how to run",
          helped.stdout)
    for args, line in lab_mistakes(work):
        result = scout_lab(*args)
        check(result.returncode == 2 and result.stderr == "scout-lab: %s\n" % line and result.stdout == "",
              "scout-lab mistake", args, result.returncode, result.stdout, result.stderr)
    # scout-sim answers in a namespace of its own: a mistake taken for a controller would listen there.
    net = build_topology(lab, "single")
    sim = os.environ["SCOUT_SIM"]
    for args, line in sim_mistakes(work):
        result = lab.run(net.segments[0].ns, [sim] + list(args), timeout=10)
        check(result.returncode == 2 and result.stderr ==
              "scout-sim: %s\nTry 'scout-sim --help' for more information.\n" % line,
              "scout-sim mistake", args, result.returncode, result.stderr)


def namespaces(pid):
    """The namespaces of the lab that the scout-lab of process pid made (other
    labs may come and go beside this case)."""
    out = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    prefix = namespace_prefix(pid) + "-"
    return sorted(line.split()[0] for line in out.splitlines() if line.startswith(prefix))


def started_lab():
    """scout-lab running `sleep 60` in a lab of its own (in a session of its
    own), once its namespaces are there."""
    proc = subprocess.Popen([sys.executable, SCOUT_LAB, "run", "single", "--sim", "0=" + DEMO, "--", "sleep", "60"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, start_new_session=True)
    deadline = time.time() + 30
    while len(namespaces(proc.pid)) < 2 and time.time() < deadline:
        time.sleep(0.05)
    check(len(namespaces(proc.pid)) == 2, "scout-lab made its lab", namespaces(proc.pid))
    time.sleep(0.3)
    return proc


@case(builds=("linux",), sanitizer=False)
def run_on_the_terminal(lab, front_for):
    """The command gets scout-lab's own input and output and its exit status
    is scout-lab's; --timeout stops it; Ctrl-C ends the command and the lab,
    whose namespaces are all gone afterwards."""
    result = scout_lab("run", "single", "--sim", "0=" + DEMO, "--", "sh", "-c",
                       "read line; echo \"got $line\"; ip -brief address show ws0; exit 3", input="hello\n")
    check(result.returncode == 3 and result.stdout.startswith("got hello\nws0") and "10.1.0.1/24" in result.stdout,
          "input, output and exit status are the command's", result.returncode, result.stdout, result.stderr)
    timed = scout_lab("run", "single", "--timeout", "1", "--", "sleep", "60")
    check(timed.returncode == 124 and timed.stderr == "scout-lab: the command ran past --timeout 1 s; stopped\n",
          "--timeout", timed.returncode, timed.stderr)
    proc = started_lab()
    os.killpg(proc.pid, signal.SIGINT)  # what Ctrl-C does: the whole foreground group
    out, err = proc.communicate(timeout=30)
    check(proc.returncode == 130, "Ctrl-C: the command's status", proc.returncode, err)
    check(namespaces(proc.pid) == [], "every namespace removed", namespaces(proc.pid))


@case(builds=("linux",), sanitizer=False)
def signals_clean_up(lab, front_for):
    """SIGTERM and SIGHUP (a closed terminal) sent to scout-lab alone end the
    command and the lab: its namespaces and its scout-sim are gone, and it
    exits with the signal's status."""
    for sig in (signal.SIGTERM, signal.SIGHUP):
        proc = started_lab()
        proc.send_signal(sig)
        try:
            out, err = proc.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            check(False, "scout-lab ended on %s" % sig.name)
        check(proc.returncode == 128 + sig, "%s: its status" % sig.name, proc.returncode, err)
        check(namespaces(proc.pid) == [], "%s: every namespace removed" % sig.name, namespaces(proc.pid))
        left = subprocess.run(["pgrep", "-s", str(proc.pid)], capture_output=True, text=True).stdout.split()
        check(left == [], "%s: nothing of its session runs on" % sig.name, left)


def readme_lab_examples():
    """The `lab/scout-lab run` examples of the README and of docs/lab.md,
    continuation lines joined."""
    lines = []
    for page in ("README.md", "docs/lab.md"):
        with open(os.path.join(ROOT, page)) as f:
            lines += f.read().splitlines()
    examples, current = [], ""
    for line in lines:
        text = line.strip()
        if current:
            current += " " + text.rstrip("\\").strip()
        elif text.startswith("lab/scout-lab run "):
            current = text.rstrip("\\").strip()
        if current and not text.endswith("\\"):
            examples.append(current.split("#")[0].strip())
            current = ""
    return examples


@case(builds=("linux",), sanitizer=False)
def readme_examples(lab, front_for):
    """The lab examples of the README and docs/lab.md run as written, from the
    top of the tree (a shell for `-- bash`, with the lines it is given)."""
    examples = readme_lab_examples()
    check(len(examples) >= 3, "the README shows its lab examples", examples)
    env = dict(os.environ, XDG_CACHE_HOME=lab.workdir)
    for example in examples:
        if "build/win32/" in example and windows_build() == "win64":
            print("this machine runs no 32-bit program: %s runs with build/win64" % example)
            example = example.replace("build/win32/", "build/win64/")
        words = example.split()
        result = subprocess.run([sys.executable] + words, cwd=ROOT, capture_output=True, text=True, timeout=300,
                                env=env, input="ip -brief address show ws0\n")
        # An example that runs until stopped ends by scout-lab's --timeout (124).
        ended = result.returncode == 0 or (result.returncode == 124 and "--timeout" in words)
        check(ended and "10.1.0.1" in result.stdout, "a README example runs as written", example,
              result.returncode, result.stdout, result.stderr)


@case(builds=("linux",))
def sim_log_is_json(lab, front_for):
    """Whatever the interface is called (a name may hold " and \\), every log
    line is JSON, and the lab's reader reads each."""
    net = build_topology(lab, "single")
    ns = net.segments[0].ns
    name = 'b"r\\1'
    lab.configure(ns, ["ip", "link", "set", "br0", "down"])
    lab.configure(ns, ["ip", "link", "set", "br0", "name", name])
    lab.configure(ns, ["ip", "link", "set", name, "up"])
    sim = lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1 version=v revision=r"])
    result = front_for(net).search_json()
    check([r["address"] for r in result.rows] == ["10.1.0.20"], "the search still works", result.stdout)
    queries = [d for d in sim.datagrams() if d["action"] == "query"]
    check(len(queries) == 1 and queries[0]["interface"] == name, "the interface's name read back", queries)


if __name__ == "__main__":
    from e2e import main
    sys.exit(main(CASES, __doc__))
