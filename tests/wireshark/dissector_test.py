#!/usr/bin/env python3
"""The Wireshark dissector read back with tshark on the captures made in the
lab (tools/wireshark/make_captures): every field of every packet against what
was sent, and the captured bytes against what the simulator received."""

import json
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, "tools/wireshark")
FIELDS = ["kind", "command", "model_text", "version", "revision", "target", "factory_defaults", "new_address",
          "new_mask", "new_gateway"]


def dissect(capture):
    argv = ["tshark", "-X", "lua_script:" + os.path.join(TOOLS, "scout.lua"), "-r", capture, "-T", "fields",
            "-E", "separator=\t", "-E", "occurrence=a", "-E", "aggregator=|", "-e", "udp.length", "-e", "udp.payload",
            "-e", "_ws.expert.message", "-e", "_ws.col.Info"] + sum((["-e", "scout." + f] for f in FIELDS), [])
    result = subprocess.run(argv, capture_output=True, text=True)
    # A Lua error still exits 0: it shows on standard error (loading) or as an expert message (dissecting).
    if result.returncode != 0 or "Lua" in result.stderr:
        raise SystemExit("tshark failed: %s" % result.stderr)
    packets = []
    for line in result.stdout.splitlines():
        values = line.split("\t")
        packet = {"length": int(values[0]) - 8, "payload": values[1], "expert": values[2], "info": values[3]}
        packet.update(zip(FIELDS, values[4:]))
        packets.append(packet)
    return packets


MAGIC = bytes.fromhex("dbac19a66ab7fe499c87a877398e00c3")


def datagram(command, fields):
    return MAGIC + struct.pack("<I", command) + fields.ljust(20, b"\0")


def write_pcap(path, packets):
    """A capture of raw IPv4 packets (link type 101), one UDP datagram each."""
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 101))
        for n, (src, sport, dst, dport, payload) in enumerate(packets):
            udp = struct.pack("!HHHH", sport, dport, 8 + len(payload), 0) + payload
            header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), n, 0, 64, 17, 0, bytes(map(int, src.split("."))),
                                 bytes(map(int, dst.split("."))))
            words = struct.unpack("!10H", header)
            checksum = sum(words)
            while checksum > 0xFFFF:
                checksum = (checksum & 0xFFFF) + (checksum >> 16)
            header = header[:10] + struct.pack("!H", ~checksum & 0xFFFF) + header[12:]
            f.write(struct.pack("<IIII", n, 0, len(header + udp), len(header + udp)) + header + udp)


REPLY = datagram(0, struct.pack("<I", 2) + b"caf\xe9\x1b\0\0\0" + b"\x80")
# What cannot be right of the ports, and one text decoded in the tree and the Info column alike.
FLAGGED = [
    (("10.1.0.60", 65515, "10.1.0.1", 65513, REPLY),
     {"kind": "Reply", "version": "caf\u00e9\\x1B", "revision": "\u20ac",
      "info": 'Reply KRV-ETH2 version "caf\u00e9\\x1B" revision "\u20ac"', "expert": ""}),
    (("10.1.0.60", 65515, "10.1.0.61", 65515, REPLY),
     {"kind": "Reply", "expert": "Sent from the controller port 65515 to the controller port|"
                                 "A reply sent to the controller port 65515"}),
    (("10.1.0.60", 65515, "10.1.0.1", 65513, datagram(1, bytes([50, 1, 168, 192]))),
     {"kind": "Reset", "expert": "A command sent from the controller port 65515"}),
    (("10.1.0.60", 65515, "255.255.255.255", 65515, datagram(2, bytes([5, 0, 0, 10]))),
     {"kind": "Reconfigure", "expert": "Sent from the controller port 65515 to the controller port|"
                                       "A command sent from the controller port 65515"}),
    (("10.1.0.1", 65513, "255.255.255.255", 65515, REPLY),
     {"kind": "Reply", "expert": "A reply sent to the controller port 65515"}),
    (("10.1.0.1", 65513, "255.255.255.255", 65515, datagram(0, b"")),
     {"kind": "Query", "info": "Query", "expert": ""}),
]


def check_flags():
    failures = []
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "flags.pcap")
        write_pcap(path, [packet for packet, _ in FLAGGED])
        for number, (got, (_, want)) in enumerate(zip(dissect(path), FLAGGED), 1):
            for key, value in want.items():
                if got.get(key, "") != value:
                    failures.append("flags #%d: %s is %r, expected %r" % (number, key, got.get(key), value))
    return failures


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
    failures += check_flags()
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print("dissector: %d captures read back as sent, %d flagged datagrams flagged" % (len(expected),
                                                                                     len(FLAGGED)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
