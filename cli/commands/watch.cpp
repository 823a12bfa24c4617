// scout-cli watch: every interface searched at once, again and again, and
// only what changes printed, as it happens, until Ctrl-C, SIGTERM or a closed
// output; each event to the journal too under systemd, the line's metrics to
// a file where --metrics names one, and each event marked against the list
// --expect names.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "cli/cli_audit.h"
#include "cli/cli_changes.h"
#include "cli/cli_input.h"
#include "cli/cli_journal.h"
#include "cli/cli_look.h"
#include "cli/cli_readdress.h"
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
    {OptionId::Interval}, {OptionId::Window}, {OptionId::Expect}, {OptionId::Readdress}, {OptionId::Factory},
    {OptionId::Log}, {OptionId::Metrics}, {OptionId::Json},
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
    // A replacement at the factory address is no row's yet: the row it takes, where there is one.
    if (change.kind == ChangeKind::Held || change.kind == ChangeKind::Proposed)
        return change.rowLabel.empty() ? std::string("-") : change.rowLabel;
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

// The metrics file at the start: one that cannot be written is a setting to
// mend, not a bad day; nor can one that another watch writes (its counters
// would run backwards as the two took turns). False: said.
bool StartMetrics(WatchOutputs& out) {
    const char* path = out.session.options.metricsPath;
    unsigned long holder = 0;
    FileError error = CheckWholeFile(path, SparedFiles(out.session.options, out.session.options.expectPath));
    if (error.fault != FileFault::None || !HoldWholeFile(path, &holder, &error)) {
        Say("cannot write the metrics " + SafeText(path) + ": " +
            (error.fault != FileFault::None
                 ? FileErrorText(error)
                 : "another watch writes them" +
                       (holder != 0 ? " (scout-cli, process " + std::to_string(holder) + ")" : std::string())));
        return false;
    }
    return WriteMetrics(out);
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
    seen.searched = watcher.where;
    seen.cutShort = watcher.last.cutShort;
    seen.lost = watcher.last.lost;
    seen.filtered = watcher.last.filtered;
    seen.searchMs = watcher.searchMs;
    seen.endTime = static_cast<std::int64_t>(std::time(nullptr));
    RecordSearch(out.metrics, seen);
    WriteMetrics(out);
}

// The interfaces a watch follows: every broadcast interface, or those
// --interface names; one named that the workstation does not have (yet), or
// does not search now (down, no address), is waited for. The table is read
// again before each search.
struct Following {
    std::vector<std::string> waiting;  // the choices waited for, as said
    bool failing = false;              // the last reading of the table failed (said once)
};

// "waiting for the interface 'eth1' ...", once for each choice not waited for before.
void SayWaiting(const std::vector<std::string>& waiting, const std::vector<std::string>& before) {
    for (const std::string& choice : waiting)
        if (std::find(before.begin(), before.end(), choice) == before.end())
            Say("waiting for the interface '" + QuoteOperand(choice.c_str()) + "' (the workstation has it not, or "
                "does not search it now)");
}

// Before each search: the table read again; each interface that appeared or
// went said once, the controllers of one gone forgotten (not said gone one by
// one); true where the interfaces changed.
bool FollowWatched(Watcher& watcher, Interfaces& interfaces, Following& f, WatchState& state) {
    Session& session = watcher.session;
    const NetPlatform& platform = session.platform;
    InterfaceTable fresh;
    int code = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &fresh, &code);
    if (status != TableStatus::Ok) {
        if (!f.failing)
            Say("cannot read this workstation's interfaces now; the last ones are searched until it can");
        f.failing = true;
        return false;
    }
    if (f.failing)
        Say("this workstation's interfaces are read again");
    f.failing = false;
    platform.releaseInterfaces(platform.context, &interfaces.table);
    interfaces.table = fresh;
    std::vector<BroadcastInterface> now;
    std::vector<std::string> waiting;
    std::string problem;
    if (!ChosenOf(session, interfaces.table, &now, &waiting, &problem)) {
        Say(problem + "; the interfaces as before are searched");
        return false;
    }
    SayWaiting(waiting, f.waiting);
    f.waiting = waiting;
    const InterfaceChanges changes = CompareInterfaces(watcher.where, now);
    for (const BroadcastInterface& via : changes.gone) {
        Say("the interface " + LabelOf(session.names, via) + " is gone; its controllers are not searched until it "
                                                             "is back");
        ForgetInterface(state, via);
    }
    for (const BroadcastInterface& via : changes.appeared)
        Say("the interface " + LabelOf(session.names, via) + " appeared; it is searched from now on");
    watcher.where = now;
    return !changes.gone.empty() || !changes.appeared.empty();
}

}  // namespace

const CommandHelp WatchHelp = {
    .usage = "scout-cli watch [--interface ADDRESS|NAME]... [--interval SECONDS] [--window MS]\n"
             "                [--expect EXPECTED [--readdress-replacements[=propose]] [--log FILE]]\n"
             "                [--metrics FILE] [--json|--csv] [--no-header] [-q]",
    .about = "search every interface at once again and again (--interval,\n"
             "default 2 s) and print only what changes: + a controller\n"
             "appears, - one is gone (missing twice in a row), ~ one at a\n"
             "known address answers with other texts, ! several answer at\n"
             "one address (and when that ends); --json: one object per line.\n"
             "Ctrl-C or SIGTERM ends it (exit 0). Under systemd each event\n"
             "also goes to the journal, with its priority and SCOUT_ fields.\n"
             "Interfaces that come and go are followed. With\n"
             "--readdress-replacements, a new controller at the factory\n"
             "address that replaces the one missing row of its model gets\n"
             "that row's address (> readdressed; ! when in doubt, nothing sent)",
    .options = CommandOptions,
    .examples = "scout-cli watch --json | jq .\n"
                "scout-cli watch --expect line4.csv --metrics /var/lib/node_exporter/scout.prom\n"
                "scout-cli watch --expect line4.csv --readdress-replacements=propose",
};

int RunWatch(Session& session) {
    ExpectedList expected;
    int listExit = ExitOk;
    if (!ReadWatchList(session.options, &expected, &listExit))
        return listExit;
    Watcher watcher{session, {}, {}, {}, 0, {}, 0};
    Interfaces interfaces(session.platform);
    int exitCode = ExitOk;
    Following following;
    if (!StartWatcher(watcher, interfaces, &exitCode, true))
        return exitCode;
    std::string problem;
    if (!ChosenOf(session, interfaces.table, &watcher.where, &following.waiting, &problem))
        return UsageError(problem);
    SayWaiting(following.waiting, {});
    std::vector<KnownInterface> known;
    if (session.options.expectPath != nullptr &&
        !HoldListHere(session, session.options.expectPath, expected, interfaces.table, &known))
        return ExitUsage;
    if (watcher.where.empty() && following.waiting.empty())
        Say("no broadcast interface to watch yet; waiting for one (scout-cli interfaces lists them)");
    Readdressing readdressing;
    if (session.options.readdress != ReaddressMode::Off &&
        !StartReaddressing(session, interfaces, expected, &readdressing, &exitCode))
        return exitCode;
    WatchOutputs out{session, nullptr, {}, {}, false, false};
    out.expected = session.options.expectPath != nullptr ? &expected : nullptr;
    out.journal = ConnectedJournal();
    StartLineMetrics(out.metrics, MetricInterfaces(watcher), out.expected);
    if (session.options.metricsPath != nullptr && !StartMetrics(out))
        return ExitSentUnreported;
    WatchInterrupts();
    SurviveClosedOutput();
    Status(session, "watching " + Count(watcher.where.size(), "interface", "interfaces") + " every " +
                        SecondsSetting(session.options.intervalMs) + "; Ctrl-C ends it");
    if (!out.journal.output)
        PrintHeader(out);
    WatchState state;
    do {
        if (FollowWatched(watcher, interfaces, following, state)) {
            // The list as the workstation knows its interfaces now; the metrics keep every series.
            ResolveInterfaces(expected, KnownInterfaces(session, interfaces.table));
            FollowInterfaces(out.metrics, MetricInterfaces(watcher));
            if (readdressing.mode != ReaddressMode::Off)
                FollowReaddressing(session, interfaces.table, readdressing);
        }
        SearchOnce(watcher);
        const std::string time = LocalTimeText();
        const std::vector<Reply> rows = watcher.list.rows;
        std::vector<Change> changes = CompareSearch(state, rows, watcher.failed);
        if (readdressing.mode != ReaddressMode::Off) {
            NoteWhoAnswers(readdressing, expected, rows, changes);
            for (const Change& act : LookForReplacements(session, readdressing, expected, watcher, state))
                changes.push_back(act);
        }
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
