// scout-cli apply PLAN (see cli_apply.h): the plan read, one search of every
// interface, every row checked, then (unless --dry-run) each row's intent
// recorded, every command sent, all of them awaited together, and one result
// per row.
#include "cli/cli_apply.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "cli/cli_words.h"
#include "cli/cli_plan.h"
#include "cli/cli_record.h"
#include "cli/cli_render.h"
#include "ops/text.h"
#include "cli/cli_words.h"
#include "net/controller_commands.h"

namespace scout::cli {
namespace {


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

    CliList list;
    Observe(session, &list);
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    Interfaces interfaces(platform);
    std::vector<BroadcastInterface> where;
    int exitCode = ExitOk;
    if (!ChooseInterfaces(session, frontEnd, interfaces, &where, &exitCode))
        return exitCode;
    const std::vector<PlanEntry> entries = PlanEntries(rows, session.names, interfaces.table, &problems);
    Looked looked;
    looked.searched = where;
    PlanCheck check;
    if (!rows.empty()) {
        Status(session, "looking for the plan's " + Count(rows.size(), "controller", "controllers") +
                            " on every interface");
        // The look before the plan: one search, the link of every interface
        // asked who holds each new address.
        std::vector<CommandRequest> requests;
        for (const PlanEntry& entry : entries)
            requests.push_back(entry.request);
        looked = LookBefore(session, list, requests,
                            CommandLook{PlanOfLook(session, where), AllOf(interfaces.table),
                                        OwnAddresses(interfaces.table)});
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
    const std::vector<BroadcastInterface> all = AllOf(interfaces.table);
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
