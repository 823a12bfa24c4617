#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus (rerun after a
change of the datagram or the table layout)."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAGIC = bytes.fromhex("dbac19a66ab7fe499c87a877398e00c3")


def reply(model, version, revision, command=0):
    return MAGIC + struct.pack("<II", command, model) + version.ljust(8, b"\0")[:8] + revision.ljust(8, b"\0")[:8]


def address(text):
    return bytes(int(p) for p in text.split("."))


def route(dest, mask, next_hop, if_index, route_type):
    return (address(dest) + address(mask) + struct.pack("<I", 0) + address(next_hop) +
            struct.pack("<IIIII", if_index, route_type, 2, 0, 0) + struct.pack("<5I", 1, 0, 0, 0, 0))


def table(rows, count=None):
    return struct.pack("<I", len(rows) if count is None else count) + b"".join(rows)


PLAN_HEADER = b"address,action,new_address,mask,gateway,model,interface\n"

SEEDS = {
    "reply": {
        "query": MAGIC + bytes(24),
        "reply": reply(0x1A2B, b"1.2", b"B"),
        "nul-less": reply(0, b"VERSION8", b"REVISION"),
        "short": reply(7, b"abc", b"d")[:28],
        "command-2": reply(1, b"x", b"y", command=2),
        "long": reply(1, b"x", b"y") + b"\xff" * 8,
        "high-bytes": reply(0xFFFFFFFF, bytes(range(0x80, 0x88)), bytes(range(0x98, 0xA0))),
    },
    "forward_table": {
        "workstation": table([route("0.0.0.0", "0.0.0.0", "10.1.0.254", 2, 4),
                              route("10.1.0.0", "255.255.255.0", "10.1.0.1", 2, 3),
                              route("255.255.255.255", "255.255.255.255", "10.1.0.1", 2, 3),
                              route("255.255.255.255", "255.255.255.255", "127.0.0.1", 1, 3),
                              route("255.255.255.255", "255.255.255.255", "10.2.0.1", 3, 3)]),
        "empty": table([]),
        "count-beyond-bytes": table([route("255.255.255.255", "255.255.255.255", "10.1.0.1", 2, 3)], count=1000),
        "indirect": table([route("255.255.255.255", "255.255.255.255", "10.1.0.1", 2, 4)]),
    },
    "cli_output": {
        "plain": b"1.2\0B\0VERSION8\0rev\0",
        "controls": bytes(range(1, 32)) + b"\0\x7f\x1b[31m\0",
        "high": bytes(range(0x80, 0x100)),
        "quotes": b'a,"b"\0c\r\nd\0\\u0000\0',
    },
    "plan": {
        "good": PLAN_HEADER + b"10.1.0.21,reset,,,,,\r\n10.1.0.22,reconfigure,10.1.0.77,255.255.255.0,0.0.0.0,"
                              b"KRV-ETH1,ws0\n",
        "quoted": b"\xef\xbb\xbf" + PLAN_HEADER + b'"10.1.0.21","re""set",,,,"a,b",\n"x\n',
        "faults": PLAN_HEADER + b"\n10.1.0.21\x1b,reset\n\xff,,,,,,\n,,,,,,,\n",
    },
    "expected": {
        "search-csv": b"IP ADDR,Model,Version,Revision,Interface,Interface Name,MAC\r\n"
                      b"10.1.0.20,KRV-ETH1A2B,1.2,B,10.1.0.1,ws0,02:00:5e:10:00:01\r\n",
        "minimums": b"name,address,model,version,revision,Cabinet\n\"Axis 3\",10.1.0.21,,>=2.14,>=B2,\"A,1\"\n"
                    b"Press,10.1.0.22,KRV,>=2,,\n10.1.0.22,,,,,\n",
        "faults": b"address,address\n",
    },
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
print("seed corpus written to", os.path.join(HERE, "corpus"))
