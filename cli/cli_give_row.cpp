// A new address given at the factory address (see cli_give_row.h).
#include "cli/cli_give_row.h"

#include "cli/cli_path.h"
#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {

Looked LookedOn(const BroadcastInterface& via, const std::vector<Reply>& rows, const std::vector<NetAddress>& own) {
    Looked looked;
    looked.searched = {via};
    looked.cutShort = {false};
    looked.ownAddresses = own;
    for (const Reply& row : rows)
        if (SameInterface(row.via, via))
            looked.rows.push_back(row);
    return looked;
}

bool DecideOnTheLink(Session& session, const Looked& looked, const std::vector<BroadcastInterface>& all,
                     const CommandRequest& request, Decision* decision) {
    const NetPlatform& platform = session.platform;
    CommandLook look;
    look.plan.interfaces = {decision->via};
    look.own = looked.ownAddresses;
    look.listed = &looked;
    CliList quiet;  // heard by none: the link alone is asked
    *decision = DecideCommand(platform, request, ops::LookBeforeCommands(platform, MakeCliFrontEnd(&quiet),
                                                                         {request}, look));
    if (!decision->send)
        return false;
    if (const std::string unchecked = HostsText(session.names, platform, *decision); !unchecked.empty())
        Say(unchecked);
    for (const std::string& warning : NewAddressWarnings(session.names, platform, decision->via, all, request.values))
        Say(warning);
    return true;
}

namespace {

Recorder RecorderOf(Session& session, const CommandRequest& request, const Decision& decision,
                    const Replacing& replacing) {
    Recorder recorder = MakeRecorder(session.options, session.names, request, decision);
    recorder.line.command = replacing.command;
    recorder.line.row = replacing.row;
    if (replacing.known)
        recorder.line.replaces = MacText(replacing.mac);
    return recorder;
}

}  // namespace

void RecordRefused(Session& session, const CommandRequest& request, const Decision& decision,
                   const Replacing& replacing, const std::string& why) {
    Recorder recorder = RecorderOf(session, request, decision, replacing);
    RecordAfter(recorder, "refused", "", why);
}

Given SendToFactory(Session& session, CliList& list, const CommandRequest& request, const Decision& decision,
                    const Looked& looked, const Replacing& replacing) {
    Given given;
    std::vector<Outgoing> commands(1);
    commands[0].recorder = RecorderOf(session, request, decision, replacing);
    commands[0].awaited.request = request;
    commands[0].awaited.decision = decision;
    if (!SendAndAwait(session, list, commands, looked.rows)) {
        given.recorded = false;
        return given;
    }
    const WaitVerdict& verdict = commands[0].awaited.verdict;
    given.outcome = OutcomeName(verdict.kind);
    given.message = VerdictText(commands[0].awaited);
    given.seconds = verdict.seconds;
    given.verified = VerdictExit(verdict) == ExitOk;
    return given;
}

bool DecideRow(Session& session, const ExpectedRow& row, const RowDefaults& defaults, NetAddress factory,
               const Looked& looked, const std::vector<BroadcastInterface>& all, CommandRequest* request,
               Decision* decision, std::string* why) {
    request->kind = CommandKind::Reconfigure;
    request->target = factory;
    if (!RowSettings(row, defaults, &request->values, why)) {
        *why = SafeText(why->c_str());
        return false;
    }
    *decision = DecideCommand(session.platform, *request, looked);
    if (decision->send && DecideOnTheLink(session, looked, all, *request, decision))
        return true;
    *why = RefusalText(session.names, *request, decision->refusal, Reader::Plan);
    return false;
}

}  // namespace scout::cli
