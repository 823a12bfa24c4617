"""Shared parts of the end-to-end tests: every one builds its own lab
(namespaces made for it and torn down after it) and drives a real front end
inside the lab's workstation namespace, never anywhere else."""

import argparse
import json
import os
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "lab"))

from scoutlab import Lab, LabError, build_topology, controller_lines  # noqa: E402,F401


class Failure(Exception):
    pass


def check(condition, message, *details):
    if not condition:
        raise Failure(message + "".join("\n  " + brief(d) for d in details))


def brief(detail, limit=2000):
    text = str(detail)
    return text if len(text) <= limit else text[:limit] + "... (%d characters)" % len(text)


class Front:
    """scout-cli of one build, run inside the workstation namespace."""

    def __init__(self, lab, net, build, paths):
        self.lab, self.net, self.build = lab, net, build
        if build == "linux":
            self.program = os.path.join(paths.linux_bin, "scout-cli")
        else:
            self.program = os.path.join(paths.win32_bin, "scout-cli.exe")
            self.wineprefix = lab.own_wine_prefix(paths.wineprefix)
            lab.start_wine(net.ws, self.wineprefix)

    def cli(self, *args, timeout=120, text=True):
        """Runs scout-cli; with text=False its output is left as the bytes it wrote."""
        start = time.monotonic()
        if self.build == "linux":
            result = self.lab.run(self.net.ws, [self.program] + list(args), timeout=timeout, text=text)
        else:
            result = self.lab.run_wine(self.net.ws, self.wineprefix, [self.program] + list(args), timeout=timeout,
                                       text=text)
        result.elapsed = time.monotonic() - start
        return result

    def shell(self, command_line):
        """Runs "scout-cli COMMAND_LINE" through sh, for redirections."""
        import shlex
        if self.build == "linux":
            argv, env = ["sh", "-c", shlex.quote(self.program) + " " + command_line], None
        else:
            argv, env = ["sh", "-c", "wine " + shlex.quote(self.program) + " " + command_line], \
                self.lab.wine_env(self.wineprefix)
        return self.lab.run(self.net.ws, argv, env=env)

    def start(self, *args):
        """Starts scout-cli without waiting; its output is piped as text."""
        if self.build == "linux":
            argv, env = [self.program] + list(args), None
        else:
            argv, env = ["wine", self.program] + list(args), self.lab.wine_env(self.wineprefix)
        return self.lab.popen(self.net.ws, argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def search_json(self, *extra):
        result = self.cli("search", "--json", *extra)
        try:
            result.rows = json.loads(result.stdout)
        except ValueError:
            raise Failure("search --json printed no JSON (exit %d):\n%s\nstderr:\n%s" %
                          (result.returncode, result.stdout, result.stderr))
        return result


class Case:
    def __init__(self, function, builds, sanitizer, alone):
        self.function, self.builds, self.sanitizer, self.alone = function, builds, sanitizer, alone


def case_registry():
    """A table of a script's cases and the decorator that fills it: each case
    is named after its function, with dashes, and runs for both builds (and in
    the sanitizer build) unless the decorator says otherwise. Cases run side by
    side, each in its own lab; alone=True runs one by itself: a case that
    measures what this machine can produce (a flood, 1,000 replies at once) or
    that changes a setting of the whole machine (net.core.rmem_max). CTest
    learns the cases from this table (tests/e2e/cases.py --list), nowhere else."""
    cases = {}

    def case(function=None, *, builds=("linux", "win32"), sanitizer=True, alone=False):
        def register(f):
            cases[f.__name__.replace("_", "-")] = Case(f, tuple(builds), sanitizer, alone)
            return f
        return register(function) if function is not None else register

    return cases, case


def hold_port(lab, net):
    """Another program of the workstation that holds UDP port 65513 on all its
    addresses until killed."""
    holder = lab.popen(net.ws, [sys.executable, "-c",
                                "import socket, sys, time\n"
                                "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                                "s.bind(('0.0.0.0', 65513))\n"
                                "print('bound', flush=True)\n"
                                "time.sleep(120)\n"], stdout=subprocess.PIPE, text=True)
    check(holder.stdout.readline().strip() == "bound", "another program holds port 65513")
    return holder


def rows_of(result, *keys):
    keys = keys or ("address", "model", "version", "revision", "interface")
    return [tuple(row[k] for k in keys) for row in result.rows]


def read_json_events(proc, done, seconds=45):
    """The JSON lines a running program (a watch) writes, until done(events)
    or the time is up."""
    import select
    events, buffered = [], ""
    deadline = time.time() + seconds
    while time.time() < deadline and not done(events):
        ready, _, _ = select.select([proc.stdout], [], [], 0.5)
        if not ready:
            continue
        chunk = os.read(proc.stdout.fileno(), 65536).decode()
        if not chunk:
            break
        buffered += chunk
        while "\n" in buffered:
            line, buffered = buffered.split("\n", 1)
            events.append(json.loads(line))
    return events


def stderr_lines(result):
    return [line for line in result.stderr.splitlines() if line.strip()]


def main(cases, description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--build", choices=["linux", "win32"], required=True)
    parser.add_argument("--linux-bin", default=os.path.join(ROOT, "build/linux/bin"))
    parser.add_argument("--win32-bin", default=os.path.join(ROOT, "build/win32/bin"))
    parser.add_argument("--wineprefix", default=os.path.join(ROOT, "build/win32/wineprefix-lab"))
    parser.add_argument("case", choices=sorted(cases))
    paths = parser.parse_args()
    if paths.build not in cases[paths.case].builds:
        print("%s is not a case of the %s build" % (paths.case, paths.build))
        return 2
    os.environ.setdefault("SCOUT_SIM", os.path.join(paths.linux_bin, "scout-sim"))
    os.environ["SCOUT_LINUX_BIN"] = paths.linux_bin
    try:
        with Lab() as lab:
            # The record of changes of every command a case sends stays in the case's lab.
            os.environ["XDG_STATE_HOME"] = os.path.join(lab.workdir, "state")
            cases[paths.case].function(lab, lambda net: Front(lab, net, paths.build, paths))
    except (Failure, LabError) as error:
        print("FAILED %s (%s): %s" % (paths.case, paths.build, error))
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    print("passed %s (%s)" % (paths.case, paths.build))
    return 0
