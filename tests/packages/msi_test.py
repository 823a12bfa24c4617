#!/usr/bin/env python3
"""The Windows installer: the shipped MSI's tables read back (its files, the
Start menu shortcut, the PATH entry, the firewall rules, the UpgradeCode and
the version), then under Wine in a fresh prefix, inside the lab: an older
MSI installed, this one upgrading it, the older one refused afterwards,
scout-cli found on the PATH of a new console listing the lab's controllers,
and the uninstall leaving nothing of the package behind. Where this machine
runs no 32-bit program, the Wine part installs an MSI of the 64-bit build
made the same way. Run as root after scripts/package."""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "lab"))
from scoutlab import VERSION, Lab, build_topology, make_wine_prefix, windows_build  # noqa: E402

PACKAGES = os.path.join(ROOT, "build/packages")
MAKE_MSI = os.path.join(ROOT, "packaging/windows/make_msi.py")
UPGRADE_CODE = "{6E0A53B1-2C7D-4E8A-9B3F-51D2C4A8E7F0}"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
ENVIRONMENT_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"
failures = []


def check(condition, message, *details):
    if not condition:
        failures.append(message + "".join("\n  " + str(d)[:2000] for d in details))
    return condition


def table(msi, name):
    """The rows of one table, each a dict of its columns."""
    lines = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def msi_version(version):
    a, b, c, d = (int(f) for f in version.split("."))
    return "%d.%d.%d" % (a, b, c * 1000 + d)


def test_tables(msi):
    files = {row["FileName"].split("|")[-1] for row in table(msi, "File")}
    check(files == {"scout.exe", "scout-cli.exe", "README.txt", "LICENSE.txt", "scout.lua"}, "the files", files)
    directories = {row["Directory"]: row for row in table(msi, "Directory")}
    check(directories.get("INSTALLDIR", {}).get("DefaultDir", "").endswith("Ethernet Scout") and
          directories["INSTALLDIR"]["Directory_Parent"] == "ProgramFilesFolder", "into Program Files\\Ethernet Scout",
          directories)
    shortcuts = table(msi, "Shortcut")
    check(len(shortcuts) == 1 and shortcuts[0]["Directory_"] == "ProgramMenuFolder" and
          shortcuts[0]["Target"] == "[INSTALLDIR]scout.exe", "a Start menu shortcut to the dialog", shortcuts)
    environment = table(msi, "Environment")
    check([(e["Name"], e["Value"]) for e in environment] == [("=-*PATH", "[~];[INSTALLDIR]")],
          "the folder at the end of the system PATH, removed on uninstall", environment)
    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    check(properties.get("UpgradeCode") == UPGRADE_CODE and properties.get("ProductVersion") == msi_version(VERSION)
          and properties.get("ALLUSERS") == "1", "UpgradeCode, version, per machine", properties)
    upgrades = table(msi, "Upgrade")
    check(any(u["ActionProperty"] == "WIX_DOWNGRADE_DETECTED" for u in upgrades) and
          any(u["ActionProperty"] == "WIX_UPGRADE_DETECTED" for u in upgrades), "major upgrades", upgrades)
    actions = {row["Action"]: row["Target"] for row in table(msi, "CustomAction")}
    sequence = {row["Action"]: row["Condition"] for row in table(msi, "InstallExecuteSequence")}
    for program in ("scout.exe", "scout-cli.exe"):
        added = sorted(t for a, t in actions.items() if "add rule" in t and "program=\"[INSTALLDIR]%s\"" % program in t
                       and sequence.get(a) == 'NOT REMOVE~="ALL"')
        deleted = [a for a, t in actions.items() if "delete rule" in t and "(%s)" % program in t]
        check(len(added) == 2 and "dir=in" in added[0] and "protocol=UDP localport=65513" in added[0] and
              "dir=out" in added[1] and "protocol=UDP remoteport=65515" in added[1],
              "the firewall rules of " + program + " on install", added)
        check(len(deleted) == 1 and sequence.get(deleted[0]) == 'REMOVE~="ALL"',
              "the rule of %s removed on uninstall" % program, actions)
    check("WriteEnvironmentStrings" in sequence and "RemoveEnvironmentStrings" in sequence, "PATH written", sequence)


class Wine:
    """A fresh prefix whose server runs in the lab's workstation namespace."""

    def __init__(self, lab, net, prefix):
        self.lab, self.net = lab, net
        self.env = lab.start_wine(net.ws, prefix)
        self.drive_c = os.path.join(prefix, "drive_c")

    def run(self, *argv):
        return self.lab.run(self.net.ws, ["wine"] + list(argv), env=self.env, timeout=300)

    def registry(self, key):
        return self.run("reg", "query", key, "/s").stdout.replace("\r", "")

    def installed_versions(self):
        text = self.registry(UNINSTALL_KEY)
        blocks = text.split("\n\n")
        return [line.split()[-1] for block in blocks if "Ethernet Scout" in block
                for line in block.splitlines() if "DisplayVersion" in line]

    def leftovers(self):
        found = []
        for top, folders, files in os.walk(self.drive_c):
            found += [os.path.join(top, n) for n in folders + files if "ethernet scout" in n.lower()]
        return found


def folder_text(program_files):
    return "C:\\%s\\Ethernet Scout" % program_files


def test_wine(new, old, program_files):
    with tempfile.TemporaryDirectory() as work, Lab() as lab:
        prefix = make_wine_prefix(os.path.join(work, "prefix"))
        net = build_topology(lab, "single")
        lab.start_sim(net.segments[0], ["address=10.1.0.21 model=1 version=v revision=r",
                                        "address=10.1.0.22 model=2 version=v revision=r"])
        wine = Wine(lab, net, prefix)
        folder = os.path.join(wine.drive_c, program_files, "Ethernet Scout")
        result = wine.run("msiexec", "/i", old, "/qn")
        check(result.returncode == 0 and wine.installed_versions() == ["0.9.1"] and
              os.path.isfile(os.path.join(folder, "scout-cli.exe")), "the older MSI installs",
              result.returncode, wine.installed_versions())
        listed = wine.run("cmd", "/c", "scout-cli search --csv --no-header")
        addresses = sorted(line.split(",")[0] for line in listed.stdout.replace("\r", "").splitlines())
        check(listed.returncode == 0 and addresses == ["10.1.0.21", "10.1.0.22"],
              "scout-cli on the PATH of a new console lists the lab's controllers", listed.returncode,
              listed.stdout, listed.stderr)
        result = wine.run("msiexec", "/i", new, "/qn")
        check(result.returncode == 0 and wine.installed_versions() == [msi_version(VERSION)],
              "this one replaces it", result.returncode, wine.installed_versions())
        result = wine.run("msiexec", "/i", old, "/qn")
        check(result.returncode != 0 and wine.installed_versions() == [msi_version(VERSION)],
              "the older one is refused afterwards", result.returncode, wine.installed_versions())
        # Once on the PATH after the upgrade. (Wine's removal of the older
        # one's entry leaves an empty element ";;" behind, in which Wine's cmd
        # then finds nothing: the console run is tried before the upgrade.)
        value = [line.split(None, 2)[2] for line in wine.registry(ENVIRONMENT_KEY).splitlines()
                 if line.split()[:1] == ["PATH"]]
        path = [e.rstrip("\\") for e in (value or [""])[0].split(";")]
        check(path.count(folder_text(program_files)) == 1, "the folder once on the system PATH", path)
        check(any(path.endswith("Ethernet Scout.lnk") for path in wine.leftovers()), "the Start menu shortcut")
        result = wine.run("msiexec", "/x", new, "/qn")
        check(result.returncode == 0 and wine.installed_versions() == [] and wine.leftovers() == [] and
              "Ethernet Scout" not in wine.registry(ENVIRONMENT_KEY) and
              "Ethernet Scout" not in wine.registry(r"HKLM\Software"),
              "the uninstall leaves nothing behind", result.returncode, wine.leftovers())


def main():
    shipped = os.path.join(PACKAGES, "EthernetScout-%s.msi" % VERSION)
    if not check(os.path.isfile(shipped), "scripts/package made " + shipped):
        print("\n".join(failures))
        return 1
    test_tables(shipped)
    build = windows_build()
    with tempfile.TemporaryDirectory() as work:
        new, old = shipped, os.path.join(work, "older.msi")
        if build != "win32":
            new = os.path.join(work, "this.msi")
            subprocess.run([sys.executable, MAKE_MSI, "--build", os.path.join(ROOT, "build", build), "--out", new],
                           check=True, stdout=subprocess.DEVNULL)
            print("msi: the installer tried under Wine is the %s build's: Wine runs no 32-bit program here" % build)
        subprocess.run([sys.executable, MAKE_MSI, "--build", os.path.join(ROOT, "build", build), "--out", old,
                        "--version", "0.9.0.1"], check=True, stdout=subprocess.DEVNULL)
        # The prefix is of the build's own width (a 32-bit prefix for win32),
        # so the installer's folder is "Program Files" either way; only a
        # 32-bit MSI on 64-bit Windows goes to "Program Files (x86)".
        test_wine(new, old, "Program Files")
    if failures:
        print("msi: FAILED\n" + "\n".join(failures))
        return 1
    print("msi: the installer's tables, and its install, upgrade, PATH and uninstall under Wine")
    return 0


if __name__ == "__main__":
    sys.exit(main())
