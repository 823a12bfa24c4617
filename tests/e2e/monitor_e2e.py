#!/usr/bin/env python3
"""End-to-end watch as the line monitor: its metrics file read by Debian's own
node exporter (whose parser rejects a malformed file) and by promtool, the
example alert rules run over what it wrote, a reader that never sees the file
half-written, and the Debian service's own command lines run as its dynamic
user would (nobody with CAP_NET_RAW), its events sent to a journal socket."""

import csv
import io
import json
import os
import re
import shlex
import signal
import socket
import subprocess
import sys
import time

from e2e import ROOT, build_topology, case_registry, check, main, stderr_lines

CASES, case = case_registry()

EXPORTER = "/usr/bin/prometheus-node-exporter"
UNIT = os.path.join(ROOT, "packaging/debian/ethernet-scout-watch.service")
DEFAULTS = os.path.join(ROOT, "packaging/debian/ethernet-scout-watch.default")
ALERTS = os.path.join(ROOT, "packaging/monitoring/ethernet-scout-alerts.yml")
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
SAMPLE = re.compile(r'^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)$')


def labels_of(text):
    """The labels of a sample as the format writes them, unescaped."""
    labels, at = {}, 0
    while at < len(text):
        equals = text.index("=", at)
        name, value, at = text[at:equals], "", equals + 2
        while text[at] != '"':
            if text[at] == "\\":
                value += {"\\": "\\", '"': '"', "n": "\n"}[text[at + 1]]
                at += 2
            else:
                value += text[at]
                at += 1
        labels[name] = value
        at += 2 if at + 1 < len(text) and text[at + 1] == "," else 1
    return labels


def samples_of(text):
    """Every sample line as (name, labels, value)."""
    out = []
    for line in text.splitlines():
        match = SAMPLE.match(line)
        if match and not line.startswith("#"):
            out.append((match.group(1), labels_of(match.group(2) or ""), float(match.group(3))))
    return out


def find(samples, name, **labels):
    return [s for s in samples if s[0] == name and all(s[1].get(k) == v for k, v in labels.items())]


def start_exporter(lab, net, folder, port):
    """Debian's node exporter on the workstation's loopback, with only its
    textfile collector, reading folder."""
    check(os.path.exists(EXPORTER), "prometheus-node-exporter is installed (scripts/setup)")
    lab.popen(net.ws, [EXPORTER, "--web.listen-address=127.0.0.1:%d" % port, "--collector.disable-defaults",
                       "--collector.textfile", "--collector.textfile.directory=" + folder,
                       "--web.disable-exporter-metrics"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def scrape(lab, net, port):
    """The exporter's /metrics, fetched inside the workstation namespace ("" until it answers)."""
    fetch = ("import sys, urllib.request\n"
             "sys.stdout.write(urllib.request.urlopen('http://127.0.0.1:%d/metrics', timeout=5).read().decode())\n"
             % port)
    result = lab.run(net.ws, [sys.executable, "-c", fetch], timeout=20)
    return result.stdout if result.returncode == 0 else ""


def scrape_until(lab, net, port, ready, seconds=40):
    """Scrapes until ready(samples) holds; the last scrape's text and samples."""
    deadline, text = time.time() + seconds, ""
    while time.time() < deadline:
        text = scrape(lab, net, port)
        samples = samples_of(text)
        if ready(samples):
            return text, samples
        time.sleep(0.5)
    return text, samples_of(text)


def rules_without_annotations(folder):
    """The example rules with their annotations left out (promtool's tests
    compare them whole; promtool check rules has read their templates)."""
    kept, skipping = [], None
    with open(ALERTS) as f:
        for line in f:
            indent = len(line) - len(line.lstrip())
            if skipping is not None and line.strip() and indent <= skipping:
                skipping = None
            if line.strip() == "annotations:":
                skipping = indent
            if skipping is None:
                kept.append(line)
    path = os.path.join(folder, "rules.yml")
    with open(path, "w") as f:
        f.writelines(kept)
    check(subprocess.run(["promtool", "check", "rules", ALERTS], capture_output=True).returncode == 0,
          "promtool reads the example rules")
    return path


def alert_tests(rules, samples, expected):
    """A promtool test file that holds every scout sample as it is for 10
    minutes, and says which alerts fire then (expected: name -> label sets)."""
    lines = ["rule_files:", "  - %s" % json.dumps(rules), "evaluation_interval: 1m", "tests:",
             "  - interval: 1m", "    input_series:"]
    for name, labels, value in samples:
        if not name.startswith("scout_"):
            continue
        text = ",".join('%s=%s' % (k, json.dumps(v)) for k, v in sorted(labels.items()))
        text += (',' if text else '') + 'instance="line4-pc:9100"'
        series = "%s{%s}" % (name, text)
        values = "%g+0x12" % value
        if name.endswith("_timestamp_seconds"):
            values = "0+60x12"  # searched every minute of the test's clock
        lines.append("      - series: %s" % json.dumps(series))
        lines.append("        values: %s" % json.dumps(values))
    lines.append("    alert_rule_test:")
    for alert, label_sets in expected.items():
        lines.append("      - eval_time: 10m")
        lines.append("        alertname: %s" % alert)
        lines.append("        exp_alerts:" + ("" if label_sets else " []"))
        for labels in label_sets:
            lines.append("          - exp_labels:")
            for k, v in sorted(labels.items()):
                lines.append("              %s: %s" % (k, json.dumps(v)))
    return "\n".join(lines) + "\n"


HOSTILE_VERSION = "\\x22}\\x5C\\x0A{\\xFF!"  # a quote, a brace, a backslash, a line feed, a byte of no UTF-8


@case
def metrics_read_by_the_node_exporter(lab, front_for):
    """Controllers appear, one goes, a second one comes up at a used address,
    an expected one never answers, and one's version is bytes meant to break
    the file: the node exporter reads every sample (no scrape error), the
    hostile text comes back as the table shows it, and the example alert
    rules fire on exactly what is wrong."""
    net = build_topology(lab, "single")
    front = front_for(net)
    lab.start_sim(net.segments[0], [
        "address=10.1.0.20 model=1A2B version=2.14 revision=C",
        "address=10.1.0.21 model=3C00 version=3.0.7 revision=A1 off-ms=6000",
        "address=10.1.0.22 model=10 version=1.9 revision=B",
        "address=10.1.0.22 model=10 version=1.9 revision=B online-ms=6000",
        "address=10.1.0.23 model=4D2 version=%s revision=r" % HOSTILE_VERSION])
    folder = os.path.join(lab.workdir, "textfile")
    os.mkdir(folder)
    expected = os.path.join(lab.workdir, "line4.csv")
    with open(expected, "w") as f:
        f.write("name,address,model\nAxis 1,10.1.0.20,KRV-ETH1A2B\nPress,10.1.0.30,\n")
    shown = [r for r in front.search_json("--window", "500").rows if r["address"] == "10.1.0.23"]
    table = front.cli("search", "--csv", "--window", "500").stdout
    hostile = [row for row in csv.reader(io.StringIO(table)) if row[0] == "10.1.0.23"]
    check(shown and hostile, "the hostile controller answers", table)
    start_exporter(lab, net, folder, 9100)
    watch = front.start("watch", "--json", "--window", "500", "--interval", "1", "--expect", expected,
                        "--metrics", os.path.join(folder, "ethernet-scout.prom"))
    text, samples = scrape_until(lab, net, 9100, lambda s: find(s, "scout_controller_up", address="10.1.0.21") and
                                 find(s, "scout_controller_up", address="10.1.0.21")[0][2] == 0 and
                                 find(s, "scout_interface_duplicate_addresses") and
                                 find(s, "scout_interface_duplicate_addresses")[0][2] == 1)
    watch.send_signal(signal.SIGINT)
    watch.communicate(timeout=20)
    check(find(samples, "node_textfile_scrape_error") and find(samples, "node_textfile_scrape_error")[0][2] == 0,
          "the exporter read the file", text)
    # One series per place (interface and address), kept whatever the
    # controller says of itself; that is scout_controller_info, where frames
    # tell the two at 10.1.0.22 apart on Linux (one series each) and the
    # neighbour table under Wine cannot (one: the same texts).
    up = sorted((s[1]["address"], s[2]) for s in find(samples, "scout_controller_up"))
    check(up == [("10.1.0.20", 1), ("10.1.0.21", 0), ("10.1.0.22", 1), ("10.1.0.23", 1)],
          "every controller, the one gone kept at 0", up, text)
    check(len(find(samples, "scout_controller_info", address="10.1.0.22")) == (2 if front.build == "linux" else 1),
          "what each says of itself", text)
    version = find(samples, "scout_controller_info", address="10.1.0.23")[0][1]["version"]
    check(version == hostile[0][2], "the hostile version as the table shows it", version, hostile)
    check(find(samples, "scout_controller_up", address="10.1.0.20")[0][1].get("name") == "Axis 1",
          "the list's name on its controller", samples)
    check([(s[1]["name"], s[2]) for s in find(samples, "scout_expected_controller_up")] ==
          [("Axis 1", 1), ("Press", 0)], "each expected row, answering or missing", text)
    check(find(samples, "scout_interface_expected_missing", interface="ws0")[0][2] == 1 and
          find(samples, "scout_interface_controllers", interface="ws0")[0][2] == 3 and
          find(samples, "scout_info")[0][1]["version"] != "", "per interface, and the version", text)
    lint = subprocess.run(["promtool", "check", "metrics"], input=open(os.path.join(folder, "ethernet-scout.prom"),
                                                                           "rb").read(), capture_output=True)
    check(lint.returncode == 0 and not lint.stdout.strip() and not lint.stderr.strip(),
          "promtool finds nothing to say of the file", lint.stdout, lint.stderr)
    # What the rules make of it: ten minutes of these samples.
    interface = {"instance": "line4-pc:9100", "interface": "ws0", "interface_address": "10.1.0.1"}
    # (The exporter gives every sample of a family the same labels, empty where a
    # sample had none; an empty label is no label to Prometheus.)
    gone = {k: v for k, v in find(samples, "scout_controller_up", address="10.1.0.21")[0][1].items() if v}
    said = find(samples, "scout_controller_info", address="10.1.0.21")[0][1]
    gone.update(instance="line4-pc:9100", severity="warning", model=said["model"], version=said["version"],
                revision=said["revision"])
    firing = {"ControllerGone": [gone],
              "ExpectedControllerMissing": [{"address": "10.1.0.30", "name": "Press", "severity": "warning",
                                             "instance": "line4-pc:9100", "interface": "ws0",
                                             "interface_address": "10.1.0.1"}],
              "ControllerDuplicateAddress": [dict(interface, severity="warning")],
              "LineWatchStale": [], "ControllerRepliesLost": []}
    # Frames tell the two at 10.1.0.22 apart on Linux; the neighbour table under Wine cannot.
    conflicts = find(samples, "scout_interface_address_conflicts")[0][2]
    check(conflicts == (1 if front.build == "linux" else 0), "an address conflict where MACs tell it", text)
    firing["ControllerAddressConflict"] = [dict(interface, severity="critical")] if conflicts else []
    tests = os.path.join(lab.workdir, "alerts_test.yml")
    with open(tests, "w") as f:
        f.write(alert_tests(rules_without_annotations(lab.workdir), samples, firing))
    result = subprocess.run(["promtool", "test", "rules", tests], capture_output=True, text=True)
    check(result.returncode == 0, "the example alert rules fire on what is wrong, and only on that",
          result.stdout, result.stderr)


@case
def one_watch_per_metrics_file(lab, front_for):
    """A second watch on a metrics file that a watch writes is refused in one
    line that names the first, exit 5: taking turns, their counters would run
    backwards. Once the first has ended, a watch may write the file again."""
    net = build_topology(lab, "single")
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C"])
    front = front_for(net)
    os.chmod(lab.workdir, 0o755)
    path = os.path.join(lab.workdir, "line.prom")
    first = front.start("watch", "--quiet", "--window", "300", "--interval", "1", "--metrics", path)
    deadline = time.time() + 30
    while time.time() < deadline and not os.path.exists(path):
        time.sleep(0.1)
    second = front.cli("watch", "--quiet", "--metrics", path, timeout=30)
    pid = "" if front.build != "linux" else " (scout-cli, process %d)" % first.pid
    check(second.returncode == 5 and stderr_lines(second) == [
        "scout-cli: cannot write the metrics %s: another watch writes them%s" % (path, pid)] or
          (front.build != "linux" and second.returncode == 5 and "another watch writes them" in second.stderr),
          "the second watch refused, naming the first", second.returncode, second.stderr)
    first.send_signal(signal.SIGTERM)
    first.communicate(timeout=20)
    check(first.returncode == 0 or front.build != "linux", "the first ends as a watch ends", first.returncode)
    again = front.start("watch", "--quiet", "--window", "300", "--interval", "1", "--metrics", path)
    time.sleep(2)
    check(again.poll() is None, "once the first has ended, the file is free", again.poll())
    again.send_signal(signal.SIGTERM)
    again.communicate(timeout=20)


@case(builds=("linux",))
def metrics_never_seen_half_written(lab, front_for):
    """A reader that reads the metrics file as fast as it can while a watch
    of 300 controllers rewrites it after each search: every read is a
    whole file, and the exporter never rejects one."""
    net = build_topology(lab, "single")
    front = front_for(net)
    lines = ["address=10.1.%d.%d model=1A2B version=2.14 revision=C" % (n // 200, 10 + n % 200) for n in range(300)]
    lab.start_sim(net.segments[0], lines)
    folder = os.path.join(lab.workdir, "textfile")
    os.mkdir(folder)
    path = os.path.join(folder, "ethernet-scout.prom")
    watch = front.start("watch", "--quiet", "--window", "500", "--interval", "1", "--metrics", path)
    reads, searches, torn, deadline = 0, set(), [], time.time() + 12
    while time.time() < deadline and watch.poll() is None:
        try:
            with open(path) as f:
                text = f.read()
        except FileNotFoundError:
            continue
        reads += 1
        total = re.search(r"^scout_searches_total (\d+)$", text, re.M)
        whole = text.startswith("# HELP scout_info ") and text.endswith("\n") and total is not None and (
            total.group(1) == "0" or text.rstrip("\n").split("\n")[-1].startswith("scout_replies_filtered_total "))
        if not whole:
            torn.append(text[-200:])
        elif total:
            searches.add(int(total.group(1)))
    watch.send_signal(signal.SIGTERM)
    out, err = watch.communicate(timeout=20)
    check(watch.returncode == 0, "SIGTERM ends the watch cleanly", watch.returncode, err)
    check(not torn, "never half a file (%d reads)" % reads, torn[:3])
    check(len(searches) >= 3, "the file was rewritten after each search while it was read", sorted(searches), reads)
    final = samples_of(open(path).read())
    check(len(find(final, "scout_controller_up")) == 300, "every controller in the file",
          len(find(final, "scout_controller_up")))


@case(builds=("linux",))
def what_the_field_laptop_drops_is_counted(lab, front_for):
    """On the offline field laptop (rp_filter 2) a new controller at its
    factory address is outside every subnet: run as root the watch reads it
    past the filter and lists it; as an unprivileged user it cannot, and the
    metrics count what the kernel dropped, so that an alert says a controller
    may be missing rather than nothing at all."""
    net = build_topology(lab, "single", "laptop")
    front = front_for(net)
    lab.start_sim(net.segments[0], ["address=192.168.1.100 model=1A2B version=2.14 revision=C",
                                    "address=10.1.0.20 model=1 version=v revision=r"])
    folder = os.path.join(lab.workdir, "metrics")
    os.mkdir(folder)
    os.chmod(lab.workdir, 0o755)
    os.chmod(folder, 0o1777)  # as /tmp: everyone may write, only into files of their own
    for who, prefix in (("root", []), ("nobody", NOBODY)):
        path = os.path.join(folder, who + ".prom")
        watch = lab.popen(net.ws, prefix + [front.program, "watch", "--quiet", "--window", "500", "--interval", "1",
                                            "--metrics", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True)
        deadline, samples = time.time() + 20, []
        while time.time() < deadline:
            samples = samples_of(open(path).read()) if os.path.exists(path) else []
            if find(samples, "scout_searches_total") and find(samples, "scout_searches_total")[0][2] >= 3:
                break
            time.sleep(0.3)
        watch.send_signal(signal.SIGTERM)
        out, err = watch.communicate(timeout=20)
        listed = sorted(s[1]["address"] for s in find(samples, "scout_controller_up"))
        filtered = find(samples, "scout_replies_filtered_total")[0][2]
        if who == "root":
            check(listed == ["10.1.0.20", "192.168.1.100"] and filtered == 0, "root: both, nothing dropped",
                  listed, filtered)
        else:
            check(listed == ["10.1.0.20"] and filtered >= 3, "nobody: the dropped replies counted, search by search",
                  listed, filtered)
            check("warning: the kernel dropped 1 reply" in err, "and said once on standard error", err)


def journal_stream():
    """A pipe as systemd connects a service's output to the journal: its ends,
    and the environment that names it (JOURNAL_STREAM, device:inode)."""
    read_end, write_end = os.pipe()
    st = os.fstat(write_end)
    return read_end, write_end, dict(os.environ, JOURNAL_STREAM="%d:%d" % (st.st_dev, st.st_ino))


def unit_lines(key):
    """The command lines of a key of the shipped unit, as systemd reads them
    (its prefixes apart)."""
    with open(UNIT) as f:
        return [line.split("=", 1)[1].strip() for line in f if line.startswith(key + "=")]


def defaults():
    """The environment file the package ships, as systemd reads it."""
    values = {}
    with open(DEFAULTS) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                name, value = line.split("=", 1)
                values[name] = shlex.split(value)[0] if value else ""
    for line in unit_lines("Environment"):
        name, value = line.split("=", 1)
        values.setdefault(name, value)
    return values


def expand(command, values):
    """A command line of the unit with ${NAME} as one word and $NAME split into words."""
    words = []
    for word in shlex.split(command.lstrip("-+@!:")):
        if re.fullmatch(r"\$[A-Z_]+", word):
            words += values.get(word[1:], "").split()
        else:
            words.append(re.sub(r"\$\{([A-Z_]+)\}", lambda m: values.get(m.group(1), ""), word))
    return words


@case(builds=("linux",))
def the_service_as_systemd_runs_it(lab, front_for):
    """The shipped unit's own command lines, with the shipped settings: the
    link into the textfile folder made as root, the watch run as an
    unprivileged user with CAP_NET_RAW alone (the unit's dynamic user), its
    standard output and error connected to a journal socket as systemd does.
    Each event reaches the journal once, with its priority and SCOUT_ fields
    (the MACs read at the link layer: the capability works), nothing is
    printed beside it, the node exporter reads the metrics through the link,
    SIGTERM ends it with exit 0, and the link is removed after."""
    net = build_topology(lab, "single")
    front = front_for(net)
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C",
                                    "address=10.1.0.21 model=3C00 version=3.0.7 revision=A1 off-ms=5000"])
    values = defaults()
    check("--interval" in values.get("SCOUT_WATCH_OPTIONS", ""), "the shipped settings give the interval", values)
    values["SCOUT_WATCH_OPTIONS"] = values["SCOUT_WATCH_OPTIONS"].replace("--interval 10", "--interval 2")
    textfile = os.path.join(lab.workdir, "textfile")
    os.mkdir(textfile)
    values["SCOUT_TEXTFILE_DIR"] = textfile
    pre, start, post = (expand(unit_lines(key)[0], values) for key in ("ExecStartPre", "ExecStart", "ExecStopPost"))
    check(start[0] == "/usr/bin/scout-cli", "the unit runs the installed scout-cli", start)
    start[0] = front.program
    # The journal's socket, and the stream systemd would connect both outputs to.
    journal = os.path.join(lab.workdir, "journal")
    os.mkdir(journal)
    receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    receiver.bind(os.path.join(journal, "socket"))
    os.chmod(journal, 0o755)
    os.chmod(os.path.join(journal, "socket"), 0o666)
    stream_read, stream_write, env = journal_stream()
    # The runtime folder and the journal where systemd puts them, in a mount namespace of the service's own.
    script = ("set -e; mount -t tmpfs -o mode=0755 tmpfs /run; mkdir -p /run/systemd/journal /run/ethernet-scout-watch;"
              " chown 65534:65534 /run/ethernet-scout-watch; mount --bind %s /run/systemd/journal; %s;"
              " %s --web.listen-address=127.0.0.1:9100 --collector.disable-defaults --collector.textfile"
              " --collector.textfile.directory=%s --web.disable-exporter-metrics >/dev/null 2>&1 &"
              " exec %s --inh-caps=+net_raw --ambient-caps=+net_raw %s"
              % (shlex.quote(journal), shlex.join(pre), EXPORTER, shlex.quote(textfile), shlex.join(NOBODY),
                 shlex.join(start)))
    service = lab.popen(net.ws, ["unshare", "--mount", "--propagation", "private", "sh", "-c", script], env=env,
                        stdout=stream_write, stderr=stream_write)
    os.close(stream_write)
    receiver.settimeout(1)
    entries, deadline = [], time.time() + 30
    while time.time() < deadline and not any(e.get("SCOUT_EVENT") == "gone" for e in entries):
        try:
            data = receiver.recv(65536).decode()
        except socket.timeout:
            continue
        entries.append(dict(line.split("=", 1) for line in data.splitlines() if "=" in line))
    text, samples = scrape_until(lab, net, 9100, lambda s: find(s, "scout_controller_up"), seconds=10)
    service.send_signal(signal.SIGTERM)
    service.wait(timeout=20)
    printed = os.read(stream_read, 65536).decode()
    os.close(stream_read)
    events = sorted((e["SCOUT_EVENT"], e["SCOUT_ADDRESS"], e["PRIORITY"]) for e in entries)
    check(events == [("appeared", "10.1.0.20", "5"), ("appeared", "10.1.0.21", "5"), ("gone", "10.1.0.21", "4")],
          "each event once, a gone one a warning", entries)
    check(all(e["SYSLOG_IDENTIFIER"] == "scout-cli" and re.fullmatch(r"02:00:5e(:[0-9a-f]{2}){3}", e["SCOUT_MAC"])
              and e["SCOUT_INTERFACE_NAME"] == "ws0" and e["MESSAGE"].startswith("controller ") for e in entries),
          "its fields, the MAC read at the link layer", entries)
    check(printed == "", "nothing printed beside the journal", printed)
    check(service.returncode == 0, "SIGTERM ends it cleanly", service.returncode)
    check(find(samples, "node_textfile_scrape_error")[0][2] == 0 and len(find(samples, "scout_controller_up")) == 2,
          "the exporter reads the metrics through the link", text)
    check(os.path.islink(os.path.join(textfile, "ethernet-scout.prom")), "the link stays while the service stops")
    check(subprocess.run(post).returncode == 0 and not os.path.lexists(os.path.join(textfile, "ethernet-scout.prom")),
          "and goes after", post)


@case(builds=("linux",))
def metrics_and_journal_on_a_bad_day(lab, front_for):
    """A metrics file that cannot be written at the start (no folder, a
    folder in its place, a folder nobody may write to, /proc) is said in one
    line, with the error's priority where standard error is the journal, and
    ends the watch with exit 5 before it searches; so is a link planted in its
    place (neither followed nor replaced), /dev/null, a FIFO, the expected
    list and the record of changes; a journal that cannot be reached is a
    warning once, and the events go to standard output instead."""
    net = build_topology(lab, "single")
    front = front_for(net)
    lab.start_sim(net.segments[0], ["address=10.1.0.20 model=1A2B version=2.14 revision=C"])
    missing = os.path.join(lab.workdir, "no-such-folder", "ethernet-scout.prom")
    stream_read, stream_write, env = journal_stream()
    proc = lab.popen(net.ws, [front.program, "watch", "--metrics", missing], env=env, stdout=subprocess.PIPE,
                     stderr=stream_write)
    os.close(stream_write)
    out, _ = proc.communicate(timeout=20)
    said = os.read(stream_read, 65536).decode()
    os.close(stream_read)
    check(proc.returncode == 5 and said.startswith("<3>scout-cli: cannot write the metrics ") and
          said.count("\n") == 1 and not out, "said once as an error, exit 5", proc.returncode, said, out)
    # Hostile places for the file: each refused at the start, one line, exit 5,
    # nothing left behind, what stood there as it was.
    os.chmod(lab.workdir, 0o755)
    folder = os.path.join(lab.workdir, "metrics")
    os.mkdir(folder)
    os.mkdir(os.path.join(folder, "a-folder.prom"))
    target = os.path.join(lab.workdir, "precious")
    with open(target, "w") as f:
        f.write("kept\n")
    os.symlink(target, os.path.join(folder, "planted.prom"))
    os.mkfifo(os.path.join(folder, "fifo.prom"))
    listed = os.path.join(folder, "line.csv")
    with open(listed, "w") as f:
        f.write("address\n10.1.0.20\n")
    # The record of changes at its default place (the lab's XDG_STATE_HOME).
    record = os.path.join(os.environ["XDG_STATE_HOME"], "ethernet-scout", "commands.jsonl")
    os.makedirs(os.path.dirname(record), exist_ok=True)
    cases = [  # (user, file, why, more arguments)
        ("root", os.path.join(folder, "a-folder.prom"), "it is a folder", []),
        ("root", os.path.join(folder, "none", "m.prom"), "No such file or directory", []),
        ("nobody", os.path.join(folder, "m.prom"), "Permission denied", []),
        ("root", "/proc/ethernet-scout.prom", "", []),
        ("root", os.path.join(folder, "planted.prom"), "it is a symbolic link", []),
        ("root", os.path.join(folder, "fifo.prom"), "it is no regular file", []),
        ("root", listed, "which this run reads or keeps", ["--expect", listed]),
        ("root", record, "which this run reads or keeps", []),
    ]
    with open(record, "w") as f:
        f.write("{}\n")
    for user, path, why, more in cases:
        result = lab.run(net.ws, (NOBODY if user == "nobody" else []) + [front.program, "watch", "--metrics", path] +
                         more, timeout=20)
        lines = result.stderr.splitlines()
        check(result.returncode == 5 and len(lines) == 1 and lines[0].startswith("scout-cli: cannot write the metrics ")
              and why in lines[0] and result.stdout == "", "refused at the start: " + path, result.returncode,
              result.stderr, result.stdout)
    check(open(target).read() == "kept\n" and os.path.islink(os.path.join(folder, "planted.prom")) and
          open(listed).read() == "address\n10.1.0.20\n" and open(record).read() == "{}\n",
          "what stood there as it was: the link, the list, the record")
    # /dev/null as root, in a mount namespace of its own with a /dev of its own.
    script = ("mount -t tmpfs tmpfs /dev && mknod -m 666 /dev/null c 1 3 && %s watch --metrics /dev/null; "
              "echo exit=$?; test -c /dev/null && echo device" % shlex.quote(front.program))
    result = lab.run(net.ws, ["unshare", "--mount", "--propagation", "private", "sh", "-c", script], timeout=20)
    check(result.stdout.split() == ["exit=5", "device"] and result.stderr.startswith(
        "scout-cli: cannot write the metrics /dev/null: it is no regular file"), "/dev/null refused, still a device",
        result.stdout, result.stderr)
    check(sorted(os.listdir(folder)) == ["a-folder.prom", "fifo.prom", "line.csv", "planted.prom"],
          "no temporary file left behind", os.listdir(folder))
    # Standard output is the journal's stream, but no journal listens at its socket (none in the lab).
    script = "mount -t tmpfs tmpfs /run && exec %s watch --csv --window 300 --interval 1" % shlex.quote(front.program)
    stream_read, stream_write, env = journal_stream()
    proc = lab.popen(net.ws, ["unshare", "--mount", "--propagation", "private", "sh", "-c", script], env=env,
                     stdout=stream_write, stderr=stream_write)
    os.close(stream_write)
    os.set_blocking(stream_read, False)
    printed, deadline = "", time.time() + 20
    while time.time() < deadline and "appeared," not in printed:
        time.sleep(0.2)
        try:
            printed += os.read(stream_read, 65536).decode()
        except BlockingIOError:
            pass
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=20)
    os.close(stream_read)
    lines = printed.splitlines()
    check(len(lines) >= 3 and lines[0].startswith("<4>scout-cli: warning: cannot write to the journal: ") and
          lines[1].startswith("Event,Time,IP ADDR,") and lines[2].startswith("appeared,") and
          ",10.1.0.20," in lines[2] and proc.returncode == 0,
          "a warning, then the header and the event on standard output", printed, proc.returncode)


if __name__ == "__main__":
    sys.exit(main(CASES, __doc__))
