#!/usr/bin/env python3
"""The examples the docs show as run in the lab, run in the lab: each block
marked "lab: demo" (an HTML comment before it in Markdown, a roff comment in a
man page) runs against the lab's example controllers (lab/examples/demo.conf
and demo-second-segment.conf on two segments; "lab: commission",
lab/examples/commission.conf), its commands one after
another, and prints what the block shows, so that no example can drift from
what the program does. In a block, "$ cat FILE" and the lines after it make
FILE; "$ scout-cli ..." runs, and the lines after it are its output. A line
"..." stands for any lines; seconds may differ; progress lines, which only a
terminal gets, are not compared."""

import os
import re
import shlex
import subprocess
import sys

from e2e import ROOT, Case, build_topology, case_registry, check

CASES, _ = case_registry()

PAGES = ("README.md", "docs/scout-cli.md", "docs/lab.md", "docs/operators-guide.md", "docs/man/scout-cli.1")
MARK = re.compile(r"^\s*(<!--\s*lab:\s*(\S+)\s*-->|\.\\\"\s*lab:\s*(\S+))\s*$")
# What scout-cli says only on a terminal (cli_session's Status lines).
PROGRESS = ("looking for ", "searching ", "sending ", "sent; watching ", "waiting for a controller", "waiting for ")
LABS = {"demo": [(0, "lab/examples/demo.conf"), (1, "lab/examples/demo-second-segment.conf")],
        "commission": [(0, "lab/examples/commission.conf")]}


def unroff(line):
    return (line.replace("\\&", "").replace("\\-", "-").replace("\\(->", "\u2192").replace("\\e", "\\")
            .replace("\\\\", "\\"))


def marked_blocks():
    """(page, line number, lab, lines) of every marked block."""
    blocks = []
    for page in PAGES:
        with open(os.path.join(ROOT, page)) as f:
            lines = f.read().splitlines()
        i = 0
        while i < len(lines):
            m = MARK.match(lines[i])
            if not m:
                i += 1
                continue
            lab, start = m.group(2) or m.group(3), i + 1
            block = []
            if page.endswith(".1"):
                while start < len(lines) and lines[start].strip() != ".nf":
                    start += 1
                j = start + 1
                while j < len(lines) and lines[j].strip() != ".fi":
                    block.append(unroff(lines[j]))
                    j += 1
            else:
                while start < len(lines) and not lines[start].strip():
                    start += 1
                j = start
                while j < len(lines) and (lines[j].startswith("    ") or not lines[j].strip()):
                    block.append(lines[j][4:])
                    j += 1
                while block and not block[-1].strip():
                    block.pop()
            blocks.append((page, i + 1, lab, block))
            i = j
    return blocks


def steps_of(block):
    """The block as (command, shown lines) in order; "cat" steps carry a file."""
    steps = []
    for line in block:
        if line.startswith("$ "):
            steps.append((line[2:], []))
        elif steps:
            steps[-1][1].append(line)
    return steps


def normal(line):
    line = re.sub(r"\b\d+\.\d+\b", "N", line)  # seconds
    return " ".join(line.split())


def matches(shown, got):
    """Whether the lines got are what the lines shown show."""
    shown = [normal(s) for s in shown if s.strip() and not s.startswith(PROGRESS) and
             not re.search(r"controllers? on \d+ interface", s)]
    got = [normal(g) for g in got]
    at = 0
    skipping = False
    for line in shown:
        if line == "...":
            skipping = True
            continue
        while skipping and at < len(got) and got[at] != line:
            at += 1
        if at >= len(got) or got[at] != line:
            return False
        at += 1
        skipping = False
    return skipping or at == len(got)


def run_block(lab, front, block):
    net = build_topology(lab, "two-segments")
    front = os.path.join(os.environ["SCOUT_LINUX_BIN"], "scout-cli")
    for segment, config in LABS[block[2]]:
        lab.start_sim(net.segments[segment], config=os.path.join(ROOT, config))
    work = os.path.join(lab.workdir, "block%d" % block[1])
    os.makedirs(work)
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"))
    for command, shown in steps_of(block[3]):
        words = shlex.split(command)
        if words[0] == "cat":
            with open(os.path.join(work, words[1]), "w") as f:
                f.write("\n".join(shown) + "\n")
            continue
        check(words[0] == "scout-cli", "%s:%d: a lab example runs scout-cli or cat" % block[:2], command)
        line = shlex.quote(front) + " " + command[len("scout-cli"):] + " 2>&1"
        result = lab.run(net.ws, ["sh", "-c", "cd %s && %s" % (shlex.quote(work), line)], env=env, timeout=120)
        got = [g for g in result.stdout.splitlines()]
        check(matches(shown, got), "%s:%d: the example runs as shown" % block[:2], command, "shown:\n" +
              "\n".join(shown), "got (exit %d):\n" % result.returncode + "\n".join(got))


def register():
    """One case per marked block, named after its page and line."""
    for block in marked_blocks():
        page = os.path.basename(block[0]).replace(".", "-").replace("_", "-").lower()

        def run(lab, front_for, block=block):
            """The example block runs as shown."""
            run_block(lab, None, block)

        CASES["%s-%d" % (page, block[1])] = Case(run, ("linux",), True, False)


register()


if __name__ == "__main__":
    from e2e import main
    sys.exit(main(CASES, __doc__))
