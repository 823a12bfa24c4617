// scout-cli reset, factory-defaults and reconfigure: one command to the
// controller at ADDRESS. The request read, the look before it (a search of
// every interface, or of the one --interface names), the rule (ops/command),
// then the one path of every command (recorded, sent, awaited unless
// --no-wait), and what the last look shows.
#include <string>
#include <vector>

#include "cli/cli_interfaces.h"
#include "cli/cli_look.h"
#include "cli/cli_path.h"
#include "cli/cli_record.h"
#include "cli/cli_render.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/error_report.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr const char* InterfaceWords = "only this interface: the controller is looked for\nand the command sent there";

constexpr OptionUse ResetOptions[] = {
    {OptionId::Interface, InterfaceWords},
    {OptionId::All, "every controller that answers at ADDRESS on the\ninterface gets it (one datagram reaches them all)"},
    {OptionId::NoSearch}, {OptionId::DryRun}, {OptionId::NoWait}, {OptionId::Timeout}, {OptionId::Log},
    {OptionId::NoLog}, {OptionId::Sequential}, {OptionId::Parallel}, {OptionId::Window}, {OptionId::Json},
    {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};
// Not --all: every controller there would get the one new address.
constexpr OptionUse ReconfigureOptions[] = {
    {OptionId::Interface, InterfaceWords},
    {OptionId::NoSearch}, {OptionId::DryRun}, {OptionId::NoWait}, {OptionId::Timeout}, {OptionId::Log},
    {OptionId::NoLog}, {OptionId::Sequential}, {OptionId::Parallel}, {OptionId::Window}, {OptionId::Json},
    {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

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

}  // namespace

const CommandHelp ResetHelp = {
    .usage = "scout-cli reset ADDRESS [--all] [OPTIONS]",
    .about = "power-on reset of the controller at ADDRESS",
    .options = ResetOptions,
    .examples = "scout-cli reset 10.1.0.20",
};

const CommandHelp FactoryDefaultsHelp = {
    .usage = "scout-cli factory-defaults ADDRESS [--all] [OPTIONS]",
    .about = "reset that also restores its factory defaults",
    .options = ResetOptions,
    .examples = "scout-cli factory-defaults 10.1.0.20 --interface eth1",
};

const CommandHelp ReconfigureHelp = {
    .usage = "scout-cli reconfigure ADDRESS IP MASK GATEWAY [OPTIONS]",
    .about = "give it a new address, subnet mask and gateway (0.0.0.0: none)",
    .options = ReconfigureOptions,
    .examples = "scout-cli reconfigure 192.168.1.100 10.1.0.77 255.255.255.0 10.1.0.254 --interface eth1",
};

int RunControllerCommand(Session& session) {
    const NetPlatform& platform = session.platform;
    const Options& options = session.options;
    Opened run(session);
    CommandRequest request;
    int exitCode = ExitOk;
    if (!ReadRequest(options, run.frontEnd, &request, &exitCode) || !Open(session, run, &exitCode))
        return exitCode;
    // The look before the command: the search of where it may go, the link
    // asked who holds the new address; --no-search looks at nothing.
    // No other program sends to these segments from the look to the verdict.
    SegmentHold hold;
    if (!options.dryRun && !HoldSegments(session, run.where, &hold))
        return ExitFailure;
    const std::vector<BroadcastInterface> all = AllOf(run.interfaces.table);
    CommandLook look{PlanOfLook(session, run.where), all, OwnAddresses(run.interfaces.table)};
    look.noSearch = options.noSearch;
    if (!options.noSearch)
        Status(session, "looking for " + AddressString(request.target) +
                            (run.where.size() == 1 ? " on " + LabelOf(session.names, run.where[0])
                                                   : std::string(" on every interface")));
    const Looked looked = LookBefore(session, run.list, {request}, look);
    // The rule, and what is said beside a command that goes.
    const Decision decision = DecideCommand(platform, request, looked);
    if (!decision.send)
        return Refuse(session, run.list, request, decision);
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
    // The one path of every command, and what it saw.
    std::vector<Outgoing> commands(1);
    commands[0].recorder = MakeRecorder(options, session.names, request, decision);
    commands[0].awaited.request = request;
    commands[0].awaited.decision = decision;
    if (!SendAndAwait(session, run.list, commands, looked.rows))
        return ExitFailure;
    const WaitVerdict& verdict = commands[0].awaited.verdict;
    result.sent = verdict.kind != OutcomeKind::SendFailed;
    if (verdict.kind == OutcomeKind::Sent || verdict.kind == OutcomeKind::SendFailed) {
        Print(RenderCommandResult(result, options.format, session.render));
        return VerdictExit(verdict);
    }
    result.rows = &run.list.rows;
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

}  // namespace scout::cli
