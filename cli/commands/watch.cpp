// scout-cli watch: every interface searched at once, again and again, and
// only what changes printed, as it happens, until Ctrl-C, SIGTERM or a closed
// output; each event to the journal too under systemd, the line's metrics to
// a file where --metrics names one, and each event marked against the list
// --expect names.
#include <cstring>
#include <ctime>

#include "cli/cli_audit.h"
#include "cli/cli_changes.h"
#include "cli/cli_input.h"
#include "cli/cli_journal.h"
#include "cli/cli_look.h"
#include "cli/cli_metrics.h"
#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "cli/console.h"
#include "cli/journal.h"
#include "ops/answers.h"
#include "ops/audit.h"
#include "ops/host.h"
#include "ops/line_metrics.h"
#include "ops/record.h"
#include "ops/text.h"
#include "scout_version.h"
#include "ops/files.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Interface, "an interface to watch; given again, each it names\n(default: every interface)"},
    {OptionId::Interval}, {OptionId::Window}, {OptionId::Expect}, {OptionId::Metrics}, {OptionId::Json},
    {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

// The list a watch holds the line against, where --expect names one.
bool ReadWatchList(const Options& options, ExpectedList* expected, int* exitCode) {
    std::string text;
    *exitCode = ExitUsage;
    return options.expectPath == nullptr || ReadDesignList(options.expectPath, expected, &text);
}

// The row's name for the change's controller (its address where it has none), or "unexpected".
std::string Mark(const ExpectedList& expected, const Change& change) {
    const ExpectedRow* row = ExpectedFor(expected, change.row);
    if (row == nullptr)
        return "unexpected";
    return row->name.empty() ? row->addressText : row->name;
}

// Where a watch's events and its metrics go: standard output, the journal
// where systemd connected one, the metrics file where --metrics names one.
struct WatchOutputs {
    Session& session;
    const ExpectedList* expected = nullptr;  // --expect
    JournalStreams journal;
    LineMetrics metrics;
    bool metricsFailing = false;  // the last write of the metrics failed (said once)
    bool headerPrinted = false;   // the table's or CSV's header, before the first line printed
};

// The header, once, before the first line on standard output.
void PrintHeader(WatchOutputs& out) {
    if (out.headerPrinted)
        return;
    Print(WatchHeader(out.session.options.format, out.session.render, out.expected != nullptr));
    out.headerPrinted = true;
}

// One change: a journal entry where there is a journal, and the line on
// standard output unless that is the journal itself (or the entry could not
// be sent, said once: then the line stands for it).
void ReportChange(WatchOutputs& out, const Change& change, const std::string& time) {
    const std::string mark = out.expected != nullptr ? Mark(*out.expected, change) : std::string();
    const char* marked = out.expected != nullptr ? mark.c_str() : nullptr;
    bool journaled = false;
    if (out.journal.output || out.journal.error) {
        const int code = SendJournalEntry(JournalDatagram(ChangeJournalFields(change, marked)));
        journaled = code == 0;
        if (!journaled) {
            Say("warning: cannot write to the journal: " + SafeText(std::strerror(code)) +
                "; the events go to standard output only");
            out.journal = JournalStreams{};
        }
    }
    if (journaled && out.journal.output)
        return;
    PrintHeader(out);
    Print(RenderChange(change, time, out.session.options.format, out.session.render, marked));
}

// The metrics file written whole; a failure said once (and when it is mended).
bool WriteMetrics(WatchOutputs& out) {
    const char* path = out.session.options.metricsPath;
    const FileError error = WriteWholeFile(path, MetricsText(out.metrics, SCOUT_VERSION_TEXT),
                                           SparedFiles(out.session.options, out.session.options.expectPath));
    const bool failed = error.fault != FileFault::None;
    if (failed && !out.metricsFailing)
        Say("cannot write the metrics " + SafeText(path) + ": " + FileErrorText(error) +
            (out.metrics.searches == 0 ? "" : "; tried again after each search"));
    else if (!failed && out.metricsFailing)
        Say("the metrics " + SafeText(path) + " are written again");
    out.metricsFailing = failed;
    return !failed;
}

// The interfaces watched, as the metrics name them.
std::vector<InterfaceMetric> MetricInterfaces(Watcher& watcher) {
    const NetPlatform& platform = watcher.session.platform;
    std::vector<InterfaceMetric> interfaces;
    for (const BroadcastInterface& entry : watcher.where) {
        InterfaceMetric metric;
        metric.via = entry;
        metric.address = AddressString(entry.address);
        metric.name = InterfaceNameOf(watcher.session.names, entry);
        InterfaceDetails details;
        if (platform.describeInterface(platform.context, entry, &details))
            metric.prefixLength = details.prefixLength;
        interfaces.push_back(metric);
    }
    return interfaces;
}

void RecordMetrics(WatchOutputs& out, const Watcher& watcher, const std::vector<Reply>& rows,
                   const std::vector<Change>& changes, const WatchState& state) {
    SearchSeen seen;
    seen.rows = &rows;
    seen.changes = &changes;
    seen.state = &state;
    seen.cutShort = watcher.last.cutShort;
    seen.lost = watcher.last.lost;
    seen.filtered = watcher.last.filtered;
    seen.searchMs = watcher.searchMs;
    seen.endTime = static_cast<std::int64_t>(std::time(nullptr));
    RecordSearch(out.metrics, seen);
    WriteMetrics(out);
}

}  // namespace

const CommandHelp WatchHelp = {
    .usage = "scout-cli watch [--interface ADDRESS|NAME]... [--interval SECONDS] [--window MS]\n"
             "                [--expect EXPECTED] [--metrics FILE] [--json|--csv] [--no-header] [-q]",
    .about = "search every interface at once again and again (--interval,\n"
             "default 2 s) and print only what changes: + a controller\n"
             "appears, - one is gone (missing twice in a row), ~ one at a\n"
             "known address answers with other texts, ! several answer at\n"
             "one address (and when that ends); --json: one object per line.\n"
             "Ctrl-C or SIGTERM ends it (exit 0). Under systemd each event\n"
             "also goes to the journal, with its priority and SCOUT_ fields",
    .options = CommandOptions,
    .examples = "scout-cli watch --json | jq .\n"
                "scout-cli watch --expect line4.csv --metrics /var/lib/node_exporter/scout.prom",
};

int RunWatch(Session& session) {
    ExpectedList expected;
    int listExit = ExitOk;
    if (!ReadWatchList(session.options, &expected, &listExit))
        return listExit;
    Watcher watcher{session, {}, {}, {}, 0, {}, 0};
    Interfaces interfaces(session.platform);
    int exitCode = ExitOk;
    if (!StartWatcher(watcher, interfaces, &exitCode))
        return exitCode;
    // The list as this workstation knows its interfaces: one interface however it is named.
    std::vector<ListFault> faults = ResolveInterfaces(expected, KnownInterfaces(session, interfaces.table));
    for (const ListFault& own : OwnAddressFaults(expected, OwnAddresses(interfaces.table)))
        faults.push_back(own);
    if (!faults.empty()) {
        for (const ListFault& fault : faults)
            Say(InputName(session.options.expectPath) + ", " + ListFaultText(fault));
        return ExitUsage;
    }
    if (watcher.where.empty()) {
        Say("no broadcast interface to watch (scout-cli interfaces lists them)");
        return ExitFailure;
    }
    WatchOutputs out{session, nullptr, {}, {}, false, false};
    out.expected = session.options.expectPath != nullptr ? &expected : nullptr;
    out.journal = ConnectedJournal();
    StartLineMetrics(out.metrics, MetricInterfaces(watcher), out.expected);
    // A file that cannot be written at the start is a setting to mend, not a
    // bad day; nor can one that another watch writes (its counters would run
    // backwards as the two took turns).
    if (session.options.metricsPath != nullptr) {
        unsigned long holder = 0;
        FileError error = CheckWholeFile(session.options.metricsPath, SparedFiles(session.options, session.options.expectPath));
        if (error.fault != FileFault::None || !HoldWholeFile(session.options.metricsPath, &holder, &error)) {
            Say("cannot write the metrics " + SafeText(session.options.metricsPath) + ": " +
                (error.fault != FileFault::None
                     ? FileErrorText(error)
                     : "another watch writes them" +
                           (holder != 0 ? " (scout-cli, process " + std::to_string(holder) + ")" : std::string())));
            return ExitSentUnreported;
        }
        if (!WriteMetrics(out))
            return ExitSentUnreported;
    }
    WatchInterrupts();
    SurviveClosedOutput();
    Status(session, "watching " + Count(watcher.where.size(), "interface", "interfaces") + " every " +
                        SecondsSetting(session.options.intervalMs) + "; Ctrl-C ends it");
    if (!out.journal.output)
        PrintHeader(out);
    WatchState state;
    do {
        SearchOnce(watcher);
        const std::string time = LocalTimeText();
        const std::vector<Reply>& rows = watcher.list.rows;
        const std::vector<Change> changes = CompareSearch(state, rows, watcher.failed);
        for (const Change& change : changes)
            ReportChange(out, change, time);
        if (session.options.metricsPath != nullptr)
            RecordMetrics(out, watcher, rows, changes, state);
        if (OutputFailed())
            break;
    } while (AwaitNextSearch(watcher));
    // Ctrl-C, SIGTERM or a reader that went away is how a watch ends; a
    // metrics file left behind as of an earlier search is not.
    ForgetClosedOutput();
    return out.metricsFailing ? ExitSentUnreported : ExitOk;
}

}  // namespace scout::cli
