#!/usr/bin/env python3
"""scripts/setup on a bad registry day, made on purpose: a local package
source whose i386 index does not match its Release file, and a dpkg database
of its own in which nothing is installed yet. apt-get reads only this test's
configuration (APT_CONFIG), dpkg-query only its database (DPKG_ADMINDIR), and
the dpkg that apt-get calls to install is a stand-in that writes down what it
was given, so nothing on this machine is touched. Needs root (setup does)."""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SETUP = os.path.join(ROOT, "scripts/setup")
failures = []


def check(condition, message, *details):
    if not condition:
        failures.append(message + "".join("\n  " + str(d)[:3000] for d in details))
    return condition


def setup_packages():
    """The packages scripts/setup installs: (name, architecture)."""
    with open(SETUP) as f:
        text = f.read()
    names = []
    for variable in ("demo_packages", "build_packages", "wine32_packages"):
        names += re.search(r'^%s="([^"]*)"' % variable, text, re.M).group(1).split()
    return [(n.split(":")[0], n.split(":")[1] if ":" in n else "amd64") for n in names]


def make_deb(pool, name, arch, version="99.0", depends=""):
    folder = os.path.join(pool, "%s_%s_%s" % (name, version, arch))
    os.makedirs(os.path.join(folder, "DEBIAN"))
    control = "Package: %s\nVersion: %s\nArchitecture: %s\nMulti-Arch: same\nMaintainer: test <t@t.invalid>\n" \
              "%sDescription: a stand-in\n" % (name, version, arch, "Depends: %s\n" % depends if depends else "")
    with open(os.path.join(folder, "DEBIAN/control"), "w") as f:
        f.write(control)
    deb = folder + ".deb"
    subprocess.run(["dpkg-deb", "-Zgzip", "--build", folder, deb], check=True, capture_output=True)
    shutil.rmtree(folder)
    with open(deb, "rb") as f:
        data = f.read()
    return control + "Filename: pool/%s\nSize: %d\nSHA256: %s\n" % (
        os.path.basename(deb), len(data), hashlib.sha256(data).hexdigest())


def write_suite(repo, suite, indexes, broken=()):
    """One suite's indexes and its Release, which gives a wrong size for the
    architectures in broken (as a mirror caught mid-sync does)."""
    release = ["Origin: test", "Suite: %s" % suite, "Codename: %s" % suite, "Architectures: amd64 i386",
               "Components: main", "Date: Mon, 07 Dec 2026 23:22:40 UTC", "SHA256:"]
    for arch, stanzas in indexes.items():
        path = "main/binary-%s/Packages" % arch
        os.makedirs(os.path.join(repo, "dists", suite, os.path.dirname(path)))
        data = "\n".join(stanzas).encode()
        with open(os.path.join(repo, "dists", suite, path), "wb") as f:
            f.write(data)
        size = len(data) + (1184 if arch in broken else 0)
        release.append(" %s %d %s" % (hashlib.sha256(data).hexdigest(), size, path))
    with open(os.path.join(repo, "dists", suite, "Release"), "w") as f:
        f.write("\n".join(release) + "\n")


def make_source(repo):
    """A file: source of stand-ins for every package setup installs, as
    Debian's were that day: the security suite's i386 index does not match its
    Release, and the 32-bit Wine needs the 32-bit half of a library that only
    that index holds at the version of its 64-bit half."""
    pool = os.path.join(repo, "pool")
    os.makedirs(pool)
    main = {"amd64": [make_deb(pool, "libshared", "amd64", "99.1")], "i386": [make_deb(pool, "libshared", "i386")]}
    for name, arch in setup_packages():
        main[arch].append(make_deb(pool, name, arch, depends="libshared (= 99.1)" if arch == "i386" else ""))
    write_suite(repo, "bookworm", main)
    security = {"amd64": [], "i386": [make_deb(pool, "libshared", "i386", "99.1")]}
    write_suite(repo, "bookworm-security", security, broken=("i386",))


def make_apt(work):
    """The environment in which apt-get and dpkg-query see only this test's
    source, database and stand-in dpkg."""
    for folder in ("admin/info", "admin/updates", "state/lists/partial", "cache/archives/partial", "parts",
                   "sources.d", "preferences.d"):
        os.makedirs(os.path.join(work, folder))
    open(os.path.join(work, "admin/status"), "w").close()
    open(os.path.join(work, "admin/available"), "w").close()
    with open(os.path.join(work, "admin/arch"), "w") as f:
        f.write("amd64\ni386\n")  # the architecture was added earlier
    with open(os.path.join(work, "sources.list"), "w") as f:
        for suite in ("bookworm", "bookworm-security"):
            f.write("deb [trusted=yes] file:%s %s main\n" % (os.path.join(work, "repo"), suite))
    dpkg = os.path.join(work, "dpkg")
    with open(dpkg, "w") as f:
        f.write("#!/bin/sh\n"
                "case \"$*\" in *--print-foreign-architectures*) echo i386; exit 0 ;; esac\n"
                "echo \"$*\" >> %s\n" % os.path.join(work, "dpkg.calls"))
    os.chmod(dpkg, 0o755)
    config = os.path.join(work, "apt.conf")
    with open(config, "w") as f:
        for key, value in (("Dir::Etc::SourceList", "sources.list"), ("Dir::Etc::SourceParts", "sources.d"),
                           ("Dir::Etc::Parts", "parts"), ("Dir::Etc::PreferencesParts", "preferences.d"),
                           ("Dir::State", "state"), ("Dir::State::status", "admin/status"),
                           ("Dir::Cache", "cache"), ("Dir::Bin::dpkg", "dpkg"), ("Dir::Log", "state")):
            f.write('%s "%s";\n' % (key, os.path.join(work, value)))
        f.write('APT::Architectures { "amd64"; "i386"; };\nDebug::NoLocking "true";\n'
                'APT::Sandbox::User "root";\nDPkg::Use-Pty "false";\n')
    env = dict(os.environ, APT_CONFIG=config, DPKG_ADMINDIR=os.path.join(work, "admin"))
    return env


def installed(work):
    """The .deb files the stand-in dpkg was asked to unpack."""
    try:
        with open(os.path.join(work, "dpkg.calls")) as f:
            calls = f.read()
    except FileNotFoundError:
        return set()
    return set(re.findall(r"([a-z0-9.+-]+)_99\.[01]_(amd64|i386)\.deb", calls)) - {("libshared", "amd64")}


def main():
    if os.geteuid() != 0:
        print("setup_test: run as root (scripts/setup refuses otherwise)")
        return 1
    for mode, wanted in (("demo", ("cmake", "make", "g++", "iproute2", "procps", "python3")), ("all", None)):
        work = tempfile.mkdtemp(prefix="scout-setup-")
        try:
            make_source(os.path.join(work, "repo"))
            env = make_apt(work)
            seen = subprocess.run(["apt-config", "dump", "Dir::State::status"], env=env, capture_output=True,
                                  text=True).stdout
            if not check(os.path.join(work, "admin/status") in seen, "apt-get reads this test's configuration", seen):
                break
            result = subprocess.run([SETUP] + ([mode] if mode == "demo" else []), env=env, capture_output=True,
                                    text=True, timeout=300)
            notes = [line for line in result.stdout.splitlines() if "NOTE" in line]
            amd64 = {(n, a) for n, a in setup_packages() if a == "amd64" and (wanted is None or n in wanted)}
            check(result.returncode == 0, "setup %s goes on past the broken index" % mode, result.returncode,
                  result.stdout, result.stderr)
            check(amd64 <= installed(work) and ("wine32", "i386") not in installed(work),
                  "setup %s installs every amd64 package, and no i386 one" % mode,
                  sorted(amd64 - installed(work)), sorted(installed(work))[:5])
            if mode == "demo":
                expected = ("setup: NOTE: the package index bookworm-security/main i386 could not be fetched (3 tries); "
                            "every package was installed from the indexes fetched")
            else:
                expected = ("setup: NOTE: the package index bookworm-security/main i386 could not be fetched (3 tries), so "
                            "the 32-bit Wine (wine32:i386) cannot be installed: the Windows tests run a 64-bit "
                            "build of the same sources")
            check(notes == [expected], "setup %s says what it left out in one NOTE line" % mode, notes,
                  result.stdout)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print("setup: past a broken i386 index, what every build needs is installed and the rest said")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
