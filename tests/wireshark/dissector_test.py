#!/usr/bin/env python3
"""The Wireshark dissector read back with tshark on the captures made in the
lab (tools/wireshark/make_captures): every field of every packet against what
was sent, and the captured bytes against what the simulator received."""

import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, "tools/wireshark")
FIELDS = ["kind", "command", "model_text", "version", "revision", "target", "factory_defaults", "new_address",
          "new_mask", "new_gateway"]


def dissect(capture):
    argv = ["tshark", "-X", "lua_script:" + os.path.join(TOOLS, "scout.lua"), "-r", capture, "-T", "fields",
            "-E", "separator=\t", "-E", "occurrence=a", "-E", "aggregator=|", "-e", "udp.length", "-e", "udp.payload",
            "-e", "_ws.expert.message"] + sum((["-e", "scout." + f] for f in FIELDS), [])
    result = subprocess.run(argv, capture_output=True, text=True)
    # A Lua error still exits 0: it shows on standard error (loading) or as an expert message (dissecting).
    if result.returncode != 0 or "Lua" in result.stderr:
        raise SystemExit("tshark failed: %s" % result.stderr)
    packets = []
    for line in result.stdout.splitlines():
        values = line.split("\t")
        packet = {"length": int(values[0]) - 8, "payload": values[1], "expert": values[2]}
        packet.update(zip(FIELDS, values[3:]))
        packets.append(packet)
    return packets


def main():
    with open(os.path.join(TOOLS, "captures/expected.json")) as f:
        expected = json.load(f)
    failures = []
    for name, capture in expected.items():
        packets = dissect(os.path.join(TOOLS, "captures", name + ".pcapng"))
        if len(packets) != len(capture["packets"]):
            failures.append("%s: %d packets, expected %d" % (name, len(packets), len(capture["packets"])))
            continue
        for number, (got, want) in enumerate(zip(packets, capture["packets"]), 1):
            if "Lua Error" in got["expert"]:
                failures.append("%s #%d: %s" % (name, number, got["expert"]))
            for field in FIELDS:
                if got.get(field, "") != want.get(field, ""):
                    failures.append("%s #%d: %s is %r, expected %r" % (name, number, field, got.get(field),
                                                                     want.get(field, "")))
            if got["expert"] != want.get("expert", ""):
                failures.append("%s #%d: expert %r, expected %r" % (name, number, got["expert"],
                                                                    want.get("expert", "")))
            if got["length"] != want.get("length", 40):
                failures.append("%s #%d: %d bytes" % (name, number, got["length"]))
        # The tool's datagram in the capture is the one the simulator received.
        if packets[0]["payload"] != capture["tool_sent"]:
            failures.append("%s: captured %s, the simulator received %s" % (name, packets[0]["payload"],
                                                                           capture["tool_sent"]))
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print("dissector: %d captures read back as sent" % len(expected))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
