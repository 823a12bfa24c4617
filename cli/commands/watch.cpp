// scout-cli watch: every interface searched at once, again and again, and
// only what changes printed, as it happens, until Ctrl-C, SIGTERM or a closed
// output; each event to the journal too under systemd, the line's metrics to
// a file where --metrics names one, and each event marked against the list
// --expect names.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>

#include "cli/cli_audit.h"
#include "cli/cli_changes.h"
#include "cli/cli_give_row.h"
#include "cli/cli_input.h"
#include "cli/cli_journal.h"
#include "cli/cli_look.h"
#include "cli/cli_path.h"
#include "cli/cli_metrics.h"
#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "cli/console.h"
#include "cli/journal.h"
#include "ops/answers.h"
#include "ops/audit.h"
#include "ops/host.h"
#include "ops/commission.h"
#include "ops/hosts.h"
#include "ops/line_metrics.h"
#include "ops/replacement.h"
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

// watch --readdress-replacements: the list's rows, what was tried (from the
// record, so across restarts), what was said, and the MAC each row's address
// answered from last, for the readdressing's record.
struct Readdressing {
    ReaddressMode mode = ReaddressMode::Off;
    NetAddress factory = 0;
    std::string recordPath;
    ReplacementTries tried;
    std::vector<KnownInterface> known;
    std::vector<BroadcastInterface> all;
    std::vector<NetAddress> own;
    std::map<std::uint32_t, std::string> said;  // per interface: the last doubt or proposal said there
    std::vector<Replacing> lastSeen;            // per row: the MAC its address answered from last
    std::map<std::size_t, Replacing> replaced;  // per row readdressed: the controller it replaced
};

void ReadTries(void* context, const RecordLine& line) {
    AddTry(static_cast<Readdressing*>(context)->tried, line);
}
void SkipLine(void*, const std::string&) {}

// The start of --readdress-replacements: the factory address, a record that
// can be kept (where it acts), and what the record says was tried before.
bool StartReaddressing(Session& session, Interfaces& interfaces, const ExpectedList& list, Readdressing* r,
                       int* exitCode) {
    const Options& options = session.options;
    r->mode = options.readdress;
    *exitCode = ExitUsage;
    if (!ParseDottedAddress(options.factory, &r->factory) || !ControllerCanHold(r->factory)) {
        UsageError("--factory takes an address a controller can hold, not '" + QuoteOperand(options.factory) + "'");
        return false;
    }
    r->recordPath = RecordPath(options);
    if (r->mode == ReaddressMode::Act) {
        *exitCode = ExitSentUnreported;
        if (const FileError error = AppendRecordText(r->recordPath, ""); error.fault != FileFault::None) {
            Say("cannot keep the record of changes " + SafeText(r->recordPath.c_str()) + ": " + FileErrorText(error) +
                "; --readdress-replacements sends only what it records (--log FILE records elsewhere, =propose "
                "sends nothing)");
            return false;
        }
    }
    std::FILE* file = nullptr;
    int error = 0;
    if (OpenRegularFile(r->recordPath, &file).fault == FileFault::None) {
        EachRecord(file, r, ReadTries, SkipLine, &error);
        std::fclose(file);
    }
    r->known = KnownInterfaces(session, interfaces.table);
    r->all = AllOf(interfaces.table);
    r->own = OwnAddresses(interfaces.table);
    std::size_t noGateway = 0;
    for (const ExpectedRow& row : list.rows)
        noGateway += row.gatewayGiven ? 0 : 1;
    if (noGateway != 0)
        Say(Count(noGateway, "row", "rows") + " of the list give no gateway: a replacement given such a row's "
                                               "address gets none (give the list a gateway column)");
    r->lastSeen.assign(list.rows.size(), Replacing{});
    for (std::size_t i = 0; i < list.rows.size(); ++i)
        r->lastSeen[i] = Replacing{RowLabel(list.rows[i]), list.rows[i].macGiven, list.rows[i].mac, ReaddressCommand};
    return true;
}

// What a doubt says.
std::string DoubtText(const ExpectedList& list, const ReplacementChoice& choice) {
    switch (choice.doubt) {
    case ReplacementDoubt::None: break;
    case ReplacementDoubt::SeveralMissing: {
        std::string rows;
        for (const std::size_t r : choice.rows)
            rows += (rows.empty() ? "" : ", ") + RowLabel(list.rows[r]);
        return "rows of its model are missing here: " + rows + "; give it one by hand";
    }
    case ReplacementDoubt::NoneMissing: return "no row of its model is missing on this interface";
    case ReplacementDoubt::SeveralAtFactory: return "more than one controller answers at the factory address here";
    case ReplacementDoubt::MacOfAnotherRow:
        return "its MAC is " + RowLabel(list.rows[choice.row]) + "'s, which answers already";
    case ReplacementDoubt::Tried:
        return "it was given a row before and not seen there; it is not tried again (give it its address by hand)";
    }
    return "";
}

// One act of the watch on a replacement, as an event.
Change ReaddressChange(ChangeKind kind, const Reply& newcomer, const std::string& row, const std::string& address,
                       const std::string& detail) {
    Change change;
    change.kind = kind;
    change.row = newcomer;
    change.rowLabel = row;
    change.newAddress = address;
    change.detail = detail;
    return change;
}

// The MACs each row's address answers from now; a conflict or duplicate at a
// readdressed row's address names the controller it replaced.
void NoteWhoAnswers(Readdressing& r, const ExpectedList& list, const std::vector<Reply>& rows,
                    std::vector<Change>& changes) {
    const std::vector<const Reply*> replies = RowReplies(list, rows);
    for (std::size_t i = 0; i < list.rows.size(); ++i)
        if (replies[i] != nullptr && replies[i]->macSource != MacSource::None) {
            r.lastSeen[i].known = true;
            r.lastSeen[i].mac = replies[i]->mac;
        }
    for (Change& change : changes) {
        if (change.kind != ChangeKind::Conflict && change.kind != ChangeKind::Duplicate)
            continue;
        for (const auto& [i, replaced] : r.replaced)
            if (AddressString(list.rows[i].address) == change.row.address)
                change.detail = (replaced.known ? "the controller it replaced (MAC " + MacText(replaced.mac) + ")"
                                                : std::string("the controller it replaced")) +
                                " may answer here again beside its replacement: power one of them off";
    }
}

// Each interface where a controller waits at the factory address: the
// replacement's row given (--readdress-replacements), or proposed (=propose),
// or the doubt said; each said once until it changes.
std::vector<Change> LookForReplacements(Session& session, Readdressing& r, const ExpectedList& list,
                                        Watcher& watcher, const WatchState& state) {
    std::vector<Change> acts;
    if (!watcher.failed.empty())
        return acts;  // a search cut short: no row is known to be missing
    const std::vector<Reply> rows = watcher.list.rows;
    // A row is missing as a watch says a controller gone: no answer twice in
    // a row (one lost reply is no replacement's cue), or never seen.
    std::vector<Reply> present;
    for (const KnownController& known : state.known)
        present.push_back(known.row);
    const std::vector<bool> missing = MissingRows(list, present, std::vector<bool>(list.rows.size(), false));
    const std::string factory = AddressString(r.factory);
    for (const BroadcastInterface& via : InterfacesAnswering(rows, factory)) {
        const std::vector<const Reply*> there = AnswersAt(rows, factory, via);
        const Reply& newcomer = *there[0];
        int prefix = -1;
        for (const KnownInterface& known : r.known)
            prefix = SameInterface(known.via, via) ? known.prefix : prefix;
        const ReplacementChoice choice = ChooseReplacement(list, missing, newcomer, there.size(), prefix, r.tried);
        const std::string who = RowMacText(newcomer);
        std::string& said = r.said[via.index];
        if (choice.doubt != ReplacementDoubt::None) {
            const std::string doubt = DoubtText(list, choice);
            if (said != doubt + who)
                acts.push_back(ReaddressChange(ChangeKind::Held, newcomer, "", "", doubt));
            said = doubt + who;
            continue;
        }
        const ExpectedRow& row = list.rows[choice.row];
        const std::string address = AddressString(row.address);
        Replacing replacing = r.lastSeen[choice.row];
        if (r.mode == ReaddressMode::Propose) {
            if (said != "propose " + address + who) {
                acts.push_back(ReaddressChange(ChangeKind::Proposed, newcomer, RowLabel(row), address, ""));
                acts.back().replacedKnown = replacing.known;
                acts.back().replaced = replacing.mac;
            }
            said = "propose " + address + who;
            continue;
        }
        RowDefaults defaults;
        defaults.interfacePrefix = prefix;
        SegmentHold hold;
        if (!HoldSegments(session, {via}, &hold, 0)) {
            said.clear();  // said by the hold; tried again at the next search
            continue;
        }
        CommandRequest request;
        Decision decision;
        Looked looked;
        std::string why;
        const AtFactoryNow decided =
            DecideRow(session, row, defaults, r.factory, newcomer, r.own, r.all, &request, &decision, &looked, &why);
        if (decided == AtFactoryNow::Moved ||
            (decided == AtFactoryNow::Refused && decision.refusal.kind == RefusalKind::NewAddressTaken)) {
            said.clear();  // another came, it went, or the row answers after all: the next search looks again
            continue;
        }
        if (decided == AtFactoryNow::Refused) {
            if (said != why + who) {
                acts.push_back(ReaddressChange(ChangeKind::Held, newcomer, RowLabel(row), address, why));
                RecordRefused(session, request, decision, replacing, why);
            }
            said = why + who;
            continue;
        }
        const Given given = SendToFactory(session, watcher.list, request, decision, looked, replacing);
        if (!given.recorded) {
            // Nothing went out (said): no try; said once, tried again once the record can be written.
            const std::string unrecorded = "nothing sent: the record of changes could not be written";
            if (said != unrecorded + who)
                acts.push_back(ReaddressChange(ChangeKind::Held, newcomer, RowLabel(row), address, unrecorded));
            said = unrecorded + who;
            continue;
        }
        said.clear();
        // Tried once: not verified, it is not tried again (the record keeps it across restarts).
        if (!given.verified) {
            newcomer.macSource != MacSource::None ? r.tried.macs.push_back(newcomer.mac)
                                                  : r.tried.rows.push_back(RowLabel(row));
            acts.push_back(ReaddressChange(ChangeKind::Held, newcomer, RowLabel(row), address,
                                           given.message + "; not tried again"));
            continue;
        }
        Reply now = newcomer;
        std::snprintf(now.address, sizeof now.address, "%s", address.c_str());
        acts.push_back(ReaddressChange(ChangeKind::Readdressed, now, RowLabel(row), address,
                                       "verified after " + SecondsOf(given.seconds) + " s"));
        acts.back().replacedKnown = replacing.known;
        acts.back().replaced = replacing.mac;
        r.replaced[choice.row] = replacing;
        break;  // the search's rows are stale now: the next search looks again
    }
    return acts;
}

// The interfaces a watch follows: every broadcast interface, or those
// --interface names; one named that the workstation does not have (yet), or
// does not search now (down, no address), is waited for. The table is read
// again before each search.
struct Following {
    std::vector<std::string> waiting;  // the choices waited for, as said
    bool failing = false;              // the last reading of the table failed (said once)
};

// The interfaces of the table the watch searches; false (a usage error) where
// a choice names two interfaces at the start.
bool Watched(Session& session, const InterfaceTable& table, std::vector<BroadcastInterface>* where,
             std::vector<std::string>* waiting, std::string* problem) {
    where->clear();
    waiting->clear();
    if (session.options.interfaceChoice == nullptr) {
        *where = AllOf(table);
        return true;
    }
    for (int c = 0; c < session.options.interfaceChoiceCount; ++c) {
        const char* choice = session.options.interfaceChoices[c];
        BroadcastInterface entry{};
        bool ambiguous = false;
        if (!FindInterface(session.names, table, choice, &entry, problem, &ambiguous)) {
            if (ambiguous)
                return false;
            waiting->push_back(choice);
            continue;
        }
        bool named = false;
        for (const BroadcastInterface& earlier : *where)
            named = named || SameInterface(earlier, entry);
        if (!named)
            where->push_back(entry);
    }
    problem->clear();
    return true;
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
    if (!Watched(session, interfaces.table, &now, &waiting, &problem)) {
        Say(problem + "; the interfaces as before are searched");
        return false;
    }
    for (const std::string& choice : waiting)
        if (std::find(f.waiting.begin(), f.waiting.end(), choice) == f.waiting.end())
            Say("waiting for the interface '" + QuoteOperand(choice.c_str()) + "' (the workstation has it not, or "
                "does not search it now)");
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
    if (!Watched(session, interfaces.table, &watcher.where, &following.waiting, &problem))
        return UsageError(problem);
    for (const std::string& choice : following.waiting)
        Say("waiting for the interface '" + QuoteOperand(choice.c_str()) + "' (the workstation has it not, or does "
            "not search it now)");
    // The list as this workstation knows its interfaces: one interface however it is named.
    std::vector<ListFault> faults = ResolveInterfaces(expected, KnownInterfaces(session, interfaces.table));
    for (const ListFault& own : OwnAddressFaults(expected, OwnAddresses(interfaces.table)))
        faults.push_back(own);
    if (!faults.empty()) {
        for (const ListFault& fault : faults)
            Say(InputName(session.options.expectPath) + ", " + ListFaultText(fault));
        return ExitUsage;
    }
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
        if (FollowWatched(watcher, interfaces, following, state)) {
            // The list as the workstation knows its interfaces now; the metrics keep every series.
            ResolveInterfaces(expected, KnownInterfaces(session, interfaces.table));
            FollowInterfaces(out.metrics, MetricInterfaces(watcher));
            if (readdressing.mode != ReaddressMode::Off) {
                readdressing.known = KnownInterfaces(session, interfaces.table);
                readdressing.all = AllOf(interfaces.table);
                readdressing.own = OwnAddresses(interfaces.table);
            }
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
