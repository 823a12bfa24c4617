#!/usr/bin/env python3
"""Builds the Windows installer of one Windows build with Debian's msitools:
scout.wxs filled in and compiled by wixl, then msi-tables.sql applied with
msibuild (the PATH entry and the firewall rules, which wixl cannot write).

    make_msi.py --build build/win32 --out build/packages/EthernetScout-VERSION.msi [--version V]

The version is the one in the file VERSION unless --version names another
(the tests build a lower one to upgrade from). The ProductCode is derived
from the version and the processor, so that one version always has one.
"""

import argparse
import os
import shutil
import string
import subprocess
import sys
import tempfile
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# Names the ProductCodes of Ethernet Scout's installers.
PRODUCT_NAMESPACE = uuid.UUID("9B7E4C2A-31D5-4F86-A0C9-6D2E8B1F5A37")


def is_x64(program):
    """Whether a Windows program is for x64 (else x86), from its PE header."""
    with open(program, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    return int.from_bytes(head[pe + 4:pe + 6], "little") == 0x8664


def msi_version(version):
    """Windows Installer compares only the first three fields of a version
    (at most 255.255.65535): a.b.c.d becomes a.b.(c * 1000 + d), so that every
    build of VERSION has a higher one than the build before it."""
    fields = [int(f) for f in version.split(".")] + [0, 0, 0]
    a, b, c, d = fields[:4]
    if a > 255 or b > 255 or c > 64 or d > 999:
        raise SystemExit("make_msi.py: the version %s does not fit an installer's version" % version)
    return "%d.%d.%d" % (a, b, c * 1000 + d)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--version")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    with open(os.path.join(ROOT, "VERSION")) as f:
        version = args.version or f.read().strip()
    x64 = is_x64(os.path.join(build, "bin", "scout-cli.exe"))
    arch = "x64" if x64 else "x86"
    fields = {
        "version": msi_version(version),
        "product_code": str(uuid.uuid5(PRODUCT_NAMESPACE, "%s %s" % (version, arch))).upper(),
        "win64": "yes" if x64 else "no",
        "program_files": "ProgramFiles64Folder" if x64 else "ProgramFilesFolder",
    }
    with open(os.path.join(HERE, "scout.wxs")) as f:
        source = string.Template(f.read()).substitute(fields)
    out = os.path.abspath(args.out)
    # wixl takes its files by names relative to where it runs.
    files = [os.path.join(build, "bin", "scout.exe"), os.path.join(build, "bin", "scout-cli.exe"),
             os.path.join(build, "README.txt"), os.path.join(build, "LICENSE.txt"),
             os.path.join(ROOT, "tools", "wireshark", "scout.lua")]
    with tempfile.TemporaryDirectory() as work:
        for path in files:
            shutil.copy(path, work)
        wxs = os.path.join(work, "scout.wxs")
        with open(wxs, "w") as f:
            f.write(source)
        unfinished = os.path.join(work, "scout.msi")
        subprocess.run(["wixl", "-a", arch, "-o", unfinished, "scout.wxs"], cwd=work, check=True)
        with open(os.path.join(HERE, "msi-tables.sql")) as f:
            for line in f:
                line = line.strip()
                if line and not line.startswith("--"):
                    subprocess.run(["msibuild", unfinished, "-q", line], check=True)
        os.replace(unfinished, out)
    print(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
