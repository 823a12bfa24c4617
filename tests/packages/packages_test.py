#!/usr/bin/env python3
"""The release packages installed and run: the two Debian packages checked by
lintian and installed with dpkg in a throw-away root (the installed scout-lab
then runs a search of the installed scout-sim with the installed scout-cli,
and, with --build win32, the unpacked ZIP's scout-cli.exe under Wine in a
prefix it makes in the user's cache), and the Windows ZIP unpacked and its
programs run under Wine. Run as root after scripts/package."""

import glob
import gzip
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "lab"))
from scoutlab import VERSION, windows_build  # noqa: E402
PACKAGES = os.path.join(ROOT, "build/packages")
ZIP_TOP = "EthernetScout-%s-win32/" % VERSION
failures = []

# What each package holds, and nothing of the other's.
FIELD_FILES = {"usr/bin/scout-cli", "usr/share/man/man1/scout-cli.1.gz",
               "usr/share/bash-completion/completions/scout-cli",
               "usr/lib/x86_64-linux-gnu/wireshark/plugins/scout.lua",
               "usr/share/doc/ethernet-scout/README.gz", "usr/share/doc/ethernet-scout/changelog.gz",
               "usr/share/doc/ethernet-scout/copyright", "lib/systemd/system/ethernet-scout-watch.service",
               "etc/default/ethernet-scout-watch", "usr/share/doc/ethernet-scout/examples/ethernet-scout-alerts.yml"}
LAB_FILES = {"usr/bin/scout-sim", "usr/bin/scout-lab", "usr/share/man/man1/scout-sim.1.gz",
             "usr/share/man/man1/scout-lab.1.gz", "usr/share/ethernet-scout/lab/scout-lab",
             "usr/share/ethernet-scout/VERSION",
             "usr/share/ethernet-scout/lab/scoutlab.py", "usr/share/ethernet-scout/lab/examples/demo.conf",
             "usr/share/ethernet-scout/lab/examples/demo-second-segment.conf",
             "usr/share/ethernet-scout/lab/examples/line-coming-up.conf",
             "usr/share/ethernet-scout/lab/examples/commission.conf",
             "usr/share/doc/ethernet-scout-lab/README.gz", "usr/share/doc/ethernet-scout-lab/changelog.gz",
             "usr/share/doc/ethernet-scout-lab/copyright"}


def check(condition, message, *details):
    if not condition:
        failures.append(message + "".join("\n  " + str(d)[:2000] for d in details))
    return condition


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, text=True, **kw)


def files_of(deb):
    listing = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
    return {line.split()[-1].lstrip("./") for line in listing if not line.startswith("d")}


def demo_addresses():
    addresses = []
    for name in ("demo.conf", "demo-second-segment.conf"):
        with open(os.path.join(ROOT, "lab/examples", name)) as f:
            addresses += [word.split("=", 1)[1].split("/")[0] for line in f if not line.startswith("#")
                          for word in line.split() if word.startswith("address=")]
    return sorted(addresses)


def check_control(deb, package, needs):
    field = lambda name: run(["dpkg-deb", "-f", deb, name]).stdout.strip()  # noqa: E731
    check(field("Package") == package and field("Version") == VERSION, "package name and version", package,
          field("Package"), field("Version"))
    depends = [d.strip().split()[0] for d in field("Depends").split(",")]
    check(set(needs) <= set(depends), "%s depends on %s" % (package, needs), depends)
    for name in depends:
        if name.startswith("ethernet-scout"):
            continue
        check("install ok installed" in run(["dpkg-query", "-W", "-f=${Status}\n", name]).stdout.splitlines(),
              "its dependency %s is a package of this system" % name)
    # lintian: no error and no warning (informational notes aside).
    linted = run(["lintian", "--fail-on", "error,warning", deb])
    check(linted.returncode == 0, "lintian finds no error or warning in %s" % package, linted.stdout, linted.stderr)


def install(root, debs):
    admin = os.path.join(root, "var/lib/dpkg")
    for folder in ("info", "updates", "triggers"):
        os.makedirs(os.path.join(admin, folder))
    for name in ("status", "available"):
        open(os.path.join(admin, name), "w").close()
    # The dependencies are this system's; the throw-away root has none of its
    # own, nor a shell: the maintainer scripts run outside it, given DPKG_ROOT.
    return run(["dpkg", "--root=" + root, "--force-depends", "--force-script-chrootless", "-i"] + debs)


def check_unit(root):
    """The line monitor's unit as systemd reads it, with the units and programs
    it names as this system has them (systemd-analyze verify: any word is a fault)."""
    for folder in ("usr/lib/systemd", "usr/bin", "etc/systemd/system"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    shutil.copytree("/lib/systemd/system", os.path.join(root, "usr/lib/systemd/system"), symlinks=True,
                    dirs_exist_ok=True)
    for program in ("ln", "rm"):
        shutil.copy(shutil.which(program), os.path.join(root, "usr/bin", program))
    os.symlink("usr/bin", os.path.join(root, "bin"))
    unit = "/lib/systemd/system/ethernet-scout-watch.service"
    verified = run(["systemd-analyze", "verify", "--man=no", "--root=" + root, unit])
    check(verified.returncode == 0 and not verified.stdout.strip() and not verified.stderr.strip(),
          "systemd-analyze verify finds nothing to say of the unit", verified.stdout, verified.stderr)
    security = run(["systemd-analyze", "security", "--offline=yes", "--root=" + root, unit])
    level = re.search(r"Overall exposure level for \S+: ([0-9.]+) (\w+)", security.stdout)
    print("ethernet-scout-watch.service: exposure level %s %s (systemd-analyze security)" %
          ((level.group(1), level.group(2)) if level else ("?", security.stderr.strip()[:200])))
    check(level is not None and float(level.group(1)) <= 2.5,
          "the unit is hardened as a network daemon is (an exposure of 2.5 at most)", security.stdout[-3000:])


def test_debs(unpacked_zip):
    debs = {os.path.basename(d).split("_")[0]: d for d in glob.glob(os.path.join(PACKAGES, "*.deb"))}
    if not check(sorted(debs) == ["ethernet-scout", "ethernet-scout-lab"], "two Debian packages", debs):
        return
    field, lab = debs["ethernet-scout"], debs["ethernet-scout-lab"]
    check(files_of(field) == FIELD_FILES, "ethernet-scout holds the field machine's files",
          sorted(files_of(field) ^ FIELD_FILES))
    check(files_of(lab) == LAB_FILES, "ethernet-scout-lab holds the lab", sorted(files_of(lab) ^ LAB_FILES))
    check_control(field, "ethernet-scout", ["libc6"])
    check_control(lab, "ethernet-scout-lab", ["python3", "iproute2", "ethernet-scout"])

    root = tempfile.mkdtemp(prefix="scout-deb-")
    cache = tempfile.mkdtemp(prefix="scout-cache-")
    try:
        installed = install(root, [field, lab])
        if not check(installed.returncode == 0, "dpkg -i into a throw-away root", installed.stdout, installed.stderr):
            return
        check(not run(["dpkg", "--root=" + root, "-s", "ethernet-scout"]).returncode and
              os.path.isfile(os.path.join(root, "etc/default/ethernet-scout-watch")) and
              "/etc/default/ethernet-scout-watch" in run(["dpkg", "--root=" + root, "-s", "ethernet-scout"]).stdout,
              "the watch's settings are a conffile")
        bin_dir = os.path.join(root, "usr/bin")
        version = run([os.path.join(bin_dir, "scout-cli"), "--version"])
        check(version.returncode == 0 and version.stdout.strip() == "scout-cli " + VERSION, "scout-cli --version",
              version.stdout)
        for page in ("scout-cli", "scout-sim", "scout-lab"):
            path = os.path.join(root, "usr/share/man/man1/%s.1.gz" % page)
            shown = run(["man", "-l", path], env=dict(os.environ, MANWIDTH="80"))
            check(shown.returncode == 0 and "NAME" in shown.stdout and page in shown.stdout,
                  "man shows the page of %s" % page, shown.stderr)
        for package in ("ethernet-scout", "ethernet-scout-lab"):
            readme = gzip.open(os.path.join(root, "usr/share/doc", package, "README.gz"), "rt").read()
            check("scripts/" not in readme and "](" not in readme and "sudo" not in readme,
                  "%s's README is for someone who installed it" % package, readme[:300])
        lua = os.path.join(root, "usr/lib/x86_64-linux-gnu/wireshark/plugins/scout.lua")
        folders = run(["tshark", "-G", "folders"]).stdout
        check("/usr/lib/x86_64-linux-gnu/wireshark/plugins\n" in folders and
              open(lua).read() == open(os.path.join(ROOT, "tools/wireshark/scout.lua")).read(),
              "the dissector is where Wireshark loads Lua plugins", folders)
        completion = os.path.join(root, "usr/share/bash-completion/completions/scout-cli")
        completed = run(["bash", "-c", 'source "$0"; COMP_WORDS=(scout-cli se); COMP_CWORD=1; _scout_cli; '
                         'echo "${COMPREPLY[@]}"', completion])
        check(completed.stdout.strip() == "search", "bash completes the commands", completed.stdout,
              completed.stderr)
        # A command's options, as its own help lists them: reconfigure takes no --all, history takes -q.
        path = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"])
        for words, has, lacks in ((["reconfigure", "1", "2", "3", "4", "--"], "--timeout", "--all"),
                                  (["history", "--"], "--quiet", "--window")):
            completed = run(["bash", "-c", 'source "$0"; COMP_WORDS=(scout-cli "$@"); COMP_CWORD=$#; _scout_cli; '
                             'echo "${COMPREPLY[@]}"', completion] + words, env=path)
            offered = completed.stdout.split()
            check(has in offered and lacks not in offered, "bash completes a command's own options", words,
                  completed.stdout, completed.stderr)

        # The installed lab, with the installed simulator and scout-cli (found on PATH).
        env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"], XDG_CACHE_HOME=cache)
        env.pop("SCOUT_SIM", None)
        examples = os.path.join(root, "usr/share/ethernet-scout/lab/examples")
        search = run([os.path.join(bin_dir, "scout-lab"), "run", "two-segments",
                      "--sim", "0=" + os.path.join(examples, "demo.conf"),
                      "--sim", "1=" + os.path.join(examples, "demo-second-segment.conf"),
                      "--", "scout-cli", "search", "--json"], env=env, timeout=120)
        try:
            found = sorted(row["address"] for row in json.loads(search.stdout))
        except ValueError:
            found = None
        check(search.returncode == 0 and found == demo_addresses(), "the installed lab finds its virtual controllers",
              search.stdout, search.stderr)
        missing = run([os.path.join(bin_dir, "scout-lab"), "demo", "--build", "win32"], env=env, timeout=60)
        check(missing.returncode == 2 and len(missing.stderr.splitlines()) == 1 and
              "the Windows programs are not installed here" in missing.stderr,
              "without the Windows programs: one line", missing.stderr)
        if unpacked_zip is not None and RUNS_32BIT:
            demo = run([os.path.join(bin_dir, "scout-lab"), "demo", "--build", "win32", "--win32-bin", unpacked_zip],
                       env=env, timeout=300)
            rows = [line.split()[0] for line in demo.stdout.splitlines()[3:] if not line.startswith("(")]
            check(demo.returncode == 0 and sorted(rows) == demo_addresses(),
                  "the installed lab runs the ZIP's scout-cli.exe under Wine", demo.stdout, demo.stderr)
            check(os.path.isfile(os.path.join(cache, "ethernet-scout/wineprefix/system.reg")),
                  "its Wine prefix is made in the user's cache", os.listdir(cache))

        check_unit(root)
        removed = run(["dpkg", "--root=" + root, "--force-script-chrootless", "-r", "ethernet-scout-lab",
                       "ethernet-scout"])
        check(removed.returncode == 0 and not os.path.exists(os.path.join(bin_dir, "scout-cli")),
              "dpkg -r removes them", removed.stderr)
    finally:
        shutil.rmtree(root, ignore_errors=True)
        shutil.rmtree(cache, ignore_errors=True)


# What every Windows since Vista has in System32 (bcrypt.dll: the SHA-256 of an
# audit's expected list); a MinGW runtime DLL or anything else is a fault.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ws2_32.dll", "iphlpapi.dll",
               "winmm.dll", "msvcrt.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "bcrypt.dll"}


RUNS_32BIT = windows_build() == "win32"


def utf16(text):
    return text.encode("utf-16-le")


def test_zip(folder):
    """Unpacks the ZIP into folder and runs its programs; returns the unpacked folder."""
    zips = glob.glob(os.path.join(PACKAGES, "*.zip"))
    if not check(len(zips) == 1, "one Windows ZIP", zips):
        return None
    names = sorted(zipfile.ZipFile(zips[0]).namelist())
    check(names == sorted(ZIP_TOP + n for n in ("scout.exe", "scout-cli.exe", "README.txt", "LICENSE.txt",
                                                "scout.lua", "add-firewall-rules.cmd", "remove-firewall-rules.cmd")),
          "the ZIP holds the two programs, the README, the licence, the dissector and the firewall scripts", names)
    zipfile.ZipFile(zips[0]).extractall(folder)
    unpacked = os.path.join(folder, ZIP_TOP)
    with open(os.path.join(unpacked, "README.txt"), "rb") as f:
        readme = f.read()
    check(readme.count(b"\n") == readme.count(b"\r\n") > 100, "README.txt has Windows' line ends")
    text = readme.decode("ascii", "replace")
    check("add-firewall-rules.cmd" in text and "65513" in text and "65515" in text and "scout.lua" in text,
          "README.txt: the firewall script and the dissector", text[:200])
    with open(os.path.join(unpacked, "add-firewall-rules.cmd"), "rb") as f:
        script = f.read()
    check(script.count(b"\n") == script.count(b"\r\n") and b"localport=65513" in script and
          b"remoteport=65515" in script and b"%~dp0" in script,
          "add-firewall-rules.cmd: Windows' line ends, the two rules, for its own folder")
    check(not any(mark in text for mark in ("```", "**", "](", "cmake", "scripts/")),
          "README.txt is for operators: no Markdown, no build instructions")
    with open(os.path.join(unpacked, "scout-cli.exe"), "rb") as f:
        image = f.read()
    check(all(utf16(s) in image for s in ("VS_VERSION_INFO", "Ethernet Scout command line (32-bit)", VERSION,
                                          "scout-cli.exe")), "scout-cli.exe has a version block")

    prefix = os.path.join(ROOT, "build/win32/wineprefix")
    wine_prefix = os.path.join(ROOT, "scripts/wine-prefix")
    try:
        for program in ("scout.exe", "scout-cli.exe"):
            dlls = {line.split(":", 1)[1].strip().lower()
                    for line in run(["i686-w64-mingw32-objdump", "-p", os.path.join(unpacked, program)]).stdout
                    .splitlines() if "DLL Name:" in line}
            check(dlls and dlls <= SYSTEM_DLLS, "%s needs only system DLLs" % program, sorted(dlls))
        run([wine_prefix, "start", prefix])
        wine = [os.path.join(ROOT, "scripts/wine-run"), prefix]
        # The script adds the rules of the folder it sits in, wherever that is
        # (a name with spaces and parentheses too); Wine's netsh takes them.
        moved = os.path.join(folder, "Ethernet Scout (x86)")
        shutil.copytree(unpacked, moved)
        added = run(wine + ["cmd", "/c", "add-firewall-rules.cmd"], cwd=moved, timeout=120)
        windows = "Z:" + moved.replace("/", "\\") + "\\"
        check(added.returncode == 0 and [l.strip() for l in added.stdout.splitlines()] ==
              ["allowed %s%s: UDP port 65513 in, UDP port 65515 out" % (windows, p) for p in ("scout.exe", "scout-cli.exe")],
              "add-firewall-rules.cmd allows both programs of its folder", added.returncode, added.stdout, added.stderr)
        if not RUNS_32BIT:
            print("packages: the ZIP's 32-bit programs were not run: Wine runs no 32-bit program here")
            return unpacked
        version = run(wine + [os.path.join(unpacked, "scout-cli.exe"), "--version"], timeout=120)
        check(version.returncode == 0 and version.stdout.strip() == "scout-cli " + VERSION,
              "scout-cli.exe --version under Wine", version.stdout, version.stderr)
        # The packaged scout.exe's resources, read back as the dialog tests read the built one.
        resources = run(wine + [os.path.join(ROOT, "build/win32/bin/scout_dialog_tests.exe"),
                                "--scout-exe=" + os.path.join(unpacked, "scout.exe"),
                                "--gtest_filter=ScoutExe.*"], timeout=120)
        check(resources.returncode == 0 and "PASSED" in resources.stdout,
              "the packaged scout.exe has its version block, manifest and icons", resources.stdout[-1500:])
    finally:
        run([wine_prefix, "stop", prefix])
    return unpacked


def main():
    folder = tempfile.mkdtemp(prefix="scout-zip-")
    try:
        unpacked = test_zip(folder)
        test_debs(unpacked)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print("packages: both Debian packages and the Windows ZIP install and run")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
