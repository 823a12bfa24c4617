// scout-cli apply PLAN: a plan of commands checked as a whole against one
// search of every interface, then sent together and verified together. The
// plan read (cli_plan), the look before it, every row checked (ops/plan),
// then (unless --dry-run) each row's intent recorded, every command sent, all
// of them awaited together, and one result per row.
#include <string>
#include <vector>

#include "cli/cli_input.h"
#include "cli/cli_interfaces.h"
#include "cli/cli_look.h"
#include "cli/cli_path.h"
#include "cli/cli_plan.h"
#include "cli/cli_record.h"
#include "cli/cli_render.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "net/controller_commands.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::DryRun, "say what each row would send, and where; send nothing"},
    {OptionId::NoWait},
    {OptionId::Timeout, "how long the commands' effects are awaited (together),\n1 to 3600 (default 30)"},
    {OptionId::Factory, "where factory-defaults leaves a controller (default\n192.168.1.100): no reconfigure of the plan may give it"},
    {OptionId::Log}, {OptionId::NoLog}, {OptionId::Sequential}, {OptionId::Parallel}, {OptionId::Window},
    {OptionId::Json}, {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

PlanResult ResultOf(Session& session, const PlanStep& step) {
    PlanResult result;
    result.line = step.entry.line;
    result.target = AddressString(step.entry.request.target);
    result.action = CommandName(step.entry.request.kind);
    result.interfaceName = InterfaceNameOf(session.names, step.decision.via);
    result.interfaceAddress = AddressString(step.decision.via.address);
    if (step.entry.request.kind == CommandKind::Reconfigure)
        result.newAddress = AddressString(step.entry.request.values.address);
    return result;
}

// --dry-run: what each row would send, and where.
int ShowPlan(Session& session, const std::vector<PlanStep>& steps) {
    std::vector<PlanResult> results;
    for (const PlanStep& step : steps) {
        PlanResult result = ResultOf(session, step);
        QueryDatagram datagram;
        BuildDatagram(step.entry.request, datagram);
        result.datagramHex = HexText(datagram.data(), datagram.size());
        results.push_back(result);
    }
    Print(RenderPlanResults(results, true, session.options.format, session.render));
    return ExitOk;
}

// The plan's commands: every intent recorded before the first goes (where
// one cannot be, none goes), each sent by its interface, then all awaited.
int SendPlan(Session& session, const std::vector<PlanStep>& steps, const Looked& looked, CliList& list,
             NetAddress factory) {
    std::vector<Outgoing> commands(steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        commands[i].recorder = MakeRecorder(session.options, session.names, steps[i].entry.request, steps[i].decision);
        commands[i].recorder.line.command = CommandName(steps[i].entry.request.kind);
        commands[i].awaited.request = steps[i].entry.request;
        commands[i].awaited.decision = steps[i].decision;
    }
    // Every intent in one write: all of them are recorded, or none is, and nothing goes.
    if (!SendAndAwait(session, list, commands, looked.rows))
        return ExitFailure;
    std::vector<PlanResult> results;
    std::vector<int> status;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const WaitVerdict& verdict = commands[i].awaited.verdict;
        PlanResult result = ResultOf(session, steps[i]);
        result.outcome = OutcomeName(verdict.kind);
        result.answersAt = verdict.answersAt;
        result.seconds = verdict.seconds;
        results.push_back(result);
        status.push_back(VerdictExit(verdict));
        const std::string said = VerdictText(commands[i].awaited);
        if (VerdictExit(verdict) != ExitOk && !said.empty())
            Say("line " + std::to_string(steps[i].entry.line) + ": " + said);
    }
    Print(RenderPlanResults(results, false, session.options.format, session.render));
    // A line reset to its factory defaults is a real job; the controllers
    // that then share the factory address are not done with.
    for (const SharedAddress& shared : SharedFactoryAddress(steps, looked, factory)) {
        Say("warning: " + SharedFactoryText(session.names, shared, factory));
        status.push_back(ExitNotAnswered);
    }
    return PlanExitStatus(status);
}

}  // namespace

const CommandHelp ApplyHelp = {
    .usage = "scout-cli apply PLAN [--dry-run] [--no-wait] [--timeout SECONDS] [--factory ADDRESS]\n"
             "                     [--log FILE|--no-log] [--json|--csv] [--no-header] [-q]",
    .about = "the commands of a plan, a CSV file (- for standard input)\n"
             "whose header is address,action,new_address,mask,gateway,model,\n"
             "interface: action is reset, factory-defaults or reconfigure\n"
             "(new_address, mask and gateway for reconfigure only), model an\n"
             "optional guard (KRV-ETH1A2B), interface an optional name or\n"
             "address. The whole plan is checked against one search first;\n"
             "any problem is named with its line and nothing is sent. Then\n"
             "every command goes, all are awaited together, and one result\n"
             "per row is printed: line, target, action, outcome, where it\n"
             "answers now, seconds",
    .options = CommandOptions,
    .examples = "scout-cli apply commissioning.csv --dry-run",
};

int RunApply(Session& session) {
    const NetPlatform& platform = session.platform;
    const char* path = session.options.operands[0];
    // Where factory-defaults leaves a controller: no reconfigure of the plan may go there too.
    NetAddress factory = 0;
    if (!ParseDottedAddress(session.options.factory, &factory) || !ControllerCanHold(factory))
        return UsageError("--factory takes an address a controller can hold, not '" +
                          QuoteOperand(session.options.factory) + "'");
    std::string text, problem;
    if (!ReadInputFile(path, "the plan", MaxPlanBytes, &text, &problem)) {
        Say(problem);
        return ExitFailure;
    }
    std::vector<PlanSaid> problems;
    const std::vector<PlanRow> rows = ReadPlan(text, &problems);

    Opened run(session);
    int exitCode = ExitOk;
    if (!Open(session, run, &exitCode))
        return exitCode;
    CliList& list = run.list;
    const std::vector<BroadcastInterface>& where = run.where;
    const InterfaceTable& table = run.interfaces.table;
    const std::vector<PlanEntry> entries = PlanEntries(rows, session.names, table, &problems);
    Looked looked;
    looked.searched = where;
    PlanCheck check;
    // No other program sends to these segments from the look to the last verdict.
    SegmentHold hold;
    if (!rows.empty() && !session.options.dryRun && !HoldSegments(session, where, &hold))
        return ExitFailure;
    if (!rows.empty()) {
        Status(session, "looking for the plan's " + Count(rows.size(), "controller", "controllers") +
                            " on every interface");
        // The look before the plan: one search, the link of every interface
        // asked who holds each new address.
        std::vector<CommandRequest> requests;
        for (const PlanEntry& entry : entries)
            requests.push_back(entry.request);
        looked = LookBefore(session, list, requests,
                            CommandLook{PlanOfLook(session, where), AllOf(table), OwnAddresses(table)});
        check = CheckPlan(platform, entries, looked, factory);
    }
    for (const PlanProblem& found : check.problems)
        problems.push_back(PlanProblemText(session.names, entries, found, factory));
    if (!problems.empty()) {
        for (const std::string& line : PlanProblemLines(problems))
            Say(InputName(path) + ", " + line);
        Say("the plan was refused (" + Count(problems.size(), "problem", "problems") + "); nothing was sent.");
        return PlanRefusalExit(check.problems);
    }
    // What reconfigure says beside a new address, said per row.
    const std::vector<BroadcastInterface> all = AllOf(table);
    for (const PlanStep& step : check.steps) {
        const CommandRequest& request = step.entry.request;
        if (request.kind != CommandKind::Reconfigure)
            continue;
        const std::string at = InputName(path) + ", line " + std::to_string(step.entry.line) + ": ";
        for (const std::string& warning : NewAddressWarnings(session.names, platform, step.decision.via, all,
                                                             request.values))
            Say(at + warning);
        if (const std::string unchecked = HostsText(session.names, platform, step.decision); !unchecked.empty())
            Say(at + unchecked);
    }
    if (session.options.dryRun)
        return ShowPlan(session, check.steps);
    return SendPlan(session, check.steps, looked, list, factory);
}

}  // namespace scout::cli
