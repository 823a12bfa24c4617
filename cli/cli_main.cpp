// scout-cli: the search, the interface list it works from and the three
// commands, for scripts and field laptops, over the same core as the dialog.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/cli_doctor.h"
#include "cli/cli_hints.h"
#include "cli/cli_record.h"
#include "cli/cli_render.h"
#include "cli/cli_search.h"
#include "cli/cli_text.h"
#include "cli/console.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "net/query_datagram.h"
#include "net/system_platform.h"
#include "scout_version.h"

namespace scout::cli {
namespace {

constexpr const char* VersionText = "scout-cli " SCOUT_VERSION_TEXT;

// Standard output: every write checked, the first failure kept for the end.
int g_outputError = 0;
// Once a command went out, an output that cannot be written has its own exit
// status, so that a script does not send it twice.
bool g_commandSent = false;

void Print(const std::string& text) {
    if (g_outputError != 0 || text.empty())
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        g_outputError = errno != 0 ? errno : EIO;
}

// The status after everything was written: a failed write, flush or close of
// standard output is a failure, said once (a reader that went away, as
// `| head -1` does, is not told about).
int FinishOutput(int status) {
    errno = 0;
    if (g_outputError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0))
        g_outputError = errno != 0 ? errno : EIO;
    if (std::fclose(stdout) != 0 && g_outputError == 0)
        g_outputError = errno != 0 ? errno : EIO;
    if (g_outputError == 0)
        return status;
    if (g_outputError != EPIPE) {
        std::fprintf(stderr, "scout-cli: cannot write the output: %s\n", std::strerror(g_outputError));
        std::fflush(stderr);
    }
    return g_commandSent ? ExitSentUnreported : ExitFailure;
}

void Say(const std::string& line) {
    std::fputs(("scout-cli: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

int UsageError(const std::string& problem) {
    Say(problem);
    std::fputs("Try 'scout-cli --help' for more information.\n", stderr);
    return ExitUsage;
}

// One run: what it was asked, where it shows progress, and the platform.
struct Session {
    const NetPlatform& platform;
    const Options& options;
    RenderOptions render;
    bool status = false;      // progress lines on standard error (a terminal, not --quiet)
    bool streamRows = false;  // the table's rows printed as they arrive
    InterfaceNames names;     // of every list of the run
};

void Status(const Session& session, const std::string& line) {
    if (!session.status)
        return;
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

// "ws0 10.1.0.1", or the address alone where the platform has no name.
std::string Describe(Session& session, const BroadcastInterface& entry) {
    return InterfaceLabel(InterfaceNameOf(session.names, entry).c_str(), AddressString(entry.address).c_str());
}

void OnInterface(void* observer, const BroadcastInterface& entry, std::size_t position, std::size_t count) {
    auto& session = *static_cast<Session*>(observer);
    Status(session, "searching " + Describe(session, entry) + " (" + std::to_string(position) + "/" +
                        std::to_string(count) + ")" + (session.options.allAtOnce ? ", all at once" : ""));
}

void OnRow(void* observer, const CliRow& row) {
    if (static_cast<Session*>(observer)->streamRows)
        Print(StreamRow(row));
}

// A list whose progress the session shows.
void Observe(Session& session, CliList* list) {
    list->names = &session.names;
    list->observer = &session;
    list->interfaceBegins = OnInterface;
    list->rowAdded = OnRow;
}

// The interfaces of the platform, held for as long as a run needs them.
struct Interfaces {
    const NetPlatform& platform;
    InterfaceTable table;
    explicit Interfaces(const NetPlatform& p) : platform(p) {}
    ~Interfaces() { platform.releaseInterfaces(platform.context, &table); }
    Interfaces(const Interfaces&) = delete;
    Interfaces& operator=(const Interfaces&) = delete;

    bool Load(const SearchFrontEnd& reports) {
        int code = 0;
        const TableStatus status = platform.loadInterfaces(platform.context, &table, &code);
        if (status == TableStatus::Ok)
            return true;
        ReportTableFailure(reports, platform, status, code);
        return false;
    }
};

// The interface --interface names: by its address, else by its name. Two
// interfaces with the one address need their name.
bool ResolveInterface(Session& session, const InterfaceTable& table, const char* choice, BroadcastInterface* chosen,
                      std::string* problem) {
    NetAddress address = 0;
    const bool byAddress = ParseDottedAddress(choice, &address);
    std::vector<BroadcastInterface> matches;
    for (std::size_t i = 0; i < table.count; ++i) {
        const BroadcastInterface& entry = table.entries[i];
        if ((byAddress && entry.address == address) || (!byAddress && InterfaceNameOf(session.names, entry) == choice))
            matches.push_back(entry);
    }
    if (matches.size() == 1) {
        *chosen = matches[0];
        return true;
    }
    if (matches.empty()) {
        *problem = "no broadcast interface has the address or name '" + QuoteOperand(choice) +
                   "' (scout-cli interfaces lists them)";
    } else {
        std::string names;
        for (const BroadcastInterface& entry : matches)
            names += (names.empty() ? "" : ", ") + Describe(session, entry);
        *problem = "more than one interface has the address " + AddressString(address) + " (" + names +
                   "); name one with --interface";
    }
    return false;
}

// Loads the platform's interfaces and chooses those a search covers: the one
// --interface names, or all. On false, *exitCode says how the run ends.
bool ChooseInterfaces(Session& session, const SearchFrontEnd& reports, Interfaces& interfaces,
                      std::vector<BroadcastInterface>* chosen, int* exitCode) {
    chosen->clear();
    if (!interfaces.Load(reports)) {
        *exitCode = ExitFailure;
        return false;
    }
    const InterfaceTable& table = interfaces.table;
    if (session.options.interfaceChoice == nullptr) {
        chosen->assign(table.entries, table.entries + table.count);
        return true;
    }
    BroadcastInterface entry{};
    std::string problem;
    if (!ResolveInterface(session, table, session.options.interfaceChoice, &entry, &problem)) {
        *exitCode = UsageError(problem);
        return false;
    }
    chosen->push_back(entry);
    return true;
}

// The search of the interfaces chosen; *cutShort (where given) says which
// windows a failure cut short.
SearchOutcome Search(Session& session, const SearchFrontEnd& frontEnd, const std::vector<BroadcastInterface>& where,
                     std::vector<bool>* cutShort = nullptr) {
    std::unique_ptr<bool[]> flags(new bool[where.size() + 1]());
    SearchPlan plan;
    plan.interfaces = where.data();
    plan.count = where.size();
    plan.windowMs = session.options.windowMs;
    plan.allAtOnce = session.options.allAtOnce;
    plan.cutShort = flags.get();
    const SearchOutcome outcome = SearchInterfaces(session.platform, frontEnd, plan);
    if (cutShort != nullptr)
        cutShort->assign(flags.get(), flags.get() + where.size());
    return outcome;
}

void SortByAddress(std::vector<CliRow>* rows) {
    auto key = [](const CliRow& row) {
        NetAddress address = 0;
        ParseDottedAddress(row.address, &address);
        return HostOrder(address);
    };
    std::stable_sort(rows->begin(), rows->end(), [&](const CliRow& a, const CliRow& b) { return key(a) < key(b); });
}

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

int RunSearch(Session& session) {
    const NetPlatform& platform = session.platform;
    CliList list;
    Observe(session, &list);
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    Interfaces interfaces(platform);
    std::vector<BroadcastInterface> where;
    int exitCode = ExitOk;
    if (!ChooseInterfaces(session, frontEnd, interfaces, &where, &exitCode))
        return exitCode;

    // On a terminal the rows appear as the replies arrive, one after another or
    // all at once; the table printed at the end of an all-at-once search would
    // stand interface by interface.
    session.streamRows =
        session.options.format == OutputFormat::Table && IsTerminal(stdout) && !session.options.sortByAddress;
    if (where.empty()) {
        Say(NoInterfaceHint());
        Print(RenderRows(list.rows, session.options.format, session.render));
        return ExitOk;
    }
    if (session.streamRows && session.render.header)
        Print(StreamHeader());
    const std::uint32_t start = platform.now(platform.context);
    std::vector<bool> cutShort;
    const SearchOutcome outcome = Search(session, frontEnd, where, &cutShort);
    const std::uint32_t took = platform.now(platform.context) - start;
    if (!session.streamRows) {
        if (session.options.sortByAddress)
            SortByAddress(&list.rows);
        Print(RenderRows(list.rows, session.options.format, session.render));
    }
    Status(session, Count(list.rows.size(), "controller", "controllers") + " on " +
                        Count(where.size(), "interface", "interfaces") + ", " + Seconds(took));
    if (!session.options.quiet)
        for (const std::string& hint : NothingAnsweredHints(session.names, where, cutShort, list.rows))
            Say(hint);
    return outcome.reportedFailure ? ExitFailure : ExitOk;
}

int RunInterfaces(Session& session) {
    CliList list;
    Interfaces interfaces(session.platform);
    if (!interfaces.Load(MakeCliFrontEnd(&list)))
        return ExitFailure;
    std::vector<InterfaceLine> lines;
    for (std::size_t i = 0; i < interfaces.table.count; ++i) {
        InterfaceLine line{interfaces.table.entries[i], InterfaceDetails{}};
        if (!session.platform.describeInterface(session.platform.context, line.entry, &line.details))
            line.details = InterfaceDetails{};
        lines.push_back(line);
    }
    for (std::size_t i = 0; i < interfaces.table.skippedCount; ++i) {
        const SkippedInterface& skipped = interfaces.table.skipped[i];
        InterfaceLine line{skipped.entry, InterfaceDetails{}, SkipReasonText(skipped.reason)};
        if (!session.platform.describeInterface(session.platform.context, line.entry, &line.details))
            line.details = InterfaceDetails{};
        lines.push_back(line);
    }
    Print(RenderInterfaces(lines, session.options.format, session.render));
    return ExitOk;
}

// The target and the values as asked; a target no controller can hold is bad usage.
bool ReadRequest(const Options& options, const SearchFrontEnd& reports, CommandRequest* request, int* exitCode) {
    const char* text = options.operands[0];
    if (!ParseDottedAddress(text, &request->target) || request->target == AnyAddress ||
        request->target == BroadcastAddress) {
        *exitCode = UsageError("the controller address '" + QuoteOperand(text) +
                               "' is not a dotted-decimal unicast address");
        return false;
    }
    if (!ControllerCanHold(request->target)) {
        *exitCode = UsageError("the controller address '" + QuoteOperand(text) +
                               "' is no address a controller can hold (0.0.0.0/8, loopback, multicast or reserved)");
        return false;
    }
    request->kind = options.command == Command::Reconfigure     ? CommandKind::Reconfigure
                    : options.command == Command::FactoryDefaults ? CommandKind::FactoryDefaults
                                                                  : CommandKind::Reset;
    request->all = options.all;
    request->noSearch = options.noSearch;
    if (request->kind != CommandKind::Reconfigure)
        return true;
    char message[MessageCapacity];
    if (CheckReconfigureFields(options.operands[1], options.operands[2], options.operands[3], &request->values,
                               message, sizeof message))
        return true;
    ReportError(reports, "%s", message);
    *exitCode = ExitFailure;
    return false;
}

// Every address of the workstation's interfaces, searched or skipped.
std::vector<NetAddress> OwnAddresses(const InterfaceTable& table) {
    std::vector<NetAddress> own;
    for (std::size_t i = 0; i < table.count; ++i)
        own.push_back(table.entries[i].address);
    for (std::size_t i = 0; i < table.skippedCount; ++i)
        own.push_back(table.skipped[i].entry.address);
    return own;
}

// The record of changes of one command: the intent before it goes (nothing
// goes where that cannot be written), then what became of it.
bool RecordIntent(Recorder& recorder) {
    const std::string problem = WriteIntent(recorder);
    if (!problem.empty())
        Say(problem);
    return problem.empty();
}

void RecordAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason) {
    const std::string problem = WriteAfter(recorder, event, outcome, reason);
    if (!problem.empty())
        Say(problem);
}

// scout-cli history: the record as a table (newest last), CSV or JSON; a
// line that is no record is named and skipped.
int RunHistory(Session& session) {
    const std::string path =
        session.options.logPath != nullptr ? session.options.logPath : DefaultRecordPath();
    std::string text;
    std::string problem;
    if (!ReadRecordFile(path, &text, &problem)) {
        Say(problem);
        return ExitFailure;
    }
    std::vector<std::string> bad;
    const std::vector<RecordLine> lines = ReadRecords(text, &bad);
    for (const std::string& line : bad)
        Say(SafeText(path.c_str()) + ", " + line + "; skipped");
    Print(RenderHistory(lines, session.options.format, session.render));
    return ExitOk;
}

// The seconds the wait after a command took, for its result.
double g_waitedSeconds = 0;

// After the send: the target's interface looked at again and again, a short
// window each, until the command's effect is seen or --timeout is up. Ctrl-C
// or SIGTERM meanwhile ends the wait, not the program: the command went out,
// and its result is still written. list holds the last look's rows.
WaitVerdict WatchTheEffect(Session& session, const CommandRequest& request, const Decision& decision,
                           const Looked& looked, CliList& list) {
    const NetPlatform& platform = session.platform;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    Watch watch;
    for (const CliRow& row : looked.rows)
        if (SameInterface(row.via, decision.via))
            watch.answeredBefore.push_back(row.address);
    WatchInterrupts();
    Status(session, "sent; watching " + Describe(session, decision.via) + " for the effect (up to " +
                        std::to_string(session.options.waitSeconds) + " s)");
    const std::uint32_t start = platform.now(platform.context);
    const std::uint32_t limit = session.options.waitSeconds * 1000u;
    // The looks are one search after another: no status line and no warning
    // for each; a warning is said once at the end.
    const bool streamed = session.streamRows;
    session.streamRows = false;
    const auto announce = list.interfaceBegins;
    list.interfaceBegins = nullptr;
    list.holdWarnings = true;
    list.warnings.clear();
    WaitVerdict verdict;
    for (bool goneSaid = false;;) {
        SearchPlan plan;
        plan.interfaces = &decision.via;
        plan.count = 1;
        plan.windowMs = LookWindowMs;
        SearchInterfaces(platform, frontEnd, plan);
        const std::uint32_t waited = platform.now(platform.context) - start;
        g_waitedSeconds = waited / 1000.0;
        if (const int interrupted = Interrupted(); interrupted != 0) {
            verdict = WaitVerdict{true, interrupted, "interrupted",
                                  "the wait was interrupted after " + Seconds(waited) + "; the command was sent"};
            break;
        }
        verdict = JudgeLook(request, decision, watch, list.rows, g_waitedSeconds);
        if (watch.goneSeen && !goneSaid) {
            goneSaid = true;
            Status(session, AddressString(request.target) + " went away after " + Seconds(waited));
        }
        if (verdict.done)
            break;
        if (waited >= limit) {
            verdict = JudgeEnd(request, decision, watch, list.rows, g_waitedSeconds);
            break;
        }
    }
    session.streamRows = streamed;
    list.interfaceBegins = announce;
    list.holdWarnings = false;
    if (!list.warnings.empty())
        Say("warning: " + list.warnings.back());
    return verdict;
}

// Searches where the command may go (unless --no-search), and notes which
// windows did not finish.
void LookBeforeSending(Session& session, const SearchFrontEnd& frontEnd, CliList& list, Looked* looked,
                       const std::string& targetText) {
    looked->cutShort.assign(looked->searched.size(), false);
    if (session.options.noSearch)
        return;
    Status(session, "looking for " + targetText + (looked->searched.size() == 1 ? " on " + Describe(session,
                    looked->searched[0]) : std::string(" on every interface")));
    Search(session, frontEnd, looked->searched, &looked->cutShort);
    looked->rows = list.rows;
}

// One command: the request read, the look before (a search of every
// interface, or of the one --interface names), the checks, the send and
// (unless --no-wait) the wait, the new search and what it shows.
int RunCommand(Session& session) {
    const NetPlatform& platform = session.platform;
    const Options& options = session.options;
    CliList list;
    Observe(session, &list);
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    CommandRequest request;
    int exitCode = ExitOk;
    if (!ReadRequest(options, frontEnd, &request, &exitCode))
        return exitCode;
    const std::string targetText = AddressString(request.target);
    const bool reconfigure = request.kind == CommandKind::Reconfigure;
    const std::string newAddress = AddressString(request.values.address);

    Interfaces interfaces(platform);
    Looked looked;
    if (!ChooseInterfaces(session, frontEnd, interfaces, &looked.searched, &exitCode))
        return exitCode;
    looked.ownAddresses = OwnAddresses(interfaces.table);
    LookBeforeSending(session, frontEnd, list, &looked, targetText);
    const Decision decision = DecideCommand(platform, session.names, request, looked);
    Recorder recorder = MakeRecorder(options, session.names, request, decision);
    if (!decision.send) {
        Say(decision.refusal);
        RecordAfter(recorder, "refused", "", decision.refusal);
        return decision.exitCode;
    }
    if (!decision.warning.empty())
        Say(decision.warning);
    if (reconfigure) {
        const std::vector<BroadcastInterface> all(interfaces.table.entries,
                                                  interfaces.table.entries + interfaces.table.count);
        const std::string hint = UnreachableAfterwardsHint(platform, all, request.values.address, request.values.mask);
        if (!hint.empty())
            Say(hint);
    }
    const BroadcastInterface via = decision.via;

    QueryDatagram datagram;
    if (reconfigure)
        BuildReconfigure(datagram, request.target, request.values.address, request.values.mask,
                         request.values.gateway);
    else
        BuildReset(datagram, request.target, request.kind == CommandKind::FactoryDefaults);
    const std::string interfaceText = AddressString(via.address);
    CommandResult result;
    result.command = options.commandName;
    result.target = targetText.c_str();
    result.interfaceAddress = interfaceText.c_str();
    const std::string interfaceName = InterfaceNameOf(session.names, via);
    result.interfaceName = interfaceName.c_str();
    result.checked = !request.noSearch;
    if (options.dryRun) {
        result.dryRun = true;
        result.datagramHex = HexText(datagram.data(), datagram.size());
        Print(RenderCommandResult(result, options.format, session.render));
        return ExitOk;
    }
    // Nothing goes out that the record does not hold first.
    recorder.line.datagram = HexText(datagram.data(), datagram.size());
    if (!RecordIntent(recorder))
        return ExitFailure;
    Status(session, "sending " + std::string(options.commandName) + " to " + targetText + " by " +
                        Describe(session, via));
    result.sent = SendCommand(platform, frontEnd, via, datagram);
    g_commandSent = result.sent;
    if (!result.sent || options.noWait) {
        RecordAfter(recorder, "outcome", result.sent ? "sent" : "send-failed", "");
        Print(RenderCommandResult(result, options.format, session.render));
        return result.sent ? ExitOk : ExitFailure;
    }

    g_commandSent = true;
    const WaitVerdict verdict = WatchTheEffect(session, request, decision, looked, list);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", g_waitedSeconds);
    recorder.line.seconds = seconds;
    RecordAfter(recorder, "outcome", verdict.outcome, verdict.message);
    result.rows = &list.rows;
    result.outcome = verdict.outcome.c_str();
    result.seconds = g_waitedSeconds;
    if (reconfigure) {
        result.newAddress = newAddress.c_str();
        result.answeringAtNewAddress = VerifyReconfigure(decision, request.values.address, list.rows).answering;
    }
    Print(RenderCommandResult(result, options.format, session.render));
    Say(verdict.message);
    return verdict.exitCode;
}

// Every check this machine allows, then one search of every interface (or the
// one --interface names) at once, with what each heard.
int RunDoctor(Session& session) {
    const NetPlatform& platform = session.platform;
    CliList list;
    Observe(session, &list);
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    Interfaces interfaces(platform);
    DoctorInterfaces chosen;
    int exitCode = ExitOk;
    if (!ChooseInterfaces(session, frontEnd, interfaces, &chosen.searched, &exitCode))
        return exitCode;
    if (session.options.interfaceChoice == nullptr)
        chosen.skipped.assign(interfaces.table.skipped, interfaces.table.skipped + interfaces.table.skippedCount);
    std::vector<CheckLine> lines = CheckBeforeSearch(platform, SystemDoctor(), session.names, chosen);
    std::vector<bool> failed;  // doctor takes no --sequential: every interface at once
    Search(session, frontEnd, chosen.searched, &failed);
    for (CheckLine& line : CheckSearch(session.names, chosen.searched, failed, list.rows))
        lines.push_back(line);
    // What the search lost on the way (said on standard error too), for --json.
    for (const std::string& warning : list.warnings)
        lines.push_back(CheckLine{CheckStatus::Warning, "search", warning, ""});
    Print(RenderChecks(lines, session.options.format == OutputFormat::Json));
    return DoctorExitStatus(lines);
}

int Run(int argc, char** argv) {
    PrepareConsoleOutput();
    Options options;
    std::string problem;
    if (!ParseArguments(argc, argv, &options, &problem))
        return UsageError(problem);
    if (!StandardOutputOpen()) {
        Say("cannot write the output: standard output is closed");
        return ExitFailure;
    }
    if (options.help) {
        Print(std::string(UsageText()) + "\n" + HelpText());
        return FinishOutput(ExitOk);
    }
    if (options.version) {
        Print(std::string(VersionText) + "\n");
        return FinishOutput(ExitOk);
    }
    const NetPlatform& platform = SystemNetPlatform();
    if (const int code = platform.startSocketLayer(platform.context); code != 0) {
        CliList list;
        ReportSocketStartFailure(MakeCliFrontEnd(&list), platform, code);
        return ExitFailure;
    }
    Session session{platform, options, RenderOptions{}, false, false, InterfaceNames{}};
    session.render.header = !options.noHeader;
    session.render.lineEnd = CsvLineEnd;
    session.status = !options.quiet && IsTerminal(stderr);
    session.names.platform = &platform;
    int status = ExitUsage;
    switch (options.command) {
    case Command::Search:
        status = RunSearch(session);
        break;
    case Command::Interfaces:
        status = RunInterfaces(session);
        break;
    case Command::Doctor:
        status = RunDoctor(session);
        break;
    case Command::History:
        status = RunHistory(session);
        break;
    case Command::None:
        break;
    default:
        status = RunCommand(session);
        break;
    }
    return FinishOutput(status);
}

}  // namespace

int Main(int argc, char** argv) {
    return Run(argc, argv);
}

}  // namespace scout::cli

int main(int argc, char** argv) {
    return scout::cli::Main(argc, argv);
}
