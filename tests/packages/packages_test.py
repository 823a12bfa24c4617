#!/usr/bin/env python3
"""The release packages installed and run: the Debian package with dpkg in a
throw-away root (its scout-lab then runs a search of its own scout-sim with its
own scout-cli), and the Windows ZIP unpacked and its programs run under Wine.
Run as root after scripts/package."""

import glob
import gzip
import json
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKAGES = os.path.join(ROOT, "build/packages")
VERSION = "1.1.0.519"
failures = []


def check(condition, message, *details):
    if not condition:
        failures.append(message + "".join("\n  " + str(d)[:2000] for d in details))
    return condition


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, text=True, **kw)


def test_deb():
    debs = glob.glob(os.path.join(PACKAGES, "*.deb"))
    if not check(len(debs) == 1, "one Debian package", debs):
        return
    deb = debs[0]
    field = lambda name: run(["dpkg-deb", "-f", deb, name]).stdout.strip()  # noqa: E731
    check(field("Package") == "ethernet-scout" and field("Version") == VERSION, "package name and version",
          field("Package"), field("Version"))
    for dependency in field("Depends").split(","):
        name = dependency.strip().split()[0]
        check("install ok installed" in run(["dpkg-query", "-W", "-f=${Status}\n", name]).stdout.splitlines(),
              "its dependency %s is a package of this system" % name)

    root = tempfile.mkdtemp(prefix="scout-deb-")
    try:
        admin = os.path.join(root, "var/lib/dpkg")
        for folder in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(admin, folder))
        for name in ("status", "available"):
            open(os.path.join(admin, name), "w").close()
        # The dependencies are this system's; the throw-away root has none of its own.
        installed = run(["dpkg", "--root=" + root, "--force-depends", "-i", deb])
        if not check(installed.returncode == 0, "dpkg -i into a throw-away root", installed.stdout,
                     installed.stderr):
            return
        status = run(["dpkg", "--root=" + root, "-s", "ethernet-scout"]).stdout
        check("Status: install ok installed" in status, "dpkg knows it as installed", status)
        bin_dir = os.path.join(root, "usr/bin")
        version = run([os.path.join(bin_dir, "scout-cli"), "--version"])
        check(version.returncode == 0 and version.stdout.strip() == "scout-cli " + VERSION, "scout-cli --version", version.stdout)
        sim_help = run([os.path.join(bin_dir, "scout-sim"), "--help"])
        check(sim_help.returncode == 0 and "usage: scout-sim" in sim_help.stdout, "scout-sim --help")
        for page in ("scout-cli", "scout-sim", "scout-lab"):
            path = os.path.join(root, "usr/share/man/man1/%s.1.gz" % page)
            text = gzip.open(path, "rt").read() if os.path.exists(path) else ""
            check(text.startswith(".TH %s 1" % page.upper()), "man page of %s" % page)
            if shutil.which("man"):
                shown = run(["man", "-l", path], env=dict(os.environ, MANWIDTH="80"))
                check(shown.returncode == 0 and "NAME" in shown.stdout and page in shown.stdout,
                      "man shows the page of %s" % page, shown.stderr)

        # The installed lab, with the installed simulator and scout-cli (found on PATH).
        env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"])
        env.pop("SCOUT_SIM", None)
        examples = os.path.join(root, "usr/share/ethernet-scout/lab/examples")
        lab = run([os.path.join(bin_dir, "scout-lab"), "run", "single", "--sim", "0=" + os.path.join(examples,
                  "demo.conf"), "--", os.path.join(bin_dir, "scout-cli"), "search", "--json"], env=env, timeout=120)
        expected = sorted(word.split("=", 1)[1].split("/")[0] for line in open(os.path.join(examples, "demo.conf"))
                          if not line.startswith("#") for word in line.split() if word.startswith("address="))
        try:
            found = sorted(row["address"] for row in json.loads(lab.stdout))
        except ValueError:
            found = None
        check(lab.returncode == 0 and found == expected, "the installed lab finds its virtual controllers",
              lab.stdout, lab.stderr)

        removed = run(["dpkg", "--root=" + root, "-r", "ethernet-scout"])
        check(removed.returncode == 0 and not os.path.exists(os.path.join(bin_dir, "scout-cli")),
              "dpkg -r removes it", removed.stderr)
    finally:
        shutil.rmtree(root, ignore_errors=True)


SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ws2_32.dll", "iphlpapi.dll",
               "winmm.dll", "msvcrt.dll", "advapi32.dll", "shell32.dll", "ole32.dll"}


def test_zip():
    zips = glob.glob(os.path.join(PACKAGES, "*.zip"))
    if not check(len(zips) == 1, "one Windows ZIP", zips):
        return
    top = "EthernetScout-%s-win32/" % VERSION
    names = sorted(zipfile.ZipFile(zips[0]).namelist())
    check(names == sorted(top + n for n in ("scout.exe", "scout-cli.exe", "README.md", "LICENSE.txt")),
          "the ZIP holds the two programs, the README and the licence", names)
    folder = tempfile.mkdtemp(prefix="scout-zip-")
    prefix = os.path.join(ROOT, "build/win32/wineprefix")
    wine_prefix = os.path.join(ROOT, "scripts/wine-prefix")
    try:
        zipfile.ZipFile(zips[0]).extractall(folder)
        unpacked = os.path.join(folder, top)
        for program in ("scout.exe", "scout-cli.exe"):
            dlls = {line.split(":", 1)[1].strip().lower()
                    for line in run(["i686-w64-mingw32-objdump", "-p", os.path.join(unpacked, program)]).stdout
                    .splitlines() if "DLL Name:" in line}
            check(dlls and dlls <= SYSTEM_DLLS, "%s needs only system DLLs" % program, sorted(dlls))
        run([wine_prefix, "start", prefix])
        wine = [os.path.join(ROOT, "scripts/wine-run"), prefix]
        version = run(wine + [os.path.join(unpacked, "scout-cli.exe"), "--version"], timeout=120)
        check(version.returncode == 0 and version.stdout.strip() == "scout-cli " + VERSION, "scout-cli.exe --version under Wine",
              version.stdout, version.stderr)
        helped = run(wine + [os.path.join(unpacked, "scout-cli.exe"), "--help"], timeout=120)
        check(helped.returncode == 0 and "reconfigure ADDRESS IP MASK GATEWAY" in helped.stdout,
              "scout-cli.exe --help under Wine")
        # The packaged scout.exe's resources, read back as the dialog tests read the built one.
        resources = run(wine + [os.path.join(ROOT, "build/win32/bin/scout_dialog_tests.exe"),
                                "--scout-exe=" + os.path.join(unpacked, "scout.exe"),
                                "--gtest_filter=ScoutExe.*"], timeout=120)
        check(resources.returncode == 0 and "PASSED" in resources.stdout,
              "the packaged scout.exe has its version block, manifest and icons", resources.stdout[-1500:])
    finally:
        run([wine_prefix, "stop", prefix])
        shutil.rmtree(folder, ignore_errors=True)


def main():
    test_deb()
    test_zip()
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print("packages: the Debian package and the Windows ZIP install and run")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
