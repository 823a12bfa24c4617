"""Throw-away namespaced networks for Ethernet Scout: a workstation namespace
that looks to Wine like a Windows host, segments with virtual controllers
(scout-sim), and a runner that starts nothing outside the namespaces it made.

    with Lab() as lab:
        net = build_topology(lab, "single")
        lab.start_sim(net.segments[0], ["address=10.1.0.50 model=1A2B version=1.2 revision=B"])
        result = lab.run(net.ws, ["scout-cli", "search", "--json"])

Everything is torn down on exit, on an exception and on SIGINT, SIGTERM and
SIGHUP (a closed terminal).
"""

import atexit
import functools
import glob
import ipaddress
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
# Written once, in VERSION at the top of the tree (installed beside the lab).
with open(os.path.join(ROOT, "VERSION")) as _version:
    VERSION = _version.read().strip()


def program(name):
    """A program of the native build when run from the source tree, else the installed one."""
    built = os.path.join(ROOT, "build/linux/bin", name)
    return built if os.path.exists(built) else (shutil.which(name) or name)


class LabError(Exception):
    pass


def namespace_prefix(pid):
    """The first part of the names of a lab's namespaces: "sl" and the lab's
    process, and where the lab is one of a test run's (SCOUT_LAB_RUN), "r" and
    the run's mark, so that a run finds what it left behind and nothing that
    another lab on the machine made."""
    mark = os.environ.get("SCOUT_LAB_RUN", "")
    return "sl%d%s" % (pid % 100000, "r" + mark if mark else "")


class SimRefused(LabError):
    """scout-sim refused its options or its controller file (the message says why)."""


class Segment:
    """One broadcast domain: a namespace with a bridge that the workstation's
    interfaces and the controllers of one scout-sim share."""

    def __init__(self, network, workstation_hosts=(1,)):
        self.network = ipaddress.ip_network(network)
        self.workstation_hosts = list(workstation_hosts)
        self.ns = None
        self.workstation_addresses = []

    def host(self, n):
        return str(self.network.network_address + n)


class Network:
    def __init__(self, ws, segments):
        self.ws = ws
        self.segments = segments

    def workstation_addresses(self):
        return [a for s in self.segments for a in s.workstation_addresses]


# Each topology's segments, made afresh for each lab; the one list of topologies.
TOPOLOGY_SEGMENTS = {
    "single": lambda: [Segment("10.1.0.0/24")],
    "two-segments": lambda: [Segment("10.1.0.0/24"), Segment("10.2.0.0/24")],
    "four-segments": lambda: [Segment("10.%d.0.0/24" % i) for i in range(1, 5)],
    "sixteen-segments": lambda: [Segment("10.%d.0.0/24" % i) for i in range(1, 17)],
    # Two workstation interfaces on one segment: each controller is heard twice.
    "shared-segment": lambda: [Segment("10.1.0.0/24", workstation_hosts=(1, 2))],
    # Two segments of the same subnet, the workstation 10.1.0.1 on both.
    "same-address": lambda: [Segment("10.1.0.0/24"), Segment("10.1.0.0/24")],
    "loopback": lambda: [],
    "large": lambda: [Segment("10.1.0.0/16")],
}
TOPOLOGIES = list(TOPOLOGY_SEGMENTS)

# How the workstation is set up, beside its topology: "clean" as a lab host;
# "laptop" as field laptops are (systemd's loose reverse-path filter on every
# interface, offline: no default route, a container bridge up with no
# carrier); "laptop-wifi" as one online by Wi-Fi (a default route by wlan0,
# the strict filter of other distributions).
PROFILES = {
    "clean": {"rp_filter": 0, "wifi": False, "container_bridge": False},
    "laptop": {"rp_filter": 2, "wifi": False, "container_bridge": True},
    "laptop-wifi": {"rp_filter": 1, "wifi": True, "container_bridge": True},
}
WIFI_ADDRESS, WIFI_GATEWAY = "192.168.178.23/24", "192.168.178.1"
CONTAINER_BRIDGE_ADDRESS = "172.17.0.1/16"


def topology_segments(name):
    if name not in TOPOLOGY_SEGMENTS:
        raise LabError("unknown topology %r (one of: %s)" % (name, ", ".join(TOPOLOGIES)))
    return TOPOLOGY_SEGMENTS[name]()


def refuse_workstation_addresses(config, addresses):
    """A controller or host line at an address of the workstation's own on
    that segment would answer for the workstation itself: refused, with its
    line, before scout-sim starts."""
    try:
        with open(config, encoding="utf-8", errors="replace") as f:
            lines = f.read().split("\n")
    except OSError:
        return
    for number, line in enumerate(lines, 1):
        words = line.split("#", 1)[0].split()
        address = None
        if words[:1] == ["host"] and len(words) > 1:
            address = words[1].split("=", 1)[-1]
        for word in words:
            if word.startswith("address="):
                address = word[len("address="):]
        if address is not None and address.split("/")[0] in addresses:
            raise SimRefused("%s, line %d: %s is the workstation's own address on this segment" %
                             (config, number, address.split("/")[0]))


class Lab:
    """Owns a set of namespaces and every process started in them."""

    def __init__(self, keep_logs=False):
        if os.geteuid() != 0:
            raise LabError("the lab needs root (it makes network namespaces)")
        self.prefix = namespace_prefix(os.getpid())
        self.namespaces = []
        self.processes = []
        self.wine_prefixes = []
        self.mounts = []
        self.workdir = tempfile.mkdtemp(prefix="scout-lab-")
        self.keep_logs = keep_logs
        self._closed = False
        self._closing = False
        self._previous_handlers = {}

    # --- lifetime -------------------------------------------------------
    def __enter__(self):
        atexit.register(self.close)
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            self._previous_handlers[sig] = signal.signal(sig, self._on_signal)
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _on_signal(self, signum, frame):
        # The handler only unwinds: the clean-up runs in __exit__ (or atexit),
        # outside the handler, where no wait of the interrupted code holds the
        # lock a wait of the clean-up would need. A second signal during the
        # clean-up lets it finish.
        if self._closing:
            return
        raise SystemExit(128 + signum)

    def close(self):
        if self._closed:
            return
        self._closed = True
        self._closing = True
        for wineprefix, ns in self.wine_prefixes:
            self._wineserver_kill(wineprefix, ns)
        for mount in reversed(self.mounts):
            if subprocess.run(["umount", mount], capture_output=True).returncode != 0:
                subprocess.run(["umount", "-l", mount], capture_output=True)
        self.mounts = []
        for proc in self.processes:
            if proc.poll() is None:
                proc.terminate()
        for proc in self.processes:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        for ns in reversed(self.namespaces):
            # The locks scout-cli took for the namespace's interfaces, named
            # after the namespace's identity (the inode of its file).
            try:
                identity = os.stat("/run/netns/" + ns).st_ino
                for lock in glob.glob("/run/lock/ethernet-scout-net%d-*.lock" % identity):
                    os.unlink(lock)
            except OSError:
                pass
            pids = subprocess.run(["ip", "netns", "pids", ns], capture_output=True, text=True).stdout.split()
            for pid in pids:
                try:
                    os.kill(int(pid), signal.SIGKILL)
                except (ProcessLookupError, ValueError):
                    pass
            # A namespace that will not go is tried again for a moment (a
            # mount busy elsewhere lets go), then said, so that what is left
            # behind names the lab that left it.
            for attempt in range(5):
                gone = subprocess.run(["ip", "netns", "del", ns], capture_output=True, text=True)
                if gone.returncode == 0 or not os.path.exists("/run/netns/" + ns):
                    break
                time.sleep(0.1 * 2 ** attempt)
            else:
                sys.stderr.write("scout-lab: the namespace %s could not be removed: %s\n" %
                                 (ns, gone.stderr.strip()))
        self.namespaces = []
        for sig, handler in self._previous_handlers.items():
            signal.signal(sig, handler)
        if not self.keep_logs:
            shutil.rmtree(self.workdir, ignore_errors=True)

    # --- namespaces -----------------------------------------------------
    def ip(self, *args):
        """An ip command on the host side, for what spans namespaces (veth pairs)."""
        self._host(["ip"] + list(args))

    def _host(self, argv):
        """Configuration commands on the host side (ip netns add, ip link set ... netns)."""
        result = subprocess.run(argv, capture_output=True, text=True)
        if result.returncode != 0:
            raise LabError("%s: %s" % (" ".join(argv), result.stderr.strip()))

    def add_namespace(self, role):
        name = "%s-%s" % (self.prefix, role)
        self.ip("netns", "add", name)
        self.namespaces.append(name)
        self.configure(name, ["ip", "link", "set", "lo", "up"])
        return name

    def _check(self, ns):
        if ns not in self.namespaces:
            raise LabError("refusing to run outside the lab's own namespaces (asked for %r)" % ns)

    def configure(self, ns, argv):
        self._check(ns)
        self._host(["ip", "netns", "exec", ns] + argv)

    def run(self, ns, argv, timeout=120, env=None, input=None, text=True):
        """Runs argv inside ns and waits; returns the CompletedProcess (text,
        or bytes as they were written with text=False)."""
        self._check(ns)
        return subprocess.run(["ip", "netns", "exec", ns] + argv, capture_output=True, text=text,
                              timeout=timeout, env=env, input=input)

    def popen(self, ns, argv, env=None, **kw):
        self._check(ns)
        proc = subprocess.Popen(["ip", "netns", "exec", ns] + argv, env=env, **kw)
        self.processes.append(proc)
        return proc

    # --- controllers ----------------------------------------------------
    def start_sim(self, segment, controller_lines=None, extra_args=(), sim=None, config=None):
        """Starts scout-sim in segment's namespace with one controller per line,
        or with the controller file config as it is (its own line numbers in
        any message); returns a SimHandle whose log can be read. A file that
        scout-sim refuses raises SimRefused with its message."""
        sim = sim or os.environ.get("SCOUT_SIM") or program("scout-sim")
        index = len(self.processes)
        log = os.path.join(self.workdir, "sim%d.log" % index)
        if config is None:
            config = os.path.join(self.workdir, "sim%d.conf" % index)
            with open(config, "w") as f:
                f.write("\n".join(controller_lines) + "\n")
        refuse_workstation_addresses(config, segment.workstation_addresses)
        stderr = open(os.path.join(self.workdir, "sim%d.err" % index), "w")
        # Each scout-sim's controllers have MACs of their own: 02:00:5e:1<n>:00:01 and on.
        first_mac = "02:00:5e:%02x:00:01" % (0x10 + index % 0xf0)
        proc = self.popen(segment.ns, [sim, "--config", config, "--log", log, "--first-mac", first_mac] +
                          list(extra_args),
                          stdout=subprocess.DEVNULL, stderr=stderr)
        handle = SimHandle(proc, log)
        deadline = time.time() + 10
        while time.time() < deadline:
            if any(e.get("event") == "ready" for e in handle.events()):
                return handle
            if proc.poll() is not None:
                with open(stderr.name) as f:
                    message = f.read().splitlines()
                raise SimRefused(message[0] if message else "scout-sim exited with status %d" % proc.returncode)
            time.sleep(0.02)
        raise LabError("scout-sim did not start")

    # --- Wine -----------------------------------------------------------
    def _wineserver_pids(self, wineprefix):
        pids = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/comm" % pid) as f:
                    if not f.read().startswith("wineserver"):
                        continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    env = f.read().split(b"\0")
            except OSError:
                continue
            if ("WINEPREFIX=" + wineprefix).encode() in env:
                pids.append(int(pid))
        return pids

    def wine_env(self, wineprefix):
        return wine_env(wineprefix)

    def mount_tmpfs(self, folder, size):
        """A tmpfs of size (as mount takes it: "8k") at folder in the lab's own
        folder, gone with the lab: a small disk that fills up. Mount it before
        start_wine: Wine's server opens the files of its programs, and sees the
        mounts of the moment it started."""
        if not os.path.realpath(folder).startswith(os.path.realpath(self.workdir) + os.sep):
            raise LabError("refusing to mount outside the lab's folder (asked for %r)" % folder)
        os.makedirs(folder, exist_ok=True)
        self._host(["mount", "-t", "tmpfs", "-o", "size=%s,mode=0755" % size, "tmpfs", folder])
        self.mounts.append(folder)
        return folder

    def own_wine_prefix(self, template):
        """A Wine prefix of this lab's own, made from template (a prefix that
        make_wine_prefix made) and gone with the lab, so that labs run side by
        side each with its own server: an overlay over the template where the
        system allows one (nothing copied), else a copy."""
        if not os.path.isfile(os.path.join(template, WINE_PREFIX_MARK)):
            raise LabError("no Wine prefix at %s (scripts/wine-prefix create)" % template)
        own = os.path.join(self.workdir, "wineprefix")
        if os.path.isfile(os.path.join(own, WINE_PREFIX_MARK)):
            return own
        upper, work = os.path.join(self.workdir, "wine-upper"), os.path.join(self.workdir, "wine-work")
        for folder in (own, upper, work):
            os.makedirs(folder)
        mounted = subprocess.run(["mount", "-t", "overlay", "overlay", "-o",
                                  "lowerdir=%s,upperdir=%s,workdir=%s" % (os.path.abspath(template), upper, work),
                                  own], capture_output=True)
        if mounted.returncode == 0:
            self.mounts.append(own)
        else:
            os.rmdir(own)
            shutil.copytree(template, own, symlinks=True)
        return own

    def _wineserver_kill(self, wineprefix, ns):
        if ns in self.namespaces:
            subprocess.run(["ip", "netns", "exec", ns, "wineserver", "-k"], env=self.wine_env(wineprefix),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for pid in self._wineserver_pids(wineprefix):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def start_wine(self, ns, wineprefix):
        """Starts the prefix's wineserver and services inside ns. Wine's sockets
        and interface list follow the namespace of its server, so a server
        anywhere else is stopped first, and the new one is checked to be in ns."""
        self._check(ns)
        if not os.path.isfile(os.path.join(wineprefix, WINE_PREFIX_MARK)):
            raise LabError("no Wine prefix at %s (scripts/wine-prefix create)" % wineprefix)
        for pid in self._wineserver_pids(wineprefix):
            os.kill(pid, signal.SIGKILL)
        self.wine_prefixes.append((wineprefix, ns))
        env = self.wine_env(wineprefix)
        # Wine's server and services outlive these calls: none may hold our pipes.
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["ip", "netns", "exec", ns, "wineserver", "-p"], env=env, timeout=60, **quiet)
        subprocess.run(["ip", "netns", "exec", ns, "wine", "wineboot"], env=env, timeout=120, **quiet)
        # The first program after the boot has now and then hung, or ended
        # without a word (each time the first of its case): a trivial one runs
        # first, again if it hangs, so that the case's own meets a settled Wine.
        for _ in range(3):
            try:
                subprocess.run(["ip", "netns", "exec", ns, "wine", "cmd", "/c", "exit", "0"], env=env, timeout=30,
                               **quiet)
                break
            except subprocess.TimeoutExpired:
                continue
        ns_inode = os.stat("/run/netns/" + ns).st_ino
        pids = self._wineserver_pids(wineprefix)
        if not pids:
            raise LabError("wineserver did not start")
        for pid in pids:
            if os.stat("/proc/%d/ns/net" % pid).st_ino != ns_inode:
                raise LabError("refusing: a wineserver of %s runs outside %s" % (wineprefix, ns))
        return env

    def run_wine(self, ns, wineprefix, argv, timeout=120, text=True):
        """Runs a Windows program in ns under the prefix whose server start_wine put there."""
        self._check(ns)
        ns_inode = os.stat("/run/netns/" + ns).st_ino
        pids = self._wineserver_pids(wineprefix)
        if not pids or any(os.stat("/proc/%d/ns/net" % p).st_ino != ns_inode for p in pids):
            raise LabError("refusing: the wineserver of %s is not inside %s" % (wineprefix, ns))
        result = self.run(ns, ["wine"] + list(argv), env=self.wine_env(wineprefix), timeout=timeout, text=text)
        if result.returncode != 0 and not result.stdout and not result.stderr:
            # Seen twice in some thousand runs under Wine (never outside it, never
            # when repeated): a program that ended non-zero without a word. None
            # of ours does that, so it is run once more, and said.
            print("NOTE: under Wine, %s ended with %d and wrote nothing; ran it again" %
                  (" ".join(argv), result.returncode), file=sys.stderr, flush=True)
            result = self.run(ns, ["wine"] + list(argv), env=self.wine_env(wineprefix), timeout=timeout, text=text)
        return result


WINE_PREFIX_MARK = ".scout-ready"


WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"


def loader_runs(loader):
    """Whether one of Wine's loaders starts here: it may be missing (Debian's
    wine32:i386 not installed, as on a day its index cannot be fetched), or
    refused by a kernel built without 32-bit support ("Exec format error")."""
    if not os.path.exists(loader):
        return False
    try:
        return subprocess.run([loader, "--version"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def windows_build_and_reason(wine32=WINE32_LOADER, wine64=WINE64_LOADER):
    """The Windows build whose programs run here under Wine, and why when it is
    not the shipped one: the 32-bit build where Wine's 32-bit loader runs, else
    a 64-bit build of the same sources where the 64-bit loader does. Where
    neither runs, the 32-bit one: its tests then fail and say that Wine is
    missing."""
    if loader_runs(wine32):
        return "win32", ""
    if not loader_runs(wine64):
        return "win32", ""
    if os.path.exists(wine32):
        return "win64", "Wine's 32-bit loader does not run here"
    return "win64", "the 32-bit Wine (wine32:i386) is not installed"


def windows_build():
    return _windows_build_cached()


def _wine64_commands():
    """A folder whose wine, wine-stable and wineboot start Wine's 64-bit loader
    (Debian's own start the 32-bit one whenever it is installed)."""
    folder = os.path.join(tempfile.gettempdir(), "scout-wine64-%d" % os.getuid())
    os.makedirs(folder, exist_ok=True)
    for name, line in (("wine", 'exec %s "$@"' % WINE64_LOADER), ("wine-stable", 'exec %s "$@"' % WINE64_LOADER),
                       ("wineboot", 'exec %s wineboot "$@"' % WINE64_LOADER)):
        path = os.path.join(folder, name)
        text = "#!/bin/sh\n" + line + "\n"
        try:
            with open(path) as f:
                current = f.read()
        except OSError:
            current = None
        if current != text:
            with open(path + ".new", "w") as f:
                f.write(text)
            os.chmod(path + ".new", 0o755)
            os.replace(path + ".new", path)
    return folder


@functools.lru_cache(maxsize=None)
def _windows_build_cached():
    return windows_build_and_reason()[0]


def wine_env(wineprefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=wineprefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    if _windows_build_cached() == "win32":
        env["WINEARCH"] = "win32"
    else:
        env["WINEARCH"] = "win64"
        env["PATH"] = _wine64_commands() + os.pathsep + env.get("PATH", os.defpath)
    return env


def make_wine_prefix(wineprefix, display=False):
    """Makes a 32-bit Wine prefix for the lab's Windows programs, once (about
    10 s): windows are made without a display unless display is set (for
    screenshots under Xvfb), and a crash never waits for a click."""
    wineprefix = os.path.abspath(wineprefix)
    if os.path.isfile(os.path.join(wineprefix, WINE_PREFIX_MARK)):
        return wineprefix
    if shutil.which("wine") is None:
        raise LabError("Wine is not installed (the Debian packages wine and wine32:i386)")
    shutil.rmtree(wineprefix, ignore_errors=True)
    os.makedirs(wineprefix)
    env = wine_env(wineprefix)
    quiet = dict(env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineboot", "-i"], timeout=300, **quiet)
    if not display:
        subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics", "/d", "null", "/f"],
                       timeout=120, **quiet)
    subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t",
                    "REG_DWORD", "/d", "0", "/f"], timeout=120, **quiet)
    subprocess.run(["wineserver", "-w"], timeout=120, **quiet)
    open(os.path.join(wineprefix, WINE_PREFIX_MARK), "w").close()
    return wineprefix


class SimHandle:
    def __init__(self, proc, log):
        self.proc = proc
        self.log = log

    def events(self):
        """Every complete line of the log (one still being written is left for
        later); a line that is no JSON object is an error of the simulator."""
        try:
            with open(self.log, encoding="utf-8") as f:
                text = f.read()
        except FileNotFoundError:
            return []
        out = []
        for number, line in enumerate(text.split("\n")[:-1], 1):
            try:
                event = json.loads(line)
            except ValueError as error:
                raise LabError("%s:%d: not a JSON line (%s): %r" % (self.log, number, error, line[:200]))
            if not isinstance(event, dict):
                raise LabError("%s:%d: not a JSON object: %r" % (self.log, number, line[:200]))
            out.append(event)
        return out

    def settle(self, timeout=10):
        """Returns once the simulator has logged every datagram that reached it
        before the call, however busy the machine: on SIGUSR1 it reads what is
        queued and then logs "drained". One that has ended has logged all."""
        if self.proc.poll() is not None:
            return
        drained = sum(1 for e in self.events() if e.get("event") == "drained")
        self.proc.send_signal(signal.SIGUSR1)
        deadline = time.monotonic() + timeout
        while sum(1 for e in self.events() if e.get("event") == "drained") <= drained:
            if self.proc.poll() is not None:
                return
            if time.monotonic() > deadline:
                raise LabError("scout-sim did not read its queue within %d s" % timeout)
            time.sleep(0.005)

    def datagrams(self):
        """Every datagram the simulator received, up to this call."""
        self.settle()
        return [e for e in self.events() if e.get("event") == "datagram"]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=5)


def build_topology(lab, name, profile="clean"):
    """Makes the workstation namespace and the segments of a named topology,
    the workstation set up as the profile says.

    The workstation mimics a Windows host: each interface has its address and a
    255.255.255.255/32 route with that address as source (what Wine's forwarding
    table reports as a broadcast interface), loopback is up, and an address is
    answered for (ARP) only on the interface that holds it."""
    if profile not in PROFILES:
        raise LabError("unknown profile %r (one of: %s)" % (profile, ", ".join(PROFILES)))
    setup = PROFILES[profile]
    segments = topology_segments(name)
    ws = lab.add_namespace("ws")
    rp_filter = str(setup["rp_filter"])
    for key, value in (("net.ipv4.conf.all.arp_ignore", "1"), ("net.ipv4.conf.all.arp_announce", "2"),
                       ("net.ipv4.conf.all.rp_filter", rp_filter), ("net.ipv4.conf.default.rp_filter", rp_filter)):
        lab.configure(ws, ["sysctl", "-q", "-w", "%s=%s" % (key, value)])
    port = 0
    for s_index, segment in enumerate(segments):
        segment.ns = lab.add_namespace("s%d" % s_index)
        lab.configure(segment.ns, ["ip", "link", "add", "br0", "type", "bridge"])
        lab.configure(segment.ns, ["ip", "link", "set", "br0", "up"])
        # The segment's own address, for its neighbour lookups; never a controller's.
        lab.configure(segment.ns, ["ip", "addr", "add", "%s/%d" % (segment.host(254), segment.network.prefixlen),
                                   "dev", "br0"])
        for host in segment.workstation_hosts:
            ws_if, seg_if = "ws%d" % port, "p%d" % port
            lab.ip("link", "add", ws_if, "netns", ws, "type", "veth", "peer", "name", seg_if, "netns", segment.ns)
            lab.configure(segment.ns, ["ip", "link", "set", seg_if, "master", "br0"])
            lab.configure(segment.ns, ["ip", "link", "set", seg_if, "up"])
            address = segment.host(host)
            lab.configure(ws, ["ip", "addr", "add", "%s/%d" % (address, segment.network.prefixlen), "dev", ws_if])
            lab.configure(ws, ["ip", "link", "set", ws_if, "up"])
            lab.configure(ws, ["ip", "route", "add", "255.255.255.255/32", "dev", ws_if, "src", address,
                               "metric", str(100 + port)])
            segment.workstation_addresses.append(address)
            port += 1
    if setup["wifi"]:
        # A link of its own whose far end is up and silent; the default route by it.
        lab.configure(ws, ["ip", "link", "add", "wlan0", "type", "veth", "peer", "name", "wlan0-ap"])
        lab.configure(ws, ["ip", "link", "set", "wlan0-ap", "up"])
        lab.configure(ws, ["ip", "addr", "add", WIFI_ADDRESS, "dev", "wlan0"])
        lab.configure(ws, ["ip", "link", "set", "wlan0", "up"])
        lab.configure(ws, ["ip", "route", "add", "default", "via", WIFI_GATEWAY, "dev", "wlan0"])
        lab.configure(ws, ["ip", "route", "add", "255.255.255.255/32", "dev", "wlan0", "src",
                           WIFI_ADDRESS.split("/")[0], "metric", str(100 + port)])
    if setup["container_bridge"]:
        # Up, with an address, and its one port's far end down: no carrier (and,
        # as on Windows, no broadcast route).
        lab.configure(ws, ["ip", "link", "add", "docker0", "type", "bridge"])
        lab.configure(ws, ["ip", "link", "add", "vethc", "type", "veth", "peer", "name", "vethc-c"])
        lab.configure(ws, ["ip", "link", "set", "vethc", "master", "docker0"])
        lab.configure(ws, ["ip", "link", "set", "vethc", "up"])
        lab.configure(ws, ["ip", "addr", "add", CONTAINER_BRIDGE_ADDRESS, "dev", "docker0"])
        lab.configure(ws, ["ip", "link", "set", "docker0", "up"])
    # Every interface as the host-wide setting says (those made before it was set too).
    links = subprocess.run(["ip", "netns", "exec", ws, "ls", "/proc/sys/net/ipv4/conf"], capture_output=True,
                           text=True).stdout.split()
    for link in links:
        if link not in ("all", "default"):
            lab.configure(ws, ["sysctl", "-q", "-w", "net.ipv4.conf.%s.rp_filter=%s" % (link, rp_filter)])
    return Network(ws, segments)


def controller_lines(segment, count, first_host=10, options=""):
    """count controllers numbered from first_host in segment, models 0x100 + n."""
    lines = []
    for n in range(count):
        address = segment.host(first_host + n)
        lines.append("address=%s model=%X version=V%d revision=R%d %s" % (address, 0x100 + n, n % 100, n % 10,
                                                                          options))
    return lines


if __name__ == "__main__":
    # For the scripts:
    #   scoutlab.py make-wine-prefix PREFIX [--display]
    #   scoutlab.py wine-env PREFIX       the environment of Wine, as sh export lines
    #   scoutlab.py windows-build         win32, or win64 where Wine runs no 32-bit program
    #   scoutlab.py windows-build --why   the same, and after a tab why it is not win32
    import shlex
    import sys
    args = sys.argv[1:]
    if args[:1] == ["make-wine-prefix"] and len(args) in (2, 3):
        print("wine prefix made: %s" % make_wine_prefix(args[1], display="--display" in args[2:]))
    elif args[:1] == ["wine-env"] and len(args) == 2:
        env = wine_env(os.path.abspath(args[1]))
        for key in ("WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "PATH"):
            print("export %s=%s" % (key, shlex.quote(env[key])))
    elif args == ["windows-build"]:
        print(windows_build())
    elif args == ["windows-build", "--why"]:
        print("%s\t%s" % windows_build_and_reason())
    else:
        sys.exit("usage: scoutlab.py make-wine-prefix PREFIX [--display] | wine-env PREFIX | windows-build [--why]")
