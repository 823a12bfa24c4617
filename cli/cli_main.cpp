// scout-cli: the search, the interface list it works from and the three
// commands, for scripts and field laptops, over the same core as the dialog.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_apply.h"
#include "cli/cli_audit.h"
#include "cli/cli_args.h"
#include "cli/cli_commission.h"
#include "cli/cli_doctor.h"
#include "cli/cli_words.h"
#include "cli/cli_record.h"
#include "cli/cli_render.h"
#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "cli/cli_words.h"
#include "cli/cli_watch.h"
#include "ops/text.h"
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

void SortByAddress(std::vector<Reply>* rows) {
    auto key = [](const Reply& row) {
        NetAddress address = 0;
        ParseDottedAddress(row.address, &address);
        return HostOrder(address);
    };
    std::stable_sort(rows->begin(), rows->end(), [&](const Reply& a, const Reply& b) { return key(a) < key(b); });
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
    const Looked looked = Search(session, list, PlanOfLook(session, where));
    const std::uint32_t took = looked.tookMs;
    if (!session.streamRows) {
        if (session.options.sortByAddress)
            SortByAddress(&list.rows);
        Print(RenderRows(list.rows, session.options.format, session.render));
    }
    Status(session, Count(list.rows.size(), "controller", "controllers") + " on " +
                        Count(where.size(), "interface", "interfaces") + ", " + SecondsOf(took / 1000.0) + " s");
    if (!session.options.quiet)
        for (const std::string& hint : NothingAnsweredHints(session.names, where, looked.cutShort, list.rows))
            Say(hint);
    return looked.outcome.reportedFailure ? ExitFailure : ExitOk;
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
    // Values that do not parse are bad usage, as an address that does not is.
    ReportError(reports, "%s%s", message,
                AddressAndMaskSwapped(options.operands[1], options.operands[2]) ? " (the address and the mask swapped?)"
                                                                                : "");
    *exitCode = ExitUsage;
    return false;
}

void PrintPiece(void*, const std::string& text) {
    Print(text);
}

void SaySkipped(void* path, const std::string& why) {
    Say(SafeText(static_cast<const std::string*>(path)->c_str()) + ", " + why + "; skipped");
}

// scout-cli history: the record as a table (newest last), CSV or JSON; a
// line that is no record is named and skipped. No record at the default
// place is no history yet; a file named by --log must be there.
int RunHistory(Session& session) {
    const bool named = session.options.logPath != nullptr;
    const std::string path = RecordPath(session.options);
    std::FILE* file = nullptr;
    const FileError error = OpenRegularFile(path, &file);
    if (error.fault == FileFault::Missing && !named) {
        Print(EmptyHistory(session.options.format, session.render));
        return ExitOk;
    }
    if (error.fault != FileFault::None) {
        Say("cannot read the record of changes " + SafeText(path.c_str()) + ": " + FileErrorText(error));
        return ExitFailure;
    }
    std::string shown = path;
    const HistoryOutput out{&shown, PrintPiece, SaySkipped};
    int code = 0;
    const bool read = StreamHistory(file, session.options.format, session.render, out, &code);
    std::fclose(file);
    if (!read) {
        Say("cannot read the record of changes " + SafeText(path.c_str()) + ": " + std::strerror(code));
        return ExitFailure;
    }
    return ExitOk;
}

// A refused command: said, and recorded with its reason standing on its own.
int Refuse(Session& session, const CliList& list, const CommandRequest& request, const Decision& decision) {
    const std::string refusal = RefusalText(session.names, request, decision.refusal);
    Say(refusal);
    Recorder recorder = MakeRecorder(session.options, session.names, request, decision);
    RecordAfter(recorder, "refused", "", OnItsOwn(refusal, list));
    return RefusalExit(decision.refusal);
}

// What the command is, where it goes, for its result.
CommandResult ResultOf(Session& session, const CommandRequest& request, const Decision& decision,
                       std::string* texts) {
    texts[0] = AddressString(request.target);
    texts[1] = AddressString(decision.via.address);
    texts[2] = InterfaceNameOf(session.names, decision.via);
    texts[3] = AddressString(request.values.address);
    CommandResult result;
    result.command = session.options.commandName;
    result.target = texts[0].c_str();
    result.interfaceAddress = texts[1].c_str();
    result.interfaceName = texts[2].c_str();
    result.checked = !request.noSearch;
    return result;
}

// One command: the request read, the look before (a search of every
// interface, or of the one --interface names), the checks, then the one path
// of every command (recorded, sent, awaited unless --no-wait), and what the
// last look shows.
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

    Interfaces interfaces(platform);
    std::vector<BroadcastInterface> where;
    if (!ChooseInterfaces(session, frontEnd, interfaces, &where, &exitCode))
        return exitCode;
    const std::vector<BroadcastInterface> all = AllOf(interfaces.table);
    // The look before the command: the search of where it may go, the link
    // asked who holds the new address; --no-search looks at nothing.
    CommandLook look{PlanOfLook(session, where), all, OwnAddresses(interfaces.table)};
    look.noSearch = options.noSearch;
    if (!options.noSearch)
        Status(session, "looking for " + AddressString(request.target) +
                            (where.size() == 1 ? " on " + LabelOf(session.names, where[0])
                                               : std::string(" on every interface")));
    const Looked looked = LookBefore(session, list, {request}, look);
    const Decision decision = DecideCommand(platform, request, looked);
    if (!decision.send)
        return Refuse(session, list, request, decision);
    if (const std::string note = NoteText(session.names, request, decision); !note.empty())
        Say(note);
    if (const std::string unchecked = HostsText(session.names, platform, decision); !unchecked.empty())
        Say(unchecked);
    if (request.kind == CommandKind::Reconfigure)
        for (const std::string& warning : NewAddressWarnings(session.names, platform, decision.via, all, request.values))
            Say(warning);
    std::string texts[4];
    CommandResult result = ResultOf(session, request, decision, texts);
    if (options.dryRun) {
        QueryDatagram datagram;
        BuildDatagram(request, datagram);
        result.dryRun = true;
        result.datagramHex = HexText(datagram.data(), datagram.size());
        Print(RenderCommandResult(result, options.format, session.render));
        return ExitOk;
    }
    std::vector<Outgoing> commands(1);
    commands[0].recorder = MakeRecorder(options, session.names, request, decision);
    commands[0].awaited.request = request;
    commands[0].awaited.decision = decision;
    if (!SendAndAwait(session, list, commands, looked.rows))
        return ExitFailure;
    const WaitVerdict& verdict = commands[0].awaited.verdict;
    result.sent = verdict.kind != OutcomeKind::SendFailed;
    if (verdict.kind == OutcomeKind::Sent || verdict.kind == OutcomeKind::SendFailed) {
        Print(RenderCommandResult(result, options.format, session.render));
        return VerdictExit(verdict);
    }
    result.rows = &list.rows;
    result.outcome = OutcomeName(verdict.kind);
    result.seconds = verdict.seconds;
    if (request.kind == CommandKind::Reconfigure) {
        result.newAddress = texts[3].c_str();
        result.answeringAtNewAddress = verdict.verification.answering;
    }
    Print(RenderCommandResult(result, options.format, session.render));
    Say(VerdictText(commands[0].awaited));
    return VerdictExit(verdict);
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
    // doctor takes no --sequential: every interface at once
    const Looked looked = Search(session, list, PlanOfLook(session, chosen.searched));
    for (CheckLine& line : CheckSearch(SystemDoctor(), session.names, chosen.searched, looked.cutShort, list.rows))
        lines.push_back(line);
    // Replies the search lost on the way (said on standard error too): the
    // very controllers that are not found, so a problem.
    for (const std::string& warning : list.warnings)
        lines.push_back(CheckLine{CheckStatus::Problem, "search", warning, ""});
    Print(RenderChecks(lines, session.options.format == OutputFormat::Json));
    return DoctorExitStatus(lines);
}

int Run(int argc, char** argv) {
    PrepareConsoleOutput();
    // A reader that goes away ends no run in the middle: the write fails, the
    // record is completed, and the status says that the output was lost.
    SurviveClosedOutput();
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
    case Command::Apply:
        status = RunApply(session);
        break;
    case Command::Watch:
        status = RunWatch(session);
        break;
    case Command::Commission:
        status = RunCommission(session);
        break;
    case Command::Audit:
        status = RunAudit(session);
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
